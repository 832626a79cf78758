#include "history/EntryEncoding.h"

#include <algorithm>

#include "config/StringOps.h"
#include "config/u_IniSettings.h"
#include "platform/platform.h"

namespace quillet {

EntryEncoding EncodingForNewFiles(std::string_view settingValue) {
    return EqualIgnoringAsciiCase(settingValue, HistoryEncodingUtf8) ? EntryEncoding::Utf8
                                                                     : EntryEncoding::Ansi;
}

EntryEncoding EncodingOfFile(std::string_view head, EntryEncoding forNewFiles) {
    if (head.empty()) return forNewFiles;
    return head.substr(0, Utf8ByteOrderMark.size()) == Utf8ByteOrderMark ? EntryEncoding::Utf8
                                                                         : EntryEncoding::Ansi;
}

bool IsDoubleByteCodePage(unsigned codePage) {
    // A lead byte and a trail byte that each of those code pages joins into one character.
    return platform::CodePageToWide(codePage, "\x81\x40").size() == 1 ||
           platform::CodePageToWide(codePage, "\xB0\xA1").size() == 1;
}

bool HasHighBytes(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

std::optional<EncodingFault> FindEncodingFault(std::string_view bytes, unsigned codePage,
                                               bool lookForUtf8) {
    if (!HasHighBytes(bytes)) return std::nullopt;
    const bool valid = platform::ValidInCodePage(codePage, bytes);
    if (valid && !lookForUtf8) return std::nullopt;
    constexpr unsigned kUtf8 = 65001;
    for (std::size_t begin = 0; begin < bytes.size();) {
        const std::size_t end = std::min(bytes.find('\n', begin), bytes.size() - 1) + 1;
        const std::string_view line = bytes.substr(begin, end - begin);
        if (HasHighBytes(line)) {
            if (!valid && !platform::ValidInCodePage(codePage, line))
                return EncodingFault{false, begin};
            if (lookForUtf8 && platform::ValidInCodePage(kUtf8, line))
                return EncodingFault{true, begin};
        }
        begin = end;
    }
    return std::nullopt;
}

std::string EncodeText(std::u16string_view text, EntryEncoding encoding) {
    return encoding == EntryEncoding::Utf8 ? platform::WideToUtf8(text)
                                           : platform::WideToAnsi(text);
}

}  // namespace quillet
