// The ANSI code page of the POSIX platform layer: chosen by QUILLET_ACP (default 1252) and
// converted with iconv. Single-byte code pages are held as tables built once; double-byte ones
// (932, 936, 949, 950) go through iconv for every conversion, and UTF-8 (65001) through the
// layer's own conversion.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace platform::posix {

class CodePage {
public:
    // The code page in force: QUILLET_ACP when it names one that iconv knows, else 1252. The
    // object lives as long as the process.
    static const CodePage& Active();
    // The code page of that number, loaded on first use and kept for the process; null when
    // iconv does not know it.
    static const CodePage* Numbered(unsigned number);

    unsigned number() const { return number_; }
    bool isSingleByte() const { return singleByte_; }
    // The bytes that begin a longer sequence.
    const std::array<bool, 256>& leadBytes() const { return leadBytes_; }

    // Bytes of this code page to UTF-16. A byte the code page does not define stands for the
    // character of the same number (U+0081 for 0x81 in 1252), so every byte survives a round
    // trip; a multi-byte sequence the code page lacks becomes "?" (U+FFFD in UTF-8).
    std::u16string Decode(std::string_view bytes) const;

    // UTF-16 to bytes of this code page; a character it lacks, and an unpaired surrogate,
    // becomes "?" (U+FFFD in UTF-8, which lacks none).
    std::string Encode(std::u16string_view text) const;

    // The text with every letter upper-cased whose capital the code page holds in as many bytes;
    // everything else, and both bytes of a double-byte character, stays. (UTF-8 upper-cases
    // every letter: platform::UpperCase.)
    std::string UpperCase(std::string_view text) const;

    // True when every byte sequence of `bytes` is one the code page defines: always for a
    // single-byte code page, whose undefined bytes stand for themselves.
    bool IsValid(std::string_view bytes) const;

    // UTF-16 to bytes of this code page when it holds every character; nullopt otherwise.
    std::optional<std::string> EncodeExact(std::u16string_view text) const;

    // Use Active(); this builds the tables of one code page whose iconv name is `charset`.
    CodePage(unsigned number, std::string charset);

    // True when the text is ASCII only and this code page keeps ASCII as it is: the same bytes
    // then in this code page, in UTF-8 and, widened, in UTF-16.
    bool IsPlainAscii(std::string_view bytes) const;

private:
    // The code page of that number; null when iconv does not know it.
    static std::unique_ptr<const CodePage> Load(unsigned number);
    // The code page the environment asks for, loaded on first use and kept for the process.
    static const CodePage* LoadActive();
    void BuildTables();
    std::string EncodeMultiByte(std::u16string_view text) const;
    bool IsPlainAscii(std::u16string_view text) const;

    unsigned number_;
    std::string charset_;
    bool singleByte_ = true;
    bool asciiUnchanged_ = false;                  // bytes 0x00-0x7F stand for U+0000-U+007F
    std::array<char16_t, 256> characters_{};       // single-byte: the character of each byte
    std::array<bool, 256> leadBytes_{};            // multi-byte: bytes that start a longer sequence
    std::array<unsigned char, 256> upperBytes_{};  // the upper-case byte of each byte
    std::unordered_map<char16_t, unsigned char> bytes_;  // single-byte: the byte of each character
};

}  // namespace platform::posix
