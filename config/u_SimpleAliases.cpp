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

// The rules' left texts in upper case, for the message they were loaded for: both passes of one
// message use the same bytes of "aliases.ini" and so the same rules.
struct RulesOfMessage {
    unsigned long long scope = 0;
    std::vector<std::string> upperFrom;
};
RulesOfMessage rulesOfMessage;

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
}  // namespace

void LoadAliases(const std::string& libraryPath) {
    AliasFromList.clear();
    AliasToList.clear();
    for (const std::string& line : ReadListFile(libraryPath, "aliases.ini")) {
        if (IsCommentOrEmpty(line)) continue;
        const std::size_t separator = line.find("==");
        if (separator == std::string::npos) {
            AliasFromList.push_back(line);
            AliasToList.emplace_back(kRightTextWithoutSeparator);
        } else {
            AliasFromList.push_back(line.substr(0, separator));
            AliasToList.push_back(line.substr(separator + 2));
        }
    }
}

std::string ApplyAliases(const std::string& text) {
    const unsigned long long scope = CurrentMessageScope();
    const bool loadedForThisMessage = scope != 0 && rulesOfMessage.scope == scope &&
                                      rulesOfMessage.upperFrom.size() == AliasFromList.size();
    if (!loadedForThisMessage) {
        LoadAliases(PluginPath);
        rulesOfMessage.upperFrom.clear();
        for (const std::string& from : AliasFromList) {
            rulesOfMessage.upperFrom.push_back(platform::UpperCase(from));
        }
        rulesOfMessage.scope = scope;
    }
    std::string result = text;
    // A rule whose left text does not occur leaves the text as it is; only a rule that matches
    // builds a new text, and only then does the upper-case form for the next rules change.
    std::string upperResult = platform::UpperCase(result);
    for (std::size_t i = 0; i < AliasFromList.size(); ++i) {
        const std::string& from = AliasFromList[i];
        if (from.empty() || from.size() > result.size()) continue;
        if (upperResult.find(rulesOfMessage.upperFrom[i]) == std::string::npos) continue;
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
