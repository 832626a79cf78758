#include "platform/posix/code_page.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include "platform/posix/environment_cache.h"
#include "platform/posix/letter_case.h"
#include "platform/posix/unicode.h"

namespace platform::posix {

namespace {

constexpr unsigned kDefaultCodePage = 1252;
// UTF-8 holds every character: as under Windows, what is no character (an unpaired surrogate, a
// malformed sequence) becomes U+FFFD, never "?".
constexpr unsigned kUtf8 = 65001;
constexpr char kDefaultCharacter = '?';

// iconv's name for a Windows code page number.
std::string CharsetName(unsigned number) {
    static const std::map<unsigned, std::string> names{
        {20127, "ASCII"},      {20866, "KOI8-R"},      {21866, "KOI8-U"},
        {28591, "ISO-8859-1"}, {28592, "ISO-8859-2"},  {28595, "ISO-8859-5"},
        {28597, "ISO-8859-7"}, {28605, "ISO-8859-15"}, {65001, "UTF-8"},
    };
    const auto found = names.find(number);
    return found != names.end() ? found->second : "CP" + std::to_string(number);
}

// QUILLET_ACP as a number; 0 when unset or not a plain decimal number.
unsigned RequestedCodePage() {
    const char* text = std::getenv("QUILLET_ACP");
    if (text == nullptr || *text == '\0') return 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (*end != '\0' || value == 0 || value > 65535) return 0;
    return static_cast<unsigned>(value);
}

bool IsAscii(char16_t unit) {
    return unit < 0x80;
}

enum class ByteKind { character, undefined, leadByte };

// What one byte alone is in the charset that `converter` reads, and its character.
ByteKind ClassifyByte(IconvConverter& converter, unsigned char byte, char32_t& character) {
    const char single = static_cast<char>(byte);
    std::string_view input(&single, 1);
    std::string utf32;
    const auto outcome = converter.Convert(input, utf32);
    converter.Finish(utf32);
    if (outcome == IconvConverter::Outcome::incompleteInput) return ByteKind::leadByte;
    const std::u32string characters = ReadUtf32Le(utf32);
    if (outcome != IconvConverter::Outcome::converted || characters.empty()) {
        return ByteKind::undefined;
    }
    character = characters.front();
    return ByteKind::character;
}

}  // namespace

const CodePage& CodePage::Active() {
    thread_local EnvironmentCached<const CodePage*> active(&LoadActive);
    return *active.get();
}

const CodePage* CodePage::Numbered(unsigned number) {
    static std::mutex mutex;
    static std::map<unsigned, std::unique_ptr<const CodePage>> loaded;
    const std::lock_guard lock(mutex);
    auto found = loaded.find(number);
    if (found == loaded.end()) found = loaded.emplace(number, Load(number)).first;
    return found->second.get();
}

const CodePage* CodePage::LoadActive() {
    const unsigned requested = RequestedCodePage();
    if (requested != 0) {
        if (const CodePage* page = Numbered(requested)) return page;
    }
    return Numbered(kDefaultCodePage);
}

std::unique_ptr<const CodePage> CodePage::Load(unsigned number) {
    const std::string charset = CharsetName(number);
    if (!IconvConverter("UTF-32LE", charset.c_str()).isOpen() ||
        !IconvConverter(charset.c_str(), "UTF-32LE").isOpen()) {
        return nullptr;
    }
    return std::make_unique<const CodePage>(number, charset);
}

CodePage::CodePage(unsigned number, std::string charset)
    : number_(number), charset_(std::move(charset)) {
    BuildTables();
}

void CodePage::BuildTables() {
    IconvConverter decoder("UTF-32LE", charset_.c_str());
    for (unsigned byte = 0; byte < 256; ++byte) {
        char32_t character = byte;
        const ByteKind kind = ClassifyByte(decoder, static_cast<unsigned char>(byte), character);
        if (kind == ByteKind::leadByte) {
            singleByte_ = false;
            leadBytes_[byte] = true;
        }
        // A character outside the basic plane cannot come from one byte of a Windows code page;
        // such a byte is treated like an undefined one.
        if (kind != ByteKind::character || character > 0xFFFF) character = byte;
        characters_[byte] = static_cast<char16_t>(character);
    }
    asciiUnchanged_ = true;
    for (unsigned byte = 0; byte < 0x80; ++byte) {
        if (characters_[byte] != byte || leadBytes_[byte]) asciiUnchanged_ = false;
    }
    if (singleByte_) {
        for (unsigned byte = 256; byte-- > 0;)
            bytes_[characters_[byte]] = static_cast<unsigned char>(byte);
    }
    for (unsigned byte = 0; byte < 256; ++byte) {
        upperBytes_[byte] = static_cast<unsigned char>(byte);
        if (!singleByte_) {
            if (byte >= 'a' && byte <= 'z')
                upperBytes_[byte] = static_cast<unsigned char>(byte - 'a' + 'A');
            continue;
        }
        const char32_t upper = UpperLetter(characters_[byte]);
        if (upper == characters_[byte] || upper > 0xFFFF) continue;
        const auto found = bytes_.find(static_cast<char16_t>(upper));
        if (found != bytes_.end()) upperBytes_[byte] = found->second;
    }
}

bool CodePage::IsPlainAscii(std::string_view bytes) const {
    return asciiUnchanged_ && std::all_of(bytes.begin(), bytes.end(), [](char byte) {
               return static_cast<unsigned char>(byte) < 0x80;
           });
}

bool CodePage::IsPlainAscii(std::u16string_view text) const {
    return asciiUnchanged_ && std::all_of(text.begin(), text.end(), IsAscii);
}

std::u16string CodePage::Decode(std::string_view bytes) const {
    // Paths, names and settings are nearly always ASCII, which every code page keeps as it is.
    if (IsPlainAscii(bytes)) return std::u16string(bytes.begin(), bytes.end());
    if (number_ == kUtf8) return Utf8ToUtf16(bytes);
    if (!singleByte_) return DecodeCharset(charset_.c_str(), bytes, u'?');
    std::u16string text(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[i] = characters_[static_cast<unsigned char>(bytes[i])];
    }
    return text;
}

std::string CodePage::Encode(std::u16string_view text) const {
    if (IsPlainAscii(text)) return std::string(text.begin(), text.end());
    if (number_ == kUtf8) return Utf16ToUtf8(text);
    if (!singleByte_) return EncodeMultiByte(text);
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t position = 0; position < text.size();) {
        if (asciiUnchanged_ && IsAscii(text[position])) {
            bytes += static_cast<char>(text[position++]);
            continue;
        }
        const Utf16CodePoint point = ReadUtf16(text, position);
        position += point.units;
        const auto found = point.value <= 0xFFFF && !point.isUnpairedSurrogate
                               ? bytes_.find(static_cast<char16_t>(point.value))
                               : bytes_.end();
        if (found != bytes_.end()) {
            bytes += static_cast<char>(found->second);
        } else {
            bytes.append(point.units, kDefaultCharacter);  // as Windows: one per UTF-16 unit
        }
    }
    return bytes;
}

std::string CodePage::EncodeMultiByte(std::u16string_view text) const {
    IconvConverter encoder(charset_.c_str(), "UTF-32LE");
    std::string bytes;
    for (std::size_t position = 0; position < text.size();) {
        const Utf16CodePoint point = ReadUtf16(text, position);
        position += point.units;
        if (point.isUnpairedSurrogate) {
            bytes += kDefaultCharacter;
            continue;
        }
        const std::string input = Utf32LeBytes(point.value);
        std::string_view remaining = input;
        std::string encoded;
        if (encoder.Convert(remaining, encoded) == IconvConverter::Outcome::converted) {
            encoder.Finish(encoded);
            bytes += encoded;
        } else {
            encoder.Finish(encoded);
            bytes.append(point.units, kDefaultCharacter);
        }
    }
    return bytes;
}

std::string CodePage::UpperCase(std::string_view text) const {
    std::string upper(text);
    for (std::size_t i = 0; i < upper.size(); ++i) {
        const auto byte = static_cast<unsigned char>(upper[i]);
        if (leadBytes_[byte]) {
            ++i;  // the trail byte belongs to the same character
            continue;
        }
        upper[i] = static_cast<char>(upperBytes_[byte]);
    }
    return upper;
}

bool CodePage::IsValid(std::string_view bytes) const {
    if (singleByte_ || IsPlainAscii(bytes)) return true;
    if (number_ == kUtf8) return IsValidUtf8(bytes);
    IconvConverter decoder("UTF-32LE", charset_.c_str());
    std::string utf32;
    return decoder.Convert(bytes, utf32) == IconvConverter::Outcome::converted;
}

std::optional<std::string> CodePage::EncodeExact(std::u16string_view text) const {
    std::string bytes = Encode(text);
    if (Decode(bytes) != text) return std::nullopt;
    return bytes;
}

}  // namespace platform::posix
