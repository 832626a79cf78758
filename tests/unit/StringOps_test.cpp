#include "config/StringOps.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "config/u_IniSettings.h"
#include "config/u_SimpleAliases.h"
#include "config/un_GetDirs.h"
#include "history/PathSafety.h"
#include "history/uHistorySave.h"
#include "platform/platform.h"
#include "test_support.h"

namespace quillet {
namespace {

TEST(StringOps, ReplaceAllIgnoreCaseKeepsTheTextBetweenOccurrences) {
    struct Case {
        const char* text;
        const char* search;
        const char* replacement;
        const char* expected;
    };
    const Case cases[] = {
        {"a icq admin b ICQ ADMIN", "ICQ Admin", "ICQ Support", "a ICQ Support b ICQ Support"},
        {"aaa", "aa", "b", "ba"},  // left to right, no overlap
        {"A", "A", "AB", "AB"},    // inserted text is not searched again
        {"xXx", "x", "", ""},
        {"abc", "", "z", "abc"},  // an empty search changes nothing
        {"", "a", "b", ""},
        {"ab", "abc", "z", "ab"},
        {"Zo\xEB and ZO\xCB", "zo\xEB", "Z", "Z and Z"},  // letters beyond ASCII under 1252
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReplaceAllIgnoreCase(c.text, c.search, c.replacement), c.expected) << c.text;
    }
}

TEST(StringOps, ReplaceAllExactCountsLetterCase) {
    EXPECT_EQ(ReplaceAllExact("%UIN% %uin% %UIN%", "%UIN%", "1"), "1 %uin% 1");
    EXPECT_EQ(ReplaceAllExact("/n/n", "/n", "\n\r"), "\n\r\n\r");
}

TEST(StringOps, SplitLinesHandlesEveryLineEnd) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\r\r\n", {"a", ""}},
        {"\n", {""}},
        {std::string("a\nb\0c\nd", 7), {"a", "b"}},  // a NUL byte ends the text
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitLines(c.text), c.lines) << testing::PrintToString(c.text);
    }
}

TEST(StringOps, FolderOfEndsAtTheLastSeparatorOrColon) {
    EXPECT_EQ(FolderOf("C:\\a\\b.dll"), "C:\\a\\");
    EXPECT_EQ(FolderOf("C:b.dll"), "C:");
    EXPECT_EQ(FolderOf("b.dll"), "");
    EXPECT_EQ(TrimControlAndBlank("\t x \r\n"), "x");
}

// In code page 932 the second byte of a character can be "\\" (ソ is 83 5C, 表 is 95 5C), "|"
// (ポ is 83 7C) or a letter (83 61); in UTF-8 (65001) a character is one to four bytes and its
// capital may be longer or shorter. Every operation on paths, names and rules steps through
// characters. Natively the code page is chosen here; under Windows the 932 rows run in the
// Japanese locale run of the tests.
TEST(MultiByteCodePage, OperationsStepThroughCharacters) {
    // Rules are parsed under the row's code page, as the message path parses them.
    const auto aliases = [](const char* file) {
        return [file](const std::string& t) { return ApplyAliases(ParseAliasRules(file), t); };
    };
    const struct {
        unsigned codePage;  // natively chosen for the row; under Windows the row needs it
        const char* what;
        std::function<std::string(const std::string&)> operation;
        std::string text;
        std::string expected;
    } cases[] = {
        // clang-format off
        {932, "cleaning", CleanFileName, "C:\\\x83\x7C\x83\x93|.TXT", "C:\\\x83\x7C\x83\x93_.TXT"},
        {932, "folder part", [](const std::string& p) { return FolderOf(p); }, "C:\\a\\\x83\x5C", "C:\\a\\"},
        {932, "extension", [](const std::string& p) { return WithExtension(p, ".ini"); }, "C:\\x.\x95\x5C", "C:\\x.ini"},
        {932, "alias rules", aliases("\\==/\r\n|==!\r\nA==b\r\n"),
         "\x83\x5C\\\x83\x7C|\x83\x61" "a", "\x83\x5C/\x83\x7C!\x83\x61" "b"},
        {932, "upper-casing of templates", [](const std::string& t) { return ExpandFolderMacros(t, "", ""); },
         "\x83\x61" "x", "\x83\x61" "X"},
        {932, "dot pieces", [](const std::string& v) { return NeutralizeDotSegments(v); }, "\x83\x5C..", "\x83\x5C.."},
        {932, "folder levels", [](const std::string& p) { return TrimFolderLevels(p); },
         "C:\\\x83\x5C \\x.TXT", "C:\\\x83\x5C\\x.TXT"},
        {932, "device names", [](const std::string& p) { return ProtectDeviceNames(p); },
         "C:\\\x83\x5C" "CON.TXT", "C:\\\x83\x5C" "CON.TXT"},
        // UTF-8: the capital of ı is one byte shorter, and 表 (E8 A1 A8) is one character.
        {65001, "alias rules", aliases("yilmaz==Ali\r\n"), "C:\\Y\xC4\xB1lmaz\\1.TXT", "C:\\Ali\\1.TXT"},
        {65001, "alias rules", aliases("\xA8==x\r\n\xA1\xA8==y\r\n"), "C:\\\xE8\xA1\xA8", "C:\\\xE8\xA1\xA8"},
        // clang-format on
    };
    for (const auto& c : cases) {
        const test::ScopedEnv codePage("QUILLET_ACP", std::to_string(c.codePage));
        if (platform::AnsiCodePage() != c.codePage) continue;  // under Windows: not this system's
        EXPECT_EQ(c.operation(c.text), c.expected) << c.codePage << " " << c.what;
    }
}

}  // namespace
}  // namespace quillet
