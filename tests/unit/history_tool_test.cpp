// quillet-history: its printers, its search filters and the exit status of each command, on
// history files made in a fresh folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "history/EntryEncoding.h"
#include "history/EntryFormat.h"
#include "history/HistoryConversion.h"
#include "platform/platform.h"
#include "platform/probes.h"
#include "test_support.h"
#include "tools/history/commands.h"
#include "tools/history/csv_printer.h"
#include "tools/history/jsonl_printer.h"
#include "tools/history/output_streams.h"
#include "tools/history/plain_printer.h"

namespace quillet::history_tool {
namespace {

using test::TempFolder;
using test::WriteBytes;

std::string U8(std::u16string_view text) {
    return platform::WideToUtf8(text);
}

// Output with the platform's separators as "/", so one expectation holds on both systems.
std::string Slashed(std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

// Every printer writes what a name or text holds so that its reader gets it back, and nothing
// a terminal or a spreadsheet would act on.
TEST(HistoryToolPrinters, WriteEveryFieldSafely) {
    struct Case {
        std::u16string name;
        std::u16string text;
        std::string csv;
        std::string json;
        std::string plain;
    };
    const std::string at = "ICQ/1.TXT,3,received,";
    const std::string json = R"({"path":"ICQ/1.TXT","line":3,"direction":"received","name":)";
    const std::string plain = "ICQ/1.TXT:3: 07/12/2007 14:05:09 ";
    const Case cases[] = {
        {u"Bob \"the\" Builder", u"a, b",  //
         at + R"("Bob ""the"" Builder",2007-12-07T14:05:09,"a, b")",
         json + R"("Bob \"the\" Builder","time":"2007-12-07T14:05:09","text":"a, b"})",
         plain + "Bob \"the\" Builder: a, b"},
        {u"Bob", u"one\r\ntwo\nthree",  //
         at + "Bob,2007-12-07T14:05:09,\"one\r\ntwo\nthree\"",
         json + R"("Bob","time":"2007-12-07T14:05:09","text":"one\r\ntwo\nthree"})",
         plain + "Bob: one"},
        {u"Bob\u0007", u"\u001b[31mred\u009b\t",  //
         at + U8(u"Bob\u0007,2007-12-07T14:05:09,\u001b[31mred\u009b\t"),
         json + R"("Bob\u0007","time":"2007-12-07T14:05:09","text":"\u001b[31mred)" +
             U8(u"\u009b") + R"(\t"})",
         plain + "Bob?: ?[31mred?\t"},
        {u"\u0411\u043e\u0431", u"\u041f\u0440\u0438\u0432\u0435\u0442 \U0001F386",
         at + U8(u"\u0411\u043e\u0431,2007-12-07T14:05:09,\u041f\u0440\u0438\u0432\u0435\u0442 "
                 u"\U0001F386"),
         json + U8(u"\"\u0411\u043e\u0431\",\"time\":\"2007-12-07T14:05:09\",\"text\":"
                   u"\"\u041f\u0440\u0438\u0432\u0435\u0442 \U0001F386\"}"),
         plain + U8(u"\u0411\u043e\u0431: \u041f\u0440\u0438\u0432\u0435\u0442 \U0001F386")},
        {u"@bob", u"=HYPERLINK(\"http://x\")",  //
         at + R"x('@bob,2007-12-07T14:05:09,"'=HYPERLINK(""http://x"")")x",
         json + R"x("@bob","time":"2007-12-07T14:05:09","text":"=HYPERLINK(\"http://x\")"})x",
         plain + "@bob: =HYPERLINK(\"http://x\")"},
    };
    const HistoryFile file{"Z:\\h\\ICQ\\1.TXT", "ICQ\\1.TXT", "ICQ/1.TXT"};
    for (const Case& c : cases) {
        HistoryEntry entry;
        entry.name = c.name;
        entry.text = c.text;
        entry.time = {2007, 12, 7, 14, 5, 9, 0};
        entry.line = 3;
        std::ostringstream csv, jsonl, plainOut;
        CsvPrinter(csv).Entry(file, entry);
        JsonLinesPrinter(jsonl).Entry(file, entry);
        PlainPrinter(plainOut).Entry(file, entry);
        const std::string header =
            std::string(Utf8ByteOrderMark) + "path,line,direction,name,time,text\r\n";
        EXPECT_EQ(csv.str(), header + c.csv + "\r\n") << U8(c.text);
        EXPECT_EQ(jsonl.str(), c.json + "\n") << U8(c.text);
        EXPECT_EQ(plainOut.str(), c.plain + "\n") << U8(c.text);
    }
}

// A piece of output handed to a console ends with a whole UTF-8 sequence: a character cut in
// two would show as two wrong ones.
TEST(HistoryToolOutput, PiecesEndWithWholeSequences) {
    const std::pair<std::string, std::size_t> cases[] = {
        {"abc", 3},
        {"a\xD0", 1},              // the lead byte of a two-byte sequence alone
        {"a\xD0\x9F", 3},          // "П" whole
        {"a\xF0\x9F\x8E", 1},      // three of an emoji's four bytes
        {"a\xF0\x9F\x8E\x86", 5},  // the emoji whole
        {"a\x9F", 2},              // a stray continuation byte is passed on as it is
    };
    for (const auto& [bytes, whole] : cases) {
        EXPECT_EQ(WholeSequencesLength(bytes), whole) << bytes.size();
    }
}

// A fresh history below HISTORY in a temporary plug-in folder, and the commands run on it.
class HistoryToolTest : public ::testing::Test {
protected:
    HistoryToolTest() {
        common.where.pluginDir = folder.path();
        common.where.root = folder.path("HISTORY");
        common.quiet = true;
        // ICQ/777/100.TXT, in the ANSI code page: entries at lines 1, 5 and 10.
        AddFile("ICQ\\777\\100.TXT",
                Entry(EntryDirection::Received, u"Bob", "14:05:09 07/12/2007", u"Hello, world") +
                    Entry(EntryDirection::Sent, u"Me", "09:00:00 08/12/2007",
                          u"hello again\r\nsecond line") +
                    Entry(EntryDirection::Received, u"Alice", "23:59:59 09/12/2007", u"nothing"));
        // Jabber/me/bob.TXT, in UTF-8: one entry in Cyrillic.
        AddFile("Jabber\\me\\bob.TXT",
                std::string(Utf8ByteOrderMark) +
                    Entry(EntryDirection::Received, u"\u0411\u043e\u0431", "10:00:00 08/12/2007",
                          u"\u041f\u0440\u0438\u0432\u0435\u0442, HELLO", EntryEncoding::Utf8));
    }

    static std::string Entry(EntryDirection direction, std::u16string_view name,
                             std::string_view when, std::u16string_view text,
                             EntryEncoding encoding = EntryEncoding::Ansi) {
        return EntryBytes(direction, EncodeText(name, encoding), when, EncodeText(text, encoding));
    }

    void AddFile(const std::string& below, const std::string& bytes) {
        const std::filesystem::path file = folder.native("HISTORY\\" + below);
        std::filesystem::create_directories(file.parent_path());
        WriteBytes(file, bytes);
    }

    struct Outcome {
        int status = -1;
        std::string out;
        std::string err;
    };
    Outcome Run(const std::function<int(ToolStreams&)>& command) {
        std::ostringstream out, err;
        ToolStreams streams{out, err, false, false};
        const int status = command(streams);
        return {status, Slashed(out.str()), Slashed(err.str())};
    }

    // The "PATH:LINE" of every entry a search prints.
    std::vector<std::string> Found(const std::string& out) {
        std::vector<std::string> found;
        std::istringstream lines(out);
        for (std::string line; std::getline(lines, line);) {
            found.push_back(line.substr(0, line.find(": ")));
        }
        return found;
    }

    TempFolder folder;
    CommonOptions common;
};

TEST(HistoryToolDays, OnlyCalendarDaysAreTaken) {
    EXPECT_EQ(ParseDay("2008-02-29"), (Day{2008, 2, 29}));
    EXPECT_EQ(ParseDay("2000-02-29"), (Day{2000, 2, 29}));
    for (const char* wrong : {"2007-02-29", "1900-02-29", "2007-04-31", "2007-13-01", "2007-00-10",
                              "2007-1-01", "07-12-2007", "2007-12-07x", ""}) {
        EXPECT_FALSE(ParseDay(wrong)) << wrong;
    }
}

TEST_F(HistoryToolTest, SearchFindsByTextContactAndDays) {
    struct Case {
        std::string text;
        std::string contact;
        const char* since;
        const char* until;
        bool caseSensitive;
        bool regex;
        std::vector<std::string> found;
    };
    const std::string icq = "ICQ/777/100.TXT:", jabber = "Jabber/me/bob.TXT:";
    const std::string cyrillic = U8(u"\u043f\u0420\u0418\u0432\u0415\u0442");
    const Case cases[] = {
        {"hello", "", "", "", false, false, {icq + "1", icq + "5", jabber + "1"}},
        {"hello", "", "", "", true, false, {icq + "5"}},
        {cyrillic, "", "", "", false, false, {jabber + "1"}},          // any case, Cyrillic
        {"", "JABBER", "", "", false, false, {jabber + "1"}},          // the contact in the path
        {"", "bob", "", "", false, false, {icq + "1", jabber + "1"}},  // in a name or the path
        {"hello", "me", "", "", false, false, {icq + "5", jabber + "1"}},  // "Me", folder "me"
        {"hello", "", "2007-12-08", "2007-12-08", false, false, {icq + "5", jabber + "1"}},
        {"hello", "", "2007-12-09", "", false, false, {}},
        {"hello", "", "", "2007-12-07", false, false, {icq + "1"}},
        {"^second", "", "", "", false, true, {icq + "5"}},  // "^" holds at every line of a text
        {"HEL+O", "", "", "", false, true, {icq + "1", icq + "5", jabber + "1"}},
        {"xyz", "", "", "", false, false, {}},
    };
    for (const Case& c : cases) {
        SearchOptions options;
        options.text = c.text;
        options.contact = c.contact;
        options.since = ParseDay(c.since);
        options.until = ParseDay(c.until);
        options.caseSensitive = c.caseSensitive;
        options.regex = c.regex;
        const Outcome outcome =
            Run([&](ToolStreams& s) { return RunSearch(common, options, false, s); });
        EXPECT_EQ(Found(outcome.out), c.found) << c.text << " " << c.contact;
        EXPECT_EQ(outcome.status, c.found.empty() ? 1 : 0) << c.text;
        EXPECT_EQ(outcome.err, "") << c.text;
    }
}

// An expression walks a long line once: neither a recursion per character (which exhausts the
// stack) nor a new walk from every position (quadratic) may come back.
TEST_F(HistoryToolTest, RegexWalksALongLineOnce) {
    common.where.root = folder.path("LONG");
    const std::u16string line = std::u16string(100000, u'a') + u"xyz";
    const std::filesystem::path file = folder.native("LONG\\x.TXT");
    std::filesystem::create_directories(file.parent_path());
    WriteBytes(file, Entry(EntryDirection::Received, u"Bob", "14:05:09 07/12/2007", line));
    for (const auto& [pattern, status] : {std::pair{"(a|b)*y", 0}, {"a.*q", 1}, {"^a+x", 0}}) {
        SearchOptions options;
        options.text = pattern;
        options.regex = true;
        EXPECT_EQ(Run([&](ToolStreams& s) { return RunSearch(common, options, false, s); }).status,
                  status)
            << pattern;
    }
}

// As grep: 0 done or found, 1 nothing found (check: something noted; convert: a file left
// alone), 2 an error, after the other files have been read.
TEST_F(HistoryToolTest, ExitStatusOfEveryCommand) {
    using Command = std::function<int(const CommonOptions&, ToolStreams&)>;
    const std::pair<const char*, Command> commands[] = {
        {"list", [](auto& c, auto& s) { return RunList(c, false, s); }},
        {"search",
         [](auto& c, auto& s) {
             SearchOptions hello;
             hello.text = "hello";
             return RunSearch(c, hello, false, s);
         }},
        {"export", [](auto& c, auto& s) { return RunExport(c, {}, s); }},
        {"check", [](auto& c, auto& s) { return RunCheck(c, s); }},
        // Last: it leaves the files in UTF-8 for the next situation.
        {"convert", [](auto& c, auto& s) { return RunConvert(c, {}, s); }},
    };
    struct Situation {
        const char* name;
        std::function<platform::ObstaclePtr()> arrange;
        int status[5];  // list, search, export, check, convert
    };
    const Situation situations[] = {
        {"clean", [] { return nullptr; }, {0, 0, 0, 0, 0}},
        {"text before the first entry",
         [&] {
             AddFile("ICQ\\777\\200.TXT", "junk\r\n" + Entry(EntryDirection::Received, u"Carl",
                                                             "10:00:00 10/12/2007", u"hi"));
             return nullptr;
         },
         {0, 0, 0, 1, 0}},
        {"an unreadable file",
         [&] {
             AddFile("ICQ\\777\\300.TXT",
                     Entry(EntryDirection::Received, u"Dora", "10:00:00 10/12/2007", u"hello"));
             auto obstacle = platform::MakeUnreadable(folder.path("HISTORY\\ICQ\\777\\300.TXT"));
             if (!obstacle) ADD_FAILURE() << "cannot make a file unreadable here";
             return obstacle;
         },
         {2, 2, 2, 2, 1}},
        {"a missing root",
         [&] {
             common.where.root = folder.path("missing");
             return nullptr;
         },
         {2, 2, 2, 2, 2}},
    };
    for (const Situation& situation : situations) {
        const platform::ObstaclePtr obstacle = situation.arrange();
        for (std::size_t i = 0; i < std::size(commands); ++i) {
            const auto& [name, command] = commands[i];
            const Outcome outcome = Run([&](ToolStreams& s) { return command(common, s); });
            EXPECT_EQ(outcome.status, situation.status[i]) << situation.name << ", " << name;
            if (situation.status[i] != 2) continue;
            if (situation.name == std::string("an unreadable file")) {
                // Named with the reason, and the readable files still read.
                EXPECT_NE(outcome.err.find("ICQ/777/300.TXT: "), std::string::npos) << name;
                EXPECT_NE(outcome.out, "") << name;
            } else {
                EXPECT_NE(outcome.err.find("no history folder"), std::string::npos) << name;
                EXPECT_EQ(outcome.out, "") << name;
            }
        }
    }
}

// An ANSI file becomes the mark and the UTF-8 of the same text, byte for byte; a file of two
// encodings, a UTF-8 file and an empty one keep their bytes, and a dry run or a code page that
// would change ASCII keeps every file's.
TEST_F(HistoryToolTest, ConvertTurnsAnsiFilesIntoUtf8) {
    const std::u16string name = u"\u0411\u043e\u0431",
                         text = u"\u041f\u0440\u0438\u0432\u0435\u0442!";
    const auto in1251 = [](std::u16string_view t) {
        return *platform::WideToCodePageExact(1251, t);
    };
    const auto entry = [](std::string_view who, std::string_view what) {
        return EntryBytes(EntryDirection::Received, who, "10:00:00 08/12/2007", what);
    };
    const std::string ascii = *test::ReadBytes(folder.native("HISTORY\\ICQ\\777\\100.TXT"));
    const std::string utf8 = *test::ReadBytes(folder.native("HISTORY\\Jabber\\me\\bob.TXT"));
    const std::string cyrillic = entry(in1251(name), in1251(text));
    const std::string mixed = cyrillic + entry(U8(name), U8(text));  // UTF-8 from line 6
    const std::string mark(Utf8ByteOrderMark);
    const std::string cyrillicAfter = mark + entry(U8(name), U8(text));
    FileConversion mixedAlone;
    mixedAlone.reason = LeftAloneReason::MixedEncodings;
    mixedAlone.line = 6;
    const std::string files[] = {"ICQ\\777\\100.TXT", "ICQ\\777\\200.TXT", "ICQ\\777\\300.TXT",
                                 "ICQ\\777\\400.TXT", "Jabber\\me\\bob.TXT"};
    const std::string before[] = {ascii, cyrillic, "", mixed, utf8};
    const std::string converted[] = {mark + ascii, cyrillicAfter, "", mixed, utf8};
    const auto lines = [&](const std::string& done, const std::string& totals, bool kept) {
        const auto sizes = [kept](const std::string& a, const std::string& b, const char* file) {
            return std::to_string(a.size()) + " -> " + std::to_string(b.size()) + " bytes" +
                   (kept ? ", the ANSI file kept as ICQ/777/" + std::string(file) + ".ansi" : "") +
                   "\n";
        };
        return "ICQ/777/100.TXT: " + done + sizes(ascii, mark + ascii, "100.TXT") +
               "ICQ/777/200.TXT: " + done + sizes(cyrillic, cyrillicAfter, "200.TXT") +
               "ICQ/777/400.TXT: left alone: " + DescribeLeftAlone(mixedAlone, 1251) + "\n" +
               totals + " 1 already UTF-8, 1 empty, 1 left alone\n";
    };
    struct Case {
        const char* name;
        unsigned codePage;
        bool dryRun;
        bool keepBackup;
        int status;
        std::string out;
    };
    const Case cases[] = {
        {"convert", 1251, false, false, 1, lines("converted, ", "2 converted,", false)},
        {"dry run", 1251, true, false, 1,
         lines("would be converted, ", "dry run, nothing written: 2 would be converted,", false)},
        {"keep backup", 1251, false, true, 1, lines("converted, ", "2 converted,", true)},
        {"EBCDIC", 500, false, false, 2, ""},
    };
    for (const Case& c : cases) {
        for (std::size_t i = 0; i < std::size(files); ++i) AddFile(files[i], before[i]);
        ConversionOptions options;
        options.codePage = c.codePage;
        options.dryRun = c.dryRun;
        options.keepBackup = c.keepBackup;
        const Outcome outcome = Run([&](ToolStreams& s) { return RunConvert(common, options, s); });
        EXPECT_EQ(outcome.status, c.status) << c.name << outcome.err;
        EXPECT_EQ(outcome.out, c.out) << c.name;
        const bool writes = c.status != 2 && !c.dryRun;
        for (std::size_t i = 0; i < std::size(files); ++i) {
            const std::filesystem::path file = folder.native("HISTORY\\" + files[i]);
            EXPECT_EQ(test::ReadBytes(file).value_or("none"), writes ? converted[i] : before[i])
                << c.name << files[i];
            const bool backup = c.keepBackup && converted[i] != before[i];
            EXPECT_EQ(test::ReadBytes(file.string() + ".ansi").value_or("none"),
                      backup ? before[i] : "none")
                << c.name << files[i];
            std::filesystem::remove(file.string() + ".ansi");
        }
    }
}

// The export writes nowhere a history file is or would be taken for one.
TEST_F(HistoryToolTest, ExportNeverWritesAHistoryFile) {
    for (const char* target : {"HISTORY\\ICQ\\777\\100.TXT", "HISTORY\\new.txt",
                               "HISTORY\\ICQ\\..\\ICQ\\777\\100.txt"}) {
        const std::string before = test::ReadBytes(folder.native(target)).value_or("none");
        ExportOptions options;
        options.format = ExportFormat::Csv;
        options.output = folder.path(target);
        const Outcome outcome = Run([&](ToolStreams& s) { return RunExport(common, options, s); });
        EXPECT_EQ(outcome.status, 2) << target;
        EXPECT_EQ(test::ReadBytes(folder.native(target)).value_or("none"), before) << target;
    }
}

// An export file that cannot be written whole (a full disk, a size limit) is an error.
TEST_F(HistoryToolTest, ExportThatCannotBeWrittenWholeFails) {
    ExportOptions options;
    options.output = folder.path("export.jsonl");
    const platform::ObstaclePtr limit = platform::LimitFileSize(100);
    if (!limit) GTEST_SKIP() << "no file-size limit on this system";
    const Outcome outcome = Run([&](ToolStreams& s) { return RunExport(common, options, s); });
    EXPECT_EQ(outcome.status, 2);
    EXPECT_NE(outcome.err.find("export.jsonl: "), std::string::npos) << outcome.err;
}

// A file named on the command line is shown below the root however either is spelled: the
// settings give the root with "\\" after the plug-in folder, the user may write "..".
TEST_F(HistoryToolTest, ExportNamesFilesBelowTheRoot) {
    common.where.root = folder.path() + "\\HISTORY";
    ExportOptions options;
    options.files = {folder.path("HISTORY\\ICQ\\..\\Jabber\\me\\bob.TXT")};
    const Outcome outcome = Run([&](ToolStreams& s) { return RunExport(common, options, s); });
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out.rfind(R"({"path":"Jabber/me/bob.TXT","line":1,)", 0), 0u) << outcome.out;
}

}  // namespace
}  // namespace quillet::history_tool
