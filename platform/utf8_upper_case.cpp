#include "platform/utf8_upper_case.h"

namespace platform {

std::string UpperCaseUtf8(std::string_view text, const LeadBytes& lead,
                          std::u16string (*upperWide)(std::u16string_view)) {
    constexpr unsigned kUtf8 = 65001;
    std::string upper;
    upper.reserve(text.size());
    for (std::size_t position = 0; position < text.size();) {
        const std::string_view character =
            text.substr(position, CharacterLength(text, position, lead));
        position += character.size();
        const auto byte = static_cast<unsigned char>(character.front());
        if (byte < 0x80) {
            upper += static_cast<char>(byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte);
        } else if (ValidInCodePage(kUtf8, character)) {
            upper += WideToUtf8(upperWide(CodePageToWide(kUtf8, character)));
        } else {
            upper += character;
        }
    }
    return upper;
}

}  // namespace platform
