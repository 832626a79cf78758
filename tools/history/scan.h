// Reading history files one after the other through the history reader, for every command of
// quillet-history: each entry and each note goes to a visitor; a file that cannot be read is
// named with the system's reason and the others are still read.
#pragma once

#include <cstddef>
#include <ostream>
#include <vector>

#include "history/HistoryReader.h"
#include "tools/history/file_set.h"

namespace quillet::history_tool {

// The tool's two streams: data to `out`; errors, notes and progress to `err`.
struct ToolStreams {
    std::ostream& out;
    std::ostream& err;
    bool progress = false;  // show progress on `err` when the work lasts
    // `out` shows on the same terminal: the progress line is taken away before data is written.
    bool outputOnTerminal = false;
};

// What is done with the files' contents: the commands and the printers.
class EntryVisitor {
public:
    virtual ~EntryVisitor() = default;
    // A file begins; its first entry has been read, so the reader knows the file's encoding.
    virtual void BeginFile(const HistoryFile&, const HistoryReader&) {}
    virtual void Entry(const HistoryFile& file, const HistoryEntry& entry) = 0;
    // What the reader noted since the last call, in file order.
    virtual void Notes(const HistoryFile&, const std::vector<ReadNote>&) {}
    // The file has been read to its end.
    virtual void EndFile(const HistoryFile&, const HistoryReader&) {}
};

// Reads `files` in order with `options` and hands what they hold to `visitor`. A file that
// cannot be opened or read is named on `streams.err` ("quillet-history: PATH: reason"); what it
// gave before the failure stays given, and EndFile is not called for it. Once `streams.out`
// cannot be written, no further file is read. Returns how many files could not be read.
std::size_t ScanFiles(const std::vector<HistoryFile>& files, const ReaderOptions& options,
                      EntryVisitor& visitor, ToolStreams& streams);

// Names a failure on `err` as the tool does: "quillet-history: WHAT: reason".
void ReportError(std::ostream& err, const std::string& what, const platform::SystemError& error);

}  // namespace quillet::history_tool
