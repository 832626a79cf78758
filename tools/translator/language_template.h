// The translator's aid: what the options dialog translates, as the [Dict] keys of a language
// file, and the template file a new translation starts from (docs/languages.md).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillet::translator {

// A language file as the tool writes it.
struct LanguageFile {
    std::u16string name;        // the language, for the comment at the top ("German")
    std::u16string nativeName;  // [TRANSLATOR] NativeName
    std::u16string version;     // [TRANSLATOR] ver
    std::vector<std::pair<std::u16string, std::u16string>> dict;  // [Dict]: key, translation
};

// The [Dict] key of every text the options dialog translates, each once (keys match without
// regard to case), in the order the dialog lists its texts. Texts whose key is empty ("...")
// need no entry; texts whose key no INI line can hold are left out (UntranslatableTexts).
std::vector<std::u16string> DialogKeys();

// The dialog's texts whose key a language file cannot hold: with "=" (the first one ends the
// key), a line break or a NUL in it, or starting with ";" (a comment) or "[" (a section).
std::vector<std::string> UntranslatableTexts();

// The template of a language: every key of DialogKeys with an empty translation, which the
// dialog shows as the English text until one is filled in; NativeName empty and ver the
// plug-in's version. Given the bytes of an existing language file, its native name, version
// and the translations of the keys still in use are kept instead.
LanguageFile MakeTemplate(std::u16string name,
                          std::optional<std::string_view> existingBytes = std::nullopt);

// The [Dict] keys of a language file that the dialog no longer looks up, in the file's order.
std::vector<std::u16string> StaleKeys(std::string_view existingBytes);

// The bytes of the file: UTF-16LE with a byte-order mark, lines ending in CR LF, a comment line,
// [TRANSLATOR] and [Dict] with one "key=translation" line per entry.
std::string LanguageFileBytes(const LanguageFile& file);

}  // namespace quillet::translator
