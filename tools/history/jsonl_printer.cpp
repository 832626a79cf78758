#include "tools/history/jsonl_printer.h"

#include <array>
#include <cstdio>

namespace quillet::history_tool {

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    std::size_t plain = 0;  // the start of the run of bytes that need no escape
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        out.append(text, plain, i - plain);
        plain = i + 1;
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: {
                std::array<char, 8> escape{};
                std::snprintf(escape.data(), escape.size(), "\\u%04x", c);
                out += escape.data();
            }
        }
    }
    out.append(text, plain, text.size() - plain);
    out += '"';
}

void JsonLinesPrinter::Entry(const HistoryFile& file, const HistoryEntry& entry) {
    line_.clear();
    line_ += "{\"path\":";
    AppendJsonString(line_, file.shown);
    line_ += ",\"line\":";
    line_ += std::to_string(entry.line);
    line_ += ",\"direction\":\"";
    line_ += DirectionName(entry.direction);
    line_ += "\",\"name\":";
    AppendJsonString(line_, Utf8(entry.name));
    line_ += ",\"time\":\"";
    line_ += IsoTime(entry.time);
    line_ += "\",\"text\":";
    AppendJsonString(line_, Utf8(entry.text));
    line_ += "}\n";
    out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
}

}  // namespace quillet::history_tool
