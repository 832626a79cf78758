#include "tools/history/command_support.h"

#include "platform/host.h"

namespace quillet::history_tool {

std::optional<LocatedHistory> LocateAndFind(const CommonOptions& common, ToolStreams& streams) {
    LocatedHistory located;
    located.location = LocateFromOptions(common.where);
    // The settings give the root with "\\" after the plug-in folder: shown in its full form.
    const std::string full = platform::FullPath(located.location.root);
    const std::string shownRoot =
        platform::PathForUser(full.empty() ? located.location.root : full);
    if (!platform::FolderExists(located.location.root)) {
        streams.err << "quillet-history: there is no history folder " << shownRoot << '\n';
        return std::nullopt;
    }
    if (!common.quiet) streams.err << "quillet-history: history in " << shownRoot << '\n';
    FileSet set = FindFiles(located.location);
    for (const platform::SystemError& error : set.unreadable) {
        ReportError(streams.err, platform::PathForUser(error.path()), error);
    }
    located.files = std::move(set.files);
    located.errors = set.unreadable.size();
    return located;
}

}  // namespace quillet::history_tool
