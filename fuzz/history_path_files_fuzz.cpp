// The files beside the plug-in agree with what the path composition makes of their bytes: the
// inputs of history_path (path_input.h) written as the settings file and the aliases file, and a
// message's path taken as the message path takes it, through the context it keeps from one
// message to the next. Slower than history_path by far (every input writes files, and a Save
// replaces the settings file), so it has a target of its own.
// Invariants checked on every input, in both modes:
//  - no crash, no hang;
//  - the context made from the files, kept from the previous input where the files say it still
//    holds, gives the path that a context made from the bytes written gives;
//  - the options dialog's Preview page, composing from the same templates and rules as its
//    editors would hold them unsaved, shows the path a message takes once they are saved.
#include <cstdint>
#include <memory>
#include <string>

#include "config/MessageContext.h"
#include "config/PluginGlobals.h"
#include "config/u_IniSettings.h"
#include "fuzz_support.h"
#include "history/HistoryPreview.h"
#include "history/uHistorySave.h"
#include "path_input.h"
#include "platform/platform.h"

namespace {

using quillet::fuzz::Check;

// Writes the input's files beside the plug-in (or removes the aliases file it has none of).
void WriteFiles(const quillet::fuzz::ScratchFolder& folder, const quillet::fuzz::PathInput& input) {
    folder.write("Quillet.ini", input.SettingsFile());
    if (input.aliasesFile) {
        folder.write("aliases.ini", *input.aliasesFile);
    } else {
        folder.remove("aliases.ini");
    }
}

// The templates and rules as the dialog's editors would hold them: the preview of a message, then
// the same values saved as the dialog's Save writes them and the path the writer then takes.
void CheckPreviewIsWhatSaveGives(const quillet::fuzz::ScratchFolder& folder,
                                 const quillet::fuzz::PathInput& input) {
    quillet::UnsavedOptions options;
    options.settings = {input.templates[0],
                        input.templates[1],
                        input.templates[2],
                        input.templates[3],
                        "C:\\",
                        "ANSI"};
    options.aliasesText = input.aliasesFile.value_or("");
    const auto settingsBytes = platform::ReadWholeFile(quillet::SettingsFileName());
    const std::string shown =
        quillet::PreviewMessage(
            quillet::ContextAfterSaving(quillet::PluginPath, settingsBytes.value_or(""), options),
            input.rec)
            .steps.path;
    try {
        quillet::WriteSettings(options.settings);
    } catch (const quillet::SettingsWriteError&) {
        // The dialog's Save writes none of them then; the preview took the file's values.
    }
    folder.write("aliases.ini", options.aliasesText);
    const std::string written = quillet::HistoryFilePath(
        quillet::BuildMessageContext(quillet::PluginPath, quillet::VersionedLines()), input.rec);
    Check(shown == written, "the preview shows the path a message takes once saved", shown);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& folder = quillet::fuzz::PluginFolder();
    const auto input = quillet::fuzz::ReadPathInput(data, size);
    if (!input) return -1;
    WriteFiles(folder, *input);

    const quillet::MessageContext kept =
        quillet::BuildMessageContext(quillet::PluginPath, quillet::VersionedLines());
    quillet::MessageContext fresh = kept;
    fresh.settings = quillet::SettingsValues::FromFileBytes(input->SettingsFile());
    fresh.aliases =
        std::make_shared<const quillet::AliasRules>(quillet::ParseAliasRules(input->aliasesFile));
    const std::string path = quillet::HistoryFilePath(kept, input->rec);
    Check(quillet::HistoryFilePath(fresh, input->rec) == path,
          "the context made from the files is the one their bytes make", path);
    CheckPreviewIsWhatSaveGives(folder, *input);
    return 0;
}
