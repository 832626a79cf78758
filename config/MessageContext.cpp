#include "config/MessageContext.h"

#include <optional>
#include <utility>

#include "config/KeptFileBytes.h"
#include "config/StringOps.h"

namespace quillet {

namespace {

// What was last made from the bytes of one file's holder, with the inputs it was made from. It is
// given again only for the same bytes (the same generation of the file's holder), code page and
// locale (all that the making reads), so it never differs from making it anew; it only saves the
// work, and a comparison of the bytes, when consecutive messages find the same file.
template <typename Answer>
class MadeFromFile {
public:
    template <typename Make>
    const Answer& For(KeptFileBytes& file, const std::string& path, unsigned codePage,
                      std::uint32_t locale, Make make) {
        const std::optional<std::string>& bytes = file.Bytes(path);
        const bool same = kept_ && kept_->generation == file.generation() &&
                          kept_->codePage == codePage && kept_->locale == locale;
        if (!same) kept_.emplace(Kept{file.generation(), codePage, locale, make(bytes)});
        return kept_->answer;
    }

private:
    struct Kept {
        std::uint64_t generation;
        unsigned codePage;
        std::uint32_t locale;
        Answer answer;
    };
    std::optional<Kept> kept_;
};

KeptFileBytes settingsFile;
KeptFileBytes aliasesFile;
MadeFromFile<SettingsValues> settingsMade;
MadeFromFile<std::shared_ptr<const AliasRules>> rulesMade;
std::shared_ptr<const ExclusionIndex> lastExclusions;
std::uint64_t lastExclusionsVersion = 0;

// The index of the list as it is now. The list's version says whether it is still the one the
// last index was made from; the code page and the locale, whether its keys still hold.
std::shared_ptr<const ExclusionIndex> ExclusionsFor(const VersionedLines& list, unsigned codePage,
                                                    std::uint32_t locale) {
    const bool stillHolds = lastExclusions && lastExclusionsVersion == list.version() &&
                            lastExclusions->codePage() == codePage &&
                            lastExclusions->locale() == locale;
    if (!stillHolds) {
        lastExclusions = std::make_shared<const ExclusionIndex>(list.lines());
        lastExclusionsVersion = list.version();
    }
    return lastExclusions;
}

// The names of the two files beside the library, worked out again only for another library.
struct FilesBeside {
    std::string pluginPath;
    std::string settings;
    std::string aliases;
};

const FilesBeside& FilesBesideLibrary(const std::string& pluginPath) {
    static FilesBeside kept;
    if (kept.settings.empty() || kept.pluginPath != pluginPath) {
        kept = {pluginPath, IniFileNameFor(pluginPath), AliasesFileName(pluginPath)};
    }
    return kept;
}

// The library's path and what the system is set to now; the files' parts still to be filled.
MessageContext ContextOfTheSystem(const std::string& pluginPath) {
    MessageContext context;
    context.pluginPath = pluginPath;
    context.codePage = platform::AnsiCodePage();
    context.locale = platform::UserLocale();
    context.timeFormat = platform::UserTimeFormat();
    return context;
}

}  // namespace

MessageContext BuildMessageContext(const std::string& pluginPath,
                                   const VersionedLines& excludeList) {
    MessageContext context = ContextOfTheSystem(pluginPath);
    const FilesBeside& files = FilesBesideLibrary(pluginPath);
    context.settings = settingsMade.For(
        settingsFile, files.settings, context.codePage, context.locale,
        [](const auto& bytes) { return SettingsValues::FromFileBytes(bytes.value_or("")); });
    context.aliases = rulesMade.For(
        aliasesFile, files.aliases, context.codePage, context.locale, [](const auto& bytes) {
            return std::make_shared<const AliasRules>(ParseAliasRules(bytes));
        });
    context.exclusions = ExclusionsFor(excludeList, context.codePage, context.locale);
    return context;
}

MessageContext ContextAfterSaving(const std::string& pluginPath, std::string_view settingsFileBytes,
                                  const UnsavedOptions& options) {
    MessageContext context = ContextOfTheSystem(pluginPath);
    context.settings = SettingsValues::AfterWriting(settingsFileBytes, options.settings);
    context.aliases = std::make_shared<const AliasRules>(ParseAliasRules(options.aliasesText));
    context.exclusions = std::make_shared<const ExclusionIndex>(SplitLines(options.excludeText));
    return context;
}

}  // namespace quillet
