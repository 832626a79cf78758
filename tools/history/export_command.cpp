// "export": every entry of the history files (or of the files named) in JSON Lines or CSV, to
// standard output or a file, or as HTML pages in a folder.
#include <memory>

#include "platform/host.h"
#include "tools/history/command_support.h"
#include "tools/history/csv_printer.h"
#include "tools/history/html_printer.h"
#include "tools/history/jsonl_printer.h"
#include "tools/history/output_streams.h"

namespace quillet::history_tool {

namespace {

// The files to export: those named, or every history file. nullopt when there are none to be
// had (the error said).
std::optional<LocatedHistory> FilesToExport(const CommonOptions& common,
                                            const ExportOptions& options, ToolStreams& streams) {
    if (options.files.empty()) return LocateAndFind(common, streams);
    LocatedHistory named;
    named.location = LocateFromOptions(common.where);
    for (const std::string& path : options.files) {
        named.files.push_back(NamedFile(path, named.location.root));
    }
    return named;
}

// True when the output would go where a history file is or could be (the tool never writes
// one); said on `err`.
bool RefusesOutput(const std::string& output, ExportFormat format, const LocatedHistory& history,
                   std::ostream& err) {
    const std::string written = format == ExportFormat::Html ? output + "\\index.html" : output;
    const std::string full = platform::FullPath(written);
    bool refused = IsHistoryFilePath(written, history.location);
    for (const HistoryFile& file : history.files) {
        refused = refused || platform::EqualIgnoreCase(platform::FullPath(file.path), full);
    }
    if (refused) {
        err << "quillet-history: " << platform::PathForUser(output)
            << " is a history file or would be taken for one: the export does not go there\n";
    }
    return refused;
}

// The folder of the HTML pages, made when missing; false (said why) when it cannot be.
bool MakeFolder(const std::string& folder, std::ostream& err) {
    if (platform::FolderExists(folder)) return true;
    try {
        platform::CreateFolder(folder);
        return true;
    } catch (const platform::SystemError& error) {
        ReportError(err, platform::PathForUser(folder), error);
        return false;
    }
}

std::unique_ptr<EntryPrinter> MakePrinter(ExportFormat format, std::ostream& out,
                                          const std::string& output, std::ostream& err) {
    switch (format) {
        case ExportFormat::JsonLines:
            return std::make_unique<JsonLinesPrinter>(out);
        case ExportFormat::Csv:
            return std::make_unique<CsvPrinter>(out);
        case ExportFormat::Html:
            return std::make_unique<HtmlPrinter>(output, err);
    }
    return nullptr;
}

// Every entry of `history` through the printer of the format, into `streams.out` (for HTML, the
// folder `output`); true when nothing failed.
bool ExportTo(const ExportOptions& options, const LocatedHistory& history, ToolStreams& streams) {
    const std::unique_ptr<EntryPrinter> printer =
        MakePrinter(options.format, streams.out, options.output, streams.err);
    const std::size_t failed = ScanFiles(history.files, DefaultReaderOptions(), *printer, streams);
    const bool printed = printer->Finish();
    return failed + history.errors == 0 && printed;
}

bool ExportToFile(const ExportOptions& options, const LocatedHistory& history,
                  ToolStreams& streams) {
    std::optional<FileOutput> file;
    try {
        file.emplace(options.output);
    } catch (const platform::SystemError& error) {
        ReportError(streams.err, platform::PathForUser(options.output), error);
        return false;
    }
    ToolStreams toFile{*file, streams.err, streams.progress, false};
    const bool exported = ExportTo(options, history, toFile);
    if (const auto& error = file->Finish()) {
        ReportError(streams.err, platform::PathForUser(options.output), *error);
        return false;
    }
    return exported;
}

}  // namespace

int RunExport(const CommonOptions& common, const ExportOptions& options, ToolStreams& streams) {
    if (options.format == ExportFormat::Html && options.output.empty()) {
        streams.err << "quillet-history: the HTML export needs a folder: --output DIR\n";
        return kExitError;
    }
    const std::optional<LocatedHistory> history = FilesToExport(common, options, streams);
    if (!history) return kExitError;
    if (!options.output.empty() &&
        RefusesOutput(options.output, options.format, *history, streams.err)) {
        return kExitError;
    }
    bool exported = false;
    if (options.format == ExportFormat::Html) {
        exported = MakeFolder(options.output, streams.err) && ExportTo(options, *history, streams);
    } else if (!options.output.empty()) {
        exported = ExportToFile(options, *history, streams);
    } else {
        exported = ExportTo(options, *history, streams);
    }
    return exported ? kExitFound : kExitError;
}

}  // namespace quillet::history_tool
