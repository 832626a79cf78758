// The INI reader and writer on a settings or language file's bytes, in both encodings.
// Input fields: file bytes, section, key, value, buffer size (its first byte).
// Invariants checked:
//  - no crash, no hang, no sanitizer report on any bytes (odd-length UTF-16, lone surrogates,
//    unterminated sections, NULs anywhere);
//  - a read never returns more than bufferSize - 1 characters (wide) or bytes (ANSI);
//  - writing a plain value (no blanks at its ends, no quotes around it, no NUL) under a plain
//    section and key (letters and digits) and reading it back gives the value, in both
//    encodings of the file, and writing the same value again changes nothing;
//  - a value with a CR or LF is refused with IniLineBreakError, never written, and the writer
//    refuses nothing else (a section or key with a line break inside may be refused too).
#include <cstdint>
#include <optional>
#include <string>

#include "config/IniFile.h"
#include "fuzz_support.h"
#include "platform/platform.h"

namespace {

using quillet::fuzz::Check;

bool IsPlainName(const std::string& text) {
    if (text.empty()) return false;
    for (unsigned char c : text) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

bool IsBlank(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

bool IsPlainValue(const std::u16string& value) {
    if (value.find(u'\0') != std::u16string::npos) return false;
    if (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()))) return false;
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == u'"' || value.front() == u'\'')) {
        return false;
    }
    return true;
}

// A line break before the text's first NUL (where the INI functions take a text to end).
bool HasLineBreak(std::u16string_view text) {
    return text.substr(0, text.find(u'\0')).find_first_of(u"\r\n") != std::u16string_view::npos;
}

void CheckReads(const std::string& file, const std::string& section, const std::string& key,
                const std::string& fallback, std::size_t bufferSize) {
    const std::u16string wide =
        quillet::ReadIniText(file, platform::AnsiToWide(section), platform::AnsiToWide(key),
                             platform::AnsiToWide(fallback), bufferSize);
    Check(bufferSize == 0 ? wide.empty() : wide.size() < bufferSize, "wide read fits its buffer");
    const std::string ansi = quillet::ReadIniTextAnsi(file, section, key, fallback, bufferSize);
    Check(bufferSize == 0 ? ansi.empty() : ansi.size() < bufferSize, "ANSI read fits its buffer");
}

void CheckWriteThenRead(const std::string& file, const std::string& section, const std::string& key,
                        const std::u16string& value) {
    const std::u16string wideSection = platform::AnsiToWide(section);
    const std::u16string wideKey = platform::AnsiToWide(key);
    std::optional<std::string> written;
    try {
        written = quillet::WriteIniText(file, wideSection, wideKey, value);
    } catch (const quillet::IniLineBreakError&) {
        Check(HasLineBreak(wideSection) || HasLineBreak(wideKey) || HasLineBreak(value),
              "only a line break makes the writer refuse");
        return;
    }
    Check(!HasLineBreak(value), "a value with a line break is refused");
    const std::string after = written ? *written : file;
    const std::u16string readBack =
        quillet::ReadIniText(after, wideSection, wideKey, u"<none>", value.size() + 16);
    if (IsPlainName(section) && IsPlainName(key) && IsPlainValue(value)) {
        Check(readBack == value, "a written value reads back",
              platform::WideToAnsi(u"section " + wideSection + u" key " + wideKey + u" value " +
                                   value + u" read " + readBack));
        Check(!quillet::WriteIniText(after, wideSection, wideKey, value),
              "a second write changes nothing");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto fields = quillet::fuzz::SplitFields(data, size, 5);
    const std::string& file = fields[0];
    const std::size_t bufferSize =
        fields[4].empty() ? 256 : static_cast<unsigned char>(fields[4][0]);
    CheckReads(file, fields[1], fields[2], fields[3], bufferSize);
    const std::u16string value = platform::AnsiToWide(fields[3]);
    CheckWriteThenRead(file, fields[1], fields[2], value);
    // The file's text again as UTF-16LE after its mark, so that every input meets both readers.
    std::string utf16 = "\xff\xfe";
    for (char16_t c : platform::AnsiToWide(file)) {
        utf16 += static_cast<char>(c & 0xff);
        utf16 += static_cast<char>(c >> 8);
    }
    CheckReads(utf16, fields[1], fields[2], fields[3], bufferSize);
    CheckWriteThenRead(utf16, fields[1], fields[2], value);
    return 0;
}
