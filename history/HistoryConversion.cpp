#include "history/HistoryConversion.h"

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <utility>

#include "config/StringOps.h"
#include "history/EntryEncoding.h"

namespace quillet {

namespace {

constexpr std::size_t kPieceSize = 1u << 20;
// A line longer than this is converted in parts: the bytes of a history file's text are
// never held whole.
constexpr std::size_t kLongestLineHeld = 4u << 20;
// How long the conversion waits for the messenger to finish an append and let go of the file,
// in milliseconds: each append holds it for a moment only.
constexpr unsigned kHoldPatienceMs = 5000;

std::string KeptNameOf(const std::string& path) {
    return path + ".ansi";
}

// Whole lines of an ANSI code page made UTF-8. A single-byte code page goes through a table of
// its 128 upper bytes, ASCII as it is; a double-byte one through UTF-16.
class Utf8Transcoder {
public:
    explicit Utf8Transcoder(unsigned codePage)
        : codePage_(codePage), singleByte_(!IsDoubleByteCodePage(codePage)) {
        if (!singleByte_) return;
        for (std::size_t byte = 0x80; byte < 0x100; ++byte) {
            const char single = static_cast<char>(byte);
            upper_[byte - 0x80] =
                platform::WideToUtf8(platform::CodePageToWide(codePage, {&single, 1}));
        }
    }
    unsigned codePage() const { return codePage_; }
    bool singleByte() const { return singleByte_; }

    void Append(std::string_view bytes, std::string& out) const {
        if (!singleByte_) {
            out += platform::WideToUtf8(platform::CodePageToWide(codePage_, bytes));
            return;
        }
        std::size_t at = 0;
        while (at < bytes.size()) {
            const auto high =
                std::find_if(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end(),
                             [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
            const auto ascii = static_cast<std::size_t>(high - bytes.begin()) - at;
            out.append(bytes.data() + at, ascii);
            at += ascii;
            if (at < bytes.size()) out += upper_[static_cast<unsigned char>(bytes[at++]) - 0x80];
        }
    }

private:
    unsigned codePage_;
    bool singleByte_;
    std::array<std::string, 128> upper_;
};

enum class Step { Reading, Replacing };

// Where a conversion stands: it takes the file's bytes piece by piece, checks and converts whole
// lines, and writes them to the new file (none for a dry run).
class Converting {
public:
    Converting(const Utf8Transcoder& transcoder, platform::FileReplacement* output,
               FileConversion& result, Step& step)
        : transcoder_(transcoder), output_(output), result_(result), step_(step) {
        Write(Utf8ByteOrderMark);
    }

    // False when the bytes are at fault: the result then says where.
    bool Take(std::string_view piece, bool atEnd) {
        result_.bytesBefore += piece.size();
        held_.append(piece);
        std::size_t cut = held_.size();
        if (!atEnd && held_.size() <= kLongestLineHeld) {
            const std::size_t lastBreak = held_.rfind('\n');
            cut = lastBreak == std::string::npos ? 0 : lastBreak + 1;
        }
        const bool fine = Convert(std::string_view(held_).substr(0, cut));
        held_.erase(0, cut);
        return fine;
    }

private:
    bool Convert(std::string_view lines) {
        if (lines.empty()) return true;
        if (const auto fault =
                FindEncodingFault(lines, transcoder_.codePage(), transcoder_.singleByte())) {
            result_.outcome = ConversionOutcome::LeftAlone;
            result_.reason = fault->utf8InAnsiFile ? LeftAloneReason::MixedEncodings
                                                   : LeftAloneReason::InvalidBytes;
            result_.line = linesDone_ + 1 + LinesIn(lines.substr(0, fault->lineBegin));
            return false;
        }
        linesDone_ += LinesIn(lines);
        converted_.clear();
        transcoder_.Append(lines, converted_);
        Write(converted_);
        return true;
    }
    static std::uint64_t LinesIn(std::string_view bytes) {
        return static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    }
    void Write(std::string_view bytes) {
        result_.bytesAfter += bytes.size();
        if (!output_) return;
        step_ = Step::Replacing;
        output_->Write(bytes);
        step_ = Step::Reading;
    }

    const Utf8Transcoder& transcoder_;
    platform::FileReplacement* output_;
    FileConversion& result_;
    Step& step_;        // what a failure is a failure of
    std::string held_;  // the start of a line whose end is still to come
    std::string converted_;
    std::uint64_t linesDone_ = 0;
};

// Opens the file so that no one may write to it until the object goes, waiting for a writer
// that has it open to let go.
std::unique_ptr<platform::FileReader> HoldAgainstWriters(const std::string& path) {
    unsigned waited = 0;
    for (;;) {
        try {
            return std::make_unique<platform::FileReader>(
                path, platform::FileReader::Sharing::ReadAndDelete);
        } catch (const platform::SystemError& error) {
            if (!platform::NamesSharingViolation(error) || waited >= kHoldPatienceMs) throw;
            platform::Pause(platform::kHeldFileFirstPauseMs);
            waited += platform::kHeldFileFirstPauseMs;
        }
    }
}

// The old contents, under the replace's backup name, go once they are known to be what was
// converted; kept as "<name>.ansi" when asked for, or when the messenger wrote to the file in
// the moment between the last look and the replace (a system without sharing modes).
// The file is converted by then, so what fails here leaves the backup where it is and is no
// failure of the conversion.
void SettleBackup(const std::string& path, bool keep, FileConversion& result) {
    const std::string backup = platform::BackupNameOf(path);
    const platform::FileLook look = platform::LookAtFile(backup);
    const bool asConverted =
        look.kind == platform::FileLook::Kind::File && look.stamp.size == result.bytesBefore;
    try {
        if (keep || !asConverted) {
            result.keptAs = backup;
            platform::RemoveFile(KeptNameOf(path));
            platform::RenameFile(backup, KeptNameOf(path));
            result.keptAs = KeptNameOf(path);
        } else {
            platform::RemoveFile(backup);
        }
    } catch (const platform::SystemError&) {
    }
}

// Reads the rest of the file into the conversion; false when the bytes are at fault.
bool TakeRest(platform::FileReader& reader, std::string& piece, Converting& converting, bool atEnd,
              const std::function<void(std::uint64_t)>& onProgress, const FileConversion& result) {
    for (;;) {
        const std::size_t got = reader.Read(piece.data(), piece.size());
        if (got == 0) return converting.Take({}, atEnd);
        if (!converting.Take(std::string_view(piece).substr(0, got), false)) return false;
        if (onProgress) onProgress(result.bytesBefore);
    }
}

// True when a replace of the file was cut short between its moves and the file was begun anew
// since: the backup beside it is another file than the file itself. A new replace would take
// the backup for a leftover and remove it, with the history it holds; the user decides. (After
// a cut natively between the backup's link and the move, both names are one file.)
bool CutShortBefore(const std::string& path) {
    const platform::FileLook backup = platform::LookAtFile(platform::BackupNameOf(path));
    if (backup.kind == platform::FileLook::Kind::Missing) return false;
    const platform::FileLook file = platform::LookAtFile(path);
    return backup.kind != file.kind || !(backup.stamp == file.stamp);
}

void Convert(const std::string& path, const ConversionOptions& options, FileConversion& result,
             Step& step) {
    const unsigned codePage = options.codePage ? options.codePage : platform::AnsiCodePage();
    platform::FileReader reader(path);
    std::string piece(kPieceSize, '\0');
    const std::size_t first = reader.Read(piece.data(), piece.size());
    const std::string_view start = std::string_view(piece).substr(0, first);
    if (start.empty()) {
        result.outcome = ConversionOutcome::Empty;
        return;
    }
    if (start.substr(0, Utf8ByteOrderMark.size()) == Utf8ByteOrderMark) {
        result.outcome = ConversionOutcome::AlreadyUtf8;
        return;
    }
    if (CutShortBefore(path)) {
        result.reason = LeftAloneReason::CutShortBefore;
        return;
    }
    step = Step::Replacing;
    std::optional<platform::FileReplacement> output;
    if (!options.dryRun) output.emplace(path);
    step = Step::Reading;
    const Utf8Transcoder transcoder(codePage);
    Converting converting(transcoder, output ? &*output : nullptr, result, step);
    if (!converting.Take(start, false)) return;
    if (options.onProgress) options.onProgress(result.bytesBefore);
    if (!TakeRest(reader, piece, converting, options.dryRun, options.onProgress, result)) return;
    if (options.dryRun) {
        result.outcome = ConversionOutcome::Converted;
        return;
    }
    // What the messenger appended meanwhile is converted while no one may write, then the new
    // file goes in place before the file is let go. Nothing is told meanwhile: the dialog lets
    // the host's events run when told, and a message's append on this very thread would wait
    // for the hold in vain.
    const auto hold = HoldAgainstWriters(path);
    if (!TakeRest(reader, piece, converting, true, {}, result)) return;
    step = Step::Replacing;
    output->PutInPlace();
    result.outcome = ConversionOutcome::Converted;
    SettleBackup(path, options.keepBackup, result);
}

}  // namespace

FileConversion ConvertHistoryFile(const std::string& path, const ConversionOptions& options) {
    FileConversion result;
    result.path = path;
    Step step = Step::Reading;
    try {
        Convert(path, options, result, step);
    } catch (const platform::SystemError& error) {
        result.outcome = ConversionOutcome::LeftAlone;
        result.reason =
            step == Step::Reading ? LeftAloneReason::CannotRead : LeftAloneReason::CannotReplace;
        result.error = error;
    }
    return result;
}

std::string DescribeLeftAlone(const FileConversion& conversion, unsigned codePage) {
    const std::string code = std::to_string(codePage ? codePage : platform::AnsiCodePage());
    const std::string line = std::to_string(conversion.line);
    switch (conversion.reason) {
        case LeftAloneReason::None:
            return {};
        case LeftAloneReason::InvalidBytes:
            return "bytes that code page " + code + " does not define, at line " + line;
        case LeftAloneReason::MixedEncodings:
            return "UTF-8 among the ANSI text at line " + line + ": the file mixes encodings";
        case LeftAloneReason::CannotRead:
            return "cannot be read: " + (conversion.error ? conversion.error->reason() : "");
        case LeftAloneReason::CannotReplace:
            return "cannot be replaced: " + (conversion.error ? conversion.error->reason() : "");
        case LeftAloneReason::CutShortBefore: {
            const std::string backup = platform::BackupNameOf(conversion.path);
            return "an earlier conversion was cut short, and " +
                   backup.substr(FolderOf(backup).size()) +
                   " beside it holds the history the file had then: keep what you need of it, "
                   "then delete it";
        }
    }
    return {};
}

FilesToConvert SurveyHistoryFiles(const FoundHistoryFiles& found) {
    FilesToConvert survey;
    survey.unreadable = found.unreadable;
    for (const std::string& path : found.paths) {
        try {
            platform::FileReader reader(path);
            std::array<char, Utf8ByteOrderMark.size()> head{};
            const std::size_t got = reader.Read(head.data(), head.size());
            if (got == 0) {
                ++survey.empty;
            } else if (std::string_view(head.data(), got) == Utf8ByteOrderMark) {
                ++survey.alreadyUtf8;
            } else {
                survey.ansi.push_back(path);
                survey.ansiBytes += reader.Size();
            }
        } catch (const platform::SystemError& error) {
            survey.unreadable.push_back(error);
        }
    }
    return survey;
}

}  // namespace quillet
