// The reader of history files: the one place that knows how the entries the history writer
// appends are read back.
//
// A file is a sequence of entries. An entry starts at a separator line (38 "-" then "<-" for a
// received message or ">-" for a sent one) that is followed by a name line ending in
// " (TIME DD/MM/YYYY)"; its text runs to the empty line before the next such start, or to the end
// of the file. A line that looks like a separator but is not followed by a name line is text, so
// texts with empty lines, hyphens or such look-alikes are read whole. What the writer never
// writes is told as a ReadNote (with its line) and the rest of the file is still read.
//
// The file is read in pieces through a bounded buffer, never whole: a 32-bit process reads a file
// of any size. Entries come out in file order, their name and text as Unicode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "history/DateTime.h"
#include "history/EntryEncoding.h"
#include "history/EntryFormat.h"

namespace quillet {

struct HistoryEntry {
    EntryDirection direction = EntryDirection::Received;
    std::u16string name;
    // The time and date as the name line writes them: "14:05:09 07/12/2007", "PM 2:05:09 …".
    std::u16string timeText;
    // The same as a value (local time as written, no zone); milliseconds are always 0.
    DateTimeFields time;
    // The message text as the host gave it, its own line breaks as they are.
    std::u16string text;
    // Where the entry begins (its separator line) in bytes from the file's start, its length in
    // bytes up to the next entry or the end of the file, and the separator's line number (from 1).
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint64_t line = 0;
};

// What the reader met that the writer does not write.
enum class ReadProblem {
    TextBeforeFirstEntry,  // bytes before the first entry (or a file with no entry at all)
    EntryCutOff,           // the last entry ends without its empty line: cut off
    MissingEmptyLine,      // an entry runs into the next one without the empty line between
    LineFeedAlone,         // a separator, name or closing line ends in LF without CR
    InvalidBytes,          // bytes the file's encoding does not define
    Utf8InAnsiFile,        // UTF-8 sequences in a file that is not UTF-8: a file of mixed encodings
    UnknownDesignator,     // a morning or afternoon designator the reader does not know
    EntryTooLong,          // an entry longer than the reader keeps: its text is cut
};

struct ReadNote {
    ReadProblem problem = ReadProblem::TextBeforeFirstEntry;
    std::uint64_t line = 0;    // from 1
    std::uint64_t offset = 0;  // in bytes from the file's start
    std::uint64_t size = 0;    // of the stretch the note is about (text before the first entry)
};

// A short English description of a problem, for the tool's "check" and the dialog's notes.
std::string_view DescribeReadProblem(ReadProblem problem);

// Finds in `bytes` (a stretch of the file in its own encoding) the first position at which a
// wanted text could begin, or npos. Entries that hold no such position are passed over without
// being decoded. `span` is the most bytes one candidate needs to be seen whole.
struct CandidateSearch {
    std::function<std::size_t(std::string_view bytes)> find;
    std::size_t span = 0;
};

struct ReaderOptions {
    // The code page of a file without the UTF-8 byte-order mark; 0: the system's ANSI code page.
    unsigned codePage = 0;
    // Morning and afternoon designators known besides "AM" and "PM"; the user's locale's are
    // added by DefaultReaderOptions.
    std::vector<std::u16string> amDesignators;
    std::vector<std::u16string> pmDesignators;
    // Bytes of an entry kept: the text of a longer entry is cut (EntryTooLong).
    std::size_t maxEntryBytes = 16u << 20;
    // Bytes read from the file at a time.
    std::size_t pieceSize = 1u << 20;
    // Told the size of every piece read, for a progress display: one call to Next may read a
    // whole file when a candidate search passes over its entries.
    std::function<void(std::size_t bytes)> onRead;
    // When set, it is asked once the file's code page is known (65001 for UTF-8); then only
    // entries that hold a candidate are decoded and returned, and the others are passed over
    // (what they hold is not checked).
    std::function<CandidateSearch(unsigned codePage)> candidatesFor;
};

// The options for this system: its ANSI code page and the user's designators.
ReaderOptions DefaultReaderOptions();

// Where the bytes come from: fills `buffer` with up to `size` bytes, 0 at the end.
using ByteSource = std::function<std::size_t(char* buffer, std::size_t size)>;

class HistoryReader {
public:
    HistoryReader(ByteSource source, ReaderOptions options);
    ~HistoryReader();
    HistoryReader(HistoryReader&&) noexcept;
    HistoryReader& operator=(HistoryReader&&) noexcept;

    // A reader of the file at `path`, opened with read, write and delete sharing (the messenger
    // may append meanwhile; what it appends after the open may or may not be seen). Throws
    // platform::SystemError when the file cannot be opened.
    static HistoryReader OpenFile(const std::string& path, ReaderOptions options);

    // A reader of `size` bytes of the file at `path` from `offset` on, opened as OpenFile opens
    // it: an entry read before (HistoryEntry::offset and size) read again. The stretch has no
    // byte-order mark, so `options.codePage` is the file's (HistoryReader::codePage); lines are
    // counted from the stretch's start. Throws platform::SystemError.
    static HistoryReader OpenStretch(const std::string& path, std::uint64_t offset,
                                     std::uint64_t size, ReaderOptions options);

    // A reader of bytes in memory (a history file read already, or made for a test), handed over
    // a piece at a time as a file's would be.
    static HistoryReader FromBytes(std::string_view bytes, ReaderOptions options);

    // The next entry into `entry`; false at the end of the file. Throws platform::SystemError
    // when a read fails.
    bool Next(HistoryEntry& entry);

    // The notes since the last call, in file order.
    std::vector<ReadNote> TakeNotes();

    // The file's encoding (known once the first entry or the end has been read).
    EntryEncoding encoding() const;
    // The code page of the file's texts: 65001 for UTF-8.
    unsigned codePage() const;
    // Bytes taken from the source so far, for progress.
    std::uint64_t bytesRead() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quillet
