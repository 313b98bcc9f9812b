#include "style/button.h"

#include "base/handles.h"
#include "style/engine.h"
#include "style/paint.h"
#include "win/window.h"

namespace pix::style {

void ButtonWindow::Paint(HDC dc) {
    RECT r{};
    GetClientRect(window_, &r);
    const bool pressed = (SendMessageW(window_, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
    const ButtonState state = ChooseButtonState(pressed, Hot(), GetFocus() == window_);
    const int index = static_cast<int>(state);
    const Look& look = GetLook();
    Fill(dc, r, look.buttonFace[index]);
    const std::wstring text = WindowText(window_);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0));
    SelectedObject selected(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Ref(look.buttonText[index]));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
}

void ButtonWindow::PaintNow() {
    WindowDC dc(window_);
    if (dc.Get()) Paint(dc.Get());
}

LRESULT ButtonWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND w = window_;
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(w, &paint);
            if (dc) Paint(dc);
            EndPaint(w, &paint);
            return 0;
        }
        case WM_PRINTCLIENT:
            Paint(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_MOUSELEAVE: {
            TrackingEnded();
            const LRESULT result = Default(message, wParam, lParam);
            engine_.SetHot(*this, false);
            return result;
        }
        // The platform's button paints itself at once on these, outside of
        // WM_PAINT: the style paints over it straight after.
        case BM_SETSTATE:
        case BM_SETSTYLE:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_LBUTTONUP:
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CAPTURECHANGED:
        case WM_ENABLE:
        case WM_SETTEXT:
        case WM_UPDATEUISTATE: {
            const LRESULT result = Default(message, wParam, lParam);
            if (IsWindow(w)) PaintNow();
            return result;
        }
        default:
            break;
    }
    return Default(message, wParam, lParam);
}

}  // namespace pix::style
