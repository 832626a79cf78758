// UTF-8 <-> UTF-16 conversion for the host's replay files and console output.
#pragma once

#include <string>
#include <string_view>

namespace quillet::host {

// The UTF-16 form of well-formed UTF-8 text. Throws std::invalid_argument on a malformed
// sequence (the replay reader only hands over text its JSON parser has already checked).
std::u16string Utf8ToUtf16(std::string_view text);

// The UTF-8 form of UTF-16 text; an unpaired surrogate becomes U+FFFD, so whatever a plug-in
// reports can be printed.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace quillet::host
