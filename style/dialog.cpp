#include "style/dialog.h"

#include "style/paint.h"

namespace pix::style {

LRESULT DialogWindow::DialogColor(WPARAM wParam, bool text) {
    const auto dc = reinterpret_cast<HDC>(wParam);
    const Look& look = GetLook();
    if (text) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, Ref(look.dialogText));
    }
    SetBkColor(dc, Ref(look.dialogBackground));
    SetDCBrushColor(dc, Ref(look.dialogBackground));
    return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
}

// The dialog sized itself for the platform's frame: the same client area in
// the style's frame, around the same centre.
void DialogWindow::FitToFrame() {
    const HWND w = window_;
    RECT platform{0, 0, 0, 0};
    AdjustWindowRectEx(&platform, static_cast<DWORD>(GetWindowLongW(w, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(w, GWL_EXSTYLE)));
    RECT window{};
    GetWindowRect(w, &window);
    const int clientWidth = (window.right - window.left) - (platform.right - platform.left);
    const int clientHeight = (window.bottom - window.top) - (platform.bottom - platform.top);
    const FrameMetrics m = ScaleFrame(GetLook().frame, Dpi());
    const int width = clientWidth + 2 * m.border;
    const int height = clientHeight + m.TitleHeight() + m.border;
    const int x = window.left + ((window.right - window.left) - width) / 2;
    const int y = window.top + ((window.bottom - window.top) - height) / 2;
    SetWindowPos(w, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

LRESULT DialogWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CTLCOLORSTATIC:
            return DialogColor(wParam, true);
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORBTN:
            return DialogColor(wParam, false);
        case WM_INITDIALOG: {
            const LRESULT result = Default(message, wParam, lParam);
            FitToFrame();
            return result;
        }
        default:
            return FrameWindow::OnMessage(message, wParam, lParam);
    }
}

}  // namespace pix::style
