#include "tools/translator/language_template.h"

#include <algorithm>

#include "config/IniFile.h"
#include "config/PluginGlobals.h"
#include "config/u_IniSettings.h"
#include "platform/platform.h"
#include "ui/LanguageSupport.h"
#include "ui/u_options.h"

namespace quillet::translator {

namespace {

constexpr std::u16string_view TranslatorSection = u"TRANSLATOR";
constexpr std::u16string_view DictSection = u"Dict";
constexpr std::u16string_view LineEnd = u"\r\n";

bool CanBeKey(std::u16string_view key) {
    return key.find_first_of(std::u16string_view(u"=\r\n\0", 4)) == std::u16string_view::npos &&
           key.front() != u';' && key.front() != u'[';
}

bool Contains(const std::vector<std::u16string>& keys, std::u16string_view key) {
    return std::any_of(keys.begin(), keys.end(), [&](const std::u16string& known) {
        return platform::EqualIgnoreCase(known, key);
    });
}

std::u16string Read(std::string_view bytes, std::u16string_view section, std::u16string_view key) {
    return ReadIniText(bytes, section, key, u"", SettingsReadBufferSize);
}

}  // namespace

std::vector<std::u16string> DialogKeys() {
    std::vector<std::u16string> keys;
    for (const std::string& text : TranslatedTexts()) {
        std::u16string key = DictKey(text);
        if (!key.empty() && CanBeKey(key) && !Contains(keys, key)) keys.push_back(std::move(key));
    }
    return keys;
}

std::vector<std::string> UntranslatableTexts() {
    std::vector<std::string> texts;
    for (const std::string& text : TranslatedTexts()) {
        const std::u16string key = DictKey(text);
        if (!key.empty() && !CanBeKey(key)) texts.push_back(text);
    }
    return texts;
}

LanguageFile MakeTemplate(std::u16string name, std::optional<std::string_view> existingBytes) {
    LanguageFile file{std::move(name), u"", platform::AnsiToWide(PluginVersionText), {}};
    if (existingBytes) {
        file.nativeName = Read(*existingBytes, TranslatorSection, u"NativeName");
        file.version = Read(*existingBytes, TranslatorSection, u"ver");
    }
    for (std::u16string& key : DialogKeys()) {
        std::u16string translation = existingBytes ? Read(*existingBytes, DictSection, key) : u"";
        file.dict.emplace_back(std::move(key), std::move(translation));
    }
    return file;
}

std::vector<std::u16string> StaleKeys(std::string_view existingBytes) {
    const std::vector<std::u16string> used = DialogKeys();
    std::vector<std::u16string> stale;
    for (std::u16string& key : ReadIniKeys(existingBytes, DictSection)) {
        if (!Contains(used, key)) stale.push_back(std::move(key));
    }
    return stale;
}

std::string LanguageFileBytes(const LanguageFile& file) {
    std::u16string text = u"; Quillet interface language";
    if (!file.name.empty()) text += u": " + file.name;
    text += u". Format: docs/languages.md";
    text += LineEnd;
    text += u"[TRANSLATOR]" + std::u16string(LineEnd);
    text += u"NativeName=" + file.nativeName + std::u16string(LineEnd);
    text += u"ver=" + file.version + std::u16string(LineEnd);
    text += LineEnd;
    text += u"[Dict]" + std::u16string(LineEnd);
    for (const auto& [key, translation] : file.dict) {
        text += key + u"=" + translation + std::u16string(LineEnd);
    }
    return Utf16LeFileBytes(text);
}

}  // namespace quillet::translator
