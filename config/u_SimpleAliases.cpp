#include "config/u_SimpleAliases.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "config/MessageReadCache.h"
#include "config/StringOps.h"
#include "platform/platform.h"
#include "plugin/main.h"

namespace quillet {

namespace {
// A rule line without "==" replaces its whole text by this.
constexpr std::string_view kRightTextWithoutSeparator = "  ";

// The lines of a list file beside the library; none when it is missing or cannot be read (a
// file another program holds open for writing counts as missing). The reads of one message share
// one read of the file.
std::vector<std::string> ReadListFile(const std::string& libraryPath, const char* name) {
    const auto content = ReadFileForMessage(FolderOf(libraryPath) + name);
    return content ? SplitLines(*content) : std::vector<std::string>();
}

// ExcludeList by comparison key, so that a contact is found in one lookup however long the list
// is. It is made anew whenever ExcludeList no longer equals the copy it was made from, whoever
// changed the list.
class ExclusionIndex {
public:
    const ExclusionIndex& For(const std::vector<std::string>& list) {
        if (list != source_) Rebuild(list);
        return *this;
    }

    bool Holds(const std::string& text) const {
        if (source_.empty()) return false;
        const auto [first, last] = positionsByKey_.equal_range(platform::ComparisonKey(text));
        // Equal keys mean equal texts; the comparison itself still has the last word.
        return std::any_of(first, last, [&](const auto& found) {
            return platform::EqualIgnoreCase(source_[found.second], text);
        });
    }

private:
    void Rebuild(const std::vector<std::string>& list) {
        source_ = list;
        positionsByKey_.clear();
        for (std::size_t i = 0; i < source_.size(); ++i) {
            positionsByKey_.emplace(platform::ComparisonKey(source_[i]), i);
        }
    }

    std::vector<std::string> source_;
    std::unordered_multimap<std::string, std::size_t> positionsByKey_;
};
ExclusionIndex exclusionIndex;

bool IsCommentOrEmpty(const std::string& line) {
    const std::string_view trimmed = TrimControlAndBlank(line);
    return trimmed.empty() || trimmed.front() == ';';
}

std::string AliasesFile(const std::string& libraryPath) {
    return FolderOf(libraryPath) + "aliases.ini";
}

struct Rules {
    std::vector<std::string> from;
    std::vector<std::string> to;
};

// The rules of the bytes of an "aliases.ini"; none for a file that is missing or unreadable.
Rules ParseRules(const std::optional<std::string>& content) {
    Rules rules;
    if (!content) return rules;
    for (const std::string& line : SplitLines(*content)) {
        if (IsCommentOrEmpty(line)) continue;
        const std::size_t separator = line.find("==");
        if (separator == std::string::npos) {
            rules.from.push_back(line);
            rules.to.emplace_back(kRightTextWithoutSeparator);
        } else {
            rules.from.push_back(line.substr(0, separator));
            rules.to.push_back(line.substr(separator + 2));
        }
    }
    return rules;
}

void SetRules(Rules rules) {
    AliasFromList = std::move(rules.from);
    AliasToList = std::move(rules.to);
}

// The rules as last parsed, with the bytes they came from and their left texts in upper case
// (which depend on the code page too).
struct ParsedRules {
    std::optional<std::string> fileBytes;
    unsigned codePage = 0;
    Rules rules;
    std::vector<std::string> upperFrom;
};
ParsedRules lastParsed;

// Loads the rules in force into AliasFromList and AliasToList and gives their left texts in
// upper case. "aliases.ini" is read for every message (both passes of one message share the
// read), but parsed again only when its bytes differ from those last parsed or the lists no
// longer hold what they gave: a long rule file costs its reading, not its parsing, each time.
const std::vector<std::string>& RulesInForce() {
    auto bytes = ReadFileForMessage(AliasesFile(PluginPath));
    const unsigned codePage = platform::AnsiCodePage();
    const bool unchanged = bytes == lastParsed.fileBytes && codePage == lastParsed.codePage &&
                           AliasFromList == lastParsed.rules.from &&
                           AliasToList == lastParsed.rules.to;
    if (unchanged) return lastParsed.upperFrom;
    lastParsed.rules = ParseRules(bytes);
    lastParsed.codePage = codePage;
    lastParsed.fileBytes = std::move(bytes);
    lastParsed.upperFrom.clear();
    for (const std::string& from : lastParsed.rules.from) {
        lastParsed.upperFrom.push_back(platform::UpperCase(from));
    }
    SetRules(lastParsed.rules);
    return lastParsed.upperFrom;
}
}  // namespace

void LoadAliases(const std::string& libraryPath) {
    SetRules(ParseRules(ReadFileForMessage(AliasesFile(libraryPath))));
}

std::string ApplyAliases(const std::string& text) {
    const std::vector<std::string>& upperFrom = RulesInForce();
    if (AliasFromList.empty()) return text;
    std::string result = text;
    // A rule whose left text does not occur leaves the text as it is; only a rule that matches
    // builds a new text, and only then does the upper-case form for the next rules change.
    std::string upperResult = platform::UpperCase(result);
    for (std::size_t i = 0; i < AliasFromList.size(); ++i) {
        const std::string& from = AliasFromList[i];
        if (from.empty() || from.size() > result.size()) continue;
        if (upperResult.find(upperFrom[i]) == std::string::npos) continue;
        result = ReplaceAllIgnoreCase(result, from, AliasToList[i]);
        upperResult = platform::UpperCase(result);
    }
    return result;
}

void ReloadLists() {
    LoadAliases(PluginPath);
    ExcludeList = ReadListFile(PluginPath, "Exclude.ini");
}

bool IsExcluded(const std::string& contactUin, const std::string& contactName) {
    const ExclusionIndex& index = exclusionIndex.For(ExcludeList);
    return index.Holds(contactUin) || index.Holds(contactName);
}

}  // namespace quillet
