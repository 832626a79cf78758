// Process, environment and folder services of the POSIX platform layer.
//   - module and program file names: dlinfo's link map and /proc/self/exe, in Windows form;
//   - environment references: the process environment, names compared as Windows does
//     (exactly first, then without regard to ASCII case);
//   - the Windows directory: QUILLET_WINDOWS_DIR, else "Z:\usr";
//   - special folders: the XDG base and user folders below $HOME.
#include <dlfcn.h>
#include <link.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>

#include "platform/platform.h"
#include "platform/posix/code_page.h"
#include "platform/posix/paths.h"
#include "platform/posix/unicode.h"

extern char** environ;

namespace platform {

namespace {

using posix::Utf16ToUtf8;
using posix::Utf8ToUtf16;
using posix::WindowsPathAnsi;

constexpr std::size_t kModuleNameCapacity = 261;  // GetModuleFileNameW's buffer at start-up
constexpr std::int32_t kInvalidArgument = static_cast<std::int32_t>(0x80070057);  // E_INVALIDARG
constexpr std::int32_t kUnexpected = static_cast<std::int32_t>(0x8000FFFF);       // E_UNEXPECTED
constexpr char kDefaultWindowsDirectory[] = "Z:\\usr";
constexpr char kProgramFilesFolder[] = "/opt";
constexpr char kCommonDesktopFolder[] = "/home/Public/Desktop";

// Shell folder numbers (CSIDL_*) that have a Linux counterpart.
enum SpecialFolderId : int {
    kDesktop = 0,
    kDocuments = 5,
    kCommonDesktop = 25,
    kAppData = 26,
    kLocalAppData = 28,
    kProgramFiles = 38,
    kProfile = 40,
};

std::string ExecutablePath() {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// The file name that the dynamic linker keeps for the module that `handle` (a dlopen handle)
// names, "" for the program itself; nullopt when no loaded module has that handle. Every
// loaded module is reopened by name without loading it, which yields its one handle, so a
// handle that names nothing is never dereferenced.
std::optional<std::string> LoadedModuleName(const void* handle) {
    void* program = ::dlopen(nullptr, RTLD_NOW);
    if (program == nullptr) return std::nullopt;
    if (program == handle) {
        ::dlclose(program);
        return std::string();
    }
    link_map* map = nullptr;
    std::optional<std::string> name;
    if (::dlinfo(program, RTLD_DI_LINKMAP, &map) == 0) {
        for (; map != nullptr && !name; map = map->l_next) {
            if (map->l_name == nullptr || map->l_name[0] == '\0') continue;
            void* reopened = ::dlopen(map->l_name, RTLD_LAZY | RTLD_NOLOAD);
            if (reopened == nullptr) continue;
            if (reopened == handle) name = map->l_name;
            ::dlclose(reopened);
        }
    }
    ::dlclose(program);
    return name;
}

// `path` made absolute against the working folder.
std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path.front() == '/') return path;
    std::string absolute = posix::WorkingFolder() + "/" + path;
    while (absolute.compare(0, 2, "./") == 0) absolute.erase(0, 2);
    return absolute;
}

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the entry begins with `name`, ASCII letters compared without regard to case; inline,
// as many entries share a first letter with a name looked up.
bool StartsWithIgnoringAsciiCase(const char* entry, const std::string& name) {
    for (const char c : name) {
        if (AsciiUpper(*entry) != AsciiUpper(c)) return false;  // also at the entry's end
        ++entry;
    }
    return true;
}

// The value of an environment variable in the environment's own charset (UTF-8): the exact
// name first, then, as Windows names ignore case, any name equal but for ASCII case. One walk
// through the environment finds both. The value stays the environment's own.
std::optional<std::string_view> EnvironmentValue(const std::string& name) {
    if (name.empty() || name.find('=') != std::string::npos) return std::nullopt;
    const char upperFirst = AsciiUpper(name.front());
    const char lowerFirst = AsciiLower(name.front());
    const char* equalButForCase = nullptr;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        // Most names differ in their first letter already; only the others are compared whole.
        if (**entry != upperFirst && **entry != lowerFirst) continue;
        // Equal for the name's length, so the entry is at least that long.
        if (!StartsWithIgnoringAsciiCase(*entry, name)) continue;
        if ((*entry)[name.size()] != '=') continue;
        const char* value = *entry + name.size() + 1;
        if (std::strncmp(*entry, name.c_str(), name.size()) == 0) return value;
        if (equalButForCase == nullptr) equalButForCase = value;
    }
    if (equalButForCase == nullptr) return std::nullopt;
    return equalButForCase;
}

// The environment holds UTF-8; names and values are nearly always ASCII, the same bytes in every
// code page that keeps ASCII as it is.
std::string AnsiToUtf8(std::string_view ansi) {
    if (posix::CodePage::Active().IsPlainAscii(ansi)) return std::string(ansi);
    return Utf16ToUtf8(AnsiToWide(ansi));
}

void AppendUtf8AsAnsi(std::string& out, std::string_view utf8) {
    if (posix::CodePage::Active().IsPlainAscii(utf8)) {
        out += utf8;
    } else {
        out += WideToAnsi(Utf8ToUtf16(utf8));
    }
}

std::string NonEmptyVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// $HOME, else the home folder of the user's account; empty when neither is known.
std::string HomeFolder() {
    std::string home = NonEmptyVariable("HOME");
    if (home.empty()) {
        if (const passwd* account = ::getpwuid(::getuid())) {
            if (account->pw_dir != nullptr) home = account->pw_dir;
        }
    }
    return home;
}

// An XDG base folder: the variable when it holds an absolute path, else `fallback` below home.
std::string XdgBaseFolder(const char* variable, const char* fallback) {
    const std::string value = NonEmptyVariable(variable);
    if (!value.empty() && value.front() == '/') return value;
    const std::string home = HomeFolder();
    return home.empty() ? "" : home + "/" + fallback;
}

// The value that user-dirs.dirs in the XDG configuration folder gives `key`
// (KEY="$HOME/Desktop" or KEY="/absolute"); empty when it gives none.
std::string UserDirsEntry(const std::string& key) {
    const std::string config = XdgBaseFolder("XDG_CONFIG_HOME", ".config");
    if (config.empty()) return {};
    std::ifstream file(config + "/user-dirs.dirs");
    std::string line;
    std::string value;
    while (std::getline(file, line)) {
        if (line.compare(0, key.size() + 1, key + "=") != 0) continue;
        value = line.substr(key.size() + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
    }
    if (value.compare(0, 5, "$HOME") == 0) value = HomeFolder() + value.substr(5);
    return !value.empty() && value.front() == '/' ? value : "";
}

// An XDG user folder: the variable, else user-dirs.dirs, else `fallback` below home.
std::string XdgUserFolder(const char* key, const char* fallback) {
    const std::string value = NonEmptyVariable(key);
    if (!value.empty() && value.front() == '/') return value;
    const std::string listed = UserDirsEntry(key);
    if (!listed.empty()) return listed;
    const std::string home = HomeFolder();
    return home.empty() ? "" : home + "/" + fallback;
}

// The Linux folder of a shell folder number; nullopt for a number without a counterpart, ""
// when the counterpart cannot be found (no home folder).
std::optional<std::string> SpecialFolderNative(int csidl) {
    switch (csidl) {
        case kDesktop:
            return XdgUserFolder("XDG_DESKTOP_DIR", "Desktop");
        case kDocuments:
            return XdgUserFolder("XDG_DOCUMENTS_DIR", "Documents");
        case kCommonDesktop:
            return std::string(kCommonDesktopFolder);
        case kAppData:
            return XdgBaseFolder("XDG_CONFIG_HOME", ".config");
        case kLocalAppData:
            return XdgBaseFolder("XDG_DATA_HOME", ".local/share");
        case kProgramFiles:
            return std::string(kProgramFilesFolder);
        case kProfile:
            return HomeFolder();
        default:
            return std::nullopt;
    }
}

}  // namespace

std::u16string ModuleFileName(const void* module) {
    std::string native;
    if (module == nullptr) {
        native = ExecutablePath();
    } else {
        const auto name = LoadedModuleName(module);
        if (!name) return {};
        native = name->empty() ? ExecutablePath() : AbsolutePath(*name);
    }
    if (native.empty()) return {};
    std::u16string path = posix::WindowsPathWide(native);
    if (path.size() > kModuleNameCapacity) path.resize(kModuleNameCapacity);
    return path;
}

std::string HostProgramPath() {
    const std::string native = ExecutablePath();
    return native.empty() ? "" : WindowsPathAnsi(native);
}

std::string ExpandEnvironment(std::string_view text) {
    std::string expanded;
    expanded.reserve(text.size());
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t open = text.find('%', position);
        const std::size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
        if (close == std::string_view::npos) break;
        expanded += text.substr(position, open - position);
        const std::string_view name = text.substr(open + 1, close - open - 1);
        const auto value = EnvironmentValue(AnsiToUtf8(name));
        // A reference to an undefined variable stays as written, both percent signs included,
        // and the search goes on after it.
        if (value) {
            AppendUtf8AsAnsi(expanded, *value);
        } else {
            expanded += text.substr(open, close - open + 1);
        }
        position = close + 1;
    }
    expanded += text.substr(position);
    return expanded;
}

std::string WindowsDirectory() {
    const std::string configured = NonEmptyVariable("QUILLET_WINDOWS_DIR");
    if (configured.empty()) return kDefaultWindowsDirectory;
    // A Linux path is shown in Windows form; anything else is taken to be in that form already.
    if (configured.front() == '/') return WindowsPathAnsi(configured);
    return WideToAnsi(Utf8ToUtf16(configured));
}

std::int32_t SpecialFolder(int csidl, std::string& path) {
    const auto native = SpecialFolderNative(csidl);
    if (!native) return kInvalidArgument;
    if (native->empty()) return kUnexpected;
    std::string folder = *native;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    path = WindowsPathAnsi(folder);
    return 0;
}

}  // namespace platform
