// Plain output of found entries, one line each, for a person at a terminal:
//   PATH:LINE: DD/MM/YYYY HH:MM:SS NAME: the first line of the text
// PATH is the file below the root, LINE the line of the entry's separator. Control characters
// of names and texts are shown as "?", so that a message cannot drive the terminal.
#pragma once

#include <ostream>

#include "tools/history/printer.h"

namespace quillet::history_tool {

class PlainPrinter : public EntryPrinter {
public:
    explicit PlainPrinter(std::ostream& out) : out_(out) {}
    void Entry(const HistoryFile& file, const HistoryEntry& entry) override;

private:
    std::ostream& out_;
};

// `text` with every control character (C0 but the tab, DEL, C1) as "?".
std::u16string WithoutControls(std::u16string_view text);

}  // namespace quillet::history_tool
