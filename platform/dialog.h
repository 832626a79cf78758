// The user-interface toolkit of the platform layer: a modal dialog built from a table of
// controls, driven by portable code through this interface. The Win32 implementation renders it
// with the standard control classes; the POSIX one has no screen; tests supply a headless one.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class ControlKind {
    Form,        // the dialog window itself (first row of a layout)
    TabControl,  // tabbed pages (SysTabControl32)
    Page,        // one page of the tab control; its parent is the tab control
    Button,
    CheckBox,  // a box with its caption at the right; clicks are reported
    GroupBox,
    Label,          // Static
    LinkLabel,      // Static in the hot-light colour with a hand cursor; clicks are reported
    Edit,           // one-line Edit
    Memo,           // multi-line Edit with scroll bars
    DropDownList,   // ComboBox without free typing
    OwnerDrawList,  // ListBox, single selection, owner-drawn rows of variable height, texts kept
    Panel,          // a plain area (no bevel) that holds other controls
    WhiteShape,     // a white rectangle filling its parent
    Picture,        // a bitmap picture; its text names the picture
    ProgressBar,    // a bar (msctls_progress32) filled to its position within its range
    ListView,       // a table of Unicode rows under column headers (SysListView32, report view),
                    // single selection of whole rows; header clicks and selections are reported
};

// Extra looks of a control.
enum ControlFlags : std::uint32_t {
    kNoFlags = 0,
    kBold = 1u << 0,
    kWordWrap = 1u << 1,
    kCourierNew = 1u << 2,
    kLargeBold = 1u << 3,  // Tahoma bold, 19 pixels character height
    kFixedSize = 1u << 4,  // otherwise a label sizes itself to its text
    kReadOnly = 1u << 5,   // an edit or text editor the user can read and copy from, not change
};

// One row of a layout: a control, where it sits and what it shows first.
struct ControlSpec {
    ControlKind kind;
    const char* name;              // component name, such as "bSave"; unique within the layout
    const char* parent;            // component name of the parent; empty for the form
    int left, top, width, height;  // pixels relative to the parent; 0 x 0 sizes to the text
    const char* text;              // caption (or first content)
    std::uint32_t flags = kNoFlags;
};

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct Color {
    std::uint8_t red = 0, green = 0, blue = 0;
};

// A column of a list view: its header and its width in pixels.
struct ListColumn {
    std::string caption;
    int width = 0;
};

// A row of a list view: the text of each column, in Unicode.
using ListRow = std::vector<std::u16string>;

// What the draw handler of an owner-drawn row paints with.
class RowPainter {
public:
    virtual ~RowPainter() = default;
    virtual void FillRect(const Rect& rect, Color color) = 0;
    // Text with its left top corner at (x, y), transparent background; Unicode, so that a
    // language's own name shows in its own script on every system.
    virtual void DrawText(int x, int y, const std::u16string& text, Color color) = 0;
    // The icon of an .ico file at its own size; nothing when the file is missing or no icon.
    virtual void DrawIconFile(const std::string& icoPath, int x, int y) = 0;
};

// The portable side: the form's handlers, called by the toolkit. Control names are those of
// the layout.
class DialogEvents {
public:
    virtual ~DialogEvents() = default;
    virtual void OnShow() = 0;                             // once, before it is seen
    virtual void OnClick(const std::string& control) = 0;  // buttons, check boxes, link labels
    // A pick in a list, another page, the user's typing in an edit or text editor.
    virtual void OnChange(const std::string& control) = 0;
    virtual void OnDoubleClick(const std::string& control) = 0;  // owner-drawn list
    // A click on the header of a list view's column (counted from 0).
    virtual void OnColumnClick(const std::string& control, int column) = 0;
    // The Enter key in a one-line edit.
    virtual void OnEnterKey(const std::string& control) = 0;
    // The height of a row, given the height of the text "Wg" in the list's font.
    virtual int OnMeasureItem(const std::string& control, int index, int textHeight) = 0;
    virtual void OnDrawItem(const std::string& control, int index, const Rect& rect, bool selected,
                            RowPainter& painter) = 0;
};

// A dialog built from a layout. Every operation names a control of the layout.
class Dialog {
public:
    virtual ~Dialog() = default;

    virtual std::string Text(const std::string& control) const = 0;
    virtual void SetText(const std::string& control, const std::string& text) = 0;
    // The text of an edit or a text editor in Unicode, whatever the ANSI code page lacks kept:
    // what the user typed, or what SetWideText put there. Text reads it in the ANSI code page.
    virtual std::u16string WideText(const std::string& control) const = 0;
    virtual void SetWideText(const std::string& control, const std::u16string& text) = 0;
    virtual bool Enabled(const std::string& control) const = 0;
    virtual void SetEnabled(const std::string& control, bool enabled) = 0;
    // Whether a check box is ticked.
    virtual bool Checked(const std::string& control) const = 0;
    virtual void SetChecked(const std::string& control, bool checked) = 0;
    // Whether the user may change an edit's or a text editor's text; read-only text can still be
    // read, scrolled and copied. A row's kReadOnly flag sets it first.
    virtual bool ReadOnly(const std::string& control) const = 0;
    virtual void SetReadOnly(const std::string& control, bool readOnly) = 0;
    // A progress bar shows `position` of a range from 0 to `maximum` (at least 1); a position
    // outside the range is taken as its nearer end.
    virtual void SetProgress(const std::string& control, int position, int maximum) = 0;

    // Rows of a drop-down or owner-drawn list; the index selected, -1 for none.
    virtual void AddItem(const std::string& control, const std::string& text) = 0;
    virtual std::vector<std::string> Items(const std::string& control) const = 0;
    // A list view, a drop-down or owner-drawn list: the row selected, -1 for none; Select with
    // an index past the rows selects none. A list view's selected row is brought into view.
    virtual int SelectedIndex(const std::string& control) const = 0;
    virtual void Select(const std::string& control, int index) = 0;
    // A list view's columns, replacing those it had, and its rows, replacing those it had (none
    // is selected then). A row's texts past the columns are not shown.
    virtual void SetColumns(const std::string& control, const std::vector<ListColumn>& columns) = 0;
    virtual void SetRows(const std::string& control, const std::vector<ListRow>& rows) = 0;

    virtual int ActivePage() const = 0;
    virtual void ShowPage(int index) = 0;
    virtual void Repaint(const std::string& control) = 0;

    // Lets pending user-interface messages run (other window events may be handled).
    virtual void ProcessMessages() = 0;
    // The folder picker: file-system folders only, a status line, resizable, a "new folder"
    // button, and `hint` above the folders. The chosen folder's full path, or nothing when
    // cancelled.
    virtual std::optional<std::string> BrowseForFolder(const std::string& hint) = 0;
    // Opens a file with the program the system associates with its type (the shell's "open").
    // Throws SystemError when the system cannot (no such file, no program for its type).
    virtual void OpenFile(const std::string& path) = 0;
    // Message boxes owned by the dialog: they keep it from the user's input until they are
    // closed. An error (error sign, OK), an information (information sign, OK), and a question
    // with Yes and No that returns true for Yes.
    virtual void ShowError(const std::string& text, const std::string& caption) = 0;
    virtual void ShowInformation(const std::string& text, const std::string& caption) = 0;
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;

    // Shows the dialog modally; OnShow runs first; returns when Close is called or the user
    // closes the window. From before OnShow until it returns, by whatever way, the thread's other
    // top-level windows that were enabled are disabled, and then enabled again.
    virtual void RunModal() = 0;
    virtual void Close() = 0;
    // Brings the dialog, or the message box it shows, to the front and gives it the keyboard; a
    // dialog not yet shown is left to come to the front when it is.
    virtual void BringToFront() = 0;
};

// The platform's dialog for a layout, owned by the window active on this thread when it is made
// (none when there is none), so that it stays above that window. Null where the platform has no
// screen. Throws SystemError when the system cannot make its windows, std::invalid_argument for
// a layout it cannot build.
std::unique_ptr<Dialog> CreateDialog(const std::vector<ControlSpec>& layout, DialogEvents& events);

}  // namespace platform
