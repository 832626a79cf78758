// Code-page conversion and letter case of the platform layer; the tests run against the real
// API under Wine (code page 1252 there) and against the POSIX mapping natively.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "test_support.h"
#if !defined(_WIN32)
#include "platform/posix/letter_case.h"
#endif

namespace quillet {
namespace {

using test::ScopedEnv;

#if defined(_WIN32)
// Wine runs the tests without LANG, which gives code page 1252.
struct DefaultCodePage {
    DefaultCodePage() {}
};
#else
// QUILLET_ACP unset: the default code page 1252.
struct DefaultCodePage {
    ScopedEnv codePage{"QUILLET_ACP", std::nullopt};
};
#endif

struct Conversion {
    std::u16string wide;
    std::string ansi;
};

TEST(PlatformText, Cp1252ConvertsBothWays) {
    const DefaultCodePage page;
    EXPECT_EQ(platform::AnsiCodePage(), 1252u);
    const Conversion cases[] = {
        {u"", ""},
        {u"Bob 12345", "Bob 12345"},
        {u"\u20AC", "\x80"},  // euro sign: not Latin-1
        {u"caf\u00E9 \u00C9T\u00C9", "caf\xE9 \xC9T\xC9"},
        {u"\u0178\u0153\u2026", "\x9F\x9C\x85"},  // Ÿ œ …
        {std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Conversion& c : cases) {
        EXPECT_EQ(platform::WideToAnsi(c.wide), c.ansi);
        EXPECT_EQ(platform::AnsiToWide(c.ansi), c.wide);
    }
}

TEST(PlatformText, Cp1252LacksBecomeDefaultCharacter) {
    const DefaultCodePage page;
    EXPECT_EQ(platform::WideToAnsi(u"\u041F\u0440\u0438\u0432\u0435\u0442"), "??????");
    EXPECT_EQ(platform::WideToAnsi(u"\u4E2D x"), "? x");
    // An unpaired surrogate is a character the code page lacks, not a reason to fail.
    EXPECT_EQ(platform::WideToAnsi(std::u16string{u'\xD800', u'a'}), "?a");
    EXPECT_EQ(platform::WideToAnsi(std::u16string{u'a', u'\xDC00'}), "a?");
    // A character beyond the basic plane takes two UTF-16 units and gives one "?" for each.
    EXPECT_EQ(platform::WideToAnsi(u"x\U0001F386y"), "x??y");
#if defined(_WIN32)
    EXPECT_EQ(platform::WideToAnsi(u"\u0142"), "l");  // the best-fit substitute for ł
#else
    EXPECT_EQ(platform::WideToAnsi(u"\u0142"), "?");  // no best fit natively
#endif
}

// Bytes that 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) must survive too, or a file
// name read from disk could not be opened again.
TEST(PlatformText, EveryCp1252ByteRoundTrips) {
    const DefaultCodePage page;
    std::string all;
    for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
    const std::u16string wide = platform::AnsiToWide(all);
    EXPECT_EQ(wide.size(), 256u);
    EXPECT_EQ(platform::WideToAnsi(wide), all);
    EXPECT_EQ(platform::AnsiToWide("\x81"), u"\u0081");
}

struct CaseComparison {
    std::string a;
    std::string b;
    bool equal;
};

const CaseComparison kNarrowComparisons[] = {
    {"john", "JOHN", true},
    {"", "", true},
    {"", "a", false},
    {"john ", "john", false},      // a trailing blank counts
    {" 123456", "123456", false},  // and a leading one
    {"caf\xE9", "CAF\xC9", true},  // é and É under 1252
    {"\xFF", "\x9F", true},        // ÿ and Ÿ
    {"\xE9", "e", false},          // accents count
    {"a", "b", false},
    {"12345", "12346", false},
};

TEST(PlatformText, NarrowComparisonIgnoresOnlyLetterCase) {
    const DefaultCodePage page;
    for (const CaseComparison& c : kNarrowComparisons) {
        EXPECT_EQ(platform::EqualIgnoreCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    }
}

// The exclusion list finds contacts by key, so the keys must agree with the comparison, also
// where a locale's rules go beyond plain letter case.
TEST(PlatformText, ComparisonKeysAreEqualExactlyWhenTheTextsAre) {
    const DefaultCodePage page;
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const CaseComparison& c : kNarrowComparisons) pairs.emplace_back(c.a, c.b);
    // ß (octal 337) against SS, a soft hyphen (octal 255), Æ against AE, I against Í.
    pairs.insert(pairs.end(), {{"stra\337e", "STRASSE"},
                               {"co-op", "coop"},
                               {"a\255b", "ab"},
                               {"\xC6", "AE"},
                               {"I", "\xCD"},
                               {"", " "}});
    for (const auto& [a, b] : pairs) {
        EXPECT_EQ(platform::ComparisonKey(a) == platform::ComparisonKey(b),
                  platform::EqualIgnoreCase(a, b))
            << a << " / " << b;
    }
}

TEST(PlatformText, WideComparisonIgnoresOnlyLetterCase) {
    EXPECT_TRUE(platform::EqualIgnoreCase(u"\u041F\u0440\u0438\u0432\u0435\u0442",
                                          u"\u041F\u0420\u0418\u0412\u0415\u0422"));
    EXPECT_TRUE(platform::EqualIgnoreCase(u"Stra\u00DFe", u"STRA\u00DFE"));
    EXPECT_FALSE(platform::EqualIgnoreCase(u"ab", u"abc"));
    EXPECT_FALSE(platform::EqualIgnoreCase(u"a ", u"A"));
    EXPECT_TRUE(platform::EqualIgnoreCase(u"", u""));
}

struct Upper {
    std::string text;
    std::string upper;
};

TEST(PlatformText, UpperCaseFollowsTheCodePageAndKeepsTheLength) {
    const DefaultCodePage page;
    const Upper cases[] = {
        {"icq admin", "ICQ ADMIN"}, {"c:\\chats\\%uin%.txt", "C:\\CHATS\\%UIN%.TXT"},
        {"\xE9t\xE9", "\xC9T\xC9"},  // été
        {"\xFF", "\x9F"},            // ÿ becomes Ÿ, which 1252 has at 0x9F
        {"\xDF", "\xDF"},            // ß has no one-character capital
        {"\xB5", "\xB5"},            // µ: its capital (Greek Mu) is not in 1252
        {"123 _-", "123 _-"},       {std::string("a\0b", 3), std::string("A\0B", 3)},
    };
    for (const Upper& c : cases) {
        EXPECT_EQ(platform::UpperCase(c.text), c.upper) << c.text;
    }
}

#if !defined(_WIN32)
TEST(PlatformTextPosix, Cp1251ChosenByQuilletAcp) {
    const ScopedEnv codePage("QUILLET_ACP", "1251");
    EXPECT_EQ(platform::AnsiCodePage(), 1251u);
    const std::u16string privet = u"\u041F\u0440\u0438\u0432\u0435\u0442";
    EXPECT_EQ(platform::WideToAnsi(privet), "\xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_EQ(platform::AnsiToWide("\xCF\xF0\xE8\xE2\xE5\xF2"), privet);
    EXPECT_EQ(platform::WideToAnsi(u"\u00E9"), "?");  // é is not in 1251
    EXPECT_TRUE(platform::EqualIgnoreCase("\xCF\xF0\xE8\xE2\xE5\xF2", "\xCF\xD0\xC8\xC2\xC5\xD2"));
    EXPECT_EQ(platform::UpperCase("\xEF\xF0\xE8 abc"), "\xCF\xD0\xC8 ABC");
    EXPECT_EQ(platform::AnsiToWide("\x98"), u"\u0098");  // the byte 1251 leaves undefined
}

TEST(PlatformTextPosix, DoubleByteCodePageKeepsTrailBytes) {
    const ScopedEnv codePage("QUILLET_ACP", "932");
    EXPECT_EQ(platform::AnsiCodePage(), 932u);
    // U+30C2 is 0x83 0x61 in 932: its trail byte is an "a" that upper-casing must not touch.
    EXPECT_EQ(platform::WideToAnsi(u"\u30C2a"),
              "\x83\x61"
              "a");
    EXPECT_EQ(platform::AnsiToWide("\x83\x61"
                                   "a"),
              u"\u30C2a");
    EXPECT_EQ(platform::UpperCase("\x83\x61"
                                  "a"),
              "\x83\x61"
              "A");
    EXPECT_EQ(platform::WideToAnsi(u"\u0416"), "\x84\x47");  // Cyrillic Ж is in 932
    EXPECT_EQ(platform::WideToAnsi(u"\u00E9x"), "?x");
    EXPECT_EQ(platform::AnsiToWide("a\x83"), u"a?");  // a lead byte cut off at the end
}

// Two letters the comparison calls equal share a capital or a small form; the key folds each to
// the small form of its capital, which is then the same for both only if folding a letter's
// capital or small form gives what folding the letter gives. Checked for every code point.
TEST(PlatformTextPosix, FoldingAgreesWithEveryCaseOfALetter) {
    int disagreements = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        const char32_t folded = platform::posix::FoldedLetter(c);
        const bool agrees =
            platform::posix::FoldedLetter(platform::posix::UpperLetter(c)) == folded &&
            platform::posix::FoldedLetter(platform::posix::LowerLetter(c)) == folded;
        if (!agrees && ++disagreements <= 5) ADD_FAILURE() << "U+" << std::hex << unsigned(c);
    }
    EXPECT_EQ(disagreements, 0);
}

TEST(PlatformTextPosix, UnknownCodePageFallsBackTo1252) {
    for (const char* value : {"99999", "abc", "1251x", ""}) {
        const ScopedEnv codePage("QUILLET_ACP", value);
        EXPECT_EQ(platform::AnsiCodePage(), 1252u) << value;
        EXPECT_EQ(platform::WideToAnsi(u"\u20AC"), "\x80") << value;
    }
}
#endif

}  // namespace
}  // namespace quillet
