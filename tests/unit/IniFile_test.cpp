#include "config/IniFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <vector>

#include "platform/platform.h"
#include "test_support.h"

namespace quillet {
namespace {

using namespace std::string_literals;

using test::Utf16File;

struct ReadCase {
    const char* name;
    std::string file;
    std::u16string section;
    std::u16string key;
    std::u16string defaultValue;
    std::size_t bufferSize;
    std::u16string expected;
};

TEST(IniRead, FollowsThePrivateProfileRules) {
    const std::vector<ReadCase> cases = {
        {"blanks around names and values", "[ s ]\r\n\t k \t=\t v \t\r\n", u"s", u"k", u"d", 2048,
         u"v"},
        {"vertical tab and form feed are blanks", "[s]\r\n\vk\f=\v v\f\r\n", u"s", u"k", u"d", 2048,
         u"v"},
        {"no-break space is no blank", Utf16File(u"[s]\r\nk=\u00A0v\u00A0\r\n"), u"s", u"k", u"d",
         2048, u"\u00A0v\u00A0"},
        {"CR alone ends a line", "[s]\ra=1\nb=2\r\n", u"s", u"b", u"d", 2048, u"2"},
        {"LF CR is two line ends", "[s]\n\rk=1", u"s", u"k", u"d", 2048, u"1"},
        {"header name ends at the first ]", "[s]x]\r\nk=1\r\n", u"s", u"k", u"d", 2048, u"1"},
        {"header with text after ]", "[s] ; note\r\nk=1\r\n", u"s", u"k", u"d", 2048, u"1"},
        {"indented header", "  [s]\r\nk=1\r\n", u"s", u"k", u"d", 2048, u"1"},
        {"first = splits", "[s]\r\na=b=c\r\n", u"s", u"a", u"d", 2048, u"b=c"},
        {"key cannot hold =", "[s]\r\na=b=c\r\n", u"s", u"a=b", u"d", 2048, u"d"},
        {"line without = gives the default", "[s]\r\nk\r\nk=1\r\n", u"s", u"k", u"d", 2048, u"d"},
        {"empty value is no default", "[s]\r\nk=\r\n", u"s", u"k", u"d", 2048, u""},
        {"names ignore case", "[SeTTings]\r\nPATHfolder2=x\r\n", u"settings", u"pathFOLDER2", u"d",
         2048, u"x"},
        {"non-ASCII names ignore case", Utf16File(u"[Stra\u00DFe]\r\n\u00C4pfel=1\r\n"),
         u"STRA\u00DFE", u"\u00E4PFEL", u"d", 2048, u"1"},
        {"first section only", "[s]\r\nk=1\r\nK=2\r\n[S]\r\nj=3\r\n", u"s", u"j", u"d", 2048, u"d"},
        {"first key wins", "[s]\r\nk=1\r\nK=2\r\n[S]\r\nj=3\r\n", u"s", u"k", u"d", 2048, u"1"},
        {"next section ends the search", "[s]\r\n[t]\r\nk=1\r\n", u"s", u"k", u"d", 2048, u"d"},
        {"entries before any section", "k=1\r\n[s]\r\n", u"s", u"k", u"d", 2048, u"d"},
        {"; line is a comment", "[s]\r\n;c=1\r\n  ;c=2\r\n", u"s", u";c", u"d", 2048, u"d"},
        {"# has no meaning", "[s]\r\n#k=1\r\n", u"s", u"#k", u"d", 2048, u"1"},
        {"no inline comments", "[s]\r\nk=1 ; note\r\n", u"s", u"k", u"d", 2048, u"1 ; note"},
        {"quotes keep inner blanks", "[s]\r\nk= \"  x  \" \r\n", u"s", u"k", u"d", 2048, u"  x  "},
        {"single quotes", "[s]\r\nk='x'\r\n", u"s", u"k", u"d", 2048, u"x"},
        {"mismatched quotes stay", "[s]\r\nm='x\"\r\n", u"s", u"m", u"d", 2048, u"'x\""},
        {"one quote stays", "[s]\r\nk=\"\r\n", u"s", u"k", u"d", 2048, u"\""},
        {"empty quotes", "[s]\r\nk=\"\"\r\n", u"s", u"k", u"d", 2048, u""},
        {"only one pair goes", "[s]\r\nk=\"\"x\"\"\r\n", u"s", u"k", u"d", 2048, u"\"x\""},
        {"value cut to the buffer", "[s]\r\nk=abcdef\r\n", u"s", u"k", u"d", 4, u"abc"},
        {"buffer of one holds nothing", "[s]\r\nk=abcdef\r\n", u"s", u"k", u"d", 1, u""},
        {"buffer of nothing", "[s]\r\nk=abcdef\r\n", u"s", u"k", u"d", 0, u""},
        {"default cut to the buffer", "", u"s", u"k", u"abcdef", 3, u"ab"},
        {"NUL ends a value", "[s]\r\nk=ab\0cd\r\nj=1\r\n"s, u"s", u"k", u"d", 2048, u"ab"},
        {"NUL does not end the file", "[s]\r\nk=ab\0cd\r\nj=1\r\n"s, u"s", u"j", u"d", 2048, u"1"},
        {"default loses trailing spaces", "", u"s", u"k", u"  abc  ", 2048, u"  abc"},
        {"default keeps a trailing tab", "", u"s", u"k", u"abc\t", 2048, u"abc\t"},
        {"arguments lose spaces", "[s]\r\nk=1\r\n", u"  s ", u" k  ", u"d", 2048, u"1"},
        {"arguments keep tabs", "[s]\r\nk=1\r\n", u"s", u"\tk", u"d", 2048, u"d"},
        {"missing file", "", u"s", u"k", u"d", 2048, u"d"},
        {"UTF-16LE file", Utf16File(u"[s]\r\nk=\u20AC\u4E2D\r\n"), u"s", u"k", u"d", 2048,
         u"\u20AC\u4E2D"},
        {"UTF-16LE file with an odd last byte", Utf16File(u"[s]\nk=v") + "x", u"s", u"k", u"d",
         2048, u"v"},
        {"FE FF is not UTF-16", "\xFE\xFF\0[\0s\0]\0\r\0\n\0k\0=\0v"s, u"s", u"k", u"d", 2048,
         u"d"},
        {"UTF-8 mark belongs to the first line", "\xEF\xBB\xBF[s]\r\nk=v\r\n", u"s", u"k", u"d",
         2048, u"d"},
    };
    for (const ReadCase& c : cases) {
        EXPECT_EQ(ReadIniText(c.file, c.section, c.key, c.defaultValue, c.bufferSize), c.expected)
            << c.name;
    }
}

TEST(IniRead, AnsiFormConvertsThroughTheCodePage) {
    if (platform::AnsiCodePage() != 1252) GTEST_SKIP() << "needs code page 1252";
    const std::string wideFile = Utf16File(u"[s]\r\nk=\u20AC\u4E2D\r\n[\u00E9]\r\nj=1\r\n");
    EXPECT_EQ(ReadIniTextAnsi(wideFile, "s", "k", "", 2048), "\x80?");
    EXPECT_EQ(ReadIniTextAnsi(wideFile, "\xC9", "j", "", 2048), "1");
    EXPECT_EQ(ReadIniTextAnsi("[s]\r\nk=caf\xE9\r\n", "S", "K", "", 2048), "caf\xE9");
    EXPECT_EQ(ReadIniTextAnsi("[s]\r\nk=abcdef\r\n", "s", "k", "", 4), "abc");
    EXPECT_EQ(ReadIniTextAnsi("", "s", "k", "x  ", 2048), "x");
}

TEST(IniRead, AnsiCutKeepsDoubleByteCharactersWhole) {
    if (platform::AnsiCodePage() != 932) GTEST_SKIP() << "needs code page 932";
    const std::string file = Utf16File(u"[s]\r\nk=\u65E5\u672C\u8A9E\r\n");
    EXPECT_EQ(ReadIniTextAnsi(file, "s", "k", "", 7), "\x93\xFA\x96\x7B\x8C\xEA");
    EXPECT_EQ(ReadIniTextAnsi(file, "s", "k", "", 6), "\x93\xFA\x96\x7B");
}

TEST(IniRead, KeysOfASectionAreItsEntriesInOrder) {
    const std::string file = Utf16File(
        u"k0=x\r\n[Dict]\r\n a b \t= 1\r\n;c=2\r\nbare\r\nA B=3\r\n\r\n"
        u"[x]\r\nz=4\r\n[dict]\r\ny=5\r\n");
    EXPECT_EQ(ReadIniKeys(file, u" DICT "), (std::vector<std::u16string>{u"a b", u"bare", u"A B"}));
    EXPECT_EQ(ReadIniKeys(file, u"none"), std::vector<std::u16string>{});
}

struct WriteCase {
    const char* name;
    std::string before;
    std::u16string section;
    std::u16string key;
    std::u16string value;
    std::optional<std::string> after;  // nullopt: the file needs no write
};

TEST(IniWrite, EditsTheFileInPlace) {
    const std::vector<WriteCase> cases = {
        {"new file", "", u"s", u"k", u"v", "[s]\r\nk=v\r\n"},
        {"existing value replaced, everything else kept",
         "; head\r\n\r\n[S]\n  KEY = old \r\nx=1\n\n[t]\r\nkey=2", u"s", u"key", u"new",
         "; head\r\n\r\n[S]\nKEY=new\r\nx=1\n\n[t]\r\nkey=2"},
        {"last line without line end replaced", "[s]\r\nk=1", u"s", u"k", u"2", "[s]\r\nk=2"},
        {"entry without = gets its value", "[s]\r\nk\r\n", u"s", u"k", u"v", "[s]\r\nk=v\r\n"},
        {"new key after the section's last entry", "[s]\r\na=1\r\n\r\n[t]\r\nb=2\r\n", u"s", u"c",
         u"3", "[s]\r\na=1\r\nc=3\r\n\r\n[t]\r\nb=2\r\n"},
        {"new key before a trailing comment", "[s]\r\na=1\r\n;c\r\n", u"s", u"k", u"v",
         "[s]\r\na=1\r\nk=v\r\n;c\r\n"},
        {"new key into a section without entries", "[s]\n[t]\n", u"s", u"k", u"v",
         "[s]\nk=v\r\n[t]\n"},
        {"new key after a last line without line end", "[s]\r\na=1", u"s", u"k", u"v",
         "[s]\r\na=1\r\nk=v\r\n"},
        {"new key after a lone header", "[s]", u"s", u"k", u"v", "[s]\r\nk=v\r\n"},
        {"new key into the first of two sections", "[s]\r\na=1\r\n[s]\r\nb=2\r\n", u"s", u"b", u"3",
         "[s]\r\na=1\r\nb=3\r\n[s]\r\nb=2\r\n"},
        {"new section at the end", "[s]\r\na=1\r\n", u"t", u"k", u"v",
         "[s]\r\na=1\r\n[t]\r\nk=v\r\n"},
        {"new section after a last line without line end", "[s]\r\na=1", u"t", u"k", u"v",
         "[s]\r\na=1\r\n[t]\r\nk=v\r\n"},
        {"new section after a LF", "x\n", u"t", u"k", u"v", "x\n[t]\r\nk=v\r\n"},
        {"a commented key is no key", "[s]\r\n;k=1\r\n", u"s", u"k", u"v",
         "[s]\r\nk=v\r\n;k=1\r\n"},
        {"the key keeps its spelling", "[s]\r\nPathFolder1=a\r\n", u"S", u"PATHFOLDER1", u"b",
         "[s]\r\nPathFolder1=b\r\n"},
        {"names lose their spaces", "", u" s ", u"  k ", u"v", "[s]\r\nk=v\r\n"},
        {"value written as given", "", u"s", u"k", u" \"v\"  ", "[s]\r\nk= \"v\"  \r\n"},
        {"empty value", "[s]\r\nk=1\r\n", u"s", u"k", u"", "[s]\r\nk=\r\n"},
        {"value ends at a NUL", "", u"s", u"k", u"ab\0cd"s, "[s]\r\nk=ab\r\n"},
        {"same value needs no write", "[s]\r\nk=v\r\n", u"s", u"k", u"v", std::nullopt},
        {"same value with blanks in the file", "[s]\r\n K = v \r\n", u"s", u"k", u"v",
         std::nullopt},
        {"UTF-16LE file stays UTF-16LE", Utf16File(u"[s]\r\nk=1\r\n"), u"s", u"k", u"\u4E2D",
         Utf16File(u"[s]\r\nk=\u4E2D\r\n")},
        {"UTF-16LE file gets a new section in UTF-16LE", Utf16File(u"[s]\r\nk=1"), u"t", u"j",
         u"\u20AC", Utf16File(u"[s]\r\nk=1\r\n[t]\r\nj=\u20AC\r\n")},
        {"other lines keep bytes the code page may lack", "[s]\r\nx=\xE9\xFF\x81\r\nk=1\r\n", u"s",
         u"k", u"2", "[s]\r\nx=\xE9\xFF\x81\r\nk=2\r\n"},
    };
    for (const WriteCase& c : cases) {
        EXPECT_EQ(WriteIniText(c.before, c.section, c.key, c.value), c.after) << c.name;
    }
}

TEST(IniWrite, NewFileIsAnsiEvenForWideText) {
    if (platform::AnsiCodePage() != 1252) GTEST_SKIP() << "needs code page 1252";
    EXPECT_EQ(WriteIniText("", u"s", u"k", u"\u00E9\u20AC\u4E2D"), "[s]\r\nk=\xE9\x80?\r\n");
}

TEST(IniWrite, RefusesLineBreaksAndSaysWhere) {
    struct Case {
        std::u16string section, key, value;
        const char* part;
    };
    const std::vector<Case> cases = {
        {u"s", u"k", u"a\r\n[evil]\r\nx=1", "the value"},
        {u"s", u"k", u"a\rb", "the value"},
        {u"s", u"k", u"a\nb", "the value"},
        {u"s", u"k\n", u"v", "the key name"},
        {u"s\r]", u"k", u"v", "the section name"},
    };
    for (const Case& c : cases) {
        try {
            WriteIniText("[s]\r\nk=1\r\n", c.section, c.key, c.value);
            ADD_FAILURE() << "no error for " << c.part;
        } catch (const IniLineBreakError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(c.part), std::string::npos) << message;
            EXPECT_NE(message.find("line break"), std::string::npos) << message;
            EXPECT_NE(message.find("key \"k"), std::string::npos) << message;
        }
    }
}

// Files put together at random from awkward pieces: after any write, the key written reads
// back as the reader sees the value, and every other key reads as before.
TEST(IniWrite, RandomFilesReadBackAfterAnyWrite) {
    const std::vector<std::string> pieces = {"[s]",    "[S ]",  "[t]",    "[s",        "k=1",
                                             " K = 2", "k",     ";k=3",   "",          "j=\"q\"",
                                             "=x",     "a=b=c", "\t[t]x", "J\t=\t'y'", "k=\xE9"};
    const std::vector<std::string> lineEnds = {"\r\n", "\n", "\r", "\r\n"};
    const std::vector<std::pair<std::u16string, std::u16string>> probes = {
        {u"s", u"k"}, {u"s", u"j"}, {u"t", u"k"}, {u"t", u"j"},
        {u"s", u"a"}, {u"u", u"k"}, {u"s", u""},  {u"t", u"a"}};
    const std::vector<std::u16string> values = {u"v", u"", u" padded ", u"'q'", u"a=b", u"1"};
    std::mt19937 generator(20240611);
    for (int round = 0; round < 400; ++round) {
        std::string file;
        const int lines = static_cast<int>(generator() % 8);
        for (int i = 0; i < lines; ++i) {
            file += pieces[generator() % pieces.size()];
            if (i + 1 < lines || generator() % 2) file += lineEnds[generator() % lineEnds.size()];
        }
        if (generator() % 3 == 0) file = Utf16File(platform::AnsiToWide(file));
        const auto& [section, key] = probes[generator() % probes.size()];
        const std::u16string& value = values[generator() % values.size()];

        const std::string after = WriteIniText(file, section, key, value).value_or(file);
        std::u16string expected(value);
        while (!expected.empty() && expected.back() == u' ') expected.pop_back();
        while (!expected.empty() && expected.front() == u' ') expected.erase(0, 1);
        if (expected.size() >= 2 && expected.front() == u'\'' && expected.back() == u'\'') {
            expected = expected.substr(1, expected.size() - 2);
        }
        EXPECT_EQ(ReadIniText(after, section, key, u"?", 2048), expected)
            << testing::PrintToString(file);
        for (const auto& [otherSection, otherKey] : probes) {
            if (platform::EqualIgnoreCase(otherSection, section) && otherKey == key) continue;
            EXPECT_EQ(ReadIniText(after, otherSection, otherKey, u"?", 2048),
                      ReadIniText(file, otherSection, otherKey, u"?", 2048))
                << testing::PrintToString(file);
        }
    }
}

TEST(IniFileWrite, CreatesReadsAndEditsAFile) {
    test::TempFolder folder;
    const std::string file = folder.path("a.ini");
    EXPECT_EQ(ReadIniStringA(file, "s", "k", "none", 2048), "none");
    ASSERT_TRUE(WriteIniStringA(file, "s", "k", "v"));
    ASSERT_TRUE(WriteIniStringW(file, u"s", u"j", u"w"));
    EXPECT_EQ(test::ReadBytes(folder.native("a.ini")), "[s]\r\nk=v\r\nj=w\r\n");
    EXPECT_EQ(ReadIniStringA(file, "S", "K", "", 2048), "v");
    EXPECT_EQ(ReadIniStringW(file, u"s", u"J", u"", 2048), u"w");
}

TEST(IniFileWrite, RefusedWriteFailsAndChangesNothing) {
    test::TempFolder folder;
    std::filesystem::create_directory(folder.native("folder.ini"));
    EXPECT_FALSE(WriteIniStringA(folder.path("folder.ini"), "s", "k", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(folder.native("folder.ini")));
    EXPECT_TRUE(std::filesystem::is_empty(folder.native("folder.ini")));

    EXPECT_FALSE(WriteIniStringW(folder.path("missing\\a.ini"), u"s", u"k", u"v"));
    EXPECT_FALSE(std::filesystem::exists(folder.native("missing")));
}

TEST(IniFileWrite, LineBreakLeavesTheFileAlone) {
    test::TempFolder folder;
    test::WriteBytes(folder.native("a.ini"), "[s]\nk=1\n");
    EXPECT_THROW(WriteIniStringA(folder.path("a.ini"), "s", "k", "2\r\n[x]"), IniLineBreakError);
    EXPECT_EQ(test::ReadBytes(folder.native("a.ini")), "[s]\nk=1\n");
}

}  // namespace
}  // namespace quillet
