// Letter case of Unicode characters, locale-neutral (C.UTF-8), for the POSIX platform layer.
#pragma once

#include <string_view>

namespace platform::posix {

// The upper-case and lower-case forms of one character; characters without a case come back
// unchanged. Only ASCII letters change when the C.UTF-8 locale is not available.
char32_t UpperLetter(char32_t character);
char32_t LowerLetter(char32_t character);

// True when the two whole texts are equal with letter case ignored, character by character (an
// unpaired surrogate is compared as it is).
bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b);

// The code points of a text, each replaced by the one letter that stands for all its cases
// (the small form of its capital), so texts EqualIgnoringCase calls equal fold alike.
std::u32string CaseFolded(std::u16string_view text);
// That letter for one code point.
char32_t FoldedLetter(char32_t character);

// True when `name` matches the wildcard `mask` as a whole: "*" stands for any run of characters
// (none included), "?" for any one character, everything else for itself with letter case
// ignored.
bool MatchesWildcard(std::u16string_view name, std::u16string_view mask);

}  // namespace platform::posix
