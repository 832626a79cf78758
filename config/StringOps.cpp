#include "config/StringOps.h"

#include <algorithm>

#include "platform/platform.h"

namespace quillet {

namespace {
// True when `length` bytes from `at` are whole characters of `text`, given that `from`, at or
// before `at`, begins one.
bool IsWholeCharacters(std::string_view text, std::size_t from, std::size_t at, std::size_t length,
                       const platform::LeadBytes& lead) {
    std::size_t position = from;
    while (position < at) position = NextCharPosition(text, position, lead);
    if (position != at) return false;
    while (position < at + length) position = NextCharPosition(text, position, lead);
    return position == at + length;
}

// Replaces the occurrences of `search` found in `haystack`, which has the same length as `text`
// and holds the form of it in which to look.
std::string ReplaceFound(std::string_view text, std::string_view haystack, std::string_view search,
                         std::string_view replacement) {
    if (search.empty()) return std::string(text);
    const platform::LeadBytes& lead = platform::AnsiLeadBytes();
    std::string result;
    result.reserve(text.size());
    std::size_t from = 0;
    std::size_t at = haystack.find(search);
    while (at != std::string_view::npos) {
        if (lead.any && !IsWholeCharacters(text, from, at, search.size(), lead)) {
            at = haystack.find(search, at + 1);  // inside a character: not an occurrence
            continue;
        }
        result.append(text, from, at - from);
        result.append(replacement);
        from = at + search.size();
        at = haystack.find(search, from);
    }
    result.append(text, from);
    return result;
}
}  // namespace

std::string ReplaceAllExact(std::string_view text, std::string_view search,
                            std::string_view replacement) {
    return ReplaceFound(text, text, search, replacement);
}

std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view search,
                                 std::string_view replacement) {
    if (search.empty() || text.size() < search.size()) return std::string(text);
    const std::string upperText = platform::UpperCase(text);
    const std::string upperSearch = platform::UpperCase(search);
    return ReplaceFound(text, upperText, upperSearch, replacement);
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

std::size_t NextCharPosition(std::string_view text, std::size_t position,
                             const platform::LeadBytes& lead) {
    const bool pair =
        lead.isLead[static_cast<unsigned char>(text[position])] && position + 1 < text.size();
    return position + (pair ? 2 : 1);
}

std::size_t FindCharOf(std::string_view text, std::string_view chars, std::size_t from) {
    const platform::LeadBytes& lead = platform::AnsiLeadBytes();
    if (!lead.any) return text.find_first_of(chars, from);
    for (std::size_t position = from; position < text.size();
         position = NextCharPosition(text, position, lead)) {
        if (chars.find(text[position]) != std::string_view::npos) return position;
    }
    return std::string_view::npos;
}

std::size_t FindLastCharOf(std::string_view text, std::string_view chars) {
    const platform::LeadBytes& lead = platform::AnsiLeadBytes();
    if (!lead.any) return text.find_last_of(chars);
    std::size_t last = std::string_view::npos;
    for (std::size_t position = 0; position < text.size();
         position = NextCharPosition(text, position, lead)) {
        if (chars.find(text[position]) != std::string_view::npos) last = position;
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
