#include "platform/posix/unicode.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace platform::posix {

namespace {

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
bool IsSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// The length of the UTF-8 sequence that `lead` starts and the bits it contributes; 0 for a byte
// that cannot start one.
std::size_t Utf8SequenceLength(unsigned char lead, char32_t& bits) {
    if (lead < 0x80) {
        bits = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        bits = lead & 0x1F;
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        bits = lead & 0x0F;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        bits = lead & 0x07;
        return 4;
    }
    return 0;
}

// The smallest code point each sequence length may encode (shorter forms are overlong).
constexpr std::array<char32_t, 5> kSmallestOfLength{0, 0, 0x80, 0x800, 0x10000};

}  // namespace

Utf16CodePoint ReadUtf16(std::u16string_view text, std::size_t position) {
    const char32_t first = text[position];
    if (!IsSurrogate(first)) return {first, 1, false};
    if (IsHighSurrogate(first) && position + 1 < text.size() &&
        IsLowSurrogate(text[position + 1])) {
        const char32_t second = text[position + 1];
        return {0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00), 2, false};
    }
    return {first, 1, true};
}

void AppendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out += static_cast<char16_t>(codePoint);
    } else {
        codePoint -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (codePoint >> 10));
        out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
    }
}

namespace {
// The code point of the UTF-8 sequence at `position` (not ASCII): false when it is malformed,
// with `used` the bytes that belong to the malformed start.
bool ReadUtf8(std::string_view text, std::size_t position, char32_t& codePoint, std::size_t& used) {
    const std::size_t length =
        Utf8SequenceLength(static_cast<unsigned char>(text[position]), codePoint);
    used = 1;
    if (length == 0 || position + length > text.size()) return false;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[position + i]);
        if ((next & 0xC0) != 0x80) return false;
        codePoint = (codePoint << 6) | (next & 0x3F);
        used = i + 1;
    }
    return codePoint >= kSmallestOfLength[length] && codePoint <= 0x10FFFF &&
           !IsSurrogate(codePoint);
}
}  // namespace

namespace {
// True when the eight bytes at `position` are all ASCII: most of a history's text is, and is
// then taken eight bytes at a time.
bool EightAscii(std::string_view text, std::size_t position) {
    if (position + 8 > text.size()) return false;
    std::uint64_t word;
    std::memcpy(&word, text.data() + position, 8);
    return (word & 0x8080808080808080ull) == 0;
}
}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
    // Never more units than bytes; written in place, then cut to what was written.
    std::u16string out(text.size(), u'\0');
    std::size_t written = 0;
    std::size_t position = 0;
    while (position < text.size()) {
        if (EightAscii(text, position)) {
            for (std::size_t i = 0; i < 8; ++i)
                out[written + i] = static_cast<char16_t>(text[position + i]);
            written += 8;
            position += 8;
            continue;
        }
        if (static_cast<unsigned char>(text[position]) < 0x80) {
            out[written++] = static_cast<char16_t>(text[position++]);
            continue;
        }
        char32_t codePoint = 0;
        std::size_t used = 1;
        if (!ReadUtf8(text, position, codePoint, used)) {
            out[written++] = static_cast<char16_t>(kReplacementCharacter);
            position += used;
        } else if (codePoint < 0x10000) {
            out[written++] = static_cast<char16_t>(codePoint);
            position += used;
        } else {
            codePoint -= 0x10000;
            out[written++] = static_cast<char16_t>(0xD800 + (codePoint >> 10));
            out[written++] = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
            position += used;
        }
    }
    out.resize(written);
    return out;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t position = 0; position < text.size();) {
        if (EightAscii(text, position)) {
            position += 8;
            continue;
        }
        if (static_cast<unsigned char>(text[position]) < 0x80) {
            ++position;
            continue;
        }
        char32_t codePoint = 0;
        std::size_t used = 1;
        if (!ReadUtf8(text, position, codePoint, used)) return false;
        position += used;
    }
    return true;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    AppendUtf16AsUtf8(out, text);
    return out;
}

void AppendUtf16AsUtf8(std::string& out, std::u16string_view text) {
    out.reserve(out.size() + text.size());
    for (std::size_t position = 0; position < text.size();) {
        // ASCII, by far the most common, needs no decoding: a run of it is written at once.
        std::size_t end = position;
        while (end < text.size() && text[end] < 0x80) ++end;
        if (end > position) {
            const std::size_t at = out.size();
            out.resize(at + end - position);
            for (std::size_t i = position; i < end; ++i)
                out[at + i - position] = static_cast<char>(text[i]);
            position = end;
            continue;
        }
        const Utf16CodePoint point = ReadUtf16(text, position);
        AppendUtf8(out, point.isUnpairedSurrogate ? kReplacementCharacter : point.value);
        position += point.units;
    }
}

IconvConverter::IconvConverter(const char* toCharset, const char* fromCharset)
    : descriptor_(iconv_open(toCharset, fromCharset)) {}

IconvConverter::~IconvConverter() {
    if (isOpen()) iconv_close(descriptor_);
}

IconvConverter::Outcome IconvConverter::Convert(std::string_view& input, std::string& output) {
    std::array<char, 256> chunk{};
    while (!input.empty()) {
        // iconv's interface takes non-const input although it never writes through it.
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        char* out = chunk.data();
        std::size_t outLeft = chunk.size();
        const std::size_t result = iconv(descriptor_, &in, &inLeft, &out, &outLeft);
        const int error = errno;
        output.append(chunk.data(), static_cast<std::size_t>(out - chunk.data()));
        input.remove_prefix(input.size() - inLeft);
        if (result != static_cast<std::size_t>(-1)) continue;
        if (error == E2BIG) continue;
        return error == EINVAL ? Outcome::incompleteInput : Outcome::invalidInput;
    }
    return Outcome::converted;
}

void IconvConverter::Finish(std::string& output) {
    std::array<char, 64> chunk{};
    char* out = chunk.data();
    std::size_t outLeft = chunk.size();
    iconv(descriptor_, nullptr, nullptr, &out, &outLeft);
    output.append(chunk.data(), static_cast<std::size_t>(out - chunk.data()));
    iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
}

std::u32string ReadUtf32Le(std::string_view bytes) {
    std::u32string out;
    out.reserve(bytes.size() / 4);
    for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        char32_t value = 0;
        for (std::size_t b = 0; b < 4; ++b) {
            value |= static_cast<char32_t>(static_cast<unsigned char>(bytes[i + b])) << (8 * b);
        }
        out += value;
    }
    return out;
}

std::string Utf32LeBytes(char32_t codePoint) {
    std::string bytes(4, '\0');
    for (std::size_t b = 0; b < 4; ++b) {
        bytes[b] = static_cast<char>((codePoint >> (8 * b)) & 0xFF);
    }
    return bytes;
}

std::u16string DecodeCharset(const char* charset, std::string_view bytes, char16_t substitute) {
    IconvConverter converter("UTF-32LE", charset);
    if (!converter.isOpen()) return {};
    std::string utf32;
    std::u16string out;
    const auto flush = [&] {
        for (const char32_t codePoint : ReadUtf32Le(utf32)) AppendUtf16(out, codePoint);
        utf32.clear();
    };
    while (!bytes.empty()) {
        const auto outcome = converter.Convert(bytes, utf32);
        if (outcome == IconvConverter::Outcome::converted) break;
        converter.Finish(utf32);
        flush();
        out += substitute;
        // An invalid sequence costs one byte; a sequence cut short ends the text.
        if (outcome == IconvConverter::Outcome::incompleteInput)
            bytes = {};
        else
            bytes.remove_prefix(1);
    }
    converter.Finish(utf32);
    flush();
    return out;
}

}  // namespace platform::posix
