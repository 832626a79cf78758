#include "history/DateTime.h"

#include <cmath>

namespace quillet {

namespace {
constexpr double kSecondsPerDay = 86400.0;
constexpr std::int64_t kMillisecondsPerDay = 86400000;
constexpr std::int64_t kDaysFrom1899To1970 = 25569;

// Year, month and day of a count of days since 1970-01-01 in the proleptic Gregorian calendar.
void CivilFromDays(std::int64_t days, DateTimeFields& fields) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    fields.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    fields.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    fields.year = static_cast<int>(yearOfEra + era * 400 + (fields.month <= 2 ? 1 : 0));
}
}  // namespace

double UnixSecondsToDateTime(std::uint32_t seconds) {
    return static_cast<double>(static_cast<std::uint64_t>(seconds)) / kSecondsPerDay +
           static_cast<double>(kDaysFrom1899To1970);
}

double FileTimeToDateTime(std::int64_t fileTime) {
    constexpr double kTicksPerDay = 864e9;
    constexpr double kDaysFrom1601To18991230 = 109205;
    return static_cast<double>(fileTime) / kTicksPerDay - kDaysFrom1601To18991230;
}

DateTimeFields DecodeDateTime(double dateTime) {
    const auto totalMs = static_cast<std::int64_t>(std::llround(dateTime * kMillisecondsPerDay));
    std::int64_t days = totalMs / kMillisecondsPerDay;
    std::int64_t msOfDay = totalMs % kMillisecondsPerDay;
    if (msOfDay < 0) {
        msOfDay += kMillisecondsPerDay;
        --days;
    }
    DateTimeFields fields;
    CivilFromDays(days - kDaysFrom1899To1970, fields);
    fields.hour = static_cast<int>(msOfDay / 3600000);
    fields.minute = static_cast<int>(msOfDay / 60000 % 60);
    fields.second = static_cast<int>(msOfDay / 1000 % 60);
    fields.millisecond = static_cast<int>(msOfDay % 1000);
    return fields;
}

}  // namespace quillet
