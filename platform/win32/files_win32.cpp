// File services on Windows: every file is opened with read sharing only (others may read it
// while it is open here, not write it) and closed before the call returns.
#include <windows.h>

#include <algorithm>
#include <memory>

#include "platform/platform.h"
#include "platform/win32/system_error_win32.h"

namespace platform {

namespace {

using win32::ThrowSystemError;

constexpr DWORD kMaxChunk = 1u << 30;  // one ReadFile or WriteFile at most

// An open file handle, closed with the object unless Close() has closed it.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (isOpen()) CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    HANDLE get() const { return handle_; }
    bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    // Closes the handle; false (with GetLastError) when Windows reports a failure.
    bool Close() {
        const BOOL closed = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed != FALSE;
    }

private:
    HANDLE handle_;
};

struct FindCloser {
    void operator()(HANDLE find) const { FindClose(find); }
};

FileHandle OpenShared(const std::string& path, DWORD access, DWORD disposition) {
    return FileHandle(CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Writes all of `bytes`: one WriteFile for anything below a gigabyte.
void WriteAll(const FileHandle& file, const std::string& path, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kMaxChunk));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data(), chunk, &written, nullptr)) {
            ThrowSystemError("WriteFile", path, GetLastError());
        }
        if (written == 0) ThrowSystemError("WriteFile", path, ERROR_WRITE_FAULT);
        bytes.remove_prefix(written);
    }
}

// Writes all of `bytes`, which go to the file from offset `start` on; a write that fails part-way
// (a full disk) is cut off again before the error goes on, so no part of an entry stays behind.
void WriteAllOrNothing(const FileHandle& file, const std::string& path, std::string_view bytes,
                       LARGE_INTEGER start) {
    try {
        WriteAll(file, path, bytes);
    } catch (const SystemError&) {
        if (SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) SetEndOfFile(file.get());
        throw;
    }
}

void CloseChecked(FileHandle& file, const std::string& path) {
    if (!file.Close()) ThrowSystemError("CloseHandle", path, GetLastError());
}

DWORD Attributes(const std::string& path) {
    return GetFileAttributesA(path.c_str());
}

}  // namespace

bool FileExists(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void CreateFolder(const std::string& path) {
    if (!CreateDirectoryA(path.c_str(), nullptr))
        ThrowSystemError("CreateDirectoryA", path, GetLastError());
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    FileHandle file = OpenShared(path, GENERIC_READ, OPEN_EXISTING);
    if (!file.isOpen()) return std::nullopt;
    std::string content;
    std::string chunk(64 * 1024, '\0');
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) {
            return std::nullopt;
        }
        if (got == 0) return content;
        content.append(chunk.data(), got);
    }
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
    FileHandle file = OpenShared(path, GENERIC_WRITE, CREATE_ALWAYS);
    if (!file.isOpen()) ThrowSystemError("CreateFileA", path, GetLastError());
    WriteAllOrNothing(file, path, bytes, LARGE_INTEGER{});
    CloseChecked(file, path);
}

bool NamesMissingFolder(const SystemError& error) {
    return error.code() == ERROR_PATH_NOT_FOUND;
}

void AppendToFile(const std::string& path, std::string_view bytes) {
    FileHandle file = OpenShared(path, GENERIC_WRITE, OPEN_ALWAYS);
    if (!file.isOpen()) ThrowSystemError("CreateFileA", path, GetLastError());
    LARGE_INTEGER end{};
    if (!SetFilePointerEx(file.get(), LARGE_INTEGER{}, &end, FILE_END)) {
        ThrowSystemError("SetFilePointerEx", path, GetLastError());
    }
    WriteAllOrNothing(file, path, bytes, end);
    CloseChecked(file, path);
}

std::vector<FolderEntry> ListFolder(const std::string& folder, const std::string& mask) {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAA data{};
    HANDLE rawFind = FindFirstFileA((folder + mask).c_str(), &data);
    if (rawFind == INVALID_HANDLE_VALUE) return entries;
    const std::unique_ptr<void, FindCloser> find(rawFind);
    do {
        entries.push_back(
            {data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileA(find.get(), &data));
    return entries;
}

}  // namespace platform
