// quillet-host: loads a plug-in library the way the messenger does and replays messages to it.
#include <CLI/CLI.hpp>
#include <iostream>

#include "platform/host.h"
#include "platform/platform.h"
#include "tools/host/host.h"

int main(int argc, char** argv) {
    quillet::host::HostOptions options;
    CLI::App app{
        "Loads a Dax Corvex plug-in library as the messenger does, sends it the start-up "
        "event and replays chat messages to it."};
    app.add_option("plugin", options.pluginPath, "the plug-in library (Quillet.dll, Quillet.so)")
        ->required();
    app.add_option("--replay", options.replayPath,
                   "a file of messages to deliver, one JSON object a line "
                   "(docs/replay-format.md)");
    app.add_flag("--options", options.showOptions, "send EVENT_SHOW_OPTIONS");
    app.add_option("--event", options.rawEvents, "send this event code with no data (repeatable)")
        ->allow_extra_args(false);
    app.add_flag("--quiet", options.quiet, "no line per event, only the summary");
    app.add_option("--progress", options.progressEvery,
                   "a progress line on stderr every N replayed messages");
    CLI11_PARSE(app, argc, argv);

    platform::UseUtf8Console();
    return quillet::host::RunHost(options, std::cout, std::cerr);
}
