// Measurements and obstacles for tests on Linux (platform/probes.h): /proc for what the process
// holds, the immutable flag, a link into /proc and RLIMIT_FSIZE for the obstacles.
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>

#include "platform/platform.h"
#include "platform/posix/paths.h"
#include "platform/probes.h"

namespace platform {

namespace {

// Sets or clears the immutable flag of a Linux file; false when the file system refuses.
bool SetImmutable(const std::string& native, bool immutable) {
    const int descriptor = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return false;
    int flags = 0;
    bool done = ::ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = ::ioctl(descriptor, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(descriptor);
    return done;
}

bool OpensForWriting(const std::string& native) {
    const int descriptor = ::open(native.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return false;
    ::close(descriptor);
    return true;
}

class ImmutableFlag final : public Obstacle {
public:
    explicit ImmutableFlag(std::string native) : native_(std::move(native)) {}
    ~ImmutableFlag() override { SetImmutable(native_, false); }

private:
    std::string native_;
};

class LinkInPlace final : public Obstacle {
public:
    LinkInPlace(std::string native, std::string aside)
        : native_(std::move(native)), aside_(std::move(aside)) {}
    ~LinkInPlace() override {
        ::unlink(native_.c_str());
        std::rename(aside_.c_str(), native_.c_str());
    }

private:
    std::string native_;
    std::string aside_;
};

class FileSizeLimit final : public Obstacle {
public:
    FileSizeLimit(rlimit old, void (*oldHandler)(int)) : old_(old), oldHandler_(oldHandler) {}
    ~FileSizeLimit() override {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_;
    void (*oldHandler_)(int);
};

}  // namespace

std::size_t OpenHandleCount() {
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr) return 0;
    std::size_t count = 0;
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_name[0] != '.') ++count;
    }
    ::closedir(folder);
    return count - 1;  // the listing's own descriptor
}

std::size_t ResidentMemoryBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t totalPages = 0;
    std::size_t residentPages = 0;
    statm >> totalPages >> residentPages;
    return residentPages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

ObstaclePtr ProtectFromWriting(const std::string& path) {
    const auto native = posix::NativePath(path);
    if (!native || !SetImmutable(*native, true)) return nullptr;
    auto flag = std::make_unique<ImmutableFlag>(*native);
    if (OpensForWriting(*native)) return nullptr;  // the flag is cleared again with `flag`
    return flag;
}

ObstaclePtr HoldWithoutSharing(const std::string&) {
    return nullptr;
}

ObstaclePtr HoldOpenForWriting(const std::string&) {
    return nullptr;
}

ObstaclePtr LockWholeFile(const std::string&) {
    return nullptr;
}

ObstaclePtr MarkHiddenAndSystem(const std::string&) {
    return nullptr;
}

bool IsHiddenAndSystem(const std::string&) {
    return false;
}

ObstaclePtr MakeUnreadable(const std::string& path) {
    const auto native = posix::NativePath(path);
    if (!native) return nullptr;
    const std::string aside = *native + ".moved-aside";
    if (std::rename(native->c_str(), aside.c_str()) != 0) return nullptr;
    if (::symlink("/proc/self/mem", native->c_str()) != 0) {
        std::rename(aside.c_str(), native->c_str());
        return nullptr;
    }
    auto link = std::make_unique<LinkInPlace>(*native, aside);
    if (!FileExists(path) || ReadWholeFile(path)) return nullptr;  // put back with `link`
    return link;
}

ObstaclePtr LimitFileSize(std::uint64_t bytes) {
    rlimit old{};
    if (::getrlimit(RLIMIT_FSIZE, &old) != 0) return nullptr;
    rlimit limited = old;
    limited.rlim_cur = static_cast<rlim_t>(bytes);
    if (old.rlim_max != RLIM_INFINITY && limited.rlim_cur > old.rlim_max) return nullptr;
    void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    if (::setrlimit(RLIMIT_FSIZE, &limited) != 0) {
        std::signal(SIGXFSZ, oldHandler);
        return nullptr;
    }
    return std::make_unique<FileSizeLimit>(old, oldHandler);
}

}  // namespace platform
