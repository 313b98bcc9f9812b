#include "win/window.h"

#include <algorithm>
#include <iterator>

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

std::wstring WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

std::wstring WindowClassName(HWND window) {
    wchar_t name[256] = {};  // the longest class name there is
    const int copied = GetClassNameW(window, name, 256);
    return std::wstring(name, static_cast<std::size_t>(copied > 0 ? copied : 0));
}

void SetClientAreaSize(HWND window, int width, int height) {
    RECT outer{}, client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    if (client.right == width && client.bottom == height) return;
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left + width - client.right,
                 outer.bottom - outer.top + height - client.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UniqueFont CreateProgramFont(int height) {
    static constexpr wchar_t kFace[] = L"Tahoma";
    LOGFONTW font{};
    font.lfHeight = -height;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    std::copy(std::begin(kFace), std::end(kFace), font.lfFaceName);
    return UniqueFont(CreateFontIndirectW(&font));
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
