#include "tools/history/jsonl_printer.h"

namespace quillet::history_tool {

JsonLinesPrinter::JsonLinesPrinter(std::ostream& out)
    : out_(out),
      object_({{"path", ""},
               {"line", 0u},
               {"direction", ""},
               {"name", ""},
               {"time", ""},
               {"text", ""}}),
      serializer_(nlohmann::detail::output_adapter<char>(line_), ' ',
                  nlohmann::json::error_handler_t::replace) {
    const auto string = [&](const char* key) { return &object_[key].get_ref<std::string&>(); };
    path_ = string("path");
    line_number_ = &object_["line"];
    direction_ = string("direction");
    name_ = string("name");
    time_ = string("time");
    text_ = string("text");
}

void JsonLinesPrinter::Entry(const HistoryFile& file, const HistoryEntry& entry) {
    *path_ = file.shown;
    *line_number_ = entry.line;
    *direction_ = DirectionName(entry.direction);
    *name_ = Utf8(entry.name);
    *time_ = IsoTime(entry.time);
    *text_ = Utf8(entry.text);
    line_.clear();
    serializer_.dump(object_, false, false, 0);
    line_ += '\n';
    out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
}

}  // namespace quillet::history_tool
