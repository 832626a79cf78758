#include "ui/u_options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "QuilletVersion.h"
#include "config/IniFile.h"
#include "config/u_IniSettings.h"
#include "config/u_SimpleAliases.h"
#include "headless_dialog.h"
#include "history/EntryFormat.h"
#include "platform/platform.h"
#include "platform/probes.h"
#include "plugin/u_plugin_msg.h"
#include "test_support.h"
#include "tools/translator/language_template.h"
#include "ui/LanguageSupport.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using test::HeadlessDialog;
using test::PaintCall;
using ::testing::StartsWith;

using test::Utf16File;

std::unique_ptr<platform::Dialog> MakeHeadless(const std::vector<platform::ControlSpec>& layout,
                                               platform::DialogEvents& events) {
    return std::make_unique<HeadlessDialog>(layout, events);
}

// The library folder of a test, and a dialog opened on it as the options event opens it.
class OptionsTest : public ::testing::Test {
protected:
    OptionsTest() : plugin(folder) {}
    ~OptionsTest() override { SetCurrentLanguage(u"English"); }

    // Shows a new dialog (FormShow runs) and leaves it open for the test to act on.
    HeadlessDialog& Open() {
        form = std::make_unique<TfOptions>(MakeHeadless);
        form->ShowModal();
        return dialog();
    }
    HeadlessDialog& dialog() { return dynamic_cast<HeadlessDialog&>(form->Form()); }

    void WriteFile(const std::string& name, const std::string& bytes) {
        fs::create_directories(folder.native(name).parent_path());
        test::WriteBytes(folder.native(name), bytes);
    }
    std::optional<std::string> File(const std::string& name) {
        return test::ReadBytes(folder.native(name));
    }
    std::string Setting(const std::string& key) {
        return ReadIniStringA(plugin.settingsFile(), "Settings", key, "<none>", 2048);
    }
    std::u16string StoredLanguage() {
        return ReadIniStringW(plugin.settingsFile(), u"Translate", u"CurLang", u"<none>", 2048);
    }
    void WriteGerman(std::u16string dict = {}) {
        WriteFile("Languages/German.ini",
                  Utf16File(u"[TRANSLATOR]\r\nNativeName=Deutsch\r\nver=1.2\r\n[Dict]\r\n"
                            u"Options=Optionen\r\nSave=Speichern\r\n"
                            u"* Please close and reopen this dialog to apply language.=* Neu "
                            u"\u00f6ffnen\r\n" +
                            dict));
    }

    test::TempFolder folder;
    test::ScopedPluginPath plugin;
    std::unique_ptr<TfOptions> form;
};

TEST_F(OptionsTest, WithoutFilesShowsTheDefaultsAndSavesThem) {
    HeadlessDialog& d = Open();
    EXPECT_EQ(d.Text("cbFolder1"), "%QUILLET PATH%");
    EXPECT_EQ(d.Text("ePath2"), "History");
    EXPECT_EQ(d.Text("eFileName"), "%PROTOCOL%\\%UIN%");
    EXPECT_EQ(d.Text("eExt"), "txt");
    EXPECT_EQ(d.Text("eCustomFolder"), "C:\\");
    EXPECT_FALSE(d.Enabled("eCustomFolder"));
    EXPECT_FALSE(d.Enabled("bSelDir"));
    EXPECT_EQ(d.Text("Memo1"), "");
    EXPECT_EQ(d.Text("mExclude"), "");
    EXPECT_EQ(d.Items("lbLangs"), std::vector<std::string>{"English"});
    EXPECT_EQ(d.SelectedIndex("lbLangs"), -1);
    EXPECT_EQ(d.ActivePage(), 0);
    EXPECT_EQ(d.Text("fOptions"), "Quillet : Options");
    EXPECT_EQ(d.Text("lVersion"), "Version: " QUILLET_VERSION_TEXT);
    EXPECT_EQ(d.Text("Label9"),
              "At this moment plugins do not have rights to acess contact-list. \n\r You need "
              "manually enter aliases for UINs and Contact name in separate lines.\n\rFor "
              "example:\n\r000000001==0000000002\n\rICQ Admin==ICQ Support\n\r\n\rNOTE: please "
              "do not enter any text in this memo if you do not fully understand feature. "
              "Because, you may break your history-files. \n\r \n\r This feature is NOT ready to "
              "use. This aliases are used only as replacement rules in filename.");
    EXPECT_TRUE(d.errors().empty());

    d.Click("bSave");
    EXPECT_TRUE(d.closed());
    EXPECT_EQ(Setting("PathFolder1"), "%QUILLET PATH%");
    EXPECT_EQ(Setting("PathFolder2"), "History");
    EXPECT_EQ(Setting("PathFile1"), "%PROTOCOL%\\%UIN%");
    EXPECT_EQ(Setting("PathFileExt"), "txt");
    EXPECT_EQ(Setting("PathFolderCustom"), "C:\\");
    EXPECT_EQ(Setting("HistoryEncoding"), "ANSI");
    EXPECT_FALSE(File("aliases.ini"));  // editors left empty: nothing to write
    EXPECT_FALSE(File("Exclude.ini"));
    EXPECT_EQ(StoredLanguage(), u"<none>");  // Save does not write the language
}

TEST_F(OptionsTest, StoredBaseFolderSelectsItsItem) {
    struct Case {
        std::string stored;
        int index;
        bool customControls;
    };
    const std::vector<Case> cases = {
        {"%custom%", 10, true},  {"%CUSTOM%", 10, true},
        {"%windows%", 2, false}, {"%Local Application Data%", 8, false},
        {"D:\\Logs", 1, false},  {"%CUSTOM%\\x", 1, false},
    };
    for (const Case& c : cases) {
        WriteFile("Quillet.ini", "[Settings]\r\nPathFolder1=" + c.stored + "\r\n");
        HeadlessDialog& d = Open();
        EXPECT_EQ(d.SelectedIndex("cbFolder1"), c.index) << c.stored;
        EXPECT_EQ(d.Enabled("eCustomFolder"), c.customControls) << c.stored;
        EXPECT_EQ(d.Enabled("bSelDir"), c.customControls) << c.stored;
        d.Click("bSave");
        EXPECT_EQ(Setting("PathFolder1"), FolderItems()[static_cast<std::size_t>(c.index)])
            << c.stored;
    }
}

TEST_F(OptionsTest, ResetPutsDefaultsButKeepsTheCustomFolderAndEditors) {
    WriteFile("aliases.ini", "a==b\r\n");
    HeadlessDialog& d = Open();
    d.Pick("cbFolder1", 10);
    EXPECT_TRUE(d.Enabled("eCustomFolder"));
    EXPECT_TRUE(d.Enabled("bSelDir"));
    d.Type("eCustomFolder", "D:\\Mine");
    d.Type("ePath2", "Logs");
    d.Type("eFileName", "%UIN%");
    d.Type("eExt", "log");
    d.Type("mExclude", "123");
    d.Click("cbUtf8");
    EXPECT_TRUE(d.Checked("cbUtf8"));
    d.SwitchToPage(3);  // the Preview shows what the next message does, after a reset too
    d.Click("bReset");
    EXPECT_FALSE(d.Checked("cbUtf8"));
    EXPECT_EQ(d.Text("ePrevPath"), folder.path() + "\\HISTORY\\ICQ\\777\\12345.TXT");
    EXPECT_NE(d.Text("lPrevNotes").find("written in ANSI"), std::string::npos);
    EXPECT_EQ(d.Text("cbFolder1"), "%QUILLET PATH%");
    EXPECT_EQ(d.Text("ePath2"), "History");
    EXPECT_EQ(d.Text("eFileName"), "%PROTOCOL%\\%MYUIN%\\%UIN%");
    EXPECT_EQ(d.Text("eExt"), "txt");
    EXPECT_EQ(d.Text("eCustomFolder"), "D:\\Mine");
    EXPECT_FALSE(d.Enabled("eCustomFolder"));
    EXPECT_FALSE(d.Enabled("bSelDir"));
    EXPECT_EQ(d.Text("Memo1"), "a==b\r\n");
    EXPECT_EQ(d.Text("mExclude"), "123");
    EXPECT_FALSE(d.closed());
    EXPECT_FALSE(File("Quillet.ini"));  // nothing is written until Save
}

TEST_F(OptionsTest, FolderPickerReplacesTheCustomFolderOnlyWhenConfirmed) {
    HeadlessDialog& d = Open();
    d.Pick("cbFolder1", 10);
    d.folderChoice = std::nullopt;
    d.Click("bSelDir");
    EXPECT_EQ(d.Text("eCustomFolder"), "C:\\");
    d.folderChoice = "E:\\Chats";
    d.Click("bSelDir");
    EXPECT_EQ(d.Text("eCustomFolder"), "E:\\Chats");
}

// A list file is shown with CR LF line breaks; Save leaves an editor the user did not touch
// alone (its file keeps its own line breaks) and writes a changed one as shown, its final line
// break kept or not.
TEST_F(OptionsTest, ListFilesComeBackWithCrLfAndTheirFinalLineBreak) {
    struct Case {
        std::optional<std::string> before;  // none: no file
        std::string shown;
    };
    const std::vector<Case> cases = {
        {std::nullopt, ""},
        {"", ""},
        {"111\r\n222\r\n", "111\r\n222\r\n"},
        {"111\r\n222", "111\r\n222"},
        {"111\n222\n", "111\r\n222\r\n"},
        {"111\r222\n\r\n", "111\r\n222\r\n\r\n"},
    };
    for (const Case& c : cases) {
        for (const std::string name : {"aliases.ini", "Exclude.ini"}) {
            fs::remove(folder.native(name));
            if (c.before) WriteFile(name, *c.before);
        }
        HeadlessDialog& d = Open();
        EXPECT_EQ(d.Text("Memo1"), c.shown);
        EXPECT_EQ(d.Text("mExclude"), c.shown);
        d.Type("mExclude", "0\r\n" + c.shown);
        d.Click("bSave");
        EXPECT_EQ(File("aliases.ini"), c.before);
        EXPECT_EQ(File("Exclude.ini"), "0\r\n" + c.shown);
    }
}

// Save writes a list file only when the user changed its editor, so that a change another
// program made to the file meanwhile survives; when both changed, the user chooses. The other
// settings are saved in every case.
TEST_F(OptionsTest, SaveKeepsAChangeMadeToAListFileWhileTheDialogWasOpen) {
    struct Case {
        const char* name;
        std::optional<std::string> before;   // aliases.ini when the dialog opens
        std::optional<std::string> notepad;  // written meanwhile by another program
        std::optional<std::string> typed;    // into Memo1
        std::deque<bool> answers;            // to the question; none: no question
        std::string after;                   // aliases.ini after Save
    };
    const std::vector<Case> cases = {
        {"another program's change survives", "a==b\r\n", "a==c\r\n", {}, {}, "a==c\r\n"},
        {"the user's change is written", "a==b\r\n", {}, "x==y", {}, "x==y"},
        {"both changed, Yes: the user's", "a==b\r\n", "a==c\r\n", "x==y", {true}, "x==y"},
        {"both changed, No: the file's", "a==b\r\n", "a==c\r\n", "x==y", {false}, "a==c\r\n"},
        {"made meanwhile, No", {}, "n==m", "x==y", {false}, "n==m"},
    };
    for (const Case& c : cases) {
        fs::remove(folder.native("aliases.ini"));
        if (c.before) WriteFile("aliases.ini", *c.before);
        HeadlessDialog& d = Open();
        d.Type("ePath2", c.name);
        if (c.typed) d.Type("Memo1", *c.typed);
        if (c.notepad) WriteFile("aliases.ini", *c.notepad);
        d.answers = c.answers;
        d.Click("bSave");
        EXPECT_EQ(File("aliases.ini"), c.after) << c.name;
        EXPECT_EQ(Setting("PathFolder2"), c.name);
        ASSERT_EQ(d.questions().size(), c.answers.size()) << c.name;
        const bool keptFile = c.answers == std::deque<bool>{false};
        if (!c.answers.empty()) {
            EXPECT_THAT(
                d.questions()[0].text,
                ::testing::StartsWith("\"" + folder.path("aliases.ini") + "\" was changed"));
        }
        // Kept: the dialog stays open on the file's text, and a second Save has nothing to write.
        EXPECT_EQ(d.closed(), !keptFile) << c.name;
        if (keptFile) {
            EXPECT_EQ(d.Text("Memo1"), c.after) << c.name;
            d.Click("bSave");
            EXPECT_TRUE(d.closed()) << c.name;
            EXPECT_EQ(d.questions().size(), 1u) << c.name;
            EXPECT_EQ(File("aliases.ini"), c.after) << c.name;
        }
    }
}

// A list file whose bytes a text editor cannot hold (a NUL byte, UTF-16) is not shown: a note
// is, in an editor that cannot be changed, and Save leaves the file as it is.
TEST_F(OptionsTest, ListFileTheEditorCannotShowIsLeftAlone) {
    using namespace std::string_literals;
    for (const std::string& bytes : {"a==b\0c\r\n"s,
                                     "\xFF\xFE"
                                     "a\0=\0"s,
                                     "\xFE\xFF\0a\0="s}) {
        WriteFile("aliases.ini", bytes);
        WriteFile("Exclude.ini", bytes);
        HeadlessDialog& d = Open();
        for (const char* editor : {"Memo1", "mExclude"}) {
            EXPECT_TRUE(d.ReadOnly(editor));
            EXPECT_TRUE(d.Enabled(editor));
            EXPECT_THAT(d.Text(editor), ::testing::StartsWith("This file cannot be shown here"));
        }
        d.Click("bSave");
        EXPECT_TRUE(d.closed());
        EXPECT_EQ(File("aliases.ini"), bytes);
        EXPECT_EQ(File("Exclude.ini"), bytes);
    }
}

TEST_F(OptionsTest, SaveWritesWhatIsShownAndCancelWritesNothing) {
    WriteFile("Exclude.ini", "1\r\n");
    HeadlessDialog& d = Open();
    d.Pick("cbFolder1", 10);
    d.Type("ePath2", " Logs ");
    d.Type("eFileName", "%UIN%");
    d.Type("eExt", "log");
    d.Type("eCustomFolder", "D:\\Mine");
    d.Type("Memo1", "a==b");
    d.Type("mExclude", "1\r\n2\r\n");
    d.Click("Button1");
    EXPECT_TRUE(d.closed());
    EXPECT_FALSE(File("Quillet.ini"));
    EXPECT_FALSE(File("aliases.ini"));
    EXPECT_EQ(File("Exclude.ini"), "1\r\n");

    HeadlessDialog& again = Open();
    again.Pick("cbFolder1", 10);
    again.Type("ePath2", " Logs ");
    again.Type("eCustomFolder", "D:\\Mine");
    again.Type("Memo1", "a==b");
    again.Click("cbUtf8");
    again.Click("bSave");
    EXPECT_EQ(Setting("HistoryEncoding"), "UTF-8");
    EXPECT_TRUE(Open().Checked("cbUtf8"));
    EXPECT_EQ(Setting("PathFolder1"), "%CUSTOM%");
    EXPECT_EQ(Setting("PathFolderCustom"), "D:\\Mine");
    EXPECT_NE(File("Quillet.ini")->find("PathFolder2= Logs \r\n"), std::string::npos);
    EXPECT_EQ(File("aliases.ini"), "a==b");
}

// "Convert existing files..." on the history of the saved settings (the default place here),
// beside a file that is UTF-8 already: the question with the figures, the files converted or
// not, the box for new files ticked, and the report. A click while it runs (the dialog lets its
// messages run between pieces) stops it after the file under way.
TEST_F(OptionsTest, ConvertButtonTurnsOldHistoryFilesIntoUtf8) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string utf8File = "HISTORY\\ICQ\\777\\9.TXT";
    struct File {
        std::string path;
        std::string bytes;
        bool converted;
    };
    struct Case {
        const char* name;
        std::vector<File> ansiFiles;
        std::deque<bool> answers;
        bool clickWhileRunning;
        std::string question;  // its start; empty: none asked
        std::string report;    // its start; empty: none shown
    };
    const std::string good = "Bob\r\nHall\xF6\r\n\r\n";
    const std::string goodInUtf8 = "Bob\r\nHall\xC3\xB6\r\n\r\n";
    const std::string mixed = "Bob\r\nHall\xF6\r\nHall\xC3\xB6\r\n";  // line 3 is UTF-8
    const std::string one = "HISTORY\\ICQ\\777\\1.TXT", two = "HISTORY\\ICQ\\777\\2.TXT";
    const std::vector<Case> cases = {
        {"Yes",
         {{one, good, true}, {two, mixed, false}},
         {true},
         false,
         "History files in ANSI: 2 (0.1 MB). Convert them to UTF-8?\n\nFolder: ",
         "Converted to UTF-8: 1 of 2 history files.\n\nLeft as they were:\nICQ\\777\\2.TXT: "
         "UTF-8 among the ANSI text at line 3: the file mixes encodings\n\nNew history files"},
        {"No", {{one, good, false}}, {false}, false, "History files in ANSI: 1 (0.1 MB).", ""},
        {"none", {}, {}, false, "", "There are no ANSI history files to convert."},
        {"stopped",
         {{one, good, true}, {two, good, false}},
         {true},
         true,
         "History files in ANSI: 2 (0.1 MB).",
         "Converted to UTF-8: 1 of 2 history files.\nStopped before the rest; files still in "
         "ANSI: 1."},
    };
    for (const Case& c : cases) {
        fs::remove_all(folder.native("HISTORY"));
        for (const File& file : c.ansiFiles) WriteFile(file.path, file.bytes);
        WriteFile(utf8File, bom + goodInUtf8);
        HeadlessDialog& d = Open();
        d.answers = c.answers;
        bool clicked = false;
        std::string captionWhileRunning;
        bool saveWhileRunning = true;
        if (c.clickWhileRunning) {
            d.whileProcessingMessages = [&](HeadlessDialog& running) {
                if (std::exchange(clicked, true)) return;
                captionWhileRunning = running.Text("bConvert");
                saveWhileRunning = running.Enabled("bSave");
                running.Click("bConvert");
            };
        }
        d.Click("bConvert");
        ASSERT_EQ(d.questions().size(), c.question.empty() ? 0u : 1u) << c.name;
        if (!c.question.empty()) {
            EXPECT_THAT(d.questions()[0].text, StartsWith(c.question));
        }
        ASSERT_EQ(d.informations().size(), c.report.empty() ? 0u : 1u) << c.name;
        if (!c.report.empty()) {
            EXPECT_THAT(d.informations()[0].text, StartsWith(c.report));
        }
        for (const File& file : c.ansiFiles) {
            const std::string after = OptionsTest::File(file.path).value_or("");
            EXPECT_EQ(after, file.converted ? bom + goodInUtf8 : file.bytes) << c.name << file.path;
        }
        EXPECT_EQ(OptionsTest::File(utf8File), bom + goodInUtf8) << c.name;
        const bool confirmed = c.answers == std::deque<bool>{true};
        EXPECT_EQ(d.Checked("cbUtf8"), confirmed) << c.name;
        const test::Progress bar = d.progress("pbConvert");
        EXPECT_EQ(bar.maximum > 0 && bar.position == bar.maximum, confirmed && !c.clickWhileRunning)
            << c.name;
        if (c.clickWhileRunning) {
            EXPECT_EQ(captionWhileRunning, "Cancel");
            EXPECT_FALSE(saveWhileRunning);
        }
        EXPECT_EQ(d.Text("bConvert"), "Convert existing files...") << c.name;
        EXPECT_TRUE(d.Enabled("bSave")) << c.name;
        EXPECT_TRUE(d.errors().empty()) << c.name;
    }
}

// The entry with the time of its name line taken out: the page shows the time it was worked out,
// the message carries its own.
std::string WithoutTime(const std::string& entry) {
    const std::size_t open = entry.find(" (");
    const std::size_t close = entry.find(")\r\n", open);
    return open == std::string::npos || close == std::string::npos
               ? entry
               : entry.substr(0, open) + entry.substr(close);
}

// What the Preview page shows for values typed and not saved is what a message then does once
// they are saved and the lists reloaded: the file it goes to, the entry it adds, and why.
TEST_F(OptionsTest, PreviewTellsWhatTheNextMessageDoesOnceTheValuesAreSaved) {
    const std::string bom = "\xEF\xBB\xBF";
    const struct Case {
        const char* fileName;  // typed into eFileName
        const char* aliases;
        const char* exclude;
        bool utf8;
        const char* contactName;  // typed into ePrevName
        const char* existing;     // the history file's bytes before; nullptr: no file
        const char* path;         // below the plug-in's folder; nullptr: excluded
        std::vector<std::string> notes;
    } cases[] = {
        {"%PROTOCOL%\\%UIN%",
         "",
         "",
         false,
         "Bob",
         nullptr,
         "HISTORY\\ICQ\\12345.TXT",
         {"The folder does not exist yet", "A new file: it will be written in ANSI."}},
        {"%CONTACTNAME%",
         "bob==Robert\r\n; note\r\nRobert==Rob\r\n",
         "",
         true,
         "Bob",
         nullptr,
         "HISTORY\\Rob.TXT",
         {"Alias pass 1: the rule \"bob==Robert\" changed",
          "Alias pass 1: the rule \"Robert==Rob\"", "A new file: it will be written in UTF-8."}},
        {"%CONTACTNAME%",
         "ob==obb",
         "",
         false,
         "Bob",
         nullptr,
         "HISTORY\\Bobbb.TXT",
         {"Alias pass 1: the rule \"ob==obb\"", "Alias pass 2: the rule \"ob==obb\""}},
        {"%CONTACTNAME%",
         "",
         "x\r\nbob\r\n",
         false,
         "Bob",
         nullptr,
         nullptr,
         {"Not saved: line 2 of the Exclude page (\"bob\") excludes this contact."}},
        {"%CONTACTNAME%", "", "", false, "a:b", nullptr, "HISTORY\\a_b.TXT", {"became \"_\""}},
        {"%CONTACTNAME%", "", "", false, "con", nullptr, "HISTORY\\con_.TXT", {"for a device"}},
        {"%UIN%",
         "",
         "",
         true,
         "Bob",
         "old\r\n",
         "HISTORY\\12345.TXT",
         {"The file exists and keeps its encoding: ANSI."}},
        {"%UIN%",
         "",
         "",
         false,
         "Bob",
         "\xEF\xBB\xBFold\r\n",
         "HISTORY\\12345.TXT",
         {"keeps its encoding: UTF-8."}},
    };
    test::HostedPlugin host;
    for (const Case& c : cases) {
        fs::remove_all(folder.native("HISTORY"));
        fs::remove(folder.native("Quillet.ini"));
        if (c.existing) WriteFile(c.path, c.existing);
        HeadlessDialog& d = Open();
        d.Type("eFileName", c.fileName);
        d.Type("Memo1", c.aliases);
        d.Type("mExclude", c.exclude);
        if (c.utf8) d.Click("cbUtf8");
        d.SwitchToPage(3);
        d.Type("ePrevName", c.contactName);
        const std::string shownPath = d.Text("ePrevPath");
        const std::string shownEntry = d.Text("mPrevEntry");
        const std::string notes = d.Text("lPrevNotes");
        for (const std::string& note : c.notes) {
            EXPECT_NE(notes.find(note), std::string::npos) << c.contactName << ": " << notes;
        }
        d.Click("bSave");
        ReloadLists();

        const std::u16string name = platform::AnsiToWide(c.contactName);
        const TChatMessage message{0,      1197036309, u"ICQ",   u"12345", name.c_str(),
                                   u"777", u"Me",      u"Hello", 0};
        host.Send(message);
        if (c.path == nullptr) {
            EXPECT_EQ(shownPath, "");
            EXPECT_FALSE(fs::exists(folder.native("HISTORY")));
            continue;
        }
        // "%QUILLET PATH%" ends in "\\", and the joining adds one more.
        EXPECT_EQ(shownPath, folder.path() + "\\" + c.path) << c.contactName;
        const std::string before = c.existing ? c.existing : "";
        std::string added = File(c.path).value_or("").substr(before.size());
        const bool newUtf8 = c.utf8 && !c.existing;
        EXPECT_EQ(added.substr(0, 3) == bom, newUtf8) << c.path;
        if (newUtf8) added.erase(0, 3);
        EXPECT_EQ(WithoutTime(added), WithoutTime(shownEntry)) << c.path;
        EXPECT_NE(shownEntry.find("\r\nHello\r\n"), std::string::npos);
    }
}

// The Preview page names the date macros that the path keeps for the message, and not one that
// a variable of the environment of that name replaces first.
TEST_F(OptionsTest, PreviewNamesTheDateMacrosOfThePath) {
    const struct {
        const char* fileName;
        std::optional<std::string> yearVariable;
        const char* named;  // nullptr: no note
    } cases[] = {
        {"%UIN%", std::nullopt, nullptr},
        {"%UIN%\\%YEAR%-%MONTH%", std::nullopt, "%YEAR% %MONTH%."},
        {"%day%.%Year%", std::nullopt, "%YEAR% %DAY%."},
        {"%UIN%\\%YEAR%-%MONTH%", "1999", "%MONTH%."},
    };
    for (const auto& c : cases) {
        const test::ScopedEnv year("YEAR", c.yearVariable);
        HeadlessDialog& d = Open();
        d.Type("eFileName", c.fileName);
        d.SwitchToPage(3);
        const std::string notes = d.Text("lPrevNotes");
        const std::string note = "The path holds the message's date: ";
        EXPECT_EQ(notes.find(note + (c.named ? c.named : "")) != std::string::npos,
                  c.named != nullptr)
            << c.fileName << ": " << notes;
        if (c.yearVariable) {
            EXPECT_NE(d.Text("ePrevPath").find("\\1999-"), std::string::npos)
                << d.Text("ePrevPath");
        }
    }
}

TEST_F(OptionsTest, FailedSettingWriteKeepsTheDialogOpen) {
    fs::create_directory(folder.native("Quillet.ini"));  // the settings file cannot be written
    HeadlessDialog& d = Open();
    d.Click("bSave");
    ASSERT_EQ(d.errors().size(), 1u);
    EXPECT_EQ(d.errors()[0].text,
              "Unable to write to " + plugin.settingsFile() + "\na folder has its name");
    EXPECT_EQ(d.errors()[0].caption, "Error - Quillet");
    EXPECT_FALSE(d.closed());
    EXPECT_FALSE(File("aliases.ini"));  // nothing after the failure
}

TEST_F(OptionsTest, FailedListFileWriteNamesTheFileAndTheReason) {
    fs::create_directory(folder.native("aliases.ini"));  // no file can be created there
    HeadlessDialog& d = Open();
    d.Type("Memo1", "a==b");
    d.Type("mExclude", "123");
    d.Click("bSave");
    ASSERT_EQ(d.errors().size(), 1u);
    const std::string prefix = "Cannot create file \"" + folder.path("aliases.ini") + "\". ";
    EXPECT_EQ(d.errors()[0].text.substr(0, prefix.size()), prefix);
    EXPECT_GT(d.errors()[0].text.size(), prefix.size());  // the system's reason follows
    EXPECT_FALSE(d.closed());
    EXPECT_EQ(Setting("PathFolderCustom"), "C:\\");  // what came before stays written
    EXPECT_FALSE(File("Exclude.ini"));
    // A file that exists is not said to be created.
    WriteFile("Exclude.ini", "1");
    const platform::ObstaclePtr protect = platform::ProtectFromWriting(folder.path("Exclude.ini"));
    if (!protect) GTEST_SKIP() << "this system cannot protect a file from this process";
    HeadlessDialog& again = Open();
    again.Type("mExclude", "2");
    again.Click("bSave");
    ASSERT_EQ(again.errors().size(), 1u);
    const std::string existing = "Cannot write file \"" + folder.path("Exclude.ini") + "\". ";
    EXPECT_EQ(again.errors()[0].text.substr(0, existing.size()), existing);
    EXPECT_EQ(File("Exclude.ini"), "1");
}

TEST_F(OptionsTest, LanguageListHoldsEnglishThenEveryIniFileAndSubFolders) {
    // Several files, so that some are listed after the sub-folder whatever the order.
    const std::vector<std::string> files = {"German.ini", "Russian.ini", "a.ini",
                                            "b.ini",      "c.ini",       "d.ini"};
    for (const std::string& file : files) WriteFile("Languages/" + file, "");
    WriteFile("Languages/notes.txt", "");
    WriteFile("Languages/German.ico", "");
    WriteFile("Languages/More.ini/Inner.ini", "");
    WriteFile("Languages/More.ini/inner.txt", "");
    fs::create_directory(folder.native("Languages/Plain"));
    HeadlessDialog& d = Open();
    const std::vector<std::string> rows = d.Items("lbLangs");
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], "English");
    std::set<std::string> expected(files.begin(), files.end());
    expected.insert({"More.ini\\", "Inner.ini"});
    EXPECT_EQ(std::set<std::string>(rows.begin() + 1, rows.end()), expected);
    EXPECT_EQ(rows.size(), 1 + expected.size());  // nothing twice
    const auto folderRow = std::find(rows.begin(), rows.end(), "More.ini\\");
    ASSERT_NE(folderRow + 1, rows.end());
    EXPECT_EQ(*(folderRow + 1), "Inner.ini");  // a sub-folder's files follow it
    EXPECT_GE(d.processMessagesCalls, static_cast<int>(expected.size()));  // once an entry
}

TEST_F(OptionsTest, DoubleClickStoresTheLanguageAtOnce) {
    WriteGerman();
    WriteFile("Languages/Other.ini", "");
    HeadlessDialog& d = Open();
    const std::vector<std::string> rows = d.Items("lbLangs");
    const int german =
        static_cast<int>(std::find(rows.begin(), rows.end(), "German.ini") - rows.begin());
    ASSERT_LT(german, static_cast<int>(rows.size()));

    d.DoubleClick("lbLangs", german);
    EXPECT_EQ(StoredLanguage(), u"German.ini");
    EXPECT_EQ(d.Text("lPleaseRestart"),
              "* Neu \xF6"
              "ffnen");  // already in the new language
    EXPECT_EQ(d.SelectedIndex("lbLangs"), german);
    EXPECT_GE(d.repaints("lbLangs"), 1);
    EXPECT_EQ(d.Text("bSave"), "Save");  // the rest waits for the next opening
    d.Click("Button1");
    EXPECT_EQ(StoredLanguage(), u"German.ini");  // kept although cancelled
    EXPECT_FALSE(File("aliases.ini"));

    HeadlessDialog& again = Open();
    EXPECT_EQ(again.Text("fOptions"), "Quillet : Optionen");
    EXPECT_EQ(again.Text("bSave"), "Speichern");
    EXPECT_EQ(again.SelectedIndex("lbLangs"), -1);
    again.SwitchToPage(3);
    EXPECT_EQ(again.Items("lbLangs")[static_cast<std::size_t>(again.SelectedIndex("lbLangs"))],
              "German.ini");

    again.DoubleClick("lbLangs", 0);  // back to English
    EXPECT_EQ(StoredLanguage(), u"English");
    EXPECT_EQ(again.Text("lPleaseRestart"),
              "* Please close and reopen this dialog to apply language.");
    EXPECT_EQ(again.Text("bSave"), "Speichern");
}

TEST_F(OptionsTest, DoubleClickWithoutSelectionStoresTheCurrentLanguage) {
    WriteGerman();
    WriteFile("Quillet.ini", "[Translate]\r\nCurLang=German.ini\r\n");
    HeadlessDialog& d = Open();
    d.DoubleClick("lbLangs", -1);
    EXPECT_EQ(StoredLanguage(), u"German.ini");
    EXPECT_EQ(d.Text("lPleaseRestart"),
              "* Neu \xF6"
              "ffnen");
    EXPECT_EQ(d.Text("Memo1"), "");
}

TEST_F(OptionsTest, FailedLanguageStoreSelectsTheStoredOneAgain) {
    WriteGerman();
    fs::create_directory(folder.native("Quillet.ini"));
    HeadlessDialog& d = Open();
    d.DoubleClick("lbLangs", 1);
    EXPECT_EQ(d.Items("lbLangs")[1], "German.ini");
    EXPECT_EQ(d.Text("lPleaseRestart"),
              "* Neu \xF6"
              "ffnen");
    EXPECT_EQ(d.SelectedIndex("lbLangs"), 0);  // "English", as nothing could be stored
}

TEST_F(OptionsTest, TranslationLeavesFieldsAndEditorsAsLoaded) {
    WriteGerman(u"History=Verlauf\r\ntxt=Text\r\na==b\r\nFolder to story history:=Ordner:\r\n");
    WriteFile("Quillet.ini",
              "[Translate]\r\nCurLang=German.ini\r\n[Settings]\r\nPathFolder2=History\r\n");
    WriteFile("aliases.ini", "  History  \r\n");
    HeadlessDialog& d = Open();
    EXPECT_EQ(d.Text("GroupBox1"), "Ordner:");
    EXPECT_EQ(d.Text("ePath2"), "History");
    EXPECT_EQ(d.Text("eExt"), "txt");
    EXPECT_EQ(d.Text("Memo1"), "  History  \r\n");
    d.Click("bSave");
    EXPECT_EQ(Setting("PathFolder2"), "History");
    EXPECT_EQ(File("aliases.ini"), "  History  \r\n");
}

TEST_F(OptionsTest, RowsAreMeasuredAndPaintedFromTheirLanguageFiles) {
    WriteGerman();
    WriteFile("Languages/German.ico", "icon");
    WriteFile("Languages/Abc.ini", "[TRANSLATOR]\r\nNativeName=Abc\r\n");
    WriteFile("Languages/Nihon.ini", Utf16File(u"[TRANSLATOR]\r\nNativeName=\u65E5\u672C\r\n"));
    const std::u16string russian = u"\u0420\u0443\u0441\u0441\u043a\u0438\u0439";
    WriteFile("Languages/Russky.ini", Utf16File(u"[TRANSLATOR]\r\nNativeName=" + russian));
    const std::string languages = folder.path("Languages\\");
    const platform::Color blue{0, 113, 225}, white{255, 255, 255}, black{0, 0, 0},
        pale{216, 233, 254};
    struct Case {
        const char* name;
        std::vector<std::string> icons;  // written before painting
        std::string row;
        bool selected;
        int index;
        platform::Color background, text;
        std::string label;
        std::string version;                                 // empty: none drawn
        std::vector<std::string> iconsDrawn;                 // in order
        std::optional<std::string> codePage = std::nullopt;  // natively; Wine keeps the system's
    };
    const std::vector<Case> cases = {
        {"native name, version, icon",
         {},
         "German.ini",
         false,
         1,
         pale,
         black,
         "Deutsch   (German.ini)",
         "1.2",
         {languages + "German.ico"}},
        {"selected",
         {},
         "German.ini",
         true,
         1,
         blue,
         white,
         "Deutsch   (German.ini)",
         "1.2",
         {languages + "German.ico"}},
        {"short native name", {}, "Abc.ini", false, 2, white, black, "Abc.ini", "", {}},
        {"two characters, four bytes in code page 932",
         {},
         "Nihon.ini",
         false,
         2,
         white,
         black,
         "Nihon.ini",
         "",
         {},
         "932"},
        {"a script the code page lacks, drawn as itself",
         {},
         "Russky.ini",
         false,
         2,
         white,
         black,
         platform::WideToUtf8(russian) + "   (Russky.ini)",
         "",
         {},
         "1252"},
        {"missing file", {}, "Gone.ini", false, 3, pale, black, "Gone.ini", "", {}},
        {"English without icons", {}, "English", false, 0, white, black, "English", "", {}},
        {"uk.ico alone",
         {"uk.ico"},
         "English",
         false,
         0,
         white,
         black,
         "English",
         "",
         {languages + "uk.ico"}},
        {"uk.ico over English.ico",
         {"English.ico"},
         "English",
         false,
         0,
         white,
         black,
         "English",
         "",
         {languages + "English.ico", languages + "uk.ico"}},
    };
    for (const Case& c : cases) {
        for (const std::string& icon : c.icons) WriteFile("Languages/" + icon, "icon");
        form = std::make_unique<TfOptions>(MakeHeadless);
        HeadlessDialog& d = dialog();
        for (int i = 0; i < c.index; ++i) d.AddItem("lbLangs", "filler");
        d.AddItem("lbLangs", c.row);
        EXPECT_EQ(d.MeasureRow("lbLangs", c.index, 13), 23) << c.name;
        const platform::Rect rect{0, 40, 457, 63};
        const test::ScopedEnv codePage("QUILLET_ACP", c.codePage);
        const std::vector<PaintCall> calls = d.PaintRow("lbLangs", c.index, rect, c.selected);
        ASSERT_GE(calls.size(), 2u) << c.name;
        EXPECT_EQ(calls[0].what, PaintCall::What::Fill) << c.name;
        EXPECT_EQ(calls[0].rect.top, 40) << c.name;
        EXPECT_EQ(calls[0].rect.bottom, 63) << c.name;
        EXPECT_EQ(std::tie(calls[0].color.red, calls[0].color.green, calls[0].color.blue),
                  std::tie(c.background.red, c.background.green, c.background.blue))
            << c.name;
        std::vector<const PaintCall*> texts;
        std::vector<std::string> icons;
        for (const PaintCall& call : calls) {
            if (call.what == PaintCall::What::Text) texts.push_back(&call);
            if (call.what == PaintCall::What::Icon) {
                icons.push_back(call.text);
                EXPECT_EQ(call.x, 4) << c.name;
                EXPECT_EQ(call.y, 46) << c.name;
            }
        }
        ASSERT_EQ(texts.size(), c.version.empty() ? 1u : 2u) << c.name;
        EXPECT_EQ(texts[0]->text, c.label) << c.name;
        EXPECT_EQ(std::tie(texts[0]->x, texts[0]->y), std::make_tuple(28, 43)) << c.name;
        EXPECT_EQ(texts[0]->color.red, c.text.red) << c.name;
        if (!c.version.empty()) {
            EXPECT_EQ(texts[1]->text, c.version) << c.name;
            EXPECT_EQ(std::tie(texts[1]->x, texts[1]->y), std::make_tuple(412, 43)) << c.name;
        }
        EXPECT_EQ(icons, c.iconsDrawn) << c.name;
    }
}

std::u16string TextOfUtf16File(std::string_view bytes) {
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return text;
}

std::string Printable(std::u16string_view key) {
    return platform::WideToAnsi(key);
}

// A translator fills in the template's right-hand sides as written, and the dialog then shows
// every one of them: every caption, help text and the restart notice. Each translation is its
// key in angle brackets, so that none is part of another.
TEST_F(OptionsTest, FilledInTemplateIsWhatTheDialogShows) {
    const std::string bytes = translator::LanguageFileBytes(translator::MakeTemplate(u"Filled"));
    ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    const std::u16string text = TextOfUtf16File(bytes);
    ASSERT_TRUE(text.ends_with(u"\r\n"));
    std::u16string filled;
    bool inDict = false;
    for (std::size_t from = 0, end; from < text.size(); from = end + 2) {
        end = text.find(u"\r\n", from);
        std::u16string line = text.substr(from, end - from);
        ASSERT_EQ(line.find_first_of(u"\r\n"), std::u16string::npos) << "a line break not CR LF";
        if (inDict && line.ends_with(u'=')) {
            const std::u16string key = line.substr(0, line.size() - 1);
            line += u'<';
            line += key;
            line += u'>';
        }
        inDict = inDict || line == u"[Dict]";
        filled += line + u"\r\n";
    }
    WriteFile("Languages/Filled.ini", Utf16File(filled));
    WriteFile("Quillet.ini", "[Translate]\r\nCurLang=Filled.ini\r\n");
    HeadlessDialog& d = Open();
    d.DoubleClick("lbLangs", 1);
    ASSERT_EQ(d.Items("lbLangs")[1], "Filled.ini");
    std::string shown;
    for (const platform::ControlSpec& row : OptionsLayout()) shown += d.Text(row.name) + "\n";
    for (const std::string& item : d.Items("cbPrevDirection")) shown += item + "\n";
    d.Pick("cbFolder1", 10);
    d.Click("bSelDir");
    d.Pick("cbFolder1", 1);
    shown += d.folderHint + "\n";
    // The Preview page's notes, each brought about once: a path too long, changed by a rule in
    // both passes, by cleaning, trimming and a device name, in a folder still to be made, with
    // the message's date; then a file that exists; then a contact on the exclusion list.
    d.SwitchToPage(3);
    d.Type("ePath2", std::string(260, 'x'));
    d.Type("eFileName", "%CONTACTNAME%\\%UIN%-%YEAR%");
    d.Type("Memo1", "ob==obb");
    d.Type("ePrevName", "b:ob \\con");
    shown += d.Text("lPrevNotes") + "\n";
    // A folder to be made, then what keeps one from being made: a file in its way, a drive
    // that is not there.
    WriteFile("Blocker", "a file");
    for (const char* folder2 : {"Later", "Blocker\\Sub"}) {
        d.SwitchToPage(0);
        d.Type("ePath2", folder2);
        d.SwitchToPage(3);
        shown += d.Text("lPrevNotes") + "\n";
    }
    d.SwitchToPage(0);
    d.Pick("cbFolder1", 10);
    d.Type("eCustomFolder", "Q:\\Chats");
    d.SwitchToPage(3);
    shown += d.Text("lPrevNotes") + "\n";
    d.SwitchToPage(0);
    d.Pick("cbFolder1", 1);
    WriteFile("HISTORY\\12345.TXT", "entry\r\n");
    d.Type("ePath2", "History");
    d.Type("eFileName", "%UIN%");
    d.SwitchToPage(3);
    shown += d.Text("lPrevNotes") + "\n";
    d.Type("mExclude", "12345");
    d.Type("ePrevName", "Bob");
    shown += d.Text("lPrevNotes") + "\n";
    // The note in place of a list file the editor cannot show (its lines broken CR LF, as a text
    // editor breaks them), and the question when a list file changed both on disk and here.
    WriteFile("aliases.ini", std::string("a\0b", 3));
    HeadlessDialog& lists = Open();
    lists.Type("mExclude", "1");
    WriteFile("Exclude.ini", "2");
    lists.answers = {false};
    lists.Click("bSave");
    std::string note = lists.Text("Memo1");
    for (std::size_t at = 0; (at = note.find("\r\n", at)) != std::string::npos; at += 2) {
        note.replace(at, 2, "\n\r");
    }
    shown += note + "\n";
    for (const test::ShownError& question : lists.questions()) shown += question.text + "\n";
    // The boxes of the conversion to UTF-8: nothing to convert; then more files left alone than
    // a report names, and one converted; then a conversion stopped by the user.
    fs::remove_all(folder.native("HISTORY"));
    HeadlessDialog& convert = Open();
    convert.Click("bConvert");
    for (int i = 10; i < 26; ++i)
        WriteFile("HISTORY\\" + std::to_string(i) + ".TXT", "\xEB\r\n\xC3\xAB");
    WriteFile("HISTORY\\z.TXT", "x\r\n");
    convert.answers = {true, true};
    convert.Click("bConvert");
    bool stopped = false;
    convert.whileProcessingMessages = [&](HeadlessDialog& running) {
        if (!std::exchange(stopped, true)) running.Click("bConvert");
    };
    convert.Click("bConvert");
    for (const auto* boxes : {&convert.questions(), &convert.informations()}) {
        for (const test::ShownError& box : *boxes) shown += box.text + "\n";
    }
    // The History page: no history folder; then more entries than it lists, a file it cannot
    // read and the button while it searches; an entry selected, its file not opened, changed,
    // and unreadable; a search stopped.
    fs::remove_all(folder.native("HISTORY"));
    HeadlessDialog& history = Open();
    history.Click("bSearch");
    shown += history.Text("lResultCount") + "\n";
    std::string many;
    for (std::size_t i = 0; i <= MostEntriesListed; ++i)
        many += EntryBytes(EntryDirection::Received, "Bob", "10:00:00 01/02/2008", "hi");
    WriteFile("HISTORY\\1.TXT", many);
    WriteFile("HISTORY\\2.TXT",
              EntryBytes(EntryDirection::Sent, "Me", "10:00:00 01/02/2009", "yo"));
    WriteFile("HISTORY\\3.TXT", many);
    auto unreadable = platform::MakeUnreadable(folder.path("HISTORY\\3.TXT"));
    ASSERT_TRUE(unreadable);
    history.whileProcessingMessages = [&](HeadlessDialog& running) {
        shown += running.Text("bSearch") + "\n";
    };
    history.Click("bSearch");
    shown += history.Text("lResultCount") + "\n";
    for (const platform::ListColumn& column : history.columns("lvResults"))
        shown += column.caption + "\n";
    for (const platform::ListRow& row :
         {history.rows("lvResults").at(0), history.rows("lvResults").at(1)})
        shown += Printable(row.at(3)) + "\n";
    history.Pick("lvResults", 0);
    shown += history.Text("mResultEntry") + "\n";
    history.openFailure = platform::SystemError("ShellExecuteExW", "", 2, "none");
    history.Click("bOpenFile");
    WriteFile("HISTORY\\2.TXT", "");
    history.Pick("lvResults", 0);
    shown += history.Text("mResultEntry") + "\n";
    unreadable = platform::MakeUnreadable(folder.path("HISTORY\\1.TXT"));
    history.Pick("lvResults", 1);
    shown += history.Text("mResultEntry") + "\n";
    unreadable.reset();
    history.whileProcessingMessages = [](HeadlessDialog& running) { running.Click("bSearch"); };
    history.Click("bSearch");
    shown += history.Text("lResultCount") + "\n";
    for (const test::ShownError& box : history.errors()) shown += box.text + "\n";

    for (const std::string& text : TranslatedTexts()) {
        const std::u16string key = DictKey(text);
        if (key.empty()) continue;  // "..." alone stays as it is
        const std::string marked = Printable(u"<" + key + u">");
        std::string translation;  // with every "/n" made a line break, as the dialog does
        for (std::size_t from = 0;;) {
            const std::size_t mark = marked.find("/n", from);
            translation += marked.substr(from, mark - from);
            if (mark == std::string::npos) break;
            translation += "\n\r";
            from = mark + 2;
        }
        // Of a text with values filled in ("%1", "%2"), the part before the first.
        translation =
            translation.substr(0, std::min(translation.find("%1"), translation.find("%2")));
        EXPECT_NE(shown.find(translation), std::string::npos) << Printable(key);
    }
}

// Every language file shipped covers what the dialog shows, with a translation for each text,
// and holds nothing else; and every text of the dialog can be put into a language file.
TEST(BundledLanguages, TranslateEveryTextOfTheDialogAndNothingElse) {
    EXPECT_THAT(translator::UntranslatableTexts(), ::testing::IsEmpty());
    const std::vector<std::u16string> keys = translator::DialogKeys();
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(QUILLET_BUNDLED_LANGUAGES)) {
        if (entry.path().extension() == ".ini") files.push_back(entry.path());
    }
    ASSERT_GE(files.size(), 2u) << QUILLET_BUNDLED_LANGUAGES;
    for (const fs::path& file : files) {
        const std::string name = file.filename().string();
        const std::string bytes = test::ReadBytes(file).value_or("");
        EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << name << ": not UTF-16LE";
        EXPECT_GE(ReadIniText(bytes, u"TRANSLATOR", u"NativeName", u"", 2048).size(), 4u) << name;
        EXPECT_NE(ReadIniText(bytes, u"TRANSLATOR", u"ver", u"", 2048), u"") << name;
        for (const std::u16string& key : keys) {
            const std::u16string translation = ReadIniText(bytes, u"Dict", key, u"<missing>", 2048);
            EXPECT_NE(translation, u"<missing>") << name << " lacks: " << Printable(key);
            EXPECT_NE(translation.find_first_not_of(u" \t"), std::u16string::npos)
                << name << " leaves untranslated: " << Printable(key);
        }
        for (const std::u16string& key : translator::StaleKeys(bytes)) {
            ADD_FAILURE() << name << " holds a text the dialog no longer shows: " << Printable(key);
        }
        std::vector<std::u16string> fileKeys = ReadIniKeys(bytes, u"Dict");
        for (std::size_t i = 0; i < fileKeys.size(); ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                EXPECT_FALSE(platform::EqualIgnoreCase(fileKeys[i], fileKeys[j]))
                    << name << " repeats (only the first counts): " << Printable(fileKeys[i]);
            }
        }
    }
}

std::vector<std::string> shownMessages;
void RecordMessage(const std::string& text, const std::string&) {
    shownMessages.push_back(text);
}

TEST_F(OptionsTest, WithoutADialogTheUserIsToldWhy) {
    const std::vector<std::pair<DialogFactory, std::string>> cases = {
        {[](const std::vector<platform::ControlSpec>&, platform::DialogEvents&) {
             return std::unique_ptr<platform::Dialog>();  // no screen
         },
         "needs the Windows build"},
        {[](const std::vector<platform::ControlSpec>&,
            platform::DialogEvents&) -> std::unique_ptr<platform::Dialog> {
             throw std::runtime_error("no room for another row");
         },
         "cannot be shown: no room for another row"},
        {[](const std::vector<platform::ControlSpec>&,
            platform::DialogEvents&) -> std::unique_ptr<platform::Dialog> {
             throw platform::SystemError("CreateWindowExW", "bSave", 1400,
                                         "Invalid window handle.");
         },
         "cannot be shown: the system could not make its windows.\nInvalid window handle.\n"
         "(CreateWindowExW bSave, error 1400)"},
    };
    for (const auto& [factory, expected] : cases) {
        shownMessages.clear();
        platform::SetMessageObserver(RecordMessage);
        EXPECT_TRUE(ShowOptionsDialog(factory));
        platform::SetMessageObserver(nullptr);
        ASSERT_EQ(shownMessages.size(), 1u) << expected;
        EXPECT_NE(shownMessages[0].find(expected), std::string::npos) << shownMessages[0];
        EXPECT_FALSE(File("Quillet.ini"));
    }
}

// The host may send the options event again while the dialog runs its modal loop: no second
// dialog is made, the open one comes to the front, and only the first call tells its caller
// that a dialog was shown. A closed dialog leaves nothing behind for the next event.
TEST_F(OptionsTest, AskedForAgainWhileOpenTheDialogComesToTheFront) {
    int made = 0;
    bool nested = false;
    std::vector<bool> nestedShown;
    std::vector<int> broughtToFront;
    DialogFactory factory;
    factory = [&](const std::vector<platform::ControlSpec>& layout,
                  platform::DialogEvents& events) -> std::unique_ptr<platform::Dialog> {
        ++made;
        auto headless = std::make_unique<HeadlessDialog>(layout, events);
        headless->whileShown = [&](HeadlessDialog& d) {
            if (!std::exchange(nested, true)) {  // a second dialog, if any, asks no further
                nestedShown.push_back(ShowOptionsDialog(factory));
                broughtToFront.push_back(d.broughtToFront);
                nested = false;
            }
            d.Click("Button1");
        };
        return headless;
    };
    for (int round = 1; round <= 2; ++round) {
        EXPECT_TRUE(ShowOptionsDialog(factory));
        EXPECT_EQ(made, round);
    }
    EXPECT_EQ(nestedShown, std::vector<bool>({false, false}));
    EXPECT_EQ(broughtToFront, std::vector<int>({1, 1}));
}

}  // namespace
}  // namespace quillet
