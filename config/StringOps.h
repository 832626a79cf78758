// Text operations that several units share: replacing, splitting into lines, folders of paths.
// All work on narrow text in the ANSI code page.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// `text` with every occurrence of `search` (matched exactly, letter case counting) replaced by
// `replacement`, found left to right without overlap; inserted text is not searched again. An
// empty `search` changes nothing.
std::string ReplaceAllExact(std::string_view text, std::string_view search,
                            std::string_view replacement);

// The same, but occurrences are found ignoring letter case under the user's locale: both texts
// are compared in upper case, and the text between occurrences stays as it was.
std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view search,
                                 std::string_view replacement);

// The lines of a plain-text file: the text ends at its first NUL byte; lines end at CR LF, a
// lone CR or a lone LF; a break after the last line adds no empty line.
std::vector<std::string> SplitLines(std::string_view text);

// `text` with the characters of codes 0 to 32 removed from both ends.
std::string_view TrimControlAndBlank(std::string_view text);

// The folder part of a path: everything up to and including its last "\" or ":"; empty when it
// has neither.
std::string FolderOf(std::string_view path);

}  // namespace quillet
