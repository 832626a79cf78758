// Turning old ANSI history files into UTF-8: the same characters, byte for byte in meaning, with
// the mark EF BB BF in front, so that every later entry of the contact can hold any character.
//
// A file is converted whole or not at all, through the platform's one replace of a file's
// contents. The messenger may go on appending meanwhile (the tool runs in another process; the
// options dialog pumps the host's events between pieces): what is there is converted first, then
// the file is held against writers for as long as it takes to convert what arrived meanwhile and
// put the new file in place, so every entry ends up in the new file once and in order. A writer
// that meets the held file waits, as every append waits for a file held by another program.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/HistoryFiles.h"
#include "platform/platform.h"

namespace quillet {

enum class ConversionOutcome {
    Converted,    // the file is UTF-8 now
    AlreadyUtf8,  // it began with the mark: left as it is
    Empty,        // nothing to convert: left as it is (its first entry follows the setting)
    LeftAlone,    // a fault (below) keeps the file as it was
};

enum class LeftAloneReason {
    None,
    InvalidBytes,    // bytes the code page does not define, at `line`
    MixedEncodings,  // UTF-8 among the ANSI text, at `line`: a file of two encodings
    CannotRead,      // `error` tells why
    CannotReplace,   // the new file could not be written or put in place: `error` tells why
    // An earlier conversion was cut short between its moves, and "<name>.quillet-old" beside the
    // file holds what the file held then; the messenger may have begun the file anew since.
    CutShortBefore,
};

struct FileConversion {
    std::string path;
    ConversionOutcome outcome = ConversionOutcome::LeftAlone;
    LeftAloneReason reason = LeftAloneReason::None;
    std::uint64_t line = 0;  // from 1, for InvalidBytes and MixedEncodings
    std::optional<platform::SystemError> error;
    std::uint64_t bytesBefore = 0;  // the file's size as converted (what it held at the end)
    std::uint64_t bytesAfter = 0;   // the UTF-8 file's size (as it would be, for a dry run)
    // Where the ANSI file was kept beside the new one ("<name>.ansi"): when asked for, or when
    // the messenger wrote to it after it was converted, so that nothing it holds is lost.
    std::string keptAs;
};

// Why a file was left alone, in a short English sentence ("invalid bytes for code page 1252 at
// line 12"); empty when it was not.
std::string DescribeLeftAlone(const FileConversion& conversion, unsigned codePage);

struct ConversionOptions {
    // The code page of the ANSI files; 0: the system's ANSI code page.
    unsigned codePage = 0;
    // Check and count only: nothing is written.
    bool dryRun = false;
    // Keep the ANSI file beside the new one as "<name>.ansi" (never taken for a history file).
    bool keepBackup = false;
    // Told the bytes of the file converted so far after every piece (about a megabyte), for a
    // progress display; the dialog pumps its messages here.
    std::function<void(std::uint64_t bytesDone)> onProgress;
};

// Converts one history file. Never throws for the file's sake: what went wrong is in the result,
// and the file is then as it was.
FileConversion ConvertHistoryFile(const std::string& path, const ConversionOptions& options);

// The history files of a tree sorted by what a conversion would do with them.
struct FilesToConvert {
    std::vector<std::string> ansi;  // ANSI files that hold something, in path order
    std::uint64_t ansiBytes = 0;    // their sizes together
    std::size_t alreadyUtf8 = 0;
    std::size_t empty = 0;
    // Folders that could not be listed and files that could not be opened.
    std::vector<platform::SystemError> unreadable;
};

// Looks at the first bytes of every file found.
FilesToConvert SurveyHistoryFiles(const FoundHistoryFiles& found);

}  // namespace quillet
