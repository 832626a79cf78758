#include "history/HistoryFiles.h"

#include <algorithm>
#include <optional>

#include "config/StringOps.h"
#include "config/un_GetDirs.h"
#include "history/PathSafety.h"
#include "history/uHistorySave.h"

namespace quillet {

namespace {

// The position of the first macro whose value comes from the message, or the text's end.
std::size_t FirstContactMacro(std::string_view path) {
    std::size_t first = path.size();
    for (const std::string_view macro : MessageMacroNames)
        first = std::min(first, path.find(macro));
    return first;
}

// The extension of the template's file name: after the last "." of its last level.
std::string ExtensionOf(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t level = FindLastCharOf(path, "\\:");
    if (dot == std::string_view::npos || (level != std::string_view::npos && dot < level))
        return {};
    return std::string(path.substr(dot + 1));
}

bool HasExtension(std::string_view name, std::string_view extension) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return extension.empty();
    return platform::EqualIgnoreCase(name.substr(dot + 1), extension);
}

// A path ordering that ignores the case of ASCII letters, as a user reads a listing.
bool PathBefore(const std::string& a, const std::string& b) {
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) {
            return lower(static_cast<unsigned char>(x)) < lower(static_cast<unsigned char>(y));
        });
}

void CollectFiles(const std::string& folder, const std::string& extension,
                  FoundHistoryFiles& found) {
    std::vector<platform::FolderEntry> entries;
    try {
        entries = platform::ListFolderChecked(folder, "*");
    } catch (const platform::SystemError& error) {
        found.unreadable.push_back(error);
        return;
    }
    for (const platform::FolderEntry& entry : entries) {
        if (entry.name == "." || entry.name == "..") continue;
        if (entry.isFolder) {
            CollectFiles(folder + entry.name + "\\", extension, found);
        } else if (HasExtension(entry.name, extension)) {
            found.paths.push_back(folder + entry.name);
        }
    }
}

}  // namespace

HistoryLocation LocateHistory(const SettingsValues& settings, const std::string& pluginPath) {
    const std::string expanded = ExpandFolderMacros(
        JoinedPathTemplate(settings), settings[Setting::PathFolderCustom], pluginPath);
    // Cleaned and trimmed as the writer makes the folders it writes into.
    const std::string folder =
        FolderOf(std::string_view(expanded).substr(0, FirstContactMacro(expanded)));
    return {TrimFolderLevels(CleanFileName(folder)), ExtensionOf(expanded)};
}

HistoryLocation LocateSavedHistory(const std::string& pluginPath) {
    const std::optional<std::string> settings = platform::ReadWholeFile(IniFileNameFor(pluginPath));
    return LocateHistory(SettingsValues::FromFileBytes(settings.value_or("")), pluginPath);
}

FoundHistoryFiles FindHistoryFiles(const HistoryLocation& location) {
    FoundHistoryFiles found;
    std::string root = location.root;
    if (!root.empty() && root.back() != '\\') root += '\\';
    CollectFiles(root, location.extension, found);
    std::sort(found.paths.begin(), found.paths.end(), PathBefore);
    return found;
}

}  // namespace quillet
