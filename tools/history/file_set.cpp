#include "tools/history/file_set.h"

#include "config/u_IniSettings.h"
#include "platform/host.h"

namespace quillet::history_tool {

namespace {

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
    return folder;
}

// The file at `path`, named by its part below `root` when it begins with it.
HistoryFile FileBelow(const std::string& path, const std::string& root) {
    std::string relative = PathBelowRoot(path, root);
    std::string shown = platform::PathForUser(relative);
    return {path, std::move(relative), std::move(shown)};
}

}  // namespace

std::string PluginFolder(const WhereOptions& where) {
    if (!where.pluginDir.empty()) return WithSeparator(where.pluginDir);
    const std::string program = platform::HostProgramPath();
    return program.substr(0, program.find_last_of('\\') + 1);
}

HistoryLocation LocateFromOptions(const WhereOptions& where) {
    const std::string folder = PluginFolder(where);
    const SettingsValues settings = SettingsValues::FromFileBytes(
        platform::ReadWholeFile(folder + "Quillet.ini").value_or(std::string()));
    HistoryLocation location = LocateHistory(settings, folder + "Quillet.dll");
    if (!where.root.empty()) location.root = WithSeparator(where.root);
    return location;
}

HistoryFile NamedFile(const std::string& path, const std::string& root) {
    // The user may name it otherwise than the settings name the root ("..", "\\", "/").
    const std::string full = platform::FullPath(path);
    const std::string fullRoot = WithSeparator(platform::FullPath(root));
    HistoryFile file = FileBelow(full, fullRoot);
    file.path = path;
    if (file.relative == full) file = FileBelow(path, {});
    return file;
}

FileSet FindFiles(const HistoryLocation& location) {
    FoundHistoryFiles found = FindHistoryFiles(location);
    FileSet set;
    set.unreadable = std::move(found.unreadable);
    for (const std::string& path : found.paths) set.files.push_back(FileBelow(path, location.root));
    return set;
}

bool IsHistoryFilePath(const std::string& path, const HistoryLocation& location) {
    const std::string full = platform::FullPath(path);
    if (!LiesBelow(full, WithSeparator(platform::FullPath(location.root)))) return false;
    const std::size_t dot = full.find_last_of(".\\");
    return dot != std::string::npos && full[dot] == '.' &&
           platform::EqualIgnoreCase(std::string_view(full).substr(dot + 1), location.extension);
}

}  // namespace quillet::history_tool
