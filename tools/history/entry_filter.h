// Which entries a search finds: those whose text or name holds the search text (or matches a
// regular expression), of the contacts asked for, between the days asked for. Matching is a
// function of an entry and knows nothing of files or output.
#pragma once

#include <compare>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "history/HistoryReader.h"

namespace quillet::history_tool {

// A calendar day.
struct Day {
    int year = 0;
    int month = 0;
    int day = 0;
    auto operator<=>(const Day&) const = default;
};

// The day written "YYYY-MM-DD"; nullopt when the text is not a day of the calendar.
std::optional<Day> ParseDay(std::string_view text);

struct SearchOptions {
    std::string text;          // UTF-8; empty finds every entry
    std::string contact;       // UTF-8; empty: every contact
    std::optional<Day> since;  // inclusive
    std::optional<Day> until;  // inclusive
    bool caseSensitive = false;
    bool regex = false;  // `text` is an ECMAScript regular expression
};

class EntryFilter {
public:
    // Throws std::regex_error when `options.regex` is set and the text is no regular expression
    // this tool can match.
    explicit EntryFilter(const SearchOptions& options);
    ~EntryFilter();
    EntryFilter(EntryFilter&&) noexcept;
    EntryFilter& operator=(EntryFilter&&) noexcept;

    // True when every entry of the file at `shownPath` (below the root) is of the contacts
    // asked for, because the path holds the contact text (letter case ignored).
    bool PathMatchesContact(std::string_view shownPath) const;

    // True when the entry is found: `pathMatches` is what PathMatchesContact said of its file.
    bool Matches(const HistoryEntry& entry, bool pathMatches) const;

    // What the reader needs to pass over entries that cannot hold the text without decoding
    // them; empty when every entry must be decoded (a regular expression, an empty text).
    std::function<CandidateSearch(unsigned codePage)> Candidates() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quillet::history_tool
