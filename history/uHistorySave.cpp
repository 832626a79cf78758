#include "history/uHistorySave.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <utility>

#include "config/PluginGlobals.h"
#include "config/StringOps.h"
#include "config/u_SimpleAliases.h"
#include "config/un_GetDirs.h"
#include "history/DateTime.h"
#include "history/EntryFormat.h"
#include "history/PathSafety.h"

namespace quillet {

namespace {
constexpr std::chrono::milliseconds kPatience{platform::kHeldFilePatienceMs};
constexpr std::chrono::milliseconds kFirstPause{platform::kHeldFileFirstPauseMs};

constexpr std::string_view kInvalidFileNameChars = "/:*?\"<>|";

// For each byte, whether it is one of kInvalidFileNameChars: a path is cleaned in one pass with
// a look-up per character instead of a search of the set.
constexpr std::array<bool, 256> kIsInvalidFileNameChar = [] {
    std::array<bool, 256> table{};
    for (const char c : kInvalidFileNameChars) table[static_cast<unsigned char>(c)] = true;
    return table;
}();

// Clock and calendar fields (0-99) with a leading zero.
std::string TwoDigits(int value) {
    return {static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}

// A year in (at least) four digits, as a path's date macro gives it.
std::string Year(int year) {
    const std::string digits = std::to_string(year);
    return std::string(digits.size() < 4 ? 4 - digits.size() : 0, '0') + digits;
}

// The time in the user's long time format: hour (12-hour with designator where the locale says
// so), minutes and seconds.
std::string FormatTime(const DateTimeFields& time, const platform::TimeFormat& format) {
    int hour = time.hour;
    if (format.twelveHour) {
        hour %= 12;
        if (hour == 0) hour = 12;
    }
    std::string text = format.leadingZero ? TwoDigits(hour) : std::to_string(hour);
    text += format.separator;
    text += TwoDigits(time.minute);
    text += format.separator;
    text += TwoDigits(time.second);
    if (!format.twelveHour) return text;
    const std::string& designator = time.hour < 12 ? format.am : format.pm;
    if (designator.empty()) return text;
    return format.designatorFirst ? designator + " " + text : text + " " + designator;
}

std::string FormatDate(const DateTimeFields& date) {
    std::string text = TwoDigits(date.day);
    text += '/';
    text += TwoDigits(date.month);
    text += '/';
    text += std::to_string(date.year);
    return text;
}

// Creates every missing folder of `folderPart`, outermost first. False when one cannot be made.
std::optional<platform::SystemError> CreateFolders(const std::string& folderPart) {
    // A UNC path's server and share cannot be created; start below them.
    std::size_t from = 0;
    if (folderPart.rfind("\\\\", 0) == 0) {
        from = FindCharOf(folderPart, "\\", 2);
        from =
            from == std::string::npos ? folderPart.size() : FindCharOf(folderPart, "\\", from + 1);
        if (from == std::string::npos) from = folderPart.size();
    }
    // The separator before `end`, so that a doubled "\\" is seen without looking at the byte
    // before it, which may end a double-byte character.
    std::size_t previous = std::string::npos;
    for (std::size_t end = FindCharOf(folderPart, "\\", from); end != std::string::npos;
         previous = end, end = FindCharOf(folderPart, "\\", end + 1)) {
        const std::string folder = folderPart.substr(0, end);
        const bool nothingToCreate = folder.empty() || previous + 1 == end || folder.back() == ':';
        if (nothingToCreate || platform::FolderExists(folder)) continue;
        try {
            platform::CreateFolder(folder);
        } catch (const platform::SystemError& error) {
            return error;
        }
    }
    return std::nullopt;
}

// Appends what `compose` makes of the file's first `headSize` bytes (none asked: the bytes of
// an empty head); a file another program holds for a moment (a virus scanner, an indexer, a
// backup) is tried again, waiting a little longer each time, for at most kPatience in all
// before the failure goes on to be told. Any other failure goes on at once.
void AppendWithPatience(const std::string& path, std::size_t headSize,
                        const platform::AppendComposer& compose) {
    const auto start = std::chrono::steady_clock::now();
    for (unsigned attempt = 1;; ++attempt) {
        try {
            platform::AppendToFile(path, headSize, compose);
            return;
        } catch (const platform::SystemError& error) {
            const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start);
            if (!platform::NamesSharingViolation(error) || waited >= kPatience) throw;
            const auto pause = std::min(kFirstPause * attempt, kPatience - waited);
            platform::Pause(static_cast<unsigned>(pause.count()));
        }
    }
}

// Appends the entry to the file, creating the file's folders first when they are missing; false
// when one cannot be made. The folders are only found missing by the append itself, so a message
// to a file that exists costs no more than the append. Any other failure is the file's own only
// when its folder exists: a folder part too long for the system, or with a name it refuses, fails
// the open as well, and is a folder that cannot be made.
std::optional<platform::SystemError> AppendCreatingFolders(
    const std::string& path, std::size_t headSize, const platform::AppendComposer& compose) {
    try {
        AppendWithPatience(path, headSize, compose);
        return std::nullopt;
    } catch (const platform::SystemError& error) {
        if (!platform::NamesMissingFolder(error) && platform::FolderExists(FolderOf(path))) throw;
    }
    if (auto failed = CreateFolders(FolderOf(path))) return failed;
    AppendWithPatience(path, headSize, compose);
    return std::nullopt;
}

// True when the entry holds ASCII alone: its bytes in the ANSI code page are ASCII and so are
// the name and text it was made from (a character the code page lacks would have become "?").
bool IsAsciiEntry(const THistoryRec& rec, std::string_view ansiEntry) {
    const auto ascii = [](auto c) { return static_cast<std::uint32_t>(c) < 0x80; };
    const std::u16string& name = rec.Incoming ? rec.ContactName : rec.MyName;
    return std::all_of(ansiEntry.begin(), ansiEntry.end(),
                       [&](char c) { return ascii(static_cast<unsigned char>(c)); }) &&
           std::all_of(name.begin(), name.end(), ascii) &&
           std::all_of(rec.MsgText.begin(), rec.MsgText.end(), ascii);
}

// A contact's or the user's value as it may go into a path: no climbing out, no characters that
// Windows refuses in names.
std::string SafePathValue(const std::u16string& value) {
    return NeutralizeDotSegments(ReplaceControlCharacters(platform::WideToAnsi(value)));
}

// The value of MessageMacroNames[index] for the record, worked out only for a macro the
// template names.
std::string MessageMacroValue(std::size_t index, const THistoryRec& rec) {
    const auto date = [&] { return DecodeDateTime(rec.MsgTime); };
    switch (index) {
        case 0:
            return Year(date().year);
        case 1:
            return TwoDigits(date().month);
        case 2:
            return TwoDigits(date().day);
        case 3:
            return SafePathValue(rec.Protocol);
        case 4:
            return SafePathValue(rec.ContactName);
        case 5:
            return SafePathValue(rec.ContactUIN);
        case 6:
            return SafePathValue(rec.MyUIN);
        default:
            return SafePathValue(rec.MyName);
    }
}

// A path whose macros are being replaced, with the dots the values put there.
struct ExpandingPath {
    std::string text;
    // A byte for each byte of `text`, non-zero for a dot that a value put there; empty while no
    // value has brought one, as for most paths.
    std::string insertedDots;

    // Each of `spans` (in order) replaced by `value`.
    void Replace(const std::vector<TextSpan>& spans, const std::string& value) {
        if (insertedDots.empty() && value.find('.') != std::string::npos) {
            insertedDots.assign(text.size(), '\0');
        }
        const bool marking = !insertedDots.empty();
        std::string valueDots;
        if (marking) {
            for (const char c : value) valueDots += c == '.' ? '\1' : '\0';
        }
        std::string nextText, nextDots;
        nextText.reserve(text.size() + spans.size() * value.size());
        std::size_t from = 0;
        for (const TextSpan& span : spans) {
            nextText.append(text, from, span.position - from).append(value);
            if (marking) nextDots.append(insertedDots, from, span.position - from) += valueDots;
            from = span.position + span.length;
        }
        text = std::move(nextText.append(text, from));
        if (marking) insertedDots = std::move(nextDots.append(insertedDots, from));
    }
};
}  // namespace

std::string JoinedPathTemplate(const SettingsValues& settings) {
    const std::string_view pieces[] = {
        settings[Setting::PathFolder1], "\\", settings[Setting::PathFolder2], "\\",
        settings[Setting::PathFile1],   ".",  settings[Setting::PathFileExt]};
    return Concatenated(pieces);
}

std::string ExpandContactMacros(const std::string& pathTemplate, const THistoryRec& rec) {
    const std::uint32_t named = MacrosHeld(pathTemplate, MessageMacroNames);
    if (named == 0) return pathTemplate;
    ExpandingPath path{pathTemplate, {}};
    for (std::size_t i = 0; i < MessageMacroNames.size(); ++i) {
        if ((named >> i & 1) == 0) continue;
        // Searched for in the result so far: a value that holds a later macro's text has it
        // replaced too.
        const std::vector<TextSpan> found = FindAllExact(path.text, MessageMacroNames[i]);
        if (!found.empty()) path.Replace(found, MessageMacroValue(i, rec));
    }
    return NeutralizeInsertedDots(std::move(path.text), path.insertedDots);
}

std::string CleanFileName(const std::string& path) {
    // Only a drive at the start is kept: a ":\" further on would otherwise spare whatever the
    // first three characters are, and cleaning the result again would change it.
    const bool keepDrive = path.find(":\\") <= 1;
    const std::size_t from = keepDrive ? std::min<std::size_t>(3, path.size()) : 0;
    std::string result = path;
    const platform::LeadBytes& lead = platform::AnsiLeadBytes();
    for (std::size_t i = from; i < result.size(); i = NextCharPosition(result, i, lead)) {
        if (kIsInvalidFileNameChar[static_cast<unsigned char>(result[i])]) result[i] = '_';
    }
    return result;
}

namespace {

// The joined template with its folder macros expanded: all that the settings, the environment
// and the system's folders give the path.
std::string TemplateWithFolders(const std::string& joined, const MessageContext& context) {
    return ExpandFolderMacros(joined, context.settings[Setting::PathFolderCustom],
                              context.pluginPath);
}

// The steps from there on, which read nothing but their arguments, the code page and the locale:
// the record's macros, the alias rules twice, and the rules of Windows' names.
HistoryPathSteps StepsFromTemplateWithFolders(const std::string& withFolders,
                                              const MessageContext& context,
                                              const THistoryRec& rec) {
    HistoryPathSteps steps;
    steps.expanded = ExpandContactMacros(withFolders, rec);
    steps.firstPass = ApplyAliases(*context.aliases, steps.expanded, steps.firstPassRules);
    // The rules are applied twice, so that a rule can rewrite what an earlier one wrote; a first
    // pass that changed nothing leaves nothing new for a second one.
    steps.secondPass = steps.firstPassRules.empty()
                           ? steps.firstPass
                           : ApplyAliases(*context.aliases, steps.firstPass, steps.secondPassRules);
    steps.cleaned = CleanFileName(steps.secondPass);
    steps.trimmed = TrimFolderLevels(steps.cleaned);
    steps.path = ProtectDeviceNames(steps.trimmed);
    return steps;
}

// The path the last message's history file was given, with all that it was made from after the
// folder macros: the template with its folders, the record's values for the message macros, the
// alias rules, the code page and the locale. Messages come in conversations, so the next one
// mostly finds all of these the same and takes the path as it is, which never differs from
// making it anew. The folder macros are expanded for every message, as they read the environment
// and the system's folders.
class KeptHistoryPath {
public:
    template <typename Make>
    const std::string& For(const std::string& withFolders, const MessageContext& context,
                           const THistoryRec& rec, Make make) {
        if (!kept_ || !kept_->MadeFrom(withFolders, context, rec)) {
            kept_.emplace(Made::Of(withFolders, context, rec));
            kept_->path = make();
        }
        return kept_->path;
    }

private:
    struct Made {
        std::string withFolders;
        std::u16string protocol, contactName, contactUin, myUin, myName;  // MessageMacroValue's
        bool dated = false;  // whether the template names the date, which then counts too
        DateTimeFields date;
        std::shared_ptr<const AliasRules> aliases;  // held, so no other rules take its place
        unsigned codePage = 0;  // those in force, which the making reads (not the context's)
        std::uint32_t locale = 0;
        std::string path;

        static Made Of(const std::string& withFolders, const MessageContext& context,
                       const THistoryRec& rec) {
            constexpr std::uint32_t kDateMacros = 0b111;  // the first three MessageMacroNames
            const bool dated = (MacrosHeld(withFolders, MessageMacroNames) & kDateMacros) != 0;
            return {withFolders,
                    rec.Protocol,
                    rec.ContactName,
                    rec.ContactUIN,
                    rec.MyUIN,
                    rec.MyName,
                    dated,
                    dated ? DecodeDateTime(rec.MsgTime) : DateTimeFields{},
                    context.aliases,
                    platform::AnsiCodePage(),
                    platform::UserLocale(),
                    {}};
        }

        bool MadeFrom(const std::string& otherWithFolders, const MessageContext& context,
                      const THistoryRec& rec) const {
            return withFolders == otherWithFolders && protocol == rec.Protocol &&
                   contactName == rec.ContactName && contactUin == rec.ContactUIN &&
                   myUin == rec.MyUIN && myName == rec.MyName && aliases == context.aliases &&
                   codePage == platform::AnsiCodePage() && locale == platform::UserLocale() &&
                   (!dated || SameDay(date, DecodeDateTime(rec.MsgTime)));
        }
    };

    static bool SameDay(const DateTimeFields& a, const DateTimeFields& b) {
        return a.year == b.year && a.month == b.month && a.day == b.day;
    }

    std::optional<Made> kept_;
};

}  // namespace

HistoryPathSteps ComposeHistoryPath(const MessageContext& context, const THistoryRec& rec) {
    std::string joined = JoinedPathTemplate(context.settings);
    HistoryPathSteps steps =
        StepsFromTemplateWithFolders(TemplateWithFolders(joined, context), context, rec);
    steps.joined = std::move(joined);
    return steps;
}

std::string HistoryFilePath(const MessageContext& context, const THistoryRec& rec) {
    // The host sends its events on one thread, as the other things kept between messages assume.
    static KeptHistoryPath kept;
    const std::string withFolders =
        TemplateWithFolders(JoinedPathTemplate(context.settings), context);
    return kept.For(withFolders, context, rec,
                    [&] { return StepsFromTemplateWithFolders(withFolders, context, rec).path; });
}

std::string FormatHistoryEntry(const THistoryRec& rec, const platform::TimeFormat& timeFormat,
                               EntryEncoding encoding) {
    const DateTimeFields when = DecodeDateTime(rec.MsgTime);
    const std::u16string& name = rec.Incoming ? rec.ContactName : rec.MyName;
    // The locale's time texts come in the ANSI code page.
    std::string time = FormatTime(when, timeFormat);
    if (encoding == EntryEncoding::Utf8) time = platform::WideToUtf8(platform::AnsiToWide(time));
    const EntryDirection direction = rec.Incoming ? EntryDirection::Received : EntryDirection::Sent;
    return EntryBytes(direction, EncodeText(name, encoding), time + " " + FormatDate(when),
                      EncodeText(rec.MsgText, encoding));
}

bool SaveHistory(const MessageContext& context, const THistoryRec& rec) {
    std::optional<platform::SystemError> folderError;
    return SaveHistory(context, rec, folderError);
}

bool SaveHistory(const MessageContext& context, const THistoryRec& rec,
                 std::optional<platform::SystemError>& folderError) {
    // The whole entry is built first and written with one write, so a failure leaves no part
    // of it behind wherever the system allows.
    const std::string path = HistoryFilePath(context, rec);
    const EntryEncoding forNewFiles =
        EncodingForNewFiles(context.settings[Setting::HistoryEncoding]);
    const std::string ansiEntry = FormatHistoryEntry(rec, context.timeFormat);
    // Under the ANSI setting an entry of ASCII alone is the same in either encoding, whatever the
    // file holds: it is appended without a look at the file's beginning.
    const bool sameInEither = forNewFiles == EntryEncoding::Ansi && IsAsciiEntry(rec, ansiEntry);
    const std::size_t headSize = sameInEither ? 0 : EncodingHeadSize;
    folderError = AppendCreatingFolders(path, headSize, [&](std::string_view head) {
        if (EncodingOfFile(head, forNewFiles) == EntryEncoding::Ansi) return ansiEntry;
        const std::string entry = FormatHistoryEntry(rec, context.timeFormat, EntryEncoding::Utf8);
        return head.empty() ? std::string(Utf8ByteOrderMark) + entry : entry;
    });
    return !folderError;
}

bool SaveHistory(THistoryRec rec) {
    return SaveHistory(BuildMessageContext(PluginPath, ExcludeList), rec);
}

}  // namespace quillet
