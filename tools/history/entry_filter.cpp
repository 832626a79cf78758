#include "tools/history/entry_filter.h"

#include <array>
#include <charconv>
#include <regex>
#include <vector>

#include "history/HistorySearch.h"
#include "platform/platform.h"

namespace quillet::history_tool {

namespace {

// ---- Days ---------------------------------------------------------------------------------------

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

// The number of `digits` digits at `text`'s start; nullopt when they are not all digits.
std::optional<int> Digits(std::string_view text, std::size_t digits) {
    int value = 0;
    if (text.size() < digits) return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + digits, value);
    if (error != std::errc() || end != text.data() + digits) return std::nullopt;
    return value;
}

Day DayOf(const DateTimeFields& time) {
    return {time.year, time.month, time.day};
}

// ---- Regular expressions ------------------------------------------------------------------------

// Each UTF-16 unit of the Basic Multilingual Plane in lower case, as the platform's invariant
// letter case has it: what an expression that ignores case compares. Made once, at first use.
const std::u16string& LowerCaseTable() {
    static const std::u16string table = [] {
        std::u16string units(0x10000, u'\0');
        for (std::size_t unit = 0; unit < units.size(); ++unit) {
            units[unit] = static_cast<char16_t>(unit);
        }
        // Surrogates stay themselves; the rest is lowered in two runs around them.
        const std::u16string_view all = units;
        const std::u16string below = platform::LowerCaseWide(all.substr(0, 0xD800));
        const std::u16string above = platform::LowerCaseWide(all.substr(0xE000));
        units.replace(0, below.size(), below);
        units.replace(0xE000, above.size(), above);
        return units;
    }();
    return table;
}

// The standard traits, but letter case ignored in every script, not only in the C locale's.
struct FoldingTraits : std::regex_traits<wchar_t> {
    wchar_t translate_nocase(wchar_t c) const {
        const auto unit = static_cast<std::uint32_t>(c);
        return unit < 0x10000 ? static_cast<wchar_t>(LowerCaseTable()[unit]) : c;
    }
};

using FoldingRegex = std::basic_regex<wchar_t, FoldingTraits>;

// UTF-16 as the wide characters the expression matches: the same units where wchar_t has 16
// bits, code points where it has 32.
std::wstring ToWide(std::u16string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if constexpr (sizeof(wchar_t) == 4) {
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                text[i + 1] < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
            }
        }
        wide += static_cast<wchar_t>(c);
    }
    return wide;
}

// True when a line of `text` (or `text` itself, when it has none) matches: an expression is
// matched line by line, as grep does, so "^" and "$" hold at each line.
bool AnyLineMatches(const FoldingRegex& expression, std::u16string_view text) {
    const std::wstring wide = ToWide(text);
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = wide.find_first_of(L"\r\n", start);
        const auto first = wide.begin() + static_cast<std::ptrdiff_t>(start);
        const auto last = end == std::wstring::npos
                              ? wide.end()
                              : wide.begin() + static_cast<std::ptrdiff_t>(end);
        if (std::regex_search(first, last, expression, std::regex_constants::match_continuous))
            return true;
        if (end == std::wstring::npos) return false;
        start = end + (wide.compare(end, 2, L"\r\n") == 0 ? 2 : 1);
    }
}

// The expression that matches a line from its start when `pattern` matches anywhere in it:
// matched from the start only (match_continuous), it is one walk over the line, where a search
// would walk the rest of the line again from every position, quadratic in a long line. The
// polynomial executor of libstdc++ walks without recursing per character, so a long line cannot
// exhaust the stack; it takes no back-references. Throws std::regex_error when `pattern` is no
// expression on its own.
FoldingRegex MakeExpression(const std::string& pattern, bool caseSensitive) {
    auto flags = std::regex_constants::ECMAScript | std::regex_constants::__polynomial;
    if (!caseSensitive) flags |= std::regex_constants::icase;
    const std::wstring wide = ToWide(platform::CodePageToWide(65001, pattern));
    FoldingRegex(wide, flags);
    return FoldingRegex(L"[\\s\\S]*?(?:" + wide + L")", flags);
}

}  // namespace

std::optional<Day> ParseDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto year = Digits(text, 4);
    const auto month = Digits(text.substr(5), 2);
    const auto day = Digits(text.substr(8), 2);
    if (!year || !month || !day || *year < 1 || *month < 1 || *month > 12 || *day < 1 ||
        *day > DaysInMonth(*year, *month)) {
        return std::nullopt;
    }
    return Day{*year, *month, *day};
}

class EntryFilter::Impl {
public:
    explicit Impl(const SearchOptions& options)
        : options_(options),
          text_(std::make_shared<TextMatcher>(
              SearchQuery{platform::CodePageToWide(65001, options.text), options.caseSensitive})),
          contact_(SearchQuery{platform::CodePageToWide(65001, options.contact), false}) {
        if (options.regex) expression_ = MakeExpression(options.text, options.caseSensitive);
    }

    bool PathMatchesContact(std::string_view shownPath) const {
        return options_.contact.empty() ||
               contact_.Contains(platform::CodePageToWide(65001, shownPath));
    }

    bool Matches(const HistoryEntry& entry, bool pathMatches) const {
        const Day day = DayOf(entry.time);
        if ((options_.since && day < *options_.since) || (options_.until && day > *options_.until))
            return false;
        if (!pathMatches && !contact_.Contains(entry.name)) return false;
        if (!expression_) return text_->Matches(entry);
        return AnyLineMatches(*expression_, entry.text) || AnyLineMatches(*expression_, entry.name);
    }

    std::function<CandidateSearch(unsigned)> Candidates() const {
        if (options_.regex || options_.text.empty()) return {};
        return [text = text_](unsigned codePage) { return text->CandidatesFor(codePage); };
    }

private:
    SearchOptions options_;
    std::shared_ptr<const TextMatcher> text_;
    TextMatcher contact_;
    std::optional<FoldingRegex> expression_;
};

EntryFilter::EntryFilter(const SearchOptions& options) : impl_(std::make_unique<Impl>(options)) {}
EntryFilter::~EntryFilter() = default;
EntryFilter::EntryFilter(EntryFilter&&) noexcept = default;
EntryFilter& EntryFilter::operator=(EntryFilter&&) noexcept = default;

bool EntryFilter::PathMatchesContact(std::string_view shownPath) const {
    return impl_->PathMatchesContact(shownPath);
}

bool EntryFilter::Matches(const HistoryEntry& entry, bool pathMatches) const {
    return impl_->Matches(entry, pathMatches);
}

std::function<CandidateSearch(unsigned)> EntryFilter::Candidates() const {
    return impl_->Candidates();
}

}  // namespace quillet::history_tool
