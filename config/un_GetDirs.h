// Unit un_GetDirs: the folder macros of the history path templates.
#pragma once

#include <cstdint>
#include <string>

namespace quillet {

// The template upper-cased (ASCII letters only), with environment variables expanded and then
// the eleven folder macros ("%CUSTOM%", "%DAX PATH%", "%QUILLET PATH%", "%WINDOWS%", the shell
// folders) replaced in that order by their folders: "%CUSTOM%" by `customFolder` as it is,
// "%QUILLET PATH%" by the folder of `pluginPath`. Contact macros pass through for the history
// writer.
std::string ExpandFolderMacros(const std::string& pathTemplate, const std::string& customFolder,
                               const std::string& pluginPath);

// The same with the custom folder read from the settings file and the library's PluginPath.
std::string ExpandFolderMacros(const std::string& pathTemplate);

// `text` with every "%NAME%" of a defined environment variable replaced by its value.
std::string ExpandEnvVars(const std::string& text);

// The Windows directory.
std::string GetWindowsDir();

// The shell's special folder `folderId` (a CSIDL number): 0 and `path` set on success, otherwise
// the shell's status with `path` unchanged.
std::int32_t GetSpecialFolder(std::int32_t folderId, std::string& path);

}  // namespace quillet
