// The options dialog's part in turning old ANSI history files into UTF-8. It finds the history
// as the saved settings place it, asks the user with the figures (how many files, how many
// megabytes), converts the files one by one with a progress bar, and reports what came of it:
// how many were converted, and which were left as they were and why. While it converts, the
// dialog lets its pending messages run between pieces, so that the dialog and the messenger
// keep answering; the button that started it stops it after the file under way (each file is
// converted whole or not at all).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "history/HistoryConversion.h"
#include "platform/dialog.h"
#include "ui/StoppableTask.h"

namespace quillet {

// The controls of the dialog that a conversion works with.
struct ConversionControls {
    std::string button;    // starts a conversion; while one runs, its caption is "Cancel"
    std::string progress;  // a progress bar
    std::string utf8Box;   // the check box for new history files in UTF-8, ticked after one
    // Controls disabled while a conversion runs (those that save or close the dialog).
    std::vector<std::string> heldWhileRunning;
};

class ConvertHistory {
public:
    explicit ConvertHistory(ConversionControls controls) : controls_(std::move(controls)) {}

    // The button was clicked: starts a conversion of the history of the library at
    // `pluginPath`, or asks the one running to stop after its current file.
    void Click(platform::Dialog& form, const std::string& pluginPath);

    // The English texts this part passes through the translation.
    static std::vector<std::string> TranslatedTexts();

private:
    struct Outcome {
        std::size_t converted = 0;
        std::size_t attempted = 0;  // the rest were not begun: the user stopped
        std::vector<FileConversion> leftAlone;
    };

    Outcome ConvertAll(platform::Dialog& form, const FilesToConvert& survey);
    static std::string Report(const Outcome& outcome, const FilesToConvert& survey,
                              const std::string& root);

    ConversionControls controls_;
    StoppableTask task_;
};

}  // namespace quillet
