#include "platform/posix/letter_case.h"

#include <locale.h>
#include <wctype.h>

#include <array>
#include <cstddef>
#include <memory>

#include "platform/posix/unicode.h"

namespace platform::posix {

namespace {

// The locale whose character classes give the case of every Unicode letter; null when the C
// library has none, and then only ASCII letters have a case. Created once, never freed: it
// lives as long as the process.
locale_t CaseLocale() {
    static const locale_t locale = [] {
        locale_t created = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        if (created == nullptr) {
            created = newlocale(LC_CTYPE_MASK, "C.utf8", static_cast<locale_t>(nullptr));
        }
        return created;
    }();
    return locale;
}

bool IsAsciiLower(char32_t c) {
    return c >= U'a' && c <= U'z';
}
bool IsAsciiUpper(char32_t c) {
    return c >= U'A' && c <= U'Z';
}

// The code points of a UTF-16 text, one by one.
class CodePointReader {
public:
    explicit CodePointReader(std::u16string_view text) : text_(text) {}
    bool atEnd() const { return position_ >= text_.size(); }
    char32_t Next() {
        const Utf16CodePoint point = ReadUtf16(text_, position_);
        position_ += point.units;
        return point.value;
    }

private:
    std::u16string_view text_;
    std::size_t position_ = 0;
};

bool SameLetter(char32_t a, char32_t b) {
    return a == b || UpperLetter(a) == UpperLetter(b) || LowerLetter(a) == LowerLetter(b);
}

std::u32string CodePoints(std::u16string_view text) {
    std::u32string points;
    points.reserve(text.size());
    for (CodePointReader reader(text); !reader.atEnd();) points += reader.Next();
    return points;
}

}  // namespace

namespace {
char32_t UpperFromLocale(char32_t character) {
    if (const locale_t locale = CaseLocale()) {
        return static_cast<char32_t>(towupper_l(static_cast<wint_t>(character), locale));
    }
    return IsAsciiLower(character) ? character - U'a' + U'A' : character;
}

char32_t LowerFromLocale(char32_t character) {
    if (const locale_t locale = CaseLocale()) {
        return static_cast<char32_t>(towlower_l(static_cast<wint_t>(character), locale));
    }
    return IsAsciiUpper(character) ? character - U'A' + U'a' : character;
}

// The mapping of every character of the basic plane, made once: searching history maps every
// character of every text it looks at.
using PlaneTable = std::array<char32_t, 0x10000>;
std::unique_ptr<const PlaneTable> MakeTable(char32_t (*map)(char32_t)) {
    auto table = std::make_unique<PlaneTable>();
    for (char32_t c = 0; c < 0x10000; ++c) (*table)[c] = map(c);
    return table;
}
}  // namespace

char32_t UpperLetter(char32_t character) {
    static const std::unique_ptr<const PlaneTable> table = MakeTable(&UpperFromLocale);
    return character < 0x10000 ? (*table)[character] : UpperFromLocale(character);
}

char32_t LowerLetter(char32_t character) {
    static const std::unique_ptr<const PlaneTable> table = MakeTable(&LowerFromLocale);
    return character < 0x10000 ? (*table)[character] : LowerFromLocale(character);
}

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
    CodePointReader left(a);
    CodePointReader right(b);
    while (!left.atEnd() && !right.atEnd()) {
        if (!SameLetter(left.Next(), right.Next())) return false;
    }
    return left.atEnd() && right.atEnd();
}

char32_t FoldedLetter(char32_t character) {
    return LowerLetter(UpperLetter(character));
}

std::u32string CaseFolded(std::u16string_view text) {
    std::u32string folded;
    folded.reserve(text.size());
    for (CodePointReader reader(text); !reader.atEnd();) folded += FoldedLetter(reader.Next());
    return folded;
}

bool MatchesWildcard(std::u16string_view name, std::u16string_view mask) {
    const std::u32string text = CodePoints(name);
    const std::u32string pattern = CodePoints(mask);
    // Greedy matching that returns to the last "*" on a mismatch: linear in practice and never
    // exponential, whatever the mask.
    std::size_t t = 0;
    std::size_t p = 0;
    std::size_t starPattern = std::u32string::npos;
    std::size_t starText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == U'*') {
            starPattern = p++;
            starText = t;
        } else if (p < pattern.size() && (pattern[p] == U'?' || SameLetter(pattern[p], text[t]))) {
            ++p;
            ++t;
        } else if (starPattern != std::u32string::npos) {
            p = starPattern + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') ++p;
    return p == pattern.size();
}

}  // namespace platform::posix
