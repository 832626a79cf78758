#include "config/StringOps.h"

#include <algorithm>
#include <array>
#include <bit>

#include "platform/platform.h"

namespace quillet {

namespace {
constexpr std::size_t npos = std::string_view::npos;

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Whether `c` is one of the few single-byte `chars`: a plain loop, where find_first_of would
// search the set with a library call for every byte of the text.
bool IsOneOf(char c, std::string_view chars) {
    for (const char one : chars) {
        if (c == one) return true;
    }
    return false;
}

// True when every byte of `text` is a character of its own.
bool IsByteByByte(std::string_view text) {
    return !platform::AnsiLeadBytes().any || IsAscii(text);
}

// A text to search in, made from another one character at a time, with where its characters
// lie in that other: what is found counts only where it begins and ends between characters, and
// is cut out of the other text there. A capital need not take as many bytes as its letter (ı is
// two bytes in UTF-8, I one), so positions in an upper-cased text are mapped back, not assumed.
struct SearchForm {
    std::string haystack;
    // For each position of the haystack at which a character begins, and for its end, the
    // position in the text; npos inside a character. Empty when every byte of both is a
    // character and the positions are the same.
    std::vector<std::size_t> textAt;
};

// True when `text` is ASCII without a small letter, which upper-casing leaves as it is under
// every code page and locale.
bool IsAsciiWithoutSmallLetters(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80 && !(c >= 'a' && c <= 'z');
    });
}

// `text` as it is, or with every letter upper-cased.
SearchForm FormOf(std::string_view text, bool upper) {
    if (upper && IsAsciiWithoutSmallLetters(text)) return {std::string(text), {}};
    if (IsByteByByte(text)) return {upper ? platform::UpperCase(text) : std::string(text), {}};
    const platform::LeadBytes& lead = platform::AnsiLeadBytes();
    SearchForm form;
    form.haystack.reserve(text.size());
    form.textAt.reserve(text.size() + 1);
    for (std::size_t position = 0; position < text.size();) {
        const std::size_t next = NextCharPosition(text, position, lead);
        const std::string_view character = text.substr(position, next - position);
        form.textAt.resize(form.haystack.size(), npos);
        form.textAt.push_back(position);
        if (!upper) {
            form.haystack += character;
        } else if (IsAscii(character)) {  // the common case, without a call to the system
            const char c = character.front();
            form.haystack += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        } else {
            form.haystack += platform::UpperCase(character);
        }
        position = next;
    }
    form.textAt.resize(form.haystack.size(), npos);
    form.textAt.push_back(text.size());
    return form;
}

// Calls found(begin, end) with where each occurrence of `search` in `haystack`, a SearchForm
// of `text` with its `textAt`, lies in `text`: left to right, without overlap, and only where it
// begins and ends between characters.
template <typename Found>
void ForEachOccurrence(std::string_view haystack, const std::vector<std::size_t>& textAt,
                       std::string_view search, Found found) {
    if (search.empty()) return;
    const auto textPosition = [&](std::size_t position) {
        return textAt.empty() ? position : textAt[position];
    };
    std::size_t at = haystack.find(search);
    while (at != npos) {
        const std::size_t begin = textPosition(at);
        const std::size_t end = textPosition(at + search.size());
        if (begin == npos || end == npos) {  // inside a character: not an occurrence
            at = haystack.find(search, at + 1);
            continue;
        }
        found(begin, end);
        at = haystack.find(search, at + search.size());
    }
}

// Replaces the occurrences of `search` in `haystack`, a SearchForm of `text` with its `textAt`.
std::string ReplaceFound(std::string_view text, std::string_view haystack,
                         const std::vector<std::size_t>& textAt, std::string_view search,
                         std::string_view replacement) {
    std::string result;
    // Room for one occurrence replaced, the usual case, without growing again.
    result.reserve(text.size() + replacement.size());
    std::size_t from = 0;
    ForEachOccurrence(haystack, textAt, search, [&](std::size_t begin, std::size_t end) {
        result.append(text, from, begin - from);
        result.append(replacement);
        from = end;
    });
    result.append(text, from);
    return result;
}
}  // namespace

std::string ReplaceAllExact(std::string_view text, std::string_view search,
                            std::string_view replacement) {
    if (IsByteByByte(text)) return ReplaceFound(text, text, {}, search, replacement);
    if (search.empty() || text.find(search) == npos) return std::string(text);
    const SearchForm form = FormOf(text, false);
    return ReplaceFound(text, form.haystack, form.textAt, search, replacement);
}

std::vector<TextSpan> FindAllExact(std::string_view text, std::string_view search) {
    std::vector<TextSpan> spans;
    const auto add = [&](std::size_t begin, std::size_t end) {
        spans.push_back({begin, end - begin});
    };
    if (IsByteByByte(text)) {
        ForEachOccurrence(text, {}, search, add);
    } else {
        const SearchForm form = FormOf(text, false);
        ForEachOccurrence(form.haystack, form.textAt, search, add);
    }
    return spans;
}

std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view search,
                                 std::string_view replacement) {
    if (search.empty()) return std::string(text);
    const SearchForm form = FormOf(text, true);
    return ReplaceFound(text, form.haystack, form.textAt, UpperCaseForSearch(search), replacement);
}

std::string UpperCaseForSearch(std::string_view text) {
    return FormOf(text, true).haystack;
}

std::vector<std::string> SplitLines(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        // One pass over the bytes; find_first_of would search its set anew for every byte.
        const auto lineEnd =
            std::find_if(text.begin() + static_cast<std::ptrdiff_t>(start), text.end(),
                         [](char c) { return c == '\r' || c == '\n'; });
        const std::size_t end = lineEnd == text.end()
                                    ? std::string_view::npos
                                    : static_cast<std::size_t>(lineEnd - text.begin());
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    return lines;
}

std::string_view TrimControlAndBlank(std::string_view text) {
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string Concatenated(std::span<const std::string_view> pieces) {
    std::size_t size = 0;
    for (const std::string_view piece : pieces) size += piece.size();
    std::string joined(size, '\0');
    char* out = joined.data();
    for (const std::string_view piece : pieces) out = std::copy(piece.begin(), piece.end(), out);
    return joined;
}

std::uint32_t MacrosHeld(std::string_view text, std::span<const std::string_view> macros) {
    // The macros by length, so that each candidate is compared only with those as long as it.
    constexpr std::size_t kLongest = 32;
    std::array<std::uint32_t, kLongest + 1> byLength{};
    for (std::size_t i = 0; i < macros.size(); ++i) {
        if (macros[i].size() <= kLongest) byLength[macros[i].size()] |= std::uint32_t{1} << i;
    }
    // A macro has "%" only at its ends, so where one begins it ends at the next "%": each "%"
    // with the text up to the next one is a candidate.
    std::uint32_t held = 0;
    for (std::size_t at = text.find('%'); at != npos;) {
        const std::size_t next = text.find('%', at + 1);
        if (next == npos) break;
        const std::string_view candidate = text.substr(at, next - at + 1);
        if (candidate.size() <= kLongest) {
            for (std::uint32_t same = byLength[candidate.size()]; same != 0; same &= same - 1) {
                const int i = std::countr_zero(same);
                if (macros[static_cast<std::size_t>(i)] == candidate) held |= std::uint32_t{1} << i;
            }
        }
        at = next;
    }
    return held;
}

std::size_t FindCharOf(std::string_view text, std::string_view chars, std::size_t from) {
    const platform::LeadBytes& lead = platform::AnsiLeadBytes();
    if (!lead.any && chars.size() == 1) return text.find(chars.front(), from);
    for (std::size_t position = from; position < text.size();
         position = lead.any ? NextCharPosition(text, position, lead) : position + 1) {
        if (IsOneOf(text[position], chars)) return position;
    }
    return npos;
}

std::size_t FindLastCharOf(std::string_view text, std::string_view chars) {
    const platform::LeadBytes& lead = platform::AnsiLeadBytes();
    if (!lead.any) {
        for (std::size_t position = text.size(); position-- > 0;) {
            if (IsOneOf(text[position], chars)) return position;
        }
        return npos;
    }
    std::size_t last = npos;
    for (std::size_t position = 0; position < text.size();
         position = NextCharPosition(text, position, lead)) {
        if (IsOneOf(text[position], chars)) last = position;
    }
    return last;
}

std::string WithExtension(std::string_view path, std::string_view extension) {
    const std::size_t lastSeparator = FindLastCharOf(path, "\\:");
    const std::size_t lastDot = FindLastCharOf(path, ".");
    const bool hasExtension = lastDot != std::string_view::npos &&
                              (lastSeparator == std::string_view::npos || lastDot > lastSeparator);
    return std::string(hasExtension ? path.substr(0, lastDot) : path) + std::string(extension);
}

std::string FolderOf(std::string_view path) {
    const std::size_t last = FindLastCharOf(path, "\\:");
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

}  // namespace quillet
