#include "tools/history/html_printer.h"

#include "platform/platform.h"

namespace quillet::history_tool {

HtmlPrinter::HtmlPrinter(const std::string& folder, std::ostream& err) : html_(folder), err_(err) {}

template <typename Action>
void HtmlPrinter::OrReport(const std::string& what, Action action) {
    try {
        action();
    } catch (const platform::SystemError& error) {
        ReportError(err_, what, error);
        pageFailed_ = anyFailed_ = true;
    } catch (const std::exception& error) {
        err_ << "quillet-history: " << what << ": " << error.what() << '\n';
        pageFailed_ = anyFailed_ = true;
    }
}

void HtmlPrinter::BeginFile(const HistoryFile& file, const HistoryReader& reader) {
    pageFailed_ = false;
    const std::string encoding = reader.encoding() == EntryEncoding::Utf8
                                     ? std::string("UTF-8")
                                     : "ANSI " + std::to_string(reader.codePage());
    OrReport("the page of " + file.shown, [&] { html_.BeginFile(file.relative, encoding); });
}

void HtmlPrinter::Entry(const HistoryFile& file, const HistoryEntry& entry) {
    if (!pageFailed_) OrReport("the page of " + file.shown, [&] { html_.AddEntry(entry); });
}

void HtmlPrinter::EndFile(const HistoryFile& file, const HistoryReader&) {
    if (!pageFailed_) OrReport("the page of " + file.shown, [&] { html_.EndFile(); });
}

bool HtmlPrinter::Finish() {
    OrReport("index.html", [&] { html_.Finish(); });
    return !anyFailed_;
}

}  // namespace quillet::history_tool
