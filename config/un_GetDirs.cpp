#include "config/un_GetDirs.h"

#include <array>
#include <string_view>

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

// The folder macros, replaced in this order.
constexpr std::array<std::string_view, 11> kFolderMacros = {"%CUSTOM%",
                                                            "%DAX PATH%",
                                                            "%QUILLET PATH%",
                                                            "%WINDOWS%",
                                                            "%DESKTOP%",
                                                            "%PROGRAM FILES%",
                                                            "%DOCS%",
                                                            "%COMMON DESKTOP%",
                                                            "%APPLICATION DATA%",
                                                            "%LOCAL APPLICATION DATA%",
                                                            "%PROFILE%"};

// The shell's folders that the macros from "%DESKTOP%" on stand for, in the macros' order.
constexpr std::size_t kFirstShellFolderMacro = 4;
constexpr std::array<int, 7> kShellFolders = {
    CSIDL_DESKTOP, CSIDL_PROGRAM_FILES, CSIDL_PERSONAL, CSIDL_COMMON_DESKTOPDIRECTORY,
    CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_PROFILE};
static_assert(kFirstShellFolderMacro + kShellFolders.size() == kFolderMacros.size());

// The folder of kFolderMacros[index], worked out only for a macro the text holds.
std::string FolderMacroValue(std::size_t index, const std::string& customFolder,
                             const std::string& pluginPath) {
    switch (index) {
        case 0:
            return customFolder;
        case 1:
            return FolderOf(platform::HostProgramPath());
        case 2:
            return FolderOf(pluginPath);
        case 3:
            return GetWindowsDir();
        default:
            return SpecialFolderOrEmpty(kShellFolders[index - kFirstShellFolderMacro]);
    }
}
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
    // A folder may hold a later macro's text, which is then replaced too: the text is looked at
    // again after each replacement.
    std::uint32_t held = MacrosHeld(text, kFolderMacros);
    for (std::size_t i = 0; i < kFolderMacros.size(); ++i) {
        if ((held >> i & 1) == 0) continue;
        text = ReplaceAllIgnoreCase(text, kFolderMacros[i],
                                    FolderMacroValue(i, customFolder, pluginPath));
        held = MacrosHeld(text, kFolderMacros);
    }
    return text;
}

}  // namespace quillet
