#include "config/KeptFileBytes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace quillet {
namespace {

using Kind = platform::FileLook::Kind;
constexpr std::int64_t kSecond = 10000000;

// The file system as the test sets it, one step at a time.
struct FakeFiles {
    platform::FileLook look;
    std::optional<std::string> content;
    std::int64_t now = 0;
    int reads = 0;
};
FakeFiles fake;

const FileAccess kFakeAccess{
    [](const std::string&) { return fake.look; },
    [](const std::string&) {
        ++fake.reads;
        return fake.content;
    },
    [] { return fake.now; },
    [](unsigned milliseconds) { fake.now += milliseconds * 10000; },
};

platform::FileLook FileOf(std::uint64_t size, std::int64_t lastWrite, std::uint64_t id = 1) {
    return {Kind::File, {{id, 0}, size, lastWrite}};
}

TEST(KeptFileBytes, ReadsAgainWhenTheFileMayHaveChanged) {
    const struct {
        const char* what;
        platform::FileLook look;
        std::optional<std::string> content;
        std::int64_t now;
        bool reads;
        std::optional<std::string> bytes;
    } steps[] = {
        {"unreadable from the start", FileOf(3, 0), std::nullopt, 9 * kSecond, true,
         std::nullopt},
        {"first message", FileOf(3, 0), "one", 10 * kSecond, true, "one"},
        {"stamp unchanged, written long before", FileOf(3, 0), "two", 11 * kSecond, false, "one"},
        {"size changed", FileOf(5, 0), "three", 12 * kSecond, true, "three"},
        {"other file, same size and time", FileOf(5, 0, 2), "four!", 13 * kSecond, true, "four!"},
        {"written just before it was read", FileOf(5, 13 * kSecond - 1), "five!", 14 * kSecond,
         true, "five!"},
        {"same size in the same tick", FileOf(5, 13 * kSecond - 1), "six!!", 15 * kSecond, true,
         "six!!"},
        {"now safely older", FileOf(5, 13 * kSecond - 1), "seven", 16 * kSecond, false, "six!!"},
        {"the look fails", {Kind::Unknown, {}}, "eight", 17 * kSecond, true, "eight"},
        {"the look fails again", {Kind::Unknown, {}}, "nine", 18 * kSecond, true, "nine"},
        {"missing: not even opened",
         {Kind::Missing, {}},
         "ghost",
         19 * kSecond,
         false,
         std::nullopt},
        {"back again", FileOf(3, 0), "ten", 20 * kSecond, true, "ten"},
        {"there but unreadable: the last good bytes", FileOf(4, 0), std::nullopt, 21 * kSecond,
         true, "ten"},
        {"readable again, unchanged stamp", FileOf(4, 0), "elev", 22 * kSecond, true, "elev"},
    };
    KeptFileBytes kept;
    for (const auto& step : steps) {
        fake.look = step.look;
        fake.content = step.content;
        fake.now = step.now;
        const int readsBefore = fake.reads;
        EXPECT_EQ(kept.Bytes("a.ini", kFakeAccess), step.bytes) << step.what;
        // A file that cannot be read is tried again for a while.
        const int reads = fake.reads - readsBefore;
        EXPECT_EQ(reads, step.reads ? (step.content ? 1 : 7) : 0) << step.what;
    }
    fake.now = 30 * kSecond;
    fake.look = FileOf(4, 0);
    fake.content = "other";
    EXPECT_EQ(kept.Bytes("b.ini", kFakeAccess), "other") << "another path is another file";
}

}  // namespace
}  // namespace quillet
