// Our INI reader and writer against the system's own private-profile functions, on the cases
// where Wine behaves as Windows does.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "config/IniFile.h"
#include "platform/platform.h"
#include "unit/test_support.h"

// After platform.h: <windows.h> defines FreeModule as a macro.
#include <windows.h>

namespace quillet {
namespace {

using namespace std::string_literals;

std::wstring ToWchar(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

std::u16string ToUtf16(const wchar_t* text, std::size_t length) {
    return std::u16string(text, text + length);
}

using test::Utf16File;

std::string SystemReadA(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& defaultValue, std::size_t bufferSize) {
    std::vector<char> buffer(bufferSize + 1, '#');
    const DWORD copied =
        GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                                 static_cast<DWORD>(bufferSize), file.c_str());
    return std::string(buffer.data(), copied);
}

std::u16string SystemReadW(const std::string& file, const std::string& section,
                           const std::string& key, const std::string& defaultValue,
                           std::size_t bufferSize) {
    std::vector<wchar_t> buffer(bufferSize + 1, L'#');
    const DWORD copied = GetPrivateProfileStringW(
        ToWchar(platform::AnsiToWide(section)).c_str(), ToWchar(platform::AnsiToWide(key)).c_str(),
        ToWchar(platform::AnsiToWide(defaultValue)).c_str(), buffer.data(),
        static_cast<DWORD>(bufferSize), ToWchar(platform::AnsiToWide(file)).c_str());
    return ToUtf16(buffer.data(), copied);
}

struct ReadCase {
    const char* name;
    std::string file;
    std::string section;
    std::string key;
    std::string defaultValue;
    std::size_t bufferSize;
    std::u16string expected;
    const char* expectedAnsiIn1252;  // when it is not the plain narrowing; else null
};

TEST(IniDifferential, ReadsAsTheSystemDoes) {
    const std::string longValue(3000, 'x');
    const std::vector<ReadCase> cases = {
        {"blanks", "[ s ]\r\n\t k \t=\t v \t\r\n", "s", "k", "d", 2048, u"v", nullptr},
        {"mixed line ends", "[s]\ra=1\nb=2\r\n", "s", "b", "d", 2048, u"2", nullptr},
        {"first key wins", "[s]\r\nk=1\r\nK=2\r\n[S]\r\nj=3\r\n", "s", "k", "d", 2048, u"1",
         nullptr},
        {"first section only", "[s]\r\nk=1\r\nK=2\r\n[S]\r\nj=3\r\n", "s", "j", "d", 2048, u"d",
         nullptr},
        {"quotes, blanks inside", "[s]\r\nk= \"  x  \" \r\nq=\"abc\"\r\nm='x\"\r\n", "s", "k", "d",
         2048, u"  x  ", nullptr},
        {"quotes", "[s]\r\nk= \"  x  \" \r\nq=\"abc\"\r\nm='x\"\r\n", "s", "q", "d", 2048, u"abc",
         nullptr},
        {"mismatched quotes", "[s]\r\nk= \"  x  \" \r\nq=\"abc\"\r\nm='x\"\r\n", "s", "m", "d",
         2048, u"'x\"", nullptr},
        {"small buffer", "[s]\r\nk=abcdef\r\n", "s", "k", "d", 4, u"abc", nullptr},
        {"default loses trailing spaces", "[s]\r\nk=1\r\n", "s", "missing", "abc  ", 2048, u"abc",
         nullptr},
        {"NUL ends a value", "[s]\r\nk=ab\0cd\r\nj=1\r\n"s, "s", "k", "d", 2048, u"ab", nullptr},
        {"NUL does not end the file", "[s]\r\nk=ab\0cd\r\nj=1\r\n"s, "s", "j", "d", 2048, u"1",
         nullptr},
        {"UTF-16LE file", Utf16File(u"[s]\r\nk=\u20AC\u4E2D\r\n"), "s", "k", "d", 2048,
         u"\u20AC\u4E2D", "\x80?"},
        {"value cut to 2047", "[s]\r\nk=" + longValue + "\r\n", "s", "k", "d", 2048,
         std::u16string(2047, u'x'), nullptr},
        {"line without = gives the default", "[s]\r\nk\r\n", "s", "k", "d", 2048, u"d", nullptr},
        {"empty value", "[s]\r\nk=\r\n", "s", "k", "d", 2048, u"", nullptr},
        {"ASCII case", "[SECTION]\r\nKey=1\r\n", "section", "KEY", "d", 2048, u"1", nullptr},
        {"first = splits", "[s]\r\na=b=c\r\n", "s", "a", "d", 2048, u"b=c", nullptr},
    };
    const bool codePage1252 = GetACP() == 1252;
    int number = 0;
    for (const ReadCase& c : cases) {
        test::TempFolder folder;
        const std::string file = folder.path("read" + std::to_string(number++) + ".ini");
        test::WriteBytes(test::NativePath(file), c.file);

        const std::u16string systemWide =
            SystemReadW(file, c.section, c.key, c.defaultValue, c.bufferSize);
        EXPECT_EQ(systemWide, c.expected) << c.name << ": the system itself";
        EXPECT_EQ(ReadIniStringW(file, platform::AnsiToWide(c.section), platform::AnsiToWide(c.key),
                                 platform::AnsiToWide(c.defaultValue), c.bufferSize),
                  systemWide)
            << c.name;

        const std::string systemAnsi =
            SystemReadA(file, c.section, c.key, c.defaultValue, c.bufferSize);
        if (codePage1252) {
            EXPECT_EQ(systemAnsi, c.expectedAnsiIn1252 ? std::string(c.expectedAnsiIn1252)
                                                       : platform::WideToAnsi(c.expected))
                << c.name << ": the system itself";
        }
        EXPECT_EQ(ReadIniStringA(file, c.section, c.key, c.defaultValue, c.bufferSize), systemAnsi)
            << c.name;
    }
}

struct Write {
    std::string section;
    std::string key;
    std::string value;
};

struct WriteCase {
    const char* name;
    std::optional<std::string> before;  // none: no file
    std::vector<Write> writes;
    std::string expected;
};

TEST(IniDifferential, WritesAsTheSystemDoes) {
    const std::vector<WriteCase> cases = {
        {"new file, two sections",
         std::nullopt,
         {{"s", "k", "v"}, {"t", "k2", "v2"}},
         "[s]\r\nk=v\r\n[t]\r\nk2=v2\r\n"},
        {"new key appended to its section",
         "[s]\r\na=1\r\n[t]\r\nb=2\r\n",
         {{"s", "c", "3"}},
         "[s]\r\na=1\r\nc=3\r\n[t]\r\nb=2\r\n"},
        {"new key after a last line without line end",
         "[s]\r\na=1",
         {{"s", "b", "2"}},
         "[s]\r\na=1\r\nb=2\r\n"},
        {"new section at the end",
         "[s]\r\na=1\r\n",
         {{"t", "k", "v"}},
         "[s]\r\na=1\r\n[t]\r\nk=v\r\n"},
        {"existing key keeps its spelling",
         "[s]\r\nPathFolder1=a\r\nb=2\r\n",
         {{"S", "pathfolder1", "x"}},
         "[s]\r\nPathFolder1=x\r\nb=2\r\n"},
        {"key into the first of two sections",
         "[s]\r\na=1\r\n[t]\r\n[s]\r\nb=2\r\n",
         {{"s", "b", "3"}},
         "[s]\r\na=1\r\nb=3\r\n[t]\r\n[s]\r\nb=2\r\n"},
    };
    int number = 0;
    for (const WriteCase& c : cases) {
        test::TempFolder folder;
        const std::string systemFile = folder.path("system" + std::to_string(number) + ".ini");
        const std::string ourFile = folder.path("ours" + std::to_string(number) + ".ini");
        ++number;
        if (c.before) {
            test::WriteBytes(test::NativePath(systemFile), *c.before);
            test::WriteBytes(test::NativePath(ourFile), *c.before);
        }
        for (const Write& w : c.writes) {
            EXPECT_TRUE(WritePrivateProfileStringA(w.section.c_str(), w.key.c_str(),
                                                   w.value.c_str(), systemFile.c_str()))
                << c.name;
            EXPECT_TRUE(WriteIniStringA(ourFile, w.section, w.key, w.value)) << c.name;
        }
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, systemFile.c_str());
        const auto systemBytes = test::ReadBytes(test::NativePath(systemFile));
        EXPECT_EQ(systemBytes, c.expected) << c.name << ": the system itself";
        EXPECT_EQ(test::ReadBytes(test::NativePath(ourFile)), systemBytes) << c.name;
    }
}

TEST(IniDifferential, WideWritesKeepTheFilesEncoding) {
    if (GetACP() != 1252) GTEST_SKIP() << "needs code page 1252";
    test::TempFolder folder;
    for (const bool existing : {false, true}) {
        const std::string tag = existing ? "utf16" : "new";
        const std::string systemFile = folder.path("system-" + tag + ".ini");
        const std::string ourFile = folder.path("ours-" + tag + ".ini");
        if (existing) {
            test::WriteBytes(test::NativePath(systemFile), Utf16File(u"[s]\r\na=1\r\n"));
            test::WriteBytes(test::NativePath(ourFile), Utf16File(u"[s]\r\na=1\r\n"));
        }
        EXPECT_TRUE(WritePrivateProfileStringW(L"s", L"k", L"\u00E9\u4E2D",
                                               ToWchar(platform::AnsiToWide(systemFile)).c_str()));
        EXPECT_TRUE(WriteIniStringW(ourFile, u"s", u"k", u"\u00E9\u4E2D"));
        WritePrivateProfileStringW(nullptr, nullptr, nullptr,
                                   ToWchar(platform::AnsiToWide(systemFile)).c_str());
        const auto systemBytes = test::ReadBytes(test::NativePath(systemFile));
        EXPECT_EQ(systemBytes,
                  existing ? Utf16File(u"[s]\r\na=1\r\nk=\u00E9\u4E2D\r\n") : "[s]\r\nk=\xE9?\r\n")
            << tag << ": the system itself";
        EXPECT_EQ(test::ReadBytes(test::NativePath(ourFile)), systemBytes) << tag;
    }
}

TEST(IniDifferential, WriteIntoAFolderFailsAlike) {
    test::TempFolder folder;
    std::filesystem::create_directory(folder.native("taken.ini"));
    const std::string path = folder.path("taken.ini");
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", path.c_str()));
    EXPECT_FALSE(WriteIniStringA(path, "s", "k", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(folder.native("taken.ini")));
    EXPECT_TRUE(std::filesystem::is_empty(folder.native("taken.ini")));
}

}  // namespace
}  // namespace quillet
