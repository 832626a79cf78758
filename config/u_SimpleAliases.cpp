#include "config/u_SimpleAliases.h"

#include <algorithm>
#include <vector>

#include "config/StringOps.h"
#include "platform/platform.h"
#include "plugin/main.h"

namespace quillet {

namespace {
// A rule line without "==" replaces its whole text by this.
constexpr std::string_view kRightTextWithoutSeparator = "  ";

// The lines of a list file beside the library; none when it is missing or cannot be read (a
// file another program holds open for writing counts as missing).
std::vector<std::string> ReadListFile(const std::string& libraryPath, const char* name) {
    const auto content = platform::ReadWholeFile(FolderOf(libraryPath) + name);
    return content ? SplitLines(*content) : std::vector<std::string>();
}

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
    LoadAliases(PluginPath);
    std::string result = text;
    for (std::size_t i = 0; i < AliasFromList.size(); ++i) {
        result = ReplaceAllIgnoreCase(result, AliasFromList[i], AliasToList[i]);
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
