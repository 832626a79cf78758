// The process-wide values of unit main that the configuration, the history writer and the options
// dialog read: the library's path, the three lists and the plug-in's version. They live here, apart
// from the host's records and the plug-in object, so that the lower folders can reach them without
// depending on the plug-in boundary. Unit main writes them: start-up sets PluginPath, the plug-in
// object empties the lists when it is made and freed, and ReloadLists fills them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "QuilletVersion.h"

namespace quillet {

// The plug-in's own version (project() in CMakeLists.txt): reported to the host and shown by the
// options dialog.
inline constexpr std::uint16_t PluginVersionMajor = QUILLET_VERSION_MAJOR;
inline constexpr std::uint16_t PluginVersionMinor = QUILLET_VERSION_MINOR;
inline constexpr std::string_view PluginVersionText = QUILLET_VERSION_TEXT;  // "0.8"

// Full path of the library file in the ANSI code page; set at every start-up, empty before.
// The settings file, the list files and the Languages folder are all found beside it.
extern std::string PluginPath;

// The lines of "Exclude.ini", in file order (loaded at start-up and after the options dialog).
extern std::vector<std::string> ExcludeList;
// The alias rules of "aliases.ini" as ReloadLists and LoadAliases last loaded them: entry i of
// both lists is rule i. The message path works on the rules of its own context instead.
extern std::vector<std::string> AliasFromList;
extern std::vector<std::string> AliasToList;

}  // namespace quillet
