#include "plugin/main.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>

#include "QuilletVersion.h"
#include "config/u_SimpleAliases.h"
#include "platform/host.h"
#include "platform/platform.h"
#include "test_support.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::ScopedPluginPath;
using test::TempFolder;

// A host service that only counts its references.
class CountingService final : public IDAXPluginService {
public:
    std::int32_t QUILLET_STDCALL QueryInterface(const TGuid*, void** result) override {
        *result = nullptr;
        return E_NOINTERFACE_;
    }
    std::uint32_t QUILLET_STDCALL AddRef() override { return ++count; }
    std::uint32_t QUILLET_STDCALL Release() override { return --count; }
    void QUILLET_STDCALL HostReserved3() override { ADD_FAILURE() << "service called"; }
    void QUILLET_STDCALL HostReserved4() override { ADD_FAILURE() << "service called"; }
    std::uint32_t count = 1;  // the host's own
};

IDAXPlugin* CreatePlugin(IDAXPluginService* service) {
    IDAXPlugin* plugin = nullptr;
    CreateCorvexPLUGIN(&plugin, service);
    return plugin;
}

TEST(PluginObject, ReferencesAndInterfacesBehaveAsTheHostExpects) {
    CountingService service;
    IDAXPlugin* plugin = CreatePlugin(&service);
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(service.count, 2u);  // the object holds one reference for its lifetime

    void* result = reinterpret_cast<void*>(1);
    const TGuid other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(plugin->QueryInterface(&other, &result), E_NOINTERFACE_);
    EXPECT_EQ(result, nullptr);
    for (const TGuid& iid : {IID_IDAXPlugin, IID_IUnknown}) {
        ASSERT_EQ(plugin->QueryInterface(&iid, &result), S_OK_);
        EXPECT_EQ(result, static_cast<void*>(plugin));
        EXPECT_EQ(plugin->Release(), 1u);  // QueryInterface added one
    }
    EXPECT_EQ(plugin->AddRef(), 2u);
    EXPECT_EQ(plugin->Release(), 1u);
    EXPECT_EQ(plugin->Release(), 0u);
    EXPECT_EQ(service.count, 1u);
}

TEST(PluginObject, CreateReleasesWhatTheVariableHeldAndAcceptsNoService) {
    CountingService service;
    IDAXPlugin* first = CreatePlugin(&service);
    first->AddRef();  // keep it alive to watch its count
    IDAXPlugin* variable = first;
    CreateCorvexPLUGIN(&variable, nullptr);
    ASSERT_NE(variable, first);
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(service.count, 1u);
    EXPECT_EQ(variable->GetPluginInfo()->DllPath, nullptr);
    EXPECT_EQ(variable->Release(), 0u);
}

TEST(PluginObject, StartUpFillsTheRecordWithTheLibraryPath) {
    void* module = platform::LoadModule(test::BuiltModule().string());
    ASSERT_NE(module, nullptr) << platform::LastLoadError();
    IDAXPlugin* plugin = CreatePlugin(nullptr);
    TPluginInfo* info = plugin->GetPluginInfo();
    EXPECT_EQ(info->Version1 + info->Version2 + info->PluginVerMajor + info->PluginVerMinor, 0);
    EXPECT_EQ(info->PluginName, nullptr);
    info->DllHandle = module;
    TPluginEvent startUp{EVENT_STARTUP, nullptr, 0, 0, 12345};
    for (int round = 0; round < 2; ++round) {  // a second start-up sets the same again
        plugin->HandleEvent(&startUp);
        EXPECT_EQ(startUp.Result, 12345);
        EXPECT_EQ(info->Version1, 1);
        EXPECT_EQ(info->Version2, 2);
        EXPECT_EQ(info->PluginVerMajor, QUILLET_VERSION_MAJOR);
        EXPECT_EQ(info->PluginVerMinor, QUILLET_VERSION_MINOR);
        EXPECT_EQ(std::u16string(info->PluginName), u"Quillet");
        EXPECT_EQ(std::u16string(info->PluginAuthor), u"Ostrel software");
        ASSERT_NE(info->DllPath, nullptr);
        EXPECT_EQ(platform::WideToAnsi(info->DllPath), PluginPath);
        EXPECT_EQ(test::NativePath(PluginPath).filename(), test::BuiltModule().filename());
    }
    plugin->Release();
    platform::FreeModule(module);
    PluginPath.clear();
}

class MessageEventsTest : public testing::Test {
protected:
    // Sends one message event and returns the Result the plug-in left.
    std::int32_t Send(std::int32_t code, const char16_t* sender, const char16_t* senderName,
                      const char16_t* recipient, std::uint8_t suppressed = 0,
                      std::int32_t hostResult = 77) {
        const TChatMessage message{0,         1197036309, u"ICQ", sender,    senderName,
                                   recipient, u"Me",      u"hi",  suppressed};
        return host.Send(message, code == EVENT_MESSAGE_RECEIVED, hostResult);
    }
    std::optional<std::string> History(const std::string& relative) {
        return platform::ReadWholeFile(folder.path("HISTORY\\ICQ\\" + relative));
    }

    TempFolder folder;
    ScopedPluginPath pluginPath{folder};
    ScopedEnv timeFormat{"QUILLET_TIME_FORMAT", "HH:mm:ss"};
    test::HostedPlugin host;
};

TEST_F(MessageEventsTest, ReceivedAndSentReachTheContactsFile) {
    EXPECT_EQ(Send(EVENT_MESSAGE_RECEIVED, u"12345", u"Bob", u"777"), 1);
    EXPECT_EQ(Send(EVENT_MESSAGE_SENT, u"777", u"Me", u"12345", /*suppressed*/ 1), 1);
    const auto history = History("777\\12345.TXT");
    ASSERT_TRUE(history);
    EXPECT_EQ(history->find("<-\r\nBob ("), 38u);
    EXPECT_NE(history->find(">-\r\nMe ("), std::string::npos);
    EXPECT_TRUE(host.TakeShown().empty());
}

TEST_F(MessageEventsTest, SuppressedReceivedMessageIsLeftAlone) {
    EXPECT_EQ(Send(EVENT_MESSAGE_RECEIVED, u"12345", u"Bob", u"777", 1, 77), 77);
    EXPECT_FALSE(History("777\\12345.TXT"));
}

TEST_F(MessageEventsTest, ExcludedContactsWriteNothingButCountAsHandled) {
    test::WriteBytes(folder.native("Exclude.ini"), "BOB\r\n\r\n12345==x\r\n");
    ReloadLists();
    test::WriteBytes(folder.native("aliases.ini"), "999==12345==x\r\n");
    EXPECT_EQ(Send(EVENT_MESSAGE_RECEIVED, u"1", u"bob", u"777"), 1);
    EXPECT_EQ(Send(EVENT_MESSAGE_SENT, u"777", u"Me", nullptr), 1);  // empty entry, null UIN
    EXPECT_FALSE(History("777\\1.TXT"));
    EXPECT_FALSE(History("777\\.TXT"));
    // Tested on the identifier the host gave, before any alias rule.
    EXPECT_EQ(Send(EVENT_MESSAGE_RECEIVED, u"999", u"Ann", u"777"), 1);
    EXPECT_TRUE(History("777\\12345==x.TXT"));
    EXPECT_TRUE(host.TakeShown().empty());
}

// The reads of one message share one read of each file, but nothing carries over: every change
// saved between two messages decides where the next one goes, and a removed folder is made again.
TEST_F(MessageEventsTest, ChangesBetweenMessagesTakeEffectAtTheNextOne) {
    const struct {
        const char* settings;  // nullptr: leave the file as it is
        const char* aliases;
        bool removeFolders;
        const char* expected;  // below the plug-in's folder
    } steps[] = {
        {nullptr, nullptr, false, "HISTORY\\ICQ\\777\\12345.TXT"},
        {"[Settings]\r\nPathFolder2=Logs\r\n", nullptr, false, "LOGS\\ICQ\\777\\12345.TXT"},
        {nullptr, "12345==Bob\r\n", false, "LOGS\\ICQ\\777\\Bob.TXT"},
        {nullptr, "12345==Bob\r\nbob==Ann\r\n", true, "LOGS\\ICQ\\777\\Ann.TXT"},
        {"[Settings]\r\nPathFileExt=log\r\n", "", false, "HISTORY\\ICQ\\777\\12345.LOG"},
    };
    for (const auto& step : steps) {
        if (step.settings) test::WriteBytes(folder.native("Quillet.ini"), step.settings);
        if (step.aliases) test::WriteBytes(folder.native("aliases.ini"), step.aliases);
        if (step.removeFolders) fs::remove_all(folder.native("LOGS"));
        EXPECT_EQ(Send(EVENT_MESSAGE_RECEIVED, u"12345", u"Bob", u"777"), 1) << step.expected;
        const auto written = platform::ReadWholeFile(folder.path(step.expected));
        ASSERT_TRUE(written) << step.expected;
        EXPECT_EQ(written->find("hi\r\n\r\n"), written->size() - 6) << step.expected;
    }
    EXPECT_TRUE(host.TakeShown().empty());
}

// An entry takes the encoding of its file: one that holds entries keeps its own, UTF-8 when it
// begins with the byte-order mark; a new or empty one takes the setting's, and UTF-8 then
// begins it with the mark. Only the setting's exact word, in any letter case, means UTF-8.
TEST_F(MessageEventsTest, EntriesTakeTheEncodingOfTheirFile) {
    const std::string mark = "\xEF\xBB\xBF";
    const std::u16string name = u"J\u00F6rg";
    const std::u16string text = u"Gr\u00FC\u00DFe \U0001F600 \xD800!";  // an unpaired surrogate
    const std::string nameUtf8 = "J\xC3\xB6rg";
    const std::string textUtf8 =
        "Gr\xC3\xBC\xC3\x9F"
        "e \xF0\x9F\x98\x80 \xEF\xBF\xBD!";
    const struct {
        const char* setting;  // HistoryEncoding; nullptr: not in the settings file
        std::optional<std::string> before;
        bool utf8;
    } cases[] = {
        {"UTF-8", std::nullopt, true},  {"utf-8", "", true},
        {nullptr, std::nullopt, false}, {"ANSI", "", false},
        {"UTF8", std::nullopt, false},  {"UTF-8", "old\r\n", false},
        {"UTF-8", "\xEF\xBB", false},   {nullptr, mark + "old\r\n", true},
        {"ANSI", mark, true},
    };
    for (const auto& c : cases) {
        const std::string settings =
            c.setting ? std::string("[Settings]\r\nHistoryEncoding=") + c.setting + "\r\n" : "";
        test::WriteBytes(folder.native("Quillet.ini"), settings);
        fs::remove_all(folder.native("HISTORY"));
        if (c.before) {
            fs::create_directories(folder.native("HISTORY\\ICQ\\777"));
            test::WriteBytes(folder.native("HISTORY\\ICQ\\777\\12345.TXT"), *c.before);
        }
        const TChatMessage message{0,      1197036309, u"ICQ",       u"12345", name.c_str(),
                                   u"777", u"Me",      text.c_str(), 0};
        EXPECT_EQ(host.Send(message), 1);
        const std::string existing = c.before.value_or("");
        const std::string start = (existing.empty() && c.utf8 ? mark : existing) +
                                  "--------------------------------------<-\r\n";
        const std::string nameLine = c.utf8 ? nameUtf8 : platform::WideToAnsi(name);
        const std::string textLine = c.utf8 ? textUtf8 : platform::WideToAnsi(text);
        const std::string written = History("777\\12345.TXT").value_or("");
        const std::string label =
            std::string(c.setting ? c.setting : "-") + " " + c.before.value_or("-");
        EXPECT_EQ(written.substr(0, start.size() + nameLine.size() + 2), start + nameLine + " (")
            << label;
        const std::string end = ")\r\n" + textLine + "\r\n\r\n";
        EXPECT_EQ(written.substr(written.size() - std::min(written.size(), end.size())), end)
            << label;
    }
}

TEST_F(MessageEventsTest, OtherCodesChangeNothing) {
    for (std::int32_t code : {0, 2, 3, 4, 5, 7, 15, 18, 100, -1}) {
        TPluginEvent event{code, reinterpret_cast<void*>(0x1234), 5, 6, 42};
        host.Handle(&event);
        EXPECT_EQ(event.Result, 42) << code;
    }
    host.Handle(nullptr);
}

TEST_F(MessageEventsTest, FolderThatCannotBeCreatedShowsOneBoxPerMessage) {
    test::WriteBytes(folder.native("HISTORY"), "a file where the folder should be");
    EXPECT_EQ(Send(EVENT_MESSAGE_RECEIVED, u"12345", u"Bob", u"777"), 1);
    EXPECT_EQ(Send(EVENT_MESSAGE_SENT, u"777", u"Me", u"12345"), 1);
    const auto shownMessages = host.TakeShown();
    ASSERT_EQ(shownMessages.size(), 2u);
    // The box names the folder that could not be made and the system's reason.
    const std::string told = "Failed write to history\n" + folder.path() + "\\HISTORY\n";
    for (const test::ShownMessage& shown : shownMessages) {
        EXPECT_EQ(shown.text.rfind(told, 0), 0u) << shown.text;
        EXPECT_GT(shown.text.size(), told.size()) << "no reason given";
        EXPECT_EQ(shown.caption, "Error - Quillet");
    }
}

TEST_F(MessageEventsTest, FileErrorIsShownWithPathAndReasonAndLaterMessagesWrite) {
    fs::create_directories(folder.native("HISTORY\\ICQ\\777\\12345.TXT"));
    EXPECT_EQ(Send(EVENT_MESSAGE_RECEIVED, u"12345", u"Bob", u"777", 0, 77), 77);
    EXPECT_EQ(Send(EVENT_MESSAGE_SENT, u"777", u"Me", u"12345", 0, 77), 0);
    const auto shownMessages = host.TakeShown();
    ASSERT_EQ(shownMessages.size(), 2u);
    // The path once, then the system's own words: a folder stands where the file should be.
#if defined(_WIN32)
    const std::string reason = "Access denied.";
#else
    const std::string reason = "Is a directory";
#endif
    for (const test::ShownMessage& shown : shownMessages) {
        EXPECT_EQ(shown.caption, "Error - Quillet");
        EXPECT_EQ(shown.text, "Failed write to history\n" + folder.path() +
                                  "\\HISTORY\\ICQ\\777\\12345.TXT\n" + reason);
    }

    fs::remove(folder.native("HISTORY\\ICQ\\777\\12345.TXT"));
    EXPECT_EQ(Send(EVENT_MESSAGE_RECEIVED, u"12345", u"Bob", u"777"), 1);
    EXPECT_TRUE(History("777\\12345.TXT"));
    EXPECT_TRUE(host.TakeShown().empty());
}

// A failure while a message's context is made (memory running out over a huge rule file, a file
// the system refuses) is told like any other, and the message does not count as handled.
TEST_F(MessageEventsTest, FailureWhileTheContextIsMadeIsTold) {
    const struct {
        MessageContextMaker makeContext;
        const char* told;
    } cases[] = {
        {[](const std::string&, const VersionedLines&) -> MessageContext {
             throw std::bad_alloc();
         },
         "Failed write to history\nstd::bad_alloc"},
        {[](const std::string&, const VersionedLines&) -> MessageContext {
             throw platform::SystemError("ReadFile", "C:\\Q\\aliases.ini", 5, "Access denied.");
         },
         "Failed write to history\nC:\\Q\\aliases.ini\nAccess denied."},
    };
    for (const auto& c : cases) {
        for (const bool received : {true, false}) {
            TChatMessage message{0, 1197036309, u"ICQ", u"12345", u"Bob", u"777", u"Me", u"hi", 0};
            TPluginEvent event{received ? EVENT_MESSAGE_RECEIVED : EVENT_MESSAGE_SENT, &message, 0,
                               0, 77};
            RecordMessage(event, received, c.makeContext);
            EXPECT_EQ(event.Result, received ? 77 : 0) << c.told;
            const auto shown = host.TakeShown();
            ASSERT_EQ(shown.size(), 1u) << c.told;
            EXPECT_EQ(shown.front().text, c.told);
            EXPECT_EQ(shown.front().caption, "Error - Quillet");
        }
    }
}

// Names land where their characters say. A name that ends in a blank, or is only blanks, makes a
// folder Windows can open again; in code page 932 no byte of a character is taken for a "\\" or
// a "|", and a folder of double-byte characters keeps the extension after it whole (under Wine
// the environment's expansion reports its length in UTF-16 units). In UTF-8 (65001) a capital
// may be shorter than its letter (ı, I), yet a rule replaces what it matched, and every
// character, even a lone surrogate, has bytes of its own, so no "?" appears. Natively each row's
// code page is chosen here; under Windows a row that needs its code page runs only under it (the
// Japanese locale run for 932).
TEST_F(MessageEventsTest, MultiByteAndBlankEndedNamesLandWhereTheyShould) {
    const std::string nameTwice = "[Settings]\r\nPathFile1=%CONTACTNAME%\\%CONTACTNAME%\r\n";
    const std::string nameAndUin = "[Settings]\r\nPathFile1=%CONTACTNAME%\\%UIN%\r\n";
    const std::string folderOfTwo =  // ヂテ
        "[Settings]\r\nPathFolder2=\x83\x61\x83\x65\r\nPathFile1=%CONTACTNAME%\\%UIN%\r\n";
    const struct {
        unsigned codePage;
        bool onlyThere;  // the row needs that code page
        const std::string& settings;
        const char* aliases;  // nullptr: no file
        const char16_t* name;
        const char* file;  // below the plug-in's folder
    } cases[] = {
        {932, false, nameTwice, nullptr, u"Bob ", "HISTORY\\Bob\\Bob .TXT"},
        {932, false, nameTwice, nullptr, u"  ", "HISTORY\\_\\  .TXT"},
        {932, true, nameTwice, nullptr, u"\u30DD\u30F3",  // ポン
         "HISTORY\\\x83\x7C\x83\x93\\\x83\x7C\x83\x93.TXT"},
        {932, true, nameTwice, nullptr, u"\u30BD\u8868",  // ソ表
         "HISTORY\\\x83\x5C\x95\x5C\\\x83\x5C\x95\x5C.TXT"},
        {932, true, folderOfTwo, nullptr, u"\u8868\u793A",  // 表示
         "\x83\x61\x83\x65\\\x95\x5C\x8E\xA6\\12345.TXT"},
        {65001, true, nameAndUin, "12345==Bob\r\n", u"Y\u0131lmaz",  // Yılmaz
         "HISTORY\\Y\xC4\xB1lmaz\\Bob.TXT"},
        {65001, true, nameAndUin, nullptr, u"\u0416\U0001F600\xD800",  // Ж😀 and a lone surrogate
         "HISTORY\\\xD0\x96\xF0\x9F\x98\x80\xEF\xBF\xBD\\12345.TXT"},
    };
    for (const auto& c : cases) {
        const ScopedEnv codePage("QUILLET_ACP", std::to_string(c.codePage));
        if (c.onlyThere && platform::AnsiCodePage() != c.codePage) continue;
        test::WriteBytes(folder.native("Quillet.ini"), c.settings);
        fs::remove(folder.native("aliases.ini"));
        if (c.aliases) test::WriteBytes(folder.native("aliases.ini"), c.aliases);
        EXPECT_EQ(Send(EVENT_MESSAGE_RECEIVED, u"12345", c.name, u"777"), 1) << c.file;
        const auto history = platform::ReadWholeFile(folder.path(c.file));
        ASSERT_TRUE(history) << c.file;
        EXPECT_EQ(history->find('?'), std::string::npos) << *history;
    }
    EXPECT_TRUE(host.TakeShown().empty());
}

// A sent message is the user's: the contact is its recipient, and the name line is the user's.
TEST_F(MessageEventsTest, SentMessageTellsTheUserFromTheContact) {
    test::WriteBytes(folder.native("Quillet.ini"),
                     "[Settings]\r\nPathFile1=%MYNAME%\\%CONTACTNAME%\\%MYUIN%-%UIN%\r\n");
    const TChatMessage sent{0, 1197036309, u"ICQ", u"777", u"Me", u"12345", u"Bob", u"yo", 0};
    EXPECT_EQ(host.Send(sent, false), 1);
    const auto history = platform::ReadWholeFile(folder.path("HISTORY\\Me\\Bob\\777-12345.TXT"));
    ASSERT_TRUE(history);
    EXPECT_EQ(history->rfind("-------------------------------------->-\r\nMe (", 0), 0u)
        << *history;
}

// The box of a failed write runs a modal loop in which the host may deliver further events. They
// see the files as they are then: a settings file and rules changed meanwhile, and every save of
// the exclusion list that an options event then loads.
TEST_F(MessageEventsTest, EventsDeliveredWhileTheErrorBoxIsOpenSeeTheFilesAsTheyAreThen) {
    fs::create_directories(folder.native("HISTORY\\ICQ\\777\\12345.TXT"));
    host.WhileNextBoxIsOpen([&] {
        test::WriteBytes(folder.native("Quillet.ini"), "[Settings]\r\nPathFolder2=Logs\r\n");
        test::WriteBytes(folder.native("aliases.ini"), "12345==Bob\r\n");
        EXPECT_EQ(Send(EVENT_MESSAGE_RECEIVED, u"12345", u"Bob", u"777"), 1);
        for (const char* excluded : {"Ann", "Eve"}) {
            test::WriteBytes(folder.native("Exclude.ini"), excluded);
            ReloadLists();  // as the options event does when its dialog has been saved
        }
        EXPECT_EQ(Send(EVENT_MESSAGE_RECEIVED, u"2", u"Eve", u"777"), 1);
        EXPECT_EQ(Send(EVENT_MESSAGE_RECEIVED, u"3", u"Ann", u"777"), 1);
    });
    EXPECT_EQ(Send(EVENT_MESSAGE_RECEIVED, u"12345", u"Bob", u"777", 0, 77), 77);
    EXPECT_TRUE(platform::ReadWholeFile(folder.path("LOGS\\ICQ\\777\\Bob.TXT")));
    EXPECT_FALSE(platform::ReadWholeFile(folder.path("LOGS\\ICQ\\777\\2.TXT")));
    EXPECT_TRUE(platform::ReadWholeFile(folder.path("LOGS\\ICQ\\777\\3.TXT")));
}

#if !defined(_WIN32)
// Natively the options event shows a box instead of the dialog. Sent again while that box is
// open, it shows nothing more, and the lists are reloaded once, when the first event ends.
TEST_F(MessageEventsTest, OptionsEventWhileTheOptionsAreOpenShowsNothingMoreAndReloadsOnce) {
    host.WhileNextBoxIsOpen([&] {
        test::WriteBytes(folder.native("Exclude.ini"), "Eve");
        TPluginEvent again{EVENT_SHOW_OPTIONS, nullptr, 0, 0, 0};
        host.Handle(&again);
        EXPECT_TRUE(ExcludeList.empty());
    });
    TPluginEvent options{EVENT_SHOW_OPTIONS, nullptr, 0, 0, 0};
    host.Handle(&options);
    EXPECT_EQ(host.TakeShown().size(), 1u);
    EXPECT_EQ(ExcludeList.lines(), std::vector<std::string>{"Eve"});
}
#endif

}  // namespace
}  // namespace quillet
