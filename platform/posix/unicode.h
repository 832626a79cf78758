// Unicode forms and iconv, for the POSIX platform layer only: Linux file names and the locale's
// texts are UTF-8, the plug-in's wide texts UTF-16, and iconv converts every other charset.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::posix {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// One code point read from UTF-16: `units` is 1 or 2; an unpaired surrogate is returned as
// itself, flagged, so callers decide what it becomes.
struct Utf16CodePoint {
    char32_t value;
    std::size_t units;
    bool isUnpairedSurrogate;
};
// The code point that starts at `position` (which must be inside `text`).
Utf16CodePoint ReadUtf16(std::u16string_view text, std::size_t position);

// Appends `codePoint` (at most U+10FFFF) to `out` in UTF-16.
void AppendUtf16(std::u16string& out, char32_t codePoint);

// UTF-8 to UTF-16; every malformed sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// True when the text is well-formed UTF-8 (no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// UTF-16 to UTF-8; every unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// The same, appended to `out`.
void AppendUtf16AsUtf8(std::string& out, std::u16string_view text);

// An open iconv conversion descriptor, closed with the object. Output in UTF-32 is always
// "UTF-32LE", read back with ReadUtf32Le.
class IconvConverter {
public:
    IconvConverter(const char* toCharset, const char* fromCharset);
    ~IconvConverter();
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    // False when iconv does not know one of the two charsets.
    bool isOpen() const { return descriptor_ != reinterpret_cast<iconv_t>(-1); }

    enum class Outcome { converted, invalidInput, incompleteInput };
    // Converts as much of `input` as it can, appending to `output` and removing what it used
    // from the front of `input`. Stops at the first sequence the input charset does not have or
    // the output charset cannot hold (invalidInput, `input` then starts with it) or at a
    // sequence cut off by the end of `input` (incompleteInput).
    Outcome Convert(std::string_view& input, std::string& output);
    // Ends the text: writes what a stateful charset still holds and returns to the initial
    // state.
    void Finish(std::string& output);

private:
    iconv_t descriptor_;
};

// Code points from UTF-32LE bytes, as IconvConverter writes them.
std::u32string ReadUtf32Le(std::string_view bytes);
// UTF-32LE bytes of one code point, as IconvConverter reads them.
std::string Utf32LeBytes(char32_t codePoint);

// `bytes` in `charset` decoded to UTF-16 with iconv; a byte the charset does not define, or
// a sequence cut short at the end, becomes `substitute`. Empty when iconv lacks the charset.
std::u16string DecodeCharset(const char* charset, std::string_view bytes, char16_t substitute);

}  // namespace platform::posix
