#include "history/HistoryReader.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/platform.h"

namespace quillet {

namespace {

constexpr unsigned kUtf8CodePage = 65001;
constexpr std::size_t kSeparatorLength = 40;
// A name line is never longer: a longer line after a separator is text.
constexpr std::size_t kMaxNameLineBytes = 4096;
// What must be in the buffer to decide whether an entry starts at a line: the separator, its
// line break and a whole name line with its own.
constexpr std::size_t kEntryStartBytes = kSeparatorLength + 2 + kMaxNameLineBytes + 2;
constexpr std::size_t kDateLength = 10;  // "DD/MM/YYYY"

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int Number(std::string_view digits) {
    int value = 0;
    for (const char c : digits) value = value * 10 + (c - '0');
    return value;
}

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), IsDigit);
}

// Newlines in `bytes`, sixteen at a time: a file is counted through whole when its entries carry
// line numbers, so this runs over every byte. (GCC's and clang's vector extensions: SSE2 where
// the target has it, plain code elsewhere.)
std::uint64_t CountNewlines(std::string_view bytes) {
    using Bytes16 = unsigned char __attribute__((vector_size(16)));
    constexpr std::size_t kWidth = sizeof(Bytes16);
    constexpr std::size_t kRounds = 255;  // a lane counts to 255 before it is added up
    const Bytes16 zero = {};
    const Bytes16 newline = zero + static_cast<unsigned char>('\n');
    std::uint64_t count = 0;
    std::size_t i = 0;
    while (i + kWidth <= bytes.size()) {
        Bytes16 lanes = {};
        for (std::size_t round = 0; round < kRounds && i + kWidth <= bytes.size();
             ++round, i += kWidth) {
            Bytes16 block;
            std::memcpy(&block, bytes.data() + i, kWidth);
            lanes -= reinterpret_cast<Bytes16>(block == newline);  // a match is all ones: -1
        }
        for (std::size_t lane = 0; lane < kWidth; ++lane) count += lanes[lane];
    }
    for (; i < bytes.size(); ++i) count += bytes[i] == '\n';
    return count;
}

// A line of the buffer: its content and where the next line starts.
struct LineSpan {
    std::size_t begin = 0;
    std::size_t end = 0;   // the content's end, before CR LF or LF
    std::size_t next = 0;  // after the line break
    bool lineFeedAlone = false;
    bool ended = false;  // false: the line runs to the end of the bytes without a break
};

LineSpan LineFrom(std::string_view bytes, std::size_t begin, std::size_t limit) {
    LineSpan line;
    line.begin = begin;
    const std::size_t searchEnd = std::min(bytes.size(), begin + limit);
    const void* found = std::memchr(bytes.data() + begin, '\n', searchEnd - begin);
    if (found == nullptr) {
        line.end = line.next = searchEnd;
        return line;
    }
    const auto newline = static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
    line.ended = true;
    line.next = newline + 1;
    line.lineFeedAlone = newline == begin || bytes[newline - 1] != '\r';
    line.end = line.lineFeedAlone ? newline : newline - 1;
    return line;
}

// The direction a separator line's content gives, if it is one.
std::optional<EntryDirection> SeparatorDirection(std::string_view content) {
    if (content == ReceivedSeparator) return EntryDirection::Received;
    if (content == SentSeparator) return EntryDirection::Sent;
    return std::nullopt;
}

// The first position at or after `from` where a separator line could begin, or npos: a run
// of exactly 38 hyphens at a line start, followed by "<" or ">" or by the end of the bytes
// (which may be too few to tell). Only every 38th byte is looked at while none is a hyphen: a
// run of 38 hyphens must cover one of them. `lineStart` is a position that begins a line without
// a line feed before it (the end of the byte-order mark).
std::size_t FindSeparatorCandidate(std::string_view bytes, std::size_t from,
                                   std::size_t lineStart) {
    std::size_t i = from + SeparatorHyphens - 1;
    while (i < bytes.size()) {
        if (bytes[i] != '-') {
            i += SeparatorHyphens;
            continue;
        }
        std::size_t runStart = i;
        while (runStart > from && bytes[runStart - 1] == '-') --runStart;
        std::size_t runEnd = i;
        while (runEnd < bytes.size() && bytes[runEnd] == '-') ++runEnd;
        const bool atLineStart =
            runStart == 0 || runStart == lineStart || bytes[runStart - 1] == '\n';
        if (atLineStart && runEnd - runStart == SeparatorHyphens &&
            (runEnd == bytes.size() || bytes[runEnd] == '<' || bytes[runEnd] == '>')) {
            return runStart;
        }
        i = runEnd + SeparatorHyphens;
    }
    return std::string_view::npos;
}

// The parts of a name line "NAME (TIME DD/MM/YYYY)", as positions in the line.
struct NameLine {
    std::size_t nameEnd = 0;    // the name is line[0, nameEnd)
    std::size_t whenBegin = 0;  // the time and date are line[whenBegin, whenEnd)
    std::size_t whenEnd = 0;
    std::string_view designator;  // empty for a 24-hour time
    DateTimeFields time;
};

// The time "H:MM:SS", "HH.MM.SS", "H:MM:SS PM", "PM H:MM:SS"… with any separator that is not
// a digit, the same twice, and a designator before or after it.
bool ParseTime(std::string_view text, NameLine& parsed) {
    const std::size_t first = text.find_first_of("0123456789");
    const std::size_t last = text.find_last_of("0123456789");
    if (first == std::string_view::npos) return false;
    const std::string_view before = text.substr(0, first);
    const std::string_view after = text.substr(last + 1);
    if (!before.empty() && !after.empty()) return false;
    if (!before.empty()) {
        if (before.size() < 2 || before.back() != ' ') return false;
        parsed.designator = before.substr(0, before.size() - 1);
    } else if (!after.empty()) {
        if (after.size() < 2 || after.front() != ' ') return false;
        parsed.designator = after.substr(1);
    }
    const std::string_view clock = text.substr(first, last + 1 - first);
    std::size_t hourDigits = 0;
    while (hourDigits < clock.size() && IsDigit(clock[hourDigits])) ++hourDigits;
    if (hourDigits < 1 || hourDigits > 2 || clock.size() < hourDigits + 6) return false;
    const std::size_t separatorLength = (clock.size() - hourDigits - 4) / 2;
    if (separatorLength == 0 || hourDigits + 2 * separatorLength + 4 != clock.size()) return false;
    const std::string_view separator = clock.substr(hourDigits, separatorLength);
    const std::string_view minutes = clock.substr(hourDigits + separatorLength, 2);
    const std::string_view secondSeparator =
        clock.substr(hourDigits + separatorLength + 2, separatorLength);
    const std::string_view seconds = clock.substr(clock.size() - 2);
    if (separator != secondSeparator ||
        separator.find_first_of("0123456789") != std::string_view::npos || !AllDigits(minutes) ||
        !AllDigits(seconds)) {
        return false;
    }
    parsed.time.hour = Number(clock.substr(0, hourDigits));
    parsed.time.minute = Number(minutes);
    parsed.time.second = Number(seconds);
    const int maxHour = parsed.designator.empty() ? 23 : 12;
    return parsed.time.hour <= maxHour && parsed.time.minute < 60 && parsed.time.second < 60;
}

// "DD/MM/YYYY" with a day that month can have.
bool ParseDate(std::string_view text, DateTimeFields& time) {
    if (text.size() != kDateLength || text[2] != '/' || text[5] != '/') return false;
    const std::string_view day = text.substr(0, 2), month = text.substr(3, 2),
                           year = text.substr(6);
    if (!AllDigits(day) || !AllDigits(month) || !AllDigits(year)) return false;
    time.day = Number(day);
    time.month = Number(month);
    time.year = Number(year);
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return time.month >= 1 && time.month <= 12 && time.day >= 1 &&
           time.day <= kDays[time.month - 1];
}

std::optional<NameLine> ParseNameLine(std::string_view line) {
    // "NAME (" TIME " " DATE ")": the date and the brackets are fixed, the time is what lies
    // between the last " (" and the date.
    constexpr std::size_t kDateTail = 1 + kDateLength + 1;  // " DD/MM/YYYY)"
    if (line.size() < kDateTail + 2 || line.back() != ')' || line[line.size() - kDateTail] != ' ') {
        return std::nullopt;
    }
    NameLine parsed;
    if (!ParseDate(line.substr(line.size() - 1 - kDateLength, kDateLength), parsed.time)) {
        return std::nullopt;
    }
    const std::size_t open = line.rfind(" (", line.size() - kDateTail);
    if (open == std::string_view::npos) return std::nullopt;
    parsed.nameEnd = open;
    parsed.whenBegin = open + 2;
    parsed.whenEnd = line.size() - 1;
    if (parsed.whenBegin >= line.size() - kDateTail) return std::nullopt;
    if (!ParseTime(line.substr(parsed.whenBegin, line.size() - kDateTail - parsed.whenBegin),
                   parsed)) {
        return std::nullopt;
    }
    return parsed;
}

}  // namespace

std::string_view DescribeReadProblem(ReadProblem problem) {
    switch (problem) {
        case ReadProblem::TextBeforeFirstEntry:
            return "text that is not an entry";
        case ReadProblem::EntryCutOff:
            return "the last entry is cut off (no empty line at its end)";
        case ReadProblem::MissingEmptyLine:
            return "no empty line before the next entry";
        case ReadProblem::LineFeedAlone:
            return "a line ends in LF without CR";
        case ReadProblem::InvalidBytes:
            return "bytes that are not valid in the file's encoding";
        case ReadProblem::Utf8InAnsiFile:
            return "UTF-8 text in a file that is not UTF-8";
        case ReadProblem::UnknownDesignator:
            return "a time with an unknown morning or afternoon designator";
        case ReadProblem::EntryTooLong:
            return "an entry too long to read whole: its text is cut";
    }
    return "unknown";
}

ReaderOptions DefaultReaderOptions() {
    ReaderOptions options;
    options.codePage = platform::AnsiCodePage();
    const platform::TimeFormat format = platform::UserTimeFormat();
    if (!format.am.empty()) options.amDesignators.push_back(platform::AnsiToWide(format.am));
    if (!format.pm.empty()) options.pmDesignators.push_back(platform::AnsiToWide(format.pm));
    return options;
}

class HistoryReader::Impl {
public:
    Impl(ByteSource source, ReaderOptions options)
        : source_(std::move(source)), options_(std::move(options)) {
        if (options_.codePage == 0) options_.codePage = platform::AnsiCodePage();
        options_.pieceSize = std::max<std::size_t>(options_.pieceSize, 1);
        options_.maxEntryBytes = std::max(options_.maxEntryBytes, kEntryStartBytes);
        codePage_ = options_.codePage;
    }

    bool Next(HistoryEntry& entry) {
        if (!started_) Start();
        if (!current_) return false;
        if (candidates_.find && !SkipToCandidate()) {
            current_.reset();
            return false;
        }
        const std::uint64_t start = *current_;
        keepFrom_ = start;
        const std::uint64_t end = FindEntryEnd(start);
        ReadEntry(start, end, entry);
        if (eof_ && end >= total()) {
            current_.reset();
        } else {
            current_ = keepFrom_ = end;
        }
        return true;
    }

    std::vector<ReadNote> TakeNotes() { return std::exchange(notes_, {}); }
    EntryEncoding encoding() const { return encoding_; }
    unsigned codePage() const { return codePage_; }
    std::uint64_t bytesRead() const { return total(); }

private:
    // ---- The buffer: the file's bytes from bufferOffset_ on ----------------------------------

    std::uint64_t total() const { return bufferOffset_ + length_; }
    std::size_t Index(std::uint64_t offset) const {
        return static_cast<std::size_t>(offset - bufferOffset_);
    }
    std::string_view Bytes() const { return {buffer_.get(), length_}; }
    // Where the first line begins, in the buffer (after a byte-order mark); npos once let go.
    std::size_t FirstLineIndex() const {
        return firstLine_ >= bufferOffset_ ? Index(firstLine_) : std::string_view::npos;
    }

    // Reads one more piece, or what fits; false at the end of the file. Room is made first by
    // letting go of the bytes before keepFrom_, once they are half the storage (so bytes are
    // moved rarely), and only then by growing it.
    bool Fill() {
        if (eof_) return false;
        if (length_ == capacity_ && Index(keepFrom_) >= capacity_ / 2 && Index(keepFrom_) > 0) {
            DropBefore(keepFrom_);
        }
        if (length_ == capacity_) Grow();
        const std::size_t got =
            source_(buffer_.get() + length_, std::min(options_.pieceSize, capacity_ - length_));
        length_ += got;
        if (got == 0) eof_ = true;
        if (got != 0 && options_.onRead) options_.onRead(got);
        return got != 0;
    }

    // Makes the storage larger by a piece, at least doubling it. It is never cleared: filling
    // it with zeros would cost as much as reading into it.
    void Grow() {
        const std::size_t capacity = std::max(capacity_ * 2, capacity_ + options_.pieceSize);
        auto larger = std::make_unique_for_overwrite<char[]>(capacity);
        if (length_ != 0) std::memcpy(larger.get(), buffer_.get(), length_);
        buffer_ = std::move(larger);
        capacity_ = capacity;
    }

    // Makes the buffer hold the file up to `offset`, or to its end when that comes first.
    void HaveUpTo(std::uint64_t offset) {
        while (total() < offset && Fill()) {
        }
    }

    // Forgets the bytes before `offset`, counting their lines first.
    void DropBefore(std::uint64_t offset) {
        CountLinesUpTo(offset);
        const std::size_t drop = Index(offset);
        std::memmove(buffer_.get(), buffer_.get() + drop, length_ - drop);
        length_ -= drop;
        bufferOffset_ = offset;
    }

    // The number of the line that holds `offset`, which must still be in the buffer and at or
    // after every offset asked before.
    std::uint64_t LineAt(std::uint64_t offset) {
        CountLinesUpTo(offset);
        return linesBefore_ + 1;
    }

    void CountLinesUpTo(std::uint64_t offset) {
        if (offset <= countedTo_) return;
        linesBefore_ += CountNewlines(Bytes().substr(Index(countedTo_), offset - countedTo_));
        countedTo_ = offset;
    }

    // ---- Entry starts ------------------------------------------------------------------------

    enum class StartAnswer { Yes, No, NeedMore };

    // Whether an entry starts at `offset`, a line start in the buffer.
    StartAnswer EntryStartsAt(std::uint64_t offset) const {
        const std::string_view bytes = Bytes();
        const std::size_t at = Index(offset);
        const LineSpan separator = LineFrom(bytes, at, kSeparatorLength + 2);
        if (!separator.ended) {
            const bool tooLong = separator.end - at >= kSeparatorLength + 2;
            return eof_ || tooLong ? StartAnswer::No : StartAnswer::NeedMore;
        }
        if (!SeparatorDirection(bytes.substr(at, separator.end - at))) return StartAnswer::No;
        const LineSpan name = LineFrom(bytes, separator.next, kMaxNameLineBytes + 2);
        const std::size_t length = name.end - name.begin;
        if (length > kMaxNameLineBytes) return StartAnswer::No;
        if (!name.ended && !eof_) return StartAnswer::NeedMore;
        return ParseNameLine(bytes.substr(name.begin, length)) ? StartAnswer::Yes : StartAnswer::No;
    }

    // The first entry start at or after `from` (a line start), reading on as far as needed; the
    // end of the file when there is none. While the entry that began at `entryStart` grows
    // longer than the reader keeps, its head is set aside and the bytes after it are let go.
    std::uint64_t FindStartFrom(std::uint64_t from, std::uint64_t entryStart) {
        std::uint64_t searchFrom = from;
        bool lookedAtTheEnd = false;
        for (;;) {
            const std::size_t found =
                FindSeparatorCandidate(Bytes(), Index(searchFrom), FirstLineIndex());
            if (found != std::string_view::npos) {
                const std::uint64_t candidate = bufferOffset_ + found;
                const StartAnswer answer = EntryStartsAt(candidate);
                if (answer == StartAnswer::Yes) return candidate;
                if (answer == StartAnswer::No) {
                    searchFrom = candidate + 1;
                    continue;
                }
                searchFrom = candidate;
            } else if (total() - searchFrom > kSeparatorLength) {
                // A separator may begin in the last bytes, too few to show it yet.
                searchFrom = total() - kSeparatorLength;
            }
            if (!Fill()) {
                // Once more, now that the end is known: a name line may end with the file.
                if (lookedAtTheEnd) return total();
                lookedAtTheEnd = true;
            }
            KeepBounded(entryStart, searchFrom);
        }
    }

    void KeepBounded(std::uint64_t entryStart, std::uint64_t searchFrom) {
        if (total() - entryStart <= options_.maxEntryBytes + options_.pieceSize) return;
        if (!longEntryHead_) {
            lineOfLongEntry_ = LineAt(entryStart);
            longEntryHead_ = std::string(Bytes().substr(Index(entryStart), options_.maxEntryBytes));
        }
        const std::uint64_t keep = std::min<std::uint64_t>(searchFrom, total() - kEntryStartBytes);
        if (keep > bufferOffset_) {
            keepFrom_ = keep;
            DropBefore(keep);
        }
    }

    // ---- Reading -----------------------------------------------------------------------------

    void Start() {
        started_ = true;
        HaveUpTo(Utf8ByteOrderMark.size());
        const bool utf8 = Bytes().substr(0, Utf8ByteOrderMark.size()) == Utf8ByteOrderMark;
        encoding_ = utf8 ? EntryEncoding::Utf8 : EntryEncoding::Ansi;
        codePage_ = utf8 ? kUtf8CodePage : options_.codePage;
        // In a double-byte code page many character pairs are valid UTF-8 too, so UTF-8 cannot be
        // told from its own text there.
        lookForUtf8_ = !utf8 && !IsDoubleByteCodePage(codePage_);
        if (options_.candidatesFor) candidates_ = options_.candidatesFor(codePage_);
        const std::uint64_t begin = utf8 ? Utf8ByteOrderMark.size() : 0;
        firstLine_ = begin;
        const std::uint64_t first = FindStartFrom(begin, begin);
        longEntryHead_.reset();
        if (first > begin)
            notes_.push_back({ReadProblem::TextBeforeFirstEntry, 1, begin, first - begin});
        if (first < total()) current_ = keepFrom_ = first;
    }

    // Moves current_ to the entry that holds the next candidate; false when no entry after it
    // holds one.
    bool SkipToCandidate() {
        std::uint64_t searchFrom = *current_;
        for (;;) {
            const std::size_t found = candidates_.find(Bytes().substr(Index(searchFrom)));
            if (found != std::string_view::npos) {
                current_ = EntryStartBefore(searchFrom + found);
                return true;
            }
            if (eof_) return false;
            // None so far: one may still begin in the last bytes. Entries before the last start
            // among the bytes hold none and are let go.
            searchFrom =
                std::max(searchFrom, total() - std::min<std::uint64_t>(total(), candidates_.span));
            const std::uint64_t last = EntryStartBefore(searchFrom);
            if (last > *current_) current_ = keepFrom_ = last;
            // An entry too long to hold while looking: read as it comes, like any other.
            if (total() - *current_ > options_.maxEntryBytes) return true;
            Fill();
        }
    }

    // The start of the entry that holds `offset`: the last line at or before it where an entry
    // starts, never before current_.
    std::uint64_t EntryStartBefore(std::uint64_t offset) const {
        const std::string_view bytes = Bytes();
        const std::size_t low = Index(*current_);
        std::size_t at = Index(std::min(offset, total()));
        while (at > low) {
            const std::size_t newline = bytes.rfind('\n', at - 1);
            const std::size_t lineStart =
                newline == std::string_view::npos || newline < low ? low : newline + 1;
            if (lineStart <= low) break;
            if (lineStart < bytes.size() && bytes[lineStart] == '-' &&
                EntryStartsAt(bufferOffset_ + lineStart) == StartAnswer::Yes) {
                return bufferOffset_ + lineStart;
            }
            at = lineStart - 1;
        }
        return *current_;
    }

    // The end of the entry that starts at `start`: the next entry's start, or the end of the
    // file.
    std::uint64_t FindEntryEnd(std::uint64_t start) {
        longEntryHead_.reset();
        HaveUpTo(start + kEntryStartBytes);
        const std::string_view bytes = Bytes();
        const LineSpan separator = LineFrom(bytes, Index(start), kSeparatorLength + 2);
        const LineSpan name = LineFrom(bytes, separator.next, kMaxNameLineBytes + 2);
        return FindStartFrom(bufferOffset_ + name.next, start);
    }

    void ReadEntry(std::uint64_t start, std::uint64_t end, HistoryEntry& entry) {
        // An entry longer than the reader keeps is cut to its head, however it was read.
        const bool cut = end - start > options_.maxEntryBytes;
        if (!longEntryHead_) HaveUpTo(end);
        const std::string_view bytes =
            longEntryHead_ ? std::string_view(*longEntryHead_)
                           : Bytes().substr(Index(start), std::min<std::uint64_t>(
                                                              end - start, options_.maxEntryBytes));
        const LineSpan separator = LineFrom(bytes, 0, kSeparatorLength + 2);
        const LineSpan nameSpan = LineFrom(bytes, separator.next, kMaxNameLineBytes + 2);
        const std::string_view nameLine =
            bytes.substr(nameSpan.begin, nameSpan.end - nameSpan.begin);
        const NameLine parsed = *ParseNameLine(nameLine);

        entry.offset = start;
        entry.size = end - start;
        entry.line = longEntryHead_ ? lineOfLongEntry_ : LineAt(start);
        entry.direction = *SeparatorDirection(bytes.substr(0, separator.end));
        entry.name = platform::CodePageToWide(codePage_, nameLine.substr(0, parsed.nameEnd));
        entry.timeText = platform::CodePageToWide(
            codePage_, nameLine.substr(parsed.whenBegin, parsed.whenEnd - parsed.whenBegin));
        entry.time = parsed.time;
        const auto note = [&](ReadProblem problem, std::size_t at) {
            const std::uint64_t line = entry.line + CountNewlines(bytes.substr(0, at));
            notes_.push_back({problem, line, start + at, 0});
        };
        if (separator.lineFeedAlone || nameSpan.lineFeedAlone) {
            note(ReadProblem::LineFeedAlone, separator.lineFeedAlone ? 0 : nameSpan.begin);
        }
        if (!ApplyDesignator(parsed.designator, entry.time))
            note(ReadProblem::UnknownDesignator, nameSpan.begin);
        CheckBytes(bytes, note);

        std::string_view text = bytes.substr(nameSpan.next);
        if (cut) {
            note(ReadProblem::EntryTooLong, 0);
        } else {
            const Closing closing = ClosingOf(text);
            text = closing.text;
            const bool atEnd = eof_ && end >= total();
            if (closing.problem == ReadProblem::MissingEmptyLine && atEnd) {
                note(ReadProblem::EntryCutOff, bytes.size() - (bytes.back() == '\n' ? 1 : 0));
            } else if (closing.problem) {
                note(*closing.problem, bytes.size() - 1);
            }
        }
        entry.text = platform::CodePageToWide(codePage_, text);
        longEntryHead_.reset();
    }

    // The text of an entry's body without the two line breaks that close it (the text's own and
    // the empty line's), and what is wrong with them.
    struct Closing {
        std::string_view text;
        std::optional<ReadProblem> problem;
    };
    static Closing ClosingOf(std::string_view body) {
        const auto stripBreak = [](std::string_view& text) -> int {
            if (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n") {
                text.remove_suffix(2);
                return 2;
            }
            if (!text.empty() && text.back() == '\n') {
                text.remove_suffix(1);
                return 1;
            }
            return 0;
        };
        std::string_view text = body;
        const int last = stripBreak(text);
        std::string_view before = text;
        const int previous = last != 0 ? stripBreak(before) : 0;
        if (previous == 0) return {text, ReadProblem::MissingEmptyLine};
        if (last == 1 || previous == 1) return {before, ReadProblem::LineFeedAlone};
        return {before, std::nullopt};
    }

    // Tells bytes the file's encoding does not define, and UTF-8 in a single-byte file, at the
    // first line of the entry that holds them.
    template <typename Note>
    void CheckBytes(std::string_view bytes, const Note& note) const {
        if (const auto fault = FindEncodingFault(bytes, codePage_, lookForUtf8_)) {
            note(fault->utf8InAnsiFile ? ReadProblem::Utf8InAnsiFile : ReadProblem::InvalidBytes,
                 fault->lineBegin);
        }
    }

    // Turns the hour of a 12-hour time into the 24-hour value its designator gives; false when
    // the designator is neither one the options know nor "AM" or "PM".
    bool ApplyDesignator(std::string_view designatorBytes, DateTimeFields& time) const {
        if (designatorBytes.empty()) return true;
        const std::u16string designator = platform::CodePageToWide(codePage_, designatorBytes);
        const auto known = [&](const std::vector<std::u16string>& list, std::u16string_view plain) {
            return platform::UpperCaseWide(designator) == plain ||
                   std::find(list.begin(), list.end(), designator) != list.end();
        };
        const bool am = known(options_.amDesignators, u"AM");
        const bool pm = !am && known(options_.pmDesignators, u"PM");
        if (!am && !pm) return false;
        time.hour = time.hour % 12 + (pm ? 12 : 0);
        return true;
    }

    ByteSource source_;
    ReaderOptions options_;
    CandidateSearch candidates_;
    std::unique_ptr<char[]> buffer_;  // the bytes are its first length_ of capacity_
    std::size_t length_ = 0;
    std::size_t capacity_ = 0;
    std::uint64_t bufferOffset_ = 0;
    std::uint64_t keepFrom_ = 0;  // the earliest byte still needed
    std::uint64_t firstLine_ = 0;
    bool eof_ = false;
    bool started_ = false;
    std::optional<std::uint64_t> current_;  // where the next entry starts
    std::optional<std::string> longEntryHead_;
    std::uint64_t lineOfLongEntry_ = 0;
    std::uint64_t countedTo_ = 0;
    std::uint64_t linesBefore_ = 0;
    EntryEncoding encoding_ = EntryEncoding::Ansi;
    unsigned codePage_ = 0;
    bool lookForUtf8_ = false;
    std::vector<ReadNote> notes_;
};

HistoryReader::HistoryReader(ByteSource source, ReaderOptions options)
    : impl_(std::make_unique<Impl>(std::move(source), std::move(options))) {}
HistoryReader::~HistoryReader() = default;
HistoryReader::HistoryReader(HistoryReader&&) noexcept = default;
HistoryReader& HistoryReader::operator=(HistoryReader&&) noexcept = default;

HistoryReader HistoryReader::OpenFile(const std::string& path, ReaderOptions options) {
    auto file = std::make_shared<platform::FileReader>(path);
    // A small file needs no piece of full size (whose pages would all be touched).
    constexpr std::uint64_t kSmallestPiece = 64 * 1024;
    options.pieceSize = static_cast<std::size_t>(
        std::min<std::uint64_t>(options.pieceSize, std::max(kSmallestPiece, file->Size() + 1)));
    return HistoryReader(
        [file](char* buffer, std::size_t size) { return file->Read(buffer, size); },
        std::move(options));
}

HistoryReader HistoryReader::OpenStretch(const std::string& path, std::uint64_t offset,
                                         std::uint64_t size, ReaderOptions options) {
    auto file = std::make_shared<platform::FileReader>(path);
    file->Seek(offset);
    return HistoryReader(
        [file, left = size](char* buffer, std::size_t wanted) mutable {
            const std::size_t got =
                file->Read(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(wanted, left)));
            left -= got;
            return got;
        },
        std::move(options));
}

HistoryReader HistoryReader::FromBytes(std::string_view bytes, ReaderOptions options) {
    return HistoryReader(
        [bytes](char* buffer, std::size_t size) mutable {
            const std::size_t count = std::min(size, bytes.size());
            std::memcpy(buffer, bytes.data(), count);
            bytes.remove_prefix(count);
            return count;
        },
        std::move(options));
}

bool HistoryReader::Next(HistoryEntry& entry) {
    return impl_->Next(entry);
}
std::vector<ReadNote> HistoryReader::TakeNotes() {
    return impl_->TakeNotes();
}
EntryEncoding HistoryReader::encoding() const {
    return impl_->encoding();
}
unsigned HistoryReader::codePage() const {
    return impl_->codePage();
}
std::uint64_t HistoryReader::bytesRead() const {
    return impl_->bytesRead();
}

}  // namespace quillet
