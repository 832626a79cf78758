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
// (ポ is 83 7C) or a letter (83 61). Every operation on paths, names and rules steps through
// characters. Natively the code page is chosen here; under Windows this runs in the Japanese
// locale run of the tests.
TEST(MultiByteCodePage, OperationsStepThroughCharacters) {
    const test::ScopedEnv codePage("QUILLET_ACP", "932");
    if (platform::AnsiCodePage() != 932) GTEST_SKIP() << "the system's code page is not 932";
    AliasRules rules = ParseAliasRules(std::string("\\==/\r\n|==!\r\nA==b\r\n"));
    const struct {
        const char* what;
        std::function<std::string(const std::string&)> operation;
        std::string text;
        std::string expected;
    } cases[] = {
        // clang-format off
        {"cleaning", CleanFileName, "C:\\\x83\x7C\x83\x93|.TXT", "C:\\\x83\x7C\x83\x93_.TXT"},
        {"folder part", [](const std::string& p) { return FolderOf(p); }, "C:\\a\\\x83\x5C", "C:\\a\\"},
        {"extension", [](const std::string& p) { return WithExtension(p, ".ini"); }, "C:\\x.\x95\x5C", "C:\\x.ini"},
        {"alias rules", [&](const std::string& t) { return ApplyAliases(rules, t); },
         "\x83\x5C\\\x83\x7C|\x83\x61" "a", "\x83\x5C/\x83\x7C!\x83\x61" "b"},
        {"upper-casing of templates", [](const std::string& t) { return ExpandFolderMacros(t, "", ""); },
         "\x83\x61" "x", "\x83\x61" "X"},
        {"dot pieces", [](const std::string& v) { return NeutralizeDotSegments(v); }, "\x83\x5C..", "\x83\x5C.."},
        {"folder levels", [](const std::string& p) { return TrimFolderLevels(p); },
         "C:\\\x83\x5C \\x.TXT", "C:\\\x83\x5C\\x.TXT"},
        {"device names", [](const std::string& p) { return ProtectDeviceNames(p); },
         "C:\\\x83\x5C" "CON.TXT", "C:\\\x83\x5C" "CON.TXT"},
        // clang-format on
    };
    for (const auto& c : cases) EXPECT_EQ(c.operation(c.text), c.expected) << c.what;
}

}  // namespace
}  // namespace quillet
