// The options dialog's "History" page: every conversation searched from the dialog, as
// quillet-history searches it. The history is found from the settings as saved; its files are
// read one after the other with the dialog's pending messages let run between pieces, so that the
// dialog and the messenger keep answering (messages that arrive meanwhile are recorded as
// usual), and the search button stops it. The entries found are listed newest first, at most a
// given number of them (the newest), with the date, time, contact, direction and the first line
// of the text; a click on a column's header sorts by it. The row selected shows its entry whole,
// read again from its file, which the user can open in the program the system has for it. The
// page's texts are Unicode, so a message in any script shows as itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "history/DateTime.h"
#include "history/EntryFormat.h"
#include "history/HistoryReader.h"
#include "platform/dialog.h"
#include "ui/StoppableTask.h"

namespace quillet {

// The controls of the dialog that the page works with.
struct HistoryPageControls {
    std::string searchText;    // an edit: the text to find (Enter starts the search)
    std::string contact;       // an edit: only files or names that hold this; empty: everyone
    std::string matchCase;     // a check box: letter case counts
    std::string searchButton;  // starts a search; while one runs, its caption is "Stop"
    std::string results;       // a list view
    std::string count;         // a label under the list: what was found, what could not be read
    std::string entry;         // a read-only text editor: the selected entry, its file and line
    std::string openFile;      // a button: opens the selected entry's file
    std::string progress;      // a progress bar
    // Controls disabled while a search runs (those that save, close or rewrite history files).
    std::vector<std::string> heldWhileRunning;
};

// How many entries a search lists at most: the newest are kept.
inline constexpr std::size_t MostEntriesListed = 10000;

class HistoryPage {
public:
    explicit HistoryPage(HistoryPageControls controls, std::size_t mostListed = MostEntriesListed)
        : controls_(std::move(controls)), mostListed_(mostListed) {}

    // Once the dialog is filled: the list's columns, in the current language, and nothing found.
    void Show(platform::Dialog& form);

    // The dialog's events; those of other controls are let pass. A search looks for the history
    // of the library at `pluginPath`.
    void OnClick(platform::Dialog& form, const std::string& control, const std::string& pluginPath);
    void OnEnterKey(platform::Dialog& form, const std::string& control,
                    const std::string& pluginPath);
    void OnChange(platform::Dialog& form, const std::string& control);
    void OnColumnClick(platform::Dialog& form, const std::string& control, int column);

    // The English texts this page passes through the translation.
    static std::vector<std::string> TranslatedTexts();

    // One entry found, as listed; its text is read again from the file when it is selected.
    struct Found {
        DateTimeFields time;
        EntryDirection direction = EntryDirection::Received;
        std::u16string name;
        std::u16string firstLine;  // at most a list cell's worth of it
        std::size_t file = 0;      // in files_
        std::uint64_t line = 0, offset = 0, size = 0;
    };

    // A file searched: its path, the part of it below the history's root, the contact it
    // stands for (that part without the extension), and its texts' code page.
    struct SearchedFile {
        std::string path;
        std::string shown;
        std::u16string contact;
        unsigned codePage = 0;
    };

private:
    struct Outcome;

    void Search(platform::Dialog& form, const std::string& pluginPath);
    void SearchFiles(platform::Dialog& form, const std::vector<std::string>& paths,
                     const std::string& root, Outcome& outcome);
    void Keep(const HistoryEntry& entry, std::size_t file);
    static std::string CountText(const Outcome& outcome, std::size_t listed);
    void SortBy(int column);
    void ShowResults(platform::Dialog& form);
    void ShowSelectedEntry(platform::Dialog& form);
    void OpenSelectedFile(platform::Dialog& form);
    const Found* Selected(const platform::Dialog& form) const;
    const std::u16string& ContactOf(const Found& found) const;

    HistoryPageControls controls_;
    std::size_t mostListed_;
    StoppableTask task_;
    std::vector<SearchedFile> files_;
    std::vector<Found> found_;        // newest first
    std::vector<std::size_t> order_;  // the rows of the list: positions in found_
    int sortColumn_ = 0;              // the column the list is sorted by
    bool sortAscending_ = false;      // newest first
};

}  // namespace quillet
