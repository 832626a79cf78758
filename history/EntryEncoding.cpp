#include "history/EntryEncoding.h"

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

std::string EncodeText(std::u16string_view text, EntryEncoding encoding) {
    return encoding == EntryEncoding::Utf8 ? platform::WideToUtf8(text)
                                           : platform::WideToAnsi(text);
}

}  // namespace quillet
