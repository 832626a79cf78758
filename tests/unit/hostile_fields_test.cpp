// Message records as a careless or hostile peer can make them: missing and empty texts, very
// long ones, broken UTF-16, embedded NULs, control characters, and names that Windows gives a
// meaning in paths. Each one is one received message through the plug-in's event, which must
// write one entry into the one file its names lead to, inside the plug-in's folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "test_support.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

constexpr const char* kBobsFile = "HISTORY\\ICQ\\777\\12345.TXT";
constexpr const char* kSeparator = "--------------------------------------<-\r\n";

using Field = const char16_t* TChatMessage::*;

struct Case {
    Field field;                          // of Bob's message, given `value`
    std::optional<std::u16string> value;  // nullopt: a null pointer
    const char* file = kBobsFile;         // where the entry goes, below the plug-in's folder
    std::string name = "Bob";             // the entry's name, before the time
    std::string text = "hi";              // the entry's text line
};

// The cases of texts the host left out: a null pointer and an empty text alike.
std::vector<Case> MissingTexts() {
    const Case missing[] = {
        {&TChatMessage::Protocol, {}, "HISTORY\\777\\12345.TXT"},
        {&TChatMessage::SenderUIN, {}, "HISTORY\\ICQ\\777\\.TXT"},
        {&TChatMessage::SenderName, {}, kBobsFile, ""},
        {&TChatMessage::RecipientUIN, {}, "HISTORY\\ICQ\\12345.TXT"},
        {&TChatMessage::RecipientName, {}},
        {&TChatMessage::MsgText, {}, kBobsFile, "Bob", ""},
    };
    std::vector<Case> cases;
    for (Case c : missing) {
        cases.push_back(c);
        c.value = u"";
        cases.push_back(c);
    }
    return cases;
}

std::vector<Case> OddTexts() {
    std::string megabyte;
    for (int i = 0; i < (1 << 20); ++i) megabyte += static_cast<char>('a' + i % 26);
    const std::u16string wideMegabyte(megabyte.begin(), megabyte.end());
    return {
        {&TChatMessage::MsgText, wideMegabyte, kBobsFile, "Bob", megabyte},
        // An unpaired surrogate is a character the code page lacks.
        {&TChatMessage::MsgText, u"a\xD800z\xDC00"s, kBobsFile, "Bob", "a?z?"},
        {&TChatMessage::SenderName, u"\xDBFFZed"s, kBobsFile, "?Zed"},
        {&TChatMessage::SenderUIN, u"12\xDFFF"s, "HISTORY\\ICQ\\777\\12_.TXT"},
        // The host's texts end at their first NUL.
        {&TChatMessage::MsgText, u"hi\0there"s},
        {&TChatMessage::SenderUIN, u"123\0.."s, "HISTORY\\ICQ\\777\\123.TXT"},
        // Control characters are text in an entry but cannot be part of a Windows file name.
        {&TChatMessage::MsgText, u"\x01\x07\t\x1B[31m\x7F"s, kBobsFile, "Bob",
         "\x01\x07\t\x1B[31m\x7F"},
        {&TChatMessage::SenderName, u"B\bob"s, kBobsFile, "B\bob"},
        {&TChatMessage::SenderUIN, u"12\t3\x1F"s, "HISTORY\\ICQ\\777\\12_3_.TXT"},
    };
}

// Names that would climb out of their folder or open a device get "_" instead.
std::vector<Case> PathNames() {
    return {
        {&TChatMessage::SenderUIN, u"CON", "HISTORY\\ICQ\\777\\CON_.TXT"},
        {&TChatMessage::SenderUIN, u"nul", "HISTORY\\ICQ\\777\\nul_.TXT"},
        {&TChatMessage::SenderUIN, u"COM1", "HISTORY\\ICQ\\777\\COM1_.TXT"},
        {&TChatMessage::SenderUIN, u"LPT1", "HISTORY\\ICQ\\777\\LPT1_.TXT"},
        {&TChatMessage::SenderUIN, u"con.log", "HISTORY\\ICQ\\777\\con_.log.TXT"},
        {&TChatMessage::SenderUIN, u"..", "HISTORY\\ICQ\\777\\__.TXT"},
        {&TChatMessage::SenderUIN, u".", "HISTORY\\ICQ\\777\\_.TXT"},
        {&TChatMessage::SenderUIN, u"\\..\\..", "HISTORY\\ICQ\\777\\__\\__.TXT"},
        {&TChatMessage::SenderUIN, u"..\\..\\..\\x", "HISTORY\\ICQ\\777\\__\\__\\__\\x.TXT"},
        {&TChatMessage::Protocol, u"NUL", "HISTORY\\NUL_\\777\\12345.TXT"},
        {&TChatMessage::Protocol, u".", "HISTORY\\_\\777\\12345.TXT"},
        {&TChatMessage::RecipientUIN, u"..", "HISTORY\\ICQ\\__\\12345.TXT"},
        {&TChatMessage::RecipientUIN, u"\\..\\..\\..", "HISTORY\\ICQ\\__\\__\\__\\12345.TXT"},
    };
}

// `bytes` are one received entry with the case's name and text.
void ExpectTheCasesEntry(const std::string& bytes, const Case& c) {
    ASSERT_EQ(bytes.substr(0, 42), kSeparator);
    const std::size_t nameLineEnd = bytes.find(")\r\n", 42);
    ASSERT_NE(nameLineEnd, std::string::npos);
    EXPECT_EQ(bytes.substr(42, c.name.size() + 2), c.name + " (");
    EXPECT_TRUE(bytes.substr(nameLineEnd + 3) == c.text + "\r\n\r\n")
        << "text line of " << bytes.size() - nameLineEnd - 7
        << " bytes: " << testing::PrintToString(bytes.substr(nameLineEnd + 3, 80));
}

std::size_t FilesBelow(const fs::path& folder) {
    std::size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        count += entry.is_regular_file() ? 1 : 0;
    }
    return count;
}

TEST(HostileFields, EachMessageWritesOneEntryWhereItsNamesLead) {
    const test::ScopedEnv timeFormat("QUILLET_TIME_FORMAT", "HH:mm:ss");
    std::vector<Case> cases = MissingTexts();
    for (auto more : {OddTexts(), PathNames()}) cases.insert(cases.end(), more.begin(), more.end());
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.file << " from " << platform::WideToAnsi(c.value.value_or(u"(null)")));
        const test::TempFolder folder;
        const test::ScopedPluginPath pluginPath(folder);
        test::HostedPlugin host;
        TChatMessage message = test::BobsMessage();
        message.*c.field = c.value ? c.value->c_str() : nullptr;
        EXPECT_EQ(host.Send(message), 1);
        EXPECT_TRUE(host.TakeShown().empty());
        const auto written = platform::ReadWholeFile(folder.path(c.file));
        ASSERT_TRUE(written);
        ExpectTheCasesEntry(*written, c);
        EXPECT_EQ(FilesBelow(folder.native()), 1u);
    }
}

}  // namespace
}  // namespace quillet
