#include "win/window.h"

#include "win/guard.h"

namespace pix {

TWindow::~TWindow() {
    DestroyHandle();
}

void TWindow::DestroyHandle() noexcept {
    const HWND window = window_.Get();
    if (!window) return;
    // Detach first: a half-destroyed object must not see its own teardown.
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    window_.Reset();
}

void EnsureWindowClass(const WindowClass& windowClass, WNDPROC procedure) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, windowClass.name, &existing)) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = windowClass.style;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hIcon = windowClass.icon;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = windowClass.background;
    wc.lpszClassName = windowClass.name;
    if (!RegisterClassExW(&wc)) throw Failure(u"WindowError", u"Cannot register the window class");
}

void TWindow::CreateHandle(const WindowClass& windowClass, const WindowParams& params) {
    EnsureWindowClass(windowClass, &TWindow::WindowProc);
    const HWND window =
        CreateWindowExW(params.exStyle, windowClass.name, params.caption, params.style, params.x, params.y,
                        params.width, params.height, params.parent, nullptr, GetModuleHandleW(nullptr), this);
    // A creation that failed after WM_NCCREATE has sent WM_NCDESTROY, which
    // let go of the handle already.
    if (!window) throw Failure(u"WindowError", u"Cannot create the window");
}

LRESULT TWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultHandler(message, wParam, lParam);
}

LRESULT TWindow::DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return DefWindowProcW(window_.Get(), message, wParam, lParam);
}

LRESULT CALLBACK TWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        // From here on the object owns the window, whatever happens next.
        auto* self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_.Reset(window);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    Guarded([&] { result = self->HandleMessage(message, wParam, lParam); });
    if (message == WM_NCDESTROY) {
        // The window is gone whoever destroyed it; the owner must not try again.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_.Release();
    }
    return result;
}

}  // namespace pix
