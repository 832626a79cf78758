#include "ui/LanguageSupport.h"

#include <exception>
#include <optional>

#include "config/IniFile.h"
#include "config/PluginGlobals.h"
#include "config/StringOps.h"
#include "config/u_IniSettings.h"
#include "platform/platform.h"

namespace quillet {

namespace {

constexpr std::u16string_view DictSection = u"Dict";
constexpr std::u16string_view Ellipsis = u"...";
constexpr std::u16string_view LineMark = u"/n";
constexpr std::u16string_view LineBreak = u"\n\r";  // line feed, then carriage return

std::u16string& Language() {
    static std::u16string language(BuiltInLanguage);
    return language;
}

bool IsTrimmed(char16_t c) {
    return c <= 32;
}

std::u16string_view Trim(std::u16string_view text) {
    while (!text.empty() && IsTrimmed(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsTrimmed(text.back())) text.remove_suffix(1);
    return text;
}

bool EndsWith(std::u16string_view text, std::u16string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Every "/n", found left to right without overlap, made a line break.
std::u16string WithLineBreaks(std::u16string_view text) {
    std::u16string result;
    result.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t mark = text.find(LineMark); mark != std::u16string_view::npos;
         mark = text.find(LineMark, from)) {
        result += text.substr(from, mark - from);
        result += LineBreak;
        from = mark + LineMark.size();
    }
    result += text.substr(from);
    return result;
}

std::string CurrentLanguageFile() {
    return LanguagesFolder() + platform::WideToAnsi(CurrentLanguage());
}

std::u16string_view WithoutEllipsis(std::u16string_view trimmed) {
    return EndsWith(trimmed, Ellipsis) ? Trim(trimmed.substr(0, trimmed.size() - Ellipsis.size()))
                                       : trimmed;
}

// The translation of a text whose trimmed form is not empty.
// Words the English texts have long been spelled wrong in. Language files look the texts up by
// those spellings, so the keys keep them; English itself shows them spelled right.
constexpr std::pair<std::u16string_view, std::u16string_view> EnglishSpellings[] = {
    {u"Exlude", u"Exclude"},   {u"story history", u"store history"}, {u"specfied", u"specified"},
    {u"exluded", u"excluded"}, {u"Suppored", u"Supported"},
};

std::u16string SpelledRight(std::u16string text) {
    for (const auto& [wrong, right] : EnglishSpellings) {
        for (std::size_t at = text.find(wrong); at != std::u16string::npos;
             at = text.find(wrong, at + right.size())) {
            text.replace(at, wrong.size(), right);
        }
    }
    return text;
}

std::u16string LookUp(std::u16string_view trimmed, std::u16string_view textAsGiven) {
    const bool hadEllipsis = EndsWith(trimmed, Ellipsis);
    const std::u16string_view key = WithoutEllipsis(trimmed);
    try {
        std::u16string found =
            ReadIniStringW(CurrentLanguageFile(), DictSection, key, key, SettingsReadBufferSize);
        if (hadEllipsis) found += Ellipsis;
        return WithLineBreaks(Trim(found).empty() ? textAsGiven : std::u16string_view(found));
    } catch (const std::exception&) {
        return WithLineBreaks(key);
    }
}

bool FitsAnsiCodePage(std::u16string_view text) {
    return platform::AnsiToWide(platform::WideToAnsi(text)) == text;
}

// Makes the INI file `fileName` a UTF-16LE file with the same text, creating an empty one when
// it is missing. False when it exists but cannot be read, or cannot be written.
bool MakeUtf16Le(const std::string& fileName) {
    const std::optional<std::string> bytes = platform::ReadWholeFile(fileName);
    if (!bytes && (platform::FileExists(fileName) || platform::FolderExists(fileName))) {
        return false;
    }
    if (bytes && StartsWithUtf16Mark(*bytes)) return true;
    try {
        platform::WriteWholeFile(fileName,
                                 Utf16LeFileBytes(platform::AnsiToWide(bytes.value_or(""))));
    } catch (const platform::SystemError&) {
        return false;
    }
    return true;
}

bool IsCaptionedTwice(platform::ControlKind kind) {
    using platform::ControlKind;
    return kind == ControlKind::Button || kind == ControlKind::CheckBox ||
           kind == ControlKind::GroupBox || kind == ControlKind::Label ||
           kind == ControlKind::LinkLabel;
}

void TranslateCaption(platform::Dialog& form, const std::string& control) {
    const std::string caption = form.Text(control);
    if (!caption.empty()) form.SetText(control, TranslateAnsi(caption));
}

}  // namespace

const std::u16string& CurrentLanguage() {
    return Language();
}

void SetCurrentLanguage(std::u16string language) {
    Language() = std::move(language);
}

std::string LibraryFolder() {
    return FolderOf(PluginPath);
}

std::string LanguagesFolder() {
    return LibraryFolder() + "Languages\\";
}

void LoadCurrentLanguage() {
    try {
        std::u16string stored = ReadIniStringW(SettingsFileName(), LanguageSection, LanguageKey,
                                               BuiltInLanguage, SettingsReadBufferSize);
        SetCurrentLanguage(stored.empty() ? std::u16string(BuiltInLanguage) : std::move(stored));
    } catch (const std::exception&) {
        SetCurrentLanguage(std::u16string(BuiltInLanguage));
    }
}

bool StoreCurrentLanguage() {
    const std::string fileName = SettingsFileName();
    const std::u16string& language = CurrentLanguage();
    try {
        if (!FitsAnsiCodePage(language) && !MakeUtf16Le(fileName)) return false;
        return WriteIniStringW(fileName, LanguageSection, LanguageKey, language);
    } catch (const IniLineBreakError&) {
        return false;  // a name with a line break cannot be an entry of the file
    }
}

std::u16string DictKey(std::string_view text) {
    return std::u16string(WithoutEllipsis(Trim(platform::AnsiToWide(text))));
}

std::u16string TranslateStr(std::string_view text) {
    const std::u16string given = platform::AnsiToWide(text);
    if (CurrentLanguage() == BuiltInLanguage) return WithLineBreaks(SpelledRight(given));
    const std::u16string_view trimmed = Trim(given);
    if (trimmed.empty()) return {};
    return LookUp(trimmed, given);
}

bool HasTranslatedCaption(platform::ControlKind kind) {
    using platform::ControlKind;
    return IsCaptionedTwice(kind) || kind == ControlKind::Page || kind == ControlKind::Panel;
}

std::string TranslateAnsi(std::string_view text) {
    return platform::WideToAnsi(TranslateStr(text));
}

std::string TranslateFilled(std::string_view text, std::string_view first,
                            std::string_view second) {
    const std::string translated = TranslateAnsi(text);
    std::string result;
    for (std::size_t i = 0; i < translated.size(); ++i) {
        const bool placeholder = translated[i] == '%' && i + 1 < translated.size();
        if (placeholder && translated[i + 1] == '1') {
            result += first;
            ++i;
        } else if (placeholder && translated[i + 1] == '2') {
            result += second;
            ++i;
        } else {
            result += translated[i];
        }
    }
    return result;
}

void TranslateForm(platform::Dialog& form, const std::vector<platform::ControlSpec>& layout) {
    if (layout.empty()) return;
    TranslateCaption(form, layout.front().name);
    for (std::size_t row = 1; row < layout.size(); ++row) {
        const platform::ControlSpec& control = layout[row];
        if (IsCaptionedTwice(control.kind)) TranslateCaption(form, control.name);
        if (!HasTranslatedCaption(control.kind)) continue;
        try {
            TranslateCaption(form, control.name);  // the translation may itself be a key
        } catch (const std::exception&) {
            // this control keeps the text it has; the others are still translated
        }
    }
}

}  // namespace quillet
