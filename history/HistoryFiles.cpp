#include "history/HistoryFiles.h"

#include <algorithm>
#include <array>
#include <cctype>
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

// The file paths below the root that a template with date macros makes, as pieces: text as
// written (letter case ignored), a date macro's digits, or any text (another macro).
struct TemplatePiece {
    enum class Kind { Text, Digits, AnyText } kind = Kind::Text;
    std::string text;  // Text
    int datePart = 0;  // Digits: 0 year (four or more), 1 month, 2 day (two each)
};

// The pieces of `fileTemplate`; none when it holds no date macro.
std::vector<TemplatePiece> DatedPathPieces(const std::string& fileTemplate) {
    constexpr std::array<std::string_view, 3> kDateMacros = {"%YEAR%", "%MONTH%", "%DAY%"};
    std::vector<TemplatePiece> pieces;
    bool dated = false;
    for (std::size_t at = 0; at < fileTemplate.size();) {
        const auto named = [&](std::string_view name) {
            return fileTemplate.compare(at, name.size(), name) == 0;
        };
        const auto macro = std::find_if(MessageMacroNames.begin(), MessageMacroNames.end(), named);
        if (macro == MessageMacroNames.end()) {
            if (pieces.empty() || pieces.back().kind != TemplatePiece::Kind::Text)
                pieces.emplace_back();
            pieces.back().text += fileTemplate[at++];
            continue;
        }
        const auto date = std::find(kDateMacros.begin(), kDateMacros.end(), *macro);
        dated = dated || date != kDateMacros.end();
        pieces.push_back(date == kDateMacros.end()
                             ? TemplatePiece{TemplatePiece::Kind::AnyText, {}, 0}
                             : TemplatePiece{TemplatePiece::Kind::Digits,
                                             {},
                                             static_cast<int>(date - kDateMacros.begin())});
        at += macro->size();
    }
    if (!dated) pieces.clear();
    return pieces;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// Matches `path` from `at` against the pieces from `piece` on, trying the shortest text for each
// other macro first; the date parts found go into `found` as (position, length, part).
bool MatchPieces(std::string_view path, std::size_t at, const std::vector<TemplatePiece>& pieces,
                 std::size_t piece, std::vector<std::array<std::size_t, 3>>& found) {
    if (piece == pieces.size()) return at == path.size();
    const TemplatePiece& next = pieces[piece];
    switch (next.kind) {
        case TemplatePiece::Kind::Text:
            return SameIgnoringAsciiCase(path.substr(at, next.text.size()), next.text) &&
                   MatchPieces(path, at + next.text.size(), pieces, piece + 1, found);
        case TemplatePiece::Kind::AnyText:
            for (std::size_t end = at; end <= path.size(); ++end) {
                if (MatchPieces(path, end, pieces, piece + 1, found)) return true;
            }
            return false;
        case TemplatePiece::Kind::Digits: {
            std::size_t digits = 0;
            while (at + digits < path.size() &&
                   std::isdigit(static_cast<unsigned char>(path[at + digits])))
                ++digits;
            const std::size_t fewest = next.datePart == 0 ? 4 : 2;
            const std::size_t most = next.datePart == 0 ? digits : std::min<std::size_t>(digits, 2);
            for (std::size_t length = most; length >= fewest && length > 0; --length) {
                found.push_back({at, length, static_cast<std::size_t>(next.datePart)});
                if (MatchPieces(path, at + length, pieces, piece + 1, found)) return true;
                found.pop_back();
            }
            return false;
        }
    }
    return false;
}

// A file's place among a contact's dated files: its path with the dates taken out, and the
// dates as year, month, day. Nullopt when the path does not follow the template (an alias rule
// rewrote it).
std::optional<std::pair<std::string, std::string>> DatedKey(
    const std::string& below, const std::vector<TemplatePiece>& pieces) {
    const std::size_t level = below.rfind('\\');
    const std::size_t dot = below.rfind('.');
    const std::string_view name = std::string_view(below).substr(
        0, dot != std::string::npos && (level == std::string::npos || dot > level) ? dot
                                                                                   : below.size());
    std::vector<std::array<std::size_t, 3>> found;
    if (!MatchPieces(name, 0, pieces, 0, found)) return std::nullopt;
    std::string undated;
    std::array<std::string, 3> date;
    std::size_t from = 0;
    for (const auto& [position, length, part] : found) {
        undated += std::string(name.substr(from, position - from)) + '\x01';
        date[part] = std::string(name.substr(position, length));
        from = position + length;
    }
    undated += below.substr(from);
    return std::pair{undated, date[0] + "-" + date[1] + "-" + date[2]};
}

// Puts each contact's dated files in date order, year first, whatever order the template
// writes the dates in; other files keep their place in path order.
void SortDatedFiles(const std::string& root, const HistoryLocation& location,
                    std::vector<std::string>& paths) {
    const std::vector<TemplatePiece> pieces = DatedPathPieces(location.fileTemplate);
    if (pieces.empty()) return;
    struct Keyed {
        std::string undated;
        std::string date;
        std::string path;
    };
    std::vector<Keyed> keyed;
    for (std::string& path : paths) {
        const std::string below = path.substr(std::min(root.size(), path.size()));
        auto key = DatedKey(below, pieces);
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

bool LiesBelow(const std::string& path, const std::string& root) {
    return !root.empty() && path.size() > root.size() &&
           platform::EqualIgnoreCase(std::string_view(path).substr(0, root.size()), root);
}

std::string PathBelowRoot(const std::string& path, const std::string& root) {
    return LiesBelow(path, root) ? path.substr(root.size()) : path;
}

}  // namespace quillet
