#include "tools/history/printer.h"

#include "platform/platform.h"

namespace quillet::history_tool {

namespace {

// `value` in `digits` decimal digits, with leading zeros (an export formats millions of times).
void AppendDigits(std::string& out, int value, int digits) {
    char text[12];
    unsigned rest = value < 0 ? 0u : static_cast<unsigned>(value);
    for (int i = digits - 1; i >= 0; --i, rest /= 10) text[i] = static_cast<char>('0' + rest % 10);
    out.append(text, static_cast<std::size_t>(digits));
}

}  // namespace

std::string IsoTime(const DateTimeFields& time) {
    std::string text;
    text.reserve(19);
    AppendDigits(text, time.year, 4);
    text += '-';
    AppendDigits(text, time.month, 2);
    text += '-';
    AppendDigits(text, time.day, 2);
    text += 'T';
    AppendDigits(text, time.hour, 2);
    text += ':';
    AppendDigits(text, time.minute, 2);
    text += ':';
    AppendDigits(text, time.second, 2);
    return text;
}

std::string DayMonthYear(const DateTimeFields& time) {
    std::string text;
    text.reserve(10);
    AppendDigits(text, time.day, 2);
    text += '/';
    AppendDigits(text, time.month, 2);
    text += '/';
    AppendDigits(text, time.year, 4);
    return text;
}

std::string_view DirectionName(EntryDirection direction) {
    return direction == EntryDirection::Received ? "received" : "sent";
}

std::string Utf8(std::u16string_view text) {
    return platform::WideToUtf8(text);
}

}  // namespace quillet::history_tool
