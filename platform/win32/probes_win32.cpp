// Measurements and obstacles for tests on Windows (platform/probes.h). Everything here is in
// kernel32, so the test programs need no further system library.
#include <windows.h>
// clang-format off
#include <psapi.h>  // after windows.h, which it builds on
// clang-format on

#include "platform/probes.h"

namespace platform {

namespace {

// Handle values are multiples of four; a process of ours holds far fewer than this many.
constexpr ULONG_PTR kHighestProbedHandle = 0x10000;

// Counts the handles that are open by asking about every possible value (for Wine, whose
// GetProcessHandleCount reports 0).
std::size_t ProbeHandles() {
    std::size_t count = 0;
    DWORD flags = 0;
    for (ULONG_PTR value = 4; value < kHighestProbedHandle; value += 4) {
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

bool OpensForWriting(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

class Attributes final : public Obstacle {
public:
    Attributes(std::string path, DWORD old) : path_(std::move(path)), old_(old) {}
    ~Attributes() override { SetFileAttributesA(path_.c_str(), old_); }

private:
    std::string path_;
    DWORD old_;
};

class HeldFile final : public Obstacle {
public:
    explicit HeldFile(HANDLE file) : file_(file) {}
    ~HeldFile() override { CloseHandle(file_); }

private:
    HANDLE file_;
};

}  // namespace

std::size_t OpenHandleCount() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return count;
    return ProbeHandles();
}

std::size_t ResidentMemoryBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.WorkingSetSize;
}

ObstaclePtr ProtectFromWriting(const std::string& path) {
    const DWORD old = GetFileAttributesA(path.c_str());
    if (old == INVALID_FILE_ATTRIBUTES) return nullptr;
    if (!SetFileAttributesA(path.c_str(), old | FILE_ATTRIBUTE_READONLY)) return nullptr;
    auto attributes = std::make_unique<Attributes>(path, old);
    if (OpensForWriting(path)) return nullptr;  // the attributes go back with `attributes`
    return attributes;
}

ObstaclePtr HoldWithoutSharing(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<HeldFile>(file);
}

ObstaclePtr HoldOpenForWriting(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<HeldFile>(file);
}

ObstaclePtr LockWholeFile(const std::string& path) {
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    auto held = std::make_unique<HeldFile>(file);
    OVERLAPPED from{};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                    MAXDWORD, &from)) {
        return nullptr;
    }
    return held;
}

ObstaclePtr MarkHiddenAndSystem(const std::string& path) {
    const DWORD old = GetFileAttributesA(path.c_str());
    if (old == INVALID_FILE_ATTRIBUTES) return nullptr;
    const DWORD marked = old | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (!SetFileAttributesA(path.c_str(), marked)) return nullptr;
    return std::make_unique<Attributes>(path, old);
}

bool IsHiddenAndSystem(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    constexpr DWORD kBoth = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kBoth) == kBoth;
}

ObstaclePtr MakeUnreadable(const std::string& path) {
    return HoldWithoutSharing(path);
}

ObstaclePtr LimitFileSize(std::uint64_t) {
    return nullptr;
}

}  // namespace platform
