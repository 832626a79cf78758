#include "platform/win32/system_error_win32.h"

#include <windows.h>

#include <memory>

#include "platform/platform.h"

namespace platform::win32 {

namespace {

struct LocalFreer {
    void operator()(char* buffer) const { LocalFree(buffer); }
};

}  // namespace

std::string SystemReason(std::uint32_t code) {
    char* raw = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&raw), 0, nullptr);
    const std::unique_ptr<char, LocalFreer> buffer(raw);
    if (length == 0 || !buffer) return "error " + std::to_string(code);
    // Up to the NUL the call ends its buffer with: under Wine the length it reports for a
    // double-byte code page counts UTF-16 units.
    std::string reason(buffer.get());
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) {
        reason.pop_back();
    }
    return reason;
}

void ThrowSystemError(const char* operation, const std::string& path, std::uint32_t code) {
    throw SystemError(operation, path, code, SystemReason(code));
}

}  // namespace platform::win32
