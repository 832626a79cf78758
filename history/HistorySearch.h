// Matching entries against a search text: the same for the command-line tool and the options
// dialog. Matching is a function of an entry; for speed it also gives the reader a way to pass
// over entries whose bytes cannot hold the text, so that only a few entries are decoded.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "history/HistoryReader.h"

namespace quillet {

struct SearchQuery {
    std::u16string text;
    // Off: letter case is ignored in every script ("привет" finds "Привет", "ÄRGER" "ärger").
    bool matchCase = false;
};

class TextMatcher {
public:
    explicit TextMatcher(SearchQuery query);

    // True when the entry's name or text contains the query.
    bool Matches(const HistoryEntry& entry) const;
    // True when `text` contains the query.
    bool Contains(std::u16string_view text) const;

    // A candidate search for files whose texts are in `codePage` (65001: UTF-8), for
    // ReaderOptions::candidatesFor: every entry that matches holds a candidate.
    CandidateSearch CandidatesFor(unsigned codePage) const;

private:
    CandidateSearch MakeCandidates(unsigned codePage) const;

    SearchQuery query_;
    std::u16string folded_;  // the query as Contains compares it
    // Made once per code page: a search asks for every file.
    mutable std::map<unsigned, CandidateSearch> candidates_;
};

}  // namespace quillet
