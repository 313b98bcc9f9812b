#include "style/field.h"

#include <commctrl.h>

#include <algorithm>

#include "base/handles.h"
#include "base/system_library.h"
#include "style/engine.h"
#include "style/paint.h"

namespace pix::style {

void FieldWindow::PaintBorder() {
    RECT r{};
    GetWindowRect(window_, &r);
    OffsetRect(&r, -r.left, -r.top);
    const Look& look = GetLook();
    const int width = AtDpi(look.editBorderWidth, engine_.DpiOf(window_));
    // The result area takes no hot look: it keeps its grey border.
    const bool teal = TakesHot() && (Hot() || GetFocus() == window_);
    const Color c = teal ? look.editBorderHot : look.editBorderNormal;
    WholeWindowDC dc(window_);
    if (!dc.Get()) return;
    Fill(dc.Get(), RECT{0, 0, r.right, width}, c);
    Fill(dc.Get(), RECT{0, r.bottom - width, r.right, r.bottom}, c);
    Fill(dc.Get(), RECT{0, 0, width, r.bottom}, c);
    Fill(dc.Get(), RECT{r.right - width, 0, r.right, r.bottom}, c);
}

// Between the client area and the border the pointer leaves one and enters
// the other: it is still over the field.
void FieldWindow::PointerLeft(bool) {
    TrackingEnded();
    POINT p{};
    GetCursorPos(&p);
    RECT r{};
    GetWindowRect(window_, &r);
    if (PtInRect(&r, p) && WindowFromPoint(p) == window_) {
        RECT client{};
        GetClientRect(window_, &client);
        MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&client), 2);
        TrackLeave(!PtInRect(&client, p));
    } else {
        engine_.SetHot(*this, false);
    }
}

LRESULT FieldWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND w = window_;
    switch (message) {
        case WM_NCCALCSIZE: {
            // The platform's edge is 2 wide; the style's border scales.
            const LRESULT result = Default(message, wParam, lParam);
            const int extra = AtDpi(GetLook().editBorderWidth, engine_.DpiOf(w)) - GetSystemMetrics(SM_CXEDGE);
            if (extra > 0 && (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)) {
                RECT* r = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                                 : reinterpret_cast<RECT*>(lParam);
                InflateRect(r, -extra, -extra);
                if (r->right < r->left) r->right = r->left;
                if (r->bottom < r->top) r->bottom = r->top;
            }
            return result;
        }
        case WM_NCPAINT:
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            const LRESULT result = Default(message, wParam, lParam);
            PaintBorder();
            return result;
        }
        case WM_MOUSELEAVE:
        case WM_NCMOUSELEAVE:
            if (TakesHot()) PointerLeft(message == WM_NCMOUSELEAVE);
            break;
        default:
            break;
    }
    return Default(message, wParam, lParam);
}

// --- the date picker ----------------------------------------------------------

namespace {

// The picker's own drop-down button area: where the platform says, or at the
// right end of the client area, as wide as a scroll bar.
RECT PickerButton(HWND picker) {
    struct PickerInfo {  // DATETIMEPICKERINFO, Vista on
        DWORD cbSize;
        RECT rcCheck;
        DWORD stateCheck;
        RECT rcButton;
        DWORD stateButton;
        HWND hwndEdit, hwndUD, hwndDropDown;
    } info{};
    info.cbSize = sizeof info;
    if (SendMessageW(picker, DTM_FIRST + 14, 0, reinterpret_cast<LPARAM>(&info)) && !IsRectEmpty(&info.rcButton))
        return info.rcButton;
    RECT client{};
    GetClientRect(picker, &client);
    client.left = client.right - GetSystemMetrics(SM_CXVSCROLL);
    return client;
}

using SetWindowThemeFunction = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);

}  // namespace

// The drop-down calendar's colours, by the substitutes.
void PickerWindow::ColorCalendar() {
    const Look& look = GetLook();
    const struct {
        int part;
        Color color;
    } colors[] = {{MCSC_BACKGROUND, look.calendarBackground}, {MCSC_MONTHBK, look.calendarBackground},
                  {MCSC_TEXT, look.calendarText},             {MCSC_TITLEBK, look.calendarTitle},
                  {MCSC_TITLETEXT, look.calendarTitleText},   {MCSC_TRAILINGTEXT, look.editDisabledText}};
    for (const auto& c : colors) SendMessageW(window_, DTM_SETMCCOLOR, c.part, static_cast<LPARAM>(Ref(c.color)));
}

void PickerWindow::PaintButton() {
    const RECT button = PickerButton(window_);
    const int dpi = engine_.DpiOf(window_);
    const Look& look = GetLook();
    WindowDC dc(window_);
    if (!dc.Get()) return;
    Fill(dc.Get(), button, look.comboButton);
    // A chevron pointing down, one line per row.
    const int width = AtDpi(look.comboChevronWidth, dpi), height = AtDpi(look.comboChevronHeight, dpi);
    const int line = LineAtDpi(dpi);
    const int left = button.left + (button.right - button.left - width) / 2;
    const int top = button.top + (button.bottom - button.top - height) / 2;
    for (int row = 0; row < height; ++row) {
        const int inset = row * width / (2 * height);
        Fill(dc.Get(), RECT{left + inset, top + row, left + inset + line + (width / (2 * height)), top + row + 1},
             look.comboChevron);
        Fill(dc.Get(),
             RECT{left + width - inset - line - (width / (2 * height)), top + row, left + width - inset, top + row + 1},
             look.comboChevron);
    }
}

LRESULT PickerWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            const LRESULT result = FieldWindow::OnMessage(message, wParam, lParam);
            ColorCalendar();
            return result;
        }
        // The picker paints its own button on these.
        case WM_PAINT:
        case WM_ENABLE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED: {
            const LRESULT result = FieldWindow::OnMessage(message, wParam, lParam);
            if (IsWindow(window_)) PaintButton();
            return result;
        }
        default:
            return FieldWindow::OnMessage(message, wParam, lParam);
    }
}

void FitCalendar(const Look& look, HWND picker) {
    const auto calendar = reinterpret_cast<HWND>(SendMessageW(picker, DTM_GETMONTHCAL, 0, 0));
    if (!calendar) return;
    // Without the platform's visual theme, where there is one (Vista on).
    const SystemLibrary uxtheme(L"uxtheme.dll");
    if (const auto setTheme = uxtheme.Find<SetWindowThemeFunction>("SetWindowTheme")) setTheme(calendar, L"", L"");
    // Its size by the style's formula, from the picker's height and font and
    // the longest abbreviated day name of the user's locale.
    RECT pickerRect{};
    GetWindowRect(picker, &pickerRect);
    int longest = 0;
    for (LCTYPE day = LOCALE_SABBREVDAYNAME1; day <= LOCALE_SABBREVDAYNAME7; ++day) {
        wchar_t name[32] = {};
        const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, day, name, 32);
        longest = std::max(longest, length > 0 ? length - 1 : 0);
    }
    WindowDC dc(picker);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(picker, WM_GETFONT, 0, 0));
    SelectedObject selected(dc.Get(), font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
    SIZE upper{}, lower{};
    GetTextExtentPoint32W(dc.Get(), L"W", 1, &upper);
    GetTextExtentPoint32W(dc.Get(), L"w", 1, &lower);
    const CalendarSize size =
        CalendarSizeFor(look.calendar, pickerRect.bottom - pickerRect.top, upper.cx, lower.cx, longest);
    // The drop-down window keeps its top-left corner; a calendar inside it
    // fills it.
    const HWND dropDown = GetAncestor(calendar, GA_ROOT);
    SetWindowPos(dropDown, nullptr, 0, 0, size.width, size.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (dropDown != calendar) {
        RECT inside{};
        GetClientRect(dropDown, &inside);
        SetWindowPos(calendar, nullptr, 0, 0, inside.right, inside.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

}  // namespace pix::style
