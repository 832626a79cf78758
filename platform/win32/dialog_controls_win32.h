// Building blocks of the Win32 dialog: the module and its common-controls manifest, the window
// class of the dialog's own containers, the fonts, narrow-text access to windows, pictures, and
// the painter that owner-drawn rows paint with.
#pragma once

#include <windows.h>
// windows.h names two functions the way the toolkit interface names its own: the macros would
// rename platform::CreateDialog and RowPainter::DrawText in this unit only.
#undef CreateDialog
#undef DrawText

#include <string>

#include "platform/dialog.h"

namespace platform::win32 {

// The module this code is linked into (the plug-in library, or a test program that links the
// core); its resources hold the manifest and the pictures.
HINSTANCE ThisModule();

// The folder of ThisModule(), ending in "\".
std::string ThisModuleFolder();

// The activation context of the module's own manifest (resource 2), which asks for version 6 of
// the common controls. A module without that resource has none, and the controls of the host's
// context are used instead. Activate() returns a scope during which windows created get the
// manifest's control classes.
class ActivationContext {
public:
    ActivationContext();
    ~ActivationContext();
    ActivationContext(const ActivationContext&) = delete;
    ActivationContext& operator=(const ActivationContext&) = delete;

    class Scope {
    public:
        explicit Scope(HANDLE context);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        ULONG_PTR cookie_ = 0;
        bool active_ = false;
    };
    Scope Activate() const { return Scope(context_); }

private:
    HANDLE context_ = INVALID_HANDLE_VALUE;
};

// The window classes of the dialog window itself and of its pages and panels, registered while
// at least one object of this type lives, so that no class outlives the module whose window
// procedure it names.
class ContainerClasses {
public:
    static constexpr const wchar_t* kForm = L"QuilletDialog";
    static constexpr const wchar_t* kContainer = L"QuilletDialogPane";

    explicit ContainerClasses(WNDPROC procedure);
    ~ContainerClasses();
    ContainerClasses(const ContainerClasses&) = delete;
    ContainerClasses& operator=(const ContainerClasses&) = delete;
};

// The fonts a layout's rows ask for: Tahoma 8 point (11 pixels character height), its bold
// form, Courier New 8 point and its bold form, and Tahoma bold at 19 pixels. Owns them.
class DialogFonts {
public:
    DialogFonts();
    ~DialogFonts();
    DialogFonts(const DialogFonts&) = delete;
    DialogFonts& operator=(const DialogFonts&) = delete;

    // The font for a row's flags; owned by this object.
    HFONT For(std::uint32_t flags) const;

private:
    HFONT normal_, bold_, courier_, courierBold_, largeBold_;
};

// The text colour of link labels: the system's hot-light colour, or the one Windows ships where
// the system's own can hardly be told from the button face.
COLORREF LinkColor();

// A window's text in the ANSI code page, whole (no length limit).
std::string WindowTextAnsi(HWND window);
void SetWindowTextAnsi(HWND window, const std::string& text);

// The size a static control needs to show `text` in `font` whole (tabs expanded, "&" shown as
// is); with a wrap width above 0 the text is broken into lines of at most that width.
SIZE MeasureText(HWND window, HFONT font, const std::string& text, int wrapWidth);

// The height of the text "Wg" in the font of `window`.
int TextHeightOfWg(HWND window);

// The bitmap a picture row names: a bitmap resource of ThisModule() by that name (or by the
// name's stem in capitals, "logo.bmp" -> "LOGO"), else a .bmp file of that name beside the
// module. Null when there is none; the caller owns the bitmap.
HBITMAP LoadPicture(const std::string& name);

// The painter of one owner-drawn row over the device context of WM_DRAWITEM.
class DcRowPainter final : public RowPainter {
public:
    explicit DcRowPainter(HDC dc) : dc_(dc) {}
    void FillRect(const Rect& rect, Color color) override;
    void DrawText(int x, int y, const std::u16string& text, Color color) override;
    void DrawIconFile(const std::string& icoPath, int x, int y) override;

private:
    HDC dc_;
};

}  // namespace platform::win32
