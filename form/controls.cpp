#include "form/controls.h"

#include <commctrl.h>

#include <algorithm>

#include "base/core/failure.h"
#include "win/guard.h"
#include "win/window.h"
#include "base/handles.h"
#include "base/text.h"
#include "form/core/day_count.h"
#include "form/core/memo_text.h"

namespace pix {

namespace {

constexpr wchar_t kPanelClass[] = L"TPanel";

std::u16string TextOf(HWND window) { return std::u16string(U16(WindowText(window))); }

RECT WindowRectOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// A size the window already has is not set again: every SetWindowPos costs
// its messages through every procedure of the window, the style's included.
void Resize(HWND window, int width, int height) {
    const RECT r = WindowRectOf(window);
    if (r.right - r.left == width && r.bottom - r.top == height) return;
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int WindowWidth(HWND window) {
    const RECT r = WindowRectOf(window);
    return r.right - r.left;
}

// A field's height follows its font: the text cell plus eight thin borders.
void FitHeightToFont(HWND window, HFONT font) {
    WindowDC dc(window);
    SelectedObject selected(dc.Get(), font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW metrics{};
    if (!GetTextMetricsW(dc.Get(), &metrics)) throw Failure(u"WindowError", u"Cannot measure a field's font");
    Resize(window, WindowWidth(window), layout::FieldHeight(metrics.tmHeight, GetSystemMetrics(SM_CYBORDER)));
}

// A label is as wide and as high as its caption in its own font.
void FitToText(HWND window) {
    const std::wstring text = WindowText(window);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    WindowDC dc(window);
    SelectedObject selected(dc.Get(), font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    SIZE extent{};
    if (!GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent))
        throw Failure(u"WindowError", u"Cannot measure a label's text");
    Resize(window, extent.cx, extent.cy);
}

// The subclass procedures run under the failure guard like every other
// window procedure of the program.
template <void (*After)(HWND, UINT, WPARAM)>
LRESULT CALLBACK SizingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    LRESULT result = 0;
    Guarded([&] {
        if (message == WM_NCDESTROY) RemoveWindowSubclass(window, &SizingProc<After>, id);
        result = DefSubclassProc(window, message, wParam, lParam);
        After(window, message, wParam);
    });
    return result;
}

void AfterFieldMessage(HWND window, UINT message, WPARAM wParam) {
    if (message == WM_SETFONT) FitHeightToFont(window, reinterpret_cast<HFONT>(wParam));
}

void AfterLabelMessage(HWND window, UINT message, WPARAM) {
    if (message == WM_SETFONT || message == WM_SETTEXT) FitToText(window);
}

void Subclass(HWND window, SUBCLASSPROC procedure) {
    if (!SetWindowSubclass(window, procedure, 0, 0))
        throw Failure(u"WindowError", u"Cannot subclass a control");
}

// The panel is only a container; what its children report is the form's.
LRESULT PanelMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            if (const HWND parent = GetParent(window)) return SendMessageW(parent, message, wParam, lParam);
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    Guarded([&] { result = PanelMessage(window, message, wParam, lParam); });
    return result;
}

void RegisterPanelClass() {
    EnsureWindowClass({kPanelClass, 0, nullptr, GetSysColorBrush(COLOR_BTNFACE)}, &PanelProc);
}

void InitDateClasses() {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_DATE_CLASSES};
    if (!InitCommonControlsEx(&init)) throw Failure(u"WindowError", u"Cannot load the date picker");
}

SYSTEMTIME SystemTimeFrom(const CalendarTime& t) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(t.year);
    st.wMonth = static_cast<WORD>(t.month);
    st.wDayOfWeek = static_cast<WORD>(t.dayOfWeek);
    st.wDay = static_cast<WORD>(t.day);
    st.wHour = static_cast<WORD>(t.hour);
    st.wMinute = static_cast<WORD>(t.minute);
    st.wSecond = static_cast<WORD>(t.second);
    st.wMilliseconds = static_cast<WORD>(t.millisecond);
    return st;
}

CalendarTime CalendarTimeFrom(const SYSTEMTIME& st) {
    CalendarTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    t.millisecond = st.wMilliseconds;
    t.dayOfWeek = st.wDayOfWeek;
    return t;
}

}  // namespace

// --- TControl --------------------------------------------------------------

void TControl::CreateWindowOf(const wchar_t* className, DWORD style, DWORD exStyle, const ControlParams& params) {
    // Children are clipped against each other: where a small window makes the
    // button overlap the panel, neither paints over the other.
    style |= WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    const layout::Rect& b = params.bounds;
    const HWND window = CreateWindowExW(exStyle, className, params.text, style, b.left, b.top, b.Width(), b.Height(),
                                        params.parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(params.id)),
                                        GetModuleHandleW(nullptr), nullptr);
    if (!window) throw Failure(u"WindowError", u"Cannot create a control of the form");
    handle_ = window;
    // Not drawn yet: nothing to redraw.
    if (params.font) SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(params.font), FALSE);
}

layout::Rect TControl::Bounds() const {
    RECT r{};
    GetWindowRect(handle_, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(handle_), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right, r.bottom};
}

void TControl::SetBounds(const layout::Rect& bounds) const {
    const layout::Rect now = Bounds();
    if (now.left == bounds.left && now.top == bounds.top && now.right == bounds.right && now.bottom == bounds.bottom)
        return;
    SetWindowPos(handle_, nullptr, bounds.left, bounds.top, bounds.Width(), bounds.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TControl::SetFont(HFONT font) const {
    SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void TControl::FocusFromKeyboard() const { SetFocus(handle_); }

// --- TEdit -----------------------------------------------------------------

void TEdit::Create(const ControlParams& params) {
    CreateWindowOf(L"Edit", WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, params);
    SendMessageW(handle_, EM_SETLIMITTEXT, 0, 0);  // the platform's maximum
    Subclass(handle_, &SizingProc<&AfterFieldMessage>);
    FitHeightToFont(handle_, params.font);
}

std::u16string TEdit::Text() const { return TextOf(handle_); }

void TEdit::FocusFromKeyboard() const {
    SetFocus(handle_);
    SendMessageW(handle_, EM_SETSEL, 0, -1);
}

// --- TMemo -----------------------------------------------------------------

void TMemo::Create(const ControlParams& params) {
    // A plain edit never hides its scroll bars, so WS_VSCROLL alone keeps the
    // vertical one always shown. (The rich edit's "disable, don't hide" style
    // has the value of ES_NUMBER here and must not be used.)
    CreateWindowOf(L"Edit", WS_TABSTOP | WS_VSCROLL | ES_LEFT | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL,
                   WS_EX_CLIENTEDGE, params);
    SendMessageW(handle_, EM_SETLIMITTEXT, 0, 0);
}

std::u16string TMemo::TextEnd(int length) const {
    // Straight from the control's own buffer, locked only while the few
    // characters are copied (the control takes no message meanwhile): the
    // area may hold megabytes, and a press must not copy them. The text's
    // length is checked against the buffer before anything is read; a buffer
    // that does not match (a control that keeps its text elsewhere) gives
    // way to the whole text, slower but as right.
    const auto end = static_cast<std::size_t>(length < 0 ? 0 : length);
    const std::size_t count = std::min(end, kTextEndTheRuleReads);
    {
        const LockedLocalMemory buffer(reinterpret_cast<HLOCAL>(SendMessageW(handle_, EM_GETHANDLE, 0, 0)));
        const auto* text = static_cast<const char16_t*>(buffer.Data());
        if (text && buffer.Size() / sizeof(char16_t) > end && text[end] == u'\0')
            return std::u16string(text + end - count, count);
    }
    const std::u16string whole = TextOf(handle_);
    return whole.substr(whole.size() - std::min(whole.size(), kTextEndTheRuleReads));
}

void TMemo::AppendLine(std::u16string_view line) const {
    const int end = GetWindowTextLengthW(handle_);
    const std::u16string insertion = TextForAppendingLine(TextEnd(end), line);
    SendMessageW(handle_, EM_SETSEL, static_cast<WPARAM>(end), end);
    SendMessageW(handle_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(W(insertion.c_str())));
}

void TMemo::Appending::Line(std::u16string_view line) {
    memo_.AppendLine(line);
    appended_ = true;
}

TMemo::Appending::~Appending() {
    if (appended_) SendMessageW(memo_.handle_, EM_SCROLLCARET, 0, 0);
}

// --- TButton, TPanel, TLabel -----------------------------------------------

void TButton::Create(const ControlParams& params) { CreateWindowOf(L"Button", WS_TABSTOP | BS_PUSHBUTTON, 0, params); }

void TPanel::Create(const ControlParams& params) {
    RegisterPanelClass();
    CreateWindowOf(kPanelClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, params);
}

void TLabel::Create(const ControlParams& params) {
    CreateWindowOf(L"Static", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, params);
    Subclass(handle_, &SizingProc<&AfterLabelMessage>);
    FitToText(handle_);
}

// --- TDateTimePicker -------------------------------------------------------

void TDateTimePicker::Create(const ControlParams& params) {
    InitDateClasses();
    // The drop-down calendar stays aligned with the left edge (no
    // DTS_RIGHTALIGN); no DTS_SHOWNONE, so it cannot be emptied.
    CreateWindowOf(DATETIMEPICK_CLASSW, WS_TABSTOP | DTS_SHORTDATEFORMAT, WS_EX_CLIENTEDGE, params);
    Subclass(handle_, &SizingProc<&AfterFieldMessage>);
    FitHeightToFont(handle_, params.font);
}

double TDateTimePicker::DateTime() const {
    SYSTEMTIME st{};
    if (SendMessageW(handle_, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) != GDT_VALID)
        throw Failure(u"DateError", u"The date picker holds no date");
    return DayCountFromCalendar(CalendarTimeFrom(st));
}

void TDateTimePicker::SetDateTime(double value) {
    SYSTEMTIME st = SystemTimeFrom(CalendarFromDayCount(value));
    if (!SendMessageW(handle_, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st)))
        throw Failure(u"DateError", u"The date picker does not take this date");
}

}  // namespace pix
