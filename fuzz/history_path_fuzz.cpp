// The whole composition of a history file's path from hostile settings, alias rules and
// message fields: ExpandFolderMacros, ExpandContactMacros, two alias passes, CleanFileName and
// the device-name rule, as HistoryFilePath does it with the context of the files beside the
// plug-in.
// Input fields: the first (its first byte is the mode, the rest PathFolder1 in the hostile
// mode), PathFolder2, PathFile1, PathFileExt, the aliases file, protocol, contact identifier,
// contact name, own identifier, own name.
//
// Hostile mode (mode byte odd): the four templates go into the settings file as they come
// (blanks, quotes, environment variables, folder macros and all) and the aliases file holds the
// fuzzed rules (an input with a rule that lengthens text is skipped, see HasGrowingRule).
// Invariants checked on every input, in both modes:
//  - no crash, no hang;
//  - the path is a fixed point of CleanFileName and of the device-name rule;
//  - the context kept from the previous input gives the path that one made afresh from the
//    files gives;
//  - the options dialog's Preview page, composing from the same templates and rules as its
//    editors would hold them unsaved, shows the path a message takes once they are saved.
// Containment, checked when the mode byte is even: PathFolder1 is "%QUILLET PATH%", the other
// three templates keep only letters, digits, blanks, "_", "-", "\" and the five contact macros,
// and there are no alias rules. Then the only text that can bring a dot into the path below
// the plug-in's folder is an inserted value, and the check is: the path begins with the
// plug-in's folder (as CleanFileName leaves it) and no "\"-separated piece after it is made
// only of blanks and two or more dots (".." once Windows drops trailing dots and blanks), so no
// inserted value climbs out of the folders the templates name. A lone "." is not checked: the
// dot that joins file name and extension makes one when the values around it are empty (the
// file then names its folder, and the write fails and is reported), which is the templates'
// doing, not a value's.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/PluginGlobals.h"
#include "config/u_IniSettings.h"
#include "fuzz_support.h"
#include "history/HistoryPreview.h"
#include "history/PathSafety.h"
#include "history/uHistorySave.h"
#include "platform/platform.h"

namespace {

using quillet::fuzz::Check;

constexpr const char* kContactMacros[] = {"%PROTOCOL%", "%CONTACTNAME%", "%UIN%", "%MYUIN%",
                                          "%MYNAME%"};

// A template from fuzzed text: safe characters kept, each other byte turned into one of the
// contact macros (chosen by its value).
std::string SafeTemplate(const std::string& text) {
    std::string result;
    for (unsigned char c : text) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == ' ' || c == '_' || c == '-' || c == '\\';
        if (safe) {
            result += static_cast<char>(c);
        } else {
            result += kContactMacros[c % 5];
        }
    }
    return result;
}

std::string SettingsFile(const std::string& folder1, const std::string& folder2,
                         const std::string& file, const std::string& extension) {
    return "[Settings]\r\nPathFolder1=" + folder1 + "\r\nPathFolder2=" + folder2 +
           "\r\nPathFile1=" + file + "\r\nPathFileExt=" + extension + "\r\n";
}

// A piece that climbs to the parent folder: two dots or more and nothing but blanks besides.
bool IsClimbingSegment(std::string_view piece) {
    return std::count(piece.begin(), piece.end(), '.') >= 2 &&
           piece.find_first_not_of(". ") == std::string_view::npos;
}

void CheckContained(const std::string& path, const std::string& base) {
    Check(path.compare(0, base.size(), base) == 0, "the path begins with the plug-in's folder",
          path);
    std::size_t start = base.size();
    for (;;) {
        const std::size_t end = path.find('\\', start);
        const std::string_view piece = std::string_view(path).substr(start, end - start);
        Check(!IsClimbingSegment(piece), "no inserted value climbs out of its folder", path);
        if (end == std::string::npos) return;
        start = end + 1;
    }
}

// The templates and rules as the dialog's editors would hold them: the preview of a message, then
// the same values saved as the dialog's Save writes them and the path the writer then takes.
void CheckPreviewIsWhatSaveGives(const quillet::fuzz::ScratchFolder& folder,
                                 const std::string& folder1, const std::vector<std::string>& fields,
                                 const std::string& aliases, const quillet::THistoryRec& rec) {
    quillet::UnsavedOptions options;
    options.settings = {folder1, fields[1], fields[2], fields[3], "C:\\", "ANSI"};
    options.aliasesText = aliases;
    const auto settingsBytes = platform::ReadWholeFile(quillet::SettingsFileName());
    const std::string shown =
        quillet::PreviewMessage(
            quillet::ContextAfterSaving(quillet::PluginPath, settingsBytes.value_or(""), options),
            rec)
            .steps.path;
    for (const quillet::SettingRow& row : quillet::SettingsTable) {
        try {
            quillet::WriteSetting(row.key, options.settings[static_cast<std::size_t>(row.setting)]);
        } catch (const quillet::SettingsWriteError&) {
            // The dialog's Save stops there too; the preview took the file's value.
        }
    }
    folder.write("aliases.ini", aliases);
    const std::string written =
        quillet::HistoryFilePath(quillet::BuildMessageContext(quillet::PluginPath, {}), rec);
    Check(shown == written, "the preview shows the path a message takes once saved", shown);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& folder = quillet::fuzz::PluginFolder();
    const auto fields = quillet::fuzz::SplitFields(data, size, 10);
    const bool hostile = !fields[0].empty() && (static_cast<unsigned char>(fields[0][0]) & 1) != 0;

    if (hostile && quillet::fuzz::HasGrowingRule(fields[4])) return -1;
    if (hostile) {
        // Raw settings bytes: the templates as the file gives them, blanks, quotes and all.
        folder.write("Quillet.ini",
                     SettingsFile(fields[0].substr(1), fields[1], fields[2], fields[3]));
        folder.write("aliases.ini", fields[4]);
    } else {
        folder.write("Quillet.ini", SettingsFile("%QUILLET PATH%", SafeTemplate(fields[1]),
                                                 SafeTemplate(fields[2]), SafeTemplate(fields[3])));
        folder.remove("aliases.ini");
    }

    quillet::THistoryRec rec;
    rec.Protocol = platform::AnsiToWide(fields[5]);
    rec.ContactUIN = platform::AnsiToWide(fields[6]);
    rec.ContactName = platform::AnsiToWide(fields[7]);
    rec.MyUIN = platform::AnsiToWide(fields[8]);
    rec.MyName = platform::AnsiToWide(fields[9]);

    const quillet::MessageContext context = quillet::BuildMessageContext(quillet::PluginPath, {});
    const std::string path = quillet::HistoryFilePath(context, rec);
    quillet::MessageContext fresh = context;
    const auto settingsBytes = platform::ReadWholeFile(quillet::SettingsFileName());
    fresh.settings = quillet::SettingsValues::FromFileBytes(settingsBytes.value_or(""));
    fresh.aliases = std::make_shared<const quillet::AliasRules>(quillet::ParseAliasRules(
        platform::ReadWholeFile(quillet::AliasesFileName(quillet::PluginPath))));
    Check(quillet::HistoryFilePath(fresh, rec) == path, "the kept context is a fresh one", path);
    Check(quillet::CleanFileName(path) == path, "the path is clean", path);
    Check(quillet::ProtectDeviceNames(path) == path, "the path has no device names", path);
    if (!hostile) CheckContained(path, quillet::CleanFileName(folder.pluginForm()));
    CheckPreviewIsWhatSaveGives(folder, hostile ? fields[0].substr(1) : "%QUILLET PATH%", fields,
                                hostile ? fields[4] : "", rec);
    return 0;
}
