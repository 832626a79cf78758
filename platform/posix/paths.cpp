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

// The levels of a Linux path, empty ones left out.
std::vector<std::string> SplitNative(const std::string& path) {
    std::vector<std::string> levels;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        if (end > start) levels.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return levels;
}

// A level as Windows trims it: one final "." when more levels follow, every final "." and
// blank when it is the last. "." and ".." stay as they are.
std::u16string TrimLevel(std::u16string level, bool isLast) {
    if (level == u"." || level == u"..") return level;
    if (!isLast) {
        if (!level.empty() && level.back() == u'.') level.pop_back();
        return level;
    }
    while (!level.empty() && (level.back() == u'.' || level.back() == u' ')) level.pop_back();
    return level;
}

// Adds the levels of `text` (a Windows path without its drive) to `levels`.
void AddWindowsLevels(std::u16string_view text, std::vector<std::string>& levels) {
    std::vector<std::u16string> pieces;
    std::u16string current;
    for (const char16_t c : text) {
        if (IsSeparator(c)) {
            if (!current.empty()) pieces.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    // A path that ends with a separator names the folder of its last level, which then is
    // trimmed like a level that others follow.
    const bool endsWithSeparator = current.empty();
    if (!current.empty()) pieces.push_back(std::move(current));
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const bool isLast = i + 1 == pieces.size() && !endsWithSeparator;
        const std::u16string level = TrimLevel(pieces[i], isLast);
        if (level.empty() || level == u".") continue;
        if (level == u"..") {
            if (!levels.empty()) levels.pop_back();
            continue;
        }
        levels.push_back(Utf16ToUtf8(level));
    }
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
    const std::u16string wide = AnsiToWide(std::string_view(windowsPath.c_str()));
    if (wide.empty()) return std::nullopt;
    std::u16string_view rest = wide;
    std::string root;
    std::vector<std::string> levels;
    if (rest.size() >= 2 && IsAsciiLetter(rest[0]) && rest[1] == u':') {
        const auto folder = DriveFolder(rest[0]);
        if (!folder) return std::nullopt;
        root = *folder;
        rest.remove_prefix(2);
    } else if (rest.size() >= 2 && IsSeparator(rest[0]) && IsSeparator(rest[1])) {
        return std::nullopt;
    } else if (!IsSeparator(rest[0])) {
        levels = SplitNative(WorkingFolder());
    }
    AddWindowsLevels(rest, levels);
    std::string path = root;
    for (const std::string& level : levels) path += "/" + level;
    if (path.empty()) return std::string("/");
    if (!rest.empty() && IsSeparator(rest.back()) && !levels.empty()) path += '/';
    return path;
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
