// The printers of quillet-history: one per output format of entries (plain lines, JSON Lines,
// CSV, HTML pages), each an EntryVisitor that is handed what the files hold and writes it.
#pragma once

#include <string>
#include <string_view>

#include "history/HistoryReader.h"
#include "tools/history/scan.h"

namespace quillet::history_tool {

class EntryPrinter : public EntryVisitor {
public:
    // Every file has been handed over. False when the output could not be written whole (the
    // printer has said why on the error stream).
    virtual bool Finish() { return true; }
};

// How the fields of an entry are written in every format.
std::string IsoTime(const DateTimeFields& time);           // "2007-12-07T14:05:09"
std::string DayMonthYear(const DateTimeFields& time);      // "07/12/2007"
std::string_view DirectionName(EntryDirection direction);  // "received", "sent"
std::string Utf8(std::u16string_view text);

}  // namespace quillet::history_tool
