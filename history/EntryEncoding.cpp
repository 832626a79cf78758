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

std::string EncodeText(std::u16string_view text, EntryEncoding encoding) {
    return encoding == EntryEncoding::Utf8 ? platform::WideToUtf8(text)
                                           : platform::WideToAnsi(text);
}

}  // namespace quillet
