#include "config/StringOps.h"

#include <algorithm>

#include "platform/platform.h"

namespace quillet {

namespace {
// Replaces the occurrences of `search` found in `haystack`, which has the same length as `text`
// and holds the form of it in which to look.
std::string ReplaceFound(std::string_view text, std::string_view haystack, std::string_view search,
                         std::string_view replacement) {
    if (search.empty()) return std::string(text);
    std::string result;
    result.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = haystack.find(search); at != std::string_view::npos;
         at = haystack.find(search, from)) {
        result.append(text, from, at - from);
        result.append(replacement);
        from = at + search.size();
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

std::string FolderOf(std::string_view path) {
    const std::size_t last = path.find_last_of("\\:");
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

}  // namespace quillet
