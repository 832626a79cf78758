#include "tools/history/html_export.h"

#include <array>
#include <cstdio>
#include <tuple>
#include <utility>

#include "history/PathSafety.h"
#include "platform/platform.h"

namespace quillet {
namespace {

// A page holds back at most this much of its body until its title is known, and hands on its
// bytes in pieces of about this size afterwards.
constexpr std::size_t HoldBackBytes = 1u << 20;
constexpr std::size_t PieceBytes = 256u << 10;
// The longest page name before ".html" (and a number that makes it unique): far below what a
// Windows path can hold.
constexpr std::size_t MaxPageStem = 80;

// `text` in UTF-8 as HTML character data, good as well inside a double-quoted attribute: "&",
// "<", ">", '"' and "'" as references, CR LF and a lone CR as LF, and what is not a character
// to show (controls but tab and LF, an unpaired surrogate) as U+FFFD.
void AppendHtml(std::string& out, std::u16string_view text) {
    constexpr std::string_view Replacement = "\xEF\xBF\xBD";  // U+FFFD
    // The conversion already makes an unpaired surrogate U+FFFD; the rest is done on its bytes.
    const std::string utf8 = platform::WideToUtf8(text);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        switch (c) {
            case '&':
                out += "&amp;";
                continue;
            case '<':
                out += "&lt;";
                continue;
            case '>':
                out += "&gt;";
                continue;
            case '"':
                out += "&quot;";
                continue;
            case '\'':
                out += "&#39;";
                continue;
            case '\r':
                if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
                out += '\n';
                continue;
            default:
                break;
        }
        const bool control = (c < 0x20 && c != '\t' && c != '\n') || c == 0x7F;
        // U+0080 to U+009F, the C1 controls, are C2 80 to C2 9F.
        const bool c1Control =
            c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) <= 0x9F;
        if (c1Control) ++i;
        if (control || c1Control) {
            out += Replacement;
        } else {
            out += static_cast<char>(c);
        }
    }
}

std::string Html(std::u16string_view text) {
    std::string out;
    AppendHtml(out, text);
    return out;
}

// ---- Dates -------------------------------------------------------------------------------------

bool ValidDate(const DateTimeFields& t) {
    static constexpr std::array<int, 12> days = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1) return false;
    const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    return t.day <= days[t.month - 1] - (t.month == 2 && !leap ? 1 : 0);
}

bool ValidClock(const DateTimeFields& t) {
    return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
           t.second < 60;
}

auto Ordered(const DateTimeFields& t) {
    return std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

// 0 for Monday: days since 1970-01-01 (a Thursday) by the civil-calendar count.
int Weekday(const DateTimeFields& t) {
    const int y = t.year - (t.month <= 2 ? 1 : 0);
    const int era = y / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (t.month + (t.month > 2 ? -3 : 9)) + 2) / 5 + t.day - 1;
    const long days = era * 146097L + (yoe * 365 + yoe / 4 - yoe / 100 + doy) - 719468;
    return static_cast<int>(((days % 7) + 7 + 3) % 7);
}

constexpr std::array<const char*, 12> MonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<const char*, 7> WeekdayNames = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                     "Friday", "Saturday", "Sunday"};

template <typename... Numbers>
std::string Printed(const char* format, Numbers... numbers) {
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), format, numbers...);
    return buffer.data();
}

std::string IsoDate(const DateTimeFields& t) {
    return Printed("%04d-%02d-%02d", t.year, t.month, t.day);
}

// "<time datetime="2007-12-07">7 Dec 2007</time>" for the index.
std::string ShortDate(const DateTimeFields& t) {
    return "<time datetime=\"" + IsoDate(t) + "\">" + std::to_string(t.day) + " " +
           std::string(MonthNames[t.month - 1], 3) + " " + std::to_string(t.year) + "</time>";
}

// "Friday, 7 December 2007" for a day's heading.
std::string LongDate(const DateTimeFields& t) {
    return std::string(WeekdayNames[Weekday(t)]) + ", " + std::to_string(t.day) + " " +
           MonthNames[t.month - 1] + " " + std::to_string(t.year);
}

std::string Grouped(std::uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

// ---- Names -------------------------------------------------------------------------------------

// The last level of a "\"-separated path without its extension.
std::string_view FileStem(std::string_view path) {
    const std::size_t slash = path.find_last_of('\\');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return name;
}

// The page name's part before ".html": the path without the extension, every run of characters
// other than ASCII letters and digits as one "_", none at either end.
std::string PageStem(std::string_view displayPath) {
    const std::string_view stem = FileStem(displayPath);
    const std::string_view path = displayPath.substr(
        0, static_cast<std::size_t>(stem.data() - displayPath.data()) + stem.size());
    std::string out;
    for (const char ch : path) {
        const bool keep =
            (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
        if (keep) {
            out += ch;
        } else if (!out.empty() && out.back() != '_') {
            out += '_';
        }
        if (out.size() >= MaxPageStem) break;
    }
    while (!out.empty() && out.back() == '_') out.pop_back();
    if (out.empty()) out = "history";
    return ProtectDeviceNames(out);
}

std::string Lower(std::string text) {
    for (char& ch : text) {
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    }
    return text;
}

// ---- The pages' frame --------------------------------------------------------------------------

constexpr std::string_view Style =
    R"(:root{color-scheme:light dark;--bg:#eef1f5;--fg:#1d2128;--muted:#5f6773;--line:#d5dbe3;--in:#fff;--in-line:#d9dee6;--out:#d5e9ff;--out-line:#abcff3;--link:#0a5fc2;--day:#dfe4eb}
@media (prefers-color-scheme:dark){:root{--bg:#121417;--fg:#e3e6ea;--muted:#9aa3ae;--line:#2c323a;--in:#1f2329;--in-line:#2f353e;--out:#123a63;--out-line:#1d5188;--link:#7cb8ff;--day:#262b32}}
*{box-sizing:border-box}
html{-webkit-text-size-adjust:100%;text-size-adjust:100%}
body{margin:0;background:var(--bg);color:var(--fg);font:16px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"Noto Sans","DejaVu Sans",sans-serif}
main{max-width:46rem;margin:0 auto;padding:0 .75rem 2rem}
main.index{max-width:64rem}
header{padding:1rem 0 .5rem}
h1{font-size:1.5rem;margin:.2rem 0;overflow-wrap:anywhere}
a{color:var(--link)}
.file{color:var(--muted);font-size:.85rem;overflow-wrap:anywhere}
.day{display:flex;flex-direction:column;gap:.3rem;margin:.5rem 0 1rem}
.day h2{position:sticky;top:.4rem;z-index:1;align-self:center;margin:.5rem 0;padding:.15rem .8rem;border-radius:1rem;background:var(--day);color:var(--muted);font-size:.8rem;font-weight:600}
.msg{max-width:min(85%,36rem);padding:.4rem .7rem .25rem;border:1px solid;border-radius:1rem}
.in{align-self:flex-start;background:var(--in);border-color:var(--in-line);border-bottom-left-radius:.3rem}
.out{align-self:flex-end;background:var(--out);border-color:var(--out-line);border-bottom-right-radius:.3rem}
.who{font-size:.8rem;font-weight:600;color:var(--muted)}
.text{white-space:pre-wrap;overflow-wrap:anywhere}
.when{font-size:.72rem;color:var(--muted);text-align:right}
footer{color:var(--muted);font-size:.85rem;border-top:1px solid var(--line);padding-top:.75rem}
table{width:100%;border-collapse:collapse;background:var(--in);border:1px solid var(--line)}
th,td{padding:.5rem .75rem;text-align:left;vertical-align:baseline;border-bottom:1px solid var(--line)}
th{font-size:.8rem;font-weight:600;color:var(--muted)}
td a{font-weight:600;overflow-wrap:anywhere}
.num{text-align:right;font-variant-numeric:tabular-nums}
time{white-space:nowrap}
@media (max-width:36rem){thead{display:none}table,tbody,tr,td{display:block}tr{padding:.5rem .75rem;border-bottom:1px solid var(--line)}td{border:0;padding:.1rem 0}td.num{text-align:left}td[data-label]::before{content:attr(data-label) ": ";color:var(--muted)}}
)";

// Everything before <body>, with the title already made character data.
std::string Head(std::string_view title) {
    std::string head =
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "style-src 'unsafe-inline'; base-uri 'none'; form-action 'none'\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<meta name=\"color-scheme\" content=\"light dark\">\n"
        "<meta name=\"referrer\" content=\"no-referrer\">\n<title>";
    head += title;
    head += "</title>\n<style>\n";
    head += Style;
    head += "</style>\n</head>\n";
    return head;
}

}  // namespace

// ---- Output files through the platform layer ----------------------------------------------------

namespace {

class PlatformFile : public ExportFile {
public:
    explicit PlatformFile(std::string path) : path_(std::move(path)) {}
    void Write(std::string_view bytes) override {
        if (started_) {
            platform::AppendToFile(path_, bytes);
        } else {
            platform::WriteWholeFile(path_, bytes);
            started_ = true;
        }
    }
    void Close() override {
        if (!started_) Write({});
    }

private:
    std::string path_;
    bool started_ = false;
};

}  // namespace

OpenExportFile ExportFilesInFolder(const std::string& folder) {
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '\\') prefix += '\\';
    return [prefix, made = false](const std::string& fileName) mutable {
        if (!made) {
            const std::string bare = prefix.substr(0, prefix.size() - 1);
            if (!bare.empty() && bare.back() != ':' && !platform::FolderExists(bare)) {
                platform::CreateFolder(bare);
            }
            made = true;
        }
        return std::unique_ptr<ExportFile>(new PlatformFile(prefix + fileName));
    };
}

// ---- The export --------------------------------------------------------------------------------

struct HtmlExport::Page {
    std::unique_ptr<ExportFile> file;
    Listed listed;
    std::u16string encodingName;
    bool contactKnown = false;
    // The body not yet handed on; until the head is written, all of it.
    std::string out;
    bool headWritten = false;
    // The day of the open group (year * 10000 + month * 100 + day; -1: entries without a date).
    std::optional<int> day;
    EntryDirection lastDirection = EntryDirection::Received;
    std::u16string lastName;
    std::uint64_t received = 0;
    std::uint64_t sent = 0;
};

HtmlExport::HtmlExport(const std::string& folder) : HtmlExport(ExportFilesInFolder(folder)) {}

HtmlExport::HtmlExport(OpenExportFile open) : open_(std::move(open)) {}

HtmlExport::~HtmlExport() = default;

template <typename Action>
void HtmlExport::OrDrop(Action action) {
    try {
        action();
    } catch (...) {
        page_.reset();
        throw;
    }
}

std::string HtmlExport::BeginFile(const std::string& displayPath, std::string_view encodingName) {
    if (page_) EndFile();

    const std::string stem = PageStem(displayPath);
    std::string name = stem;
    for (int n = 2; Lower(name) == "index" || takenNames_.count(Lower(name)) != 0; ++n) {
        name = stem + "-" + std::to_string(n);
    }
    name += ".html";

    auto page = std::make_unique<Page>();
    page->file = open_(name);
    takenNames_.insert(Lower(name.substr(0, name.size() - 5)));
    page->listed.pageName = name;
    page->listed.displayPath = platform::AnsiToWide(displayPath);
    page->listed.contact = platform::AnsiToWide(FileStem(displayPath));
    page->encodingName = platform::AnsiToWide(encodingName);
    page_ = std::move(page);
    return name;
}

void HtmlExport::AddEntry(const HistoryEntry& entry) {
    if (!page_) return;
    OrDrop([&] {
        Page& page = *page_;
        std::string& out = page.out;
        const DateTimeFields& t = entry.time;
        const bool dated = ValidDate(t);

        ++page.listed.entries;
        ++(entry.direction == EntryDirection::Received ? page.received : page.sent);
        if (!page.contactKnown && entry.direction == EntryDirection::Received &&
            !entry.name.empty()) {
            page.listed.contact = entry.name;
            page.contactKnown = true;
        }
        if (dated && (!page.listed.first || Ordered(t) < Ordered(*page.listed.first))) {
            page.listed.first = t;
        }
        if (dated && (!page.listed.last || Ordered(*page.listed.last) < Ordered(t))) {
            page.listed.last = t;
        }

        const int day = dated ? t.year * 10000 + t.month * 100 + t.day : -1;
        const bool newDay = page.day != day;
        if (newDay) {
            if (page.day) out += "</section>\n";
            out += "<section class=\"day\">\n<h2>";
            out += dated ? "<time datetime=\"" + IsoDate(t) + "\">" + LongDate(t) + "</time>"
                         : std::string("Date unknown");
            out += "</h2>\n";
            page.day = day;
        }

        const bool in = entry.direction == EntryDirection::Received;
        out += in ? "<div class=\"msg in\">" : "<div class=\"msg out\">";
        if (newDay || entry.direction != page.lastDirection || entry.name != page.lastName) {
            out += "<div class=\"who\"><bdi>";
            AppendHtml(out, entry.name);
            out += "</bdi></div>";
        }
        out += "<div class=\"text\" dir=\"auto\">";
        AppendHtml(out, entry.text);
        out += "</div><div class=\"when\"><time";
        if (dated && ValidClock(t)) {
            out += " datetime=\"" + IsoDate(t) +
                   Printed("T%02d:%02d:%02d", t.hour, t.minute, t.second) + "\"";
        }
        out += " title=\"";
        AppendHtml(out, entry.timeText);
        out += "\">";
        if (ValidClock(t)) {
            out += Printed("%02d:%02d", t.hour, t.minute);
        } else {
            AppendHtml(out, entry.timeText);
        }
        out += "</time></div></div>\n";
        page.lastDirection = entry.direction;
        page.lastName = entry.name;

        if (!page.headWritten) {
            if (page.contactKnown || out.size() >= HoldBackBytes) WriteHead(page);
        } else {
            Flush(page, false);
        }
    });
}

void HtmlExport::WriteHead(Page& page) {
    const std::string contact = Html(page.listed.contact);
    std::string head = Head(contact + " \xE2\x80\x94 chat history");
    head +=
        "<body>\n<main>\n<header>\n<a href=\"index.html\">\xE2\x86\x90 All conversations</a>\n"
        "<h1><bdi>";
    head += contact;
    head += "</bdi></h1>\n<div class=\"file\">";
    AppendHtml(head, page.listed.displayPath);
    head += "</div>\n</header>\n";
    if (page.listed.entries == 0) head += "<p>No messages.</p>\n";
    page.file->Write(head);
    page.headWritten = true;
    Flush(page, true);
}

void HtmlExport::Flush(Page& page, bool force) {
    if (page.out.empty() || (!force && page.out.size() < PieceBytes)) return;
    page.file->Write(page.out);
    page.out.clear();
}

void HtmlExport::EndFile() {
    if (!page_) return;
    OrDrop([&] {
        Page& page = *page_;
        if (!page.headWritten) WriteHead(page);
        std::string& out = page.out;
        if (page.day) out += "</section>\n";
        const Listed& listed = page.listed;
        out += "<footer>" + Grouped(listed.entries) +
               (listed.entries == 1 ? " message" : " messages") + " (" + Grouped(page.received) +
               " received, " + Grouped(page.sent) + " sent)";
        if (listed.first) {
            out += ", " + ShortDate(*listed.first);
            if (IsoDate(*listed.first) != IsoDate(*listed.last)) {
                out += " \xE2\x80\x93 " + ShortDate(*listed.last);
            }
        }
        out += ". Read as ";
        AppendHtml(out, page.encodingName);
        out += ".</footer>\n</main>\n</body>\n</html>\n";
        Flush(page, true);
        page.file->Close();
    });
    listed_.push_back(std::move(page_->listed));
    page_.reset();
}

void HtmlExport::Finish() {
    EndFile();
    std::uint64_t entries = 0;
    for (const Listed& listed : listed_) entries += listed.entries;

    std::string out = Head("Chat history");
    out += "<body>\n<main class=\"index\">\n<header>\n<h1>Chat history</h1>\n<div class=\"file\">" +
           Grouped(listed_.size()) +
           (listed_.size() == 1 ? " conversation, " : " conversations, ") + Grouped(entries) +
           (entries == 1 ? " message" : " messages") + "</div>\n</header>\n";
    if (listed_.empty()) {
        out += "<p>No history files.</p>\n";
    } else {
        out +=
            "<table>\n<thead><tr><th>Contact</th><th>History file</th>"
            "<th class=\"num\">Messages</th><th>First</th><th>Last</th></tr></thead>\n<tbody>\n";
        for (const Listed& listed : listed_) {
            out += "<tr><td><a href=\"" + listed.pageName + "\"><bdi>";
            AppendHtml(out, listed.contact);
            out += "</bdi></a></td><td class=\"file\" data-label=\"File\">";
            AppendHtml(out, listed.displayPath);
            out += "</td><td class=\"num\" data-label=\"Messages\">" + Grouped(listed.entries) +
                   "</td><td data-label=\"First\">" +
                   (listed.first ? ShortDate(*listed.first) : "\xE2\x80\x94") +
                   "</td><td data-label=\"Last\">" +
                   (listed.last ? ShortDate(*listed.last) : "\xE2\x80\x94") + "</td></tr>\n";
        }
        out += "</tbody>\n</table>\n";
    }
    out += "</main>\n</body>\n</html>\n";

    const std::unique_ptr<ExportFile> index = open_("index.html");
    index->Write(out);
    index->Close();
}

}  // namespace quillet
