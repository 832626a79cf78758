// JSON Lines: one object per entry and line, in UTF-8, for programs to read:
//   {"path": …, "line": N, "direction": "received"|"sent", "name": …,
//    "time": "YYYY-MM-DDTHH:MM:SS", "text": …}
// "path" is the file below the root, "line" the line of the entry's separator, "time" the local
// time as the file writes it, with no zone.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "tools/history/printer.h"

namespace quillet::history_tool {

// Appends `text` (UTF-8) to `out` as a JSON string, escaped as nlohmann::json escapes it:
// quotes, backslashes and control characters, nothing else. An export writes millions of
// entries, and the library's serializer cost more than the reading of them.
void AppendJsonString(std::string& out, std::string_view text);

class JsonLinesPrinter : public EntryPrinter {
public:
    explicit JsonLinesPrinter(std::ostream& out) : out_(out) {}
    void Entry(const HistoryFile& file, const HistoryEntry& entry) override;

private:
    std::ostream& out_;
    std::string line_;  // reused for every entry
};

}  // namespace quillet::history_tool
