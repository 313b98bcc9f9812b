// The one window base: a static procedure that finds the C++ object (attached
// at WM_NCCREATE), and the failure guard around every message it handles.
#pragma once

#include <windows.h>

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

class TWindow {
public:
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    HWND Handle() const noexcept { return window_.Get(); }

protected:
    TWindow() = default;
    virtual ~TWindow();

    // Registers the class on first use and creates the window.
    void CreateHandle(const WindowClass& windowClass, const WindowParams& params);
    // Derived classes destroy their window while they are still whole, so the
    // last messages still reach them.
    void DestroyHandle() noexcept;

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    UniqueWindow window_;
    HWND creating_ = nullptr;  // the handle before CreateWindowExW returns
};

}  // namespace pix
