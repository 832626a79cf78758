#include "config/IniFile.h"

#include <algorithm>
#include <vector>

#include "platform/platform.h"

namespace quillet {

namespace {

constexpr std::u16string_view LineEnd = u"\r\n";

enum class Encoding { Ansi, Utf16Le };

// One line of the file: its decoded text and where it lies in the file's bytes.
struct Line {
    std::u16string text;    // without the line end
    std::size_t begin = 0;  // offset of the text's first byte
    std::size_t end = 0;    // offset just past the text, where the line end starts
    std::size_t next = 0;   // offset of the next line, past the line end
};

struct Document {
    Encoding encoding = Encoding::Ansi;
    std::vector<Line> lines;
    std::size_t textEnd = 0;  // offset just past the last whole character
};

// A line's extent in code units (bytes or UTF-16 units), before the byte offsets are known.
struct LineSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
};

template <typename Char>
std::vector<LineSpan> SplitLines(std::basic_string_view<Char> units) {
    std::vector<LineSpan> spans;
    std::size_t begin = 0;
    while (begin < units.size()) {
        std::size_t end = begin;
        while (end < units.size() && units[end] != Char('\r') && units[end] != Char('\n')) ++end;
        std::size_t next = end;
        if (next < units.size() && units[next] == Char('\r')) {
            ++next;
            if (next < units.size() && units[next] == Char('\n')) ++next;
        } else if (next < units.size()) {
            ++next;
        }
        spans.push_back({begin, end, next});
        begin = next;
    }
    return spans;
}

// Each unit of the text, low byte first.
std::string Utf16LeBytes(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(2 * text.size());
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

Document ParseUtf16Document(std::string_view bytes) {
    std::u16string units((bytes.size() - 2) / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto low = static_cast<unsigned char>(bytes[2 + 2 * i]);
        const auto high = static_cast<unsigned char>(bytes[3 + 2 * i]);
        units[i] = static_cast<char16_t>(low | (high << 8));
    }
    Document document{Encoding::Utf16Le, {}, 2 + 2 * units.size()};
    for (const LineSpan& span : SplitLines(std::u16string_view(units))) {
        document.lines.push_back({units.substr(span.begin, span.end - span.begin),
                                  2 + 2 * span.begin, 2 + 2 * span.end, 2 + 2 * span.next});
    }
    return document;
}

// Each line is decoded on its own, so that its byte offsets stay exact whatever the code page
// makes of the bytes in between.
Document ParseAnsiDocument(std::string_view bytes) {
    Document document{Encoding::Ansi, {}, bytes.size()};
    for (const LineSpan& span : SplitLines(bytes)) {
        const auto text = bytes.substr(span.begin, span.end - span.begin);
        document.lines.push_back({text.empty() ? std::u16string() : platform::AnsiToWide(text),
                                  span.begin, span.end, span.next});
    }
    return document;
}

Document ParseDocument(std::string_view bytes) {
    return StartsWithUtf16Mark(bytes) ? ParseUtf16Document(bytes) : ParseAnsiDocument(bytes);
}

std::string Encode(std::u16string_view text, Encoding encoding) {
    return encoding == Encoding::Ansi ? platform::WideToAnsi(text) : Utf16LeBytes(text);
}

// ---- Blanks and C-string ends ------------------------------------------------------------------

bool IsBlank(char16_t c) {
    return c == u' ' || (c >= 0x09 && c <= 0x0D);
}

std::u16string_view TrimRightBlanks(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::u16string_view TrimBlanks(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return TrimRightBlanks(text);
}

std::u16string_view TrimRightSpaces(std::u16string_view text) {
    while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
    return text;
}

std::u16string_view TrimSpaces(std::u16string_view text) {
    while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
    return TrimRightSpaces(text);
}

template <typename Char>
std::basic_string_view<Char> UpToNul(std::basic_string_view<Char> text) {
    return text.substr(0, std::min(text.find(Char('\0')), text.size()));
}

// ---- Lines and lookups -------------------------------------------------------------------------

enum class LineKind { Blank, Comment, Section, Entry };

// What a line says. The views point into the line's text.
struct LineMeaning {
    LineKind kind = LineKind::Blank;
    std::u16string_view name;
    std::optional<std::u16string_view> value;  // trimmed; none for an entry without "="
};

LineMeaning Interpret(std::u16string_view line) {
    const auto text = TrimBlanks(line);
    if (text.empty()) return {};
    if (text.front() == u';') return {LineKind::Comment, {}, {}};
    if (text.front() == u'[') {
        const auto inside = text.substr(1);
        return {LineKind::Section, TrimBlanks(inside.substr(0, inside.find(u']'))), {}};
    }
    const auto equals = text.find(u'=');
    if (equals == std::u16string_view::npos) return {LineKind::Entry, UpToNul(text), {}};
    return {LineKind::Entry, UpToNul(TrimRightBlanks(text.substr(0, equals))),
            TrimBlanks(text.substr(equals + 1))};
}

// Where a key is, or would go, in a document.
struct KeyPlace {
    std::optional<std::size_t> section;  // line of the first matching section header
    std::optional<std::size_t> key;      // line of the first matching entry in that section
    std::size_t lastEntry = 0;           // its last entry line, or its header when it has none
};

KeyPlace Locate(const Document& document, std::u16string_view section, std::u16string_view key) {
    KeyPlace place;
    for (std::size_t i = 0; i < document.lines.size(); ++i) {
        const LineMeaning meaning = Interpret(document.lines[i].text);
        if (!place.section) {
            if (meaning.kind == LineKind::Section &&
                platform::EqualIgnoreCase(meaning.name, section)) {
                place.section = i;
                place.lastEntry = i;
            }
            continue;
        }
        if (meaning.kind == LineKind::Section) break;
        if (meaning.kind != LineKind::Entry) continue;
        place.lastEntry = i;
        if (platform::EqualIgnoreCase(meaning.name, key)) {
            place.key = i;
            break;
        }
    }
    return place;
}

// The value as a reader gets it: up to a NUL, and without one pair of enclosing quotes.
std::u16string_view ValueAsRead(std::u16string_view stored) {
    auto value = UpToNul(stored);
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

// The longest ANSI form of a prefix of `text` that fits into `limit` bytes.
std::string AnsiPrefixThatFits(std::u16string_view text, std::size_t limit) {
    std::string whole = platform::WideToAnsi(text);
    if (whole.size() <= limit) return whole;
    std::size_t fits = 0;
    std::size_t tooLong = text.size();
    while (tooLong - fits > 1) {
        const std::size_t middle = fits + (tooLong - fits) / 2;
        (platform::WideToAnsi(text.substr(0, middle)).size() <= limit ? fits : tooLong) = middle;
    }
    return platform::WideToAnsi(text.substr(0, fits));
}

// ---- Writing -----------------------------------------------------------------------------------

// A byte range of the file replaced by a text (encoded as the file is).
struct Edit {
    std::size_t offset = 0;
    std::size_t length = 0;
    std::u16string text;
};

std::string Printable(std::u16string_view text) {
    std::string printable;
    for (const char c : platform::WideToAnsi(text)) {
        if (c == '\r') {
            printable += "\\r";
        } else if (c == '\n') {
            printable += "\\n";
        } else {
            printable += c;
        }
    }
    return printable;
}

bool HoldsLineBreak(std::u16string_view text) {
    return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

void RefuseLineBreaks(std::u16string_view section, std::u16string_view key,
                      std::u16string_view value) {
    const char* part = HoldsLineBreak(section) ? "the section name"
                       : HoldsLineBreak(key)   ? "the key name"
                       : HoldsLineBreak(value) ? "the value"
                                               : nullptr;
    if (part == nullptr) return;
    throw IniLineBreakError("cannot write key \"" + Printable(key) + "\" in section \"" +
                            Printable(section) + "\": " + part +
                            " holds a line break (CR or LF), which would end its line in the file");
}

std::u16string EntryLine(std::u16string_view key, std::u16string_view value) {
    std::u16string line(key);
    line += u'=';
    line += value;
    return line;
}

std::u16string LineBreakUnless(bool lineIsEnded) {
    return lineIsEnded ? std::u16string() : std::u16string(LineEnd);
}

std::optional<Edit> PlanWrite(const Document& document, std::u16string_view section,
                              std::u16string_view key, std::u16string_view value) {
    const KeyPlace place = Locate(document, section, key);
    if (place.key) {
        const Line& line = document.lines[*place.key];
        const LineMeaning meaning = Interpret(line.text);
        if (meaning.value && *meaning.value == value) return std::nullopt;
        return Edit{line.begin, line.end - line.begin, EntryLine(meaning.name, value)};
    }
    if (place.section) {
        const Line& last = document.lines[place.lastEntry];
        return Edit{last.next, 0,
                    LineBreakUnless(last.next > last.end) + EntryLine(key, value) +
                        std::u16string(LineEnd)};
    }
    const bool fileIsEnded =
        document.lines.empty() || document.lines.back().next > document.lines.back().end;
    std::u16string text = LineBreakUnless(fileIsEnded) + u"[" + std::u16string(section) + u"]";
    text += LineEnd;
    text += EntryLine(key, value);
    text += LineEnd;
    return Edit{document.textEnd, 0, std::move(text)};
}

}  // namespace

bool StartsWithUtf16Mark(std::string_view bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xFE;
}

std::string Utf16LeFileBytes(std::u16string_view text) {
    return "\xFF\xFE" + Utf16LeBytes(text);
}

// ---- Text functions ----------------------------------------------------------------------------

std::u16string ReadIniText(std::string_view fileBytes, std::u16string_view section,
                           std::u16string_view key, std::u16string_view defaultValue,
                           std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    const Document document = ParseDocument(fileBytes);
    const KeyPlace place = Locate(document, TrimSpaces(UpToNul(section)), TrimSpaces(UpToNul(key)));
    std::optional<std::u16string_view> stored;
    if (place.key) stored = Interpret(document.lines[*place.key].text).value;
    const auto result = stored ? ValueAsRead(*stored) : TrimRightSpaces(UpToNul(defaultValue));
    return std::u16string(result.substr(0, bufferSize - 1));
}

std::string ReadIniTextAnsi(std::string_view fileBytes, std::string_view section,
                            std::string_view key, std::string_view defaultValue,
                            std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    const auto wide = ReadIniText(fileBytes, platform::AnsiToWide(UpToNul(section)),
                                  platform::AnsiToWide(UpToNul(key)),
                                  platform::AnsiToWide(UpToNul(defaultValue)), bufferSize);
    return AnsiPrefixThatFits(wide, bufferSize - 1);
}

std::vector<std::u16string> ReadIniKeys(std::string_view fileBytes, std::u16string_view section) {
    section = TrimSpaces(UpToNul(section));
    std::vector<std::u16string> keys;
    bool inSection = false;
    for (const Line& line : ParseDocument(fileBytes).lines) {
        const LineMeaning meaning = Interpret(line.text);
        if (meaning.kind == LineKind::Section) {
            if (inSection) break;
            inSection = platform::EqualIgnoreCase(meaning.name, section);
        } else if (inSection && meaning.kind == LineKind::Entry) {
            keys.emplace_back(meaning.name);
        }
    }
    return keys;
}

std::optional<std::string> WriteIniText(std::string_view fileBytes, std::u16string_view section,
                                        std::u16string_view key, std::u16string_view value) {
    section = TrimSpaces(UpToNul(section));
    key = TrimSpaces(UpToNul(key));
    value = UpToNul(value);
    RefuseLineBreaks(section, key, value);
    const Document document = ParseDocument(fileBytes);
    const std::optional<Edit> edit = PlanWrite(document, section, key, value);
    if (!edit) return std::nullopt;
    std::string bytes(fileBytes.substr(0, edit->offset));
    bytes += Encode(edit->text, document.encoding);
    bytes += fileBytes.substr(edit->offset + edit->length);
    return bytes;
}

// ---- File functions ----------------------------------------------------------------------------

std::u16string ReadIniStringW(const std::string& fileName, std::u16string_view section,
                              std::u16string_view key, std::u16string_view defaultValue,
                              std::size_t bufferSize) {
    const auto bytes = platform::ReadWholeFile(fileName);
    return ReadIniText(bytes.value_or(std::string()), section, key, defaultValue, bufferSize);
}

std::string ReadIniStringA(const std::string& fileName, std::string_view section,
                           std::string_view key, std::string_view defaultValue,
                           std::size_t bufferSize) {
    const auto bytes = platform::ReadWholeFile(fileName);
    return ReadIniTextAnsi(bytes.value_or(std::string()), section, key, defaultValue, bufferSize);
}

bool WriteIniStringW(const std::string& fileName, std::u16string_view section,
                     std::u16string_view key, std::u16string_view value) {
    std::string reason;
    return WriteIniStringW(fileName, section, key, value, reason);
}

bool WriteIniStringW(const std::string& fileName, std::u16string_view section,
                     std::u16string_view key, std::u16string_view value, std::string& reason) {
    return RewriteIniFile(
        fileName, [&](std::string_view bytes) { return WriteIniText(bytes, section, key, value); },
        reason);
}

bool RewriteIniFile(const std::string& fileName,
                    const std::function<std::optional<std::string>(std::string_view)>& edit,
                    std::string& reason) {
    const auto current = platform::ReadWholeFile(fileName);
    const auto updated = edit(current.value_or(std::string()));
    // A file that exists but cannot be read must not be replaced by the one new entry.
    if (!current && (platform::FileExists(fileName) || platform::FolderExists(fileName))) {
        reason = platform::FolderExists(fileName) ? "a folder has its name"
                                                  : "it exists but cannot be read";
        return false;
    }
    if (!updated) return true;
    // A failed replace leaves the file as it was.
    try {
        platform::WriteWholeFile(fileName, *updated);
    } catch (const platform::SystemError& error) {
        reason = error.reason();
        return false;
    }
    return true;
}

std::optional<std::string> WriteIniTextAnsi(std::string_view fileBytes, std::string_view section,
                                            std::string_view key, std::string_view value) {
    return WriteIniText(fileBytes, platform::AnsiToWide(UpToNul(section)),
                        platform::AnsiToWide(UpToNul(key)), platform::AnsiToWide(UpToNul(value)));
}

bool WriteIniStringA(const std::string& fileName, std::string_view section, std::string_view key,
                     std::string_view value) {
    std::string reason;
    return WriteIniStringA(fileName, section, key, value, reason);
}

bool WriteIniStringA(const std::string& fileName, std::string_view section, std::string_view key,
                     std::string_view value, std::string& reason) {
    return WriteIniStringW(fileName, platform::AnsiToWide(UpToNul(section)),
                           platform::AnsiToWide(UpToNul(key)), platform::AnsiToWide(UpToNul(value)),
                           reason);
}

}  // namespace quillet
