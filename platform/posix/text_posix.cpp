// Text services of the POSIX platform layer: the ANSI code page of QUILLET_ACP and letter case
// after the C.UTF-8 locale.
#include "platform/platform.h"
#include "platform/posix/code_page.h"
#include "platform/posix/letter_case.h"
#include "platform/posix/unicode.h"

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
        madeFor = &page;
    }
    return table;
}

std::uint32_t UserLocale() {
    return 0;
}

std::string UpperCase(std::string_view text) {
    return CodePage::Active().UpperCase(text);
}

}  // namespace platform
