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

// A list of lines that knows when it changed: every change gives it a new version. What is made
// from the list (a message's exclusion index) is kept only while the list has the version it was
// made from, which costs one comparison however long the list is. Versions come from one count
// for the whole process, so two lists, or one list before and after a change, never share one.
class VersionedLines {
public:
    VersionedLines() = default;
    explicit VersionedLines(std::vector<std::string> lines);

    const std::vector<std::string>& lines() const { return lines_; }
    std::uint64_t version() const { return version_; }
    std::size_t size() const { return lines_.size(); }
    bool empty() const { return lines_.empty(); }

    // The only ways to change the lines; each renews the version.
    void Replace(std::vector<std::string> lines);
    void clear() { Replace({}); }

private:
    std::vector<std::string> lines_;
    std::uint64_t version_ = NewVersion();

    static std::uint64_t NewVersion();
};

// The lines of "Exclude.ini", in file order (loaded at start-up and after the options dialog).
extern VersionedLines ExcludeList;
// The alias rules of "aliases.ini" as ReloadLists and LoadAliases last loaded them: entry i of
// both lists is rule i. The message path works on the rules of its own context instead.
extern std::vector<std::string> AliasFromList;
extern std::vector<std::string> AliasToList;

}  // namespace quillet
