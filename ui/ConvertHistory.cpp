#include "ui/ConvertHistory.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "config/u_IniSettings.h"
#include "history/HistoryConversion.h"
#include "history/HistoryFiles.h"
#include "platform/platform.h"
#include "ui/BoxCaptions.h"
#include "ui/LanguageSupport.h"

namespace quillet {

namespace {

constexpr const char* Confirm = "History files in ANSI: %1 (%2 MB). Convert them to UTF-8?";
constexpr const char* FolderLine = "Folder: %1";
constexpr const char* NothingToConvert = "There are no ANSI history files to convert.";
constexpr const char* ReportConverted = "Converted to UTF-8: %1 of %2 history files.";
constexpr const char* ReportStopped = "Stopped before the rest; files still in ANSI: %1.";
constexpr const char* ReportLeftAlone = "Left as they were:";
constexpr const char* ReportMore = "and %1 more";
constexpr const char* ReportNewFiles =
    "New history files are written in UTF-8 once you press Save.";
constexpr const char* CancelCaption = "Cancel";

// The report names at most this many files left alone, so that its box fits on the screen.
constexpr std::size_t MostFilesNamed = 15;
// Steps of the progress bar over the whole conversion.
constexpr int ProgressSteps = 1000;

// Megabytes with one decimal, rounded up so that a few bytes do not read as none.
std::string Megabytes(std::uint64_t bytes) {
    constexpr std::uint64_t TenthOfMegabyte = 1024 * 1024 / 10;
    const std::uint64_t tenths = (bytes + TenthOfMegabyte - 1) / TenthOfMegabyte;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

// Files the survey could not read, as conversions left alone for that reason.
std::vector<FileConversion> Unreadable(const FilesToConvert& survey) {
    std::vector<FileConversion> left;
    for (const platform::SystemError& error : survey.unreadable) {
        FileConversion conversion;
        conversion.path = error.path();
        conversion.reason = LeftAloneReason::CannotRead;
        conversion.error = error;
        left.push_back(std::move(conversion));
    }
    return left;
}

// `line` added to `text` after `breaks` line breaks (two: with a blank line between).
void AddLine(std::string& text, std::string_view line, std::size_t breaks = 1) {
    text.append(breaks, '\n');
    text += line;
}

// A heading, then one line per file left alone, up to MostFilesNamed, then how many more;
// nothing when none was.
std::string LeftAloneLines(const std::vector<FileConversion>& left, const std::string& root) {
    if (left.empty()) return {};
    std::string lines;
    AddLine(lines, TranslateAnsi(ReportLeftAlone), 2);
    const unsigned codePage = platform::AnsiCodePage();
    for (std::size_t i = 0; i < left.size() && i < MostFilesNamed; ++i) {
        AddLine(lines,
                PathBelowRoot(left[i].path, root) + ": " + DescribeLeftAlone(left[i], codePage));
    }
    if (left.size() > MostFilesNamed) {
        AddLine(lines, TranslateFilled(ReportMore, std::to_string(left.size() - MostFilesNamed)));
    }
    return lines;
}

void ShowProgress(platform::Dialog& form, const std::string& bar, std::uint64_t done,
                  std::uint64_t total) {
    const std::uint64_t steps =
        total == 0 ? ProgressSteps : std::min(done, total) * ProgressSteps / total;
    form.SetProgress(bar, static_cast<int>(steps), ProgressSteps);
}

}  // namespace

void ConvertHistory::Click(platform::Dialog& form, const std::string& pluginPath) {
    if (task_.running()) {
        task_.AskToStop();
        return;
    }
    const HistoryLocation location = LocateSavedHistory(pluginPath);
    // No history folder yet is no history to convert, and nothing that could not be read.
    const FilesToConvert survey = platform::FolderExists(location.root)
                                      ? SurveyHistoryFiles(FindHistoryFiles(location))
                                      : FilesToConvert{};
    const std::string folder = TranslateFilled(FolderLine, location.root);
    if (survey.ansi.empty()) {
        std::string nothing = TranslateAnsi(NothingToConvert);
        AddLine(nothing, folder, 2);
        form.ShowInformation(nothing + LeftAloneLines(Unreadable(survey), location.root),
                             QuilletCaption);
        return;
    }
    std::string question =
        TranslateFilled(Confirm, std::to_string(survey.ansi.size()), Megabytes(survey.ansiBytes));
    AddLine(question, folder, 2);
    if (!form.AskYesNo(question, QuilletCaption)) return;
    const Outcome outcome = ConvertAll(form, survey);
    form.SetChecked(controls_.utf8Box, true);
    form.ShowInformation(Report(outcome, survey, location.root), QuilletCaption);
}

// Each file in turn, the dialog's messages let run after every piece and every file.
ConvertHistory::Outcome ConvertHistory::ConvertAll(platform::Dialog& form,
                                                   const FilesToConvert& survey) {
    const StoppableTask::Run running(task_, form, controls_.button, TranslateAnsi(CancelCaption),
                                     controls_.heldWhileRunning);
    Outcome outcome;
    outcome.leftAlone = Unreadable(survey);
    std::uint64_t doneBefore = 0;
    ShowProgress(form, controls_.progress, 0, survey.ansiBytes);
    for (const std::string& path : survey.ansi) {
        std::uint64_t doneInFile = 0;
        ConversionOptions options;
        options.onProgress = [&](std::uint64_t bytesDone) {
            doneInFile = bytesDone;
            ShowProgress(form, controls_.progress, doneBefore + bytesDone, survey.ansiBytes);
            form.ProcessMessages();
        };
        FileConversion result = ConvertHistoryFile(path, options);
        ++outcome.attempted;
        doneBefore += std::max(doneInFile, result.bytesBefore);
        if (result.outcome == ConversionOutcome::Converted) ++outcome.converted;
        if (result.outcome == ConversionOutcome::LeftAlone) {
            outcome.leftAlone.push_back(std::move(result));
        }
        ShowProgress(form, controls_.progress, doneBefore, survey.ansiBytes);
        form.ProcessMessages();
        if (task_.stopAsked()) break;
    }
    return outcome;
}

std::string ConvertHistory::Report(const Outcome& outcome, const FilesToConvert& survey,
                                   const std::string& root) {
    const std::size_t total = survey.ansi.size();
    std::string report =
        TranslateFilled(ReportConverted, std::to_string(outcome.converted), std::to_string(total));
    if (outcome.attempted < total) {
        AddLine(report, TranslateFilled(ReportStopped, std::to_string(total - outcome.attempted)));
    }
    report += LeftAloneLines(outcome.leftAlone, root);
    AddLine(report, TranslateAnsi(ReportNewFiles), 2);
    return report;
}

std::vector<std::string> ConvertHistory::TranslatedTexts() {
    return {Confirm,       FolderLine,      NothingToConvert, ReportConverted,
            ReportStopped, ReportLeftAlone, ReportMore,       ReportNewFiles};
}

}  // namespace quillet
