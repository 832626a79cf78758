#include "config/u_SimpleAliases.h"

#include <algorithm>
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
    const auto equalTo = [](const std::string& text) {
        return [&text](const std::string& entry) { return platform::EqualIgnoreCase(entry, text); };
    };
    return std::any_of(ExcludeList.begin(), ExcludeList.end(), equalTo(contactUin)) ||
           std::any_of(ExcludeList.begin(), ExcludeList.end(), equalTo(contactName));
}

}  // namespace quillet
