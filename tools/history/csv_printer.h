// CSV as RFC 4180 writes it, for spreadsheets: UTF-8 with a byte-order mark (so that a
// spreadsheet takes it for UTF-8), a header row, CR LF after each row, and the columns
//   path, line, direction, name, time, text
// A field that holds a quote, a comma or a line break is quoted, its quotes doubled. A name or
// text that begins with "=", "+", "-", "@", a tab or CR gets a "'" in front: a spreadsheet
// would otherwise take a message someone sent for a formula and run it.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "tools/history/printer.h"

namespace quillet::history_tool {

class CsvPrinter : public EntryPrinter {
public:
    explicit CsvPrinter(std::ostream& out);
    void Entry(const HistoryFile& file, const HistoryEntry& entry) override;

private:
    std::ostream& out_;
    std::string row_;  // reused: an export writes millions
};

}  // namespace quillet::history_tool
