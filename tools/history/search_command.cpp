// "search": the entries whose text or name holds the search text, of the contacts and days asked
// for, printed as found.
#include <memory>
#include <regex>

#include "tools/history/command_support.h"
#include "tools/history/jsonl_printer.h"
#include "tools/history/plain_printer.h"

namespace quillet::history_tool {

namespace {

// Hands the printer the entries the filter lets through.
class SearchVisitor : public EntryVisitor {
public:
    SearchVisitor(const EntryFilter& filter, EntryPrinter& printer)
        : filter_(filter), printer_(printer) {}

    void BeginFile(const HistoryFile& file, const HistoryReader& reader) override {
        pathMatches_ = filter_.PathMatchesContact(file.shown);
        printer_.BeginFile(file, reader);
    }
    void Entry(const HistoryFile& file, const HistoryEntry& entry) override {
        if (!filter_.Matches(entry, pathMatches_)) return;
        ++found_;
        printer_.Entry(file, entry);
    }
    void EndFile(const HistoryFile& file, const HistoryReader& reader) override {
        printer_.EndFile(file, reader);
    }
    std::size_t found() const { return found_; }

private:
    const EntryFilter& filter_;
    EntryPrinter& printer_;
    bool pathMatches_ = true;
    std::size_t found_ = 0;
};

std::optional<EntryFilter> MakeFilter(const SearchOptions& search, ToolStreams& streams) {
    try {
        return EntryFilter(search);
    } catch (const std::regex_error& error) {
        streams.err << "quillet-history: " << search.text
                    << " is not a regular expression this tool can match: " << error.what() << '\n';
        return std::nullopt;
    }
}

}  // namespace

int RunSearch(const CommonOptions& common, const SearchOptions& search, bool json,
              ToolStreams& streams) {
    const std::optional<EntryFilter> filter = MakeFilter(search, streams);
    if (!filter) return kExitError;
    const std::optional<LocatedHistory> located = LocateAndFind(common, streams);
    if (!located) return kExitError;

    std::unique_ptr<EntryPrinter> printer;
    if (json) {
        printer = std::make_unique<JsonLinesPrinter>(streams.out);
    } else {
        printer = std::make_unique<PlainPrinter>(streams.out);
    }
    ReaderOptions options = DefaultReaderOptions();
    options.candidatesFor = filter->Candidates();
    SearchVisitor visitor(*filter, *printer);
    const std::size_t failed = ScanFiles(located->files, options, visitor, streams);
    const bool printed = printer->Finish();
    if (failed + located->errors > 0 || !printed) return kExitError;
    return visitor.found() > 0 ? kExitFound : kExitNothingFound;
}

}  // namespace quillet::history_tool
