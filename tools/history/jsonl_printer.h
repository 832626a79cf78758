// JSON Lines: one object per entry and line, in UTF-8, for programs to read:
//   {"path": …, "line": N, "direction": "received"|"sent", "name": …,
//    "time": "YYYY-MM-DDTHH:MM:SS", "text": …}
// "path" is the file below the root, "line" the line of the entry's separator, "time" the local
// time as the file writes it, with no zone.
#pragma once

#include <ostream>

#include "tools/history/printer.h"

namespace quillet::history_tool {

class JsonLinesPrinter : public EntryPrinter {
public:
    explicit JsonLinesPrinter(std::ostream& out) : out_(out) {}
    void Entry(const HistoryFile& file, const HistoryEntry& entry) override;

private:
    std::ostream& out_;
};

}  // namespace quillet::history_tool
