// "list": a line per history file with its encoding, its number of entries and the dates of its
// first and last entry; as JSON, one object per file and line.
#include <nlohmann/json.hpp>

#include "tools/history/command_support.h"
#include "tools/history/printer.h"

namespace quillet::history_tool {

namespace {

struct FileSummary {
    std::string encoding;  // "ANSI" or "UTF-8"
    std::uint64_t entries = 0;
    std::optional<DateTimeFields> first;
    std::optional<DateTimeFields> last;
};

void PrintPlain(std::ostream& out, const HistoryFile& file, const FileSummary& summary) {
    out << file.shown << ": " << summary.encoding << ", " << summary.entries
        << (summary.entries == 1 ? " entry" : " entries");
    if (summary.first) {
        out << ", " << DayMonthYear(*summary.first) << " to " << DayMonthYear(*summary.last);
    }
    out << '\n';
}

void PrintJson(std::ostream& out, const HistoryFile& file, const FileSummary& summary) {
    const auto time = [](const std::optional<DateTimeFields>& t) {
        return t ? nlohmann::ordered_json(IsoTime(*t)) : nlohmann::ordered_json(nullptr);
    };
    const nlohmann::ordered_json object = {
        {"path", file.shown},         {"encoding", summary.encoding},
        {"entries", summary.entries}, {"first", time(summary.first)},
        {"last", time(summary.last)},
    };
    out << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

class ListVisitor : public EntryVisitor {
public:
    ListVisitor(std::ostream& out, bool json) : out_(out), json_(json) {}

    void BeginFile(const HistoryFile&, const HistoryReader& reader) override {
        summary_ = FileSummary();
        summary_.encoding = reader.encoding() == EntryEncoding::Utf8 ? "UTF-8" : "ANSI";
    }
    void Entry(const HistoryFile&, const HistoryEntry& entry) override {
        ++summary_.entries;
        if (!summary_.first) summary_.first = entry.time;
        summary_.last = entry.time;
    }
    void EndFile(const HistoryFile& file, const HistoryReader&) override {
        (json_ ? PrintJson : PrintPlain)(out_, file, summary_);
    }

private:
    std::ostream& out_;
    bool json_;
    FileSummary summary_;
};

}  // namespace

int RunList(const CommonOptions& common, bool json, ToolStreams& streams) {
    const std::optional<LocatedHistory> located = LocateAndFind(common, streams);
    if (!located) return kExitError;
    ListVisitor visitor(streams.out, json);
    const std::size_t failed = ScanFiles(located->files, DefaultReaderOptions(), visitor, streams);
    return failed + located->errors > 0 ? kExitError : kExitFound;
}

}  // namespace quillet::history_tool
