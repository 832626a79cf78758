#include "history/uHistorySave.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "config/MessageContext.h"
#include "history/DateTime.h"
#include "history/HistoryFiles.h"
#include "platform/platform.h"
#include "plugin/main.h"
#include "test_support.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::ScopedPluginPath;
using test::TempFolder;

constexpr const char* kReceived = "--------------------------------------<-\r\n";
constexpr const char* kSent = "-------------------------------------->-\r\n";

// The example message: 7 December 2007 14:05:09 from Bob (12345) to the user's 777 over ICQ.
THistoryRec BobsMessage() {
    THistoryRec rec;
    rec.Protocol = u"ICQ";
    rec.ContactUIN = u"12345";
    rec.ContactName = u"Bob";
    rec.MyUIN = u"777";
    rec.MyName = u"Me";
    rec.MsgText = u"Hello, Bob here";
    rec.Incoming = true;
    rec.MsgTime = UnixSecondsToDateTime(1197036309);
    return rec;
}

TEST(ContactMacros, ReplaceOnlyTheMacrosTheTemplateNames) {
    THistoryRec rec = BobsMessage();
    struct Case {
        const char* pathTemplate;
        std::u16string contactName;
        std::u16string myUin;
        const char* expected;
    };
    const Case cases[] = {
        {"%PROTOCOL%\\%MYUIN%\\%UIN%", u"Bob", u"777", "ICQ\\777\\12345"},
        {"%PROTOCOL%\\%MYUIN%\\%UIN%", u"Bob", u"", "ICQ\\\\12345"},
        {"%MYUIN%-%MYNAME%", u"Bob", u"777", "777-Me"},
        {"%uin%", u"Bob", u"777", "%uin%"},  // only the upper-case form is a macro
        {"no macros", u"Bob", u"777", "no macros"},
        {"%CONTACTNAME%\\%MYUIN%", u"x%MYUIN%", u"777", "x777\\777"},
        {"%CONTACTNAME%", u"x%MYUIN%", u"777", "x%MYUIN%"},
        {"%CONTACTNAME%", u"a\\b", u"777", "a\\b"},  // a backslash makes a folder level
        {"%CONTACTNAME%", u"..", u"777", "__"},      // but a name cannot climb out
        {"%CONTACTNAME%\\x", u"..\\..\\..\\etc", u"777", "__\\__\\__\\etc\\x"},
        // nor become dots once a macro it holds is replaced; the template's own dots stay
        {"..\\%CONTACTNAME%\\%MYUIN%", u".%MYUIN%.\\x", u"", "..\\__\\x\\"},
        {"%CONTACTNAME%", u"\u0416\u0443\u043a", u"777", "???"},  // lacking in code page 1252
        // The message's own date: 7 December 2007.
        {"%UIN%\\%YEAR%-%MONTH%", u"Bob", u"777", "12345\\2007-12"},
        {"%YEAR%%MONTH%%DAY%-%DAY%", u"Bob", u"777", "20071207-07"},
        {"%CONTACTNAME%-%YEAR%", u"%DAY%", u"777", "%DAY%-2007"},  // a name stays a name
        {"%year%", u"Bob", u"777", "%year%"},
    };
    for (const Case& c : cases) {
        rec.ContactName = c.contactName;
        rec.MyUIN = c.myUin;
        EXPECT_EQ(ExpandContactMacros(c.pathTemplate, rec), c.expected) << c.pathTemplate;
    }
}

// A message takes the path the last one was given only when all it was made from is the same:
// each step changes one thing and must get what a fresh composition gives.
TEST(HistoryFilePath, KeptPathIsWhatAFreshCompositionGives) {
    constexpr const char* kAll = "%CONTACTNAME%\\%PROTOCOL%-%UIN%-%MYUIN%-%MYNAME%";
    struct Step {
        const char* file;  // PathFile1
        const char* aliases;
        const char* codePage;  // natively; under Windows the system's stays
        std::u16string contactName = u"Bob";
        std::u16string protocol = u"ICQ";
        std::u16string contactUin = u"12345";
        std::u16string myUin = u"777";
        std::u16string myName = u"Me";
        double dayAdded = 0;
    };
    const Step steps[] = {
        {kAll, "", "1252"},
        {kAll, "", "1252"},  // all the same
        {kAll, "", "1252", u"Alice"},
        {kAll, "", "1252", u"Alice", u"MSN"},
        {kAll, "", "1252", u"Alice", u"MSN", u"1"},
        {kAll, "", "1252", u"Alice", u"MSN", u"1", u"2"},
        {kAll, "", "1252", u"Alice", u"MSN", u"1", u"2", u"I"},
        {kAll, "ALICE==Carol", "1252", u"Alice", u"MSN", u"1", u"2", u"I"},  // other rules
        {"%DAY%", "", "1252"},                                               // another template
        {"%DAY%", "", "1252", u"Bob", u"ICQ", u"12345", u"777", u"Me", 1.0},
        {"%DAY%", "", "1252", u"Bob", u"ICQ", u"12345", u"777", u"Me", 1.25},  // the same day
        {"%CONTACTNAME%", "", "1252", u"\u0416"},
        {"%CONTACTNAME%", "", "1251", u"\u0416"},  // a name the other code page holds
    };
    // The rules are kept as messages keep them: one object until the file changes.
    std::shared_ptr<const AliasRules> rules;
    std::string rulesText;
    for (const Step& step : steps) {
        const ScopedEnv codePage("QUILLET_ACP", step.codePage);
        if (!rules || rulesText != step.aliases) {
            rulesText = step.aliases;
            rules = std::make_shared<const AliasRules>(ParseAliasRules(rulesText));
        }
        MessageContext context;
        context.pluginPath = "C:\\Q\\Quillet.dll";
        context.settings = SettingsValues::FromFileBytes(std::string("[Settings]\r\nPathFile1=") +
                                                         step.file + "\r\n");
        context.aliases = rules;
        THistoryRec rec = BobsMessage();
        rec.ContactName = step.contactName;
        rec.Protocol = step.protocol;
        rec.ContactUIN = step.contactUin;
        rec.MyUIN = step.myUin;
        rec.MyName = step.myName;
        rec.MsgTime += step.dayAdded;
        EXPECT_EQ(HistoryFilePath(context, rec), ComposeHistoryPath(context, rec).path)
            << step.file << " " << step.aliases << " " << step.codePage;
    }
}

TEST(CleanFileName, ReplacesForbiddenCharactersButKeepsTheDrive) {
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\Chats\\A:B\\x?.TXT", "C:\\Chats\\A_B\\x_.TXT"},
        {"\\\\server\\share\\a|b", "\\\\server\\share\\a_b"},
        {"History\\a:\\b", "History\\a_\\b"},
        {"a/b*c\"d<e>f", "a_b_c_d_e_f"},
        {"", ""},
        {":\\", ":\\"},
        {"C:\\a\\b", "C:\\a\\b"},
        // A ":\" after the start is no drive: nothing at the start is spared.
        {"C:C:\\C\\C:", "C_C_\\C\\C_"},
        {"a*b:\\c", "a_b_\\c"},
    };
    for (const Case& c : cases) EXPECT_EQ(CleanFileName(c.path), c.expected) << c.path;
}

TEST(HistoryEntry, NameLineFollowsTheLocaleTimeAndAFixedDate) {
    platform::TimeFormat h24;
    platform::TimeFormat h12After{false, true, false, ":", "AM", "PM"};
    platform::TimeFormat h12Before{false, true, true, ":", "AM", "PM"};
    platform::TimeFormat dotted{true, false, false, ".", "", ""};
    struct Case {
        std::uint32_t seconds;
        platform::TimeFormat format;
        const char* nameLine;
    };
    const Case cases[] = {
        {1197036309, h24, "Bob (14:05:09 07/12/2007)"},
        {1197036309, h12After, "Bob (2:05:09 PM 07/12/2007)"},
        {1197036309, h12Before, "Bob (PM 2:05:09 07/12/2007)"},
        {1197036309, dotted, "Bob (14.05.09 07/12/2007)"},
        {1196985600, h12After, "Bob (12:00:00 AM 07/12/2007)"},  // midnight
        {1197028800, h12After, "Bob (12:00:00 PM 07/12/2007)"},  // noon
        {1197071999, h24, "Bob (23:59:59 07/12/2007)"},
        {1196989509, h24, "Bob (01:05:09 07/12/2007)"},
    };
    THistoryRec rec = BobsMessage();
    for (const Case& c : cases) {
        rec.MsgTime = UnixSecondsToDateTime(c.seconds);
        EXPECT_EQ(FormatHistoryEntry(rec, c.format),
                  std::string(kReceived) + c.nameLine + "\r\nHello, Bob here\r\n\r\n");
    }
}

TEST(HistoryEntry, DirectionDecidesSeparatorAndName) {
    const platform::TimeFormat h24;
    THistoryRec rec = BobsMessage();
    rec.Incoming = false;
    rec.Outgoing = true;
    rec.MsgText = u"line 1\r\nline 2";
    EXPECT_EQ(FormatHistoryEntry(rec, h24),
              std::string(kSent) + "Me (14:05:09 07/12/2007)\r\nline 1\r\nline 2\r\n\r\n");
    rec.Incoming = true;  // both set: received
    rec.MsgText.clear();
    EXPECT_EQ(FormatHistoryEntry(rec, h24),
              std::string(kReceived) + "Bob (14:05:09 07/12/2007)\r\n\r\n\r\n");
    rec.Incoming = rec.Outgoing = false;  // neither: sent
    EXPECT_EQ(FormatHistoryEntry(rec, h24).substr(0, 42), kSent);
}

class SaveHistoryTest : public testing::Test {
protected:
    void StoreSettings(const std::string& lines) {
        test::WriteBytes(folder.native("Quillet.ini"), "[Settings]\r\n" + lines);
    }
    // Through the platform layer, which knows how names outside ASCII are stored.
    std::optional<std::string> HistoryBytes(const std::string& relative) {
        return platform::ReadWholeFile(folder.path(relative));
    }
    // The entry as the platform's locale writes it; its name line is checked against fixed
    // texts in the tests above and, per locale, by the locale runs of this program.
    static std::string EntryFor(const THistoryRec& rec) {
        return FormatHistoryEntry(rec, platform::UserTimeFormat());
    }

    TempFolder folder;
    ScopedPluginPath pluginPath{folder};
    ScopedEnv timeFormat{"QUILLET_TIME_FORMAT", "HH:mm:ss"};  // read by the native layer only
};

TEST_F(SaveHistoryTest, DefaultTemplatesPutTheExampleWhereExpected) {
    const THistoryRec rec = BobsMessage();
    ASSERT_TRUE(SaveHistory(rec));
    const auto bytes = HistoryBytes("HISTORY\\ICQ\\777\\12345.TXT");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, EntryFor(rec));
    if (const char* expected = std::getenv("QUILLET_EXPECTED_NAME_LINE")) {
        EXPECT_EQ(*bytes, std::string(kReceived) + expected + "\r\nHello, Bob here\r\n\r\n");
    }
#if !defined(_WIN32)
    EXPECT_EQ(*bytes,
              std::string(kReceived) + "Bob (14:05:09 07/12/2007)\r\nHello, Bob here\r\n\r\n");
#endif
}

TEST_F(SaveHistoryTest, BothDirectionsAppendToTheSameFileAfterItsLastByte) {
    THistoryRec received = BobsMessage();
    THistoryRec sent = received;
    sent.Incoming = false;
    sent.Outgoing = true;
    fs::create_directories(folder.native("HISTORY\\ICQ\\777"));
    test::WriteBytes(folder.native("HISTORY\\ICQ\\777\\12345.TXT"), "old, no line end");
    ASSERT_TRUE(SaveHistory(received));
    ASSERT_TRUE(SaveHistory(sent));
    EXPECT_EQ(HistoryBytes("HISTORY\\ICQ\\777\\12345.TXT"),
              "old, no line end" + EntryFor(received) + EntryFor(sent));
}

TEST_F(SaveHistoryTest, TemplateTextIsUpperCasedButValuesKeepTheirCase) {
    StoreSettings("PathFolder2=Logs\r\nPathFile1=%protocol%\\%contactname%\r\nPathFileExt=\r\n");
    THistoryRec rec = BobsMessage();
    rec.ContactName = u"Zo\u00eb/\u0416ack";
    ASSERT_TRUE(SaveHistory(rec));
    // "/" and the code page's "?" become "_" in the file name...
    const auto bytes = HistoryBytes("LOGS\\ICQ\\Zo\xEB__ack.TXT");
    ASSERT_TRUE(bytes);
    EXPECT_NE(bytes->find("Zo\xEB/?ack ("), std::string::npos);  // ...but not on the name line
}

// A file per contact and day: the messages either side of a month's end go to two files, both
// found below the root the reader cuts before the first per-message macro, in date order
// whatever order the template writes the date in.
TEST_F(SaveHistoryTest, DateMacrosGiveAFilePerDayThatTheReaderFindsInDateOrder) {
    const std::string settings = "PathFile1=%PROTOCOL%\\%UIN%\\%DAY%-%MONTH%-%YEAR%\r\n";
    StoreSettings(settings);
    THistoryRec rec = BobsMessage();
    for (const double day : {39478.0 + 86399.0 / 86400, 39479.0}) {  // 2008-01-31 23:59:59, 02-01
        rec.MsgTime = day;
        ASSERT_TRUE(SaveHistory(rec));
    }
    EXPECT_EQ(HistoryBytes("HISTORY\\ICQ\\12345\\01-02-2008.TXT"), EntryFor(rec));
    const HistoryLocation location =
        LocateHistory(SettingsValues::FromFileBytes("[Settings]\r\n" + settings), PluginPath);
    EXPECT_EQ(location.root, folder.path() + "\\HISTORY\\");  // before %PROTOCOL%
    const std::vector<std::string> expected = {
        folder.path() + "\\HISTORY\\ICQ\\12345\\31-01-2008.TXT",
        folder.path() + "\\HISTORY\\ICQ\\12345\\01-02-2008.TXT"};
    EXPECT_EQ(FindHistoryFiles(location).paths, expected);
}

TEST_F(SaveHistoryTest, AliasesRunTwiceOverTheWholePath) {
    test::WriteBytes(folder.native("aliases.ini"), "12345==123455\r\n");
    ASSERT_TRUE(SaveHistory(BobsMessage()));
    EXPECT_TRUE(HistoryBytes("HISTORY\\ICQ\\777\\1234555.TXT"));
}

TEST_F(SaveHistoryTest, NamesCannotClimbOutOrBecomeDevices) {
    StoreSettings("PathFile1=%CONTACTNAME%\\%UIN%\r\n");
    THistoryRec rec = BobsMessage();
    rec.ContactName = u"..";
    rec.ContactUIN = u"CON";
    ASSERT_TRUE(SaveHistory(rec));
    EXPECT_TRUE(HistoryBytes("HISTORY\\__\\CON_.TXT"));
}

TEST_F(SaveHistoryTest, FolderThatCannotBeCreatedGivesFalseAndWritesNothing) {
    test::WriteBytes(folder.native("blocker"), "a file where a folder should be");
    StoreSettings("PathFolder1=%CUSTOM%\r\nPathFolderCustom=" + folder.path("blocker") + "\r\n");
    EXPECT_FALSE(SaveHistory(BobsMessage()));
    EXPECT_EQ(HistoryBytes("blocker"), "a file where a folder should be");
}

TEST_F(SaveHistoryTest, FileThatCannotBeOpenedThrowsWithItsPathAndIsRetriedLater) {
    fs::create_directories(folder.native("HISTORY\\ICQ\\777\\12345.TXT"));  // a folder
    try {
        SaveHistory(BobsMessage());
        FAIL() << "no error for a history file that is a folder";
    } catch (const platform::SystemError& error) {
        EXPECT_EQ(error.path(), folder.path() + "\\HISTORY\\ICQ\\777\\12345.TXT");
        EXPECT_NE(error.reason(), "");
    }
    fs::remove(folder.native("HISTORY\\ICQ\\777\\12345.TXT"));
    ASSERT_TRUE(SaveHistory(BobsMessage()));
    EXPECT_EQ(HistoryBytes("HISTORY\\ICQ\\777\\12345.TXT"), EntryFor(BobsMessage()));
}

}  // namespace
}  // namespace quillet
