// The encoding of a history file's entries. A history file is either in the ANSI code page, as
// every file was before UTF-8 could be chosen, or in UTF-8 and then begins with the byte-order
// mark EF BB BF. A file that holds entries keeps its encoding whatever the setting says, so one
// file never mixes the two; the setting chooses only for a file that is new or empty.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

enum class EntryEncoding { Ansi, Utf8 };

inline constexpr std::string_view Utf8ByteOrderMark = "\xEF\xBB\xBF";

// How many of a file's first bytes tell its encoding.
inline constexpr std::size_t EncodingHeadSize = Utf8ByteOrderMark.size();

// The encoding of new history files under the value of the setting HistoryEncoding.
EntryEncoding EncodingForNewFiles(std::string_view settingValue);

// The encoding of the entries of a history file that begins with `head` (its first bytes, none
// when it is new or empty).
EntryEncoding EncodingOfFile(std::string_view head, EntryEncoding forNewFiles);

// True for a code page of double-byte characters (932, 936, 949, 950), false for single-byte
// ones and UTF-8.
bool IsDoubleByteCodePage(unsigned codePage);

// What makes bytes of a history file wrong for its encoding: bytes the code page does not define,
// or, in a file of a single-byte ANSI code page, a line that is UTF-8 (a file of two encodings).
struct EncodingFault {
    bool utf8InAnsiFile = false;  // false: bytes the code page does not define
    std::size_t lineBegin = 0;    // where the line that holds it begins, in `bytes`
};

// The first fault in `bytes` (whole lines of a file in `codePage`, 65001 for UTF-8); UTF-8 lines
// are looked for only when `lookForUtf8` (a single-byte ANSI file). Lines of ASCII alone are never
// at fault.
std::optional<EncodingFault> FindEncodingFault(std::string_view bytes, unsigned codePage,
                                               bool lookForUtf8);

// True when some byte of `bytes` is not ASCII.
bool HasHighBytes(std::string_view bytes);

// `text` in `encoding`: characters the ANSI code page lacks become its substitute or "?"; in
// UTF-8, an unpaired surrogate becomes U+FFFD.
std::string EncodeText(std::u16string_view text, EntryEncoding encoding);

}  // namespace quillet
