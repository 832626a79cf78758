#include "tools/history/jsonl_printer.h"

#include <nlohmann/json.hpp>

namespace quillet::history_tool {

void JsonLinesPrinter::Entry(const HistoryFile& file, const HistoryEntry& entry) {
    const nlohmann::ordered_json object = {
        {"path", file.shown},
        {"line", entry.line},
        {"direction", DirectionName(entry.direction)},
        {"name", Utf8(entry.name)},
        {"time", IsoTime(entry.time)},
        {"text", Utf8(entry.text)},
    };
    out_ << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

}  // namespace quillet::history_tool
