#include "history/DateTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

namespace quillet {
namespace {

struct Moment {
    std::uint32_t seconds;
    int year, month, day, hour, minute, second;
};

TEST(DateTime, HostSecondsBecomeTheRightCalendarMoment) {
    const Moment cases[] = {
        {0, 1970, 1, 1, 0, 0, 0},
        {86400, 1970, 1, 2, 0, 0, 0},
        {1197036309, 2007, 12, 7, 14, 5, 9},
        {951782400, 2000, 2, 29, 0, 0, 0},     // leap day of a century leap year
        {4294967295u, 2106, 2, 7, 6, 28, 15},  // unsigned: never before 1970
        {86399, 1970, 1, 1, 23, 59, 59},
    };
    for (const Moment& m : cases) {
        const DateTimeFields f = DecodeDateTime(UnixSecondsToDateTime(m.seconds));
        EXPECT_EQ(f.year, m.year) << m.seconds;
        EXPECT_EQ(f.month, m.month) << m.seconds;
        EXPECT_EQ(f.day, m.day) << m.seconds;
        EXPECT_EQ(f.hour, m.hour) << m.seconds;
        EXPECT_EQ(f.minute, m.minute) << m.seconds;
        EXPECT_EQ(f.second, m.second) << m.seconds;
        EXPECT_EQ(f.millisecond, 0) << m.seconds;
    }
}

// Truncating the floating-point day fraction loses a second for about half of all times; every
// whole second must come back as itself.
TEST(DateTime, EveryWholeSecondSurvivesTheFloatingPointDay) {
    std::mt19937 random(20071207);
    std::uniform_int_distribution<std::uint32_t> anySecond;
    for (int i = 0; i < 200000; ++i) {
        const std::uint32_t seconds =
            i < 86400 ? 1197000000u / 86400 * 86400 + i : anySecond(random);
        const DateTimeFields f = DecodeDateTime(UnixSecondsToDateTime(seconds));
        const std::uint32_t secondOfDay = seconds % 86400;
        ASSERT_EQ(f.hour * 3600 + f.minute * 60 + f.second, static_cast<int>(secondOfDay))
            << seconds;
        ASSERT_EQ(f.millisecond, 0) << seconds;
    }
}

}  // namespace
}  // namespace quillet
