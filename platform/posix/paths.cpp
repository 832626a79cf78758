#include "platform/posix/paths.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "platform/platform.h"
#include "platform/posix/code_page.h"
#include "platform/posix/unicode.h"

namespace platform::posix {

namespace {

// The path is stepped through in UTF-16, or as it is when it is ASCII alone (nearly always),
// which every code page and UTF-8 keep byte for byte.
template <typename Char>
bool IsSeparator(Char c) {
    return c == '\\' || c == '/';
}

template <typename Char>
bool IsAsciiLetter(Char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

template <typename Char>
bool IsDots(std::basic_string_view<Char> level, std::size_t count) {
    return level.size() == count && level.find_first_not_of(Char('.')) == level.npos;
}

void AppendAsUtf8(std::string& out, std::string_view ascii) {
    out += ascii;
}
void AppendAsUtf8(std::string& out, std::u16string_view text) {
    AppendUtf16AsUtf8(out, text);
}

// The Linux folder that stands for a drive, without a final "/" ("" for the root itself);
// nullopt when the drive is not mapped.
template <typename Char>
std::optional<std::string> DriveFolder(Char letter) {
    const char upper = static_cast<char>(letter >= 'a' ? letter - 'a' + 'A' : letter);
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
template <typename Char>
std::basic_string_view<Char> TrimLevel(std::basic_string_view<Char> level, bool isLast) {
    if (IsDots(level, 1) || IsDots(level, 2)) return level;
    if (!isLast) {
        if (!level.empty() && level.back() == '.') level.remove_suffix(1);
        return level;
    }
    while (!level.empty() && (level.back() == '.' || level.back() == ' ')) level.remove_suffix(1);
    return level;
}

// A Linux path built level by level, where ".." takes the last level away again but never
// climbs above the root it started from.
class LevelPath {
public:
    LevelPath(std::string root, std::size_t expectedLength)
        : path_(std::move(root)), rootLength_(path_.size()) {
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
    template <typename Char>
    void AddWindows(std::basic_string_view<Char> text) {
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

    bool hasLevels() const { return path_.size() > rootLength_; }
    std::string& path() { return path_; }

private:
    template <typename Char>
    void AddLevel(std::basic_string_view<Char> level) {
        if (level.empty() || IsDots(level, 1)) return;
        if (IsDots(level, 2)) {
            // Every level added begins with "/", and the root's own text is never cut.
            if (hasLevels()) path_.resize(path_.rfind('/'));
            return;
        }
        path_ += '/';
        AppendAsUtf8(path_, level);
    }
    void Push(std::string_view utf8Level) {
        path_ += '/';
        path_ += utf8Level;
    }

    std::string path_;
    std::size_t rootLength_;
};

// NativePath of the path's characters, ASCII bytes or UTF-16.
template <typename Char>
std::optional<std::string> NativePathOf(std::basic_string_view<Char> rest) {
    if (rest.empty()) return std::nullopt;
    const std::size_t length = rest.size();
    std::optional<LevelPath> path;
    if (rest.size() >= 2 && IsAsciiLetter(rest[0]) && rest[1] == ':') {
        auto folder = DriveFolder(rest[0]);
        if (!folder) return std::nullopt;
        path.emplace(std::move(*folder), length);
        rest.remove_prefix(2);
    } else if (rest.size() >= 2 && IsSeparator(rest[0]) && IsSeparator(rest[1])) {
        return std::nullopt;
    } else {
        path.emplace(std::string(), length);
        if (!IsSeparator(rest[0])) path->AddNative(WorkingFolder());
    }
    path->AddWindows(rest);
    std::string& native = path->path();
    if (native.empty()) return std::string("/");
    if (!rest.empty() && IsSeparator(rest.back()) && path->hasLevels()) native += '/';
    return std::move(native);
}

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
    const std::string_view path(windowsPath.c_str());
    if (CodePage::Active().IsPlainAscii(path)) return NativePathOf(path);
    const std::u16string wide = AnsiToWide(path);
    return NativePathOf(std::u16string_view(wide));
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
