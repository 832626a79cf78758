// quillet-history: lists, searches, checks, exports and converts the history files Quillet
// writes. The command line is read here; each command is a function of commands.h.
#include <CLI/CLI.hpp>
#include <map>

#include "platform/host.h"
#include "tools/history/commands.h"
#include "tools/history/output_streams.h"

namespace {

namespace tool = quillet::history_tool;

// What the command line gives, as it gives it (UTF-8, the system's own path form).
struct CommandLine {
    std::string pluginDir;
    std::string root;
    bool quiet = false;
    bool json = false;
    std::string since;
    std::string until;
    tool::SearchOptions search;
    std::string format = "jsonl";
    std::string output;
    std::vector<std::string> files;
    quillet::ConversionOptions convert;
};

// A path of the command line in the platform's form; false (said why) when the ANSI code page
// cannot hold it.
bool ToPlatformPath(const std::string& given, std::string& path, std::ostream& err) {
    if (given.empty()) {
        path.clear();
        return true;
    }
    const std::optional<std::string> converted = platform::PathFromUser(given);
    if (!converted) {
        err << "quillet-history: " << given
            << ": the path has characters that the system's code page cannot hold\n";
        return false;
    }
    path = *converted;
    return true;
}

bool ToDay(const std::string& given, const char* option, std::optional<tool::Day>& day,
           std::ostream& err) {
    if (given.empty()) return true;
    day = tool::ParseDay(given);
    if (!day) err << "quillet-history: " << option << " " << given << ": not a day YYYY-MM-DD\n";
    return day.has_value();
}

void AddCommands(CLI::App& app, CommandLine& line) {
    app.fallthrough();  // the common options also after the command, as its subcommands inherit
    app.add_option("--plugin-dir", line.pluginDir,
                   "the plug-in's folder, whose Quillet.ini says where the history is "
                   "(default: the folder of this program)");
    app.add_option("--root", line.root, "the history folder itself, instead of the settings'");
    app.add_flag("--quiet,-q", line.quiet, "no progress, no word of the folder used");

    CLI::App* list =
        app.add_subcommand("list", "a line per history file: encoding, entries, dates");
    list->add_flag("--json", line.json, "one JSON object per file and line");

    CLI::App* search = app.add_subcommand("search", "the entries whose text or name holds TEXT");
    search->add_option("TEXT", line.search.text, "what to find")->required();
    search->add_option("--contact", line.search.contact,
                       "only files whose path, or entries whose name, holds this (any case)");
    search->add_option("--since", line.since, "only entries of this day (YYYY-MM-DD) or later");
    search->add_option("--until", line.until, "only entries of this day (YYYY-MM-DD) or earlier");
    search->add_flag("--case-sensitive", line.search.caseSensitive, "letter case counts");
    search->add_flag("--regex", line.search.regex, "TEXT is a regular expression (ECMAScript)");
    search->add_flag("--json", line.json, "one JSON object per entry and line");

    CLI::App* exporter = app.add_subcommand("export", "every entry as JSON Lines, CSV or HTML");
    exporter->add_option("--format", line.format, "jsonl, csv or html")
        ->check(CLI::IsMember({"jsonl", "csv", "html"}));
    exporter->add_option("--output", line.output,
                         "the file to write (a folder for html); default: standard output");
    exporter->add_option("FILE", line.files, "history files to export (default: all)");

    app.add_subcommand("check", "what each history file holds that Quillet does not write");

    CLI::App* convert = app.add_subcommand("convert", "every ANSI history file turned into UTF-8");
    convert
        ->add_option("--code-page", line.convert.codePage,
                     "the code page of the ANSI files (default: the system's, " +
                         std::to_string(platform::AnsiCodePage()) + ")")
        ->check(CLI::Range(1u, 65535u));
    convert->add_flag("--dry-run", line.convert.dryRun, "say what would be done; write nothing");
    convert->add_flag("--keep-backup", line.convert.keepBackup,
                      "keep each ANSI file beside its new one as NAME.ansi");
    app.require_subcommand(1);
}

int Run(const CLI::App& app, CommandLine& line, tool::ToolStreams& streams) {
    tool::CommonOptions common;
    common.quiet = line.quiet;
    if (!ToPlatformPath(line.pluginDir, common.where.pluginDir, streams.err) ||
        !ToPlatformPath(line.root, common.where.root, streams.err)) {
        return tool::kExitError;
    }
    const std::string command = app.get_subcommands().front()->get_name();
    if (command == "list") return tool::RunList(common, line.json, streams);
    if (command == "check") return tool::RunCheck(common, streams);
    if (command == "convert") return tool::RunConvert(common, line.convert, streams);
    if (command == "search") {
        if (!ToDay(line.since, "--since", line.search.since, streams.err) ||
            !ToDay(line.until, "--until", line.search.until, streams.err)) {
            return tool::kExitError;
        }
        return tool::RunSearch(common, line.search, line.json, streams);
    }
    static const std::map<std::string, tool::ExportFormat> kFormats = {
        {"jsonl", tool::ExportFormat::JsonLines},
        {"csv", tool::ExportFormat::Csv},
        {"html", tool::ExportFormat::Html}};
    tool::ExportOptions options;
    options.format = kFormats.at(line.format);
    if (!ToPlatformPath(line.output, options.output, streams.err)) return tool::kExitError;
    for (const std::string& file : line.files) {
        if (!ToPlatformPath(file, options.files.emplace_back(), streams.err)) {
            return tool::kExitError;
        }
    }
    return tool::RunExport(common, options, streams);
}

}  // namespace

int main(int argc, char** argv) {
    tool::StandardOutput out(platform::StandardStream::Output);
    tool::StandardOutput err(platform::StandardStream::Error);
    CLI::App app{"Lists, searches, checks, exports and converts the history files Quillet writes.",
                 "quillet-history"};
    CommandLine line;
    AddCommands(app, line);

    const std::vector<std::string> arguments = platform::CommandLineArguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    int status = tool::kExitError;
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
        tool::ToolStreams streams{
            out, err, !line.quiet && platform::IsTerminal(platform::StandardStream::Error),
            platform::IsTerminal(platform::StandardStream::Output)};
        status = Run(app, line, streams);
    } catch (const CLI::ParseError& error) {
        status = app.exit(error, out, err) == 0 ? 0 : tool::kExitError;
    } catch (const std::exception& error) {
        err << "quillet-history: " << error.what() << '\n';
        status = tool::kExitError;
    }
    out.flush();
    out.Finish();
    if (out.failed()) {
        err << "quillet-history: the output could not be written whole\n";
        status = tool::kExitError;
    }
    err.flush();
    return status;
}
