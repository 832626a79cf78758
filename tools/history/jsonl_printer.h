// JSON Lines: one object per entry and line, in UTF-8, for programs to read:
//   {"path": …, "line": N, "direction": "received"|"sent", "name": …,
//    "time": "YYYY-MM-DDTHH:MM:SS", "text": …}
// "path" is the file below the root, "line" the line of the entry's separator, "time" the local
// time as the file writes it, with no zone.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "tools/history/printer.h"

namespace quillet::history_tool {

class JsonLinesPrinter : public EntryPrinter {
public:
    explicit JsonLinesPrinter(std::ostream& out);
    void Entry(const HistoryFile& file, const HistoryEntry& entry) override;

private:
    std::ostream& out_;
    // One object and one line, their values replaced for each entry: an export writes millions.
    nlohmann::ordered_json object_;
    std::string* path_;
    nlohmann::ordered_json* line_number_;
    std::string* direction_;
    std::string* name_;
    std::string* time_;
    std::string* text_;
    std::string line_;
    nlohmann::detail::serializer<nlohmann::ordered_json> serializer_;
};

}  // namespace quillet::history_tool
