#include "config/MessageContext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "test_support.h"

namespace quillet {
namespace {

using test::ScopedEnv;
using test::TempFolder;
using test::WriteBytes;

// What a context keeps from one event to the next must answer as if made afresh: a context built
// after each change equals one made from the files and the list as they are then, also when a
// change keeps a file's size and last-write time (a write in the same clock tick), and when a
// file is replaced by another.
class MessageContextTest : public testing::Test {
protected:
    // A context for the list's lines as they are now; a change of the lines is made through the
    // list, as its owner makes it.
    MessageContext Build(const std::vector<std::string>& lines = {}) {
        if (lines != list.lines()) list.Replace(lines);
        return BuildMessageContext(folder.path("Quillet.dll"), list);
    }
    TempFolder folder;
    VersionedLines list;
};

TEST_F(MessageContextTest, KeptSettingsAndRulesAreThoseOfTheFilesAsTheyAreNow) {
    const struct {
        const char* settings;  // nullptr: no file
        const char* aliases;
        bool keepTime;  // the last-write times put back to those before the write
    } steps[] = {
        {nullptr, nullptr, false},
        {"[Settings]\r\nPathFolder2=Logs\r\n", "a==b\r\n", false},
        {"[Settings]\r\nPathFolder2=Logs\r\n", "a==b\r\n", true},  // the same again
        // The same sizes and times, other bytes: a change in the clock tick of the last read.
        {"[Settings]\r\nPathFolder2=Logz\r\n", "a==c\r\n", true},
        {"[Settings]\r\nPathFolder2=Logz\r\n", "a==c\r\n", false},
        {nullptr, nullptr, false},
    };
    for (const auto& step : steps) {
        const auto write = [&](const char* name, const char* bytes) {
            const auto file = folder.native(name);
            const auto time = step.keepTime ? std::filesystem::last_write_time(file)
                                            : std::filesystem::file_time_type();
            std::filesystem::remove(file);
            if (bytes) WriteBytes(file, bytes);
            if (step.keepTime) std::filesystem::last_write_time(file, time);
        };
        write("Quillet.ini", step.settings);
        write("aliases.ini", step.aliases);
        const MessageContext context = Build();
        const auto settingsBytes = platform::ReadWholeFile(folder.path("Quillet.ini"));
        EXPECT_EQ(context.settings, SettingsValues::FromFileBytes(settingsBytes.value_or("")));
        const AliasRules fresh =
            ParseAliasRules(platform::ReadWholeFile(folder.path("aliases.ini")));
        EXPECT_EQ(context.aliases->from, fresh.from);
        EXPECT_EQ(context.aliases->to, fresh.to);
    }
}

// The index's keys hold for one list and for one code page and locale: a list changed in place,
// and the same list under another code page, must be looked up afresh (0xA5 and 0xB9 are Ą and ą
// under 1250, but ¥ and ¹ under 1252).
TEST_F(MessageContextTest, KeptExclusionIndexAnswersAsAFreshComparison) {
    const struct {
        const char* codePage;  // natively; under Windows the system's stays
        std::vector<std::string> list;
        const char* name;
    } steps[] = {
        {"1252", {"alice", "bob"}, "Bob"},
        {"1252", {"alice", "carol"}, "Bob"},  // the list changed in place
        {"1252", {"\xA5"}, "\xB9"},
        {"1250", {"\xA5"}, "\xB9"},  // the same list under another code page
        {"1252", {"\xA5"}, "\xB9"},
    };
    for (const auto& step : steps) {
        const ScopedEnv codePage("QUILLET_ACP", step.codePage);
        const bool fresh = std::any_of(step.list.begin(), step.list.end(), [&](const auto& entry) {
            return platform::EqualIgnoreCase(entry, step.name);
        });
        EXPECT_EQ(Build(step.list).exclusions->Find(step.name).has_value(), fresh)
            << step.codePage << " " << step.list.front();
    }
#if !defined(_WIN32)
    const ScopedEnv codePage("QUILLET_ACP", "1250");
    EXPECT_EQ(Build({"\xA5"}).exclusions->Find("\xB9"), 0u);  // the table above tells both apart
#endif
}

}  // namespace
}  // namespace quillet
