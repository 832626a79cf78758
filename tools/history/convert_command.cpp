// "convert": every ANSI history file turned into UTF-8, a line per ANSI file saying what was
// done with it (or, in a dry run, what would be), then a line of totals.
#include "tools/history/command_support.h"
#include "tools/history/progress.h"

namespace quillet::history_tool {

namespace {

constexpr int kExitLeftAlone = 1;

struct Totals {
    std::size_t converted = 0;
    std::size_t alreadyUtf8 = 0;
    std::size_t empty = 0;
    std::size_t leftAlone = 0;
    std::size_t unreadable = 0;  // folders that could not be listed, files that could not be read
};

// True when `codePage` can be that of history files: the system knows it and it keeps ASCII,
// which every entry's header is, as it is. Another would turn every file into something else.
bool IsAnsiLikeCodePage(unsigned codePage) {
    constexpr std::string_view kAscii = "Bob 14:05:09 07/12/2007 (ok)";
    return codePage == 0 || platform::CodePageToWide(codePage, kAscii) ==
                                std::u16string(kAscii.begin(), kAscii.end());
}

void Count(const FileConversion& conversion, Totals& totals) {
    switch (conversion.outcome) {
        case ConversionOutcome::Converted:
            ++totals.converted;
            break;
        case ConversionOutcome::AlreadyUtf8:
            ++totals.alreadyUtf8;
            break;
        case ConversionOutcome::Empty:
            ++totals.empty;
            break;
        case ConversionOutcome::LeftAlone:
            ++totals.leftAlone;
            break;
    }
}

// "PATH: what", for an ANSI file of the survey below `root`.
void PrintFile(std::ostream& out, const std::string& root, const FileConversion& conversion,
               unsigned codePage, bool dryRun) {
    out << NamedFile(conversion.path, root).shown << ": ";
    switch (conversion.outcome) {
        case ConversionOutcome::Converted:
            out << (dryRun ? "would be converted, " : "converted, ") << conversion.bytesBefore
                << " -> " << conversion.bytesAfter << " bytes";
            // Asked for, or kept because the messenger wrote to the file after its conversion.
            if (!conversion.keptAs.empty()) {
                out << ", the ANSI file kept as " << NamedFile(conversion.keptAs, root).shown;
            }
            break;
        // The file changed since the survey: the messenger began it anew.
        case ConversionOutcome::AlreadyUtf8:
            out << "already UTF-8";
            break;
        case ConversionOutcome::Empty:
            out << "empty";
            break;
        case ConversionOutcome::LeftAlone:
            // The description is narrow text of the system, as its error's reason.
            out << "left alone: "
                << platform::WideToUtf8(
                       platform::AnsiToWide(DescribeLeftAlone(conversion, codePage)));
            break;
    }
    out << '\n';
}

void PrintTotals(std::ostream& out, const Totals& totals, bool dryRun) {
    out << (dryRun ? "dry run, nothing written: " : "") << totals.converted
        << (dryRun ? " would be converted, " : " converted, ") << totals.alreadyUtf8
        << " already UTF-8, " << totals.empty << " empty, " << totals.leftAlone << " left alone";
    if (totals.unreadable > 0) out << ", " << totals.unreadable << " could not be read";
    out << '\n';
}

}  // namespace

int RunConvert(const CommonOptions& common, const ConversionOptions& options,
               ToolStreams& streams) {
    if (!IsAnsiLikeCodePage(options.codePage)) {
        streams.err << "quillet-history: code page " << options.codePage
                    << " is not one this system knows for ANSI text\n";
        return kExitError;
    }
    const std::optional<HistoryLocation> location = LocateRoot(common, streams);
    if (!location) return kExitError;
    const FilesToConvert survey = SurveyHistoryFiles(FindHistoryFiles(*location));
    Totals totals;
    totals.alreadyUtf8 = survey.alreadyUtf8;
    totals.empty = survey.empty;
    totals.unreadable = survey.unreadable.size();
    for (const platform::SystemError& error : survey.unreadable) {
        ReportError(streams.err, NamedFile(error.path(), location->root).shown, error);
    }

    const unsigned codePage = options.codePage != 0 ? options.codePage : platform::AnsiCodePage();
    Progress progress(streams.err, streams.progress, survey.ansi.size());
    std::uint64_t toldOfFile = 0;
    ConversionOptions each = options;
    each.onProgress = [&](std::uint64_t bytesDone) {
        if (bytesDone > toldOfFile) progress.AddBytes(bytesDone - toldOfFile);
        toldOfFile = bytesDone;
    };
    for (const std::string& path : survey.ansi) {
        // Nothing is changed that could not be told.
        if (!streams.out) break;
        toldOfFile = 0;
        const FileConversion conversion = ConvertHistoryFile(path, each);
        Count(conversion, totals);
        if (streams.outputOnTerminal) progress.Clear();
        PrintFile(streams.out, location->root, conversion, codePage, options.dryRun);
        progress.FileDone();
    }
    progress.Clear();
    PrintTotals(streams.out, totals, options.dryRun);
    return totals.leftAlone + totals.unreadable > 0 ? kExitLeftAlone : kExitFound;
}

}  // namespace quillet::history_tool
