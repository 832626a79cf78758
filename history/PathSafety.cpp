#include "history/PathSafety.h"

#include <algorithm>
#include <array>

namespace quillet {

namespace {
bool IsDotsAndBlanks(std::string_view piece) {
    return piece.find('.') != std::string_view::npos &&
           piece.find_first_not_of(". ") == std::string_view::npos;
}

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsDeviceName(std::string_view name) {
    static constexpr std::array<std::string_view, 22> kDevices = {
        "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
        "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    return std::any_of(kDevices.begin(), kDevices.end(), [name](std::string_view device) {
        return device.size() == name.size() &&
               std::equal(name.begin(), name.end(), device.begin(),
                          [](char a, char b) { return AsciiUpper(a) == b; });
    });
}

// One file or folder name with the device rule applied. Windows ignores blanks at the end of
// the name part too ("CON .TXT" is the device), so they don't hide it.
std::string ProtectSegment(std::string_view segment) {
    std::size_t nameEnd = std::min(segment.find('.'), segment.size());
    while (nameEnd > 0 && segment[nameEnd - 1] == ' ') --nameEnd;
    if (!IsDeviceName(segment.substr(0, nameEnd))) return std::string(segment);
    std::string result(segment.substr(0, nameEnd));
    result += '_';
    result.append(segment.substr(nameEnd));
    return result;
}

bool IsDrive(std::string_view segment) {
    return segment.size() == 2 && segment[1] == ':';
}

// Applies `rule` to every "\"-separated piece of `text`, keeping the separators.
template <typename Rule>
std::string ForEachPiece(std::string_view text, Rule rule) {
    std::string result;
    result.reserve(text.size() + 2);
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\\', start);
        const std::string_view piece = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        result += rule(piece, start == 0);
        if (end == std::string_view::npos) break;
        result += '\\';
        start = end + 1;
    }
    return result;
}
}  // namespace

std::string NeutralizeDotSegments(std::string_view value) {
    return ForEachPiece(value, [](std::string_view piece, bool) {
        std::string safe(piece);
        if (IsDotsAndBlanks(piece)) std::replace(safe.begin(), safe.end(), '.', '_');
        return safe;
    });
}

std::string ReplaceControlCharacters(std::string_view value) {
    std::string safe(value);
    const auto isControl = [](char c) { return c >= '\x01' && c <= '\x1F'; };
    std::replace_if(safe.begin(), safe.end(), isControl, '_');
    return safe;
}

std::string ProtectDeviceNames(std::string_view path) {
    return ForEachPiece(path, [](std::string_view piece, bool first) {
        return first && IsDrive(piece) ? std::string(piece) : ProtectSegment(piece);
    });
}

}  // namespace quillet
