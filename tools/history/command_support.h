// What the commands of quillet-history share.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "tools/history/commands.h"

namespace quillet::history_tool {

struct LocatedHistory {
    HistoryLocation location;
    std::vector<HistoryFile> files;
    std::size_t errors = 0;  // folders that could not be listed
};

// The history's location the options name, the root said on `streams.err` (unless quiet);
// nullopt, said why, when the root folder does not exist.
std::optional<HistoryLocation> LocateRoot(const CommonOptions& common, ToolStreams& streams);

// The history files below the root the options name, the root said on `streams.err` (unless
// quiet) and every folder that could not be listed named there; nullopt, said why, when the
// root folder does not exist.
std::optional<LocatedHistory> LocateAndFind(const CommonOptions& common, ToolStreams& streams);

}  // namespace quillet::history_tool
