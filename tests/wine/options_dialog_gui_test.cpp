// The options dialog on a real screen (Wine under Xvfb): the Win32 builder with a small layout of
// its own, then the whole plug-in as the messenger drives it, with a second thread playing the
// user: it finds the windows, types, picks, clicks with the mouse and the keyboard, and closes
// message boxes. Screenshots of every page are written as BMP files (see README, "The options
// dialog").
//
// Needs a display (DISPLAY set, as by xvfb-run); without one the tests are skipped, except under
// CI, where that is a failure.
#include <windows.h>
#undef CreateDialog
#undef DrawText
// clang-format off
#include <commctrl.h>  // after windows.h
// clang-format on

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "history/EntryFormat.h"
#include "platform/dialog.h"
#include "platform/platform.h"
#include "plugin/u_plugin_info.h"
#include "plugin/u_plugin_msg.h"
#include "ui/LanguageSupport.h"
#include "ui/u_options.h"
#include "unit/test_support.h"

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// ---- The screen ------------------------------------------------------------------------------

// Under Xvfb no window manager draws frames; Wine draws its own when its driver is told so
// before it starts, so that screenshots show the title bar. Set before any window exists.
const bool kWineDrawsFrames = [] {
    char program[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, program, MAX_PATH);
    const std::string key =
        "Software\\Wine\\AppDefaults\\" + fs::path(program).filename().string() + "\\X11 Driver";
    HKEY handle = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &handle, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const bool set = ::RegSetValueExA(handle, "Decorated", 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>("N"), 2) == ERROR_SUCCESS;
    ::RegCloseKey(handle);
    return set;
}();

bool HaveDisplay() {
    char display[256] = {};
    return ::GetEnvironmentVariableA("DISPLAY", display, sizeof display) > 0;
}

#define REQUIRE_DISPLAY()                                                        \
    do {                                                                         \
        if (!HaveDisplay()) {                                                    \
            if (::GetEnvironmentVariableA("CI", nullptr, 0) > 0) {               \
                FAIL() << "no DISPLAY: run the Windows tests under xvfb-run";    \
            }                                                                    \
            GTEST_SKIP() << "no DISPLAY (run under xvfb-run to see the dialog)"; \
        }                                                                        \
    } while (false)

std::string TextOf(HWND window) {
    const int length = ::GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextA(window, text.data(), length + 1)));
    return text;
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

// The window's rectangle in the client coordinates of `reference`.
RECT RectIn(HWND window, HWND reference) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(HWND_DESKTOP, reference, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<HWND> ChildrenInOrder(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

// The window of `parent`'s family whose control identifier is `id`.
HWND DescendantWithId(HWND parent, int id) {
    for (HWND child : ChildrenInOrder(parent)) {
        if (::GetDlgCtrlID(child) == id) return child;
        if (HWND found = DescendantWithId(child, id)) return found;
    }
    return nullptr;
}

LOGFONTA FontOf(HWND window) {
    LOGFONTA font{};
    ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(window, WM_GETFONT, 0, 0)), sizeof font,
                 &font);
    return font;
}

std::wstring WideTextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The text of a list view's cell, in Unicode.
std::wstring ListCell(HWND list, int row, int column) {
    wchar_t text[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = static_cast<int>(std::size(text));
    ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds = 5000) {
    const DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start > milliseconds) return false;
        ::Sleep(20);
    }
    return true;
}

// ---- Input as a user gives it ------------------------------------------------------------------

void MoveMouse(POINT screen) {
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((screen.x * 65536LL + width / 2) / width);
    input.mi.dy = static_cast<LONG>((screen.y * 65536LL + height / 2) / height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &input, sizeof input);
}

void ClickAt(POINT screen, int clicks = 1) {
    MoveMouse(screen);
    ::Sleep(50);
    for (int click = 0; click < clicks; ++click) {
        INPUT presses[2] = {};
        presses[0].type = presses[1].type = INPUT_MOUSE;
        presses[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        presses[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        ::SendInput(2, presses, sizeof presses[0]);
        ::Sleep(30);
    }
}

POINT CenterOf(HWND window, RECT clientRect) {
    POINT center{(clientRect.left + clientRect.right) / 2,
                 (clientRect.top + clientRect.bottom) / 2};
    ::ClientToScreen(window, &center);
    return center;
}

POINT CenterOf(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    return CenterOf(window, client);
}

void ClickTab(HWND tabs, int index) {
    RECT item{};
    ::SendMessageA(tabs, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
    ClickAt(CenterOf(tabs, item));
}

void DoubleClickRow(HWND list, int index) {
    RECT item{};
    ::SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
    ClickAt(CenterOf(list, item), 2);
}

void PressKey(WORD key, bool control = false, bool shift = false) {
    std::vector<INPUT> inputs;
    auto add = [&](WORD vk, DWORD flags) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.dwFlags = flags;
        inputs.push_back(input);
    };
    if (control) add(VK_CONTROL, 0);
    if (shift) add(VK_SHIFT, 0);
    add(key, 0);
    add(key, KEYEVENTF_KEYUP);
    if (shift) add(VK_SHIFT, KEYEVENTF_KEYUP);
    if (control) add(VK_CONTROL, KEYEVENTF_KEYUP);
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void TypeText(const std::wstring& text) {
    for (wchar_t character : text) {
        INPUT strokes[2] = {};
        strokes[0].type = strokes[1].type = INPUT_KEYBOARD;
        strokes[0].ki.wScan = strokes[1].ki.wScan = character;
        strokes[0].ki.dwFlags = KEYEVENTF_UNICODE;
        strokes[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        ::SendInput(2, strokes, sizeof strokes[0]);
    }
}

// A pick in a drop-down list as the list itself reports a user's pick.
void PickItem(HWND combo, int index) {
    ::SendMessageA(combo, CB_SETCURSEL, index, 0);
    ::SendMessageA(::GetParent(combo), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(combo), CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(combo));
}

// ---- The second thread: the user ---------------------------------------------------------------

// A step of the user's script that cannot go on.
struct ScriptStop : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Runs a script on a thread of its own while the test's thread runs a modal loop. The script
// notes what it finds wrong; whatever happens, it leaves no window of this process open, so the
// modal loop ends. Only the test's thread asserts, after Join().
class User {
public:
    explicit User(std::function<void(User&)> script)
        : script_(std::move(script)), uiThread_(::GetCurrentThreadId()) {
        thread_ = ::CreateThread(nullptr, 0, &User::Run, this, 0, nullptr);
    }
    ~User() { Join(); }
    User(const User&) = delete;
    User& operator=(const User&) = delete;

    void Join() {
        if (thread_ == nullptr) return;
        if (::WaitForSingleObject(thread_, 60000) != WAIT_OBJECT_0) {
            problems_.push_back("the user's thread did not end");
        }
        ::CloseHandle(thread_);
        thread_ = nullptr;
    }

    const std::vector<std::string>& problems() const { return problems_; }
    DWORD uiThread() const { return uiThread_; }

    void Note(const std::string& problem) { problems_.push_back(problem); }
    void Check(bool ok, const std::string& problem) {
        if (!ok) Note(problem);
    }
    [[noreturn]] void Stop(const std::string& problem) { throw ScriptStop(problem); }
    // A window of the test's own that the end of the script leaves open.
    void Keep(HWND window) { kept_.push_back(window); }

    // The visible top-level window of this process with that caption.
    HWND WaitForWindow(const std::string& caption, DWORD milliseconds = 10000) {
        HWND found = nullptr;
        WaitUntil(
            [&] {
                found = FindTopLevel([&](HWND window) { return TextOf(window) == caption; });
                return found != nullptr;
            },
            milliseconds);
        if (found == nullptr) Stop("no window \"" + caption + "\" appeared");
        return found;
    }

    // A message box of this process (class #32770).
    HWND WaitForMessageBox(DWORD milliseconds = 10000) {
        HWND found = nullptr;
        WaitUntil(
            [&] {
                found = FindTopLevel([](HWND window) { return ClassOf(window) == "#32770"; });
                return found != nullptr;
            },
            milliseconds);
        if (found == nullptr) Stop("no message box appeared");
        return found;
    }

    // The window that has the keyboard on the test's thread.
    HWND Focus() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        ::GetGUIThreadInfo(uiThread_, &info);
        return info.hwndFocus;
    }

    // Lets the test's thread handle everything sent to it so far.
    void Settle(HWND window) const {
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
        ::Sleep(100);
        ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    }

private:
    static DWORD WINAPI Run(void* self) {
        auto& user = *static_cast<User*>(self);
        try {
            user.script_(user);
        } catch (const std::exception& error) {
            user.problems_.push_back(error.what());
        }
        user.CloseEverything();
        return 0;
    }

    template <typename Match>
    HWND FindTopLevel(Match match) {
        struct Search {
            Match* match;
            HWND found;
        } search{&match, nullptr};
        ::EnumWindows(
            [](HWND window, LPARAM parameter) WINAPI -> BOOL {
                auto& state = *reinterpret_cast<Search*>(parameter);
                DWORD process = 0;
                ::GetWindowThreadProcessId(window, &process);
                if (process != ::GetCurrentProcessId() || !::IsWindowVisible(window)) return TRUE;
                if (!(*state.match)(window)) return TRUE;
                state.found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    // Message boxes get OK, other windows the close box, until none is left but those kept.
    void CloseEverything() {
        WaitUntil(
            [&] {
                HWND open = FindTopLevel([&](HWND window) {
                    return std::find(kept_.begin(), kept_.end(), window) == kept_.end();
                });
                if (open == nullptr) return true;
                if (ClassOf(open) == "#32770") {
                    ::PostMessageA(open, WM_COMMAND, IDOK, 0);
                } else {
                    ::PostMessageA(open, WM_CLOSE, 0, 0);
                }
                ::Sleep(200);
                return false;
            },
            10000);
    }

    std::function<void(User&)> script_;
    DWORD uiThread_;
    HANDLE thread_ = nullptr;
    std::vector<std::string> problems_;
    std::vector<HWND> kept_;
};

// ---- Screenshots
// ----------------------------------------------------------------------------------

// Where screenshots go: QUILLET_SCREENSHOT_DIR, or "screenshots" beside the test program.
fs::path ScreenshotFolder() {
    char folder[MAX_PATH] = {};
    if (::GetEnvironmentVariableA("QUILLET_SCREENSHOT_DIR", folder, MAX_PATH) > 0) return folder;
    char program[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, program, MAX_PATH);
    return fs::path(program).parent_path() / "screenshots";
}

// The window as the screen shows it, frame included, into a 24-bit BMP file.
bool SaveScreenshot(HWND window, const std::string& name) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT);
    ::SelectObject(memory, previous);

    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    std::vector<char> pixels(stride * static_cast<std::size_t>(height));
    const int rows = ::GetDIBits(memory, bitmap, 0, height, pixels.data(),
                                 reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    if (rows != height) return false;

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
    std::error_code ignored;
    fs::create_directories(ScreenshotFolder(), ignored);
    std::ofstream out(ScreenshotFolder() / (name + ".bmp"), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

// A picture of the window once everything on it has been painted and the mouse is out of it.
void TakeScreenshot(User& user, HWND window, const std::string& name) {
    MoveMouse(POINT{1200, 1000});
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    user.Settle(window);
    ::Sleep(300);
    user.Check(SaveScreenshot(window, name), "cannot save the screenshot " + name);
}

// ---- Small files of the tests ------------------------------------------------------------------

// A 16 x 16 icon of one colour, as an .ico file.
std::string SolidIcon(COLORREF color) {
    constexpr int kSide = 16;
    std::string pixels;
    for (int i = 0; i < kSide * kSide; ++i) {
        pixels += static_cast<char>(GetBValue(color));
        pixels += static_cast<char>(GetGValue(color));
        pixels += static_cast<char>(GetRValue(color));
        pixels += static_cast<char>(0xFF);
    }
    const std::string mask(kSide * 4, '\0');  // rows of 32 bits, all opaque
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = kSide;
    header.biHeight = kSide * 2;  // colour and mask
    header.biPlanes = 1;
    header.biBitCount = 32;
    const std::string image =
        std::string(reinterpret_cast<const char*>(&header), sizeof header) + pixels + mask;
    auto word = [](unsigned value) { return std::string{char(value & 0xFF), char(value >> 8)}; };
    auto dword = [&](unsigned value) { return word(value & 0xFFFF) + word(value >> 16); };
    return word(0) + word(1) + word(1) +  // reserved, type icon, one image
           std::string{char(kSide), char(kSide), 0, 0} + word(1) + word(32) +
           dword(static_cast<unsigned>(image.size())) + dword(6 + 16) + image;
}

COLORREF ScreenPixel(HWND window, POINT client) {
    ::ClientToScreen(window, &client);
    HDC screen = ::GetDC(nullptr);
    const COLORREF color = ::GetPixel(screen, client.x, client.y);
    ::ReleaseDC(nullptr, screen);
    return color;
}

// =================================================================================================
// The builder, with a layout of its own
// =================================================================================================

using platform::Color;
using platform::ControlKind;
using platform::ControlSpec;
using platform::Rect;

// Rows in the order of the control identifiers: row i is window 1000 + i.
const std::vector<ControlSpec> kTestLayout = {
    {ControlKind::Form, "fTest", "", 0, 0, 513, 380, "Builder test"},
    {ControlKind::Button, "bFirst", "fTest", 8, 344, 75, 25, "First"},
    {ControlKind::Button, "bSecond", "fTest", 90, 344, 75, 25, "Second"},
    {ControlKind::TabControl, "Tabs", "fTest", 8, 8, 497, 321, ""},
    {ControlKind::Page, "Page1", "Tabs", 0, 0, 0, 0, "One"},
    {ControlKind::GroupBox, "Group", "Page1", 3, 3, 483, 106, "Group"},
    {ControlKind::DropDownList, "cbPick", "Group", 16, 24, 169, 21, ""},
    {ControlKind::Edit, "eInGroup", "Group", 201, 24, 264, 21, "start"},
    {ControlKind::Label, "lAuto", "Group", 16, 56, 0, 0, "Sized to its text"},
    {ControlKind::Label, "lCourier", "Page1", 16, 120, 300, 40, "fixed",
     platform::kCourierNew | platform::kFixedSize | platform::kWordWrap},
    {ControlKind::Memo, "mText", "Page1", 16, 170, 278, 100, "line 1\r\nline 2"},
    {ControlKind::Page, "Page2", "Tabs", 0, 0, 0, 0, "Two"},
    {ControlKind::OwnerDrawList, "lbRows", "Page2", 16, 16, 457, 150, ""},
    {ControlKind::LinkLabel, "lLink", "Page2", 16, 230, 0, 0, "https://example.org/"},
    {ControlKind::Label, "lBig", "Page2", 16, 260, 0, 0, "Big", platform::kLargeBold},
    {ControlKind::Panel, "Banner", "Page2", 300, 200, 0, 60, ""},
    {ControlKind::WhiteShape, "Shape", "Banner", 0, 0, 0, 0, ""},
    {ControlKind::Picture, "Image", "Banner", 10, 5, 50, 40, "no-such-picture.bmp"},
    {ControlKind::ProgressBar, "pbTest", "Page2", 16, 175, 200, 17, ""},
    {ControlKind::ListView, "lvRows", "Page1", 300, 120, 180, 150, ""},
};

constexpr int kFirstId = 1000;

int IdOf(const std::string& name) {
    for (std::size_t row = 0; row < kTestLayout.size(); ++row) {
        if (name == kTestLayout[row].name) return kFirstId + static_cast<int>(row);
    }
    throw std::invalid_argument("no row " + name);
}

const Color kEvenRow{255, 255, 255};
const Color kOddRow{216, 233, 254};
const Color kSelectedRow{0, 113, 225};

// The portable side, recording what reaches it. Rows are as high as their text plus three
// pixels per index, so that each row's own height shows.
class RecordingEvents : public platform::DialogEvents {
public:
    platform::Dialog* dialog = nullptr;
    std::vector<std::string> events;
    std::vector<int> measuredTextHeights;
    int drawCalls = 0;
    std::string iconFile;
    std::function<void(const std::string&)> onClick;

    void OnShow() override {
        events.push_back("show");
        for (const char* item : {"alpha", "Beta", "gamma"}) dialog->AddItem("cbPick", item);
        dialog->Select("cbPick", 0);
        for (const char* row : {"row 0", "row 1", "row 2"}) dialog->AddItem("lbRows", row);
        dialog->SetColumns("lvRows", {{"When", 60}, {"What", 100}});
        dialog->SetRows("lvRows", {{u"1", u"one"}, {u"2", u"two"}});
    }
    void OnClick(const std::string& control) override {
        events.push_back("click " + control);
        if (onClick) onClick(control);
    }
    void OnChange(const std::string& control) override { events.push_back("change " + control); }
    void OnDoubleClick(const std::string& control) override {
        events.push_back("double-click " + control);
    }
    void OnColumnClick(const std::string& control, int column) override {
        events.push_back("column " + std::to_string(column) + " " + control);
    }
    void OnEnterKey(const std::string& control) override { events.push_back("enter " + control); }
    int OnMeasureItem(const std::string&, int index, int textHeight) override {
        measuredTextHeights.push_back(textHeight);
        return textHeight + 10 + 3 * index;
    }
    void OnDrawItem(const std::string&, int index, const Rect& rect, bool selected,
                    platform::RowPainter& painter) override {
        ++drawCalls;
        painter.FillRect(rect, selected ? kSelectedRow : (index % 2 ? kOddRow : kEvenRow));
        painter.DrawText(28, rect.top + 3, platform::AnsiToWide(dialog->Items("lbRows").at(index)),
                         Color{0, 0, 0});
        painter.DrawIconFile(iconFile, rect.left + 4, rect.top + 3);
    }
};

class BuilderTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        icon_ = folder_.native("row.ico");
        quillet::test::WriteBytes(icon_, SolidIcon(RGB(255, 0, 0)));
        events_.iconFile = folder_.path("row.ico");
        dialog_ = platform::CreateDialog(kTestLayout, events_);
        ASSERT_NE(dialog_, nullptr);
        events_.dialog = dialog_.get();
        form_ = ::FindWindowA(nullptr, "Builder test");
        ASSERT_NE(form_, nullptr);
    }

    HWND Window(const std::string& name) const { return DescendantWithId(form_, IdOf(name)); }

    // Runs the dialog modally while `script` plays the user; returns the user's problems.
    std::vector<std::string> RunWithUser(std::function<void(User&)> script) {
        User user(std::move(script));
        dialog_->RunModal();
        user.Join();
        return user.problems();
    }

    quillet::test::TempFolder folder_;
    fs::path icon_;
    RecordingEvents events_;
    std::unique_ptr<platform::Dialog> dialog_;
    HWND form_ = nullptr;
};

TEST_F(BuilderTest, FormIsAFixedTitledWindowAtTheTopLeftWithTheGivenClientArea) {
    const LONG style = ::GetWindowLongA(form_, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD));
    EXPECT_EQ(::GetWindow(form_, GW_OWNER), nullptr);
    RECT client{};
    ::GetClientRect(form_, &client);
    EXPECT_EQ(client.right, 513);
    EXPECT_EQ(client.bottom, 380);
    RECT frame{};
    ::GetWindowRect(form_, &frame);
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.top, 0);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(::GetClassLongPtrA(form_, GCLP_HBRBACKGROUND)),
              reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
}

// Where each row lands: its class, its rectangle in the client area of the window it was placed
// in (rows of a group box beside it, at its offset), and whether the keyboard stops on it.
TEST_F(BuilderTest, EachRowBecomesAStandardControlWhereItsRowSays) {
    struct Expected {
        const char* name;
        const char* className;
        const char* placedIn;  // the row whose window holds it
        RECT rect;             // right/bottom of 0: not checked
        bool tabStop;
    };
    const Expected expected[] = {
        {"bFirst", "Button", "fTest", {8, 344, 83, 369}, true},
        {"Tabs", "SysTabControl32", "fTest", {8, 8, 505, 329}, true},
        {"Group", "Button", "Page1", {3, 3, 486, 109}, false},
        {"cbPick", "ComboBox", "Page1", {19, 27, 188, 0}, true},
        {"eInGroup", "Edit", "Page1", {204, 27, 468, 48}, true},
        {"lAuto", "Static", "Page1", {19, 59, 0, 0}, false},
        {"lCourier", "Static", "Page1", {16, 120, 316, 160}, false},
        {"mText", "Edit", "Page1", {16, 170, 294, 270}, true},
        {"lbRows", "ListBox", "Page2", {16, 16, 473, 166}, true},
        {"lLink", "Static", "Page2", {16, 230, 0, 0}, false},
        {"Shape", "Static", "Banner", {0, 0, 0, 60}, false},
        {"pbTest", "msctls_progress32", "Page2", {16, 175, 216, 192}, false},
        {"lvRows", "SysListView32", "Page1", {300, 120, 480, 270}, true},
    };
    for (const Expected& row : expected) {
        SCOPED_TRACE(row.name);
        HWND window = Window(row.name);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(ClassOf(window), row.className);
        HWND holder = std::string(row.placedIn) == "fTest" ? form_ : Window(row.placedIn);
        EXPECT_EQ(::GetParent(window), holder);
        const RECT rect = RectIn(window, holder);
        EXPECT_EQ(rect.left, row.rect.left);
        EXPECT_EQ(rect.top, row.rect.top);
        if (row.rect.right != 0) {
            EXPECT_EQ(rect.right, row.rect.right);
        }
        if (row.rect.bottom != 0) {
            EXPECT_EQ(rect.bottom, row.rect.bottom);
        }
        EXPECT_EQ((::GetWindowLongA(window, GWL_STYLE) & WS_TABSTOP) != 0, row.tabStop);
    }
    // The pages fill the tab control's display area, and only the first is shown.
    RECT display{};
    ::GetClientRect(Window("Tabs"), &display);
    ::SendMessageA(Window("Tabs"), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    ::OffsetRect(&display, 8, 8);
    for (const char* page : {"Page1", "Page2"}) {
        const RECT rect = RectIn(Window(page), form_);
        EXPECT_TRUE(::EqualRect(&rect, &display)) << page;
    }
    EXPECT_EQ(::GetWindowLongA(Window("Page1"), GWL_STYLE) & WS_VISIBLE, WS_VISIBLE);
    EXPECT_EQ(::GetWindowLongA(Window("Page2"), GWL_STYLE) & WS_VISIBLE, 0);
    // The list keeps its rows' texts and draws them itself; the drop-down list takes no typing.
    EXPECT_EQ(::GetWindowLongA(Window("lbRows"), GWL_STYLE) &
                  (LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS | LBS_NOTIFY),
              LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS | LBS_NOTIFY);
    EXPECT_EQ(::GetWindowLongA(Window("cbPick"), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
    EXPECT_EQ(::GetWindowLongA(Window("Group"), GWL_STYLE) & BS_TYPEMASK, BS_GROUPBOX);
    EXPECT_EQ(::GetWindowLongA(Window("lvRows"), GWL_STYLE) & (LVS_TYPEMASK | LVS_SINGLESEL),
              LVS_REPORT | LVS_SINGLESEL);
}

TEST_F(BuilderTest, FontsFollowTheRowFlags) {
    struct Expected {
        const char* name;
        const char* face;
        LONG height;
        bool bold;
    };
    for (const Expected& row :
         {Expected{"bFirst", "Tahoma", -11, false}, Expected{"eInGroup", "Tahoma", -11, false},
          Expected{"lCourier", "Courier New", -11, false}, Expected{"lBig", "Tahoma", -19, true}}) {
        SCOPED_TRACE(row.name);
        const LOGFONTA font = FontOf(Window(row.name));
        EXPECT_STREQ(font.lfFaceName, row.face);
        EXPECT_EQ(font.lfHeight, row.height);
        EXPECT_EQ(font.lfWeight >= FW_BOLD, row.bold);
    }
}

TEST_F(BuilderTest, LabelsWithoutAFixedSizeFitTheirTextAsItChanges) {
    HWND label = Window("lAuto");
    auto widthNeeded = [&](const std::string& text) {
        HDC dc = ::GetDC(label);
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageA(label, WM_GETFONT, 0, 0)));
        SIZE size{};
        ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        ::ReleaseDC(label, dc);
        return size.cx;
    };
    const RECT before = RectIn(label, Window("Page1"));
    EXPECT_GE(before.right - before.left, widthNeeded("Sized to its text"));
    dialog_->SetText("lAuto", "A much longer text than the label had before it");
    const RECT after = RectIn(label, Window("Page1"));
    EXPECT_GE(after.right - after.left,
              widthNeeded("A much longer text than the label had before it"));
    EXPECT_LT(after.right - after.left,
              widthNeeded("A much longer text than the label had before it") + 8);
    EXPECT_EQ(after.left, before.left);
    // A fixed-size label keeps its size whatever it shows.
    dialog_->SetText("lCourier", "x");
    const RECT fixed = RectIn(Window("lCourier"), Window("Page1"));
    EXPECT_EQ(fixed.right - fixed.left, 300);
    EXPECT_EQ(fixed.bottom - fixed.top, 40);
}

// What the portable side reads back is what it wrote or what the control shows.
TEST_F(BuilderTest, ContentRoundTripsThroughTheControls) {
    const std::string longText(100000, 'x');  // beyond an edit control's default limit
    dialog_->SetText("mText", longText + "\r\nend\r\n");
    EXPECT_EQ(dialog_->Text("mText"), longText + "\r\nend\r\n");
    const std::string ansi = "caf\xE9 \\ %UIN%";  // a character of the ANSI code page
    dialog_->SetText("eInGroup", ansi);
    EXPECT_EQ(dialog_->Text("eInGroup"), ansi);
    dialog_->SetText("fTest", "New caption");
    EXPECT_EQ(TextOf(form_), "New caption");
    EXPECT_EQ(dialog_->Text("fTest"), "New caption");

    dialog_->SetText("Page2", "Second page");
    char caption[64] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption;
    item.cchTextMax = sizeof caption;
    ::SendMessageA(Window("Tabs"), TCM_GETITEMA, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(caption, "Second page");
    EXPECT_EQ(dialog_->Text("Page2"), "Second page");

    for (const char* row : {"alpha", "Beta"}) dialog_->AddItem("cbPick", row);
    EXPECT_THAT(dialog_->Items("cbPick"), ElementsAre("alpha", "Beta"));
    EXPECT_EQ(dialog_->SelectedIndex("cbPick"), -1);
    dialog_->SetText("cbPick", "beta");  // the item of that text, letter case ignored
    EXPECT_EQ(dialog_->SelectedIndex("cbPick"), 1);
    EXPECT_EQ(dialog_->Text("cbPick"), "Beta");
    dialog_->SetText("cbPick", "no such item");
    EXPECT_EQ(dialog_->SelectedIndex("cbPick"), 1);
    dialog_->Select("cbPick", 0);
    EXPECT_EQ(dialog_->Text("cbPick"), "alpha");

    dialog_->AddItem("lbRows", "only");
    EXPECT_THAT(dialog_->Items("lbRows"), ElementsAre("only"));
    EXPECT_EQ(dialog_->SelectedIndex("lbRows"), -1);
    dialog_->Select("lbRows", 0);
    EXPECT_EQ(dialog_->SelectedIndex("lbRows"), 0);

    EXPECT_FALSE(dialog_->ReadOnly("mText"));
    dialog_->SetReadOnly("mText", true);
    EXPECT_TRUE(dialog_->ReadOnly("mText"));
    EXPECT_TRUE(::GetWindowLongA(Window("mText"), GWL_STYLE) & ES_READONLY);
    EXPECT_TRUE(::IsWindowEnabled(Window("mText")));

    dialog_->SetProgress("pbTest", 30, 120);
    EXPECT_EQ(::SendMessageA(Window("pbTest"), PBM_GETRANGE, FALSE, 0), 120);
    EXPECT_EQ(::SendMessageA(Window("pbTest"), PBM_GETPOS, 0, 0), 30);
    dialog_->SetProgress("pbTest", 500, 120);  // past the end: at the end
    EXPECT_EQ(::SendMessageA(Window("pbTest"), PBM_GETPOS, 0, 0), 120);
    EXPECT_THROW(dialog_->SetProgress("eInGroup", 1, 2), std::invalid_argument);

    EXPECT_TRUE(dialog_->Enabled("eInGroup"));
    dialog_->SetEnabled("eInGroup", false);
    EXPECT_FALSE(dialog_->Enabled("eInGroup"));
    EXPECT_FALSE(::IsWindowEnabled(Window("eInGroup")));

    EXPECT_EQ(dialog_->ActivePage(), 0);
    dialog_->ShowPage(1);
    EXPECT_EQ(dialog_->ActivePage(), 1);
    EXPECT_EQ(::GetWindowLongA(Window("Page1"), GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(::GetWindowLongA(Window("Page2"), GWL_STYLE) & WS_VISIBLE, WS_VISIBLE);
    EXPECT_THAT(events_.events, IsEmpty());  // none of this was the user's doing

    // Unicode in and out of an edit and a list view, whatever the ANSI code page lacks.
    const std::u16string cyrillic = u"\u041f\u0440\u0438\u0432\u0435\u0442 \U0001F600";
    dialog_->SetWideText("eInGroup", cyrillic);
    EXPECT_EQ(dialog_->WideText("eInGroup"), cyrillic);
    EXPECT_EQ(WideTextOf(Window("eInGroup")), reinterpret_cast<const wchar_t*>(cyrillic.c_str()));
    dialog_->SetColumns("lvRows", {{"A", 50}, {"B", 60}});
    dialog_->SetRows("lvRows", {{u"x", cyrillic}, {u"y", u"z"}, {u"w"}});
    HWND list = Window("lvRows");
    EXPECT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(ListCell(list, 0, 1), reinterpret_cast<const wchar_t*>(cyrillic.c_str()));
    EXPECT_EQ(ListCell(list, 1, 0), L"y");
    EXPECT_EQ(ListCell(list, 2, 1), L"");
    HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    EXPECT_EQ(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(dialog_->SelectedIndex("lvRows"), -1);
    dialog_->Select("lvRows", 1);
    EXPECT_EQ(dialog_->SelectedIndex("lvRows"), 1);
    dialog_->Select("lvRows", 7);  // past the rows: none
    EXPECT_EQ(dialog_->SelectedIndex("lvRows"), -1);
    dialog_->Select("lvRows", 2);
    dialog_->SetRows("lvRows", {{u"only"}});
    EXPECT_EQ(dialog_->SelectedIndex("lvRows"), -1);
    EXPECT_THAT(events_.events, IsEmpty());

    EXPECT_THROW(dialog_->SetText("noSuchControl", "x"), std::invalid_argument);
    EXPECT_THROW(dialog_->AddItem("eInGroup", "x"), std::invalid_argument);
    EXPECT_THROW(dialog_->SetRows("eInGroup", {}), std::invalid_argument);
}

TEST_F(BuilderTest, WhatTheUserDoesReachesTheHandlersByControlName) {
    events_.onClick = [&](const std::string& control) {
        if (control == "bSecond") dialog_->Close();
    };
    const auto problems = RunWithUser([&](User& user) {
        HWND form = user.WaitForWindow("Builder test");
        ::SendMessageA(Window("bFirst"), BM_CLICK, 0, 0);
        PickItem(Window("cbPick"), 2);
        ::SetForegroundWindow(form);
        HWND list = Window("lvRows");
        HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
        RECT item{};
        ::SendMessageW(header, HDM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
        ClickAt(CenterOf(header, item));
        user.Settle(form);
        item = RECT{LVIR_BOUNDS, 0, 0, 0};
        ::SendMessageW(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
        ClickAt(CenterOf(list, item));
        user.Settle(form);
        ClickAt(CenterOf(Window("eInGroup")));
        PressKey(VK_RETURN);
        user.Settle(form);
        ClickTab(Window("Tabs"), 1);
        user.Check(WaitUntil([&] { return ::IsWindowVisible(Window("lbRows")) != FALSE; }),
                   "a click on the second tab did not show its page");
        user.Check(!::IsWindowVisible(Window("eInGroup")), "the first page stayed visible");
        DoubleClickRow(Window("lbRows"), 1);
        user.Settle(form);
        ClickAt(CenterOf(Window("lLink")));
        user.Settle(form);
        ::SendMessageA(Window("bSecond"), BM_CLICK, 0, 0);  // its handler closes the dialog
    });
    EXPECT_THAT(problems, IsEmpty());
    EXPECT_THAT(events_.events,
                ElementsAre("show", "click bFirst", "change cbPick", "column 1 lvRows",
                            "change lvRows", "enter eInGroup", "change Tabs", "change lbRows",
                            "double-click lbRows", "click lLink", "click bSecond"));
    EXPECT_EQ(dialog_->SelectedIndex("lvRows"), 1);
    EXPECT_EQ(dialog_->SelectedIndex("lbRows"), 1);
    EXPECT_EQ(dialog_->Text("cbPick"), "gamma");
}

TEST_F(BuilderTest, OwnerDrawnRowsAreMeasuredAndPaintedByTheHandlers) {
    COLORREF evenRow = 0, oddRow = 0, iconPixel = 0;
    std::vector<int> heights;
    const auto problems = RunWithUser([&](User& user) {
        HWND form = user.WaitForWindow("Builder test");
        HWND list = Window("lbRows");
        ClickTab(Window("Tabs"), 1);
        user.Check(WaitUntil([&] { return ::IsWindowVisible(list) != FALSE; }),
                   "the second page did not show");
        MoveMouse(POINT{1200, 1000});
        user.Settle(form);
        for (int row = 0; row < 3; ++row) {
            heights.push_back(static_cast<int>(::SendMessageA(list, LB_GETITEMHEIGHT, row, 0)));
        }
        RECT row0{}, row1{};
        ::SendMessageA(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row0));
        ::SendMessageA(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row1));
        evenRow = ScreenPixel(list, POINT{row0.right - 5, row0.top + 2});
        oddRow = ScreenPixel(list, POINT{row1.right - 5, row1.top + 2});
        iconPixel = ScreenPixel(list, POINT{row1.left + 4 + 8, row1.top + 3 + 8});
        ::PostMessageA(form, WM_CLOSE, 0, 0);
    });
    EXPECT_THAT(problems, IsEmpty());
    ASSERT_EQ(events_.measuredTextHeights.size(), 3u);
    const int textHeight = events_.measuredTextHeights[0];
    EXPECT_GE(textHeight, 11);  // "Wg" in an 11-pixel font: ascent and descent
    EXPECT_LE(textHeight, 16);
    EXPECT_THAT(heights, ElementsAre(textHeight + 10, textHeight + 13, textHeight + 16));
    EXPECT_GT(events_.drawCalls, 0);
    EXPECT_EQ(evenRow, RGB(255, 255, 255));
    EXPECT_EQ(oddRow, RGB(216, 233, 254));
    EXPECT_EQ(iconPixel, RGB(255, 0, 0));
}

TEST_F(BuilderTest, KeyboardFollowsTheRowOrderAndSwitchesPages) {
    std::vector<std::string> visited;
    const auto problems = RunWithUser([&](User& user) {
        HWND form = user.WaitForWindow("Builder test");
        ::SetForegroundWindow(form);
        user.Settle(form);
        user.Check(user.Focus() == Window("bFirst"), "the first control did not have the keyboard");
        for (int step = 0; step < 7; ++step) {
            PressKey(VK_TAB);
            user.Settle(form);
            const int id = ::GetDlgCtrlID(user.Focus());
            visited.push_back(id >= kFirstId ? kTestLayout[id - kFirstId].name : "?");
        }
        PressKey(VK_TAB, true);  // Ctrl+Tab: the next page
        user.Check(WaitUntil([&] { return ::IsWindowVisible(Window("lbRows")) != FALSE; }),
                   "Ctrl+Tab did not show the second page");
        PressKey(VK_ESCAPE);  // as the close box
        user.Check(WaitUntil([&] { return !::IsWindowVisible(form); }),
                   "Escape did not close the dialog");
    });
    EXPECT_THAT(problems, IsEmpty());
    // Rows of the form in their order, the tab control among them, then the visible page's rows.
    EXPECT_THAT(visited,
                ElementsAre("bSecond", "Tabs", "cbPick", "eInGroup", "mText", "lvRows", "bFirst"));
    EXPECT_THAT(events_.events, ElementsAre("show", "change Tabs"));
}

TEST_F(BuilderTest, ModalLoopHandsAQuitRequestOnToTheHost) {
    const DWORD uiThread = ::GetCurrentThreadId();
    const auto problems = RunWithUser([&](User& user) {
        user.WaitForWindow("Builder test");
        ::PostThreadMessageA(uiThread, WM_QUIT, 42, 0);
        user.Check(WaitUntil([&] { return !::IsWindowVisible(form_); }),
                   "the dialog stayed open after the quit request");
    });
    EXPECT_THAT(problems, IsEmpty());
    MSG message{};
    ASSERT_TRUE(::PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 42u);
}

// The second button shows an error, then an information, then asks a question twice (answered
// Yes, then No).
TEST_F(BuilderTest, MessageBoxesBelongToTheDialogAndAFailingHandlerDoesNotEndIt) {
    std::vector<bool> answers;
    events_.onClick = [&](const std::string& control) {
        if (control == "bFirst") throw std::runtime_error("handler failed on purpose");
        if (control != "bSecond") return;
        dialog_->ShowError("Cannot create file \"x\".", "Error");
        dialog_->ShowInformation("2 files converted.", "Done");
        for (int question = 0; question < 2; ++question) {
            answers.push_back(dialog_->AskYesNo("Replace it?", "Question"));
        }
    };
    std::vector<std::string> boxes;
    const auto problems = RunWithUser([&](User& user) {
        HWND form = user.WaitForWindow("Builder test");
        const struct {
            const char* button;  // clicked first; null: the box follows the one before
            int answer;
        } steps[] = {{"bFirst", IDOK},
                     {"bSecond", IDOK},
                     {nullptr, IDOK},
                     {nullptr, IDYES},
                     {nullptr, IDNO}};
        for (const auto& step : steps) {
            if (step.button != nullptr) ::PostMessageA(Window(step.button), BM_CLICK, 0, 0);
            HWND box = user.WaitForMessageBox();
            user.Check(::GetWindow(box, GW_OWNER) == form,
                       "a message box without the dialog as owner");
            boxes.push_back(TextOf(box) + ": " + TextOf(::GetDlgItem(box, 0xFFFF)));
            user.Check(::GetDlgItem(box, step.answer) != nullptr, "a box without its button");
            ::PostMessageA(box, WM_COMMAND, step.answer, 0);
            user.Check(WaitUntil([&] { return !::IsWindow(box); }), "the message box stayed");
        }
        user.Check(::IsWindowVisible(form) != FALSE, "the dialog ended with its handler");
        ::PostMessageA(form, WM_CLOSE, 0, 0);
    });
    EXPECT_THAT(problems, IsEmpty());
    EXPECT_THAT(boxes, ElementsAre("Quillet: handler failed on purpose",
                                   "Error: Cannot create file \"x\".", "Done: 2 files converted.",
                                   "Question: Replace it?", "Question: Replace it?"));
    EXPECT_THAT(answers, ElementsAre(true, false));
}

TEST(BuilderLayout, RejectsLayoutsItCannotBuild) {
    REQUIRE_DISPLAY();
    RecordingEvents events;
    const std::vector<ControlSpec> noForm = {{ControlKind::Button, "b", "", 0, 0, 10, 10, "b"}};
    const std::vector<ControlSpec> twice = {{ControlKind::Form, "f", "", 0, 0, 100, 100, "Twice"},
                                            {ControlKind::Button, "b", "f", 0, 0, 10, 10, "b"},
                                            {ControlKind::Button, "b", "f", 0, 0, 10, 10, "b"}};
    const std::vector<ControlSpec> orphan = {
        {ControlKind::Form, "f", "", 0, 0, 100, 100, "Orphan"},
        {ControlKind::Button, "b", "nowhere", 0, 0, 10, 10, "b"}};
    const std::vector<ControlSpec> loosePage = {
        {ControlKind::Form, "f", "", 0, 0, 100, 100, "Loose page"},
        {ControlKind::Page, "p", "f", 0, 0, 10, 10, "p"}};
    for (const auto* layout : {&noForm, &twice, &orphan, &loosePage}) {
        EXPECT_THROW(platform::CreateDialog(*layout, events), std::invalid_argument);
    }
    EXPECT_EQ(::FindWindowA(nullptr, "Twice"), nullptr);  // nothing of a failed build stays
}

// =================================================================================================
// The plug-in's options dialog, as the messenger shows it
// =================================================================================================

// The host's service object: IUnknown and two operations the plug-in never calls.
class Service final : public quillet::IDAXPluginService {
public:
    std::int32_t QUILLET_STDCALL QueryInterface(const quillet::TGuid*, void** result) override {
        *result = nullptr;
        return quillet::E_NOINTERFACE_;
    }
    std::uint32_t QUILLET_STDCALL AddRef() override { return ++references_; }
    std::uint32_t QUILLET_STDCALL Release() override { return --references_; }
    void QUILLET_STDCALL HostReserved3() override {}
    void QUILLET_STDCALL HostReserved4() override {}

private:
    std::uint32_t references_ = 1;
};

constexpr const char* kCaption = "Quillet : Options";

// The pages of the options dialog, in the order of its tabs.
enum Page { kSaveAs, kExclude, kAliases, kPreview, kHistory, kLanguage, kAbout };

// The options dialog's windows as a user finds them: buttons by caption, everything else by
// where it sits on its page.
struct OptionsWindows {
    HWND form = nullptr;
    HWND tabs = nullptr;
    std::vector<HWND> pages;

    static OptionsWindows Find(User& user, const std::string& caption = kCaption) {
        OptionsWindows windows;
        windows.form = user.WaitForWindow(caption);
        for (HWND child : ChildrenInOrder(windows.form)) {
            const std::string name = ClassOf(child);
            if (name == "SysTabControl32") {
                windows.tabs = child;
            } else if (name != "Button") {
                windows.pages.push_back(child);
            }
        }
        if (windows.tabs == nullptr || windows.pages.size() != 7) {
            user.Stop("the dialog has no tab control with seven pages");
        }
        return windows;
    }

    HWND Button(User& user, const std::string& caption) const {
        HWND found =
            FindIn(form, [&](HWND w) { return ClassOf(w) == "Button" && TextOf(w) == caption; });
        if (found == nullptr) user.Stop("no button \"" + caption + "\"");
        return found;
    }

    // The control of that class whose top-left corner is at (left, top) on the page.
    HWND At(User& user, Page page, const std::string& className, int left, int top) const {
        HWND found = nullptr;
        for (HWND child : ChildrenInOrder(pages[page])) {
            const RECT rect = RectIn(child, pages[page]);
            if (ClassOf(child) == className && rect.left == left && rect.top == top) found = child;
        }
        if (found == nullptr) {
            user.Stop(className + " at " + std::to_string(left) + "," + std::to_string(top) +
                      " of page " + std::to_string(page) + " not found");
        }
        return found;
    }

    // The rows of the group boxes on "Save as" sit at the group box's offset: 3,3 and 3,115.
    HWND Folder(User& user) const { return At(user, kSaveAs, "ComboBox", 3 + 16, 3 + 24); }
    HWND SubFolder(User& user) const { return At(user, kSaveAs, "Edit", 3 + 201, 3 + 24); }
    HWND CustomFolder(User& user) const { return At(user, kSaveAs, "Edit", 3 + 16, 3 + 72); }
    HWND Browse(User& user) const { return At(user, kSaveAs, "Button", 3 + 424, 3 + 72); }
    HWND FileName(User& user) const { return At(user, kSaveAs, "Edit", 3 + 16, 115 + 32); }
    HWND Extension(User& user) const { return At(user, kSaveAs, "Edit", 3 + 416, 115 + 32); }
    HWND ExcludeEditor(User& user) const { return At(user, kExclude, "Edit", 16, 16); }
    HWND AliasEditor(User& user) const { return At(user, kAliases, "Edit", 16, 16); }
    // The sample message's rows sit in the group box at 3,3 of "Preview".
    HWND SampleName(User& user) const { return At(user, kPreview, "Edit", 3 + 176, 3 + 46); }
    HWND PreviewPath(User& user) const { return At(user, kPreview, "Edit", 3, 125); }
    HWND PreviewEntry(User& user) const { return At(user, kPreview, "Edit", 3, 167); }
    HWND PreviewNotes(User& user) const { return At(user, kPreview, "Static", 329, 152); }
    HWND Utf8Box(User& user) const { return At(user, kPreview, "Button", 3, 271); }
    HWND SearchText(User& user) const { return At(user, kHistory, "Edit", 44, 6); }
    HWND Results(User& user) const { return At(user, kHistory, "SysListView32", 3, 33); }
    HWND ResultCount(User& user) const { return At(user, kHistory, "Static", 3, 187); }
    HWND ResultEntry(User& user) const { return At(user, kHistory, "Edit", 3, 229); }
    HWND Languages(User& user) const { return At(user, kLanguage, "ListBox", 16, 16); }
    HWND RestartNotice(User& user) const { return At(user, kLanguage, "Static", 16, 264); }

    void ShowPage(User& user, Page page) const {
        ClickTab(tabs, page);
        if (!WaitUntil([&] { return ::IsWindowVisible(pages[page]) != FALSE; })) {
            user.Stop("a click on tab " + std::to_string(page) + " did not show its page");
        }
        user.Settle(form);
    }

    // Every page in turn, each saved as options-<suffix of the page>.
    void Screenshots(User& user, const std::string& prefix) const {
        const char* names[] = {"save-as", "exclude",  "aliases", "preview",
                               "history", "language", "about"};
        for (int page = kSaveAs; page <= kAbout; ++page) {
            ShowPage(user, static_cast<Page>(page));
            TakeScreenshot(user, form, prefix + names[page]);
        }
    }

private:
    template <typename Match>
    static HWND FindIn(HWND parent, Match match) {
        for (HWND child : ChildrenInOrder(parent)) {
            if (match(child)) return child;
            if (HWND found = FindIn(child, match)) return found;
        }
        return nullptr;
    }
};

// The plug-in loaded from a fresh copy in a temporary folder, started as the messenger starts
// it, so that everything it writes lands in that folder.
class PluginOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        fs::copy_file(quillet::test::BuiltModule(), folder_.native("Quillet.dll"));
        Load(folder_.native("Quillet.dll"));
    }

    // Loads the plug-in library at `file` and starts it.
    void Load(const fs::path& file) {
        module_ = ::LoadLibraryW(file.c_str());
        ASSERT_NE(module_, nullptr) << "error " << ::GetLastError();
        auto create = reinterpret_cast<quillet::CreateCorvexPLUGINProc>(
            reinterpret_cast<void*>(::GetProcAddress(module_, "CreateCorvexPLUGIN")));
        ASSERT_NE(create, nullptr);
        create(&plugin_, &service_);
        ASSERT_NE(plugin_, nullptr);
        plugin_->GetPluginInfo()->DllHandle = module_;
        Send(quillet::EVENT_STARTUP);
    }

    void TearDown() override {
        if (plugin_ != nullptr) plugin_->Release();
        if (module_ != nullptr) ::FreeLibrary(module_);
    }

    void Send(std::int32_t code, void* data = nullptr) {
        quillet::TPluginEvent event{code, data, 0, 0, 0};
        plugin_->HandleEvent(&event);
    }

    // Shows the options as the messenger asks for them while `script` plays the user; the
    // call returns when the dialog has closed. Returns the user's problems.
    std::vector<std::string> ShowOptions(std::function<void(User&)> script) {
        User user(std::move(script));
        Send(quillet::EVENT_SHOW_OPTIONS);
        user.Join();
        return user.problems();
    }

    std::string Setting(const char* section, const char* key) const {
        char value[4096] = {};
        ::GetPrivateProfileStringA(section, key, "<missing>", value, sizeof value,
                                   folder_.path("Quillet.ini").c_str());
        return value;
    }

    std::vector<std::string> FilesInFolder() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_.native())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    void WriteFile(const std::string& name, const std::string& bytes) {
        fs::create_directories(folder_.native(name).parent_path());
        quillet::test::WriteBytes(folder_.native(name), bytes);
    }

    quillet::test::TempFolder folder_;
    Service service_;
    HMODULE module_ = nullptr;
    quillet::IDAXPlugin* plugin_ = nullptr;
};

TEST_F(PluginOptionsTest, FreshFolderShowsTheDefaultsOnEveryPageAndCancelWritesNothing) {
    struct Seen {
        std::string folder, subFolder, fileName, extension, customFolder, excluded, aliases;
        bool customEnabled = true, browseEnabled = true;
        std::vector<std::string> languages;
        std::vector<std::string> tabOrder;
        RECT frame{}, client{};
        LONG style = 0;
    } seen;
    const auto problems = ShowOptions([&](User& user) {
        const OptionsWindows dialog = OptionsWindows::Find(user);
        const std::pair<HWND, const char*> named[] = {
            {dialog.Button(user, "Cancel"), "Button1"},
            {dialog.Button(user, "Save"), "bSave"},
            {dialog.Button(user, "Reset to Default"), "bReset"},
            {dialog.tabs, "PageControl1"},
            {dialog.Folder(user), "cbFolder1"},
            {dialog.SubFolder(user), "ePath2"},
            {dialog.FileName(user), "eFileName"},
            {dialog.Extension(user), "eExt"},
        };
        const HWND first = ::GetNextDlgTabItem(dialog.form, nullptr, FALSE);
        for (HWND item = first; item != nullptr && seen.tabOrder.size() < 20;) {
            const auto* known =
                std::find_if(std::begin(named), std::end(named),
                             [&](const auto& entry) { return entry.first == item; });
            seen.tabOrder.push_back(known != std::end(named) ? known->second : ClassOf(item));
            item = ::GetNextDlgTabItem(dialog.form, item, FALSE);
            if (item == first) break;
        }
        seen.folder = TextOf(dialog.Folder(user));
        seen.subFolder = TextOf(dialog.SubFolder(user));
        seen.fileName = TextOf(dialog.FileName(user));
        seen.extension = TextOf(dialog.Extension(user));
        seen.customFolder = TextOf(dialog.CustomFolder(user));
        seen.customEnabled = ::IsWindowEnabled(dialog.CustomFolder(user)) != FALSE;
        seen.browseEnabled = ::IsWindowEnabled(dialog.Browse(user)) != FALSE;
        seen.excluded = TextOf(dialog.ExcludeEditor(user));
        seen.aliases = TextOf(dialog.AliasEditor(user));
        HWND list = dialog.Languages(user);
        for (LRESULT row = 0; row < ::SendMessageA(list, LB_GETCOUNT, 0, 0); ++row) {
            char text[256] = {};
            ::SendMessageA(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text));
            seen.languages.push_back(text);
        }
        ::GetWindowRect(dialog.form, &seen.frame);
        ::GetClientRect(dialog.form, &seen.client);
        seen.style = ::GetWindowLongA(dialog.form, GWL_STYLE);
        ::SendMessageA(dialog.Button(user, "Cancel"), BM_CLICK, 0, 0);
    });
    EXPECT_THAT(problems, IsEmpty());
    EXPECT_EQ(seen.folder, "%QUILLET PATH%");
    EXPECT_EQ(seen.subFolder, "History");
    EXPECT_EQ(seen.fileName, "%PROTOCOL%\\%UIN%");
    EXPECT_EQ(seen.extension, "txt");
    EXPECT_EQ(seen.customFolder, "C:\\");
    EXPECT_FALSE(seen.customEnabled);
    EXPECT_FALSE(seen.browseEnabled);
    EXPECT_EQ(seen.excluded, "");
    EXPECT_EQ(seen.aliases, "");
    EXPECT_THAT(seen.languages, ElementsAre("English"));
    // The buttons, the tabs, then the page shown (the custom folder's controls are disabled).
    EXPECT_THAT(seen.tabOrder, ElementsAre("Button1", "bSave", "bReset", "PageControl1",
                                           "cbFolder1", "ePath2", "eFileName", "eExt"));
    EXPECT_EQ(seen.frame.left, 0);
    EXPECT_EQ(seen.frame.top, 0);
    EXPECT_EQ(seen.client.right, 513);
    EXPECT_EQ(seen.client.bottom, 380);
    EXPECT_FALSE(seen.style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_THAT(FilesInFolder(), ElementsAre("Quillet.dll"));
}

TEST_F(PluginOptionsTest, CloseBoxEndsTheDialogAndWritesNothing) {
    const auto problems = ShowOptions([&](User& user) {
        const OptionsWindows dialog = OptionsWindows::Find(user);
        ::SendMessageA(dialog.SubFolder(user), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Changed"));
        ::PostMessageA(dialog.form, WM_CLOSE, 0, 0);
        user.Check(WaitUntil([&] { return !::IsWindow(dialog.form); }),
                   "the close box did not end the dialog");
    });
    EXPECT_THAT(problems, IsEmpty());
    EXPECT_THAT(FilesInFolder(), ElementsAre("Quillet.dll"));
}

TEST_F(PluginOptionsTest, SaveWritesWhatWasTypedAndTheListsTakeEffectAtOnce) {
    bool customEnabledAfterPick = false;
    std::string typed;
    const auto problems = ShowOptions([&](User& user) {
        const OptionsWindows dialog = OptionsWindows::Find(user);
        PickItem(dialog.Folder(user), 10);  // "%CUSTOM%"
        user.Settle(dialog.form);
        customEnabledAfterPick = ::IsWindowEnabled(dialog.CustomFolder(user)) != FALSE;
        // Typed by keyboard, after a click into the field.
        ::SendMessageA(dialog.CustomFolder(user), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
        ::SetForegroundWindow(dialog.form);
        ClickAt(CenterOf(dialog.CustomFolder(user)));
        user.Settle(dialog.form);
        TypeText(L"D:\\Logs");
        user.Check(
            WaitUntil([&] { return TextOf(dialog.CustomFolder(user)) == "D:\\Logs"; }),
            "typing into the custom folder gave \"" + TextOf(dialog.CustomFolder(user)) + "\"");
        typed = TextOf(dialog.CustomFolder(user));
        ::SendMessageA(dialog.SubFolder(user), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Chats"));
        ::SendMessageA(dialog.FileName(user), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("%UIN%"));
        ::SendMessageA(dialog.Extension(user), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("log"));
        ::SendMessageA(dialog.ExcludeEditor(user), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>("12345\r\nSpammer\r\n"));
        ::SendMessageA(dialog.AliasEditor(user), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>("Nobody==Somebody"));
        ::SendMessageA(dialog.Button(user, "Save"), BM_CLICK, 0, 0);
        user.Check(WaitUntil([&] { return !::IsWindow(dialog.form); }), "Save did not close");
    });
    EXPECT_THAT(problems, IsEmpty());
    EXPECT_TRUE(customEnabledAfterPick);
    EXPECT_EQ(typed, "D:\\Logs");
    EXPECT_EQ(Setting("Settings", "PathFolder1"), "%CUSTOM%");
    EXPECT_EQ(Setting("Settings", "PathFolder2"), "Chats");
    EXPECT_EQ(Setting("Settings", "PathFile1"), "%UIN%");
    EXPECT_EQ(Setting("Settings", "PathFileExt"), "log");
    EXPECT_EQ(Setting("Settings", "PathFolderCustom"), "D:\\Logs");
    EXPECT_EQ(quillet::test::ReadBytes(folder_.native("Exclude.ini")), "12345\r\nSpammer\r\n");
    EXPECT_EQ(quillet::test::ReadBytes(folder_.native("aliases.ini")), "Nobody==Somebody");
    EXPECT_EQ(Setting("Translate", "CurLang"), "<missing>");  // Save does not store it

    // The lists were reloaded when the dialog closed: a message of an excluded contact is not
    // written, another one is (in the custom folder's place, now the plug-in's own folder).
    ::WritePrivateProfileStringA("Settings", "PathFolder1", "%QUILLET PATH%",
                                 folder_.path("Quillet.ini").c_str());
    for (const char16_t* uin : {u"12345", u"777"}) {
        quillet::TChatMessage message{0,    1196000000u, u"ICQ",   uin, u"Someone",
                                      u"1", u"Me",       u"hello", 0};
        Send(quillet::EVENT_MESSAGE_RECEIVED, &message);
    }
    EXPECT_FALSE(fs::exists(folder_.native("Chats\\12345.log")));
    EXPECT_TRUE(fs::exists(folder_.native("Chats\\777.log")));
}

TEST_F(PluginOptionsTest, ResetPutsTheDefaultsBackAndKeepsTheCustomFolder) {
    WriteFile("Quillet.ini",
              "[Settings]\r\nPathFolder1=%custom%\r\nPathFolder2=Elsewhere\r\n"
              "PathFile1=%UIN%\r\nPathFileExt=log\r\nPathFolderCustom=D:\\Mine\r\n");
    struct State {
        std::string folder, subFolder, fileName, extension, customFolder;
        bool customEnabled = false;
    } before, after;
    auto read = [](User& user, const OptionsWindows& dialog, State& state) {
        state.folder = TextOf(dialog.Folder(user));
        state.subFolder = TextOf(dialog.SubFolder(user));
        state.fileName = TextOf(dialog.FileName(user));
        state.extension = TextOf(dialog.Extension(user));
        state.customFolder = TextOf(dialog.CustomFolder(user));
        state.customEnabled = ::IsWindowEnabled(dialog.CustomFolder(user)) != FALSE;
    };
    const auto problems = ShowOptions([&](User& user) {
        const OptionsWindows dialog = OptionsWindows::Find(user);
        read(user, dialog, before);
        ::SendMessageA(dialog.Button(user, "Reset to Default"), BM_CLICK, 0, 0);
        user.Settle(dialog.form);
        read(user, dialog, after);
        ::SendMessageA(dialog.Button(user, "Save"), BM_CLICK, 0, 0);
    });
    EXPECT_THAT(problems, IsEmpty());
    EXPECT_EQ(before.folder, "%CUSTOM%");  // the stored value's letter case does not matter
    EXPECT_TRUE(before.customEnabled);
    EXPECT_EQ(before.subFolder, "Elsewhere");
    EXPECT_EQ(after.folder, "%QUILLET PATH%");
    EXPECT_EQ(after.subFolder, "History");
    EXPECT_EQ(after.fileName, "%PROTOCOL%\\%MYUIN%\\%UIN%");
    EXPECT_EQ(after.extension, "txt");
    EXPECT_EQ(after.customFolder, "D:\\Mine");
    EXPECT_FALSE(after.customEnabled);
    EXPECT_EQ(Setting("Settings", "PathFolder1"), "%QUILLET PATH%");
    EXPECT_EQ(Setting("Settings", "PathFile1"), "%PROTOCOL%\\%MYUIN%\\%UIN%");
    EXPECT_EQ(Setting("Settings", "PathFolderCustom"), "D:\\Mine");
}

// The Preview page, opened through the options event, shows the path the next message then
// really takes, also after unsaved changes of the file-name template and the alias rules. With
// UTF-8 chosen, a new contact's file begins with the byte-order mark and keeps every character,
// while a file that already holds ANSI entries goes on getting them.
TEST_F(PluginOptionsTest, PreviewShowsWhereTheNextMessageGoesAndUtf8KeepsEveryCharacter) {
    WriteFile("HISTORY\\Carol\\555.TXT", "old entry\r\n");
    std::string shownFirst, shownTyped, notes;
    const auto problems = ShowOptions([&](User& user) {
        const OptionsWindows dialog = OptionsWindows::Find(user);
        ::SendMessageA(dialog.FileName(user), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>("%CONTACTNAME%\\%UIN%"));
        ::SendMessageA(dialog.AliasEditor(user), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>("Alice==Ally"));
        dialog.ShowPage(user, kPreview);
        shownFirst = TextOf(dialog.PreviewPath(user));
        ::SendMessageA(dialog.SampleName(user), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
        ::SetForegroundWindow(dialog.form);
        ClickAt(CenterOf(dialog.SampleName(user)));
        user.Settle(dialog.form);
        TypeText(L"Alice");
        user.Check(WaitUntil([&] {
                       return TextOf(dialog.PreviewPath(user)).find("Ally") != std::string::npos;
                   }),
                   "typing the name gave the path \"" + TextOf(dialog.PreviewPath(user)) + "\"");
        shownTyped = TextOf(dialog.PreviewPath(user));
        ::SendMessageA(dialog.Utf8Box(user), BM_CLICK, 0, 0);
        user.Settle(dialog.form);
        notes = TextOf(dialog.PreviewNotes(user));
        ::SendMessageA(dialog.Button(user, "Save"), BM_CLICK, 0, 0);
        user.Check(WaitUntil([&] { return !::IsWindow(dialog.form); }), "Save did not close");
    });
    EXPECT_THAT(problems, IsEmpty());
    EXPECT_EQ(shownFirst, folder_.path() + "\\HISTORY\\Bob\\12345.TXT");
    EXPECT_EQ(shownTyped, folder_.path() + "\\HISTORY\\Ally\\12345.TXT");
    EXPECT_NE(notes.find("Alias pass 1: the rule \"Alice==Ally\""), std::string::npos) << notes;
    EXPECT_NE(notes.find("A new file: it will be written in UTF-8."), std::string::npos) << notes;

    const struct {
        const char16_t* uin;
        const char16_t* name;
        const char16_t* text;
        std::string file;
        std::string expectedStart, expectedEnd;
    } messages[] = {
        {u"12345", u"Alice", u"Gr\u00FC\u00DFe \U0001F600", shownTyped,
         "\xEF\xBB\xBF--------------------------------------<-\r\nAlice (",
         ")\r\nGr\xC3\xBC\xC3\x9F"
         "e \xF0\x9F\x98\x80\r\n\r\n"},
        {u"555", u"Carol", u"Gr\u00FC\u00DFe", folder_.path("HISTORY\\Carol\\555.TXT"),
         "old entry\r\n--------------------------------------<-\r\nCarol (",
         ")\r\nGr\xFC\xDF"
         "e\r\n\r\n"},
    };
    for (const auto& m : messages) {
        quillet::TChatMessage message{0,      1196000000u, u"ICQ", m.uin, m.name,
                                      u"777", u"Me",       m.text, 0};
        Send(quillet::EVENT_MESSAGE_RECEIVED, &message);
        const std::string written = quillet::test::ReadBytes(fs::path(m.file)).value_or("");
        EXPECT_THAT(written, StartsWith(m.expectedStart)) << m.file;
        EXPECT_TRUE(written.size() >= m.expectedEnd.size() &&
                    written.compare(written.size() - m.expectedEnd.size(), std::string::npos,
                                    m.expectedEnd) == 0)
            << m.file << ": " << written;
    }
}

// A hidden window of the test's thread that hands each message posted to it to `deliver`: the
// host's message events, arriving whenever the plug-in's thread lets its messages run.
class MessageDeliverer {
public:
    static constexpr UINT kDeliver = WM_APP + 2;

    explicit MessageDeliverer(std::function<void()> deliver) : deliver_(std::move(deliver)) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &MessageDeliverer::Procedure;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClass;
        ::RegisterClassA(&windowClass);  // fails harmlessly when a test before registered it
        window = ::CreateWindowExA(0, kClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                   ::GetModuleHandleA(nullptr), nullptr);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~MessageDeliverer() { ::DestroyWindow(window); }
    MessageDeliverer(const MessageDeliverer&) = delete;
    MessageDeliverer& operator=(const MessageDeliverer&) = delete;

    HWND window = nullptr;

private:
    static constexpr const char* kClass = "QuilletTestDeliverer";

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self =
            reinterpret_cast<MessageDeliverer*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message != kDeliver || self == nullptr) {
            return ::DefWindowProcA(window, message, wParam, lParam);
        }
        self->deliver_();
        return 0;
    }

    std::function<void()> deliver_;
};

std::wstring Wide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

// A Cyrillic search from the History page, on a system whose ANSI code page (1252) has no
// Cyrillic, finds the entry of a UTF-8 file and lists its text as itself, emoji and all; the
// selected row shows the entry whole. The host's message events that arrive while the page
// searches (posted right after the click, so the search's turns of the messages deliver them)
// are recorded as usual.
TEST_F(PluginOptionsTest, HistoryPageFindsUnicodeTextWhileMessagesArrive) {
    if (::GetACP() != 1252) GTEST_SKIP() << "needs code page 1252 (LANG=en_US.UTF-8)";
    const std::u16string vera = u"\u0412\u0435\u0440\u0430";
    const std::u16string text =
        u"\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440 \U0001F600";
    using quillet::EntryBytes;
    using quillet::EntryDirection;
    WriteFile("HISTORY\\ICQ\\777\\555.TXT",
              "\xEF\xBB\xBF" +
                  EntryBytes(EntryDirection::Received, platform::WideToUtf8(vera),
                             "09:00:00 15/01/2009", platform::WideToUtf8(text)) +
                  EntryBytes(EntryDirection::Sent, "Me", "09:01:00 15/01/2009", "ok"));
    WriteFile("HISTORY\\ICQ\\777\\12345.TXT",
              EntryBytes(EntryDirection::Received, "Bob", "10:00:00 01/02/2008", "Hello"));

    constexpr int kMessages = 5;
    std::atomic<HWND> findButton{nullptr};
    int delivered = 0, deliveredWhileSearching = 0;
    MessageDeliverer deliverer([&] {
        deliveredWhileSearching += TextOf(findButton) == "Stop" ? 1 : 0;
        quillet::TChatMessage message{0,     1196000000u,          u"ICQ", u"4242", u"Dora", u"777",
                                      u"Me", u"arrived meanwhile", 0};
        Send(quillet::EVENT_MESSAGE_RECEIVED, &message);
        ++delivered;
    });
    LRESULT rows = -1;
    std::wstring cell, contact, entry;
    std::string count;
    const auto problems = ShowOptions([&](User& user) {
        const OptionsWindows dialog = OptionsWindows::Find(user);
        dialog.ShowPage(user, kHistory);
        HWND find = dialog.Button(user, "Find");
        findButton = find;
        ::SendMessageW(dialog.SearchText(user), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(L"\u043f\u0440\u0438\u0432\u0435\u0442"));
        ::PostMessageA(find, BM_CLICK, 0, 0);
        for (int i = 0; i < kMessages; ++i) {
            ::PostMessageA(deliverer.window, MessageDeliverer::kDeliver, 0, 0);
        }
        user.Check(
            WaitUntil(
                [&] { return TextOf(find) == "Find" && !TextOf(dialog.ResultCount(user)).empty(); },
                20000),
            "the search did not end");
        HWND list = dialog.Results(user);
        rows = ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
        cell = ListCell(list, 0, 4);
        contact = ListCell(list, 0, 2);
        count = TextOf(dialog.ResultCount(user));
        ::SetForegroundWindow(dialog.form);
        RECT row{LVIR_BOUNDS, 0, 0, 0};
        ::SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
        ClickAt(CenterOf(list, row));
        user.Check(WaitUntil([&] { return !WideTextOf(dialog.ResultEntry(user)).empty(); }),
                   "selecting the row showed no entry");
        entry = WideTextOf(dialog.ResultEntry(user));
        TakeScreenshot(user, dialog.form, "options-history-found");
        ::SendMessageA(dialog.Button(user, "Cancel"), BM_CLICK, 0, 0);
    });
    EXPECT_THAT(problems, IsEmpty());
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(cell, Wide(text));
    EXPECT_EQ(contact, Wide(vera));
    EXPECT_THAT(count, StartsWith("1 entries in 1 files."));
    EXPECT_NE(entry.find(Wide(vera + u" (09:00:00 15/01/2009)\r\n" + text)), std::wstring::npos);
    EXPECT_EQ(delivered, kMessages);
    EXPECT_EQ(deliveredWhileSearching, kMessages);
    const std::string recorded =
        quillet::test::ReadBytes(folder_.native("HISTORY\\ICQ\\777\\4242.TXT")).value_or("");
    std::size_t entries = 0;
    for (std::size_t at = 0; (at = recorded.find("arrived meanwhile", at)) != std::string::npos;
         ++at) {
        ++entries;
    }
    EXPECT_EQ(entries, static_cast<std::size_t>(kMessages)) << recorded;
}

// Old history converted from the dialog while the messenger records: the messages that arrive
// during the progress loop are written as usual, and end up in the converted file, once each,
// in order, after the old entries.
TEST_F(PluginOptionsTest, ConversionFromTheDialogKeepsMessagesThatArriveMeanwhile) {
    using quillet::EntryBytes;
    using quillet::EntryDirection;
    std::string old;
    for (int i = 0; i < 40000; ++i) {  // 4 MB: several pieces, so several rounds of messages
        old += EntryBytes(EntryDirection::Received, "Bob", "10:00:00 01/02/2008",
                          "Gr\xFC\xDF"
                          "e " +
                              std::to_string(i));
    }
    WriteFile("HISTORY\\ICQ\\777\\12345.TXT", old);
    constexpr int kMessages = 5;
    std::atomic<HWND> convertButton{nullptr};
    int delivered = 0, deliveredWhileConverting = 0;
    MessageDeliverer deliverer([&] {
        deliveredWhileConverting += TextOf(convertButton) == "Cancel" ? 1 : 0;
        const std::u16string text = u"meanwhile " + std::u16string(1, u'0' + delivered);
        quillet::TChatMessage message{0,      1196000000u, u"ICQ",       u"12345", u"Bob",
                                      u"777", u"Me",       text.c_str(), 0};
        Send(quillet::EVENT_MESSAGE_RECEIVED, &message);
        ++delivered;
    });
    std::string question, report;
    const auto problems = ShowOptions([&](User& user) {
        const OptionsWindows dialog = OptionsWindows::Find(user);
        dialog.ShowPage(user, kPreview);
        HWND convert = dialog.Button(user, "Convert existing files...");
        convertButton = convert;
        ::PostMessageA(convert, BM_CLICK, 0, 0);
        HWND ask = user.WaitForMessageBox();
        question = TextOf(::GetDlgItem(ask, 0xFFFF));
        ::PostMessageA(ask, WM_COMMAND, IDYES, 0);
        for (int i = 0; i < kMessages; ++i) {
            ::PostMessageA(deliverer.window, MessageDeliverer::kDeliver, 0, 0);
        }
        user.Check(WaitUntil([&] { return !::IsWindow(ask); }), "the question stayed");
        HWND done = user.WaitForMessageBox(60000);
        report = TextOf(::GetDlgItem(done, 0xFFFF));
        ::PostMessageA(done, WM_COMMAND, IDOK, 0);
        user.Check(WaitUntil([&] { return !::IsWindow(done); }), "the report stayed");
        ::SendMessageA(dialog.Button(user, "Cancel"), BM_CLICK, 0, 0);
    });
    EXPECT_THAT(problems, IsEmpty());
    EXPECT_THAT(question, StartsWith("History files in ANSI: 1 ("));
    EXPECT_THAT(report, StartsWith("Converted to UTF-8: 1 of 1 history files."));
    EXPECT_EQ(delivered, kMessages);
    EXPECT_GT(deliveredWhileConverting, 0);
    const std::string after =
        quillet::test::ReadBytes(folder_.native("HISTORY\\ICQ\\777\\12345.TXT")).value_or("");
    ASSERT_EQ(after.substr(0, 3), "\xEF\xBB\xBF");
    std::size_t at = after.find(
        "Gr\xC3\xBC\xC3\x9F"
        "e 39999\r\n");
    ASSERT_NE(at, std::string::npos) << "the old entries, converted";
    for (int i = 0; i < kMessages; ++i) {
        at = after.find("meanwhile " + std::to_string(i) + "\r\n", at);
        EXPECT_NE(at, std::string::npos) << "message " << i << " missing or out of order";
    }
    std::size_t entries = 0;
    for (std::size_t from = 0; (from = after.find("meanwhile", from)) != std::string::npos;
         ++from) {
        ++entries;
    }
    EXPECT_EQ(entries, static_cast<std::size_t>(kMessages));
}

// The test host's own windows on the plug-in's thread, as the messenger has them: its main
// window, active when the options are asked for, and a hidden one it keeps disabled. A message
// posted to the main window asks for the options again from within whatever modal loop runs
// then, with no window of the thread active first. (Hiding a shown window takes Wine 2 s here.)
class HostWindows {
public:
    static constexpr UINT kAskForOptionsAgain = WM_APP + 1;

    explicit HostWindows(std::function<void()> askForOptions)
        : askForOptions_(std::move(askForOptions)) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &HostWindows::Procedure;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClass;
        ::RegisterClassA(&windowClass);  // fails harmlessly when a test before registered it
        main = Create("Host", WS_VISIBLE);
        disabled = Create("Host, disabled", 0);
        ::SetWindowLongPtrA(main, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        ::EnableWindow(disabled, FALSE);
        ::SetForegroundWindow(main);
    }
    ~HostWindows() {
        ::DestroyWindow(disabled);
        ::DestroyWindow(main);
    }
    HostWindows(const HostWindows&) = delete;
    HostWindows& operator=(const HostWindows&) = delete;

    HWND main = nullptr;
    HWND disabled = nullptr;
    // The captions of the windows in front before and after the last request for the options.
    std::string frontBefore = "?", frontAfter = "?";
    std::atomic<bool> answered{false};

private:
    static constexpr const char* kClass = "QuilletTestHost";

    static HWND Create(const char* caption, DWORD visible) {
        return ::CreateWindowExA(0, kClass, caption, WS_POPUP | WS_CAPTION | visible, 600, 100, 240,
                                 120, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<HostWindows*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message != kAskForOptionsAgain || self == nullptr) {
            return ::DefWindowProcA(window, message, wParam, lParam);
        }
        ::SetActiveWindow(nullptr);
        self->frontBefore = TextOf(::GetForegroundWindow());
        self->askForOptions_();
        self->frontAfter = TextOf(::GetForegroundWindow());
        self->answered = true;
        return 0;
    }

    std::function<void()> askForOptions_;
};

// Top-level windows of this process of a class, shown or not.
int WindowsOfClass(const std::string& className) {
    struct Count {
        const std::string* className;
        int found;
    } count{&className, 0};
    ::EnumWindows(
        [](HWND window, LPARAM parameter) WINAPI -> BOOL {
            auto& state = *reinterpret_cast<Count*>(parameter);
            DWORD process = 0;
            ::GetWindowThreadProcessId(window, &process);
            if (process == ::GetCurrentProcessId() && ClassOf(window) == *state.className) {
                ++state.found;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.found;
}

// The dialog belongs to the host's active window and disables the host's windows while it is
// open; asked for again meanwhile, it opens no second dialog but comes to the front. Whichever
// button closes it, the windows that were enabled are enabled again, and only those.
TEST_F(PluginOptionsTest, DialogIsModalToTheHostAndAskedForAgainComesToTheFront) {
    HostWindows host([&] { Send(quillet::EVENT_SHOW_OPTIONS); });
    for (const char* closeWith : {"Cancel", "Save"}) {
        SCOPED_TRACE(closeWith);
        host.answered = false;
        struct Seen {
            HWND owner = nullptr;
            bool mainEnabled = true, disabledEnabled = true;
            int dialogs = 0;
        } seen;
        const auto problems = ShowOptions([&](User& user) {
            user.Keep(host.main);
            user.Keep(host.disabled);
            const OptionsWindows dialog = OptionsWindows::Find(user);
            seen.owner = ::GetWindow(dialog.form, GW_OWNER);
            seen.mainEnabled = ::IsWindowEnabled(host.main) != FALSE;
            seen.disabledEnabled = ::IsWindowEnabled(host.disabled) != FALSE;
            ::PostMessageA(host.main, HostWindows::kAskForOptionsAgain, 0, 0);
            user.Check(WaitUntil([&] { return host.answered.load(); }),
                       "the options asked for again did not return at once");
            seen.dialogs = WindowsOfClass("QuilletDialog");
            ::SendMessageA(dialog.Button(user, closeWith), BM_CLICK, 0, 0);
            user.Check(WaitUntil([&] { return !::IsWindow(dialog.form); }), "the dialog stayed");
        });
        EXPECT_THAT(problems, IsEmpty());
        EXPECT_EQ(seen.owner, host.main);
        EXPECT_FALSE(seen.mainEnabled);
        EXPECT_FALSE(seen.disabledEnabled);
        EXPECT_EQ(seen.dialogs, 1);
        EXPECT_EQ(host.frontBefore, "");
        EXPECT_EQ(host.frontAfter, kCaption);
        EXPECT_TRUE(::IsWindowEnabled(host.main));
        EXPECT_FALSE(::IsWindowEnabled(host.disabled));
    }
    EXPECT_EQ(Setting("Settings", "PathFolder2"), "History");  // Save closed the second one
}

// A "Failed write to history" box open when the options are asked for stays usable while the
// dialog is up: it is not disabled with the host's windows.
TEST_F(PluginOptionsTest, BoxAlreadyOpenStaysUsableWhileTheDialogIsOpen) {
    HostWindows host([&] { Send(quillet::EVENT_SHOW_OPTIONS); });
    fs::create_directories(folder_.native("HISTORY\\ICQ\\777\\12345.TXT"));  // the write fails
    bool boxEnabled = false, hostDisabled = false;
    User user([&](User& user) {
        user.Keep(host.main);
        user.Keep(host.disabled);
        HWND box = user.WaitForMessageBox();
        ::PostMessageA(host.main, HostWindows::kAskForOptionsAgain, 0, 0);
        const OptionsWindows dialog = OptionsWindows::Find(user);
        boxEnabled = ::IsWindowEnabled(box) != FALSE;
        hostDisabled = ::IsWindowEnabled(host.main) == FALSE;
        ::SendMessageA(dialog.Button(user, "Cancel"), BM_CLICK, 0, 0);
        user.Check(WaitUntil([&] { return !::IsWindow(dialog.form); }), "the dialog stayed");
        ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        user.Check(WaitUntil([&] { return !::IsWindow(box); }), "the message box stayed");
    });
    quillet::TChatMessage message{0,      1196000000u, u"ICQ",   u"12345", u"Bob",
                                  u"777", u"Me",       u"hello", 0};
    Send(quillet::EVENT_MESSAGE_RECEIVED, &message);  // returns when the box is closed
    user.Join();
    EXPECT_THAT(user.problems(), IsEmpty());
    EXPECT_TRUE(boxEnabled);
    EXPECT_TRUE(hostDisabled);
}

// A dialog the system cannot make is not taken for a system without a screen: the box says why.
TEST_F(PluginOptionsTest, DialogTheSystemCannotMakeIsReportedWithItsReason) {
    HHOOK refusal = ::SetWindowsHookExA(
        WH_CBT,
        [](int code, WPARAM wParam, LPARAM lParam) WINAPI -> LRESULT {
            if (code == HCBT_CREATEWND &&
                ClassOf(reinterpret_cast<HWND>(wParam)) == "QuilletDialog") {
                return 1;  // the dialog's window is not made
            }
            return ::CallNextHookEx(nullptr, code, wParam, lParam);
        },
        nullptr, ::GetCurrentThreadId());
    ASSERT_NE(refusal, nullptr);
    std::string caption, text;
    const auto problems = ShowOptions([&](User& user) {
        HWND box = user.WaitForMessageBox();
        caption = TextOf(box);
        text = TextOf(::GetDlgItem(box, 0xFFFF));
        ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    ::UnhookWindowsHookEx(refusal);
    EXPECT_THAT(problems, IsEmpty());
    EXPECT_EQ(caption, "Error - Quillet");
    EXPECT_THAT(text, StartsWith("The options dialog cannot be shown: the system could not make "
                                 "its windows.\n"));
    EXPECT_THAT(text, ::testing::HasSubstr("(CreateWindowExW fOptions, error "));
    EXPECT_EQ(WindowsOfClass("QuilletDialog"), 0);
}

// A file that cannot be written stops Save with a message box; the dialog stays open. Both
// editors are changed, so that Save has both list files to write.
TEST_F(PluginOptionsTest, SaveThatCannotWriteTellsWhyAndKeepsTheDialogOpen) {
    struct Case {
        const char* blocked;  // a folder of this name stands where the file should be
        std::string expectedStart;
    };
    const Case cases[] = {
        {"Quillet.ini", "Unable to write to " + folder_.path("Quillet.ini")},
        {"aliases.ini", "Cannot create file \"" + folder_.path("aliases.ini") + "\"."},
        {"Exclude.ini", "Cannot create file \"" + folder_.path("Exclude.ini") + "\"."},
    };
    for (const Case& blocked : cases) {
        SCOPED_TRACE(blocked.blocked);
        std::error_code ignored;
        for (const char* name : {"Quillet.ini", "aliases.ini", "Exclude.ini"}) {
            fs::remove_all(folder_.native(name), ignored);
        }
        fs::create_directory(folder_.native(blocked.blocked));
        std::string boxText;
        bool stayedOpen = false;
        const auto problems = ShowOptions([&](User& user) {
            const OptionsWindows dialog = OptionsWindows::Find(user);
            ::SendMessageA(dialog.AliasEditor(user), WM_SETTEXT, 0,
                           reinterpret_cast<LPARAM>("a==b"));
            ::SendMessageA(dialog.ExcludeEditor(user), WM_SETTEXT, 0,
                           reinterpret_cast<LPARAM>("1"));
            ::PostMessageA(dialog.Button(user, "Save"), BM_CLICK, 0, 0);
            HWND box = user.WaitForMessageBox();
            boxText = TextOf(::GetDlgItem(box, 0xFFFF));
            ::PostMessageA(box, WM_COMMAND, IDOK, 0);
            user.Check(WaitUntil([&] { return !::IsWindow(box); }), "the message box stayed");
            user.Settle(dialog.form);
            stayedOpen = ::IsWindowVisible(dialog.form) != FALSE;
            ::SendMessageA(dialog.Button(user, "Cancel"), BM_CLICK, 0, 0);
        });
        EXPECT_THAT(problems, IsEmpty());
        EXPECT_THAT(boxText, StartsWith(blocked.expectedStart));
        EXPECT_TRUE(stayedOpen);
        // What came before the failure stays written.
        if (std::string(blocked.blocked) != "Quillet.ini") {
            EXPECT_EQ(Setting("Settings", "PathFolder2"), "History");
        }
        if (std::string(blocked.blocked) == "Exclude.ini") {
            EXPECT_EQ(quillet::test::ReadBytes(folder_.native("aliases.ini")), "a==b");
        }
    }
}

// The language files and icons shipped in Languages, installed beside the plug-in as a user
// has them. The dialog's texts are compared with what the files say, read as the dialog reads
// them (in the ANSI code page).
class LanguageTest : public PluginOptionsTest {
protected:
    void SetUp() override {
        PluginOptionsTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        for (const auto& entry : fs::directory_iterator(QUILLET_BUNDLED_LANGUAGES)) {
            const fs::path& file = entry.path();
            if (file.extension() == ".ini" || file.extension() == ".ico") {
                fs::create_directories(folder_.native("Languages"));
                fs::copy_file(file, folder_.native("Languages") / file.filename());
            }
            if (file.extension() == ".ini") bundled_.push_back(file.filename().string());
        }
        std::sort(bundled_.begin(), bundled_.end());
        ASSERT_FALSE(bundled_.empty()) << QUILLET_BUNDLED_LANGUAGES;
    }

    // `english` in `language` as the dialog shows it; "English" is the built-in language.
    std::string Translated(const std::string& language, const std::string& english) const {
        if (language == "English") return english;
        char value[4096] = {};
        ::GetPrivateProfileStringA("Dict", english.c_str(), english.c_str(), value, sizeof value,
                                   folder_.path("Languages\\" + language).c_str());
        return value;
    }

    void ChooseLanguage(const std::string& language) {
        WriteFile("Quillet.ini", "[Translate]\r\nCurLang=" + language + "\r\n");
    }

    // Double-clicks the row of `language` on the language page; false when the restart notice
    // does not appear.
    static bool DoubleClickLanguage(User& user, const OptionsWindows& dialog,
                                    const std::string& language) {
        dialog.ShowPage(user, kLanguage);
        HWND list = dialog.Languages(user);
        const LRESULT row = ::SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(language.c_str()));
        if (row == LB_ERR) user.Stop("no row " + language + " in the language list");
        DoubleClickRow(list, static_cast<int>(row));
        return WaitUntil([&] { return !TextOf(dialog.RestartNotice(user)).empty(); });
    }

    std::vector<std::string> bundled_;  // the shipped language files, by name
};

// Also takes the screenshots of the dialog as shipped (docs/screenshots): every page in English
// with the bundled languages listed, the notice after choosing German, every page in German.
TEST_F(LanguageTest, DoubleClickStoresTheLanguageAndTheNextOpeningIsTranslated) {
    std::vector<std::string> rows;
    int selectedOnArrival = -2;
    std::string notice;
    const auto problems = ShowOptions([&](User& user) {
        const OptionsWindows dialog = OptionsWindows::Find(user);
        dialog.Screenshots(user, "options-");
        dialog.ShowPage(user, kLanguage);
        HWND list = dialog.Languages(user);
        for (LRESULT row = 0; row < ::SendMessageA(list, LB_GETCOUNT, 0, 0); ++row) {
            char text[256] = {};
            ::SendMessageA(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text));
            rows.push_back(text);
        }
        selectedOnArrival = static_cast<int>(::SendMessageA(list, LB_GETCURSEL, 0, 0));
        user.Check(DoubleClickLanguage(user, dialog, "German.ini"),
                   "no restart notice after the double-click");
        notice = TextOf(dialog.RestartNotice(user));
        TakeScreenshot(user, dialog.form, "options-language-german-chosen");
        ::SendMessageA(dialog.Button(user, "Cancel"), BM_CLICK, 0, 0);
    });
    EXPECT_THAT(problems, IsEmpty());
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], "English");
    std::sort(rows.begin() + 1, rows.end());  // the others in the order the folder lists them
    EXPECT_EQ(std::vector<std::string>(rows.begin() + 1, rows.end()), bundled_);
    EXPECT_EQ(selectedOnArrival, 0);  // the stored (default) language is selected on arrival
    const std::string german = "German.ini";
    EXPECT_EQ(notice,
              Translated(german, "* Please close and reopen this dialog to apply language."));
    EXPECT_NE(notice, "* Please close and reopen this dialog to apply language.");
    EXPECT_EQ(Setting("Translate", "CurLang"), german);  // kept although cancelled

    std::vector<std::string> tabs;
    std::string saveButton;
    const auto reopened = ShowOptions([&](User& user) {
        const OptionsWindows dialog =
            OptionsWindows::Find(user, "Quillet : " + Translated(german, "Options"));
        for (int tab = 0; tab <= kAbout; ++tab) {
            char caption[64] = {};
            TCITEMA item{};
            item.mask = TCIF_TEXT;
            item.pszText = caption;
            item.cchTextMax = sizeof caption;
            ::SendMessageA(dialog.tabs, TCM_GETITEMA, tab, reinterpret_cast<LPARAM>(&item));
            tabs.push_back(caption);
        }
        saveButton = TextOf(dialog.Button(user, Translated(german, "Save")));
        dialog.Screenshots(user, "options-german-");
        dialog.ShowPage(user, kLanguage);
        const int selected =
            static_cast<int>(::SendMessageA(dialog.Languages(user), LB_GETCURSEL, 0, 0));
        user.Check(TextOf(dialog.RestartNotice(user)).empty(), "the notice shows on opening");
        user.Check(selected > 0, "the stored language is not selected on the language page");
        ::SendMessageA(dialog.Button(user, Translated(german, "Cancel")), BM_CLICK, 0, 0);
    });
    EXPECT_THAT(reopened, IsEmpty());
    EXPECT_THAT(tabs, ElementsAre(Translated(german, "Save as"), Translated(german, "Exlude"),
                                  Translated(german, "Aliases"), Translated(german, "Preview"),
                                  Translated(german, "History"), Translated(german, "Language"),
                                  Translated(german, "About")));
    EXPECT_NE(tabs[0], "Save as");
    EXPECT_EQ(saveButton, Translated(german, "Save"));
}

// ---- Every caption fits its control ------------------------------------------------------------

// What a caption needs besides its text: a static control clips the ink that reaches a pixel or
// two past the text's advance; a push button keeps its frame and focus rectangle clear; a group
// box draws its caption into its frame a little in from the corner.
constexpr int kInkSlack = 2;
constexpr int kButtonMargin = 4;        // each side
constexpr int kGroupCaptionIndent = 8;  // each side
constexpr int kGroupFrame = 2;

// The size DrawText gives `text` in the window's font; a word-wrapped text is broken at `wrap`.
SIZE TextExtent(HWND window, HFONT font, const std::wstring& text, UINT format, int wrap = 0) {
    HDC dc = ::GetDC(window);
    HGDIOBJ previous = ::SelectObject(dc, font);
    RECT bounds{0, 0, wrap, 0};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds,
                format | DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
    ::SelectObject(dc, previous);
    ::ReleaseDC(window, dc);
    return SIZE{bounds.right - bounds.left, bounds.bottom - bounds.top};
}

HFONT FontHandle(HWND window) {
    return reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
}

std::string Utf8(const std::wstring& text) {
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
    bytes.resize(bytes.empty() ? 0 : bytes.size() - 1);
    return bytes;
}

// What a caption needs and what it has: the part of its control that its parent shows.
struct CaptionFit {
    std::wstring text;
    SIZE needed{};
    SIZE room{};
};

SIZE SizeOf(const RECT& rect) {
    return SIZE{std::max<LONG>(rect.right - rect.left, 0),
                std::max<LONG>(rect.bottom - rect.top, 0)};
}

// The control's rectangle within its parent, cut to what the parent shows: its client area,
// or the inside of the group box whose rows are placed beside it.
SIZE VisibleSize(HWND window, HWND groupBox) {
    HWND parent = ::GetParent(window);
    RECT shown{};
    ::GetClientRect(parent, &shown);
    if (groupBox != nullptr) {
        shown = RectIn(groupBox, parent);
        ::InflateRect(&shown, -kGroupFrame, -kGroupFrame);
    }
    RECT visible{};
    const RECT rect = RectIn(window, parent);
    ::IntersectRect(&visible, &rect, &shown);
    return SizeOf(visible);
}

CaptionFit MeasureCaption(const OptionsWindows& dialog, const platform::ControlSpec& row,
                          HWND window, HWND groupBox) {
    using platform::ControlKind;
    CaptionFit fit{WideTextOf(window)};
    switch (row.kind) {
        case ControlKind::Form: {
            NONCLIENTMETRICSW metrics{};
            metrics.cbSize = sizeof metrics;
            ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
            HFONT font = ::CreateFontIndirectW(&metrics.lfCaptionFont);
            fit.needed = TextExtent(window, font, fit.text, DT_SINGLELINE);
            ::DeleteObject(font);
            fit.needed.cx += ::GetSystemMetrics(SM_CXSMICON) + 2 * ::GetSystemMetrics(SM_CXSIZE);
            RECT frame{};
            ::GetWindowRect(window, &frame);
            fit.room = SIZE{frame.right - frame.left, ::GetSystemMetrics(SM_CYCAPTION)};
            return fit;
        }
        case ControlKind::Page: {  // the caption is its tab's: every tab in the tab row
            const int index = static_cast<int>(
                std::find(dialog.pages.begin(), dialog.pages.end(), window) - dialog.pages.begin());
            RECT item{}, tabs{};
            ::SendMessageW(dialog.tabs, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
            ::GetClientRect(dialog.tabs, &tabs);
            wchar_t caption[256] = {};
            TCITEMW tab{};
            tab.mask = TCIF_TEXT;
            tab.pszText = caption;
            tab.cchTextMax = 256;
            ::SendMessageW(dialog.tabs, TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&tab));
            fit.text = caption;
            fit.needed = SIZE{item.right, item.bottom - item.top};
            fit.room = SIZE{tabs.right, item.bottom - item.top};
            return fit;
        }
        case ControlKind::Button:
            fit.needed = TextExtent(window, FontHandle(window), fit.text, DT_SINGLELINE);
            fit.needed.cx += 2 * kButtonMargin;
            fit.room = VisibleSize(window, groupBox);
            return fit;
        case ControlKind::GroupBox:
            fit.needed = TextExtent(window, FontHandle(window), fit.text, DT_SINGLELINE);
            fit.needed.cx += 2 * kGroupCaptionIndent;
            fit.room = VisibleSize(window, nullptr);
            return fit;
        default: {  // a label: wrapped at its width, or on one line
            const bool wraps = (row.flags & platform::kWordWrap) != 0;
            RECT client{};
            ::GetClientRect(window, &client);
            fit.needed = TextExtent(window, FontHandle(window), fit.text, wraps ? DT_WORDBREAK : 0,
                                    wraps ? client.right : 0);
            fit.needed.cx += wraps ? 0 : kInkSlack;
            fit.room = VisibleSize(window, groupBox);
            return fit;
        }
    }
}

// Every control of the dialog whose caption is translated, as open now: those that need more
// room than they have, as "control needs W x H pixels, has W x H: start of its text".
std::vector<std::string> CaptionsThatDoNotFit(User& user, const OptionsWindows& dialog) {
    const std::vector<platform::ControlSpec>& layout = quillet::OptionsLayout();
    std::vector<std::string> misfits;
    for (std::size_t index = 0; index < layout.size(); ++index) {
        const platform::ControlSpec& row = layout[index];
        if (index > 0 && !quillet::HasTranslatedCaption(row.kind)) continue;
        HWND window = index == 0
                          ? dialog.form
                          : DescendantWithId(dialog.form, kFirstId + static_cast<int>(index));
        if (window == nullptr) user.Stop(std::string("no window for ") + row.name);
        HWND groupBox = nullptr;
        for (std::size_t parent = 0; parent < index; ++parent) {
            if (layout[parent].kind == platform::ControlKind::GroupBox &&
                std::string_view(layout[parent].name) == row.parent) {
                groupBox = DescendantWithId(dialog.form, kFirstId + static_cast<int>(parent));
            }
        }
        const CaptionFit fit = MeasureCaption(dialog, row, window, groupBox);
        if (fit.text.empty()) continue;
        if (fit.needed.cx > fit.room.cx || fit.needed.cy > fit.room.cy) {
            misfits.push_back(std::string(row.name) + " needs " + std::to_string(fit.needed.cx) +
                              " x " + std::to_string(fit.needed.cy) + " pixels, has " +
                              std::to_string(fit.room.cx) + " x " + std::to_string(fit.room.cy) +
                              ": \"" + Utf8(fit.text.substr(0, 60)) + "\"");
        }
    }
    return misfits;
}

// Whether the ANSI code page holds every text of a language file: the dialog shows its texts in
// that code page, so a language is only seen as its users see it under a code page of theirs.
bool CodePageHolds(const std::string& languageFile) {
    std::vector<wchar_t> content(1 << 16);
    const std::u16string name = platform::AnsiToWide(languageFile);
    const std::wstring wideName(name.begin(), name.end());
    std::wstring all;
    for (const wchar_t* section : {L"TRANSLATOR", L"Dict"}) {
        const DWORD size = ::GetPrivateProfileSectionW(
            section, content.data(), static_cast<DWORD>(content.size()), wideName.c_str());
        all.append(content.data(), size);
    }
    BOOL lost = FALSE;
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, all.c_str(), static_cast<int>(all.size()),
                          nullptr, 0, nullptr, &lost);
    return lost == FALSE;
}

// Run for one language with QUILLET_FIT_LANGUAGE set (ctest runs each bundled language under a
// locale whose code page holds it, see CMakeLists.txt); without it, English and every bundled
// language the code page holds. Screenshots of every page are saved as fit-<language>-<page>.
TEST_F(LanguageTest, EveryCaptionFitsItsControlInEveryLanguage) {
    std::vector<std::string> languages = {"English"};
    languages.insert(languages.end(), bundled_.begin(), bundled_.end());
    char only[MAX_PATH] = {};
    if (::GetEnvironmentVariableA("QUILLET_FIT_LANGUAGE", only, MAX_PATH) > 0) {
        languages = {only};
    }
    int checked = 0;
    for (const std::string& language : languages) {
        if (language != "English" && !CodePageHolds(folder_.path("Languages\\" + language))) {
            EXPECT_EQ(only[0], '\0') << language << ": code page " << ::GetACP()
                                     << " lacks characters of it; run it under another LANG";
            std::cout << language << ": not checked under code page " << ::GetACP() << "\n";
            continue;
        }
        ChooseLanguage(language);
        std::vector<std::string> misfits;
        const auto problems = ShowOptions([&](User& user) {
            const OptionsWindows dialog =
                OptionsWindows::Find(user, "Quillet : " + Translated(language, "Options"));
            user.Check(DoubleClickLanguage(user, dialog, language), "no restart notice");
            std::string stem = language.substr(0, language.find('.'));
            dialog.Screenshots(user, "fit-" + stem + "-");
            misfits = CaptionsThatDoNotFit(user, dialog);
            ::PostMessageA(dialog.form, WM_CLOSE, 0, 0);
        });
        EXPECT_THAT(problems, IsEmpty()) << language;
        EXPECT_THAT(misfits, IsEmpty()) << language;
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

// ---- The release archive -----------------------------------------------------------------------

// The plug-in where a user put it: in the folder the release archive was unpacked into
// (QUILLET_RELEASE_FOLDER, set by the release-archive tests), with the bundled languages.
class ReleaseArchiveTest : public PluginOptionsTest {
protected:
    void SetUp() override {
        char folder[MAX_PATH] = {};
        if (::GetEnvironmentVariableA("QUILLET_RELEASE_FOLDER", folder, MAX_PATH) == 0) {
            GTEST_SKIP() << "QUILLET_RELEASE_FOLDER is not set (the release-archive tests set it)";
        }
        REQUIRE_DISPLAY();
        unpacked_ = fs::absolute(folder);
        Load(unpacked_ / "Quillet.dll");
    }

    fs::path unpacked_;
};

// The pixels an icon file covers, drawn at its own size at (0, 0): those it paints alike on a
// black and on a white ground.
std::vector<std::pair<POINT, COLORREF>> OpaquePixels(const fs::path& file) {
    HICON icon = static_cast<HICON>(
        ::LoadImageA(nullptr, file.string().c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE));
    constexpr int kSide = 16;
    COLORREF drawn[2][kSide][kSide] = {};
    HDC screen = ::GetDC(nullptr);
    for (int ground = 0; ground < 2; ++ground) {
        HDC memory = ::CreateCompatibleDC(screen);
        HBITMAP bitmap = ::CreateCompatibleBitmap(screen, kSide, kSide);
        HGDIOBJ previous = ::SelectObject(memory, bitmap);
        ::PatBlt(memory, 0, 0, kSide, kSide, ground == 0 ? BLACKNESS : WHITENESS);
        if (icon != nullptr) ::DrawIconEx(memory, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) drawn[ground][y][x] = ::GetPixel(memory, x, y);
        }
        ::SelectObject(memory, previous);
        ::DeleteObject(bitmap);
        ::DeleteDC(memory);
    }
    ::ReleaseDC(nullptr, screen);
    if (icon != nullptr) ::DestroyIcon(icon);
    std::vector<std::pair<POINT, COLORREF>> opaque;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            if (drawn[0][y][x] == drawn[1][y][x]) opaque.push_back({POINT{x, y}, drawn[0][y][x]});
        }
    }
    return opaque;
}

TEST_F(ReleaseArchiveTest, LanguagePageListsTheBundledLanguagesWithTheirIcons) {
    const fs::path languages = unpacked_ / "Languages";
    std::vector<std::string> expectedRows = {"English"};
    for (const auto& entry : fs::directory_iterator(languages)) {
        if (entry.path().extension() == ".ini") {
            expectedRows.push_back(entry.path().filename().string());
        }
    }
    ASSERT_GT(expectedRows.size(), 1u) << "no language file in " << languages;
    // The icon a row shows on top: a language file's own, and for English "uk.ico" over its own.
    auto iconOf = [&](const std::string& row) {
        return row == "English" ? languages / "uk.ico"
                                : (languages / row).replace_extension(".ico");
    };

    std::vector<std::string> rows;
    std::vector<std::string> iconsNotShown;
    const auto problems = ShowOptions([&](User& user) {
        const OptionsWindows dialog = OptionsWindows::Find(user);
        dialog.ShowPage(user, kLanguage);
        HWND list = dialog.Languages(user);
        MoveMouse(POINT{1200, 1000});
        user.Settle(dialog.form);
        for (LRESULT row = 0; row < ::SendMessageA(list, LB_GETCOUNT, 0, 0); ++row) {
            char text[256] = {};
            ::SendMessageA(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text));
            rows.push_back(text);
            RECT rect{};
            ::SendMessageA(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
            const auto pixels = OpaquePixels(iconOf(text));
            // A row's icon sits 4 pixels from its left and 6 below its top.
            const bool shown =
                !pixels.empty() && std::all_of(pixels.begin(), pixels.end(), [&](const auto& p) {
                    return ScreenPixel(list, POINT{rect.left + 4 + p.first.x,
                                                   rect.top + 6 + p.first.y}) == p.second;
                });
            if (!shown) iconsNotShown.push_back(text);
        }
        TakeScreenshot(user, dialog.form, "release-archive-language");
        ::SendMessageA(dialog.Button(user, "Cancel"), BM_CLICK, 0, 0);
    });
    EXPECT_THAT(problems, IsEmpty());
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front(), "English");
    EXPECT_THAT(rows, ::testing::UnorderedElementsAreArray(expectedRows));
    EXPECT_THAT(iconsNotShown, IsEmpty());
}

}  // namespace
