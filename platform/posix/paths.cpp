#include "platform/posix/paths.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/unicode.h"

namespace platform::posix {

namespace {

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

bool IsAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The Linux folder that stands for a drive, without a final "/" ("" for the root itself);
// nullopt when the drive is not mapped.
std::optional<std::string> DriveFolder(char16_t letter) {
    const char upper = static_cast<char>(letter >= u'a' ? letter - u'a' + u'A' : letter);
    if (upper == 'Z') return std::string();
    const std::string variable = std::string("QUILLET_DRIVE_") + upper;
    const char* folder = std::getenv(variable.c_str());
    if (folder == nullptr || *folder == '\0') return std::nullopt;
    std::string root(folder);
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (root == "/") root.clear();
    return root;
}

// A level as Windows trims it: one final "." when more levels follow, every final "." and
// blank when it is the last. "." and ".." stay as they are.
std::u16string_view TrimLevel(std::u16string_view level, bool isLast) {
    if (level == u"." || level == u"..") return level;
    if (!isLast) {
        if (!level.empty() && level.back() == u'.') level.remove_suffix(1);
        return level;
    }
    while (!level.empty() && (level.back() == u'.' || level.back() == u' ')) level.remove_suffix(1);
    return level;
}

// A Linux path built level by level, where ".." takes the last level away again but never
// climbs above the root it started from.
class LevelPath {
public:
    LevelPath(std::string root, std::size_t expectedLength) : path_(std::move(root)) {
        path_.reserve(path_.size() + expectedLength);
    }

    // Adds the levels of a Linux path, empty ones left out.
    void AddNative(std::string_view native) {
        std::size_t start = 0;
        while (start <= native.size()) {
            const std::size_t end = std::min(native.find('/', start), native.size());
            if (end > start) Push(native.substr(start, end - start));
            start = end + 1;
        }
    }

    // Adds the levels of `text`, a Windows path without its drive, trimmed as Windows trims them.
    void AddWindows(std::u16string_view text) {
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = start;
            while (end < text.size() && !IsSeparator(text[end])) ++end;
            // A path that ends with a separator names the folder of its last level, which then
            // is trimmed like a level that others follow.
            const bool isLast = end == text.size();
            if (end > start) AddLevel(TrimLevel(text.substr(start, end - start), isLast));
            start = end + 1;
        }
    }

    bool hasLevels() const { return !levelStarts_.empty(); }
    std::string& path() { return path_; }

private:
    void AddLevel(std::u16string_view level) {
        if (level.empty() || level == u".") return;
        if (level != u"..") {
            levelStarts_.push_back(path_.size());
            path_ += '/';
            return AppendUtf16AsUtf8(path_, level);
        }
        if (levelStarts_.empty()) return;
        path_.resize(levelStarts_.back());
        levelStarts_.pop_back();
    }
    void Push(std::string_view utf8Level) {
        levelStarts_.push_back(path_.size());
        path_ += '/';
        path_ += utf8Level;
    }

    std::string path_;
    std::vector<std::size_t> levelStarts_;
};

}  // namespace

std::string WorkingFolder() {
    std::string buffer(256, '\0');
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()) != nullptr) {
            buffer.resize(std::char_traits<char>::length(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::string> NativePath(const std::string& windowsPath) {
    const std::u16string wide = AnsiToWide(std::string_view(windowsPath.c_str()));
    if (wide.empty()) return std::nullopt;
    std::u16string_view rest = wide;
    std::optional<LevelPath> path;
    if (rest.size() >= 2 && IsAsciiLetter(rest[0]) && rest[1] == u':') {
        auto folder = DriveFolder(rest[0]);
        if (!folder) return std::nullopt;
        path.emplace(std::move(*folder), wide.size());
        rest.remove_prefix(2);
    } else if (rest.size() >= 2 && IsSeparator(rest[0]) && IsSeparator(rest[1])) {
        return std::nullopt;
    } else {
        path.emplace(std::string(), wide.size());
        if (!IsSeparator(rest[0])) path->AddNative(WorkingFolder());
    }
    path->AddWindows(rest);
    std::string& native = path->path();
    if (native.empty()) return std::string("/");
    if (!rest.empty() && IsSeparator(rest.back()) && path->hasLevels()) native += '/';
    return std::move(native);
}

std::u16string WindowsPathWide(const std::string& nativePath) {
    std::u16string path = u"Z:";
    for (const char16_t c : Utf8ToUtf16(nativePath)) path += c == u'/' ? u'\\' : c;
    if (path.size() == 2) path += u'\\';
    return path;
}

std::string WindowsPathAnsi(const std::string& nativePath) {
    return WideToAnsi(WindowsPathWide(nativePath));
}

}  // namespace platform::posix
