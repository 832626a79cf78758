#include "history/PathSafety.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "config/StringOps.h"
#include "platform/platform.h"

namespace quillet {

namespace {
bool IsDotsAndBlanks(std::string_view piece) {
    return piece.find('.') != std::string_view::npos &&
           piece.find_first_not_of(". ") == std::string_view::npos;
}

// COM and LPT with a superscript one, two or three, which Windows reserves too; the digit is
// found as a character, whatever bytes the code page gives it.
bool IsSuperscriptPort(std::string_view name) {
    if (name.size() < 4) return false;
    if (!EqualIgnoringAsciiCase(name.substr(0, 3), "COM") &&
        !EqualIgnoringAsciiCase(name.substr(0, 3), "LPT"))
        return false;
    const std::u16string digit = platform::AnsiToWide(name.substr(3));
    return digit == u"\u00B9" || digit == u"\u00B2" || digit == u"\u00B3";
}

bool IsDeviceName(std::string_view name) {
    static constexpr std::array<std::string_view, 22> kDevices = {
        "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
        "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    // Three letters, or four with a digit, which may take two bytes.
    if (name.size() < 3 || name.size() > 5) return false;
    return IsSuperscriptPort(name) ||
           std::any_of(kDevices.begin(), kDevices.end(), [name](std::string_view device) {
               return EqualIgnoringAsciiCase(name, device);
           });
}

// Where an "_" goes into one file or folder name by the device rule: after its part before the
// first dot when that part is a device name, npos otherwise. Windows ignores blanks at the end of
// that part too ("CON .TXT" is the device), so they don't hide it.
std::size_t DeviceMarkPosition(std::string_view name) {
    std::size_t nameEnd = std::min(name.find('.'), name.size());
    while (nameEnd > 0 && name[nameEnd - 1] == ' ') --nameEnd;
    return IsDeviceName(name.substr(0, nameEnd)) ? nameEnd : std::string_view::npos;
}

bool IsDrive(std::string_view segment) {
    return segment.size() == 2 && segment[1] == ':';
}

// Calls visit(start, piece, index, isLast) for every "\"-separated piece of `text`, with where
// it starts and its place among the pieces.
template <typename Visit>
void ForEachPiece(std::string_view text, Visit visit) {
    for (std::size_t start = 0, index = 0;; ++index) {
        const std::size_t end = FindCharOf(text, "\\", start);
        const bool isLast = end == std::string_view::npos;
        visit(start, text.substr(start, isLast ? end : end - start), index, isLast);
        if (isLast) return;
        start = end + 1;
    }
}

// A length of a text to be replaced by other bytes.
struct Edit {
    std::size_t position;
    std::size_t length;
    std::string_view replacement;
};

// The text with `edits` made, in order of position. Most texts need none, and are copied once.
std::string WithEdits(std::string_view text, const std::vector<Edit>& edits) {
    std::string result;
    result.reserve(text.size() + 2);
    std::size_t from = 0;
    for (const Edit& edit : edits) {
        result.append(text, from, edit.position - from);
        result += edit.replacement;
        from = edit.position + edit.length;
    }
    result.append(text, from);
    return result;
}

// `text` with the dots for which counts(position) holds replaced by "_" in every piece made only
// of dots and blanks. In place: the pieces, found by their "\", stay where they are.
template <typename Counts>
std::string WithDotPiecesNeutralized(std::string text, Counts counts) {
    ForEachPiece(text, [&](std::size_t start, std::string_view piece, std::size_t, bool) {
        if (!IsDotsAndBlanks(piece)) return;
        for (std::size_t at = start; at < start + piece.size(); ++at) {
            if (text[at] == '.' && counts(at)) text[at] = '_';
        }
    });
    return text;
}
}  // namespace

std::string NeutralizeDotSegments(std::string_view value) {
    if (value.find('.') == std::string_view::npos) return std::string(value);
    return WithDotPiecesNeutralized(std::string(value), [](std::size_t) { return true; });
}

std::string NeutralizeInsertedDots(std::string path, std::string_view insertedDots) {
    if (insertedDots.empty()) return path;
    return WithDotPiecesNeutralized(std::move(path),
                                    [&](std::size_t at) { return insertedDots[at] != 0; });
}

std::string ReplaceControlCharacters(std::string_view value) {
    std::string safe(value);
    const auto isControl = [](char c) { return c >= '\x01' && c <= '\x1F'; };
    std::replace_if(safe.begin(), safe.end(), isControl, '_');
    return safe;
}

std::string TrimFolderLevels(std::string_view path) {
    const bool network = path.starts_with("\\\\");
    std::size_t firstTrimmed = network ? 4 : 0;
    std::vector<Edit> edits;
    ForEachPiece(
        path, [&](std::size_t start, std::string_view level, std::size_t index, bool isLast) {
            if (index == 0 && !network && IsDrive(level)) firstTrimmed = 1;
            const bool kept =
                index < firstTrimmed || isLast || level.empty() || level == "." || level == "..";
            if (kept) return;
            // Blanks and dots are single bytes that never end a double-byte character.
            const std::size_t trimmedSize = level.find_last_not_of(". ") + 1;
            if (trimmedSize == level.size()) return;
            edits.push_back(
                {start + trimmedSize, level.size() - trimmedSize, trimmedSize == 0 ? "_" : ""});
        });
    return WithEdits(path, edits);
}

std::string ProtectDeviceNames(std::string_view path) {
    std::vector<Edit> edits;
    ForEachPiece(path, [&](std::size_t start, std::string_view name, std::size_t index, bool) {
        if (index == 0 && IsDrive(name)) return;
        const std::size_t mark = DeviceMarkPosition(name);
        if (mark != std::string_view::npos) edits.push_back({start + mark, 0, "_"});
    });
    return WithEdits(path, edits);
}

}  // namespace quillet
