// Console-program services of the POSIX platform layer: arguments and standard streams are UTF-8
// already; paths turn between Linux's form and the Windows form the rest of the layer takes.
#include <unistd.h>

#include <cerrno>

#include "platform/host.h"
#include "platform/platform.h"
#include "platform/posix/paths.h"

namespace platform {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

namespace {

int Descriptor(StandardStream stream) {
    return stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO;
}

}  // namespace

bool WriteStandard(StandardStream stream, std::string_view utf8) {
    while (!utf8.empty()) {
        const ssize_t written = ::write(Descriptor(stream), utf8.data(), utf8.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        utf8.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool IsTerminal(StandardStream stream) {
    return ::isatty(Descriptor(stream)) == 1;
}

std::optional<std::string> PathFromUser(std::string_view utf8Path) {
    if (utf8Path.empty()) return std::nullopt;
    std::string absolute(utf8Path);
    if (absolute.front() != '/') {
        const std::string working = posix::WorkingFolder();
        if (working.empty()) return std::nullopt;
        absolute = working + "/" + absolute;
    }
    return WideToCodePageExact(AnsiCodePage(), posix::WindowsPathWide(absolute));
}

std::string FullPath(const std::string& platformPath) {
    const auto native = posix::NativePath(platformPath);
    return native ? posix::WindowsPathAnsi(*native) : std::string();
}

std::string PathForUser(std::string_view platformPath) {
    const std::string path(platformPath);
    const bool absolute = (path.size() >= 2 && path[1] == ':') ||
                          (!path.empty() && (path[0] == '\\' || path[0] == '/'));
    if (absolute) {
        if (const auto native = posix::NativePath(path)) return *native;
    }
    std::string shown = WideToUtf8(AnsiToWide(path));
    for (char& c : shown) {
        if (c == '\\') c = '/';
    }
    return shown;
}

}  // namespace platform
