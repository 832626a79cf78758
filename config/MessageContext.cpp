#include "config/MessageContext.h"

#include <optional>
#include <tuple>
#include <utility>

namespace quillet {

namespace {

// The answer last computed and the inputs it was computed from. It is given again only for
// inputs equal in every part the computation reads, so it never differs from computing anew;
// it only saves the work when consecutive messages find the same files.
template <typename Inputs, typename Answer>
class LastAnswer {
public:
    template <typename Compute>
    const Answer& For(Inputs inputs, Compute compute) {
        if (!kept_ || kept_->first != inputs) {
            Answer answer = compute(std::as_const(inputs));
            kept_.emplace(std::move(inputs), std::move(answer));
        }
        return kept_->second;
    }

private:
    std::optional<std::pair<Inputs, Answer>> kept_;
};

// File bytes (nullopt: missing or unreadable), code page, user locale.
using TextInputs = std::tuple<std::optional<std::string>, unsigned, std::uint32_t>;

LastAnswer<TextInputs, SettingsValues> settingsFromBytes;
LastAnswer<TextInputs, std::shared_ptr<const AliasRules>> rulesFromBytes;
std::shared_ptr<const ExclusionIndex> lastExclusions;

std::shared_ptr<const ExclusionIndex> ExclusionsFor(const std::vector<std::string>& list,
                                                    unsigned codePage, std::uint32_t locale) {
    const bool stillHolds = lastExclusions && lastExclusions->list() == list &&
                            lastExclusions->codePage() == codePage &&
                            lastExclusions->locale() == locale;
    if (!stillHolds) lastExclusions = std::make_shared<const ExclusionIndex>(list);
    return lastExclusions;
}

}  // namespace

MessageContext BuildMessageContext(const std::string& pluginPath,
                                   const std::vector<std::string>& excludeList) {
    MessageContext context;
    context.pluginPath = pluginPath;
    context.codePage = platform::AnsiCodePage();
    context.locale = platform::UserLocale();
    context.timeFormat = platform::UserTimeFormat();
    context.settings = settingsFromBytes.For(
        {platform::ReadWholeFile(IniFileNameFor(pluginPath)), context.codePage, context.locale},
        [](const TextInputs& inputs) {
            return SettingsValues::FromFileBytes(std::get<0>(inputs).value_or(std::string()));
        });
    context.aliases = rulesFromBytes.For(
        {platform::ReadWholeFile(AliasesFileName(pluginPath)), context.codePage, context.locale},
        [](const TextInputs& inputs) {
            return std::make_shared<const AliasRules>(ParseAliasRules(std::get<0>(inputs)));
        });
    context.exclusions = ExclusionsFor(excludeList, context.codePage, context.locale);
    return context;
}

}  // namespace quillet
