#include "tools/history/csv_printer.h"

#include <algorithm>
#include <string>

#include "history/EntryEncoding.h"

namespace quillet::history_tool {

namespace {

// Appends one field: quoted, its quotes doubled, when it holds a quote, a comma or a line break;
// a text someone else wrote (`foreign`) kept from being taken for a formula.
void AppendField(std::string& row, std::string_view value, bool foreign = false) {
    const bool formula =
        foreign && !value.empty() && std::string_view("=+-@\t\r").find(value.front()) != value.npos;
    const bool quoted = std::any_of(value.begin(), value.end(), [](char c) {
        return c == '"' || c == ',' || c == '\r' || c == '\n';
    });
    if (quoted) row += '"';
    if (formula) row += '\'';
    for (std::size_t quote; (quote = value.find('"')) != std::string_view::npos;) {
        row.append(value.substr(0, quote + 1)) += '"';
        value.remove_prefix(quote + 1);
    }
    row.append(value);
    if (quoted) row += '"';
}

}  // namespace

CsvPrinter::CsvPrinter(std::ostream& out) : out_(out) {
    out_ << Utf8ByteOrderMark << "path,line,direction,name,time,text\r\n";
}

void CsvPrinter::Entry(const HistoryFile& file, const HistoryEntry& entry) {
    row_.clear();
    AppendField(row_, file.shown);
    ((row_ += ',') += std::to_string(entry.line)) += ',';
    (row_ += DirectionName(entry.direction)) += ',';
    AppendField(row_, Utf8(entry.name), true);
    ((row_ += ',') += IsoTime(entry.time)) += ',';
    AppendField(row_, Utf8(entry.text), true);
    row_ += "\r\n";
    out_.write(row_.data(), static_cast<std::streamsize>(row_.size()));
}

}  // namespace quillet::history_tool
