// Text operations that several units share: replacing, splitting into lines, folders of paths.
// All work on narrow text in the ANSI code page and step through its characters: in a
// double-byte code page (932, 936, 949, 950) the second byte of a character can be "\", "|" or
// a letter, and is never taken for one; in UTF-8 (65001) a character is one to four bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace quillet {

// The position just after the character that begins at `position` (platform::CharacterLength).
// Loops pass the code page's table, taken once. Inline: every path is stepped through with it.
inline std::size_t NextCharPosition(std::string_view text, std::size_t position,
                                    const platform::LeadBytes& lead = platform::AnsiLeadBytes()) {
    return position + platform::CharacterLength(text, position, lead);
}

// The position of the first character at or after `from` that is one of `chars` (single-byte
// characters), or npos.
std::size_t FindCharOf(std::string_view text, std::string_view chars, std::size_t from = 0);

// The position of the last character that is one of `chars` (single-byte characters), or npos.
std::size_t FindLastCharOf(std::string_view text, std::string_view chars);

// Bit i set when `text` holds macros[i] exactly, as text.find(macros[i]) would tell, found in one
// pass over the text's "%" signs. At most 32 macros, each "%", a name without "%", "%", and
// none longer than 32 bytes.
std::uint32_t MacrosHeld(std::string_view text, std::span<const std::string_view> macros);

// The pieces one after another, in a string sized once.
std::string Concatenated(std::span<const std::string_view> pieces);

// `text` with every occurrence of `search` (matched exactly, letter case counting) replaced by
// `replacement`, found left to right without overlap and only where it begins and ends between
// characters; inserted text is not searched again. An empty `search` changes nothing.
std::string ReplaceAllExact(std::string_view text, std::string_view search,
                            std::string_view replacement);

// A stretch of a text: where it begins and how many bytes it takes.
struct TextSpan {
    std::size_t position;
    std::size_t length;
};

// Where ReplaceAllExact finds `search` in `text`, in order.
std::vector<TextSpan> FindAllExact(std::string_view text, std::string_view search);

// The same, but occurrences are found ignoring letter case under the user's locale: both texts
// are compared in upper case, and the text between occurrences stays as it was. A capital may
// take more or fewer bytes than its letter (UTF-8), so an occurrence is cut out of the text
// where its characters lie, not where its bytes lie in the upper-cased form.
std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view search,
                                 std::string_view replacement);

// `text` upper-cased as ReplaceAllIgnoreCase compares it, one character at a time: a text holds
// another ignoring case only where this form of it holds this form of the other.
std::string UpperCaseForSearch(std::string_view text);

// The lines of a plain-text file: the text ends at its first NUL byte; lines end at CR LF, a
// lone CR or a lone LF; a break after the last line adds no empty line.
std::vector<std::string> SplitLines(std::string_view text);

// Whole-text equality ignoring the case of the ASCII letters alone, for the plug-in's own
// words (device names, setting values), which mean the same under every locale. Inline: every
// name of a path is compared with each device name.
inline bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    const auto upper = [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i])) return false;
    }
    return true;
}

// `text` with the characters of codes 0 to 32 removed from both ends.
std::string_view TrimControlAndBlank(std::string_view text);

// `path` with its extension (from the last "." that follows the last "\" or ":") replaced by
// `extension` (which brings its own dot); a name without one gets `extension` appended.
std::string WithExtension(std::string_view path, std::string_view extension);

// The folder part of a path: everything up to and including its last "\" or ":"; empty when it
// has neither.
std::string FolderOf(std::string_view path);

}  // namespace quillet
