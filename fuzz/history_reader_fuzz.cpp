// The reader of history files, on any bytes and on what the writer makes of fuzzed messages.
// Input fields: the mode and piece size (first byte: odd for the writer's mode; second byte: the
// piece size the bytes are handed over in), then either the file's bytes (any-bytes mode) or,
// in the writer's mode, up to eight messages of four fields each: name, text, time (four bytes
// of seconds since 1970), flags (bit 0 received, bit 1 UTF-8, bits 2-3 the time format).
// A search text for the candidate check comes last.
// Invariants checked:
//  - no crash, no hang, however large the pieces;
//  - the entries follow each other without gap or overlap, from the first entry (or the text
//    before it, which a note covers) to the end of the file, and each one's line number is one
//    more than the line feeds before it;
//  - the entries and notes do not depend on the size of the pieces the bytes come in;
//  - passing over entries that cannot hold the search text loses none that matches it;
//  - in the writer's mode: no note, every entry read back as written, and the writer's own
//    formatting of what was read gives the file's bytes exactly.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "history/DateTime.h"
#include "history/HistoryReader.h"
#include "history/HistorySearch.h"
#include "history/uHistorySave.h"
#include "platform/platform.h"

namespace {

using quillet::fuzz::Check;
using namespace quillet;

struct Read {
    std::vector<HistoryEntry> entries;
    std::vector<ReadNote> notes;
};

Read ReadAll(const std::string& bytes, std::size_t piece, ReaderOptions options) {
    options.pieceSize = piece;
    options.maxEntryBytes = 8192;
    HistoryReader reader = HistoryReader::FromBytes(bytes, std::move(options));
    Read read;
    HistoryEntry entry;
    while (reader.Next(entry)) read.entries.push_back(entry);
    read.notes = reader.TakeNotes();
    return read;
}

void CheckCoverage(const std::string& bytes, const Read& read) {
    const bool bom = bytes.rfind(Utf8ByteOrderMark, 0) == 0;
    std::uint64_t next = bom ? Utf8ByteOrderMark.size() : 0;
    if (!read.notes.empty() && read.notes[0].problem == ReadProblem::TextBeforeFirstEntry) {
        Check(read.notes[0].offset == next, "the text before the first entry starts the file");
        next += read.notes[0].size;
    }
    for (const HistoryEntry& entry : read.entries) {
        Check(entry.offset == next, "entries follow each other without gap or overlap");
        const auto before = std::count(
            bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(entry.offset), '\n');
        Check(entry.line == static_cast<std::uint64_t>(before) + 1,
              "an entry's line is one more than the line feeds before it");
        next += entry.size;
    }
    Check(next == bytes.size(), "the entries reach the end of the file");
}

void CheckSearch(const std::string& bytes, std::size_t piece, const std::string& query) {
    const TextMatcher matcher({platform::CodePageToWide(65001, query), (query.size() & 1) != 0});
    ReaderOptions options = DefaultReaderOptions();
    std::vector<std::uint64_t> all, skipping;
    for (const HistoryEntry& entry : ReadAll(bytes, piece, options).entries) {
        if (matcher.Matches(entry)) all.push_back(entry.offset);
    }
    options.candidatesFor = [&](unsigned codePage) { return matcher.CandidatesFor(codePage); };
    for (const HistoryEntry& entry : ReadAll(bytes, piece, options).entries) {
        if (matcher.Matches(entry)) skipping.push_back(entry.offset);
    }
    Check(all == skipping, "passing over entries loses none that matches", query);
}

platform::TimeFormat FormatOf(unsigned choice) {
    switch (choice & 3) {
        case 0:
            return {true, false, false, ":", "", ""};
        case 1:
            return {false, true, false, ":", "AM", "PM"};
        case 2:
            return {false, true, true, ".", "AM", "PM"};
        default:
            return {false, true, false, ":", "", ""};  // 12-hour without designators
    }
}

// Writes the fuzzed messages as the writer does, into one file of one encoding, and reads it back.
void CheckRoundTrip(const std::vector<std::string>& fields, std::size_t piece) {
    std::string file;
    std::vector<THistoryRec> written;
    const bool utf8 = !fields[4].empty() && (fields[4][0] & 2) != 0;
    const EntryEncoding encoding = utf8 ? EntryEncoding::Utf8 : EntryEncoding::Ansi;
    const unsigned codePage = utf8 ? 65001 : platform::AnsiCodePage();
    const platform::TimeFormat format =
        FormatOf(fields[4].empty() ? 0 : static_cast<unsigned char>(fields[4][0]) >> 2);
    if (utf8) file = Utf8ByteOrderMark;
    for (std::size_t i = 1; i + 3 < fields.size() - 1; i += 4) {
        THistoryRec rec;
        rec.Incoming = fields[i + 3].empty() || (fields[i + 3][0] & 1) != 0;
        // Names and texts as a user's file holds them: what the code page gives back.
        // A line break in a name would break its name line: hosts' names have none.
        std::string name = fields[i];
        name.erase(
            std::remove_if(name.begin(), name.end(), [](char c) { return c == '\r' || c == '\n'; }),
            name.end());
        (rec.Incoming ? rec.ContactName : rec.MyName) = platform::CodePageToWide(codePage, name);
        rec.MsgText = platform::CodePageToWide(codePage, fields[i + 1]);
        std::uint32_t seconds = 0;
        std::memcpy(&seconds, fields[i + 2].data(), std::min<std::size_t>(4, fields[i + 2].size()));
        rec.MsgTime = UnixSecondsToDateTime(seconds);
        file += FormatHistoryEntry(rec, format, encoding);
        written.push_back(rec);
    }
    const Read read = ReadAll(file, piece, DefaultReaderOptions());
    CheckCoverage(file, read);
    // Single-byte text may happen to be valid UTF-8 too, and is told as such: not a fault.
    std::vector<ReadNote> notes;
    for (const ReadNote& note : read.notes) {
        if (note.problem != ReadProblem::Utf8InAnsiFile) notes.push_back(note);
    }
    // A text that holds an entry start of its own makes one more entry (the file is ambiguous);
    // without one, nothing is noted and every entry is read as written.
    if (read.entries.size() == written.size()) {
        Check(notes.empty(), "no note on what the writer wrote",
              notes.empty() ? "" : DescribeReadProblem(notes[0].problem));
    }
    if (!notes.empty()) return;
    std::string again = utf8 ? std::string(Utf8ByteOrderMark) : "";
    for (const HistoryEntry& entry : read.entries) {
        const auto encode = [&](const std::u16string& text) {
            const auto bytes = platform::WideToCodePageExact(codePage, text);
            Check(bytes.has_value(), "what was read can be written again");
            return *bytes;
        };
        again += EntryBytes(entry.direction, encode(entry.name), encode(entry.timeText),
                            encode(entry.text));
    }
    Check(again == file, "the writer's formatting of what was read gives the file");
    if (read.entries.size() != written.size()) return;
    for (std::size_t i = 0; i < written.size(); ++i) {
        const DateTimeFields when = DecodeDateTime(written[i].MsgTime);
        const DateTimeFields& time = read.entries[i].time;
        const bool sameTime = time.year == when.year && time.month == when.month &&
                              time.day == when.day && time.minute == when.minute &&
                              time.second == when.second &&
                              (time.hour == when.hour || format.am.empty());
        Check(sameTime, "the time is read as written");
        Check(read.entries[i].direction ==
                  (written[i].Incoming ? EntryDirection::Received : EntryDirection::Sent),
              "the direction is read as written");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const bool writerMode = (data[0] & 1) != 0;
    const std::size_t piece = 1 + data[1] % 64 * (data[1] >= 128 ? 97 : 1);
    const auto fields = quillet::fuzz::SplitFields(data + 2, size - 2, writerMode ? 34 : 2);
    if (writerMode) {
        CheckRoundTrip(fields, piece);
        return 0;
    }
    const std::string& bytes = fields[0];
    const Read read = ReadAll(bytes, piece, DefaultReaderOptions());
    CheckCoverage(bytes, read);
    const Read whole = ReadAll(bytes, bytes.size() + 1, DefaultReaderOptions());
    Check(read.entries.size() == whole.entries.size() && read.notes.size() == whole.notes.size(),
          "the same entries and notes whatever the pieces");
    for (std::size_t i = 0; i < read.entries.size(); ++i) {
        Check(read.entries[i].offset == whole.entries[i].offset &&
                  read.entries[i].text == whole.entries[i].text,
              "the same entries whatever the pieces");
    }
    for (std::size_t i = 0; i < read.notes.size(); ++i) {
        Check(read.notes[i].problem == whole.notes[i].problem &&
                  read.notes[i].line == whole.notes[i].line,
              "the same notes whatever the pieces");
    }
    CheckSearch(bytes, piece, fields[1]);
    return 0;
}
