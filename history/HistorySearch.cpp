#include "history/HistorySearch.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "platform/platform.h"

namespace quillet {

namespace {

constexpr unsigned kUtf8CodePage = 65001;

// Characters whose lower-case form is a letter whose own capital is another character: the
// Kelvin sign is "k" in lower case, but "k" in upper case is "K". Found by neither the letter's
// lower- nor its upper-case form, they are added by hand.
constexpr std::pair<char16_t, char16_t> kExtraCapitals[] = {
    {u'k', u'\u212A'},      {u'\u00E5', u'\u212B'}, {u'\u03C9', u'\u2126'}, {u'i', u'\u0130'},
    {u'\u00DF', u'\u1E9E'}, {u'\u03B8', u'\u03F4'}, {u'\u01C6', u'\u01C5'}, {u'\u01C9', u'\u01C8'},
    {u'\u01CC', u'\u01CB'}, {u'\u01F3', u'\u01F2'},
};

// The query's characters, a surrogate pair kept together.
std::vector<std::u16string> Characters(std::u16string_view text) {
    std::vector<std::u16string> characters;
    for (std::size_t i = 0; i < text.size();) {
        const bool pair = text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size() &&
                          text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000;
        const std::size_t units = pair ? 2 : 1;
        characters.emplace_back(text.substr(i, units));
        i += units;
    }
    return characters;
}

// Every character that Contains takes for `character`: those whose lower-case form is its own.
std::vector<std::u16string> CaseVariants(const std::u16string& character) {
    const std::u16string lower = platform::LowerCaseWide(character);
    std::vector<std::u16string> variants = {character, lower, platform::UpperCaseWide(lower)};
    for (const auto& [small, capital] : kExtraCapitals) {
        if (lower.size() == 1 && lower[0] == small) variants.emplace_back(1, capital);
    }
    std::sort(variants.begin(), variants.end());
    variants.erase(std::unique(variants.begin(), variants.end()), variants.end());
    return variants;
}

// In a single-byte code page every byte is looked at: the byte sequences whose character is
// one of `variants`, whatever other characters share its letter.
std::vector<std::string> SingleByteAlternatives(unsigned codePage, const std::u16string& character,
                                                bool matchCase) {
    const std::u16string wanted = matchCase ? character : platform::LowerCaseWide(character);
    std::vector<std::string> alternatives;
    for (int byte = 0; byte < 256; ++byte) {
        const std::string bytes(1, static_cast<char>(byte));
        const std::u16string decoded = platform::CodePageToWide(codePage, bytes);
        if ((matchCase ? decoded : platform::LowerCaseWide(decoded)) == wanted)
            alternatives.push_back(bytes);
    }
    return alternatives;
}

// How often a byte turns up in history text, roughly: the anchor of a search is the query's
// character whose bytes are rarest, so that few places need a closer look.
int ByteFrequency(unsigned char byte) {
    static constexpr std::string_view kCommon = " etaoinsrhldcumfpgwybvk";
    if (byte == '\r' || byte == '\n') return 90;
    if (byte >= 'A' && byte <= 'Z') byte = static_cast<unsigned char>(byte - 'A' + 'a');
    const std::size_t rank = kCommon.find(static_cast<char>(byte));
    if (rank != std::string_view::npos) return 100 - static_cast<int>(rank) * 3;
    if (byte >= 0x80) return 20;  // the bytes of a script: common within it
    return 10;
}

// A search of the raw bytes for a sequence of characters, each one of several byte sequences.
class ByteMatcher {
public:
    explicit ByteMatcher(std::vector<std::vector<std::string>> alternatives)
        : alternatives_(std::move(alternatives)) {
        ChooseAnchor();
    }

    std::size_t span() const {
        std::size_t span = 0;
        for (const auto& options : alternatives_) {
            std::size_t longest = 0;
            for (const std::string& option : options) longest = std::max(longest, option.size());
            span += longest;
        }
        return span;
    }

    // The start of the first match in `bytes`, or npos.
    std::size_t Find(std::string_view bytes) const {
        if (impossible_) return std::string_view::npos;
        if (anchorBytes_.size() > next_.size()) return FindByTable(bytes);
        // Each anchor byte's next place, found with memchr: a few passes over the bytes beat one
        // that looks at every byte.
        std::array<std::size_t, 4> next = next_;
        const std::size_t count = anchorBytes_.size();
        for (std::size_t i = 0; i < count; ++i) next[i] = Scan(bytes, anchorBytes_[i], 0);
        for (;;) {
            const auto which = static_cast<std::size_t>(
                std::min_element(next.begin(), next.begin() + count) - next.begin());
            const std::size_t at = next[which];
            if (at == std::string_view::npos) return std::string_view::npos;
            const std::size_t start = MatchAround(bytes, at);
            if (start != std::string_view::npos) return start;
            next[which] = Scan(bytes, anchorBytes_[which], at + 1);
        }
    }

private:
    std::size_t FindByTable(std::string_view bytes) const {
        for (std::size_t at = 0; at < bytes.size(); ++at) {
            if (!isAnchorByte_[static_cast<unsigned char>(bytes[at])]) continue;
            const std::size_t start = MatchAround(bytes, at);
            if (start != std::string_view::npos) return start;
        }
        return std::string_view::npos;
    }

    static std::size_t Scan(std::string_view bytes, unsigned char byte, std::size_t from) {
        if (from >= bytes.size()) return std::string_view::npos;
        const void* found = std::memchr(bytes.data() + from, byte, bytes.size() - from);
        return found == nullptr
                   ? std::string_view::npos
                   : static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
    }

    // The anchor is the character with the rarest last bytes, and among those with more than
    // four the one with fewest.
    void ChooseAnchor() {
        int best = 0;
        bool chosen = false;
        for (std::size_t k = 0; k < alternatives_.size(); ++k) {
            std::vector<unsigned char> last;
            for (const std::string& option : alternatives_[k])
                last.push_back(static_cast<unsigned char>(option.back()));
            std::sort(last.begin(), last.end());
            last.erase(std::unique(last.begin(), last.end()), last.end());
            if (last.empty()) {  // a character no byte sequence stands for: nothing can match
                impossible_ = true;
                return;
            }
            int score = 0;
            for (const unsigned char byte : last) score += ByteFrequency(byte);
            if (last.size() > next_.size()) score += 1000 * static_cast<int>(last.size());
            if (!chosen || score < best) {
                chosen = true;
                best = score;
                anchor_ = k;
                anchorBytes_ = last;
            }
        }
        impossible_ = !chosen;
        for (const unsigned char byte : anchorBytes_) isAnchorByte_[byte] = true;
    }

    // The start of a match whose anchor character ends at `at`, or npos.
    std::size_t MatchAround(std::string_view bytes, std::size_t at) const {
        for (const std::string& option : alternatives_[anchor_]) {
            if (static_cast<unsigned char>(option.back()) !=
                    static_cast<unsigned char>(bytes[at]) ||
                option.size() > at + 1 ||
                bytes.substr(at + 1 - option.size(), option.size()) != option) {
                continue;
            }
            if (!MatchesForward(bytes, at + 1, anchor_ + 1)) continue;
            const std::size_t start = StartBackward(bytes, at + 1 - option.size(), anchor_);
            if (start != std::string_view::npos) return start;
        }
        return std::string_view::npos;
    }

    bool MatchesForward(std::string_view bytes, std::size_t at, std::size_t k) const {
        if (k == alternatives_.size()) return true;
        for (const std::string& option : alternatives_[k]) {
            if (bytes.substr(at, option.size()) == option &&
                MatchesForward(bytes, at + option.size(), k + 1))
                return true;
        }
        return false;
    }

    // Where the characters before the k-th begin, when they end at `end`; npos when they don't.
    std::size_t StartBackward(std::string_view bytes, std::size_t end, std::size_t k) const {
        if (k == 0) return end;
        for (const std::string& option : alternatives_[k - 1]) {
            if (option.size() > end || bytes.substr(end - option.size(), option.size()) != option)
                continue;
            const std::size_t start = StartBackward(bytes, end - option.size(), k - 1);
            if (start != std::string_view::npos) return start;
        }
        return std::string_view::npos;
    }

    std::vector<std::vector<std::string>> alternatives_;
    bool impossible_ = false;
    std::size_t anchor_ = 0;
    std::vector<unsigned char> anchorBytes_;
    std::array<bool, 256> isAnchorByte_{};
    static constexpr std::array<std::size_t, 4> next_{};
};

}  // namespace

TextMatcher::TextMatcher(SearchQuery query)
    : query_(std::move(query)),
      folded_(query_.matchCase ? query_.text : platform::LowerCaseWide(query_.text)) {}

bool TextMatcher::Contains(std::u16string_view text) const {
    if (folded_.empty()) return true;
    if (query_.matchCase) return text.find(folded_) != std::u16string_view::npos;
    return platform::LowerCaseWide(text).find(folded_) != std::u16string::npos;
}

bool TextMatcher::Matches(const HistoryEntry& entry) const {
    return Contains(entry.text) || Contains(entry.name);
}

CandidateSearch TextMatcher::CandidatesFor(unsigned codePage) const {
    auto found = candidates_.find(codePage);
    if (found == candidates_.end())
        found = candidates_.emplace(codePage, MakeCandidates(codePage)).first;
    return found->second;
}

CandidateSearch TextMatcher::MakeCandidates(unsigned codePage) const {
    if (query_.text.empty()) return {};
    const bool singleByte = codePage != kUtf8CodePage && !IsDoubleByteCodePage(codePage);
    std::vector<std::vector<std::string>> alternatives;
    for (const std::u16string& character : Characters(query_.text)) {
        std::vector<std::string> options;
        if (singleByte) {
            options = SingleByteAlternatives(codePage, character, query_.matchCase);
        } else {
            const auto variants =
                query_.matchCase ? std::vector<std::u16string>{character} : CaseVariants(character);
            for (const std::u16string& variant : variants) {
                if (auto bytes = platform::WideToCodePageExact(codePage, variant))
                    options.push_back(*bytes);
            }
        }
        alternatives.push_back(std::move(options));
    }
    auto matcher = std::make_shared<const ByteMatcher>(std::move(alternatives));
    const std::size_t span = matcher->span();
    return {[matcher](std::string_view bytes) { return matcher->Find(bytes); }, span};
}

}  // namespace quillet
