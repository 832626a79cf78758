#include "history/PathSafety.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(PathSafety, DotOnlyPiecesOfANameCannotClimbOrStay) {
    struct Case {
        const char* value;
        const char* expected;
    };
    const Case cases[] = {
        {"..", "__"},         {".", "_"},         {"..\\..\\Windows", "__\\__\\Windows"},
        {". .", "_ _"},       {"a\\..", "a\\__"}, {"Bob", "Bob"},
        {"B.o.b", "B.o.b"},   {"...x", "...x"},   {"", ""},
        {"  ", "  "},          // blanks alone are not a climb
        {"a\\\\b", "a\\\\b"},  // a doubled separator is left as it is
    };
    for (const Case& c : cases) EXPECT_EQ(NeutralizeDotSegments(c.value), c.expected) << c.value;
}

TEST(PathSafety, DeviceNamesGetAnUnderscoreAfterTheirNamePart) {
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\H\\CON.TXT", "C:\\H\\CON_.TXT"},
        {"C:\\H\\con", "C:\\H\\con_"},
        {"C:\\NUL\\x.TXT", "C:\\NUL_\\x.TXT"},
        {"C:\\H\\com1.tar.gz", "C:\\H\\com1_.tar.gz"},
        {"C:\\H\\LPT9.TXT", "C:\\H\\LPT9_.TXT"},
        {"C:\\H\\AUX .TXT", "C:\\H\\AUX_ .TXT"},
        {"C:\\H\\COM0.TXT", "C:\\H\\COM0.TXT"},
        {"C:\\H\\CONSOLE.TXT", "C:\\H\\CONSOLE.TXT"},
        {"C:\\H\\xCON.TXT", "C:\\H\\xCON.TXT"},
        // Superscript one to three (bytes B9, B2, B3 under 1252) are ports too; zero is not.
        {"C:\\H\\COM\xB9.TXT", "C:\\H\\COM\xB9_.TXT"},
        {"C:\\lpt\xB3\\x.TXT", "C:\\lpt\xB3_\\x.TXT"},
        {"C:\\H\\COM\xB0.TXT", "C:\\H\\COM\xB0.TXT"},
    };
    for (const Case& c : cases) EXPECT_EQ(ProtectDeviceNames(c.path), c.expected) << c.path;
}

TEST(PathSafety, FolderLevelsAreWhatWindowsMakesOfThem) {
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\H\\Bob \\1.TXT", "C:\\H\\Bob\\1.TXT"},
        {"C:\\H\\Ann.\\1.TXT", "C:\\H\\Ann\\1.TXT"},
        {"C:\\H\\ . .\\1.TXT", "C:\\H\\_\\1.TXT"},  // had characters, none are left
        {"C:\\H \\Bob .TXT", "C:\\H\\Bob .TXT"},    // the file name stays
        {"C:\\H\\\\x\\..\\.\\1.TXT", "C:\\H\\\\x\\..\\.\\1.TXT"},
        {"\\\\srv \\share.\\a \\1.TXT", "\\\\srv \\share.\\a\\1.TXT"},
        {"1.TXT", "1.TXT"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(TrimFolderLevels(c.path), c.expected) << c.path;
}

}  // namespace
}  // namespace quillet
