// Text services of the POSIX platform layer: the ANSI code page of QUILLET_ACP and letter case
// after the C.UTF-8 locale.
#include <algorithm>

#include "platform/platform.h"
#include "platform/posix/code_page.h"
#include "platform/posix/letter_case.h"
#include "platform/posix/unicode.h"
#include "platform/utf8_upper_case.h"

namespace platform {

using posix::CodePage;

unsigned AnsiCodePage() {
    return CodePage::Active().number();
}

std::string WideToAnsi(std::u16string_view text) {
    return CodePage::Active().Encode(text);
}

std::u16string AnsiToWide(std::string_view text) {
    return CodePage::Active().Decode(text);
}

std::string WideToUtf8(std::u16string_view text) {
    return posix::Utf16ToUtf8(text);
}

namespace {
constexpr unsigned kUtf8CodePage = 65001;

// The code page of that number; the one in force when iconv does not know it.
const CodePage& NumberedOrActive(unsigned codePage) {
    const CodePage* page = CodePage::Numbered(codePage);
    return page != nullptr ? *page : CodePage::Active();
}

// Every code point of `text` mapped by `letter`, in UTF-16 again.
std::u16string MapLetters(std::u16string_view text, char32_t (*letter)(char32_t)) {
    // ASCII letters need no tables: most texts are mostly ASCII.
    const bool lower = letter == &posix::LowerLetter;
    const auto ascii = [lower](char16_t c) -> char16_t {
        if (lower) return c >= u'A' && c <= u'Z' ? c + 32 : c;
        return c >= u'a' && c <= u'z' ? c - 32 : c;
    };
    if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; })) {
        std::u16string mapped(text);
        for (char16_t& c : mapped) c = ascii(c);
        return mapped;
    }
    std::u16string mapped;
    mapped.reserve(text.size());
    for (std::size_t position = 0; position < text.size();) {
        const posix::Utf16CodePoint point = posix::ReadUtf16(text, position);
        const char32_t changed = point.isUnpairedSurrogate ? point.value : letter(point.value);
        // Only a change that keeps the length in UTF-16 units, as Windows maps letters.
        if ((changed > 0xFFFF) == (point.units == 2) && !point.isUnpairedSurrogate) {
            posix::AppendUtf16(mapped, changed);
        } else {
            mapped.append(text.substr(position, point.units));
        }
        position += point.units;
    }
    return mapped;
}
}  // namespace

std::u16string CodePageToWide(unsigned codePage, std::string_view bytes) {
    if (codePage == kUtf8CodePage) return posix::Utf8ToUtf16(bytes);
    return NumberedOrActive(codePage).Decode(bytes);
}

bool ValidInCodePage(unsigned codePage, std::string_view bytes) {
    if (codePage == kUtf8CodePage) return posix::IsValidUtf8(bytes);
    return NumberedOrActive(codePage).IsValid(bytes);
}

std::optional<std::string> WideToCodePageExact(unsigned codePage, std::u16string_view text) {
    if (codePage == kUtf8CodePage) {
        std::string bytes = posix::Utf16ToUtf8(text);
        if (posix::Utf8ToUtf16(bytes) != text) return std::nullopt;  // an unpaired surrogate
        return bytes;
    }
    return NumberedOrActive(codePage).EncodeExact(text);
}

std::u16string LowerCaseWide(std::u16string_view text) {
    return MapLetters(text, &posix::LowerLetter);
}

std::u16string UpperCaseWide(std::u16string_view text) {
    return MapLetters(text, &posix::UpperLetter);
}

bool EqualIgnoreCase(std::string_view a, std::string_view b) {
    const CodePage& page = CodePage::Active();
    return posix::EqualIgnoringCase(page.Decode(a), page.Decode(b));
}

bool EqualIgnoreCase(std::u16string_view a, std::u16string_view b) {
    return posix::EqualIgnoringCase(a, b);
}

std::string ComparisonKey(std::string_view text) {
    std::string key;
    for (const char32_t letter : posix::CaseFolded(CodePage::Active().Decode(text))) {
        key += posix::Utf32LeBytes(letter);
    }
    return key;
}

const LeadBytes& AnsiLeadBytes() {
    // One table for each code page the environment chose, kept with it.
    thread_local const CodePage* madeFor = nullptr;
    thread_local LeadBytes table;
    const CodePage& page = CodePage::Active();
    if (madeFor != &page) {
        table.isLead = page.leadBytes();
        table.any = !page.isSingleByte();
        table.utf8 = page.number() == kUtf8CodePage;
        madeFor = &page;
    }
    return table;
}

std::uint32_t UserLocale() {
    return 0;
}

std::string UpperCase(std::string_view text) {
    const LeadBytes& lead = AnsiLeadBytes();
    if (!lead.utf8) return CodePage::Active().UpperCase(text);
    return UpperCaseUtf8(text, lead,
                         [](std::u16string_view character) { return UpperCaseWide(character); });
}

}  // namespace platform
