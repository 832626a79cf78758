// The whole composition of a history file's path from hostile settings, alias rules and
// message fields: ExpandFolderMacros, ExpandContactMacros, two alias passes, CleanFileName and
// the device-name rule, as HistoryFilePath does it, with a context made in memory from the
// bytes of the settings file and of the aliases file (path_input.h tells what an input holds).
// Nothing is written: history_path_files checks that the files beside the plug-in give the
// same context, and that the options dialog's Preview agrees with a Save.
// Invariants checked on every input, in both modes:
//  - no crash, no hang;
//  - the path is a fixed point of CleanFileName and of the device-name rule.
// Containment, checked in the safe mode: the only text that can bring a dot into the path below
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

#include "config/MessageContext.h"
#include "config/PluginGlobals.h"
#include "fuzz_support.h"
#include "history/PathSafety.h"
#include "history/uHistorySave.h"
#include "path_input.h"

namespace {

using quillet::fuzz::Check;

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& folder = quillet::fuzz::PluginFolder();  // PluginPath, never written to here
    const auto input = quillet::fuzz::ReadPathInput(data, size);
    if (!input) return -1;

    quillet::MessageContext context;
    context.pluginPath = quillet::PluginPath;
    context.settings = quillet::SettingsValues::FromFileBytes(input->SettingsFile());
    context.aliases =
        std::make_shared<const quillet::AliasRules>(quillet::ParseAliasRules(input->aliasesFile));
    const std::string path = quillet::HistoryFilePath(context, input->rec);
    Check(quillet::CleanFileName(path) == path, "the path is clean", path);
    Check(quillet::ProtectDeviceNames(path) == path, "the path has no device names", path);
    if (!input->hostile) CheckContained(path, quillet::CleanFileName(folder.pluginForm()));
    return 0;
}
