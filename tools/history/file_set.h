// Which history files quillet-history reads: the history's location from the plug-in's settings
// file (or the folder the user names), the files found below it, and how each path is shown.
#pragma once

#include <string>
#include <vector>

#include "history/HistoryFiles.h"
#include "platform/platform.h"

namespace quillet::history_tool {

// Where the user said to look; paths in the platform's form, empty when not given.
struct WhereOptions {
    std::string pluginDir;  // the plug-in's folder; empty: the folder of this program
    std::string root;       // the history's root folder; empty: from the settings
};

// The plug-in's folder to read the settings file from: `where.pluginDir` or this program's own
// folder, ending in "\".
std::string PluginFolder(const WhereOptions& where);

// The history's location: the settings file "Quillet.ini" of the plug-in folder read as the
// plug-in reads it and handed to LocateHistory for "Quillet.dll" in that folder; `where.root`,
// when given, takes the place of the root found so.
HistoryLocation LocateFromOptions(const WhereOptions& where);

struct HistoryFile {
    std::string path;      // the platform's form, for reading
    std::string relative;  // the platform's form: the part below the root, or all of `path`
    std::string shown;     // `relative` as printed, in UTF-8
};

// The file at `path`, named by its part below `root` when it lies there, else by all of it.
HistoryFile NamedFile(const std::string& path, const std::string& root);

struct FileSet {
    std::vector<HistoryFile> files;                 // in path order
    std::vector<platform::SystemError> unreadable;  // folders that could not be listed
};

// Every history file below the location's root.
FileSet FindFiles(const HistoryLocation& location);

// True when `path` is one of the history files of `location` or would be taken for one: the
// tool writes nowhere a history file could be.
bool IsHistoryFilePath(const std::string& path, const HistoryLocation& location);

}  // namespace quillet::history_tool
