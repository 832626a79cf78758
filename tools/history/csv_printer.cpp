#include "tools/history/csv_printer.h"

#include <string>

#include "history/EntryEncoding.h"

namespace quillet::history_tool {

namespace {

// A text someone else wrote, kept from being taken for a formula.
std::string AsText(std::string value) {
    if (!value.empty() &&
        std::string_view("=+-@\t\r").find(value.front()) != std::string_view::npos)
        value.insert(0, 1, '\'');
    return value;
}

}  // namespace

std::string CsvField(std::string_view value) {
    if (value.find_first_of("\",\r\n") == std::string_view::npos) return std::string(value);
    std::string quoted = "\"";
    for (const char c : value) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    return quoted + '"';
}

CsvPrinter::CsvPrinter(std::ostream& out) : out_(out) {
    out_ << Utf8ByteOrderMark << "path,line,direction,name,time,text\r\n";
}

void CsvPrinter::Entry(const HistoryFile& file, const HistoryEntry& entry) {
    out_ << CsvField(file.shown) << ',' << entry.line << ',' << DirectionName(entry.direction)
         << ',' << CsvField(AsText(Utf8(entry.name))) << ',' << IsoTime(entry.time) << ','
         << CsvField(AsText(Utf8(entry.text))) << "\r\n";
}

}  // namespace quillet::history_tool
