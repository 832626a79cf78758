// A dialog without a screen, for tests of portable form logic: it keeps each control's text,
// state, rows and selection as the Win32 dialog would, lets a test act as the user (clicks,
// picks, page switches, painting rows, answering questions, sorting a list view by a column) and
// records what the form did (message boxes, closing, repaints, progress, files opened, bringing it
// to the front). Like the Win32 dialog it
// refuses a layout whose tree is broken, throws for a control name that is not in the layout, and
// raises no events while the form fills it.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/platform.h"

namespace quillet::test {

// What a row painter was asked to do, in order.
struct PaintCall {
    enum class What { Fill, Text, Icon };
    What what = What::Fill;
    platform::Rect rect;    // Fill
    int x = 0, y = 0;       // Text, Icon
    std::string text;       // Text: the text; Icon: the .ico file
    platform::Color color;  // Fill, Text
};

class RecordingPainter final : public platform::RowPainter {
public:
    void FillRect(const platform::Rect& rect, platform::Color color) override;
    // The text is recorded in UTF-8.
    void DrawText(int x, int y, const std::u16string& text, platform::Color color) override;
    void DrawIconFile(const std::string& icoPath, int x, int y) override;

    std::vector<PaintCall> calls;
};

// A message box the form showed (an error, an information or a question).
struct ShownError {
    std::string text;
    std::string caption;
};

struct Progress {
    int position = 0;
    int maximum = 0;
};

class HeadlessDialog final : public platform::Dialog {
public:
    // Throws std::invalid_argument for a layout that does not start with the form, repeats a
    // name, names a parent not given before, or puts a page on anything but a tab control.
    HeadlessDialog(const std::vector<platform::ControlSpec>& layout,
                   platform::DialogEvents& events);

    // ---- platform::Dialog
    std::string Text(const std::string& control) const override;
    void SetText(const std::string& control, const std::string& text) override;
    std::u16string WideText(const std::string& control) const override;
    void SetWideText(const std::string& control, const std::u16string& text) override;
    bool Enabled(const std::string& control) const override;
    void SetEnabled(const std::string& control, bool enabled) override;
    bool Checked(const std::string& control) const override { return Find(control).checked; }
    void SetChecked(const std::string& control, bool checked) override {
        Find(control).checked = checked;
    }
    bool ReadOnly(const std::string& control) const override { return Find(control).readOnly; }
    void SetReadOnly(const std::string& control, bool readOnly) override {
        Find(control).readOnly = readOnly;
    }
    void SetProgress(const std::string& control, int position, int maximum) override;
    void AddItem(const std::string& control, const std::string& text) override;
    std::vector<std::string> Items(const std::string& control) const override;
    int SelectedIndex(const std::string& control) const override;
    void Select(const std::string& control, int index) override;
    void SetColumns(const std::string& control,
                    const std::vector<platform::ListColumn>& columns) override;
    void SetRows(const std::string& control, const std::vector<platform::ListRow>& rows) override;
    int ActivePage() const override;
    void ShowPage(int index) override;
    void Repaint(const std::string& control) override;
    void ProcessMessages() override;
    std::optional<std::string> BrowseForFolder(const std::string& hint) override;
    // Records the file; throws openFailure when the test set one.
    void OpenFile(const std::string& path) override;
    void ShowError(const std::string& text, const std::string& caption) override;
    void ShowInformation(const std::string& text, const std::string& caption) override;
    // Answers with the first of `answers`; a question the test did not expect is a failure.
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    // Runs OnShow, then, unless the form closed itself, the test's whileShown script.
    void RunModal() override;
    void Close() override;
    void BringToFront() override { ++broughtToFront; }

    // ---- The user
    void Click(const std::string& control);
    void Pick(const std::string& control, int index);         // a row of a list, with OnChange
    void DoubleClick(const std::string& control, int index);  // selects the row first
    void SwitchToPage(int index);                             // with OnChange of the tab control
    // With OnChange; a disabled or read-only control takes no typing.
    void Type(const std::string& control, const std::string& text);
    void TypeWide(const std::string& control, const std::u16string& text);
    void PressEnter(const std::string& control);               // in a one-line edit
    void ClickColumn(const std::string& control, int column);  // a list view's header
    int MeasureRow(const std::string& control, int index, int textHeight);
    std::vector<PaintCall> PaintRow(const std::string& control, int index,
                                    const platform::Rect& rect, bool selected);

    // ---- What the test scripts and watches
    std::function<void(HeadlessDialog&)> whileShown;
    std::optional<std::string> folderChoice;  // what the folder picker returns
    std::string folderHint;                   // what the folder picker last said above its folders
    std::vector<std::string> openedFiles;     // what OpenFile was asked to open, in order
    std::optional<platform::SystemError> openFailure;
    std::deque<bool> answers;  // the user's answers to questions, Yes as true
    // What the user does while the form lets pending messages run (a click during a long task).
    std::function<void(HeadlessDialog&)> whileProcessingMessages;
    int processMessagesCalls = 0;
    int broughtToFront = 0;

    bool closed() const { return closed_; }
    const std::vector<ShownError>& errors() const { return errors_; }
    const std::vector<ShownError>& informations() const { return informations_; }
    const std::vector<ShownError>& questions() const { return questions_; }
    Progress progress(const std::string& control) const { return Find(control).progress; }
    const std::vector<platform::ListColumn>& columns(const std::string& control) const {
        return Find(control).columns;
    }
    const std::vector<platform::ListRow>& rows(const std::string& control) const {
        return Find(control).rows;
    }
    int repaints(const std::string& control) const;
    const platform::ControlSpec& Row(const std::string& control) const;

private:
    struct Control {
        platform::ControlSpec row;
        std::string text;
        std::optional<std::u16string> wideText;  // what SetWideText put there, until SetText
        bool enabled = true;
        bool checked = false;
        bool readOnly = false;
        Progress progress;
        std::vector<std::string> items;
        std::vector<platform::ListColumn> columns;
        std::vector<platform::ListRow> rows;
        int selected = -1;
        int repaints = 0;
    };

    Control& Find(const std::string& name);
    const Control& Find(const std::string& name) const;
    Control& FindListView(const std::string& name);
    Control& Typeable(const std::string& name);

    platform::DialogEvents& events_;
    std::vector<Control> controls_;
    std::map<std::string, std::size_t> byName_;
    std::vector<ShownError> errors_;
    std::vector<ShownError> informations_;
    std::vector<ShownError> questions_;
    int activePage_ = 0;
    bool closed_ = false;
};

}  // namespace quillet::test
