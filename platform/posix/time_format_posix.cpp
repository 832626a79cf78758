// The user's long-time format for the POSIX platform layer: a Windows time picture in
// QUILLET_TIME_FORMAT (designators from QUILLET_TIME_AM and QUILLET_TIME_PM), else the LC_TIME
// locale's strftime format (T_FMT, AM_STR, PM_STR). Both are read into the same pieces: an
// hour field, the text between it and the minutes, and the designator's place.
#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/environment_cache.h"
#include "platform/posix/unicode.h"

namespace platform {

namespace {

enum class Field { literal, hour12, hour24, minute, second, designator, other };

struct Piece {
    Field field = Field::literal;
    bool leadingZero = false;  // hours only
    std::string text;          // literals only, in the charset of the source
};

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

void AddLiteral(std::vector<Piece>& pieces, std::string_view text) {
    if (pieces.empty() || pieces.back().field != Field::literal) pieces.push_back({});
    pieces.back().text += text;
}

// The pieces of a Windows time picture: "h"/"hh" 12-hour, "H"/"HH" 24-hour (two letters for a
// leading zero), "m", "s", "t" for the designator, text in single quotes taken literally.
std::vector<Piece> ParseWindowsPicture(std::string_view picture) {
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < picture.size();) {
        const char c = picture[i];
        if (c == '\'') {
            const std::size_t close = picture.find('\'', i + 1);
            const std::size_t end = close == std::string_view::npos ? picture.size() : close;
            AddLiteral(pieces, picture.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        std::size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c) ++run;
        switch (c) {
            case 'h':
                pieces.push_back({Field::hour12, run >= 2, {}});
                break;
            case 'H':
                pieces.push_back({Field::hour24, run >= 2, {}});
                break;
            case 'm':
                pieces.push_back({Field::minute, false, {}});
                break;
            case 's':
                pieces.push_back({Field::second, false, {}});
                break;
            case 't':
                pieces.push_back({Field::designator, false, {}});
                break;
            default:
                AddLiteral(pieces, picture.substr(i, run));
                break;
        }
        i += run;
    }
    return pieces;
}

// A strftime conversion as a piece; `padded` is false after the flags "-" and "_".
Piece StrftimePiece(char conversion, bool padded) {
    switch (conversion) {
        case 'H':
            return {Field::hour24, padded, {}};
        case 'k':
            return {Field::hour24, false, {}};
        case 'I':
            return {Field::hour12, padded, {}};
        case 'l':
            return {Field::hour12, false, {}};
        case 'M':
            return {Field::minute, false, {}};
        case 'S':
            return {Field::second, false, {}};
        case 'p':
        case 'P':
            return {Field::designator, false, {}};
        case 'n':
            return {Field::literal, false, "\n"};
        case 't':
            return {Field::literal, false, "\t"};
        case '%':
            return {Field::literal, false, "%"};
        default:
            return {Field::other, false, {}};
    }
}

// The pieces of a strftime time format; %r, %T and %R are read as what they stand for
// (%r through the locale's T_FMT_AMPM).
void ParseStrftime(std::string_view format, const std::string& ampmFormat,
                   std::vector<Piece>& pieces, int depth = 0) {
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            AddLiteral(pieces, format.substr(i, 1));
            continue;
        }
        bool padded = true;
        ++i;
        while (i < format.size() &&
               std::string_view("-_0^#").find(format[i]) != std::string_view::npos) {
            if (format[i] == '-' || format[i] == '_') padded = false;
            ++i;
        }
        while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
        if (i < format.size() && (format[i] == 'E' || format[i] == 'O')) ++i;
        if (i == format.size()) break;
        const char conversion = format[i];
        const char* expansion = conversion == 'T'   ? "%H:%M:%S"
                                : conversion == 'R' ? "%H:%M"
                                : conversion == 'r' ? ampmFormat.c_str()
                                                    : nullptr;
        if (expansion != nullptr && depth < 2) {
            ParseStrftime(expansion, ampmFormat, pieces, depth + 1);
            continue;
        }
        const Piece piece = StrftimePiece(conversion, padded);
        if (piece.field == Field::literal)
            AddLiteral(pieces, piece.text);
        else
            pieces.push_back(piece);
    }
}

// The format's choices from its pieces; `toAnsi` converts literal text.
template <typename Convert>
TimeFormat FormatFromPieces(const std::vector<Piece>& pieces, Convert toAnsi) {
    TimeFormat format;
    std::size_t hour = pieces.size();
    for (std::size_t i = 0; i < pieces.size() && hour == pieces.size(); ++i) {
        if (pieces[i].field == Field::hour12 || pieces[i].field == Field::hour24) hour = i;
    }
    if (hour == pieces.size()) return format;
    format.twelveHour = pieces[hour].field == Field::hour12;
    format.leadingZero = pieces[hour].leadingZero;
    if (hour + 2 < pieces.size() && pieces[hour + 1].field == Field::literal &&
        pieces[hour + 2].field == Field::minute) {
        format.separator = toAnsi(pieces[hour + 1].text);
    }
    if (format.separator.empty()) format.separator = ":";
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].field == Field::designator) {
            format.designatorFirst = i < hour;
            break;
        }
    }
    return format;
}

std::string Utf8ToAnsi(const std::string& text) {
    return WideToAnsi(posix::Utf8ToUtf16(text));
}

TimeFormat FormatFromPicture(const std::string& picture) {
    TimeFormat format = FormatFromPieces(ParseWindowsPicture(picture), Utf8ToAnsi);
    // A designator set to the empty text stays empty; only an unset one takes the default.
    const char* am = std::getenv("QUILLET_TIME_AM");
    const char* pm = std::getenv("QUILLET_TIME_PM");
    format.am = am != nullptr ? Utf8ToAnsi(am) : "AM";
    format.pm = pm != nullptr ? Utf8ToAnsi(pm) : "PM";
    return format;
}

// The locale that LC_ALL, LC_TIME or LANG names, for its time format and for the charset of
// those texts; freed with the object.
class TimeLocale {
public:
    TimeLocale() {
        std::string name = Variable("LC_ALL");
        if (name.empty()) name = Variable("LC_TIME");
        if (name.empty()) name = Variable("LANG");
        constexpr int kCategories = LC_TIME_MASK | LC_CTYPE_MASK;
        if (!name.empty())
            locale_ = newlocale(kCategories, name.c_str(), static_cast<locale_t>(nullptr));
        if (locale_ == nullptr)
            locale_ = newlocale(kCategories, "C", static_cast<locale_t>(nullptr));
    }
    ~TimeLocale() {
        if (locale_ != nullptr) freelocale(locale_);
    }
    TimeLocale(const TimeLocale&) = delete;
    TimeLocale& operator=(const TimeLocale&) = delete;

    bool isValid() const { return locale_ != nullptr; }
    std::string Item(nl_item item) const { return nl_langinfo_l(item, locale_); }

    // A text of the locale in the ANSI code page.
    std::string ToAnsi(const std::string& text) const {
        std::u16string wide = posix::DecodeCharset(Item(CODESET).c_str(), text, u'?');
        if (wide.empty()) wide = posix::Utf8ToUtf16(text);
        return WideToAnsi(wide);
    }

private:
    locale_t locale_ = nullptr;
};

TimeFormat FormatFromLocale() {
    const TimeLocale locale;
    if (!locale.isValid()) return TimeFormat{.am = "AM", .pm = "PM"};
    std::string ampm = locale.Item(T_FMT_AMPM);
    if (ampm.empty()) ampm = "%I:%M:%S %p";
    std::vector<Piece> pieces;
    ParseStrftime(locale.Item(T_FMT), ampm, pieces);
    const auto toAnsi = [&](const std::string& text) { return locale.ToAnsi(text); };
    TimeFormat format = FormatFromPieces(pieces, toAnsi);
    format.am = toAnsi(locale.Item(AM_STR));
    format.pm = toAnsi(locale.Item(PM_STR));
    return format;
}

}  // namespace

TimeFormat UserTimeFormat() {
    thread_local posix::EnvironmentCached<TimeFormat> format([] {
        const std::string picture = Variable("QUILLET_TIME_FORMAT");
        return picture.empty() ? FormatFromLocale() : FormatFromPicture(picture);
    });
    return format.get();
}

}  // namespace platform
