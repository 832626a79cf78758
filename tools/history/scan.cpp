#include "tools/history/scan.h"

#include <algorithm>
#include <memory>

#include "platform/platform.h"
#include "tools/history/progress.h"

namespace quillet::history_tool {

namespace {

// A reader of the file that tells `progress` of every piece it reads. The file is opened with
// read, write and delete sharing, so the messenger may go on writing.
HistoryReader OpenReader(const HistoryFile& file, ReaderOptions options, Progress& progress) {
    options.onRead = [&progress](std::size_t bytes) { progress.AddBytes(bytes); };
    return HistoryReader::OpenFile(file.path, std::move(options));
}

// Reads one file, handing what it holds to the visitor. When the visitor's output shows on the
// terminal, the progress line is taken away before each piece of it.
void ReadFile(const HistoryFile& file, const ReaderOptions& options, EntryVisitor& visitor,
              Progress& progress, bool outputOnTerminal) {
    const auto passNotes = [&](HistoryReader& reader) {
        std::vector<ReadNote> notes = reader.TakeNotes();
        if (notes.empty()) return;
        if (outputOnTerminal) progress.Clear();
        visitor.Notes(file, notes);
    };
    HistoryReader reader = OpenReader(file, options, progress);
    HistoryEntry entry;
    bool more = reader.Next(entry);
    visitor.BeginFile(file, reader);
    for (; more; more = reader.Next(entry)) {
        passNotes(reader);
        if (outputOnTerminal) progress.Clear();
        visitor.Entry(file, entry);
    }
    passNotes(reader);
    visitor.EndFile(file, reader);
}

}  // namespace

void ReportError(std::ostream& err, const std::string& what, const platform::SystemError& error) {
    err << "quillet-history: " << what << ": "
        << platform::WideToUtf8(platform::AnsiToWide(error.reason())) << '\n';
}

std::size_t ScanFiles(const std::vector<HistoryFile>& files, const ReaderOptions& options,
                      EntryVisitor& visitor, ToolStreams& streams) {
    Progress progress(streams.err, streams.progress, files.size());
    std::size_t failed = 0;
    for (const HistoryFile& file : files) {
        // Once the output is gone (a closed pipe, a full disk) there is nothing to read for.
        if (!streams.out) break;
        try {
            ReadFile(file, options, visitor, progress, streams.outputOnTerminal);
        } catch (const platform::SystemError& error) {
            progress.Clear();
            ReportError(streams.err, file.shown, error);
            ++failed;
        }
        progress.FileDone();
    }
    return failed;
}

}  // namespace quillet::history_tool
