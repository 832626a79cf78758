#include "ui/HistoryPage.h"

#include <algorithm>
#include <iterator>
#include <numeric>
#include <optional>
#include <string_view>

#include "history/HistoryFiles.h"
#include "history/HistoryReader.h"
#include "history/HistorySearch.h"
#include "platform/platform.h"
#include "ui/BoxCaptions.h"
#include "ui/LanguageSupport.h"

namespace quillet {

namespace {

constexpr const char* StopCaption = "Stop";
constexpr const char* CountLine = "%1 entries in %2 files.";
constexpr const char* CappedLine = "The newest %1 are listed.";
constexpr const char* StoppedLine = "Stopped after %1 of %2 files.";
constexpr const char* UnreadableLine = "Could not be read: %1";
constexpr const char* MoreUnreadable = "and %1 more";
constexpr const char* NoHistoryFolder = "There is no history folder %1";
constexpr const char* EntryHeading = "%1, line %2";
constexpr const char* EntryChanged = "The file has changed since the search: search again.";
constexpr const char* EntryUnreadable = "The entry cannot be read again: %1";
constexpr const char* OpenFailed = "The file cannot be opened: %1";
constexpr const char* DirectionReceived = "received";
constexpr const char* DirectionSent = "sent";

// The list's columns, in order, with their widths (a date, a time and the longest direction in
// the shipped languages fit); together they fill the list but for its scroll bar.
struct Column {
    const char* caption;
    int width;
};
constexpr Column Columns[] = {
    {"Date", 70}, {"Time", 58}, {"Contact", 100}, {"Direction", 80}, {"Text", 154},
};
enum ColumnIndex { DateColumn, TimeColumn, ContactColumn, DirectionColumn, TextColumn };

// The label under the list has room for two lines: what was found, then the first file that
// could not be read.
constexpr std::size_t MostUnreadableNamed = 1;
// A list view shows at most this many characters of a cell.
constexpr std::size_t CellLength = 259;
// Entries read between two turns of the dialog's messages (pieces of a file are turns too).
constexpr std::size_t EntriesPerTurn = 1000;
constexpr int ProgressSteps = 1000;
constexpr std::string_view LabelLineBreak = "\r\n";
constexpr std::u16string_view EditorLineBreak = u"\r\n";

using Found = HistoryPage::Found;

// Date and time as one number that orders them.
std::int64_t TimeKey(const DateTimeFields& time) {
    const std::int64_t day = (std::int64_t{time.year} * 12 + time.month) * 31 + time.day;
    return ((day * 24 + time.hour) * 60 + time.minute) * 60 + time.second;
}

int SecondOfDay(const DateTimeFields& time) {
    return (time.hour * 60 + time.minute) * 60 + time.second;
}

// True when `a` came after `b`: by time, then by its place among the files searched.
bool Newer(const Found& a, const Found& b) {
    const std::int64_t keyA = TimeKey(a.time), keyB = TimeKey(b.time);
    if (keyA != keyB) return keyA > keyB;
    if (a.file != b.file) return a.file > b.file;
    return a.offset > b.offset;
}

std::u16string Digits(int value, std::size_t width) {
    std::u16string text(width, u'0');
    for (std::size_t i = width; i-- > 0; value /= 10)
        text[i] = static_cast<char16_t>(u'0' + value % 10);
    return text;
}

// "07/12/2007", as the name line writes it.
std::u16string DateCell(const DateTimeFields& time) {
    return Digits(time.day, 2) + u'/' + Digits(time.month, 2) + u'/' + Digits(time.year, 4);
}

std::u16string TimeCell(const DateTimeFields& time) {
    return Digits(time.hour, 2) + u':' + Digits(time.minute, 2) + u':' + Digits(time.second, 2);
}

// The text up to its first line break, cut to what a cell shows (never inside a pair of
// surrogates).
std::u16string FirstLine(std::u16string_view text) {
    std::u16string_view line = text.substr(0, text.find_first_of(u"\r\n"));
    if (line.size() > CellLength) {
        line = line.substr(0, CellLength);
        if (line.back() >= 0xD800 && line.back() < 0xDC00) line.remove_suffix(1);
    }
    return std::u16string(line);
}

// Every line break as CR LF, as a text editor breaks lines; NUL, which would end the text
// there, as a blank.
std::u16string ForEditor(std::u16string_view text) {
    std::u16string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' || text[i] == u'\n') {
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            shown += EditorLineBreak;
        } else {
            shown += text[i] == u'\0' ? u' ' : text[i];
        }
    }
    return shown;
}

std::u16string ContactOfFile(const std::string& shown) {
    const std::size_t dot = shown.rfind('.');
    const std::size_t level = shown.rfind('\\');
    const bool extension = dot != std::string::npos && (level == std::string::npos || dot > level);
    return platform::AnsiToWide(extension ? shown.substr(0, dot) : shown);
}

void AddLine(std::string& text, std::string_view line) {
    if (!text.empty()) text += LabelLineBreak;
    text += line;
}

void AddSentence(std::string& text, std::string_view sentence) {
    text += ' ';
    text += sentence;
}

bool SameEntry(const HistoryEntry& entry, const Found& found) {
    return entry.direction == found.direction && entry.name == found.name &&
           TimeKey(entry.time) == TimeKey(found.time);
}

}  // namespace

// What a search came to, for the label under the list.
struct HistoryPage::Outcome {
    std::size_t matches = 0;  // every entry found, listed or not
    std::size_t filesWithMatches = 0;
    std::size_t filesSearched = 0;
    std::size_t filesTotal = 0;
    std::vector<std::string> unreadable;  // "FILE: reason", files and folders alike
    bool stopped = false;
};

void HistoryPage::Show(platform::Dialog& form) {
    std::vector<platform::ListColumn> columns;
    for (const Column& column : Columns)
        columns.push_back({TranslateAnsi(column.caption), column.width});
    form.SetColumns(controls_.results, columns);
    form.SetEnabled(controls_.openFile, false);
}

void HistoryPage::OnClick(platform::Dialog& form, const std::string& control,
                          const std::string& pluginPath) {
    if (control == controls_.searchButton) {
        if (task_.running()) {
            task_.AskToStop();
        } else {
            Search(form, pluginPath);
        }
    }
    if (control == controls_.openFile) OpenSelectedFile(form);
}

void HistoryPage::OnEnterKey(platform::Dialog& form, const std::string& control,
                             const std::string& pluginPath) {
    if (control == controls_.searchText && !task_.running()) Search(form, pluginPath);
}

void HistoryPage::OnChange(platform::Dialog& form, const std::string& control) {
    if (control == controls_.results && !task_.running()) ShowSelectedEntry(form);
}

// ---- Searching ---------------------------------------------------------------------------------

void HistoryPage::Search(platform::Dialog& form, const std::string& pluginPath) {
    files_.clear();
    found_.clear();
    order_.clear();
    sortColumn_ = DateColumn;
    sortAscending_ = false;
    ShowResults(form);
    form.SetText(controls_.count, "");
    const HistoryLocation location = LocateSavedHistory(pluginPath);
    if (!platform::FolderExists(location.root)) {
        form.SetText(controls_.count, TranslateFilled(NoHistoryFolder, location.root));
        return;
    }
    Outcome outcome;
    {
        const StoppableTask::Run running(task_, form, controls_.searchButton,
                                         TranslateAnsi(StopCaption), controls_.heldWhileRunning);
        FoundHistoryFiles found = FindHistoryFiles(location);
        for (const platform::SystemError& error : found.unreadable) {
            outcome.unreadable.push_back(PathBelowRoot(error.path(), location.root) + ": " +
                                         error.reason());
        }
        SearchFiles(form, found.paths, location.root, outcome);
    }
    std::sort_heap(found_.begin(), found_.end(), Newer);  // newest first
    order_.resize(found_.size());
    std::iota(order_.begin(), order_.end(), std::size_t{0});
    ShowResults(form);

    form.SetText(controls_.count, CountText(outcome, found_.size()));
}

std::string HistoryPage::CountText(const Outcome& outcome, std::size_t listed) {
    std::string count = TranslateFilled(CountLine, std::to_string(outcome.matches),
                                        std::to_string(outcome.filesWithMatches));
    if (outcome.matches > listed) {
        AddSentence(count, TranslateFilled(CappedLine, std::to_string(listed)));
    }
    if (outcome.stopped) {
        AddSentence(count, TranslateFilled(StoppedLine, std::to_string(outcome.filesSearched),
                                           std::to_string(outcome.filesTotal)));
    }
    const std::vector<std::string>& unreadable = outcome.unreadable;
    for (std::size_t i = 0; i < unreadable.size() && i < MostUnreadableNamed; ++i) {
        AddLine(count, TranslateFilled(UnreadableLine, unreadable[i]));
    }
    if (unreadable.size() > MostUnreadableNamed) {
        AddSentence(count, TranslateFilled(MoreUnreadable, std::to_string(unreadable.size() -
                                                                          MostUnreadableNamed)));
    }
    return count;
}

// Each file in turn, matched as quillet-history matches: the reader decodes only the entries
// that can hold the text, and of the entries found only the newest are kept (a heap whose front
// is the oldest kept), so an entry older than all of them costs nothing more.
void HistoryPage::SearchFiles(platform::Dialog& form, const std::vector<std::string>& paths,
                              const std::string& root, Outcome& outcome) {
    const std::u16string text = form.WideText(controls_.searchText);
    const std::u16string contact = form.WideText(controls_.contact);
    const TextMatcher textMatcher(SearchQuery{text, form.Checked(controls_.matchCase)});
    const TextMatcher contactMatcher(SearchQuery{contact, false});

    outcome.filesTotal = paths.size();
    const auto turn = [&] {
        form.SetProgress(controls_.progress,
                         static_cast<int>(outcome.filesSearched * ProgressSteps /
                                          std::max<std::size_t>(paths.size(), 1)),
                         ProgressSteps);
        form.ProcessMessages();
    };
    ReaderOptions options = DefaultReaderOptions();
    options.onRead = [&](std::size_t) { turn(); };
    if (!text.empty()) {
        options.candidatesFor = [&](unsigned codePage) {
            return textMatcher.CandidatesFor(codePage);
        };
    }
    turn();
    HistoryEntry entry;
    for (const std::string& path : paths) {
        if (task_.stopAsked()) break;
        const std::size_t fileIndex = files_.size();
        files_.push_back({path, PathBelowRoot(path, root), {}, 0});
        SearchedFile& file = files_.back();
        file.contact = ContactOfFile(file.shown);
        const bool pathMatches =
            contact.empty() || contactMatcher.Contains(platform::AnsiToWide(file.shown));
        const std::size_t matchesBefore = outcome.matches;
        try {
            HistoryReader reader = HistoryReader::OpenFile(path, options);
            std::size_t sinceTurn = 0;
            while (!task_.stopAsked() && reader.Next(entry)) {
                if ((pathMatches || contactMatcher.Contains(entry.name)) &&
                    textMatcher.Matches(entry)) {
                    ++outcome.matches;
                    file.codePage = reader.codePage();  // known once an entry has been read
                    Keep(entry, fileIndex);
                }
                if (++sinceTurn == EntriesPerTurn) {
                    sinceTurn = 0;
                    turn();
                }
            }
        } catch (const platform::SystemError& error) {
            outcome.unreadable.push_back(file.shown + ": " + error.reason());
        }
        if (outcome.matches > matchesBefore) ++outcome.filesWithMatches;
        if (!task_.stopAsked()) ++outcome.filesSearched;
        turn();
    }
    outcome.stopped = task_.stopAsked();
}

// An entry found joins those listed when there is room or it is newer than the oldest of them,
// which then goes.
void HistoryPage::Keep(const HistoryEntry& entry, std::size_t file) {
    Found found{entry.time, entry.direction, {}, {}, file, entry.line, entry.offset, entry.size};
    const bool full = found_.size() >= mostListed_;
    if (mostListed_ == 0 || (full && !Newer(found, found_.front()))) return;
    found.name = entry.name;
    found.firstLine = FirstLine(entry.text);
    if (full) {
        std::pop_heap(found_.begin(), found_.end(), Newer);
        found_.back() = std::move(found);
    } else {
        found_.push_back(std::move(found));
    }
    std::push_heap(found_.begin(), found_.end(), Newer);
}

// ---- The list ----------------------------------------------------------------------------------

void HistoryPage::ShowResults(platform::Dialog& form) {
    const std::u16string received = TranslateStr(DirectionReceived);
    const std::u16string sent = TranslateStr(DirectionSent);
    std::vector<platform::ListRow> rows;
    rows.reserve(order_.size());
    for (const std::size_t index : order_) {
        const Found& found = found_[index];
        const bool incoming = found.direction == EntryDirection::Received;
        rows.push_back({DateCell(found.time), TimeCell(found.time), ContactOf(found),
                        incoming ? received : sent, found.firstLine});
    }
    form.SetRows(controls_.results, rows);
    form.SetWideText(controls_.entry, u"");
    form.SetEnabled(controls_.openFile, false);
}

// A second click on the same column turns the order round; entries alike in that column stay
// newest first. The selected entry stays selected and shown. While a search runs the list is
// empty and stays so.
void HistoryPage::OnColumnClick(platform::Dialog& form, const std::string& control, int column) {
    if (control != controls_.results || task_.running() || column < 0 ||
        column >= static_cast<int>(std::size(Columns))) {
        return;
    }
    sortAscending_ = column == sortColumn_ ? !sortAscending_ : true;
    sortColumn_ = column;
    const Found* selected = Selected(form);
    const std::size_t selectedIndex =
        selected != nullptr ? static_cast<std::size_t>(selected - found_.data()) : 0;

    SortBy(column);
    const std::u16string shownEntry = form.WideText(controls_.entry);
    ShowResults(form);
    if (selected == nullptr) return;
    const auto row = std::find(order_.begin(), order_.end(), selectedIndex);
    form.Select(controls_.results, static_cast<int>(row - order_.begin()));
    form.SetWideText(controls_.entry, shownEntry);
    form.SetEnabled(controls_.openFile, true);
}

// The rows in the order of `column`, ascending or not, newest first where it holds the same.
void HistoryPage::SortBy(int column) {
    // Texts are compared without regard to letter case, each lowered once.
    std::vector<std::u16string> keys;
    if (column == ContactColumn || column == TextColumn) {
        keys.reserve(found_.size());
        for (const Found& found : found_) {
            keys.push_back(
                platform::LowerCaseWide(column == TextColumn ? found.firstLine : ContactOf(found)));
        }
    }
    const auto before = [&](std::size_t a, std::size_t b) {
        const Found& x = found_[a];
        const Found& y = found_[b];
        switch (column) {
            case DateColumn:
                return TimeKey(x.time) < TimeKey(y.time);
            case TimeColumn:
                return SecondOfDay(x.time) < SecondOfDay(y.time);
            case DirectionColumn:
                return x.direction < y.direction;
            default:
                return keys[a] < keys[b];
        }
    };
    order_.resize(found_.size());
    std::iota(order_.begin(), order_.end(), std::size_t{0});
    std::stable_sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) {
        return sortAscending_ ? before(a, b) : before(b, a);
    });
}

// A received entry names the contact; a sent one names the user, so its file tells the contact.
const std::u16string& HistoryPage::ContactOf(const Found& found) const {
    return found.direction == EntryDirection::Received ? found.name : files_[found.file].contact;
}

const Found* HistoryPage::Selected(const platform::Dialog& form) const {
    const int row = form.SelectedIndex(controls_.results);
    if (row < 0 || static_cast<std::size_t>(row) >= order_.size()) return nullptr;
    return &found_[order_[static_cast<std::size_t>(row)]];
}

// ---- The selected entry ------------------------------------------------------------------------

// The entry is read again from where the search found it: the list keeps no more than its first
// line. A file rewritten since (converted, edited) is told, not misread.
void HistoryPage::ShowSelectedEntry(platform::Dialog& form) {
    const Found* found = Selected(form);
    form.SetEnabled(controls_.openFile, found != nullptr);
    if (found == nullptr) {
        form.SetWideText(controls_.entry, u"");
        return;
    }
    const SearchedFile& file = files_[found->file];
    std::u16string shown = platform::AnsiToWide(
        TranslateFilled(EntryHeading, file.shown, std::to_string(found->line)));
    shown += EditorLineBreak;
    try {
        ReaderOptions options = DefaultReaderOptions();
        options.codePage = file.codePage;
        HistoryReader reader =
            HistoryReader::OpenStretch(file.path, found->offset, found->size, options);
        HistoryEntry entry;
        if (reader.Next(entry) && SameEntry(entry, *found)) {
            shown += entry.name + u" (" + entry.timeText + u")";
            shown += EditorLineBreak;
            shown += ForEditor(entry.text);
        } else {
            shown += TranslateStr(EntryChanged);
        }
    } catch (const platform::SystemError& error) {
        shown += platform::AnsiToWide(TranslateFilled(EntryUnreadable, error.reason()));
    }
    form.SetWideText(controls_.entry, shown);
}

void HistoryPage::OpenSelectedFile(platform::Dialog& form) {
    const Found* found = Selected(form);
    if (found == nullptr) return;
    const SearchedFile& file = files_[found->file];
    try {
        form.OpenFile(file.path);
    } catch (const platform::SystemError& error) {
        form.ShowError(TranslateFilled(OpenFailed, file.shown) + "\n" + error.reason(),
                       ErrorCaption);
    }
}

std::vector<std::string> HistoryPage::TranslatedTexts() {
    std::vector<std::string> texts = {
        StopCaption,    CountLine,         CappedLine,   StoppedLine,  UnreadableLine,
        MoreUnreadable, NoHistoryFolder,   EntryHeading, EntryChanged, EntryUnreadable,
        OpenFailed,     DirectionReceived, DirectionSent};
    for (const Column& column : Columns) texts.emplace_back(column.caption);
    return texts;
}

}  // namespace quillet
