// Failing Win32 calls, one rule for the whole program. A call that creates
// something the window needs (a class, a window, a control, a font, a
// subclass) throws a Failure when it fails: at start-up that ends in the
// fatal failure box, later in the failure dialog. So does a call whose
// failure would leave the window wrong, such as reading text metrics for a
// field's height or AdjustWindowRectEx for the frame. Calls that are purely
// cosmetic or that only restore a state (an icon, the hidden window's
// caption, a repaint, giving the focus back, SetWindowPos of a proposed
// rectangle) are not checked, on purpose: the window stays usable without
// them, and a dialog about them would be worse than the flaw.
//
// The one window base: a static procedure that finds the C++ object (attached
// at WM_NCCREATE), and the failure guard around every message it handles.
#pragma once

#include <windows.h>

#include <string>

#include "base/handles.h"

namespace pix {

struct WindowClass {
    const wchar_t* name;
    UINT style;
    HICON icon;
    HBRUSH background;
};

struct WindowParams {
    const wchar_t* caption;
    DWORD style;
    DWORD exStyle;
    int x, y, width, height;
    HWND parent;
};

// Registers a window class of the program's own module unless it is there
// already: the one place where the program registers a class. A failure to
// register is a failure (the window could not be built).
void EnsureWindowClass(const WindowClass& windowClass, WNDPROC procedure);

// A window's text, whole, and the name of its class.
std::wstring WindowText(HWND window);
std::wstring WindowClassName(HWND window);

// Gives a top-level window the client area asked for, whatever its frame is
// (the style's or the platform's, at any DPI): the outer size changes by
// what the client area lacks, if anything.
void SetClientAreaSize(HWND window, int width, int height);

// The program's one face (Tahoma) at a character height in pixels; empty
// when it cannot be made.
UniqueFont CreateProgramFont(int height);

class TWindow {
public:
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    HWND Handle() const noexcept { return window_.Get(); }

protected:
    TWindow() = default;
    virtual ~TWindow();

    // Registers the class on first use and creates the window. The object
    // owns the handle from WM_NCCREATE on, so every message from that one to
    // WM_NCDESTROY reaches HandleMessage, those sent during CreateWindowExW
    // included.
    void CreateHandle(const WindowClass& windowClass, const WindowParams& params);
    // Detaches the object, then destroys the window: the WM_DESTROY and
    // WM_NCDESTROY of that destruction go to DefWindowProcW, never to
    // HandleMessage, because a derived class calls this from its destructor
    // and must not be reached half-destroyed. A window destroyed by anyone
    // else (its parent, Windows) sends them to HandleMessage as usual.
    void DestroyHandle() noexcept;

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    UniqueWindow window_;
};

}  // namespace pix
