// Upper-casing text of the ANSI code page when that is UTF-8 (65001), the same on every system:
// a character at a time through UTF-16, so that a capital may take another number of bytes than
// its small letter (ı is two bytes, I one). Bytes that are no character stay as they are.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace platform {

// `upperWide` upper-cases one character's UTF-16 units as the system does.
std::string UpperCaseUtf8(std::string_view text, const LeadBytes& lead,
                          std::u16string (*upperWide)(std::u16string_view));

}  // namespace platform
