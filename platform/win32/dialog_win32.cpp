// The Win32 dialog: one builder turns the rows of a layout, in order, into windows of the
// standard control classes, and one window procedure turns what the user does into the portable
// side's events.
//
// How the layout's tree becomes windows:
//   - the form, every page and every panel is a window of the dialog's own class, which reports
//     to this object; all other controls are children of the nearest of them;
//   - a group box is a Button of style BS_GROUPBOX drawn around its rows, which become its
//     siblings at the group box's offset (as in any Windows dialog), so that their notifications
//     reach the dialog's own window procedure;
//   - the pages of a tab control are siblings of the tab control, laid over its display area and
//     following it in the z-order, as the pages of a property sheet do: the keyboard reaches the
//     tab control in its row's place, then the visible page's rows. The tab control leaves the
//     mouse to what lies under it outside its tabs (HTTRANSPARENT), and paints only its tabs and
//     border over the pages.
// The keyboard tab order is the z-order of each window's children, which is the order of
// creation, which is the order of the rows.
// clang-format off
#include "platform/win32/dialog_controls_win32.h"  // windows.h first, and its two renames undone
#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

#include <algorithm>
#include <map>
#include <stdexcept>

#include "platform/platform.h"
#include "platform/win32/system_error_win32.h"

namespace platform {

namespace {

using win32::ActivationContext;
using win32::ContainerClasses;
using win32::DialogFonts;

// Control identifiers: the row's index above this, clear of IDOK and IDCANCEL.
constexpr int kFirstControlId = 1000;
// Height of a drop-down list's dropped part, added to the height of its selection field.
constexpr int kDroppedListHeight = 200;
constexpr const char* kUnexpectedErrorCaption = "Quillet";

// One row of the layout and the window made for it.
struct Control {
    ControlKind kind = ControlKind::Label;
    std::string name;
    std::string parent;
    int left = 0, top = 0, width = 0, height = 0;
    std::string text;  // what the row showed first; the caption of a picture or a shape
    std::uint32_t flags = kNoFlags;

    HWND window = nullptr;
    HWND container = nullptr;  // the window it is a child of
    POINT origin{};            // where its parent's client origin lies in container coordinates
    std::vector<std::size_t> pages;  // tab control: its pages, in order
    int pageIndex = -1;              // page: its index in its tab control
};

Control FromRow(const ControlSpec& row) {
    Control control;
    control.kind = row.kind;
    control.name = row.name != nullptr ? row.name : "";
    control.parent = row.parent != nullptr ? row.parent : "";
    control.left = row.left;
    control.top = row.top;
    control.width = row.width;
    control.height = row.height;
    control.text = row.text != nullptr ? row.text : "";
    control.flags = row.flags;
    return control;
}

bool IsContainerKind(ControlKind kind) {
    return kind == ControlKind::Form || kind == ControlKind::Page || kind == ControlKind::Panel;
}

bool IsLabelKind(ControlKind kind) {
    return kind == ControlKind::Label || kind == ControlKind::LinkLabel;
}

// The window class, styles and extended styles of a row's window.
struct WindowKind {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

WindowKind WindowKindOf(const Control& control) {
    const DWORD labelWrap = (control.flags & kWordWrap) ? SS_LEFT : SS_LEFTNOWORDWRAP;
    const DWORD readOnly = (control.flags & kReadOnly) ? ES_READONLY : 0;
    switch (control.kind) {
        case ControlKind::TabControl:
            return {WC_TABCONTROLW, WS_TABSTOP | WS_CLIPSIBLINGS, 0};
        case ControlKind::Page:
        case ControlKind::Panel:
            return {ContainerClasses::kContainer, 0, WS_EX_CONTROLPARENT};
        case ControlKind::Button:
            return {WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0};
        case ControlKind::CheckBox:
            return {WC_BUTTONW, BS_AUTOCHECKBOX | WS_TABSTOP, 0};
        case ControlKind::GroupBox:
            return {WC_BUTTONW, BS_GROUPBOX, 0};
        case ControlKind::Label:
            return {WC_STATICW, labelWrap | SS_NOPREFIX, 0};
        case ControlKind::LinkLabel:
            return {WC_STATICW, labelWrap | SS_NOPREFIX | SS_NOTIFY, 0};
        case ControlKind::Edit:
            return {WC_EDITW, ES_AUTOHSCROLL | WS_TABSTOP | readOnly, WS_EX_CLIENTEDGE};
        case ControlKind::Memo:
            return {WC_EDITW,
                    ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN | WS_VSCROLL |
                        WS_HSCROLL | WS_TABSTOP | readOnly,
                    WS_EX_CLIENTEDGE};
        case ControlKind::DropDownList:
            return {WC_COMBOBOXW, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0};
        case ControlKind::OwnerDrawList:
            return {WC_LISTBOXW,
                    LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                        WS_VSCROLL | WS_TABSTOP,
                    WS_EX_CLIENTEDGE};
        case ControlKind::WhiteShape:
            return {WC_STATICW, SS_WHITERECT | WS_CLIPSIBLINGS, 0};
        case ControlKind::Picture:
            return {WC_STATICW, SS_BITMAP, 0};
        case ControlKind::ProgressBar:
            return {PROGRESS_CLASSW, 0, 0};
        case ControlKind::ListView:
            return {WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP,
                    WS_EX_CLIENTEDGE};
        case ControlKind::Form:
            break;
    }
    throw std::invalid_argument("the form can only be the first row of a layout");
}

// Any failure of the system while building is an exception for the creator to see.
void CheckCreated(HWND window, const std::string& name) {
    if (window == nullptr) win32::ThrowSystemError("CreateWindowExW", name, ::GetLastError());
}

// UTF-16 as the wide functions take it (wchar_t has 16 bits here).
LPWSTR WidePointer(const std::u16string& text) {
    return reinterpret_cast<LPWSTR>(const_cast<char16_t*>(text.c_str()));
}

// The path of a folder chosen in the folder picker, shown in its status line as it changes.
int CALLBACK BrowseCallback(HWND picker, UINT message, LPARAM parameter, LPARAM) {
    if (message == BFFM_SELCHANGED) {
        wchar_t path[MAX_PATH + 1] = {};
        if (::SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(parameter), path)) {
            ::SendMessageW(picker, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
        }
    }
    return 0;
}

// The window the user was working in on this thread when the dialog is made, for the dialog to
// belong to: the thread's active window, else the foreground window when it is this thread's.
HWND ActiveWindowOfThisThread() {
    if (HWND active = ::GetActiveWindow()) return active;
    HWND foreground = ::GetForegroundWindow();
    if (foreground != nullptr &&
        ::GetWindowThreadProcessId(foreground, nullptr) == ::GetCurrentThreadId()) {
        return foreground;
    }
    return nullptr;
}

// A message box: a dialog window with the box's text control. One already open when the dialog
// opens (a "Failed write to history" of a message before) is left usable: it could not be
// dismissed until the dialog closed, and above the dialog it would make the messenger look hung.
bool IsMessageBox(HWND window) {
    std::array<char, 8> className{};
    ::GetClassNameA(window, className.data(), static_cast<int>(className.size()));
    constexpr int kMessageBoxText = 0xFFFF;
    return std::string_view(className.data()) == "#32770" &&
           ::GetDlgItem(window, kMessageBoxText) != nullptr;
}

// The thread's top-level windows other than the dialog and message boxes that are enabled,
// disabled for as long as this object lives (or until Restore), as the owner of a modal dialog
// is. Only the windows it disabled are enabled again; one destroyed meanwhile is passed over.
class ThreadWindowsDisabled {
public:
    explicit ThreadWindowsDisabled(HWND dialog) : dialog_(dialog) {
        ::EnumThreadWindows(::GetCurrentThreadId(), &ThreadWindowsDisabled::Collect,
                            reinterpret_cast<LPARAM>(this));
        for (HWND window : disabled_) ::EnableWindow(window, FALSE);
    }
    ~ThreadWindowsDisabled() { Restore(); }
    ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
    ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;

    void Restore() {
        for (auto window = disabled_.rbegin(); window != disabled_.rend(); ++window) {
            if (::IsWindow(*window)) ::EnableWindow(*window, TRUE);
        }
        disabled_.clear();
    }

private:
    static BOOL CALLBACK Collect(HWND window, LPARAM self) {
        auto& scope = *reinterpret_cast<ThreadWindowsDisabled*>(self);
        if (window == scope.dialog_ || !::IsWindowEnabled(window) || IsMessageBox(window)) {
            return TRUE;
        }
        try {
            scope.disabled_.push_back(window);
        } catch (...) {
            return FALSE;  // out of memory: the windows found so far are the ones disabled
        }
        return TRUE;
    }

    HWND dialog_;
    std::vector<HWND> disabled_;
};

// OLE for the length of a scope, as the folder picker's newer style needs it; a thread that
// already runs another apartment model keeps it.
class OleScope {
public:
    OleScope() : result_(::OleInitialize(nullptr)) {}
    ~OleScope() {
        if (SUCCEEDED(result_)) ::OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;

private:
    HRESULT result_;
};

class Win32Dialog final : public Dialog {
public:
    Win32Dialog(const std::vector<ControlSpec>& layout, DialogEvents& events);
    ~Win32Dialog() override;
    Win32Dialog(const Win32Dialog&) = delete;
    Win32Dialog& operator=(const Win32Dialog&) = delete;

    std::string Text(const std::string& control) const override;
    void SetText(const std::string& control, const std::string& text) override;
    std::u16string WideText(const std::string& control) const override;
    void SetWideText(const std::string& control, const std::u16string& text) override;
    bool Enabled(const std::string& control) const override;
    void SetEnabled(const std::string& control, bool enabled) override;
    bool Checked(const std::string& control) const override;
    void SetChecked(const std::string& control, bool checked) override;
    bool ReadOnly(const std::string& control) const override;
    void SetReadOnly(const std::string& control, bool readOnly) override;
    void SetProgress(const std::string& control, int position, int maximum) override;
    void AddItem(const std::string& control, const std::string& text) override;
    std::vector<std::string> Items(const std::string& control) const override;
    int SelectedIndex(const std::string& control) const override;
    void Select(const std::string& control, int index) override;
    void SetColumns(const std::string& control, const std::vector<ListColumn>& columns) override;
    void SetRows(const std::string& control, const std::vector<ListRow>& rows) override;
    int ActivePage() const override;
    void ShowPage(int index) override;
    void Repaint(const std::string& control) override;
    void ProcessMessages() override;
    std::optional<std::string> BrowseForFolder(const std::string& hint) override;
    void OpenFile(const std::string& path) override;
    void ShowError(const std::string& text, const std::string& caption) override;
    void ShowInformation(const std::string& text, const std::string& caption) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    void RunModal() override;
    void Close() override;
    void BringToFront() override;

private:
    // While the dialog fills its own controls, what it does is not reported as the user's.
    class FillGuard {
    public:
        explicit FillGuard(int& depth) : depth_(depth) { ++depth_; }
        ~FillGuard() { --depth_; }
        FillGuard(const FillGuard&) = delete;
        FillGuard& operator=(const FillGuard&) = delete;

    private:
        int& depth_;
    };

    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    void Build(const std::vector<ControlSpec>& layout);
    void CreateForm(Control& form);
    void CreateChild(Control& control, std::size_t index);
    void PlaceInParent(Control& control);
    RECT RowRect(const Control& control) const;
    SIZE ClientSizeOf(const Control& control) const;
    void FinishWindow(Control& control);
    void AddPage(Control& tabs, Control& page, std::size_t index);
    void FitLabel(const Control& control);
    void SelectItemText(const Control& control, const std::string& text);
    int ShowBox(const std::string& text, const std::string& caption, UINT type);

    Control& Find(const std::string& name);
    const Control& Find(const std::string& name) const;
    Control* FindByWindow(HWND window);
    Control* FirstTabControl();
    const Control* FirstTabControl() const;

    void OnCommand(HWND controlWindow, UINT code);
    bool OnNotify(const NMHDR& header);
    bool OnListViewNotify(const Control& list, const NMHDR& header);
    Control& FindListView(const std::string& name);
    bool OnMeasureItem(HWND parent, MEASUREITEMSTRUCT& item);
    bool OnDrawItem(const DRAWITEMSTRUCT& item);
    bool OnActivate(WPARAM wParam);
    bool IsLink(HWND window) const;
    template <typename Handler>
    void Notify(Handler&& handler);
    void ReportUnexpected(const std::string& what);

    void ShowActivePage(Control& tabs);
    bool SwitchPageByKeyboard(const MSG& message);
    bool LeaveMemoByTab(const MSG& message);
    bool EnterInEdit(const MSG& message);
    void Dispatch(MSG& message);
    void FocusFirstControl();

    ActivationContext activation_;
    ContainerClasses classes_;
    DialogFonts fonts_;
    DialogEvents& events_;
    std::vector<Control> controls_;
    std::map<std::string, std::size_t> byName_;
    std::vector<HBITMAP> pictures_;
    HWND form_ = nullptr;
    HWND lastFocus_ = nullptr;
    int filling_ = 0;
    bool closing_ = false;
    bool destroying_ = false;
};

Win32Dialog::Win32Dialog(const std::vector<ControlSpec>& layout, DialogEvents& events)
    : classes_(&Win32Dialog::WindowProcedure), events_(events) {
    try {
        Build(layout);
    } catch (...) {
        destroying_ = true;
        if (form_ != nullptr) ::DestroyWindow(form_);
        for (HBITMAP picture : pictures_) ::DeleteObject(picture);
        throw;
    }
}

Win32Dialog::~Win32Dialog() {
    destroying_ = true;
    if (form_ != nullptr && ::IsWindow(form_)) ::DestroyWindow(form_);
    for (HBITMAP picture : pictures_) ::DeleteObject(picture);
}

// ---- Building ------------------------------------------------------------------------------

void Win32Dialog::Build(const std::vector<ControlSpec>& layout) {
    if (layout.empty() || layout.front().kind != ControlKind::Form) {
        throw std::invalid_argument("a layout begins with its form");
    }
    controls_.reserve(layout.size());
    for (const ControlSpec& row : layout) {
        Control control = FromRow(row);
        if (!byName_.emplace(control.name, controls_.size()).second) {
            throw std::invalid_argument("two rows of the layout are named " + control.name);
        }
        controls_.push_back(std::move(control));
    }

    const auto scope = activation_.Activate();
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES |
                                                     ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&classes);
    FillGuard filling(filling_);
    CreateForm(controls_.front());
    for (std::size_t index = 1; index < controls_.size(); ++index) {
        CreateChild(controls_[index], index);
    }
}

void Win32Dialog::CreateForm(Control& form) {
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, form.width, form.height};  // the row gives the client area
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    form_ = ::CreateWindowExW(exStyle, ContainerClasses::kForm, L"", style, form.left, form.top,
                              frame.right - frame.left, frame.bottom - frame.top,
                              ActiveWindowOfThisThread(), nullptr, win32::ThisModule(), this);
    CheckCreated(form_, form.name);
    form.window = form_;
    ::SendMessageW(form_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.For(form.flags)), FALSE);
    win32::SetWindowTextAnsi(form_, form.text);
}

void Win32Dialog::CreateChild(Control& control, std::size_t index) {
    const WindowKind kind = WindowKindOf(control);
    PlaceInParent(control);
    Control& parent = Find(control.parent);
    if (control.kind == ControlKind::Page && parent.kind != ControlKind::TabControl) {
        throw std::invalid_argument("page " + control.name + " is not on a tab control");
    }
    const bool visible = control.kind != ControlKind::Page || parent.pages.empty();
    const RECT rect = RowRect(control);
    int height = rect.bottom - rect.top;
    if (control.kind == ControlKind::DropDownList) height += kDroppedListHeight;
    control.window = ::CreateWindowExW(
        kind.exStyle, kind.className, L"", kind.style | WS_CHILD | (visible ? WS_VISIBLE : 0),
        rect.left, rect.top, rect.right - rect.left, height, control.container,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)), win32::ThisModule(),
        this);
    CheckCreated(control.window, control.name);
    if (control.kind == ControlKind::Page) AddPage(parent, control, index);
    FinishWindow(control);
}

// Where a row's window goes: into its parent's window, or beside a group box or tab control
// at its offset.
void Win32Dialog::PlaceInParent(Control& control) {
    const Control& parent = Find(control.parent);
    if (IsContainerKind(parent.kind)) {
        control.container = parent.window;
        control.origin = POINT{0, 0};
    } else if (parent.kind == ControlKind::GroupBox || parent.kind == ControlKind::TabControl) {
        control.container = parent.container;
        control.origin = POINT{parent.origin.x + parent.left, parent.origin.y + parent.top};
    } else {
        throw std::invalid_argument(parent.name + " cannot hold " + control.name);
    }
}

// The row's rectangle in its container's coordinates. A page fills its tab control's display
// area; a white shape fills its parent; a panel, tab control or group box of no width or height
// reaches its parent's edge there.
RECT Win32Dialog::RowRect(const Control& control) const {
    const Control& parent = Find(control.parent);
    if (control.kind == ControlKind::Page) {
        RECT display{};
        ::GetClientRect(parent.window, &display);
        TabCtrl_AdjustRect(parent.window, FALSE, &display);
        ::OffsetRect(&display, control.origin.x, control.origin.y);
        return display;
    }
    const SIZE room = ClientSizeOf(parent);
    if (control.kind == ControlKind::WhiteShape) {
        return RECT{control.origin.x, control.origin.y, control.origin.x + room.cx,
                    control.origin.y + room.cy};
    }
    int width = control.width;
    int height = control.height;
    if (!IsLabelKind(control.kind)) {
        if (width <= 0) width = room.cx - control.left;
        if (height <= 0) height = room.cy - control.top;
    }
    const int left = control.origin.x + control.left;
    const int top = control.origin.y + control.top;
    return RECT{left, top, left + std::max(width, 0), top + std::max(height, 0)};
}

SIZE Win32Dialog::ClientSizeOf(const Control& control) const {
    if (IsContainerKind(control.kind)) {
        RECT client{};
        ::GetClientRect(control.window, &client);
        return SIZE{client.right, client.bottom};
    }
    return SIZE{control.width, control.height};
}

// Font, first content and whatever else the row's kind needs once its window exists.
void Win32Dialog::FinishWindow(Control& control) {
    ::SendMessageW(control.window, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.For(control.flags)),
                   FALSE);
    switch (control.kind) {
        case ControlKind::Edit:
        case ControlKind::Memo:
            ::SendMessageW(control.window, EM_SETLIMITTEXT, 0, 0);  // no limit but memory's
            win32::SetWindowTextAnsi(control.window, control.text);
            break;
        case ControlKind::DropDownList:
            SelectItemText(control, control.text);
            break;
        case ControlKind::Picture:
            if (HBITMAP picture = win32::LoadPicture(control.text)) {
                pictures_.push_back(picture);
                ::SendMessageW(control.window, STM_SETIMAGE, IMAGE_BITMAP,
                               reinterpret_cast<LPARAM>(picture));
            }
            break;
        case ControlKind::WhiteShape:
            // Below everything else of its parent, whatever comes after it.
            ::SetWindowPos(control.window, HWND_BOTTOM, 0, 0, 0, 0,
                           SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            break;
        case ControlKind::Page:
            break;  // its caption went to its tab with AddPage
        case ControlKind::ListView:
            ::SendMessageW(control.window, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                           LVS_EX_FULLROWSELECT);
            break;
        default:
            win32::SetWindowTextAnsi(control.window, control.text);
            FitLabel(control);
            break;
    }
}

void Win32Dialog::AddPage(Control& tabs, Control& page, std::size_t index) {
    page.pageIndex = static_cast<int>(tabs.pages.size());
    tabs.pages.push_back(index);
    std::string caption = page.text;
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    ::SendMessageA(tabs.window, TCM_INSERTITEMA, page.pageIndex, reinterpret_cast<LPARAM>(&item));
    win32::SetWindowTextAnsi(page.window, page.text);
    // The display area is known once the tab control has a tab to measure.
    const RECT display = RowRect(page);
    ::MoveWindow(page.window, display.left, display.top, display.right - display.left,
                 display.bottom - display.top, FALSE);
}

// A label without a fixed size takes the size of its text; a word-wrapped one keeps its width.
void Win32Dialog::FitLabel(const Control& control) {
    if (!IsLabelKind(control.kind) || (control.flags & kFixedSize)) return;
    const int wrapWidth = (control.flags & kWordWrap) ? control.width : 0;
    const SIZE size = win32::MeasureText(control.window, fonts_.For(control.flags),
                                         win32::WindowTextAnsi(control.window), wrapWidth);
    ::SetWindowPos(control.window, nullptr, 0, 0, wrapWidth > 0 ? wrapWidth : size.cx, size.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A drop-down list shows the item of that text (letter case ignored); no item, no change.
void Win32Dialog::SelectItemText(const Control& control, const std::string& text) {
    if (text.empty()) return;
    const LRESULT found =
        ::SendMessageA(control.window, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                       reinterpret_cast<LPARAM>(text.c_str()));
    if (found != CB_ERR) ::SendMessageW(control.window, CB_SETCURSEL, found, 0);
}

// ---- Look-up -------------------------------------------------------------------------------

Control& Win32Dialog::Find(const std::string& name) {
    const auto found = byName_.find(name);
    if (found == byName_.end()) throw std::invalid_argument("the layout has no control " + name);
    return controls_[found->second];
}

const Control& Win32Dialog::Find(const std::string& name) const {
    return const_cast<Win32Dialog*>(this)->Find(name);
}

Control* Win32Dialog::FindByWindow(HWND window) {
    if (window == nullptr) return nullptr;
    for (Control& control : controls_) {
        if (control.window == window) return &control;
    }
    return nullptr;
}

Control* Win32Dialog::FirstTabControl() {
    for (Control& control : controls_) {
        if (control.kind == ControlKind::TabControl) return &control;
    }
    return nullptr;
}

const Control* Win32Dialog::FirstTabControl() const {
    return const_cast<Win32Dialog*>(this)->FirstTabControl();
}

// ---- Messages ------------------------------------------------------------------------------

LRESULT CALLBACK Win32Dialog::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* dialog = reinterpret_cast<Win32Dialog*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (dialog != nullptr) {
        // Nothing unwinds into the system's dispatch, and through it into the host.
        try {
            LRESULT result = 0;
            if (dialog->HandleMessage(window, message, wParam, lParam, result)) return result;
        } catch (...) {
        }
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool Win32Dialog::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                LRESULT& result) {
    if (destroying_) return false;
    switch (message) {
        case WM_COMMAND:
            if (lParam != 0) {
                OnCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
                return true;
            }
            if (LOWORD(wParam) == IDCANCEL && window == form_) {  // Escape: as the close box
                Close();
                return true;
            }
            return false;
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_MEASUREITEM:
            result = TRUE;
            return OnMeasureItem(window, *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        case WM_DRAWITEM:
            result = TRUE;
            return OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        case WM_CTLCOLORSTATIC:
            if (!IsLink(reinterpret_cast<HWND>(lParam))) return false;
            ::SetTextColor(reinterpret_cast<HDC>(wParam), win32::LinkColor());
            ::SetBkColor(reinterpret_cast<HDC>(wParam), ::GetSysColor(COLOR_BTNFACE));
            result = reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
            return true;
        case WM_SETCURSOR:
            if (!IsLink(reinterpret_cast<HWND>(wParam)) || LOWORD(lParam) != HTCLIENT) return false;
            ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
            result = TRUE;
            return true;
        case WM_ACTIVATE:
            return window == form_ && OnActivate(wParam);
        case WM_CLOSE:
            // From the close box, or from a multi-line edit's Escape key, which asks the edit's
            // parent; a page or panel must not go on its own. The window stays until the dialog
            // goes.
            Close();
            return true;
        case WM_DESTROY:
            if (window == form_) closing_ = true;
            return false;
        default:
            return false;
    }
}

void Win32Dialog::OnCommand(HWND controlWindow, UINT code) {
    Control* control = FindByWindow(controlWindow);
    if (control == nullptr) return;
    const std::string name = control->name;
    switch (control->kind) {
        case ControlKind::Button:
        case ControlKind::CheckBox:
            if (code == BN_CLICKED) Notify([&] { events_.OnClick(name); });
            break;
        case ControlKind::Edit:
        case ControlKind::Memo:
            if (code == EN_CHANGE) Notify([&] { events_.OnChange(name); });
            break;
        case ControlKind::LinkLabel:
            if (code == STN_CLICKED) Notify([&] { events_.OnClick(name); });
            break;
        case ControlKind::DropDownList:
            if (code == CBN_SELCHANGE) Notify([&] { events_.OnChange(name); });
            break;
        case ControlKind::OwnerDrawList:
            if (code == LBN_SELCHANGE) Notify([&] { events_.OnChange(name); });
            if (code == LBN_DBLCLK) Notify([&] { events_.OnDoubleClick(name); });
            break;
        default:
            break;
    }
}

bool Win32Dialog::OnNotify(const NMHDR& header) {
    Control* tabs = FindByWindow(header.hwndFrom);
    if (tabs != nullptr && tabs->kind == ControlKind::ListView) {
        return OnListViewNotify(*tabs, header);
    }
    if (tabs == nullptr || tabs->kind != ControlKind::TabControl || header.code != TCN_SELCHANGE) {
        return false;
    }
    ShowActivePage(*tabs);
    const std::string name = tabs->name;
    Notify([&] { events_.OnChange(name); });
    return true;
}

// A row that becomes selected (by the mouse or the keyboard) is a change of the list; a row that
// loses its selection is not, so that moving it is one change. A header click names its column.
bool Win32Dialog::OnListViewNotify(const Control& list, const NMHDR& header) {
    const std::string name = list.name;
    if (header.code == LVN_ITEMCHANGED) {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_SELECTED) &&
            !(change.uOldState & LVIS_SELECTED)) {
            Notify([&] { events_.OnChange(name); });
        }
        return true;
    }
    if (header.code == LVN_COLUMNCLICK) {
        const int column = reinterpret_cast<const NMLISTVIEW&>(header).iSubItem;
        Notify([&] { events_.OnColumnClick(name, column); });
        return true;
    }
    return false;
}

bool Win32Dialog::OnMeasureItem(HWND parent, MEASUREITEMSTRUCT& item) {
    if (item.CtlType != ODT_LISTBOX) return false;
    HWND list = ::GetDlgItem(parent, static_cast<int>(item.CtlID));
    Control* control = FindByWindow(list);
    if (control == nullptr) return false;
    const int textHeight = win32::TextHeightOfWg(list);
    int height = textHeight;
    try {
        height = events_.OnMeasureItem(control->name, static_cast<int>(item.itemID), textHeight);
    } catch (...) {
        // a row the handler cannot measure keeps the height of its text
    }
    item.itemHeight = static_cast<UINT>(std::clamp(height, 1, 255));  // the list's own limit
    return true;
}

bool Win32Dialog::OnDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlType != ODT_LISTBOX) return false;
    Control* control = FindByWindow(item.hwndItem);
    if (control == nullptr) return false;
    const int saved = ::SaveDC(item.hDC);
    if (item.itemID != static_cast<UINT>(-1)) {
        win32::DcRowPainter painter(item.hDC);
        const Rect rect{item.rcItem.left, item.rcItem.top, item.rcItem.right, item.rcItem.bottom};
        try {
            events_.OnDrawItem(control->name, static_cast<int>(item.itemID), rect,
                               (item.itemState & ODS_SELECTED) != 0, painter);
        } catch (...) {
            // a row that fails to paint stays as far as it got
        }
    } else {
        ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(COLOR_WINDOW));
    }
    ::RestoreDC(item.hDC, saved);
    if (item.itemState & ODS_FOCUS) ::DrawFocusRect(item.hDC, &item.rcItem);
    return true;
}

// The control that had the keyboard gets it back when the window is active again.
bool Win32Dialog::OnActivate(WPARAM wParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        if (focus != nullptr && ::IsChild(form_, focus)) lastFocus_ = focus;
        return false;
    }
    if (lastFocus_ == nullptr || !::IsChild(form_, lastFocus_)) return false;
    ::SetFocus(lastFocus_);
    return true;
}

bool Win32Dialog::IsLink(HWND window) const {
    for (const Control& control : controls_) {
        if (control.window == window) return control.kind == ControlKind::LinkLabel;
    }
    return false;
}

// Runs a handler of the portable side for something the user did: not while the dialog fills
// itself, and never letting a failure escape into the window procedure.
template <typename Handler>
void Win32Dialog::Notify(Handler&& handler) {
    if (filling_ > 0 || destroying_) return;
    try {
        handler();
    } catch (const std::exception& error) {
        ReportUnexpected(error.what());
    } catch (...) {
        ReportUnexpected("unknown error");
    }
}

void Win32Dialog::ReportUnexpected(const std::string& what) {
    ::MessageBoxA(form_, what.c_str(), kUnexpectedErrorCaption, MB_OK | MB_ICONERROR);
}

// ---- Pages ---------------------------------------------------------------------------------

void Win32Dialog::ShowActivePage(Control& tabs) {
    const int active = TabCtrl_GetCurSel(tabs.window);
    for (std::size_t page : tabs.pages) {
        if (controls_[page].pageIndex == active) ::ShowWindow(controls_[page].window, SW_SHOW);
    }
    for (std::size_t page : tabs.pages) {
        if (controls_[page].pageIndex != active) ::ShowWindow(controls_[page].window, SW_HIDE);
    }
    // The keyboard does not stay on a control that is no longer seen.
    HWND focus = ::GetFocus();
    if (focus != nullptr && ::IsChild(form_, focus) && !::IsWindowVisible(focus)) {
        ::SetFocus(tabs.window);
    }
}

// Ctrl+Tab and Ctrl+PageDown go to the next page, with Shift or PageUp to the one before, as in
// every tabbed dialog; the portable side hears of it as of a click on the tab.
bool Win32Dialog::SwitchPageByKeyboard(const MSG& message) {
    if (message.message != WM_KEYDOWN || ::GetKeyState(VK_CONTROL) >= 0) return false;
    if (message.wParam != VK_TAB && message.wParam != VK_NEXT && message.wParam != VK_PRIOR) {
        return false;
    }
    if (message.hwnd != form_ && !::IsChild(form_, message.hwnd)) return false;
    Control* tabs = FirstTabControl();
    if (tabs == nullptr || tabs->pages.empty()) return false;
    const bool back =
        message.wParam == VK_PRIOR || (message.wParam == VK_TAB && ::GetKeyState(VK_SHIFT) < 0);
    const int count = static_cast<int>(tabs->pages.size());
    const int next = (TabCtrl_GetCurSel(tabs->window) + (back ? count - 1 : 1)) % count;
    TabCtrl_SetCurSel(tabs->window, next);
    ShowActivePage(*tabs);
    const std::string name = tabs->name;
    Notify([&] { events_.OnChange(name); });
    return true;
}

// A multi-line edit asks for every key, Tab included; here Tab leaves it for the next control
// (Shift+Tab for the one before), as in a single-line edit. Ctrl+Tab is the page switch.
bool Win32Dialog::LeaveMemoByTab(const MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != VK_TAB) return false;
    if (::GetKeyState(VK_CONTROL) < 0) return false;
    const Control* control = FindByWindow(message.hwnd);
    if (control == nullptr || control->kind != ControlKind::Memo) return false;
    const BOOL back = ::GetKeyState(VK_SHIFT) < 0 ? TRUE : FALSE;
    HWND next = ::GetNextDlgTabItem(form_, message.hwnd, back);
    if (next == nullptr) return true;
    ::SetFocus(next);
    // The text of an edit reached by the keyboard is selected whole, as the dialog manager does.
    if (::SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
        ::SendMessageW(next, EM_SETSEL, 0, -1);
    }
    return true;
}

// Enter in a one-line edit is the edit's own event (the dialog has no default button); the key
// goes no further, so the edit does not beep.
bool Win32Dialog::EnterInEdit(const MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != VK_RETURN) return false;
    const Control* control = FindByWindow(message.hwnd);
    if (control == nullptr || control->kind != ControlKind::Edit) return false;
    const std::string name = control->name;
    Notify([&] { events_.OnEnterKey(name); });
    return true;
}

// ---- The modal loop ------------------------------------------------------------------------

void Win32Dialog::Dispatch(MSG& message) {
    if (form_ != nullptr && ::IsWindow(form_)) {
        if (SwitchPageByKeyboard(message) || LeaveMemoByTab(message) || EnterInEdit(message)) {
            return;
        }
        if (::IsDialogMessageW(form_, &message)) return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

void Win32Dialog::FocusFirstControl() {
    HWND first = ::GetNextDlgTabItem(form_, nullptr, FALSE);
    if (first != nullptr) ::SetFocus(first);
    lastFocus_ = first;
}

void Win32Dialog::RunModal() {
    if (form_ == nullptr || !::IsWindow(form_)) return;
    closing_ = false;
    ThreadWindowsDisabled disabled(form_);
    events_.OnShow();
    if (closing_ || !::IsWindow(form_)) return;
    ::ShowWindow(form_, SW_SHOWNORMAL);
    ::UpdateWindow(form_);
    ::SetForegroundWindow(form_);
    FocusFirstControl();
    // Every message of the thread is dispatched, the host's too (its windows are disabled, but
    // what it posts and its timers still arrive).
    MSG message{};
    while (!closing_) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {  // the host's loop must see the quit request too
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        Dispatch(message);
    }
    // The host's windows first, so that the system gives the keyboard back to the owner when
    // the dialog goes.
    disabled.Restore();
    if (::IsWindow(form_)) ::ShowWindow(form_, SW_HIDE);
}

void Win32Dialog::Close() {
    closing_ = true;
    if (form_ != nullptr) ::PostMessageW(form_, WM_NULL, 0, 0);  // wakes the loop
}

void Win32Dialog::BringToFront() {
    if (form_ == nullptr || !::IsWindow(form_)) return;
    HWND front = ::GetLastActivePopup(form_);  // a message box of the dialog, else the dialog
    if (front == nullptr || !::IsWindowVisible(front)) return;
    ::SetForegroundWindow(front);
}

void Win32Dialog::ProcessMessages() {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(message);
    }
}

// ---- Content -------------------------------------------------------------------------------

std::string Win32Dialog::Text(const std::string& name) const {
    const Control& control = Find(name);
    if (control.kind == ControlKind::Picture || control.kind == ControlKind::WhiteShape) {
        return control.text;
    }
    return win32::WindowTextAnsi(control.window);
}

void Win32Dialog::SetText(const std::string& name, const std::string& text) {
    FillGuard filling(filling_);
    Control& control = Find(name);
    switch (control.kind) {
        case ControlKind::Page: {
            control.text = text;
            std::string caption = text;
            TCITEMA item{};
            item.mask = TCIF_TEXT;
            item.pszText = caption.data();
            ::SendMessageA(Find(control.parent).window, TCM_SETITEMA, control.pageIndex,
                           reinterpret_cast<LPARAM>(&item));
            win32::SetWindowTextAnsi(control.window, text);
            break;
        }
        case ControlKind::DropDownList:
            SelectItemText(control, text);
            break;
        case ControlKind::Picture:  // the picture stays; a static of pictures reads no text
        case ControlKind::WhiteShape:
            control.text = text;
            break;
        default:
            win32::SetWindowTextAnsi(control.window, text);
            FitLabel(control);
            break;
    }
}

std::u16string Win32Dialog::WideText(const std::string& name) const {
    HWND window = Find(name).window;
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    const int copied = ::GetWindowTextW(window, reinterpret_cast<LPWSTR>(text.data()), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

void Win32Dialog::SetWideText(const std::string& name, const std::u16string& text) {
    FillGuard filling(filling_);
    ::SetWindowTextW(Find(name).window, WidePointer(text));
}

bool Win32Dialog::Enabled(const std::string& name) const {
    return ::IsWindowEnabled(Find(name).window) != FALSE;
}

void Win32Dialog::SetEnabled(const std::string& name, bool enabled) {
    FillGuard filling(filling_);
    ::EnableWindow(Find(name).window, enabled ? TRUE : FALSE);
}

bool Win32Dialog::Checked(const std::string& name) const {
    return ::SendMessageW(Find(name).window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Dialog::SetChecked(const std::string& name, bool checked) {
    FillGuard filling(filling_);
    ::SendMessageW(Find(name).window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Win32Dialog::ReadOnly(const std::string& name) const {
    return (::GetWindowLongW(Find(name).window, GWL_STYLE) & ES_READONLY) != 0;
}

void Win32Dialog::SetReadOnly(const std::string& name, bool readOnly) {
    FillGuard filling(filling_);
    ::SendMessageW(Find(name).window, EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
}

void Win32Dialog::SetProgress(const std::string& name, int position, int maximum) {
    const Control& control = Find(name);
    if (control.kind != ControlKind::ProgressBar) {
        throw std::invalid_argument(name + " is no progress bar");
    }
    maximum = std::max(maximum, 1);
    ::SendMessageW(control.window, PBM_SETRANGE32, 0, maximum);
    ::SendMessageW(control.window, PBM_SETPOS,
                   static_cast<WPARAM>(std::clamp(position, 0, maximum)), 0);
}

void Win32Dialog::AddItem(const std::string& name, const std::string& text) {
    FillGuard filling(filling_);
    const Control& control = Find(name);
    LRESULT added = 0;
    if (control.kind == ControlKind::DropDownList) {
        added =
            ::SendMessageA(control.window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    } else if (control.kind == ControlKind::OwnerDrawList) {
        added =
            ::SendMessageA(control.window, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    } else {
        throw std::invalid_argument(name + " has no rows");
    }
    if (added < 0) throw std::runtime_error("no room for another row in " + name);
}

std::vector<std::string> Win32Dialog::Items(const std::string& name) const {
    const Control& control = Find(name);
    const bool combo = control.kind == ControlKind::DropDownList;
    if (!combo && control.kind != ControlKind::OwnerDrawList) return {};
    const UINT countMessage = combo ? CB_GETCOUNT : LB_GETCOUNT;
    const UINT lengthMessage = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
    const UINT textMessage = combo ? CB_GETLBTEXT : LB_GETTEXT;
    std::vector<std::string> items;
    const LRESULT count = ::SendMessageA(control.window, countMessage, 0, 0);
    for (LRESULT index = 0; index < count; ++index) {
        const LRESULT length = ::SendMessageA(control.window, lengthMessage, index, 0);
        std::string text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, '\0');
        const LRESULT copied = ::SendMessageA(control.window, textMessage, index,
                                              reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(std::max<LRESULT>(copied, 0)));
        items.push_back(std::move(text));
    }
    return items;
}

int Win32Dialog::SelectedIndex(const std::string& name) const {
    const Control& control = Find(name);
    switch (control.kind) {
        case ControlKind::DropDownList:
            return static_cast<int>(::SendMessageW(control.window, CB_GETCURSEL, 0, 0));
        case ControlKind::OwnerDrawList:
            return static_cast<int>(::SendMessageW(control.window, LB_GETCURSEL, 0, 0));
        case ControlKind::ListView:
            return static_cast<int>(::SendMessageW(control.window, LVM_GETNEXTITEM,
                                                   static_cast<WPARAM>(-1), LVNI_SELECTED));
        case ControlKind::TabControl:
            return TabCtrl_GetCurSel(control.window);
        default:
            return -1;
    }
}

void Win32Dialog::Select(const std::string& name, int index) {
    FillGuard filling(filling_);
    Control& control = Find(name);
    switch (control.kind) {
        case ControlKind::DropDownList:
            ::SendMessageW(control.window, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
            break;
        case ControlKind::OwnerDrawList:
            ::SendMessageW(control.window, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
            break;
        case ControlKind::ListView: {
            LVITEMW state{};
            state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            ::SendMessageW(control.window, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(&state));
            const LRESULT count = ::SendMessageW(control.window, LVM_GETITEMCOUNT, 0, 0);
            if (index < 0 || index >= count) break;
            state.state = LVIS_SELECTED | LVIS_FOCUSED;
            ::SendMessageW(control.window, LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                           reinterpret_cast<LPARAM>(&state));
            ::SendMessageW(control.window, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
            break;
        }
        case ControlKind::TabControl:
            TabCtrl_SetCurSel(control.window, index);
            ShowActivePage(control);
            break;
        default:
            throw std::invalid_argument(name + " has nothing to select");
    }
}

Control& Win32Dialog::FindListView(const std::string& name) {
    Control& control = Find(name);
    if (control.kind != ControlKind::ListView)
        throw std::invalid_argument(name + " is no list view");
    return control;
}

void Win32Dialog::SetColumns(const std::string& name, const std::vector<ListColumn>& columns) {
    FillGuard filling(filling_);
    HWND list = FindListView(name).window;
    while (::SendMessageW(list, LVM_DELETECOLUMN, 0, 0)) {
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        std::u16string caption = AnsiToWide(columns[i].caption);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = WidePointer(caption);
        column.cx = columns[i].width;
        column.iSubItem = static_cast<int>(i);
        ::SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

// The rows go in with the list's drawing held back, which would otherwise repaint it per row.
void Win32Dialog::SetRows(const std::string& name, const std::vector<ListRow>& rows) {
    FillGuard filling(filling_);
    HWND list = FindListView(name).window;
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    ::SendMessageW(list, LVM_SETITEMCOUNT, rows.size(), 0);
    for (std::size_t row = 0; row < rows.size(); ++row) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(row);
        const std::u16string none;
        const std::u16string& first = rows[row].empty() ? none : rows[row].front();
        item.pszText = WidePointer(first);
        const LRESULT at =
            ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        if (at < 0) break;  // out of memory: the rows so far stay
        for (std::size_t column = 1; column < rows[row].size(); ++column) {
            LVITEMW cell{};
            cell.iSubItem = static_cast<int>(column);
            cell.pszText = WidePointer(rows[row][column]);
            ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(at),
                           reinterpret_cast<LPARAM>(&cell));
        }
    }
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
}

int Win32Dialog::ActivePage() const {
    const Control* tabs = FirstTabControl();
    return tabs != nullptr ? TabCtrl_GetCurSel(tabs->window) : -1;
}

void Win32Dialog::ShowPage(int index) {
    FillGuard filling(filling_);
    Control* tabs = FirstTabControl();
    if (tabs == nullptr) return;
    TabCtrl_SetCurSel(tabs->window, index);
    ShowActivePage(*tabs);
}

void Win32Dialog::Repaint(const std::string& name) {
    HWND window = Find(name).window;
    ::InvalidateRect(window, nullptr, TRUE);
    ::UpdateWindow(window);
}

// ---- Pickers and messages ------------------------------------------------------------------

std::optional<std::string> Win32Dialog::BrowseForFolder(const std::string& hint) {
    const OleScope ole;
    const auto scope = activation_.Activate();
    BROWSEINFOA request{};
    request.hwndOwner = form_;
    request.lpszTitle = hint.c_str();
    request.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_NEWDIALOGSTYLE;
    request.lpfn = BrowseCallback;
    PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderA(&request);
    if (chosen == nullptr) return std::nullopt;
    // The wide call, converted here: the ANSI one converts into MAX_PATH bytes, which a path of
    // MAX_PATH characters outgrows in a double-byte code page (cut, without a NUL).
    wchar_t path[MAX_PATH + 1] = {};  // the shell writes at most MAX_PATH characters here
    const BOOL converted = ::SHGetPathFromIDListW(chosen, path);
    ::CoTaskMemFree(chosen);
    if (!converted) return std::nullopt;
    return WideToAnsi(reinterpret_cast<const char16_t*>(path));
}

// The shell shows no box of its own: a failure is the caller's to tell.
void Win32Dialog::OpenFile(const std::string& path) {
    const OleScope ole;  // the shell's handlers of a type may be COM objects
    const std::u16string file = AnsiToWide(path);
    SHELLEXECUTEINFOW request{};
    request.cbSize = sizeof request;
    request.fMask = SEE_MASK_FLAG_NO_UI;
    request.hwnd = form_;
    request.lpVerb = L"open";
    request.lpFile = WidePointer(file);
    request.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&request)) {
        win32::ThrowSystemError("ShellExecuteExW", path, ::GetLastError());
    }
}

void Win32Dialog::ShowError(const std::string& text, const std::string& caption) {
    ShowBox(text, caption, MB_OK | MB_ICONERROR);
}

void Win32Dialog::ShowInformation(const std::string& text, const std::string& caption) {
    ShowBox(text, caption, MB_OK | MB_ICONINFORMATION);
}

bool Win32Dialog::AskYesNo(const std::string& text, const std::string& caption) {
    return ShowBox(text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// A box owned by the dialog, in the look of the module's manifest; the system's answer (IDOK,
// IDYES, IDNO), 0 when it could not show the box.
int Win32Dialog::ShowBox(const std::string& text, const std::string& caption, UINT type) {
    const auto scope = activation_.Activate();
    return ::MessageBoxA(::IsWindow(form_) ? form_ : nullptr, text.c_str(), caption.c_str(), type);
}

}  // namespace

std::unique_ptr<Dialog> CreateDialog(const std::vector<ControlSpec>& layout, DialogEvents& events) {
    return std::make_unique<Win32Dialog>(layout, events);
}

}  // namespace platform
