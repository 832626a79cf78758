// File services on Windows: every file is opened with read sharing only (others may read it
// while it is open here, not write it) and closed before the call returns.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>

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

// Files the plug-in only reads let others do anything meanwhile; files it writes let others read.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FileHandle OpenShared(const std::string& path, DWORD access, DWORD disposition,
                      DWORD sharing = FILE_SHARE_READ) {
    return FileHandle(CreateFileA(path.c_str(), access, sharing, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Writes all of `bytes`: one WriteFile for anything below a gigabyte. `written` counts the bytes
// that reached the file, also when a later WriteFile fails.
void WriteAll(HANDLE file, const std::string& path, std::string_view bytes, std::size_t& written) {
    written = 0;
    while (written < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, kMaxChunk));
        DWORD wrote = 0;
        const BOOL ok = WriteFile(file, bytes.data() + written, chunk, &wrote, nullptr);
        const DWORD error = ok ? ERROR_WRITE_FAULT : GetLastError();
        written += wrote;
        if (!ok || wrote == 0) ThrowSystemError("WriteFile", path, error);
    }
}

// The size of an open file; nullopt when Windows cannot tell.
std::optional<std::uint64_t> SizeOf(const FileHandle& file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
}

// Cuts the `written` bytes of a failed append off the file again, so that no part of an entry
// stays for the next one to follow. The append handle may only add to the file, so it is closed
// and the file opened again to be cut, and only when it still ends where the failed append left
// it: bytes another program appended in between stay.
void TakeBackAppend(FileHandle& file, const std::string& path, std::size_t written) {
    const std::optional<std::uint64_t> end = SizeOf(file);
    file.Close();
    if (written == 0 || !end || *end < written) return;
    FileHandle again = OpenShared(path, GENERIC_WRITE, OPEN_EXISTING);
    if (!again.isOpen() || SizeOf(again) != end) return;
    LARGE_INTEGER oldEnd{};
    oldEnd.QuadPart = static_cast<LONGLONG>(*end - written);
    if (SetFilePointerEx(again.get(), oldEnd, nullptr, FILE_BEGIN)) SetEndOfFile(again.get());
}

void CloseChecked(FileHandle& file, const std::string& path) {
    if (!file.Close()) ThrowSystemError("CloseHandle", path, GetLastError());
}

// Reads from the file's position until its end or `count` bytes; nullopt on a read error.
std::optional<std::string> ReadUpTo(const FileHandle& file, std::size_t count) {
    std::string content;
    // No bigger than asked for: an append that looks at a file's first bytes reads three.
    std::string chunk(std::min<std::size_t>(count, 64 * 1024), '\0');
    while (content.size() < count) {
        const std::size_t want = std::min(chunk.size(), count - content.size());
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk.data(), static_cast<DWORD>(want), &got, nullptr)) {
            return std::nullopt;
        }
        if (got == 0) break;
        content.append(chunk.data(), got);
    }
    return content;
}

// Appends `bytes` to the file open for appending and closes it; a write that fails part-way is
// taken back first.
void AppendAndClose(FileHandle& file, const std::string& path, std::string_view bytes) {
    std::size_t written = 0;
    try {
        WriteAll(file.get(), path, bytes, written);
    } catch (const SystemError&) {
        TakeBackAppend(file, path, written);
        throw;
    }
    CloseChecked(file, path);
}

std::uint64_t Ticks(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
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
    return ReadFileStart(path, std::string::npos);
}

std::optional<std::string> ReadFileStart(const std::string& path, std::size_t count) {
    FileHandle file = OpenShared(path, GENERIC_READ, OPEN_EXISTING, kShareAll);
    if (!file.isOpen()) return std::nullopt;
    return ReadUpTo(file, count);
}

FileLook LookAtFile(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {missing ? FileLook::Kind::Missing : FileLook::Kind::Unknown, {}};
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return {FileLook::Kind::Missing, {}};
    FileStamp stamp;
    stamp.identity = {Ticks(data.ftCreationTime), data.dwFileAttributes};
    stamp.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.lastWrite = static_cast<std::int64_t>(Ticks(data.ftLastWriteTime));
    return {FileLook::Kind::File, stamp};
}

std::int64_t CurrentFileTime() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return static_cast<std::int64_t>(Ticks(now));
}

namespace {

HANDLE HandleOf(std::intptr_t file) {
    return reinterpret_cast<HANDLE>(file);
}

std::intptr_t CreateNewFile(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) ThrowSystemError("CreateFileA", path, GetLastError());
    return reinterpret_cast<std::intptr_t>(file);
}

void WriteToNewFile(std::intptr_t file, const std::string& path, std::string_view bytes) {
    std::size_t written = 0;
    WriteAll(HandleOf(file), path, bytes, written);
}

void FlushAndCloseNewFile(std::intptr_t file, const std::string& path) {
    FileHandle handle(HandleOf(file));
    if (!FlushFileBuffers(handle.get())) ThrowSystemError("FlushFileBuffers", path, GetLastError());
    CloseChecked(handle, path);
}

void CloseNewFile(std::intptr_t file) {
    CloseHandle(HandleOf(file));
}

std::wstring Wide(const std::string& path) {
    const std::u16string wide = AnsiToWide(path);
    return std::wstring(wide.begin(), wide.end());
}

// ReplaceFileW keeps the old file's attributes, creation time and security on the new one.
// Its partial outcomes (ERROR_UNABLE_TO_MOVE_REPLACEMENT and ..._2) leave the old contents
// under the backup name, which the caller sees by the names.
void SwapIntoPlace(const std::string& path, const std::string& fresh, const std::string& backup) {
    if (!ReplaceFileW(Wide(path).c_str(), Wide(fresh).c_str(), Wide(backup).c_str(), 0, nullptr,
                      nullptr)) {
        ThrowSystemError("ReplaceFileW", path, GetLastError());
    }
}

void RenameWithoutReplacing(const std::string& from, const std::string& to) {
    if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH))
        ThrowSystemError("MoveFileExA", from, GetLastError());
}

bool NameExists(const std::string& path) {
    return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

const ReplaceSteps& SystemReplaceSteps() {
    static const ReplaceSteps steps{CreateNewFile, WriteToNewFile, FlushAndCloseNewFile,
                                    CloseNewFile,  SwapIntoPlace,  RenameWithoutReplacing,
                                    RemoveFile,    NameExists};
    return steps;
}

// A leftover of a failed replace may have taken the old file's read-only attribute.
void RemoveFile(const std::string& path) {
    if (DeleteFileA(path.c_str())) return;
    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED && SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL)) {
        if (DeleteFileA(path.c_str())) return;
        error = GetLastError();
    }
    if (error != ERROR_FILE_NOT_FOUND) ThrowSystemError("DeleteFileA", path, error);
}

void RenameFile(const std::string& from, const std::string& to) {
    RenameWithoutReplacing(from, to);
}

bool NamesMissingFolder(const SystemError& error) {
    return error.code() == ERROR_PATH_NOT_FOUND;
}

bool NamesSharingViolation(const SystemError& error) {
    return error.code() == ERROR_SHARING_VIOLATION || error.code() == ERROR_LOCK_VIOLATION;
}

void Pause(unsigned milliseconds) {
    Sleep(milliseconds);
}

// Opened for appending only, every write goes to the file's end with no seek of ours: one call
// to the system fewer for each entry.
constexpr DWORD kAppendAccess = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

void AppendToFile(const std::string& path, std::string_view bytes) {
    FileHandle file = OpenShared(path, kAppendAccess, OPEN_ALWAYS);
    if (!file.isOpen()) ThrowSystemError("CreateFileA", path, GetLastError());
    AppendAndClose(file, path, bytes);
}

// Reading moves the handle's position, not where the writes go: without FILE_WRITE_DATA every
// write still lands at the end. The right to read is asked for only when there is a head to read.
void AppendToFile(const std::string& path, std::size_t headSize, const AppendComposer& compose) {
    const DWORD access = kAppendAccess | (headSize > 0 ? FILE_READ_DATA : 0);
    FileHandle file = OpenShared(path, access, OPEN_ALWAYS);
    if (!file.isOpen()) ThrowSystemError("CreateFileA", path, GetLastError());
    const std::optional<std::string> head = ReadUpTo(file, headSize);
    if (!head) ThrowSystemError("ReadFile", path, GetLastError());
    AppendAndClose(file, path, compose(*head));
}

FileReader::FileReader(const std::string& path, Sharing sharing)
    : path_(path),
      handle_(reinterpret_cast<std::intptr_t>(CreateFileA(
          path.c_str(), GENERIC_READ,
          sharing == Sharing::Everything ? kShareAll : FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr))) {
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    if (file == INVALID_HANDLE_VALUE) ThrowSystemError("CreateFileA", path, GetLastError());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        ThrowSystemError("GetFileSizeEx", path, error);
    }
    size_ = static_cast<std::uint64_t>(size.QuadPart);
}

FileReader::~FileReader() {
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::size_t FileReader::Read(char* buffer, std::size_t size) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, kMaxChunk));
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, want, &got, nullptr))
        ThrowSystemError("ReadFile", path_, GetLastError());
    return got;
}

void FileReader::Seek(std::uint64_t offset) {
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(reinterpret_cast<HANDLE>(handle_), position, nullptr, FILE_BEGIN))
        ThrowSystemError("SetFilePointerEx", path_, GetLastError());
}

std::vector<FolderEntry> ListFolder(const std::string& folder, const std::string& mask) {
    try {
        return ListFolderChecked(folder, mask);
    } catch (const SystemError&) {
        return {};
    }
}

std::vector<FolderEntry> ListFolderChecked(const std::string& folder, const std::string& mask) {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAA data{};
    HANDLE rawFind = FindFirstFileA((folder + mask).c_str(), &data);
    if (rawFind == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return entries;  // nothing matches the mask
        ThrowSystemError("FindFirstFileA", folder, error);
    }
    const std::unique_ptr<void, FindCloser> find(rawFind);
    do {
        entries.push_back(
            {data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileA(find.get(), &data));
    return entries;
}

}  // namespace platform
