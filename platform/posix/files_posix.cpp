// File services of the POSIX platform layer. Paths arrive in Windows form and are translated by
// NativePath; failures carry errno and strerror's reason. Linux has no sharing modes, so "read
// sharing only" cannot be enforced: other programs may write a file while it is open here.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>

#include "platform/platform.h"
#include "platform/posix/letter_case.h"
#include "platform/posix/paths.h"
#include "platform/posix/unicode.h"

namespace platform {

namespace {

using posix::NativePath;

[[noreturn]] void ThrowSystemError(const char* operation, const std::string& path, int error) {
    std::array<char, 256> buffer{};
    // The GNU strerror_r returns the message, which need not be in the buffer.
    const char* reason = strerror_r(error, buffer.data(), buffer.size());
    throw SystemError(operation, path, static_cast<std::uint32_t>(error), reason);
}

// The Linux path of `path`; throws the error of a missing drive (ENOENT) when it has none.
std::string NativePathOrThrow(const char* operation, const std::string& path) {
    auto native = NativePath(path);
    if (!native) ThrowSystemError(operation, path, ENOENT);
    return std::move(*native);
}

// An open file descriptor, closed with the object unless Close() has closed it.
class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
    ~FileDescriptor() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return descriptor_; }
    bool isOpen() const { return descriptor_ >= 0; }

    // Gives the descriptor up without closing it.
    int Release() {
        const int descriptor = descriptor_;
        descriptor_ = -1;
        return descriptor;
    }

    // Closes the descriptor; returns 0 or the errno of a failed close. Linux has closed the
    // descriptor even when close() reports EINTR, and nothing is lost then.
    int Close() {
        const int result = ::close(descriptor_);
        descriptor_ = -1;
        return result == 0 || errno == EINTR ? 0 : errno;
    }

private:
    int descriptor_;
};

// Opens the Linux file `native`; without the drive or on failure the descriptor is not open and
// errno tells why.
FileDescriptor OpenNative(const std::string& native, int flags) {
    return FileDescriptor(::open(native.c_str(), flags | O_CLOEXEC, 0666));
}

// Writes all of `bytes`, going on after short writes; returns 0 or the errno of the failure.
// `written` counts the bytes that reached the file, also when a later write fails.
int WriteAll(int descriptor, std::string_view bytes, std::size_t& written) {
    written = 0;
    while (written < bytes.size()) {
        const ssize_t wrote = ::write(descriptor, bytes.data() + written, bytes.size() - written);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (wrote == 0) return EIO;
        written += static_cast<std::size_t>(wrote);
    }
    return 0;
}

// Cuts the `written` bytes of a failed write (a full disk, a file-size limit) off the end of the
// file again, so that no part of a history entry stays for the next one to follow.
void TakeBack(int descriptor, std::size_t written) {
    struct stat status {};
    if (written == 0 || ::fstat(descriptor, &status) != 0) return;
    const auto size = static_cast<std::uintmax_t>(status.st_size);
    if (size < written) return;
    // Should this fail too, the error thrown for the write still tells the user.
    [[maybe_unused]] const int ignored =
        ::ftruncate(descriptor, static_cast<off_t>(size - written));
}

// The kind of the Linux file behind a Windows-form path, following links; 0 when there is none.
mode_t FileKind(const std::string& path) {
    const auto native = NativePath(path);
    struct stat status {};
    if (!native || ::stat(native->c_str(), &status) != 0) return 0;
    return status.st_mode & S_IFMT;
}

// The descriptor of the file opened with `flags`; throws SystemError when it cannot be opened.
int OpenOrThrow(const std::string& path, int flags) {
    // Without O_NONBLOCK, opening a named pipe would wait for a reader; regular files ignore it.
    const std::string native = NativePathOrThrow("open", path);
    const int descriptor = ::open(native.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (descriptor < 0) ThrowSystemError("open", path, errno);
    return descriptor;
}

// Writes `bytes` to the open file and closes it; throws SystemError naming the step that failed,
// after taking back what a failed write had added. The bytes are the system's once written: a
// message is not forced to the disk.
void WriteAndClose(FileDescriptor& file, const std::string& path, std::string_view bytes) {
    std::size_t written = 0;
    if (const int error = WriteAll(file.get(), bytes, written)) {
        TakeBack(file.get(), written);
        ThrowSystemError("write", path, error);
    }
    if (const int error = file.Close()) ThrowSystemError("close", path, error);
}

void WriteFile(const std::string& path, int flags, std::string_view bytes) {
    FileDescriptor file(OpenOrThrow(path, flags));
    WriteAndClose(file, path, bytes);
}

// Reads from the descriptor's position until its end or `count` bytes; nullopt on a read error.
std::optional<std::string> ReadUpTo(int descriptor, std::size_t count) {
    std::string content;
    // No bigger than asked for: an append that looks at a file's first bytes reads three.
    std::string chunk(std::min<std::size_t>(count, 64 * 1024), '\0');
    while (content.size() < count) {
        const std::size_t want = std::min(chunk.size(), count - content.size());
        const ssize_t got = ::read(descriptor, chunk.data(), want);
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (got == 0) break;
        content.append(chunk.data(), static_cast<std::size_t>(got));
    }
    return content;
}

// A Linux time as the ticks of a Windows FILETIME: 100 ns since 1601-01-01.
std::int64_t FileTimeOf(const struct timespec& time) {
    constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
    constexpr std::int64_t kTicksPerSecond = 10000000;
    return (static_cast<std::int64_t>(time.tv_sec) + kSecondsFrom1601To1970) * kTicksPerSecond +
           time.tv_nsec / 100;
}

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};

bool IsFolderEntry(DIR* directory, const dirent& entry) {
    if (entry.d_type == DT_DIR) return true;
    if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK) return false;
    struct stat status {};
    return ::fstatat(::dirfd(directory), entry.d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

bool FileExists(const std::string& path) {
    const mode_t kind = FileKind(path);
    return kind != 0 && kind != S_IFDIR;
}

bool FolderExists(const std::string& path) {
    return FileKind(path) == S_IFDIR;
}

void CreateFolder(const std::string& path) {
    const std::string native = NativePathOrThrow("mkdir", path);
    if (::mkdir(native.c_str(), 0777) != 0) ThrowSystemError("mkdir", path, errno);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    return ReadFileStart(path, std::string::npos);
}

std::optional<std::string> ReadFileStart(const std::string& path, std::size_t count) {
    const auto native = NativePath(path);
    if (!native) return std::nullopt;
    FileDescriptor file = OpenNative(*native, O_RDONLY | O_NONBLOCK);
    struct stat status {};
    if (!file.isOpen() || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return ReadUpTo(file.get(), count);
}

namespace {

// Flushes the folder that holds `path`, so that a rename or link in it reaches the disk.
void FlushFolderOf(const std::string& native) {
    const std::size_t slash = native.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : native.substr(0, slash + 1);
    FileDescriptor directory = OpenNative(folder, O_RDONLY | O_DIRECTORY);
    if (directory.isOpen()) ::fsync(directory.get());
}

std::intptr_t CreateNewFile(const std::string& path) {
    return OpenOrThrow(path, O_WRONLY | O_CREAT | O_TRUNC);
}

void WriteToNewFile(std::intptr_t file, const std::string& path, std::string_view bytes) {
    std::size_t written = 0;
    if (const int error = WriteAll(static_cast<int>(file), bytes, written))
        ThrowSystemError("write", path, error);
}

void FlushAndCloseNewFile(std::intptr_t file, const std::string& path) {
    FileDescriptor descriptor(static_cast<int>(file));
    if (::fsync(descriptor.get()) != 0) ThrowSystemError("fsync", path, errno);
    if (const int error = descriptor.Close()) ThrowSystemError("close", path, error);
}

void CloseNewFile(std::intptr_t file) {
    ::close(static_cast<int>(file));
}

// The old contents stay reachable under the backup name by a second link; the rename then puts
// the new file in place in one step. The new file takes the old one's permissions.
void SwapIntoPlace(const std::string& path, const std::string& fresh, const std::string& backup) {
    const std::string native = NativePathOrThrow("rename", path);
    const std::string nativeFresh = NativePathOrThrow("rename", fresh);
    struct stat status {};
    if (::stat(native.c_str(), &status) != 0) ThrowSystemError("stat", path, errno);
    if (::chmod(nativeFresh.c_str(), status.st_mode & 07777) != 0)
        ThrowSystemError("chmod", fresh, errno);
    if (::link(native.c_str(), NativePathOrThrow("link", backup).c_str()) != 0)
        ThrowSystemError("link", backup, errno);
    if (::rename(nativeFresh.c_str(), native.c_str()) != 0) ThrowSystemError("rename", path, errno);
    FlushFolderOf(native);
}

// A link and an unlink: unlike rename, the link fails when `to` exists.
void RenameWithoutReplacing(const std::string& from, const std::string& to) {
    const std::string nativeFrom = NativePathOrThrow("link", from);
    const std::string nativeTo = NativePathOrThrow("link", to);
    if (::link(nativeFrom.c_str(), nativeTo.c_str()) != 0) ThrowSystemError("link", to, errno);
    if (::unlink(nativeFrom.c_str()) != 0) ThrowSystemError("unlink", from, errno);
    FlushFolderOf(nativeTo);
}

bool NameExists(const std::string& path) {
    const auto native = NativePath(path);
    struct stat status {};
    return native && ::lstat(native->c_str(), &status) == 0;
}

}  // namespace

const ReplaceSteps& SystemReplaceSteps() {
    static const ReplaceSteps steps{CreateNewFile, WriteToNewFile, FlushAndCloseNewFile,
                                    CloseNewFile,  SwapIntoPlace,  RenameWithoutReplacing,
                                    RemoveFile,    NameExists};
    return steps;
}

void RemoveFile(const std::string& path) {
    const auto native = NativePath(path);
    if (native && ::unlink(native->c_str()) != 0 && errno != ENOENT)
        ThrowSystemError("unlink", path, errno);
}

void RenameFile(const std::string& from, const std::string& to) {
    RenameWithoutReplacing(from, to);
}

FileLook LookAtFile(const std::string& path) {
    const auto native = NativePath(path);
    if (!native) return {FileLook::Kind::Missing, {}};
    struct stat status {};
    if (::stat(native->c_str(), &status) != 0) {
        const bool missing = errno == ENOENT || errno == ENOTDIR;
        return {missing ? FileLook::Kind::Missing : FileLook::Kind::Unknown, {}};
    }
    if (!S_ISREG(status.st_mode)) return {FileLook::Kind::Missing, {}};  // not one to read
    FileStamp stamp;
    stamp.identity = {static_cast<std::uint64_t>(status.st_dev),
                      static_cast<std::uint64_t>(status.st_ino)};
    stamp.size = static_cast<std::uint64_t>(status.st_size);
    stamp.lastWrite = FileTimeOf(status.st_mtim);
    return {FileLook::Kind::File, stamp};
}

std::int64_t CurrentFileTime() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return FileTimeOf(now);
}

bool NamesMissingFolder(const SystemError& error) {
    return error.code() == ENOENT || error.code() == ENOTDIR;
}

bool NamesSharingViolation(const SystemError&) {
    return false;
}

void Pause(unsigned milliseconds) {
    struct timespec wait {};
    wait.tv_sec = static_cast<time_t>(milliseconds / 1000);
    wait.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

void AppendToFile(const std::string& path, std::string_view bytes) {
    WriteFile(path, O_WRONLY | O_CREAT | O_APPEND, bytes);
}

void AppendToFile(const std::string& path, std::size_t headSize, const AppendComposer& compose) {
    const int access = headSize > 0 ? O_RDWR : O_WRONLY;
    FileDescriptor file(OpenOrThrow(path, access | O_CREAT | O_APPEND));
    const std::optional<std::string> head = ReadUpTo(file.get(), headSize);
    if (!head) ThrowSystemError("read", path, errno);
    WriteAndClose(file, path, compose(*head));
}

FileReader::FileReader(const std::string& path, Sharing) : path_(path), handle_(-1) {
    const std::string native = NativePathOrThrow("open", path);
    FileDescriptor file = OpenNative(native, O_RDONLY | O_NONBLOCK);
    if (!file.isOpen()) ThrowSystemError("open", path, errno);
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) ThrowSystemError("fstat", path, errno);
    if (S_ISDIR(status.st_mode)) ThrowSystemError("open", path, EISDIR);
    size_ = static_cast<std::uint64_t>(status.st_size);
    handle_ = file.get();
    static_cast<void>(file.Release());
}

FileReader::~FileReader() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

std::size_t FileReader::Read(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(handle_), buffer, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) ThrowSystemError("read", path_, errno);
    }
}

void FileReader::Seek(std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
        ThrowSystemError("lseek", path_, EINVAL);
    if (::lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) < 0)
        ThrowSystemError("lseek", path_, errno);
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
    const std::string native = NativePathOrThrow("opendir", folder);
    const std::unique_ptr<DIR, DirectoryCloser> directory(::opendir(native.c_str()));
    if (!directory) ThrowSystemError("opendir", folder, errno);
    // As on Windows, "*.*" matches every name, also those without a dot.
    const std::u16string wideMask = mask == "*.*" ? u"*" : AnsiToWide(mask);
    while (const dirent* entry = ::readdir(directory.get())) {
        const std::u16string name = posix::Utf8ToUtf16(entry->d_name);
        if (!posix::MatchesWildcard(name, wideMask)) continue;
        entries.push_back({WideToAnsi(name), IsFolderEntry(directory.get(), *entry)});
    }
    return entries;
}

}  // namespace platform
