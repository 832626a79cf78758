#include "ui/u_options.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <optional>

#include "config/IniFile.h"
#include "config/PluginGlobals.h"
#include "config/StringOps.h"
#include "config/u_IniSettings.h"
#include "config/un_GetDirs.h"
#include "history/DateTime.h"
#include "history/HistoryPreview.h"
#include "platform/platform.h"
#include "ui/BoxCaptions.h"
#include "ui/LanguageSupport.h"

namespace quillet {

namespace {

using platform::Color;
using platform::ControlKind;
using platform::ControlSpec;

constexpr const char* LegalNotice =
    "Copyright (c) Ostrel software. Provided as is, without warranty.";
constexpr const char* Credits = "Thanks to everyone who translated and tested Quillet.";

// Texts built when the dialog is shown; each passes through the translation.
constexpr const char* HelpReplacements =
    "Suppored replacements: /n %PROTOCOL% \t- name of the protocol /n %CONTACTNAME%\t- name of "
    "contact (from your contact list) /n %UIN% \t\t- UIN of contact /n %MYUIN% \t- Your UIN /n "
    "%MYNAME% \t- Your name";
constexpr const char* HelpExclude =
    "Enter UIN or Contact Name to disable save history for specfied contact. /n One UIN or "
    "Contact Name per line. /n /n NOTE: if you exclude UIN from history, aliases with this UIN "
    "also will be exluded from history.";
// One line of Label4: with the lines above it, as many as the label holds.
constexpr const char* HelpDateMacros = "%YEAR% %MONTH% %DAY% - the message's date";
constexpr const char* FolderPickerHint =
    "The folder of %CUSTOM%. Below it, the file's path may use %YEAR% %MONTH% %DAY% of each "
    "message.";
constexpr const char* HelpAliases =
    "At this moment plugins do not have rights to acess contact-list. /n You need manually enter "
    "aliases for UINs and Contact name in separate lines.";
constexpr const char* HelpAliasesExample = "For example:";
constexpr const char* HelpAliasesWarning =
    "NOTE: please do not enter any text in this memo if you do not fully understand feature. "
    "Because, you may break your history-files. /n /n This feature is NOT ready to use. This "
    "aliases are used only as replacement rules in filename.";
constexpr const char* RestartNotice = "* Please close and reopen this dialog to apply language.";

// The Preview page: the sample message it opens with, its directions, and its notes ("%1" and
// "%2" are filled in after the translation).
struct SampleField {
    const char* control;
    const char* text;
};
constexpr SampleField SampleMessage[] = {
    {"ePrevProtocol", "ICQ"}, {"ePrevUIN", "12345"}, {"ePrevName", "Bob"},
    {"ePrevMyUIN", "777"},    {"ePrevMyName", "Me"}, {"ePrevText", "Hello"},
};
constexpr const char* DirectionControl = "cbPrevDirection";
constexpr const char* DirectionReceived = "received";
constexpr const char* DirectionSent = "sent";
constexpr const char* PreviewPageName = "TabSheet6";
constexpr const char* NoteExcluded =
    "Not saved: line %1 of the Exclude page (%2) excludes this contact.";
constexpr const char* NoteAliasRule = "Alias pass %1: the rule %2 changed the path.";
constexpr const char* NoteCleaned = "Characters that Windows forbids in names became \"_\".";
constexpr const char* NoteTrimmed =
    "Blanks and dots at the end of a folder name are dropped, as Windows does.";
constexpr const char* NoteDeviceName =
    "A name that Windows keeps for a device (CON, NUL, COM1 and the like) got \"_\" added.";
constexpr const char* NoteTooLong =
    "The path is longer than Windows allows (259 characters): the message cannot be saved.";
constexpr const char* NoteFolderMissing = "The folder does not exist yet: it will be created.";
constexpr const char* NoteFolderFileInTheWay =
    "The folder cannot be made: %1 is a file. The message would not be saved.";
constexpr const char* NoteFolderNotReachable =
    "The folder cannot be made: %1 is not reachable (a drive or network share that is not "
    "there). The message would not be saved.";
constexpr const char* NoteFolderTooLong =
    "The folder cannot be made: its path is longer than Windows allows for folders (248 "
    "characters). The message would not be saved.";
constexpr const char* NoteKeepsEncoding = "The file exists and keeps its encoding: %1.";
constexpr const char* NoteNewFileEncoding = "A new file: it will be written in %1.";
constexpr const char* NoteDateMacros = "The path holds the message's date: %1.";
constexpr const char* NL = "\n\r";  // line feed, then carriage return, as "/n" becomes

constexpr int QuilletPathItem = 1;
constexpr const char* CustomFolderMacro = "%CUSTOM%";
// The drop-down of the folder choice: its value is the text of the item selected.
constexpr std::string_view FolderChoiceControl = "cbFolder1";
// The check box of the encoding of new history files.
constexpr std::string_view EncodingControl = "cbUtf8";

// Row colours of the language list.
constexpr Color SelectedBackground{0, 113, 225};
constexpr Color EvenBackground{255, 255, 255};
constexpr Color OddBackground{216, 233, 254};
constexpr Color White{255, 255, 255};
constexpr Color Black{0, 0, 0};
constexpr int RowPadding = 10;
constexpr int LabelLeft = 28;
constexpr int TextTop = 3;
constexpr int VersionFromRight = 45;
constexpr int IconLeft = 4;
constexpr int IconTop = 6;
constexpr std::size_t MinimumNativeName = 4;  // characters (UTF-16 units)

constexpr std::uint32_t Wrapped = platform::kWordWrap | platform::kFixedSize;

// clang-format off
const std::vector<ControlSpec> Layout = {
    {ControlKind::Form, "fOptions", "", 0, 0, 513, 380, "Quillet : Options"},
    {ControlKind::Button, "Button1", "fOptions", 430, 344, 75, 25, "Cancel"},
    {ControlKind::Button, "bSave", "fOptions", 349, 344, 75, 25, "Save"},
    {ControlKind::Button, "bReset", "fOptions", 8, 344, 121, 25, "Reset to Default"},
    {ControlKind::TabControl, "PageControl1", "fOptions", 8, 8, 497, 321, ""},

    {ControlKind::Page, "TabSheet1", "PageControl1", 0, 0, 0, 0, "Save as"},
    {ControlKind::GroupBox, "GroupBox1", "TabSheet1", 3, 3, 483, 106, "Folder to story history:"},
    {ControlKind::DropDownList, "cbFolder1", "GroupBox1", 16, 24, 169, 21, ""},
    {ControlKind::Label, "Label3", "GroupBox1", 191, 27, 0, 0, "\\"},
    {ControlKind::Edit, "ePath2", "GroupBox1", 201, 24, 264, 21, ""},
    {ControlKind::Label, "Label8", "GroupBox1", 16, 56, 0, 0, "Select %Custom% folder:"},
    {ControlKind::Edit, "eCustomFolder", "GroupBox1", 16, 72, 394, 21, ""},
    {ControlKind::Button, "bSelDir", "GroupBox1", 424, 72, 41, 17, "..."},
    {ControlKind::GroupBox, "GroupBox2", "TabSheet1", 3, 115, 483, 169,
     "Name of file for each contact:"},
    {ControlKind::Edit, "eFileName", "GroupBox2", 16, 32, 384, 21, ""},
    {ControlKind::Label, "Label2", "GroupBox2", 406, 35, 0, 0, "."},
    {ControlKind::Edit, "eExt", "GroupBox2", 416, 32, 57, 21, ""},
    {ControlKind::Label, "Label4", "GroupBox2", 16, 64, 457, 98, "",
     Wrapped | platform::kCourierNew},

    {ControlKind::Page, "TabSheet3", "PageControl1", 0, 0, 0, 0, "Exlude"},
    {ControlKind::Memo, "mExclude", "TabSheet3", 16, 16, 278, 265, ""},
    {ControlKind::Label, "Label10", "TabSheet3", 304, 16, 182, 274, "", Wrapped},

    {ControlKind::Page, "TabSheet2", "PageControl1", 0, 0, 0, 0, "Aliases"},
    {ControlKind::Memo, "Memo1", "TabSheet2", 16, 16, 278, 265, ""},
    {ControlKind::Label, "Label9", "TabSheet2", 312, 16, 177, 265, "", Wrapped},

    {ControlKind::Page, "TabSheet6", "PageControl1", 0, 0, 0, 0, "Preview"},
    {ControlKind::GroupBox, "GroupBox3", "TabSheet6", 3, 3, 483, 101, "Sample message:"},
    {ControlKind::Label, "lPrevProtocol", "GroupBox3", 10, 23, 0, 0, "Protocol:"},
    {ControlKind::Edit, "ePrevProtocol", "GroupBox3", 90, 20, 80, 21, ""},
    {ControlKind::Label, "lPrevDirection", "GroupBox3", 190, 23, 0, 0, "Direction:"},
    {ControlKind::DropDownList, "cbPrevDirection", "GroupBox3", 270, 20, 120, 21, ""},
    {ControlKind::Label, "lPrevContact", "GroupBox3", 10, 49, 0, 0, "Contact:"},
    {ControlKind::Edit, "ePrevUIN", "GroupBox3", 90, 46, 80, 21, ""},
    {ControlKind::Edit, "ePrevName", "GroupBox3", 176, 46, 90, 21, ""},
    {ControlKind::Label, "lPrevMe", "GroupBox3", 276, 49, 0, 0, "Me:"},
    {ControlKind::Edit, "ePrevMyUIN", "GroupBox3", 320, 46, 60, 21, ""},
    {ControlKind::Edit, "ePrevMyName", "GroupBox3", 386, 46, 84, 21, ""},
    {ControlKind::Label, "lPrevText", "GroupBox3", 10, 75, 0, 0, "Text:"},
    {ControlKind::Edit, "ePrevText", "GroupBox3", 90, 72, 380, 21, ""},
    {ControlKind::Label, "lPrevPath", "TabSheet6", 3, 110, 0, 0, "History file:"},
    {ControlKind::Edit, "ePrevPath", "TabSheet6", 3, 125, 483, 21, "", platform::kReadOnly},
    {ControlKind::Label, "lPrevEntry", "TabSheet6", 3, 152, 0, 0, "Entry:"},
    {ControlKind::Memo, "mPrevEntry", "TabSheet6", 3, 167, 318, 98, "",
     platform::kReadOnly | platform::kCourierNew},
    {ControlKind::Label, "lPrevNotes", "TabSheet6", 329, 152, 157, 113, "", Wrapped},
    {ControlKind::CheckBox, "cbUtf8", "TabSheet6", 3, 271, 240, 17,
     "Write new history files in UTF-8"},
    {ControlKind::Button, "bConvert", "TabSheet6", 248, 269, 150, 21, "Convert existing files..."},
    {ControlKind::ProgressBar, "pbConvert", "TabSheet6", 404, 271, 82, 17, ""},

    {ControlKind::Page, "TabSheet7", "PageControl1", 0, 0, 0, 0, "History"},
    {ControlKind::Label, "lSearch", "TabSheet7", 3, 9, 0, 0, "Text:"},
    {ControlKind::Edit, "eSearch", "TabSheet7", 44, 6, 140, 21, ""},
    {ControlKind::Label, "lSearchContact", "TabSheet7", 190, 9, 0, 0, "Contact:"},
    {ControlKind::Edit, "eSearchContact", "TabSheet7", 246, 6, 80, 21, ""},
    {ControlKind::CheckBox, "cbMatchCase", "TabSheet7", 332, 8, 78, 17, "Match case"},
    {ControlKind::Button, "bSearch", "TabSheet7", 414, 5, 72, 23, "Find"},
    {ControlKind::ListView, "lvResults", "TabSheet7", 3, 33, 483, 150, ""},
    {ControlKind::Label, "lResultCount", "TabSheet7", 3, 187, 378, 40, "", Wrapped},
    {ControlKind::ProgressBar, "pbSearch", "TabSheet7", 386, 188, 100, 14, ""},
    {ControlKind::Memo, "mResultEntry", "TabSheet7", 3, 229, 378, 60, "", platform::kReadOnly},
    {ControlKind::Button, "bOpenFile", "TabSheet7", 386, 229, 100, 23, "Open file"},

    {ControlKind::Page, "TabSheet4", "PageControl1", 0, 0, 0, 0, "Language"},
    {ControlKind::OwnerDrawList, "lbLangs", "TabSheet4", 16, 16, 457, 201, ""},
    {ControlKind::Label, "Label11", "TabSheet4", 16, 224, 457, 34,
     "To select language please double click on it. Then close and open this dialog again.",
     Wrapped},
    // Two lines, so that a translation longer than the English notice is not cut off.
    {ControlKind::Label, "lPleaseRestart", "TabSheet4", 16, 264, 449, 26, "",
     platform::kBold | Wrapped},

    {ControlKind::Page, "TabSheet5", "PageControl1", 0, 0, 0, 0, "About"},
    {ControlKind::Panel, "Panel1", "TabSheet5", 0, 0, 0, 76, ""},  // width 0: the page's
    {ControlKind::WhiteShape, "Shape1", "Panel1", 0, 0, 0, 0, ""},
    {ControlKind::Picture, "Image1", "Panel1", 152, 6, 171, 63, "logo.bmp"},
    {ControlKind::Label, "Label1", "TabSheet5", 96, 114, 0, 0, "Quillet", platform::kLargeBold},
    {ControlKind::Label, "lVersion", "TabSheet5", 96, 143, 0, 0, ""},
    {ControlKind::Label, "Label5", "TabSheet5", 96, 181, 0, 0, LegalNotice},
    {ControlKind::Label, "Label6", "TabSheet5", 96, 200, 0, 0, "Support:"},
    {ControlKind::LinkLabel, "Label7", "TabSheet5", 152, 200, 0, 0, SupportAddress},
    {ControlKind::Label, "Label12", "TabSheet5", 96, 248, 0, 0, Credits},
};
// clang-format on

// The Preview page's position among the tabs, which come in the order of their rows.
int PreviewPage() {
    int index = 0;
    for (const ControlSpec& row : Layout) {
        if (row.kind != ControlKind::Page) continue;
        if (std::string_view(row.name) == PreviewPageName) return index;
        ++index;
    }
    return -1;
}

std::string Quoted(std::string_view text) {
    std::string quoted(1, '"');
    quoted.append(text).push_back('"');
    return quoted;
}

// The macros of the message's date that the path template keeps for the message once
// environment variables and folder macros are expanded (a variable of the same name comes first),
// blank-separated; empty when it keeps none.
std::string DateMacrosInPath(const MessageContext& context) {
    const SettingsValues& settings = context.settings;
    const std::string expanded = ExpandFolderMacros(
        JoinedPathTemplate(settings), settings[Setting::PathFolderCustom], context.pluginPath);
    std::string used;
    for (const std::string_view macro : {"%YEAR%", "%MONTH%", "%DAY%"}) {
        if (expanded.find(macro) == std::string::npos) continue;
        if (!used.empty()) used += ' ';
        used += macro;
    }
    return used;
}

// What the Preview page tells about a message besides its path and entry, one note a line.
// Whether the missing folder will be made, or what stops it.
std::string FolderNote(const MessagePreview& preview) {
    switch (preview.folderObstacle) {
        case FolderObstacle::FileInTheWay:
            return TranslateFilled(NoteFolderFileInTheWay, Quoted(preview.obstacle));
        case FolderObstacle::NotReachable:
            return TranslateFilled(NoteFolderNotReachable, Quoted(preview.obstacle));
        case FolderObstacle::TooLong:
            return TranslateAnsi(NoteFolderTooLong);
        case FolderObstacle::None:
            break;
    }
    return TranslateAnsi(NoteFolderMissing);
}

std::string PreviewNotes(const MessagePreview& preview, const MessageContext& context) {
    if (preview.excludedBy) {
        const std::size_t entry = *preview.excludedBy;
        return TranslateFilled(NoteExcluded, std::to_string(entry + 1),
                               Quoted(context.exclusions->list()[entry]));
    }
    std::vector<std::string> notes;
    const HistoryPathSteps& steps = preview.steps;
    const AliasRules& rules = *context.aliases;
    for (const auto& [pass, changedBy] :
         {std::pair{"1", &steps.firstPassRules}, std::pair{"2", &steps.secondPassRules}}) {
        for (const std::size_t rule : *changedBy) {
            notes.push_back(TranslateFilled(NoteAliasRule, pass,
                                            Quoted(rules.from[rule] + "==" + rules.to[rule])));
        }
    }
    if (steps.cleaned != steps.secondPass) notes.push_back(TranslateAnsi(NoteCleaned));
    if (steps.trimmed != steps.cleaned) notes.push_back(TranslateAnsi(NoteTrimmed));
    if (steps.path != steps.trimmed) notes.push_back(TranslateAnsi(NoteDeviceName));
    if (preview.tooLong) notes.push_back(TranslateAnsi(NoteTooLong));
    if (preview.folderMissing) notes.push_back(FolderNote(preview));
    if (const std::string dates = DateMacrosInPath(context); !dates.empty()) {
        notes.push_back(TranslateFilled(NoteDateMacros, dates));
    }
    const bool utf8 = preview.encoding == EntryEncoding::Utf8;
    notes.push_back(
        TranslateFilled(preview.fileHasEntries ? NoteKeepsEncoding : NoteNewFileEncoding,
                        utf8 ? HistoryEncodingUtf8 : HistoryEncodingAnsi));
    std::string text;
    for (const std::string& note : notes) text += (text.empty() ? "" : NL) + note;
    return text;
}

}  // namespace

const std::vector<std::string>& FolderItems() {
    static const std::vector<std::string> items = {
        "%DAX PATH%",       "%QUILLET PATH%",     "%WINDOWS%",
        "%DESKTOP%",        "%PROGRAM FILES%",    "%DOCS%",
        "%COMMON DESKTOP%", "%APPLICATION DATA%", "%LOCAL APPLICATION DATA%",
        "%PROFILE%",        "%CUSTOM%",
    };
    return items;
}

const std::vector<ControlSpec>& OptionsLayout() {
    return Layout;
}

std::vector<std::string> TranslatedTexts() {
    std::vector<std::string> texts = {"Options",
                                      "Version:",
                                      HelpReplacements,
                                      HelpExclude,
                                      HelpAliases,
                                      HelpAliasesExample,
                                      HelpAliasesWarning,
                                      RestartNotice,
                                      DirectionReceived,
                                      DirectionSent,
                                      NoteExcluded,
                                      NoteAliasRule,
                                      NoteCleaned,
                                      NoteTrimmed,
                                      NoteDeviceName,
                                      NoteTooLong,
                                      NoteFolderMissing,
                                      NoteFolderFileInTheWay,
                                      NoteFolderNotReachable,
                                      NoteFolderTooLong,
                                      NoteKeepsEncoding,
                                      NoteNewFileEncoding,
                                      NoteDateMacros,
                                      HelpDateMacros,
                                      FolderPickerHint};
    for (const ControlSpec& row : Layout) {
        if (HasTranslatedCaption(row.kind) && row.text[0] != '\0') texts.emplace_back(row.text);
    }
    for (std::string& text : ListFileEditor::TranslatedTexts()) texts.push_back(std::move(text));
    for (std::string& text : ConvertHistory::TranslatedTexts()) texts.push_back(std::move(text));
    for (std::string& text : HistoryPage::TranslatedTexts()) texts.push_back(std::move(text));
    return texts;
}

TfOptions::TfOptions(const DialogFactory& createDialog)
    : form_(createDialog(OptionsLayout(), *this)) {
    if (!form_) return;
    for (const std::string& item : FolderItems()) form_->AddItem("cbFolder1", item);
}

void TfOptions::ShowModal() {
    form_->RunModal();
}

// ---- Showing -----------------------------------------------------------------------------------

void TfOptions::FormShow() {
    LoadCurrentLanguage();
    SetHelpTexts();
    for (const SettingRow& row : SettingsTable) {
        SetSettingControl(row, ReadSetting(row.key, row.shownDefault));
    }
    cbFolder1Change();
    aliases_.Load(*form_, AliasesFileName(PluginPath));
    exclude_.Load(*form_, ExcludeFileName(PluginPath));
    form_->AddItem("lbLangs", "English");
    std::vector<std::string> languages;
    FindFiles(LanguagesFolder(), "*.ini", languages);
    for (const std::string& language : languages) form_->AddItem("lbLangs", language);
    FillSampleMessage();
    history_.Show(*form_);
    form_->ShowPage(0);
    TranslateForm(*form_, OptionsLayout());
}

void TfOptions::FillSampleMessage() {
    for (const SampleField& field : SampleMessage) form_->SetText(field.control, field.text);
    form_->AddItem(DirectionControl, TranslateAnsi(DirectionReceived));
    form_->AddItem(DirectionControl, TranslateAnsi(DirectionSent));
    form_->Select(DirectionControl, 0);
}

void TfOptions::SetHelpTexts() {
    form_->SetText("lVersion", TranslateAnsi("Version:") + " " + std::string(PluginVersionText));
    form_->SetText("fOptions", "Quillet : " + TranslateAnsi("Options"));
    form_->SetText("Label4", TranslateAnsi(HelpReplacements) + NL + TranslateAnsi(HelpDateMacros));
    form_->SetText("Label10", TranslateAnsi(HelpExclude));
    form_->SetText("Label9", TranslateAnsi(HelpAliases) + NL + TranslateAnsi(HelpAliasesExample) +
                                 NL + "000000001==0000000002" + NL + "ICQ Admin==ICQ Support" + NL +
                                 NL + TranslateAnsi(HelpAliasesWarning));
}

void TfOptions::SetSettingControl(const SettingRow& row, const std::string& value) {
    const std::string control(row.control);
    if (control == FolderChoiceControl) {
        SelectFolderItem(value);
    } else if (control == EncodingControl) {
        form_->SetChecked(control, EncodingForNewFiles(value) == EntryEncoding::Utf8);
    } else {
        form_->SetText(control, value);
    }
}

std::string TfOptions::SettingControlValue(const SettingRow& row) const {
    const std::string control(row.control);
    if (control != EncodingControl) return form_->Text(control);
    return std::string(form_->Checked(control) ? HistoryEncodingUtf8 : HistoryEncodingAnsi);
}

// The first item equal to the stored text, letter case ignored; "%QUILLET PATH%" when none is.
void TfOptions::SelectFolderItem(const std::string& stored) {
    const std::vector<std::string>& items = FolderItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (platform::EqualIgnoreCase(items[i], stored)) {
            form_->Select("cbFolder1", static_cast<int>(i));
            return;
        }
    }
    form_->Select("cbFolder1", QuilletPathItem);
}

void TfOptions::FindFiles(std::string folder, std::string mask, std::vector<std::string>& names) {
    if (mask.empty()) mask = "*.*";
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    for (const platform::FolderEntry& entry : platform::ListFolder(folder, mask)) {
        form_->ProcessMessages();
        if (!entry.isFolder) {
            names.push_back(entry.name);
        } else if (entry.name != "." && entry.name != "..") {
            names.push_back(entry.name + "\\");
            FindFiles(folder + entry.name, mask, names);
        }
    }
}

// ---- Path fields -------------------------------------------------------------------------------

void TfOptions::cbFolder1Change() {
    const bool custom = form_->Text("cbFolder1") == CustomFolderMacro;
    form_->SetEnabled("eCustomFolder", custom);
    form_->SetEnabled("bSelDir", custom);
}

void TfOptions::bSelDirClick() {
    if (const std::optional<std::string> folder =
            form_->BrowseForFolder(TranslateAnsi(FolderPickerHint))) {
        form_->SetText("eCustomFolder", *folder);
    }
}

// The controls are set without change events, so the Preview is worked out again here.
void TfOptions::bResetClick() {
    for (const SettingRow& row : SettingsTable) {
        if (row.resetToDefault) SetSettingControl(row, std::string(row.defaultValue));
    }
    cbFolder1Change();
    if (form_->ActivePage() == PreviewPage()) UpdatePreview();
}

// ---- Closing -----------------------------------------------------------------------------------

// A list file whose own change the user kept stays shown, with the dialog open, so that the
// user sees it and may redo their change on it.
void TfOptions::bSaveClick() {
    if (!SaveSettings()) return;
    bool keptFile = false;
    for (ListFileEditor* list : {&aliases_, &exclude_}) {
        const ListFileEditor::Saved saved = list->Save(*form_);
        if (saved == ListFileEditor::Saved::Failed) return;
        keptFile = keptFile || saved == ListFileEditor::Saved::KeptFile;
    }
    if (!keptFile) form_->Close();
}

bool TfOptions::SaveSettings() {
    try {
        WriteSettings(SettingsShown());
    } catch (const SettingsWriteError& error) {
        ShowError(error.what());
        return false;
    }
    return true;
}

// Converting old history files to UTF-8: the Preview page's notes on a file's encoding follow.
void TfOptions::bConvertClick() {
    convert_.Click(*form_, PluginPath);
    if (form_->ActivePage() == PreviewPage()) UpdatePreview();
}

void TfOptions::Button1Click() {
    form_->Close();
}

void TfOptions::ShowError(const std::string& text) {
    form_->ShowError(text, ErrorCaption);
}

// ---- Preview -----------------------------------------------------------------------------------

SettingTexts TfOptions::SettingsShown() const {
    SettingTexts texts;
    for (const SettingRow& row : SettingsTable) {
        texts[static_cast<std::size_t>(row.setting)] = SettingControlValue(row);
    }
    return texts;
}

UnsavedOptions TfOptions::OptionsShown() const {
    UnsavedOptions options;
    options.settings = SettingsShown();
    options.aliasesText = aliases_.TextAfterSaving(*form_);
    options.excludeText = exclude_.TextAfterSaving(*form_);
    return options;
}

THistoryRec TfOptions::SampleRecord() const {
    THistoryRec rec;
    rec.Protocol = platform::AnsiToWide(form_->Text("ePrevProtocol"));
    rec.ContactUIN = platform::AnsiToWide(form_->Text("ePrevUIN"));
    rec.ContactName = platform::AnsiToWide(form_->Text("ePrevName"));
    rec.MyUIN = platform::AnsiToWide(form_->Text("ePrevMyUIN"));
    rec.MyName = platform::AnsiToWide(form_->Text("ePrevMyName"));
    rec.MsgText = platform::AnsiToWide(form_->Text("ePrevText"));
    rec.Incoming = form_->SelectedIndex(DirectionControl) != 1;
    rec.Outgoing = !rec.Incoming;
    rec.MsgTime = FileTimeToDateTime(platform::CurrentFileTime());
    return rec;
}

void TfOptions::UpdatePreview() {
    const std::optional<std::string> settingsFile = platform::ReadWholeFile(SettingsFileName());
    const MessageContext context =
        ContextAfterSaving(PluginPath, settingsFile.value_or(""), OptionsShown());
    const THistoryRec rec = SampleRecord();
    const MessagePreview preview = PreviewMessage(context, rec);
    form_->SetText("ePrevPath", preview.excludedBy ? "" : preview.steps.path);
    // The dialog's text is in the ANSI code page: the lines of an entry that a UTF-8 file gets
    // are the same, only encoded otherwise (the notes tell which).
    form_->SetText("mPrevEntry",
                   preview.excludedBy ? "" : FormatHistoryEntry(rec, context.timeFormat));
    form_->SetText("lPrevNotes", PreviewNotes(preview, context));
}

void TfOptions::PreviewInputChange(const std::string& control) {
    const bool input =
        control == DirectionControl ||
        std::any_of(std::begin(SampleMessage), std::end(SampleMessage),
                    [&](const SampleField& field) { return control == field.control; });
    if (input && form_->ActivePage() == PreviewPage()) UpdatePreview();
}

// ---- About -------------------------------------------------------------------------------------

void TfOptions::Label7Click() {
    platform::OpenWebAddress(SupportAddress);
}

// ---- Languages ---------------------------------------------------------------------------------

int TfOptions::lbLangsMeasureItem(int, int textHeight) {
    return textHeight + RowPadding;
}

void TfOptions::lbLangsDrawItem(int index, const platform::Rect& rect, bool selected,
                                platform::RowPainter& painter) {
    const std::vector<std::string> rows = form_->Items("lbLangs");
    if (index < 0 || static_cast<std::size_t>(index) >= rows.size()) return;
    const std::string& row = rows[static_cast<std::size_t>(index)];
    const std::string languageFile = LanguagesFolder() + row;

    // A native name counts in characters, and is read and drawn as Unicode: "Русский" shows on
    // a Western system too.
    const std::u16string nativeName =
        ReadIniStringW(languageFile, u"TRANSLATOR", u"NativeName", u"", SettingsReadBufferSize);
    const std::u16string file = platform::AnsiToWide(row);
    const std::u16string label =
        nativeName.size() >= MinimumNativeName ? nativeName + u"   (" + file + u")" : file;
    const Color background = selected         ? SelectedBackground
                             : index % 2 == 0 ? EvenBackground
                                              : OddBackground;
    const Color text = selected ? White : Black;

    painter.FillRect(rect, background);
    painter.DrawText(LabelLeft, rect.top + TextTop, label, text);
    const std::string version = ReadIniValue("TRANSLATOR", "ver", languageFile);
    if (!version.empty()) {
        painter.DrawText(rect.right - VersionFromRight, rect.top + TextTop,
                         platform::AnsiToWide(version), text);
    }
    std::vector<std::string> icons = {WithExtension(languageFile, ".ico")};
    if (row == "English") icons.push_back(LanguagesFolder() + "uk.ico");
    for (const std::string& icon : icons) {
        if (platform::FileExists(icon)) {
            painter.DrawIconFile(icon, rect.left + IconLeft, rect.top + IconTop);
        }
    }
}

void TfOptions::lbLangsDblClick() {
    const int selected = form_->SelectedIndex("lbLangs");
    const std::vector<std::string> rows = form_->Items("lbLangs");
    if (selected >= 0 && static_cast<std::size_t>(selected) < rows.size()) {
        SetCurrentLanguage(platform::AnsiToWide(rows[static_cast<std::size_t>(selected)]));
    }
    form_->SetText("lPleaseRestart", TranslateAnsi(RestartNotice));
    StoreCurrentLanguage();  // a failed store shows in the list: the stored one is selected
    SelectCurrentLanguage();
    form_->Repaint("lbLangs");
}

void TfOptions::SelectCurrentLanguage() {
    LoadCurrentLanguage();
    const std::vector<std::string> rows = form_->Items("lbLangs");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (platform::AnsiToWide(rows[i]) == CurrentLanguage()) {
            form_->Select("lbLangs", static_cast<int>(i));
            return;
        }
    }
}

void TfOptions::PageControl1Change() {
    SelectCurrentLanguage();
    if (form_->ActivePage() == PreviewPage()) UpdatePreview();
}

// ---- Events of the toolkit ---------------------------------------------------------------------

// A dialog that cannot be filled is not shown half-filled: the user is told, and it closes.
void TfOptions::OnShow() {
    try {
        FormShow();
    } catch (const std::exception& error) {
        ShowError(std::string("The options cannot be shown: ") + error.what());
        form_->Close();
    }
}

void TfOptions::OnClick(const std::string& control) {
    if (control == "bSelDir") bSelDirClick();
    if (control == "bSave") bSaveClick();
    if (control == "bReset") bResetClick();
    if (control == "Button1") Button1Click();
    if (control == "Label7") Label7Click();
    if (control == "bConvert") bConvertClick();
    history_.OnClick(*form_, control, PluginPath);
    if (control == EncodingControl && form_->ActivePage() == PreviewPage()) UpdatePreview();
}

void TfOptions::OnChange(const std::string& control) {
    if (control == "cbFolder1") cbFolder1Change();
    if (control == "PageControl1") PageControl1Change();
    PreviewInputChange(control);
    history_.OnChange(*form_, control);
}

void TfOptions::OnColumnClick(const std::string& control, int column) {
    history_.OnColumnClick(*form_, control, column);
}

void TfOptions::OnEnterKey(const std::string& control) {
    history_.OnEnterKey(*form_, control, PluginPath);
}

void TfOptions::OnDoubleClick(const std::string& control) {
    if (control == "lbLangs") lbLangsDblClick();
}

int TfOptions::OnMeasureItem(const std::string& control, int index, int textHeight) {
    return control == "lbLangs" ? lbLangsMeasureItem(index, textHeight) : textHeight;
}

void TfOptions::OnDrawItem(const std::string& control, int index, const platform::Rect& rect,
                           bool selected, platform::RowPainter& painter) {
    if (control == "lbLangs") lbLangsDrawItem(index, rect, selected, painter);
}

// ---- The options event -------------------------------------------------------------------------

namespace {

// The options dialog being shown, from its making until it is gone; the form is null while only
// a box about it is open. The host sends its events on one thread.
bool optionsShowing = false;
TfOptions* optionsForm = nullptr;

class ShowingOptions {
public:
    ShowingOptions() { optionsShowing = true; }
    ~ShowingOptions() {
        optionsShowing = false;
        optionsForm = nullptr;
    }
    ShowingOptions(const ShowingOptions&) = delete;
    ShowingOptions& operator=(const ShowingOptions&) = delete;
};

// The box for a dialog the system could not build: that it cannot be shown, the system's reason
// in its own words (error 0: it gave none), and the call that failed on which window.
std::string CannotBuildText(const platform::SystemError& error) {
    std::string text =
        "The options dialog cannot be shown: the system could not make its windows.\n";
    text += error.code() != 0 ? error.reason() : "The system gave no reason.";
    text += "\n(" + error.operation();
    if (!error.path().empty()) text += " " + error.path();
    return text + ", error " + std::to_string(error.code()) + ")";
}

}  // namespace

// A dialog that cannot be built is reported, not passed over in silence.
bool ShowOptionsDialog(const DialogFactory& createDialog) {
    if (optionsShowing) {
        if (optionsForm != nullptr) optionsForm->Form().BringToFront();
        return false;
    }
    std::unique_ptr<TfOptions> form;  // outlives `showing`: no nested event finds it half gone
    const ShowingOptions showing;
    try {
        form = std::make_unique<TfOptions>(createDialog);
    } catch (const platform::SystemError& error) {
        platform::ShowMessage(CannotBuildText(error), ErrorCaption);
        return true;
    } catch (const std::exception& error) {
        platform::ShowMessage(std::string("The options dialog cannot be shown: ") + error.what(),
                              ErrorCaption);
        return true;
    }
    if (!form->HasWindow()) {
        platform::ShowMessage(
            "The options dialog needs the Windows build of Quillet: this system has no dialog "
            "to show it in. The settings file lies beside the plug-in and can be edited there.",
            "Quillet");
        return true;
    }
    optionsForm = form.get();
    form->ShowModal();
    return true;
}

bool ShowOptionsDialog() {
    return ShowOptionsDialog(platform::CreateDialog);
}

}  // namespace quillet
