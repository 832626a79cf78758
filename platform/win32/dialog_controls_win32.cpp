#include "platform/win32/dialog_controls_win32.h"

#include <cctype>

#include "platform/ansi_call_text.h"
#include "platform/platform.h"
#include "platform/win32/system_error_win32.h"

namespace platform::win32 {

namespace {

// The resource number a module's own manifest has (ISOLATIONAWARE_MANIFEST_RESOURCE_ID).
constexpr WORD kModuleManifestId = 2;

// A face the system lacks is replaced by the font mapper with one of the same pitch and family.
HFONT MakeFont(int pixelHeight, int weight, const wchar_t* face, BYTE pitchAndFamily) {
    HFONT font = ::CreateFontW(-pixelHeight, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               pitchAndFamily, face);
    // No font at all leaves the system's dialog font.
    return font != nullptr ? font : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

void RegisterContainerClass(const wchar_t* name, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ThisModule();
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name;
    if (::RegisterClassExW(&windowClass) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        win32::ThrowSystemError("RegisterClassExW", "", ::GetLastError());
    }
}

int containerClassUsers = 0;

// "logo.bmp" -> "LOGO": the form a resource name takes in a resource script.
std::string ResourceStem(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return stem;
}

COLORREF ToColorRef(Color color) {
    return RGB(color.red, color.green, color.blue);
}

// Perceived brightness, 0 to 255.
int Brightness(COLORREF color) {
    return (GetRValue(color) * 299 + GetGValue(color) * 587 + GetBValue(color) * 114) / 1000;
}

}  // namespace

HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

std::string ThisModuleFolder() {
    const auto path = TextOfAnsiCall(MAX_PATH, [](char* buffer, std::size_t capacity) {
        // The length without the NUL; the whole capacity when the path was cut.
        const DWORD length =
            ::GetModuleFileNameA(ThisModule(), buffer, static_cast<DWORD>(capacity));
        return length == 0 ? std::size_t{0} : static_cast<std::size_t>(length) + 1;
    });
    if (!path) return {};
    return path->substr(0, path->find_last_of('\\') + 1);
}

ActivationContext::ActivationContext() {
    HINSTANCE module = ThisModule();
    if (::FindResourceW(module, MAKEINTRESOURCEW(kModuleManifestId),
                        MAKEINTRESOURCEW(24 /* RT_MANIFEST */)) == nullptr) {
        return;
    }
    wchar_t modulePath[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(module, modulePath, MAX_PATH);
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = modulePath;
    request.hModule = module;
    request.lpResourceName = MAKEINTRESOURCEW(kModuleManifestId);
    context_ = ::CreateActCtxW(&request);
}

ActivationContext::~ActivationContext() {
    if (context_ != INVALID_HANDLE_VALUE) ::ReleaseActCtx(context_);
}

ActivationContext::Scope::Scope(HANDLE context) {
    if (context != INVALID_HANDLE_VALUE) active_ = ::ActivateActCtx(context, &cookie_) != FALSE;
}

ActivationContext::Scope::~Scope() {
    if (active_) ::DeactivateActCtx(0, cookie_);
}

ContainerClasses::ContainerClasses(WNDPROC procedure) {
    if (containerClassUsers == 0) {
        RegisterContainerClass(kForm, procedure);
        RegisterContainerClass(kContainer, procedure);
    }
    ++containerClassUsers;
}

ContainerClasses::~ContainerClasses() {
    if (--containerClassUsers == 0) {
        ::UnregisterClassW(kContainer, ThisModule());
        ::UnregisterClassW(kForm, ThisModule());
    }
}

DialogFonts::DialogFonts()
    : normal_(MakeFont(11, FW_NORMAL, L"Tahoma", VARIABLE_PITCH | FF_SWISS)),
      bold_(MakeFont(11, FW_BOLD, L"Tahoma", VARIABLE_PITCH | FF_SWISS)),
      courier_(MakeFont(11, FW_NORMAL, L"Courier New", FIXED_PITCH | FF_MODERN)),
      courierBold_(MakeFont(11, FW_BOLD, L"Courier New", FIXED_PITCH | FF_MODERN)),
      largeBold_(MakeFont(19, FW_BOLD, L"Tahoma", VARIABLE_PITCH | FF_SWISS)) {}

DialogFonts::~DialogFonts() {
    for (HFONT font : {normal_, bold_, courier_, courierBold_, largeBold_}) ::DeleteObject(font);
}

HFONT DialogFonts::For(std::uint32_t flags) const {
    if (flags & kLargeBold) return largeBold_;
    if (flags & kCourierNew) return (flags & kBold) ? courierBold_ : courier_;
    return (flags & kBold) ? bold_ : normal_;
}

COLORREF LinkColor() {
    // The colour Windows itself ships as the hot-light colour, for systems whose own one can
    // hardly be told from the button face (Wine's is a light grey).
    constexpr COLORREF kShippedHotLight = RGB(0, 102, 204);
    constexpr int kLeastBrightnessDifference = 80;
    const COLORREF hotLight = ::GetSysColor(COLOR_HOTLIGHT);
    const int difference = Brightness(hotLight) - Brightness(::GetSysColor(COLOR_BTNFACE));
    return (difference < 0 ? -difference : difference) >= kLeastBrightnessDifference
               ? hotLight
               : kShippedHotLight;
}

std::string WindowTextAnsi(HWND window) {
    const int length = ::GetWindowTextLengthA(window);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(window, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

void SetWindowTextAnsi(HWND window, const std::string& text) {
    ::SetWindowTextA(window, text.c_str());
}

SIZE MeasureText(HWND window, HFONT font, const std::string& text, int wrapWidth) {
    // An empty label keeps the height of one line, as it would with a blank in it.
    const std::string measured = text.empty() ? std::string(" ") : text;
    HDC dc = ::GetDC(window);
    HGDIOBJ previous = ::SelectObject(dc, font);
    RECT bounds{0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
    UINT format = DT_CALCRECT | DT_LEFT | DT_NOPREFIX | DT_EXPANDTABS;
    if (wrapWidth > 0) format |= DT_WORDBREAK;
    ::DrawTextA(dc, measured.c_str(), static_cast<int>(measured.size()), &bounds, format);
    ::SelectObject(dc, previous);
    ::ReleaseDC(window, dc);
    // A glyph's ink can reach a pixel or two past the advance the text is measured by, and a
    // static control clips at its edge: the last character would lose its right side.
    constexpr int kInkSlack = 2;
    return SIZE{bounds.right - bounds.left + kInkSlack, bounds.bottom - bounds.top};
}

int TextHeightOfWg(HWND window) {
    HDC dc = ::GetDC(window);
    HGDIOBJ previous =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)));
    SIZE size{};
    ::GetTextExtentPoint32A(dc, "Wg", 2, &size);
    ::SelectObject(dc, previous);
    ::ReleaseDC(window, dc);
    return size.cy;
}

HBITMAP LoadPicture(const std::string& name) {
    if (name.empty()) return nullptr;
    for (const std::string& resource : {name, ResourceStem(name)}) {
        HANDLE image =
            ::LoadImageA(ThisModule(), resource.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
        if (image != nullptr) return static_cast<HBITMAP>(image);
    }
    const std::string file = ThisModuleFolder() + name;
    return static_cast<HBITMAP>(::LoadImageA(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0,
                                             LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}

void DcRowPainter::FillRect(const Rect& rect, Color color) {
    HBRUSH brush = ::CreateSolidBrush(ToColorRef(color));
    const RECT area{rect.left, rect.top, rect.right, rect.bottom};
    ::FillRect(dc_, &area, brush);
    ::DeleteObject(brush);
}

void DcRowPainter::DrawText(int x, int y, const std::u16string& text, Color color) {
    ::SetBkMode(dc_, TRANSPARENT);
    ::SetTextColor(dc_, ToColorRef(color));
    ::SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    ::TextOutW(dc_, x, y, reinterpret_cast<const wchar_t*>(text.c_str()),
               static_cast<int>(text.size()));
}

void DcRowPainter::DrawIconFile(const std::string& icoPath, int x, int y) {
    // Width and height 0: the icon's own size, both when loading and when drawing.
    HANDLE icon = ::LoadImageA(nullptr, icoPath.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE);
    if (icon == nullptr) return;
    ::DrawIconEx(dc_, x, y, static_cast<HICON>(icon), 0, 0, 0, nullptr, DI_NORMAL);
    ::DestroyIcon(static_cast<HICON>(icon));
}

}  // namespace platform::win32
