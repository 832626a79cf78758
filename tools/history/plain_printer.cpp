#include "tools/history/plain_printer.h"

#include "platform/platform.h"

namespace quillet::history_tool {

std::u16string WithoutControls(std::u16string_view text) {
    std::u16string safe(text);
    for (char16_t& c : safe) {
        if ((c < 0x20 && c != u'\t') || (c >= 0x7F && c <= 0x9F)) c = u'?';
    }
    return safe;
}

void PlainPrinter::Entry(const HistoryFile& file, const HistoryEntry& entry) {
    const std::u16string_view text = entry.text;
    const std::u16string_view firstLine = text.substr(0, text.find_first_of(u"\r\n"));
    out_ << Utf8(WithoutControls(platform::CodePageToWide(65001, file.shown))) << ':' << entry.line
         << ": " << DayMonthYear(entry.time) << ' ' << IsoTime(entry.time).substr(11) << ' '
         << Utf8(WithoutControls(entry.name)) << ": " << Utf8(WithoutControls(firstLine)) << '\n';
}

}  // namespace quillet::history_tool
