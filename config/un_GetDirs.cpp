#include "config/un_GetDirs.h"

#include <functional>

#include "config/PluginGlobals.h"
#include "config/StringOps.h"
#include "config/u_IniSettings.h"
#include "platform/platform.h"

namespace quillet {

namespace {
constexpr int CSIDL_DESKTOP = 0;
constexpr int CSIDL_PERSONAL = 5;
constexpr int CSIDL_COMMON_DESKTOPDIRECTORY = 25;
constexpr int CSIDL_APPDATA = 26;
constexpr int CSIDL_LOCAL_APPDATA = 28;
constexpr int CSIDL_PROGRAM_FILES = 38;
constexpr int CSIDL_PROFILE = 40;

// A special folder's path, or an empty text when the shell cannot supply it.
std::string SpecialFolderOrEmpty(int folderId) {
    std::string path;
    GetSpecialFolder(folderId, path);
    return path;
}

// Only whole single-byte characters: the second byte of a double-byte one may look like a letter.
std::string UpperCaseAsciiLetters(std::string text) {
    const platform::LeadBytes& lead = platform::AnsiLeadBytes();
    for (std::size_t i = 0; i < text.size(); i = NextCharPosition(text, i, lead)) {
        if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 'a' + 'A');
    }
    return text;
}

struct FolderMacro {
    const char* macro;
    std::function<std::string()> value;  // asked only when the macro occurs
};
}  // namespace

std::string ExpandEnvVars(const std::string& text) {
    return platform::ExpandEnvironment(text);
}

std::string GetWindowsDir() {
    return platform::WindowsDirectory();
}

std::int32_t GetSpecialFolder(std::int32_t folderId, std::string& path) {
    return platform::SpecialFolder(folderId, path);
}

std::string ExpandFolderMacros(const std::string& pathTemplate) {
    const SettingRow& custom = RowOf(Setting::PathFolderCustom);
    return ExpandFolderMacros(pathTemplate, ReadSetting(custom.key, custom.defaultValue),
                              PluginPath);
}

std::string ExpandFolderMacros(const std::string& pathTemplate, const std::string& customFolder,
                               const std::string& pluginPath) {
    std::string text = ExpandEnvVars(UpperCaseAsciiLetters(pathTemplate));
    const FolderMacro macros[] = {
        {"%CUSTOM%", [&] { return customFolder; }},
        {"%DAX PATH%", [] { return FolderOf(platform::HostProgramPath()); }},
        {"%QUILLET PATH%", [&] { return FolderOf(pluginPath); }},
        {"%WINDOWS%", [] { return GetWindowsDir(); }},
        {"%DESKTOP%", [] { return SpecialFolderOrEmpty(CSIDL_DESKTOP); }},
        {"%PROGRAM FILES%", [] { return SpecialFolderOrEmpty(CSIDL_PROGRAM_FILES); }},
        {"%DOCS%", [] { return SpecialFolderOrEmpty(CSIDL_PERSONAL); }},
        {"%COMMON DESKTOP%", [] { return SpecialFolderOrEmpty(CSIDL_COMMON_DESKTOPDIRECTORY); }},
        {"%APPLICATION DATA%", [] { return SpecialFolderOrEmpty(CSIDL_APPDATA); }},
        {"%LOCAL APPLICATION DATA%", [] { return SpecialFolderOrEmpty(CSIDL_LOCAL_APPDATA); }},
        {"%PROFILE%", [] { return SpecialFolderOrEmpty(CSIDL_PROFILE); }},
    };
    for (const FolderMacro& entry : macros) {
        if (text.find(entry.macro) == std::string::npos) continue;
        text = ReplaceAllIgnoreCase(text, entry.macro, entry.value());
    }
    return text;
}

}  // namespace quillet
