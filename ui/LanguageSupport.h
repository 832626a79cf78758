// Unit LanguageSupport: the interface languages of the options dialog.
//
// The plug-in's own texts are English, the built-in language "English". Every other language is
// a file "Languages\<name>.ini" beside the library; its section [Dict] maps each English text
// (the key: trimmed, "..." removed, line breaks written as "/n") to its translation, read with
// the wide-character INI functions so that a UTF-16LE file may carry any Unicode text. The
// current language is the file's name as listed ("German.ini"), letter case counting; it is
// stored in the settings file, section [Translate], key CurLang. Every lookup opens the file
// anew; nothing is cached.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/dialog.h"

namespace quillet {

// The name of the built-in language, which has no file.
inline constexpr std::u16string_view BuiltInLanguage = u"English";

// The current language: "English" from the loading of the library until LoadCurrentLanguage or
// SetCurrentLanguage replaces it. The reference stays valid until the next replacement.
const std::u16string& CurrentLanguage();
void SetCurrentLanguage(std::u16string language);

// The library folder: PluginPath up to and with its last "\" (empty when it has none).
std::string LibraryFolder();

// The folder of language files: the library folder with "Languages\" added.
std::string LanguagesFolder();

// Replaces the current language by the one stored in the settings file; "English" when the key
// is missing or empty, or when the file cannot be read.
void LoadCurrentLanguage();

// Stores the current language in the settings file. Returns false when the file cannot be
// written (its content is unchanged then). A name that the ANSI code page cannot hold is kept
// whole by turning an ANSI settings file into UTF-16LE first (its text unchanged), or by
// creating a missing one as UTF-16LE; a UTF-16LE file stays so.
bool StoreCurrentLanguage();

// `text` in the current language. With "English": the text as given, its old misspellings
// ("Exlude", "Folder to story history:", "specfied", "exluded", "Suppored") spelled right, with
// every "/n" turned into a line feed and a carriage return (in that order). Otherwise the [Dict] entry of the
// trimmed text (a final "..." looked up without and added back), or the trimmed text when the
// entry is missing, or the text as given when the entry is blank; "/n" replaced in all cases.
std::u16string TranslateStr(std::string_view text);

// The [Dict] key under which a language file translates `text`: the text without leading and
// trailing characters of codes 0 to 32 and, when it ends with "...", without those dots and
// the blanks before them. "/n" and tabs inside stay as they are.
std::u16string DictKey(std::string_view text);

// TranslateStr converted to the ANSI code page: characters it lacks are lost.
std::string TranslateAnsi(std::string_view text);

// TranslateAnsi of `text` with "%1" and "%2" in the translation replaced by `first` and
// `second`, so that a translation may put the values where its language wants them.
std::string TranslateFilled(std::string_view text, std::string_view first,
                            std::string_view second = {});

// True for the kinds of control whose caption TranslateForm translates: buttons, check boxes, group
// boxes, labels, pages and panels.
bool HasTranslatedCaption(platform::ControlKind kind);

// Translates the captions of a dialog built from `layout`, in place: the form's caption, then,
// in the order of the rows, every button, check box, group box and label (looked up twice: a second
// time with its translated caption as the key) and every page and panel (once). The content of
// edits, text editors and lists is left as it is.
void TranslateForm(platform::Dialog& form, const std::vector<platform::ControlSpec>& layout);

}  // namespace quillet
