#include "config/u_SimpleAliases.h"

#include <algorithm>
#include <array>

#include "config/PluginGlobals.h"
#include "config/StringOps.h"
#include "platform/platform.h"

namespace quillet {

namespace {
// A rule line without "==" replaces its whole text by this.
constexpr std::string_view kRightTextWithoutSeparator = "  ";

// The lines of a list file beside the library; none when it is missing or cannot be read (a
// file another program holds open for writing counts as missing).
std::vector<std::string> ReadListFile(const std::string& fileName) {
    const auto content = platform::ReadWholeFile(fileName);
    return content ? SplitLines(*content) : std::vector<std::string>();
}

// The rules of "aliases.ini" beside `libraryPath`, also put into AliasFromList and AliasToList.
AliasRules LoadRulesIntoLists(const std::string& libraryPath);

// Which pairs of adjacent bytes a text holds, folded into 4 096 bits: a text that lacks the pair
// a rule's left text begins with cannot hold that text. Two pairs may share a bit, so a pair that
// is there only says the text may hold it. Searching a path of some 100 bytes for each of a
// hundred rules would otherwise cost more than all the rest of a message.
class BytePairs {
public:
    // A left text of one byte has no pair, and is always searched for.
    static constexpr std::uint16_t kNoPair = 0xFFFF;

    static std::uint16_t PairOf(std::string_view text) {
        return text.size() < 2 ? kNoPair : Fold(text[0], text[1]);
    }

    explicit BytePairs(std::string_view text) {
        for (std::size_t i = 0; i + 1 < text.size(); ++i) {
            const std::uint16_t pair = Fold(text[i], text[i + 1]);
            bits_[pair / 64] |= std::uint64_t{1} << (pair % 64);
        }
    }

    bool MayHold(std::uint16_t pair) const {
        return pair == kNoPair || (bits_[pair / 64] >> (pair % 64) & 1) != 0;
    }

private:
    static std::uint16_t Fold(char first, char second) {
        const unsigned a = static_cast<unsigned char>(first);
        const unsigned b = static_cast<unsigned char>(second);
        return static_cast<std::uint16_t>((a << 4 ^ b) & 0xFFF);
    }

    std::array<std::uint64_t, 64> bits_{};
};

bool IsCommentOrEmpty(const std::string& line) {
    const std::string_view trimmed = TrimControlAndBlank(line);
    return trimmed.empty() || trimmed.front() == ';';
}
}  // namespace

AliasRules ParseAliasRules(const std::optional<std::string>& fileBytes) {
    AliasRules rules;
    if (!fileBytes) return rules;
    for (const std::string& line : SplitLines(*fileBytes)) {
        if (IsCommentOrEmpty(line)) continue;
        const std::size_t separator = line.find("==");
        if (separator == std::string::npos) {
            rules.from.push_back(line);
            rules.to.emplace_back(kRightTextWithoutSeparator);
        } else {
            rules.from.push_back(line.substr(0, separator));
            rules.to.push_back(line.substr(separator + 2));
        }
        rules.upperFrom.push_back(UpperCaseForSearch(rules.from.back()));
        rules.leadingPair.push_back(BytePairs::PairOf(rules.upperFrom.back()));
    }
    return rules;
}

std::string ApplyAliases(const AliasRules& rules, const std::string& text) {
    std::vector<std::size_t> changedBy;
    return ApplyAliases(rules, text, changedBy);
}

std::string ApplyAliases(const AliasRules& rules, const std::string& text,
                         std::vector<std::size_t>& changedBy) {
    if (rules.from.empty()) return text;
    std::string result = text;
    // A rule whose left text does not occur leaves the text as it is; only a rule that matches
    // builds a new text, and only then does the upper-case form for the next rules change.
    std::string upperResult = UpperCaseForSearch(result);
    BytePairs pairs(upperResult);
    for (std::size_t i = 0; i < rules.from.size(); ++i) {
        if (!pairs.MayHold(rules.leadingPair[i])) continue;
        const std::string& upperFrom = rules.upperFrom[i];
        if (upperFrom.empty() || upperFrom.size() > upperResult.size()) continue;
        if (upperResult.find(upperFrom) == std::string::npos) continue;
        std::string replaced = ReplaceAllIgnoreCase(result, rules.from[i], rules.to[i]);
        if (replaced == result) continue;
        result = std::move(replaced);
        upperResult = UpperCaseForSearch(result);
        pairs = BytePairs(upperResult);
        changedBy.push_back(i);
    }
    return result;
}

std::string AliasesFileName(const std::string& libraryPath) {
    return FolderOf(libraryPath) + "aliases.ini";
}

std::string ExcludeFileName(const std::string& libraryPath) {
    return FolderOf(libraryPath) + "Exclude.ini";
}

namespace {
AliasRules LoadRulesIntoLists(const std::string& libraryPath) {
    AliasRules rules = ParseAliasRules(platform::ReadWholeFile(AliasesFileName(libraryPath)));
    AliasFromList = rules.from;
    AliasToList = rules.to;
    return rules;
}
}  // namespace

void LoadAliases(const std::string& libraryPath) {
    LoadRulesIntoLists(libraryPath);
}

std::string ApplyAliases(const std::string& text) {
    return ApplyAliases(LoadRulesIntoLists(PluginPath), text);
}

void ReloadLists() {
    LoadAliases(PluginPath);
    ExcludeList.Replace(ReadListFile(ExcludeFileName(PluginPath)));
}

ExclusionIndex::ExclusionIndex(std::vector<std::string> list)
    : list_(std::move(list)), codePage_(platform::AnsiCodePage()), locale_(platform::UserLocale()) {
    for (std::size_t i = 0; i < list_.size(); ++i) {
        positionsByKey_.emplace(platform::ComparisonKey(list_[i]), i);
    }
}

std::optional<std::size_t> ExclusionIndex::Find(std::string_view text) const {
    if (list_.empty()) return std::nullopt;
    const auto [first, last] = positionsByKey_.equal_range(platform::ComparisonKey(text));
    // Equal keys mean equal texts; the comparison itself still has the last word.
    std::optional<std::size_t> position;
    for (auto found = first; found != last; ++found) {
        const bool equal = platform::EqualIgnoreCase(list_[found->second], text);
        if (equal && (!position || found->second < *position)) position = found->second;
    }
    return position;
}

std::optional<std::size_t> ExcludingEntry(const ExclusionIndex& exclusions,
                                          std::string_view contactUin,
                                          std::string_view contactName) {
    if (const auto byUin = exclusions.Find(contactUin)) return byUin;
    return exclusions.Find(contactName);
}

bool IsExcluded(const ExclusionIndex& exclusions, std::string_view contactUin,
                std::string_view contactName) {
    return ExcludingEntry(exclusions, contactUin, contactName).has_value();
}

}  // namespace quillet
