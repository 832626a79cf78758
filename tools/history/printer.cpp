#include "tools/history/printer.h"

#include <cstdio>

#include "platform/platform.h"

namespace quillet::history_tool {

std::string IsoTime(const DateTimeFields& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", time.year, time.month,
                  time.day, time.hour, time.minute, time.second);
    return text;
}

std::string DayMonthYear(const DateTimeFields& time) {
    char text[24];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", time.day, time.month, time.year);
    return text;
}

std::string_view DirectionName(EntryDirection direction) {
    return direction == EntryDirection::Received ? "received" : "sent";
}

std::string Utf8(std::u16string_view text) {
    return platform::WideToUtf8(text);
}

}  // namespace quillet::history_tool
