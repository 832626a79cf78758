#include "config/StringOps.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
}  // namespace quillet
