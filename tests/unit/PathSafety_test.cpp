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
        {"C:\\H\\CON.TXT", "C:\\H\\CON_.TXT"},   {"C:\\H\\con", "C:\\H\\con_"},
        {"C:\\NUL\\x.TXT", "C:\\NUL_\\x.TXT"},   {"C:\\H\\com1.tar.gz", "C:\\H\\com1_.tar.gz"},
        {"C:\\H\\LPT9.TXT", "C:\\H\\LPT9_.TXT"}, {"C:\\H\\AUX .TXT", "C:\\H\\AUX_ .TXT"},
        {"C:\\H\\COM0.TXT", "C:\\H\\COM0.TXT"},  {"C:\\H\\CONSOLE.TXT", "C:\\H\\CONSOLE.TXT"},
        {"C:\\H\\xCON.TXT", "C:\\H\\xCON.TXT"},
    };
    for (const Case& c : cases) EXPECT_EQ(ProtectDeviceNames(c.path), c.expected) << c.path;
}

}  // namespace
}  // namespace quillet
