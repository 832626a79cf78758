// HTML pages: the history export of html_export.h (a page per history file and index.html in
// the output folder) driven as a printer. A page that cannot be written is named on the error
// stream with the reason and the other pages are still written.
#pragma once

#include <ostream>
#include <string>

#include "tools/history/html_export.h"
#include "tools/history/printer.h"

namespace quillet::history_tool {

class HtmlPrinter : public EntryPrinter {
public:
    // Pages go to `folder` (platform form), made when missing.
    HtmlPrinter(const std::string& folder, std::ostream& err);
    void BeginFile(const HistoryFile& file, const HistoryReader& reader) override;
    void Entry(const HistoryFile& file, const HistoryEntry& entry) override;
    void EndFile(const HistoryFile& file, const HistoryReader& reader) override;
    bool Finish() override;

private:
    template <typename Action>
    void OrReport(const std::string& what, Action action);

    HtmlExport html_;
    std::ostream& err_;
    bool pageFailed_ = false;  // the open page could not be written: its entries are passed over
    bool anyFailed_ = false;
};

}  // namespace quillet::history_tool
