#include "history/HistoryReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "history/DateTime.h"
#include "history/HistorySearch.h"
#include "history/uHistorySave.h"
#include "platform/platform.h"
#include "test_support.h"

namespace quillet {
namespace {

using test::ScopedEnv;

struct ReadResult {
    std::vector<HistoryEntry> entries;
    std::vector<ReadNote> notes;
    EntryEncoding encoding = EntryEncoding::Ansi;
};

// Reads `bytes` as a history file, handed over `piece` bytes at a time.
ReadResult ReadAll(const std::string& bytes, ReaderOptions options, std::size_t piece = 1 << 20) {
    options.pieceSize = piece;
    HistoryReader reader = HistoryReader::FromBytes(bytes, std::move(options));
    ReadResult result;
    HistoryEntry entry;
    while (reader.Next(entry)) result.entries.push_back(entry);
    result.notes = reader.TakeNotes();
    result.encoding = reader.encoding();
    return result;
}

THistoryRec Message(std::u16string name, std::u16string text, bool incoming,
                    std::uint32_t seconds) {
    THistoryRec rec;
    (incoming ? rec.ContactName : rec.MyName) = std::move(name);
    rec.MsgText = std::move(text);
    rec.Incoming = incoming;
    rec.Outgoing = !incoming;
    rec.MsgTime = UnixSecondsToDateTime(seconds);
    return rec;
}

// What the writer puts into a file, in the user's locale and three others, read back: every
// field as it was written, the entries covering the file in order, and the writer's own
// formatting of what was read giving the file's bytes again.
TEST(HistoryReader, ReadsBackWhatTheWriterWrote) {
    const char16_t* separatorLookalike =
        u"before\r\n\r\n--------------------------------------<-\r\nafter";
    const std::vector<THistoryRec> messages = {
        Message(u"Bob", u"Hello, Bob here", true, 1197036309),  // 14:05:09
        Message(u"Me", u"", false, 1197072000),                 // midnight: 12 AM
        Message(u"Bob (work)", u"two\r\nlines\r\n\r\nand a gap", true, 1197115200),  // noon
        Message(u"Me", u"---\r\n----------\r\n", false, 1197115201),
        Message(u"Bob", separatorLookalike, true, 1197115202),
        Message(u"Bob", u"lone\nline feeds\rand returns", true, 1197115203),
        Message(u"Bob", u"Bob (14:05:09 07/12/2007)\r\n", true, 1197115204),
        Message(u"Bob", u"\u00c4rger \u20ac", true, 1197115205),
    };
    const std::vector<platform::TimeFormat> formats = {
        platform::UserTimeFormat(),
        {true, false, false, ":", "", ""},      // 14:05:09
        {false, true, false, ":", "AM", "PM"},  // 2:05:09 PM
        {false, true, true, ".", "AM", "PM"},   // PM 2.05.09
    };
    for (const auto& format : formats) {
        for (const EntryEncoding encoding : {EntryEncoding::Ansi, EntryEncoding::Utf8}) {
            std::string file =
                encoding == EntryEncoding::Utf8 ? std::string(Utf8ByteOrderMark) : "";
            for (const THistoryRec& rec : messages)
                file += FormatHistoryEntry(rec, format, encoding);
            for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{1} << 20}) {
                SCOPED_TRACE(format.separator + (format.twelveHour ? " 12-hour" : " 24-hour") +
                             (encoding == EntryEncoding::Utf8 ? " UTF-8" : " ANSI") + " piece " +
                             std::to_string(piece));
                const ReadResult read = ReadAll(file, DefaultReaderOptions(), piece);
                EXPECT_TRUE(read.notes.empty()) << DescribeReadProblem(read.notes[0].problem)
                                                << " at line " << read.notes[0].line;
                ASSERT_EQ(read.entries.size(), messages.size());
                EXPECT_EQ(read.encoding, encoding);
                const unsigned codePage =
                    encoding == EntryEncoding::Utf8 ? 65001 : platform::AnsiCodePage();
                std::string again =
                    encoding == EntryEncoding::Utf8 ? std::string(Utf8ByteOrderMark) : "";
                std::uint64_t lines = 1;
                for (std::size_t i = 0; i < messages.size(); ++i) {
                    const HistoryEntry& entry = read.entries[i];
                    const THistoryRec& rec = messages[i];
                    const std::u16string& name = rec.Incoming ? rec.ContactName : rec.MyName;
                    EXPECT_EQ(entry.direction,
                              rec.Incoming ? EntryDirection::Received : EntryDirection::Sent);
                    EXPECT_EQ(platform::WideToUtf8(entry.name),
                              platform::WideToUtf8(
                                  platform::CodePageToWide(codePage, EncodeText(name, encoding))));
                    EXPECT_EQ(entry.text, platform::CodePageToWide(
                                              codePage, EncodeText(rec.MsgText, encoding)));
                    const DateTimeFields when = DecodeDateTime(rec.MsgTime);
                    EXPECT_EQ(std::tie(entry.time.year, entry.time.month, entry.time.day,
                                       entry.time.hour, entry.time.minute, entry.time.second),
                              std::tie(when.year, when.month, when.day, when.hour, when.minute,
                                       when.second));
                    EXPECT_EQ(entry.offset, again.size());
                    EXPECT_EQ(entry.line, lines);
                    const std::string bytes = EntryBytes(
                        entry.direction, *platform::WideToCodePageExact(codePage, entry.name),
                        *platform::WideToCodePageExact(codePage, entry.timeText),
                        *platform::WideToCodePageExact(codePage, entry.text));
                    EXPECT_EQ(entry.size, bytes.size());
                    lines +=
                        static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n'));
                    again += bytes;
                }
                EXPECT_EQ(again, file);
            }
        }
    }
}

// What the writer never writes is told with its line, and the rest is still read.
TEST(HistoryReader, TellsWhatTheWriterNeverWroteAndReadsOn) {
    const std::string sep = "--------------------------------------<-";
    const std::string entry = sep + "\r\nBob (14:05:09 07/12/2007)\r\nhi\r\n\r\n";
    struct Case {
        const char* what;
        std::string bytes;
        std::size_t maxEntryBytes;
        std::size_t entries;
        std::vector<std::pair<ReadProblem, std::uint64_t>> notes;
    };
    const std::string longText(70000, 'x');
    const Case cases[] = {
        {"clean", entry + entry, 0, 2, {}},
        {"text first", "junk\r\nmore\r\n" + entry, 0, 1, {{ReadProblem::TextBeforeFirstEntry, 1}}},
        {"no entry at all", "just text\r\n", 0, 0, {{ReadProblem::TextBeforeFirstEntry, 1}}},
        {"cut off",
         entry + sep + "\r\nBob (14:05:09 07/12/2007)\r\nhal",
         0,
         2,
         {{ReadProblem::EntryCutOff, 7}}},
        {"cut in its name line",
         entry + sep + "\r\nBob (14:05:09 07/12/2007)",
         0,
         2,
         {{ReadProblem::EntryCutOff, 6}}},
        {"no empty line",
         sep + "\r\nBob (14:05:09 07/12/2007)\r\nhi\r\n" + entry,
         0,
         2,
         {{ReadProblem::MissingEmptyLine, 3}}},
        {"line feeds alone",
         sep + "\nBob (14:05:09 07/12/2007)\nhi\n\n" + entry,
         0,
         2,
         {{ReadProblem::LineFeedAlone, 1}, {ReadProblem::LineFeedAlone, 4}}},
        {"UTF-8 in an ANSI file",
         entry + sep + "\r\nBob (14:05:09 07/12/2007)\r\n\xd0\x9f\xd1\x80\r\n\r\n",
         0,
         2,
         {{ReadProblem::Utf8InAnsiFile, 7}}},
        {"ANSI in a UTF-8 file",
         "\xEF\xBB\xBF" + entry + sep + "\r\nBob (14:05:09 07/12/2007)\r\ncaf\xe9\r\n\r\n",
         0,
         2,
         {{ReadProblem::InvalidBytes, 7}}},
        {"unknown designator",
         sep + "\r\nBob (2:05:09 XM 07/12/2007)\r\nhi\r\n\r\n",
         0,
         1,
         {{ReadProblem::UnknownDesignator, 2}}},
        {"too long",
         entry + sep + "\r\nBob (14:05:09 07/12/2007)\r\n" + longText + "\r\n\r\n" + entry,
         8192,
         3,
         {{ReadProblem::EntryTooLong, 5}}},
    };
    for (const Case& c : cases) {
        for (const std::size_t piece : {std::size_t{3}, std::size_t{1} << 20}) {
            SCOPED_TRACE(std::string(c.what) + " piece " + std::to_string(piece));
            ReaderOptions options = DefaultReaderOptions();
            options.codePage = 1252;
            if (c.maxEntryBytes != 0) options.maxEntryBytes = c.maxEntryBytes;
            const ReadResult read = ReadAll(c.bytes, options, piece);
            EXPECT_EQ(read.entries.size(), c.entries);
            std::vector<std::pair<ReadProblem, std::uint64_t>> notes;
            for (const ReadNote& note : read.notes) notes.emplace_back(note.problem, note.line);
            EXPECT_EQ(notes, c.notes);
            // Whatever the file holds, the entries cover it from the first one to the end.
            std::uint64_t next = read.entries.empty() ? c.bytes.size() : read.entries[0].offset;
            for (const HistoryEntry& e : read.entries) {
                EXPECT_EQ(e.offset, next);
                next = e.offset + e.size;
            }
            EXPECT_EQ(next, c.bytes.size());
        }
    }
}

// A search finds the same entries whether the reader passes over those whose bytes cannot hold
// the text or decodes every one, letter case ignored in every script and in either encoding.
TEST(TextMatcher, FindsTextIgnoringCaseInEveryScriptAndEncoding) {
    const ScopedEnv codePage("QUILLET_ACP", "1251");  // natively; under Wine LANG chooses it
    if (platform::AnsiCodePage() != 1251) GTEST_SKIP() << "needs code page 1251 (ru_RU)";
    const std::vector<THistoryRec> messages = {
        Message(u"Bob", u"\u041f\u0440\u0438\u0432\u0435\u0442, Bob", true, 1197036309),  // Привет
        Message(u"Me", u"\u00c4RGER", false, 1197036310),
        Message(u"\u0418\u0432\u0430\u043d", u"no", true, 1197036311),  // Иван
        Message(u"Bob", u"nothing here", true, 1197036312),
    };
    struct Case {
        std::u16string query;
        bool matchCase;
        std::vector<std::size_t> ansiHits, utf8Hits;  // ÄRGER is "?RGER" in 1251
    };
    const Case cases[] = {
        {u"\u043f\u0440\u0438\u0432\u0435\u0442", false, {0}, {0}},  // привет
        {u"\u043f\u0440\u0438\u0432\u0435\u0442", true, {}, {}},
        {u"\u00e4rger", false, {}, {1}},
        {u"RGER", true, {1}, {1}},
        {u"\u0438\u0432\u0430\u043d", false, {2}, {2}},  // the name counts
        {u"bob", false, {0, 3}, {0, 3}},
        {u"here", false, {3}, {3}},
        {u"\u263a", false, {}, {}},
    };
    for (const EntryEncoding encoding : {EntryEncoding::Ansi, EntryEncoding::Utf8}) {
        std::string file = encoding == EntryEncoding::Utf8 ? std::string(Utf8ByteOrderMark) : "";
        for (const THistoryRec& rec : messages)
            file += FormatHistoryEntry(rec, platform::UserTimeFormat(), encoding);
        for (const Case& c : cases) {
            SCOPED_TRACE(platform::WideToUtf8(c.query) +
                         (encoding == EntryEncoding::Utf8 ? " UTF-8" : " ANSI"));
            const TextMatcher matcher({c.query, c.matchCase});
            for (const bool skipping : {false, true}) {
                ReaderOptions options = DefaultReaderOptions();
                if (skipping)
                    options.candidatesFor = [&](unsigned page) {
                        return matcher.CandidatesFor(page);
                    };
                std::vector<std::size_t> hits;
                for (const HistoryEntry& entry : ReadAll(file, options, 5).entries) {
                    if (matcher.Matches(entry)) hits.push_back(entry.line / 4);
                }
                EXPECT_EQ(hits, encoding == EntryEncoding::Utf8 ? c.utf8Hits : c.ansiHits)
                    << skipping;
            }
        }
    }
}

}  // namespace
}  // namespace quillet
