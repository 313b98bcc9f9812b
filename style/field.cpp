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

// --- selected text ---------------------------------------------------------
//
// The edit control draws its selected text in the platform's highlight and
// highlight-text colours. It reads them in the platform's text drawing
// (Uniscribe's), not through the common controls' own lookups, so the
// substitutes of style/system_colors.h do not reach them; and it draws a
// change of the selection at once, outside WM_PAINT too. The style paints
// the selection over it in the substitutes, after each message that may have
// changed what shows, in the same places and the edit's own font.

namespace {

std::wstring TextOfLine(HWND edit, bool multiline, int line, int length) {
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(std::max(length, 1)) + 1, L'\0');
    if (multiline) {
        text[0] = static_cast<wchar_t>(std::min(length + 1, 0xFFFF));
        const LRESULT copied = SendMessageW(edit, EM_GETLINE, static_cast<WPARAM>(line),
                                            reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(std::max<LRESULT>(copied, 0)));
    } else {
        text.resize(static_cast<std::size_t>(GetWindowTextW(edit, text.data(), length + 1)));
    }
    return text;
}

POINT PositionOf(HWND edit, DWORD index) {
    const LRESULT at = SendMessageW(edit, EM_POSFROMCHAR, index, 0);
    return {static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
}

}  // namespace

// One line's part of the selection, [start, end) of the whole text.
void FieldWindow::PaintSelectedLine(HDC dc, const RECT& area, int line, DWORD start, DWORD end, int lineHeight) {
    const bool multiline = (GetWindowLongW(window_, GWL_STYLE) & ES_MULTILINE) != 0;
    const auto lineStart = static_cast<DWORD>(SendMessageW(window_, EM_LINEINDEX, static_cast<WPARAM>(line), 0));
    const auto lineLength = static_cast<DWORD>(SendMessageW(window_, EM_LINELENGTH, lineStart, 0));
    const DWORD from = std::max(start, lineStart), to = std::min(end, lineStart + lineLength);
    if (from >= to) return;
    const std::wstring text = TextOfLine(window_, multiline, line, static_cast<int>(lineLength));
    if (text.size() < lineLength) return;
    const POINT first = PositionOf(window_, from);
    if (first.y >= area.bottom || first.y + lineHeight <= area.top) return;
    // Runs between tabs, each where the edit put it; the highlight reaches
    // to where the next character begins, or past the last one.
    int right = first.x;
    for (DWORD run = from; run < to;) {
        DWORD next = run;
        while (next < to && text[next - lineStart] != L'\t') ++next;
        const POINT at = PositionOf(window_, run);
        SIZE extent{};
        GetTextExtentPoint32W(dc, text.c_str() + (run - lineStart), static_cast<int>(next - run), &extent);
        right = at.x + extent.cx;
        if (next < to) right = PositionOf(window_, next + 1).x;  // past the tab
        Fill(dc, RECT{at.x, first.y, right, first.y + lineHeight}, GetLook().selection);
        ExtTextOutW(dc, at.x, first.y, 0, nullptr, text.c_str() + (run - lineStart), static_cast<UINT>(next - run),
                    nullptr);
        run = next < to ? next + 1 : next;
    }
    if (to < lineStart + lineLength) {
        const int edge = PositionOf(window_, to).x;
        if (edge > right) Fill(dc, RECT{right, first.y, edge, first.y + lineHeight}, GetLook().selection);
    }
}

void FieldWindow::PaintSelection(bool always) {
    if (paintingSelection_) return;  // the edit asked below comes through here too
    // Without the focus an edit shows no selection (unless told to): nothing
    // to ask, unless one was painted.
    if (!always && !selection_.shown && GetFocus() != window_ && !(GetWindowLongW(window_, GWL_STYLE) & ES_NOHIDESEL))
        return;
    paintingSelection_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } const done{paintingSelection_};
    Selection now;
    SendMessageW(window_, EM_GETSEL, reinterpret_cast<WPARAM>(&now.start), reinterpret_cast<LPARAM>(&now.end));
    now.shown = now.start != now.end &&
                (GetFocus() == window_ || (GetWindowLongW(window_, GWL_STYLE) & ES_NOHIDESEL));
    if (now.shown) {
        now.at = SendMessageW(window_, EM_POSFROMCHAR, now.start, 0);
        now.firstLine = SendMessageW(window_, EM_GETFIRSTVISIBLELINE, 0, 0);
    }
    if (!always && now == selection_) return;
    selection_ = now;
    if (!now.shown) return;

    WindowDC windowDc(window_);
    const HDC dc = windowDc.Get();
    if (!dc) return;
    SavedDC saved(dc);
    RECT area{}, client{};
    SendMessageW(window_, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    GetClientRect(window_, &client);
    IntersectRect(&area, &area, &client);
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0));
    SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int lineHeight = std::max<int>(metrics.tmHeight, 1);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Ref(GetLook().selectionText));
    const bool multiline = (GetWindowLongW(window_, GWL_STYLE) & ES_MULTILINE) != 0;
    if (!multiline) {
        // The edit's positions are 16-bit: along a line longer than that the
        // style leaves the selection to the platform.
        if (static_cast<long long>(GetWindowTextLengthW(window_)) * metrics.tmMaxCharWidth > 0x7FFF) return;
        PaintSelectedLine(dc, area, 0, now.start, now.end, lineHeight);
        return;
    }
    const int first = static_cast<int>(now.firstLine);
    const int lines = static_cast<int>(SendMessageW(window_, EM_GETLINECOUNT, 0, 0));
    const int shown = (area.bottom - area.top) / lineHeight + 1;
    for (int line = first; line < std::min(lines, first + shown); ++line)
        PaintSelectedLine(dc, area, line, now.start, now.end, lineHeight);
}

bool ChangesNothingShown(UINT message) noexcept {
    switch (message) {
        case WM_NCHITTEST:
        case WM_SETCURSOR:
        case WM_GETTEXT:
        case WM_GETTEXTLENGTH:
        case WM_GETFONT:
        case WM_GETDLGCODE:
        case WM_NCCALCSIZE:
        case WM_ERASEBKGND:
        // The questions an edit control answers (the style's own among them).
        case EM_GETSEL:
        case EM_GETRECT:
        case EM_GETHANDLE:
        case EM_GETLINECOUNT:
        case EM_LINEINDEX:
        case EM_LINELENGTH:
        case EM_LINEFROMCHAR:
        case EM_GETLINE:
        case EM_GETFIRSTVISIBLELINE:
        case EM_POSFROMCHAR:
        case EM_CHARFROMPOS:
            return true;
        default:
            return false;
    }
}

LRESULT FieldWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = Handle(message, wParam, lParam);
    if (!IsEdit() || paintingSelection_ || !IsWindow(window_)) return result;
    if (ChangesNothingShown(message) || message == WM_NCMOUSEMOVE) return result;
    switch (message) {
        case WM_PAINT:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            PaintSelection(true);
            break;
        default:
            PaintSelection(false);
            break;
    }
    return result;
}

LRESULT FieldWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
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
