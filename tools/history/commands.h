// The commands of quillet-history, each run on options the command line has already checked,
// with paths in the platform's form. Data goes to standard output, everything else (the root
// used, errors, progress) to standard error. Each returns the process's exit status:
// as grep's, 0 found (or done), 1 nothing found (or, for check, something noted), 2 an error,
// after going on with the other files.
#pragma once

#include <string>
#include <vector>

#include "history/HistoryConversion.h"
#include "tools/history/entry_filter.h"
#include "tools/history/file_set.h"
#include "tools/history/scan.h"

namespace quillet::history_tool {

enum ExitStatus : int {
    kExitFound = 0,
    kExitNothingFound = 1,
    kExitError = 2,
};

// What every command takes: where the history is, and whether to say what the tool does.
struct CommonOptions {
    WhereOptions where;
    bool quiet = false;  // no word of the root used, no progress
};

// "list": a line per history file with its encoding, entries and first and last dates.
int RunList(const CommonOptions& common, bool json, ToolStreams& streams);

// "search": the entries that hold the text, in files of path order, in file order.
int RunSearch(const CommonOptions& common, const SearchOptions& search, bool json,
              ToolStreams& streams);

enum class ExportFormat { JsonLines, Csv, Html };

struct ExportOptions {
    ExportFormat format = ExportFormat::JsonLines;
    std::string output;              // a file (a folder for HTML); empty: standard output
    std::vector<std::string> files;  // empty: every history file
};

// "export": every entry of the files, in one of the formats.
int RunExport(const CommonOptions& common, const ExportOptions& options, ToolStreams& streams);

// "check": what the reader noted in each file, as "PATH:LINE: what"; 0 when every file reads
// cleanly, 1 when something was noted, 2 when a file could not be read.
int RunCheck(const CommonOptions& common, ToolStreams& streams);

// "convert": every ANSI history file turned into UTF-8 with `options` (its onProgress is the
// command's own), a line per ANSI file saying what was done with it and a line of totals; 0 when
// no file was left alone for a fault, 1 when one was or a folder could not be listed, 2 when
// nothing could be done (no history folder, a code page that cannot be that of history files).
int RunConvert(const CommonOptions& common, const ConversionOptions& options, ToolStreams& streams);

}  // namespace quillet::history_tool
