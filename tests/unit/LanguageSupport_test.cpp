#include "ui/LanguageSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "config/IniFile.h"
#include "config/u_IniSettings.h"
#include "headless_dialog.h"
#include "platform/platform.h"
#include "test_support.h"

namespace quillet {
namespace {

using platform::ControlKind;

using test::Utf16File;

// A library folder with a Languages folder, the current language restored to English after.
class LanguageTest : public ::testing::Test {
protected:
    LanguageTest() : plugin(folder) {
        std::filesystem::create_directory(folder.native("Languages"));
    }
    ~LanguageTest() override { SetCurrentLanguage(u"English"); }

    void WriteLanguage(const std::string& name, const std::string& bytes) {
        test::WriteBytes(folder.native("Languages/" + name), bytes);
    }
    std::optional<std::string> SettingsBytes() {
        return test::ReadBytes(folder.native("Quillet.ini"));
    }

    test::TempFolder folder;
    test::ScopedPluginPath plugin;
};

struct TranslateCase {
    const char* name;
    std::u16string language;
    std::u16string dict;  // the [Dict] lines of the language's file; none written when empty
    std::string text;
    std::u16string expected;
};

TEST_F(LanguageTest, TranslateStrFollowsTheLanguageFile) {
    const std::vector<TranslateCase> cases = {
        {"English keeps the text whole", u"English", u"Save=Speichern", "  Save  ", u"  Save  "},
        {"English turns /n into LF CR", u"English", u"", "one /n two/n", u"one \n\r two\n\r"},
        {"/n inside a word", u"English", u"", "a/nb//nn", u"a\n\rb/\n\rn"},
        {"English spells old keys right", u"English", u"", "Folder to story history: Exlude",
         u"Folder to store history: Exclude"},
        {"a language finds them by the old key", u"German.ini", u"Exlude=Ausschlie\u00dfen",
         "Exlude", u"Ausschlie\u00dfen"},
        {"no entry: trimmed", u"German.ini", u"Open=Offen", " \t Save \r\n", u"Save"},
        {"no entry: /n replaced", u"German.ini", u"", " one /n two ", u"one \n\r two"},
        {"missing file: trimmed", u"Missing.ini", u"", "  Save ", u"Save"},
        {"entry", u"German.ini", u"Save=Speichern", "  Save ", u"Speichern"},
        {"key matches whatever the case", u"German.ini", u"sAVE=Speichern", "Save", u"Speichern"},
        {"tabs inside are part of the key", u"German.ini", u"a \t- b=X", "a \t- b", u"X"},
        {"a tab less is another key", u"German.ini", u"a \t- b=X", "a - b", u"a - b"},
        {"translation with /n", u"German.ini", u"Hi=Hallo /n Welt", "Hi", u"Hallo \n\r Welt"},
        {"dots looked up without", u"German.ini", u"Save=Speichern", "Save...", u"Speichern..."},
        {"blanks before the dots go", u"German.ini", u"Save=Speichern", " Save ...",
         u"Speichern..."},
        {"an entry with dots is never used", u"German.ini", u"Save...=Falsch", "Save...",
         u"Save..."},
        {"dots alone", u"German.ini", u"", "...", u"..."},
        {"blanks only", u"German.ini", u"", " \t ", u""},
        {"empty text", u"German.ini", u"", "", u""},
        {"blank entry gives the text as passed", u"German.ini", u"Open=   ", " Open ", u" Open "},
        {"empty entry gives the text as passed", u"German.ini", u"Open=", " Open ", u" Open "},
        {"empty entry with dots", u"German.ini", u"Load=", "Load...", u"..."},
        {"'english' is a file name", u"english", u"Save=Sichern", " Save ", u"Sichern"},
        {"Unicode translation", u"Russian.ini", u"Save=Сохранить", "Save", u"Сохранить"},
    };
    for (const TranslateCase& c : cases) {
        const std::string file = platform::WideToAnsi(c.language);
        if (!c.dict.empty()) WriteLanguage(file, Utf16File(u"[Dict]\r\n" + c.dict + u"\r\n"));
        SetCurrentLanguage(c.language);
        EXPECT_EQ(TranslateStr(c.text), c.expected) << c.name;
        std::filesystem::remove(folder.native("Languages/" + file));
    }
}

TEST_F(LanguageTest, AnsiLanguageFileIsReadInTheCodePage) {
    WriteLanguage("German.ini", "[Dict]\r\nDelete=L\xF6schen\r\n");  // 1252
    SetCurrentLanguage(u"German.ini");
    EXPECT_EQ(TranslateStr("Delete"), u"Löschen");
    EXPECT_EQ(TranslateAnsi("Delete"), "L\xF6schen");
}

TEST_F(LanguageTest, LoadCurrentLanguageDefaultsToEnglish) {
    const std::vector<std::pair<std::string, std::u16string>> cases = {
        {"", u"English"},  // no settings file
        {"[Settings]\r\nCurLang=German.ini\r\n", u"English"},
        {"[translate]\r\ncurlang=German.ini\r\n", u"German.ini"},
        {"[Translate]\r\nCurLang=\r\n", u"English"},
        {Utf16File(u"[Translate]\r\nCurLang=Ελληνικά.ini\r\n"), u"Ελληνικά.ini"},
    };
    for (const auto& [settings, expected] : cases) {
        SetCurrentLanguage(u"Before.ini");
        std::filesystem::remove(folder.native("Quillet.ini"));
        if (!settings.empty()) test::WriteBytes(folder.native("Quillet.ini"), settings);
        LoadCurrentLanguage();
        EXPECT_EQ(CurrentLanguage(), expected) << settings;
    }
}

TEST_F(LanguageTest, StoredLanguageReadsBackInEveryEncoding) {
    struct Case {
        const char* name;
        std::string before;  // settings file before; none when empty
        std::u16string language;
        bool utf16After;
    };
    const std::vector<Case> cases = {
        {"new file, code-page name", "", u"German.ini", false},
        {"new file, name outside the code page", "", u"日本語.ini", true},
        {"ANSI file, code-page name", "[Settings]\r\nPathFolder2=Caf\xE9\r\n", u"Français.ini",
         false},
        {"ANSI file turned UTF-16LE", "[Settings]\r\nPathFolder2=Caf\xE9\r\n", u"Ελληνικά.ini",
         true},
        {"UTF-16LE file stays so", Utf16File(u"[Settings]\r\nPathFolder2=Café\r\n"), u"German.ini",
         true},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(folder.native("Quillet.ini"));
        if (!c.before.empty()) test::WriteBytes(folder.native("Quillet.ini"), c.before);
        SetCurrentLanguage(c.language);
        ASSERT_TRUE(StoreCurrentLanguage()) << c.name;
        SetCurrentLanguage(u"English");
        LoadCurrentLanguage();
        EXPECT_EQ(CurrentLanguage(), c.language) << c.name;
        const std::string after = SettingsBytes().value_or("");
        EXPECT_EQ(after.rfind("\xFF\xFE", 0) == 0, c.utf16After) << c.name;
        if (!c.before.empty()) {
            EXPECT_EQ(ReadSetting("PathFolder2", "History"), "Caf\xE9") << c.name;
        }
    }
}

TEST_F(LanguageTest, FailedStoreLeavesTheFileAlone) {
    std::filesystem::create_directory(folder.native("Quillet.ini"));  // no file can go there
    SetCurrentLanguage(u"German.ini");
    EXPECT_FALSE(StoreCurrentLanguage());
    SetCurrentLanguage(u"Ελληνικά.ini");
    EXPECT_FALSE(StoreCurrentLanguage());
    LoadCurrentLanguage();
    EXPECT_EQ(CurrentLanguage(), u"English");
}

TEST(DictKey, TrimsAndDropsTheFinalDots) {
    const std::vector<std::pair<std::string, std::u16string>> cases = {
        {"  Save \r\n", u"Save"}, {"Save ...", u"Save"}, {"...", u""},
        {"a /n b\t", u"a /n b"},  {"a\t- b", u"a\t- b"}, {"Wait... more", u"Wait... more"},
        {"Save.... ", u"Save."},
    };
    for (const auto& [text, key] : cases) EXPECT_EQ(DictKey(text), key) << text;
}

// A small form with one control of each kind that matters.
const std::vector<platform::ControlSpec> FormLayout = {
    {ControlKind::Form, "f", "", 0, 0, 100, 100, "Options"},
    {ControlKind::Button, "b", "f", 0, 0, 10, 10, "Save"},
    {ControlKind::Label, "chained", "f", 0, 0, 10, 10, " Cancel "},
    {ControlKind::LinkLabel, "link", "f", 0, 0, 10, 10, "Support:"},
    {ControlKind::GroupBox, "g", "f", 0, 0, 10, 10, "Folder..."},
    {ControlKind::TabControl, "tabs", "f", 0, 0, 10, 10, ""},
    {ControlKind::Page, "page", "tabs", 0, 0, 0, 0, "About"},
    {ControlKind::Edit, "e", "page", 0, 0, 10, 10, "Save"},
    {ControlKind::Memo, "m", "page", 0, 0, 10, 10, " Save /n Cancel "},
    {ControlKind::Picture, "pic", "page", 0, 0, 10, 10, "logo.bmp"},
    {ControlKind::Label, "empty", "page", 0, 0, 10, 10, ""},
};

class NoEvents final : public platform::DialogEvents {
public:
    void OnShow() override {}
    void OnClick(const std::string&) override {}
    void OnChange(const std::string&) override {}
    void OnDoubleClick(const std::string&) override {}
    void OnColumnClick(const std::string&, int) override {}
    void OnEnterKey(const std::string&) override {}
    int OnMeasureItem(const std::string&, int, int height) override { return height; }
    void OnDrawItem(const std::string&, int, const platform::Rect&, bool,
                    platform::RowPainter&) override {}
};

TEST_F(LanguageTest, TranslateFormTranslatesCaptionsOnly) {
    WriteLanguage("German.ini",
                  Utf16File(u"[Dict]\r\nOptions=Optionen\r\nSave=Speichern\r\nCancel=Abbrechen\r\n"
                            u"Abbrechen=Schließen\r\nSupport:=Hilfe\r\nFolder=Ordner\r\n"
                            u"About=Info\r\nInfo=Nicht zweimal\r\nOptionen=Nicht zweimal\r\n"
                            u"logo.bmp=other.bmp\r\n=nichts\r\n"));
    SetCurrentLanguage(u"German.ini");
    NoEvents events;
    test::HeadlessDialog form(FormLayout, events);
    TranslateForm(form, FormLayout);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"f", "Optionen"},  // the form's caption once
        {"b", "Speichern"},
        {"chained",
         "Schlie\xDF"
         "en"},  // the translation is a key itself: looked up again
        {"link", "Hilfe"},
        {"g", "Ordner..."},
        {"page", "Info"},  // pages once
        {"e", "Save"},     // contents stay as loaded
        {"m", " Save /n Cancel "},
        {"pic", "logo.bmp"},
        {"empty", ""},
    };
    for (const auto& [control, text] : expected) EXPECT_EQ(form.Text(control), text) << control;
}

TEST_F(LanguageTest, TranslateFormInEnglishOnlyBreaksLines) {
    const std::vector<platform::ControlSpec> layout = {
        {ControlKind::Form, "f", "", 0, 0, 100, 100, " Options "},
        {ControlKind::Label, "l", "f", 0, 0, 10, 10, " one /n two "},
        {ControlKind::Edit, "e", "f", 0, 0, 10, 10, " one /n two "},
    };
    NoEvents events;
    test::HeadlessDialog form(layout, events);
    TranslateForm(form, layout);
    EXPECT_EQ(form.Text("f"), " Options ");
    EXPECT_EQ(form.Text("l"), " one \n\r two ");
    EXPECT_EQ(form.Text("e"), " one /n two ");
}

}  // namespace
}  // namespace quillet
