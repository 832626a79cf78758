#include "tools/history/command_support.h"

#include "platform/host.h"

namespace quillet::history_tool {

std::optional<HistoryLocation> LocateRoot(const CommonOptions& common, ToolStreams& streams) {
    HistoryLocation location = LocateFromOptions(common.where);
    // The settings give the root with "\\" after the plug-in folder: shown in its full form.
    const std::string full = platform::FullPath(location.root);
    const std::string shownRoot = platform::PathForUser(full.empty() ? location.root : full);
    if (!platform::FolderExists(location.root)) {
        streams.err << "quillet-history: there is no history folder " << shownRoot << '\n';
        return std::nullopt;
    }
    if (!common.quiet) streams.err << "quillet-history: history in " << shownRoot << '\n';
    return location;
}

std::optional<LocatedHistory> LocateAndFind(const CommonOptions& common, ToolStreams& streams) {
    std::optional<HistoryLocation> location = LocateRoot(common, streams);
    if (!location) return std::nullopt;
    LocatedHistory located;
    located.location = std::move(*location);
    FileSet set = FindFiles(located.location);
    for (const platform::SystemError& error : set.unreadable) {
        ReportError(streams.err, platform::PathForUser(error.path()), error);
    }
    located.files = std::move(set.files);
    located.errors = set.unreadable.size();
    return located;
}

}  // namespace quillet::history_tool
