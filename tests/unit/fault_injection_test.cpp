// Obstacles in the plug-in's way: files it cannot write or read, the system's limits, and lists
// and values far larger than usual. Each case checks what the user is told, that the history
// already written is left whole, and that the next message after the obstacle goes is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "config/u_IniSettings.h"
#include "config/u_SimpleAliases.h"
#include "platform/probes.h"
#include "test_support.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using test::BobsMessage;
using test::ReadBytes;
using test::ShownMessage;
using test::WriteBytes;

constexpr const char* kBobsFile = "HISTORY\\ICQ\\777\\12345.TXT";
constexpr const char* kFailedWrite = "Failed write to history";
constexpr const char* kCaption = "Error - Quillet";
constexpr double kSlowestSecondsPerMessage = 1.0;
constexpr int kTimedMessages = 10;  // the first after a change of the lists does the most

// True when `bytes` are exactly one received entry of Bob's "hi".
bool IsOneEntryOfBobs(std::string_view bytes) {
    const std::string_view head = "--------------------------------------<-\r\nBob (";
    const std::string_view tail = ")\r\nhi\r\n\r\n";
    return bytes.size() < 100 && bytes.substr(0, head.size()) == head &&
           bytes.substr(bytes.size() - std::min(bytes.size(), tail.size())) == tail;
}

// The user's answer to Bob: the same conversation, so the same history file.
TChatMessage ReplyToBob() {
    return {0, 1197036309, u"ICQ", u"777", u"Me", u"12345", u"Bob", u"ok", 0};
}

class FaultInjectionTest : public testing::Test {
protected:
    std::string PathOf(const std::string& relative) const { return folder.path(relative); }
    // Bob's history file holding one earlier entry; returns its bytes.
    std::string SeedBobsFile() {
        EXPECT_EQ(host.Send(BobsMessage()), 1);
        return ReadBytes(folder.native(kBobsFile)).value_or("");
    }
    // One box per message, each telling the failed write with the file's path once and then
    // the system's reason on a line of its own.
    void ExpectToldWithPathAndReason(std::size_t messages) {
        const auto shown = host.TakeShown();
        ASSERT_EQ(shown.size(), messages);
        // The path as the writer joined it: the library's folder ends in "\" before one more.
        const std::string told =
            std::string(kFailedWrite) + "\n" + folder.path() + "\\" + kBobsFile + "\n";
        for (const ShownMessage& box : shown) {
            EXPECT_EQ(box.caption, kCaption);
            EXPECT_EQ(box.text.rfind(told, 0), 0u) << box.text;
            const std::string reason = box.text.substr(std::min(told.size(), box.text.size()));
            EXPECT_FALSE(reason.empty()) << "no reason given";
            EXPECT_EQ(reason.find_first_of("\\\n"), std::string::npos) << box.text;
        }
    }
    // Bob's file cannot be opened while `obstacle` lasts: both directions are told and leave the
    // file as it was; once it goes, the next message is appended.
    void ExpectBlockedFileToldAndRecovered(platform::ObstaclePtr obstacle,
                                           const std::string& seed) {
        EXPECT_EQ(host.Send(BobsMessage(), true, 77), 77);
        EXPECT_EQ(host.Send(ReplyToBob(), false, 77), 0);
        ExpectToldWithPathAndReason(2);
        obstacle.reset();
        const std::string after = ReadBytes(folder.native(kBobsFile)).value_or("");
        ASSERT_EQ(after, seed);
        EXPECT_EQ(host.Send(BobsMessage()), 1);
        const std::string recovered = ReadBytes(folder.native(kBobsFile)).value_or("");
        EXPECT_EQ(recovered.substr(0, seed.size()), seed);
        EXPECT_TRUE(IsOneEntryOfBobs(std::string_view(recovered).substr(seed.size())));
        EXPECT_TRUE(host.TakeShown().empty());
    }

    test::TempFolder folder;
    test::ScopedPluginPath pluginPath{folder};
    test::ScopedEnv timeFormat{"QUILLET_TIME_FORMAT", "HH:mm:ss"};
    test::HostedPlugin host;
};

TEST_F(FaultInjectionTest, ReadOnlyHistoryFileIsToldAndLeftWhole) {
    const std::string seed = SeedBobsFile();
    auto obstacle = platform::ProtectFromWriting(PathOf(kBobsFile));
    if (!obstacle) GTEST_SKIP() << "this system lets the process write read-only files";
    ExpectBlockedFileToldAndRecovered(std::move(obstacle), seed);
}

TEST_F(FaultInjectionTest, HistoryFileHeldWithoutSharingIsToldAndLeftWhole) {
    const std::string seed = SeedBobsFile();
    auto obstacle = platform::HoldWithoutSharing(PathOf(kBobsFile));
    if (!obstacle) GTEST_SKIP() << "Linux has no mandatory sharing modes to hold a file with";
    ExpectBlockedFileToldAndRecovered(std::move(obstacle), seed);
}

// A scanner or a backup that holds the history file for a moment does not cost the message.
TEST_F(FaultInjectionTest, HistoryFileHeldForAMomentIsWrittenWithoutABox) {
    const std::string seed = SeedBobsFile();
    auto obstacle = platform::HoldWithoutSharing(PathOf(kBobsFile));
    if (!obstacle) GTEST_SKIP() << "Linux has no mandatory sharing modes to hold a file with";
    std::thread release([&obstacle] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        obstacle.reset();
    });
    EXPECT_EQ(host.Send(BobsMessage(), true, 77), 1);
    release.join();
    EXPECT_TRUE(host.TakeShown().empty());
    const std::string after = ReadBytes(folder.native(kBobsFile)).value_or("");
    EXPECT_TRUE(IsOneEntryOfBobs(std::string_view(after).substr(seed.size())));
}

// Files the plug-in only reads are read while an editor or a sync tool holds them open for
// writing; a hidden or system settings file can still be written, and stays hidden.
TEST_F(FaultInjectionTest, FilesHeldOpenByOthersOrHiddenAreStillUsed) {
    WriteBytes(folder.native("Quillet.ini"), "[Settings]\r\nPathFolder2=Logs\r\n");
    WriteBytes(folder.native("aliases.ini"), "12345==Bob\r\n");
    WriteBytes(folder.native("Exclude.ini"), "Eve\r\n");
    std::vector<platform::ObstaclePtr> held;
    for (const char* name : {"Quillet.ini", "aliases.ini", "Exclude.ini"}) {
        held.push_back(platform::HoldOpenForWriting(PathOf(name)));
        if (!held.back()) GTEST_SKIP() << "Linux has no sharing modes to hold a file with";
    }
    ReloadLists();
    EXPECT_EQ(ExcludeList.lines(), std::vector<std::string>{"Eve"});
    EXPECT_EQ(host.Send(BobsMessage()), 1);
    EXPECT_TRUE(IsOneEntryOfBobs(ReadBytes(folder.native("LOGS\\ICQ\\777\\Bob.TXT")).value_or("")));
    held.clear();

    auto hidden = platform::MarkHiddenAndSystem(SettingsFileName());
    ASSERT_TRUE(hidden);
    WriteSetting("PathFileExt", "log");
    EXPECT_EQ(ReadSetting("PathFileExt", "txt"), "log");
    EXPECT_TRUE(platform::IsHiddenAndSystem(SettingsFileName()));
    EXPECT_TRUE(host.TakeShown().empty());
}

// The settings store names the file it could not write and changes nothing in it.
TEST_F(FaultInjectionTest, UnwritableSettingsFileIsReportedAndLeftWhole) {
    const std::string settings = "[Settings]\r\nPathFolder2=Logs\r\n";
    const struct {
        const char* name;
        platform::ObstaclePtr (*block)(const std::string&);
    } obstacles[] = {{"read-only", platform::ProtectFromWriting},
                     {"held without sharing", platform::HoldWithoutSharing}};
    int applied = 0;
    for (const auto& obstacle : obstacles) {
        WriteBytes(folder.native("Quillet.ini"), settings);
        auto blocked = obstacle.block(SettingsFileName());
        if (!blocked) continue;  // not on this system (see the two history file cases)
        ++applied;
        try {
            WriteSetting("PathFileExt", "log");
            ADD_FAILURE() << obstacle.name << ": the write was not refused";
        } catch (const SettingsWriteError& error) {
            const std::string told = "Unable to write to " + SettingsFileName() + "\n";
            EXPECT_EQ(std::string(error.what()).rfind(told, 0), 0u) << obstacle.name;
            EXPECT_GT(std::string(error.what()).size(), told.size()) << "no reason given";
        }
        blocked.reset();
        EXPECT_EQ(ReadBytes(folder.native("Quillet.ini")), settings) << obstacle.name;
        WriteSetting("PathFileExt", "log");
        EXPECT_EQ(ReadSetting("PathFileExt", "txt"), "log") << obstacle.name;
    }
    if (applied == 0) GTEST_SKIP() << "no way to make a file unwritable for this process";
}

// A list file that exists but cannot be read counts as missing: no box, no rules, no exclusions.
TEST_F(FaultInjectionTest, UnreadableListFilesCountAsMissing) {
    WriteBytes(folder.native("aliases.ini"), "12345==Bob\r\n");
    auto unreadable = platform::MakeUnreadable(PathOf("aliases.ini"));
    if (!unreadable) GTEST_SKIP() << "cannot make a file unreadable for this process";
    EXPECT_EQ(host.Send(BobsMessage()), 1);
    EXPECT_TRUE(IsOneEntryOfBobs(ReadBytes(folder.native(kBobsFile)).value_or("")));
    unreadable.reset();
    EXPECT_EQ(host.Send(BobsMessage()), 1);
    EXPECT_TRUE(
        IsOneEntryOfBobs(ReadBytes(folder.native("HISTORY\\ICQ\\777\\Bob.TXT")).value_or("")));

    WriteBytes(folder.native("Exclude.ini"), "12345\r\n");
    unreadable = platform::MakeUnreadable(PathOf("Exclude.ini"));
    ASSERT_TRUE(unreadable);
    ReloadLists();
    EXPECT_TRUE(ExcludeList.empty());
    unreadable.reset();
    ReloadLists();
    EXPECT_EQ(ExcludeList.lines(), std::vector<std::string>{"12345"});
    EXPECT_TRUE(host.TakeShown().empty());
}

// The history file reaches the largest size the system allows in the middle of an entry. The
// limit is set here natively; a Windows process can only inherit one (file-size-limit-under-wine).
TEST_F(FaultInjectionTest, FileSizeLimitInTheMiddleOfAnEntryLeavesNoPartOfIt) {
    std::uint64_t limit = 1 << 20;
    platform::ObstaclePtr limiter = platform::LimitFileSize(limit);
    if (!limiter) {
        const char* inherited = std::getenv("QUILLET_TEST_FILE_SIZE_LIMIT");
        if (!inherited) GTEST_SKIP() << "a Windows process cannot limit its own file sizes";
        limit = std::stoull(inherited);
    }
    const std::string seed = SeedBobsFile();
    const auto roomless = static_cast<std::uintmax_t>(limit - 30);  // an entry needs more
    fs::resize_file(folder.native(kBobsFile), roomless);
    EXPECT_EQ(host.Send(BobsMessage(), true, 77), 77);
    ExpectToldWithPathAndReason(1);
    EXPECT_EQ(fs::file_size(folder.native(kBobsFile)), roomless);

    limiter.reset();
    fs::resize_file(folder.native(kBobsFile), seed.size());  // room again
    EXPECT_EQ(host.Send(BobsMessage()), 1);
    const std::string after = ReadBytes(folder.native(kBobsFile)).value_or("");
    EXPECT_EQ(after.substr(0, seed.size()), seed);
    EXPECT_TRUE(IsOneEntryOfBobs(std::string_view(after).substr(seed.size())));
}

TEST_F(FaultInjectionTest, FileSizeLimitInTheMiddleOfASettingsWriteChangesNothing) {
    constexpr std::uint64_t kLimit = 1 << 20;
    platform::ObstaclePtr limiter = platform::LimitFileSize(kLimit);
    if (!limiter) GTEST_SKIP() << "a Windows process cannot limit its own file sizes";
    std::string settings = "[Settings]\r\nPathFolder2=Logs\r\n;";
    settings += std::string(kLimit - settings.size() - 10, 'x') + "\r\n";  // 8 bytes of room
    WriteBytes(folder.native("Quillet.ini"), settings);
    EXPECT_THROW(WriteSetting("PathFileExt", "log"), SettingsWriteError);
    limiter.reset();
    EXPECT_TRUE(ReadBytes(folder.native("Quillet.ini")) == settings) << "the settings changed";
}

// Paths longer than the system takes (MAX_PATH on Windows; 255 bytes a name or 4095 a path
// natively): a folder that cannot be made is told plainly and the message counts as handled; a
// file name that cannot be opened is told with its path.
TEST_F(FaultInjectionTest, PathsPastTheSystemsLimitAreTold) {
    std::u16string manyLevels;
    for (int i = 0; i < 2100; ++i) manyLevels += u"a\\";
    const std::u16string longName(300, u'7');
    const struct {
        std::size_t folderNameLength;  // of PathFolder2; 0 for the default
        const std::u16string* uin;     // nullptr for Bob's
        bool folderCannotBeMade;
    } cases[] = {{300, nullptr, true}, {0, &longName, false}, {0, &manyLevels, true}};
    const std::string seed = SeedBobsFile();
    for (const auto& c : cases) {
        const std::string folderName(c.folderNameLength, 'L');
        WriteBytes(folder.native("Quillet.ini"),
                   "[Settings]\r\nPathFolder2=" + folderName + "\r\n");
        TChatMessage message = BobsMessage();
        if (c.uin) message.SenderUIN = c.uin->c_str();
        EXPECT_EQ(host.Send(message, true, 77), c.folderCannotBeMade ? 1 : 77);
        const auto shown = host.TakeShown();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].caption, kCaption);
        // The folder that cannot be made, or the file, is named, then the system's reason.
        const std::string& text = shown[0].text;
        EXPECT_EQ(text.rfind(std::string(kFailedWrite) + "\n", 0), 0u);
        const std::string named = c.folderCannotBeMade ? folderName + "a\\a\\" : "7777777";
        EXPECT_NE(text.find(c.folderNameLength ? folderName : named), std::string::npos);
        EXPECT_LT(text.rfind('\n'), text.size() - 1) << "no reason given";
    }
    fs::remove(folder.native("Quillet.ini"));
    EXPECT_EQ(host.Send(BobsMessage()), 1);
    const std::string after = ReadBytes(folder.native(kBobsFile)).value_or("");
    EXPECT_EQ(after.substr(0, seed.size()), seed);
    EXPECT_TRUE(IsOneEntryOfBobs(std::string_view(after).substr(seed.size())));
}

// A variable far longer than any path: natively the folder it names is too long to be made.
// Windows keeps at most 32 767 characters of a variable (Wine, given more, keeps a garbled
// remainder of some hundred), which also makes a folder name past its limit.
TEST_F(FaultInjectionTest, HugeEnvironmentValueInTheTemplateIsTold) {
    const test::ScopedEnv huge("QUILLET_TEST_HUGE", std::string(100000, 'h'));
    WriteBytes(folder.native("Quillet.ini"), "[Settings]\r\nPathFolder2=%quillet_test_huge%\r\n");
    EXPECT_EQ(host.Send(BobsMessage(), true, 77), 1);
    const auto shown = host.TakeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, kCaption);
    EXPECT_EQ(shown[0].text.rfind(std::string(kFailedWrite) + "\n", 0), 0u);
    EXPECT_LE(shown[0].text.size(), 100200u) << "the folder named once, then the reason";
    fs::remove(folder.native("Quillet.ini"));
    EXPECT_EQ(host.Send(BobsMessage()), 1);
    EXPECT_TRUE(IsOneEntryOfBobs(ReadBytes(folder.native(kBobsFile)).value_or("")));
}

// Seconds per message for `count` messages of Bob's, each handled without a failure.
double SecondsPerMessage(test::HostedPlugin& host, int count) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) EXPECT_EQ(host.Send(BobsMessage()), 1);
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / count;
}

TEST_F(FaultInjectionTest, HundredThousandRulesAndExclusionsWorkAndStayFast) {
    std::string rules;
    std::string exclusions;
    for (int i = 0; i < 100000; ++i) {
        rules += "nobody" + std::to_string(i) + "==x\r\n";
        exclusions += "stranger" + std::to_string(i) + "\r\n";
    }
    WriteBytes(folder.native("aliases.ini"), rules + "12345==Bob\r\n");
    const double withRules = SecondsPerMessage(host, kTimedMessages);
    const auto written = ReadBytes(folder.native("HISTORY\\ICQ\\777\\Bob.TXT")).value_or("");
    const std::string one = written.substr(0, written.size() / kTimedMessages);
    EXPECT_TRUE(IsOneEntryOfBobs(one));
    std::string all;
    for (int i = 0; i < kTimedMessages; ++i) all += one;
    EXPECT_EQ(written, all);

    fs::remove(folder.native("aliases.ini"));
    WriteBytes(folder.native("Exclude.ini"), exclusions + "12345\r\n");
    const auto loadStart = std::chrono::steady_clock::now();
    ReloadLists();
    const std::chrono::duration<double> load = std::chrono::steady_clock::now() - loadStart;
    ASSERT_EQ(ExcludeList.size(), 100001u);
    const double excluded = SecondsPerMessage(host, kTimedMessages);
    EXPECT_FALSE(fs::exists(folder.native(kBobsFile)));
    WriteBytes(folder.native("Exclude.ini"), exclusions);  // Bob is no longer among them
    ReloadLists();
    const double scanned = SecondsPerMessage(host, kTimedMessages);
    EXPECT_TRUE(fs::exists(folder.native(kBobsFile)));

    std::cout << "100 000 alias rules: " << withRules * 1e3 << " ms a message; 100 000 "
              << "exclusions: loaded in " << load.count() * 1e3 << " ms, " << excluded * 1e3
              << " ms an excluded message, " << scanned * 1e3 << " ms one written\n";
    for (const double seconds : {withRules, load.count(), excluded, scanned}) {
        EXPECT_LT(seconds, kSlowestSecondsPerMessage);
    }
    EXPECT_TRUE(host.TakeShown().empty());
}

}  // namespace
}  // namespace quillet
