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
// searched for each rule without upper-casing the rule again.
struct AliasRules {
    std::vector<std::string> from;
    std::vector<std::string> to;
    std::vector<std::string> upperFrom;
};

// The rules of a file that holds `fileBytes`; none for a missing file (nullopt).
AliasRules ParseAliasRules(const std::optional<std::string>& fileBytes);

// `text` with each rule applied in order: every occurrence of its left text (ignoring letter
// case) becomes its right text. Reads nothing but its arguments.
std::string ApplyAliases(const AliasRules& rules, const std::string& text);

// The file "aliases.ini" beside the library at `libraryPath`.
std::string AliasesFileName(const std::string& libraryPath);

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

    // True when the list holds an entry equal to `text`, ignoring letter case.
    bool Holds(std::string_view text) const;

    const std::vector<std::string>& list() const { return list_; }
    unsigned codePage() const { return codePage_; }
    std::uint32_t locale() const { return locale_; }

private:
    std::vector<std::string> list_;
    unsigned codePage_;
    std::uint32_t locale_;
    std::unordered_multimap<std::string, std::size_t> positionsByKey_;
};

// True when the index holds an entry equal, ignoring letter case, to the contact's identifier or
// to its name (both in the ANSI code page, as the host gave them).
bool IsExcluded(const ExclusionIndex& exclusions, std::string_view contactUin,
                std::string_view contactName);

}  // namespace quillet
