// Where the history files are: the folder the path templates put every history file below, and
// the files found there. The command-line tool and the options dialog find history the same way.
#pragma once

#include <string>
#include <vector>

#include "config/u_IniSettings.h"
#include "platform/platform.h"

namespace quillet {

struct HistoryLocation {
    // The folder (ending in "\") that every history file lies below: the folder part of
    // PathFolder1\PathFolder2\PathFile1 after the folder macros, cut before the first macro whose
    // value comes from the message.
    std::string root;
    // The extension of history files, upper-cased as the writer writes it ("TXT"); files with it
    // in any letter case are history files.
    std::string extension;
    // The rest of the template below the root, without the extension ("%PROTOCOL%\%UIN%\%YEAR%-
    // %MONTH%"): where it holds date macros, it tells the date of each of a contact's files.
    std::string fileTemplate;
};

// The history's location under `settings` for the library at `pluginPath`.
HistoryLocation LocateHistory(const SettingsValues& settings, const std::string& pluginPath);

// The same under the settings file of the library at `pluginPath` as it is saved now (its
// defaults when the file is missing or cannot be read).
HistoryLocation LocateSavedHistory(const std::string& pluginPath);

struct FoundHistoryFiles {
    // Full paths, in path order, except that the files one template's date macros split a
    // contact's history into follow each other in date order.
    std::vector<std::string> paths;
    std::vector<platform::SystemError> unreadable;  // folders that could not be listed
};

// Every file below `location.root`, in every sub-folder, with the location's extension.
FoundHistoryFiles FindHistoryFiles(const HistoryLocation& location);

// True when `path` lies below the folder `root` (ending in "\\"): it begins with it, letter
// case ignored as in Windows names, and goes on.
bool LiesBelow(const std::string& path, const std::string& root);

// `path` without `root` in front when it lies below it, as the user is shown a history file;
// `path` as it is otherwise.
std::string PathBelowRoot(const std::string& path, const std::string& root);

}  // namespace quillet
