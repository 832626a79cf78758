// Unit u_options: the options dialog. The user edits the path settings, the exclusion list and
// the alias rules, sees where a sample message would go under them, chooses the encoding of new
// history files, and picks the interface language. The dialog's controls are one table of
// rows (OptionsLayout) that the platform's toolkit turns into windows; the form TfOptions holds
// the dialog built from it and answers its events.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/MessageContext.h"
#include "config/u_IniSettings.h"
#include "history/uHistorySave.h"
#include "platform/dialog.h"
#include "ui/ConvertHistory.h"
#include "ui/HistoryPage.h"
#include "ui/ListFileEditor.h"

namespace quillet {

// The address the About page shows and the link opens.
inline constexpr const char* SupportAddress = "https://quillet.example.org/support";

// The items of cbFolder1, by index; the item's text is what the setting PathFolder1 stores.
const std::vector<std::string>& FolderItems();

// Every control of the dialog, one row each, parents before their children; the keyboard's tab
// order within a parent is the order of the rows. The first row is the form. Static data.
const std::vector<platform::ControlSpec>& OptionsLayout();

// Every English text the dialog passes through the translation, in no particular order: the
// captions of its layout and the texts it builds when shown. What a language file translates.
std::vector<std::string> TranslatedTexts();

// Makes the dialog of a layout for a form's events (platform::CreateDialog, or a test's own).
using DialogFactory = std::function<std::unique_ptr<platform::Dialog>(
    const std::vector<platform::ControlSpec>&, platform::DialogEvents&)>;

// The options form. It owns the dialog built from OptionsLayout for its lifetime; its handlers
// read and write the settings file, the list files "aliases.ini" and "Exclude.ini" and the
// stored language, all beside the library (PluginPath).
class TfOptions final : public platform::DialogEvents {
public:
    explicit TfOptions(const DialogFactory& createDialog = platform::CreateDialog);
    TfOptions(const TfOptions&) = delete;
    TfOptions& operator=(const TfOptions&) = delete;

    // False when the platform could make no dialog (no screen); then nothing else may be called.
    bool HasWindow() const { return form_ != nullptr; }
    // The dialog, for the toolkit's side of a test. Owned by the form.
    platform::Dialog& Form() { return *form_; }

    // Shows the dialog modally; returns when it is closed (saved or cancelled alike).
    void ShowModal();

    // The form's handlers.
    void FormShow();
    void cbFolder1Change();
    void bSelDirClick();
    void bSaveClick();
    void bResetClick();
    void bConvertClick();
    void Button1Click();
    void Label7Click();
    int lbLangsMeasureItem(int index, int textHeight);
    void lbLangsDrawItem(int index, const platform::Rect& rect, bool selected,
                         platform::RowPainter& painter);
    void lbLangsDblClick();
    void PageControl1Change();

    // platform::DialogEvents: the toolkit's events, dispatched by control to the handlers.
    void OnShow() override;
    void OnClick(const std::string& control) override;
    void OnChange(const std::string& control) override;
    void OnDoubleClick(const std::string& control) override;
    void OnColumnClick(const std::string& control, int column) override;
    void OnEnterKey(const std::string& control) override;
    int OnMeasureItem(const std::string& control, int index, int textHeight) override;
    void OnDrawItem(const std::string& control, int index, const platform::Rect& rect,
                    bool selected, platform::RowPainter& painter) override;

private:
    // Adds to `names` the bare name of every entry of `folder` that matches `mask`; a sub-folder
    // adds its name with "\" and then its own entries the same way.
    void FindFiles(std::string folder, std::string mask, std::vector<std::string>& names);
    void SelectCurrentLanguage();
    void SetHelpTexts();
    // Shows a setting's value in its control (the folder choice selects its item).
    void SetSettingControl(const SettingRow& row, const std::string& value);
    void SelectFolderItem(const std::string& stored);
    // The text Save writes for a setting: its control's text, or the check box's value.
    std::string SettingControlValue(const SettingRow& row) const;
    void FillSampleMessage();
    // The Preview page: the options as the dialog holds them, the sample message, and what a
    // message would do under those options.
    UnsavedOptions OptionsShown() const;
    // The settings' texts as the controls show them.
    SettingTexts SettingsShown() const;
    THistoryRec SampleRecord() const;
    void UpdatePreview();
    void PreviewInputChange(const std::string& control);
    bool SaveSettings();
    void ShowError(const std::string& text);

    std::unique_ptr<platform::Dialog> form_;
    ListFileEditor aliases_{"Memo1"};
    ListFileEditor exclude_{"mExclude"};
    ConvertHistory convert_{
        {"bConvert", "pbConvert", "cbUtf8", {"bSave", "Button1", "bReset", "bSearch"}}};
    HistoryPage history_{{"eSearch",
                          "eSearchContact",
                          "cbMatchCase",
                          "bSearch",
                          "lvResults",
                          "lResultCount",
                          "mResultEntry",
                          "bOpenFile",
                          "pbSearch",
                          {"bSave", "Button1", "bReset", "bConvert"}}};
};

// Shows the options dialog modally and returns true when the user has closed it. Where the
// platform has no dialog, a message box says that the dialog needs the Windows build; where the
// system cannot build it, the box says why; true as well. Asked again while this dialog (or its
// box) is open, as the host may do during the modal loop, it opens no second one: the open
// dialog comes to the front, and false returns at once.
bool ShowOptionsDialog();
bool ShowOptionsDialog(const DialogFactory& createDialog);

}  // namespace quillet
