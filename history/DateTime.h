// The date-time of the history writer: a double counting days since 1899-12-30 00:00, the
// fraction being the time of day.
#pragma once

#include <cstdint>

namespace quillet {

// The host's message time (seconds since 1970-01-01, unsigned) as a date-time:
// seconds / 86400 + 25569, with no time-zone conversion.
double UnixSecondsToDateTime(std::uint32_t seconds);

// A time in the ticks of a Windows FILETIME (100 ns since 1601-01-01) as a date-time.
double FileTimeToDateTime(std::int64_t fileTime);

struct DateTimeFields {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// The calendar and clock fields of a date-time, rounded to the nearest millisecond (never by
// truncating the day fraction, which would turn 23:59:59 into 23:59:58 for about half of all
// whole-second times).
DateTimeFields DecodeDateTime(double dateTime);

}  // namespace quillet
