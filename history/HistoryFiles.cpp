#include "history/HistoryFiles.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <regex>

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

// The file paths below the root that a template with date macros makes: each date macro
// captures its digits, every other macro any text.
struct DatedPaths {
    std::regex pattern;
    std::vector<int> dateParts;  // for each capture: 0 year, 1 month, 2 day
};

std::optional<DatedPaths> DatedPathPattern(const std::string& fileTemplate) {
    constexpr std::array<std::string_view, 3> kDateMacros = {"%YEAR%", "%MONTH%", "%DAY%"};
    constexpr std::array<std::string_view, 3> kDigits = {"(\\d{4,})", "(\\d{2})", "(\\d{2})"};
    std::string pattern;
    std::vector<int> parts;
    for (std::size_t at = 0; at < fileTemplate.size();) {
        const auto named = [&](std::string_view name) {
            return fileTemplate.compare(at, name.size(), name) == 0;
        };
        const auto macro = std::find_if(MessageMacroNames.begin(), MessageMacroNames.end(), named);
        if (macro == MessageMacroNames.end()) {
            const auto c = static_cast<unsigned char>(fileTemplate[at++]);
            if (c < 0x80 && !std::isalnum(c)) pattern += '\\';  // ASCII punctuation as itself
            pattern += static_cast<char>(c);
            continue;
        }
        const auto date = std::find(kDateMacros.begin(), kDateMacros.end(), *macro);
        if (date == kDateMacros.end()) {
            pattern += "(?:.*)";
        } else {
            parts.push_back(static_cast<int>(date - kDateMacros.begin()));
            pattern += kDigits[static_cast<std::size_t>(parts.back())];
        }
        at += macro->size();
    }
    if (parts.empty()) return std::nullopt;
    return DatedPaths{std::regex(pattern + "\\.[^.\\\\]*", std::regex::icase), parts};
}

// A file's place among a contact's dated files: its path with the dates taken out, and the
// dates as year, month, day. Nullopt when the pattern does not match (an alias rule rewrote
// the path).
std::optional<std::pair<std::string, std::string>> DatedKey(const std::string& below,
                                                            const DatedPaths& dated) {
    std::smatch match;
    if (!std::regex_match(below, match, dated.pattern)) return std::nullopt;
    std::string undated;
    std::array<std::string, 3> date;
    std::size_t from = 0;
    for (std::size_t group = 1; group < match.size(); ++group) {
        const auto begin = static_cast<std::size_t>(match.position(static_cast<int>(group)));
        undated += below.substr(from, begin - from) + '\x01';
        date[static_cast<std::size_t>(dated.dateParts[group - 1])] = match.str(group);
        from = begin + static_cast<std::size_t>(match.length(static_cast<int>(group)));
    }
    undated += below.substr(from);
    return std::pair{undated, date[0] + "-" + date[1] + "-" + date[2]};
}

// Puts each contact's dated files in date order, year first, whatever order the template
// writes the dates in; other files keep their place in path order.
void SortDatedFiles(const std::string& root, const HistoryLocation& location,
                    std::vector<std::string>& paths) {
    const std::optional<DatedPaths> dated = DatedPathPattern(location.fileTemplate);
    if (!dated) return;
    struct Keyed {
        std::string undated;
        std::string date;
        std::string path;
    };
    std::vector<Keyed> keyed;
    for (std::string& path : paths) {
        const std::string below = path.substr(std::min(root.size(), path.size()));
        auto key = DatedKey(below, *dated);
        if (!key) key.emplace(below, std::string());
        keyed.push_back({std::move(key->first), std::move(key->second), std::move(path)});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (a.undated != b.undated) return PathBefore(a.undated, b.undated);
        return a.date < b.date;
    });
    for (std::size_t i = 0; i < paths.size(); ++i) paths[i] = std::move(keyed[i].path);
}

}  // namespace

HistoryLocation LocateHistory(const SettingsValues& settings, const std::string& pluginPath) {
    const std::string expanded = ExpandFolderMacros(
        JoinedPathTemplate(settings), settings[Setting::PathFolderCustom], pluginPath);
    // Cleaned and trimmed as the writer makes the folders it writes into.
    const std::string folder =
        FolderOf(std::string_view(expanded).substr(0, FirstContactMacro(expanded)));
    const std::string extension = ExtensionOf(expanded);
    std::string fileTemplate = expanded.substr(folder.size());
    fileTemplate.resize(fileTemplate.size() - (extension.empty() ? 0 : extension.size() + 1));
    return {TrimFolderLevels(CleanFileName(folder)), extension, fileTemplate};
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
    SortDatedFiles(root, location, found.paths);
    return found;
}

}  // namespace quillet
