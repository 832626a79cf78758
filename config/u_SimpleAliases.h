// Unit u_SimpleAliases: the alias rules of "aliases.ini" and the exclusion list of "Exclude.ini",
// both in the plug-in's folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillet {

// The rules of one "aliases.ini": rule i replaces from[i] by to[i]. upperFrom[i] is from[i]
// upper-cased under the code page and locale the rules were parsed in, so that a text is
// searched for each rule without upper-casing the rule again; leadingPair[i] names its first two
// bytes, so that most rules are passed over without a search of the text at all.
struct AliasRules {
    std::vector<std::string> from;
    std::vector<std::string> to;
    std::vector<std::string> upperFrom;
    std::vector<std::uint16_t> leadingPair;
};

// The rules of a file that holds `fileBytes`; none for a missing file (nullopt).
AliasRules ParseAliasRules(const std::optional<std::string>& fileBytes);

// `text` with each rule applied in order: every occurrence of its left text (ignoring letter
// case) becomes its right text. Reads nothing but its arguments.
std::string ApplyAliases(const AliasRules& rules, const std::string& text);

// The same, also adding to `changedBy` the position of every rule that changed the text.
std::string ApplyAliases(const AliasRules& rules, const std::string& text,
                         std::vector<std::size_t>& changedBy);

// The file "aliases.ini" beside the library at `libraryPath`.
std::string AliasesFileName(const std::string& libraryPath);

// The file "Exclude.ini" beside the library at `libraryPath`.
std::string ExcludeFileName(const std::string& libraryPath);

// Empties AliasFromList and AliasToList and refills them from "aliases.ini" in the folder of
// `libraryPath`. A missing file, or one that cannot be read, leaves both lists empty.
void LoadAliases(const std::string& libraryPath);

// LoadAliases(PluginPath), then `text` with the rules so loaded applied.
std::string ApplyAliases(const std::string& text);

// Refills the rule lists and ExcludeList from the plug-in's folder (at start-up and after the
// options dialog).
void ReloadLists();

// An exclusion list made ready for lookups: each entry by its comparison key, so that a contact
// is found in one lookup however long the list is. The keys hold for the code page and the user
// locale the index was made under, which it keeps with the list.
class ExclusionIndex {
public:
    // The index of `list` under the code page and locale in force.
    explicit ExclusionIndex(std::vector<std::string> list);

    // The position of the first entry equal to `text`, ignoring letter case.
    std::optional<std::size_t> Find(std::string_view text) const;

    const std::vector<std::string>& list() const { return list_; }
    unsigned codePage() const { return codePage_; }
    std::uint32_t locale() const { return locale_; }

private:
    std::vector<std::string> list_;
    unsigned codePage_;
    std::uint32_t locale_;
    std::unordered_multimap<std::string, std::size_t> positionsByKey_;
};

// The position of the entry that excludes a contact: the first equal, ignoring letter case, to
// its identifier, else the first equal to its name (both in the ANSI code page, as the host
// gave them).
std::optional<std::size_t> ExcludingEntry(const ExclusionIndex& exclusions,
                                          std::string_view contactUin,
                                          std::string_view contactName);

// True when there is one.
bool IsExcluded(const ExclusionIndex& exclusions, std::string_view contactUin,
                std::string_view contactName);

}  // namespace quillet
