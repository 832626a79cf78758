// The reference host: drives a plug-in library through its whole life the way the messenger
// does, and reports what the plug-in answered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace quillet::host {

struct HostOptions {
    std::string pluginPath;                 // in the operating system's own form
    std::optional<std::string> replayPath;  // a replay file (docs/replay-format.md)
    std::vector<std::int32_t> rawEvents;    // event codes sent as they are, no data
    bool showOptions = false;               // send EVENT_SHOW_OPTIONS
    bool quiet = false;                     // no line per event, only the summary
    std::size_t progressEvery = 0;          // a progress line on stderr every N messages; 0: none
};

// The process's exit codes.
enum ExitCode : int {
    kExitOk = 0,
    kExitBadReplay = 1,        // the replay file cannot be read or has a malformed line
    kExitLoadFailed = 2,       // the library, its export or its information record is missing
    kExitReferencesWrong = 3,  // the plug-in kept or dropped references it should not have
};

// Loads the plug-in, creates it with the host's service, stores the module handle in its
// information record, sends EVENT_STARTUP, prints the record, sends the raw events, the options
// event and the replayed messages in this order, releases the plug-in, checks the reference
// counts and frees the library. The replay file is checked completely before the library is
// loaded, so a malformed file delivers nothing. Reports go to `out`, errors and progress to
// `err`; the result is one of ExitCode.
int RunHost(const HostOptions& options, std::ostream& out, std::ostream& err);

}  // namespace quillet::host
