#include "history/PathSafety.h"

#include <algorithm>
#include <array>

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

// Appends one file or folder name with the device rule applied. Windows ignores blanks at the
// end of the name part too ("CON .TXT" is the device), so they don't hide it.
void AppendProtected(std::string& out, std::string_view segment) {
    std::size_t nameEnd = std::min(segment.find('.'), segment.size());
    while (nameEnd > 0 && segment[nameEnd - 1] == ' ') --nameEnd;
    out += segment.substr(0, nameEnd);
    if (IsDeviceName(segment.substr(0, nameEnd))) out += '_';
    out += segment.substr(nameEnd);
}

bool IsDrive(std::string_view segment) {
    return segment.size() == 2 && segment[1] == ':';
}

// Appends what `rule` makes of every "\\"-separated piece of `text`, keeping the separators.
template <typename Rule>
std::string ForEachPiece(std::string_view text, Rule rule) {
    std::string result;
    result.reserve(text.size() + 2);
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = FindCharOf(text, "\\", start);
        const std::string_view piece = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        rule(result, piece, start == 0);
        if (end == std::string_view::npos) break;
        result += '\\';
        start = end + 1;
    }
    return result;
}
}  // namespace

std::string NeutralizeDotSegments(std::string_view value) {
    if (value.find('.') == std::string_view::npos) return std::string(value);
    return ForEachPiece(value, [](std::string& out, std::string_view piece, bool) {
        const std::size_t at = out.size();
        out += piece;
        if (IsDotsAndBlanks(piece)) std::replace(out.begin() + at, out.end(), '.', '_');
    });
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
    std::string result;
    result.reserve(path.size() + 2);
    for (std::size_t start = 0, index = 0;; ++index) {
        const std::size_t end = FindCharOf(path, "\\", start);
        const bool last = end == std::string_view::npos;
        std::string_view level = path.substr(start, last ? end : end - start);
        if (index == 0 && !network && IsDrive(level)) firstTrimmed = 1;
        const bool kept =
            index < firstTrimmed || last || level.empty() || level == "." || level == "..";
        if (!kept) {
            // Blanks and dots are single bytes that never end a double-byte character.
            level = level.substr(0, level.find_last_not_of(". ") + 1);
            if (level.empty()) level = "_";
        }
        result += level;
        if (last) break;
        result += '\\';
        start = end + 1;
    }
    return result;
}

std::string ProtectDeviceNames(std::string_view path) {
    return ForEachPiece(path, [](std::string& out, std::string_view piece, bool first) {
        if (first && IsDrive(piece)) {
            out += piece;
        } else {
            AppendProtected(out, piece);
        }
    });
}

}  // namespace quillet
