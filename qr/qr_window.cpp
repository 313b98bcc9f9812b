#include "qr/qr_window.h"

#include <commctrl.h>

#include <algorithm>

#include "base/core/dpi.h"
#include "base/core/failure.h"
#include "base/core/utf8.h"
#include "base/text.h"
#include "qr/core/qr_texts.h"
#include "qr/qr_picture.h"
#include "win/dpi.h"
#include "win/guard.h"

namespace pix::qr {

namespace {

constexpr wchar_t kWindowClass[] = L"TQrCodeForm";
constexpr int kDesignFontHeight = 11;
// Posted to itself after a change of DPI: by then the frame has its new
// measures too, and the client area can be sized again.
constexpr UINT kArrangeAgain = WM_APP + 1;

enum ChildId { kTextId = 1, kMessageId, kCopyCodeId, kCopyImageId, kSavePngId };
constexpr const char16_t* kButtonTexts[3] = {kCopyCodeText, kCopyImageText, kSavePngText};

bool Pressed(int key) { return GetKeyState(key) < 0; }

// The keys of the window, wherever its focus is: the program's loop has no
// dialog manager, so each child hears them and passes them on. Esc closes
// the window, Tab and Shift+Tab go round its controls, Enter presses the
// focused button.
LRESULT CALLBACK ChildKeysProc(HWND child, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    LRESULT result = 0;
    Guarded([&] {
        const HWND window = GetParent(child);
        if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
            PostMessageW(window, WM_CLOSE, 0, 0);
            return;
        }
        if (message == WM_KEYDOWN && wParam == VK_TAB && !Pressed(VK_CONTROL) && !Pressed(VK_MENU)) {
            if (const HWND next = GetNextDlgTabItem(window, child, Pressed(VK_SHIFT))) SetFocus(next);
            return;
        }
        if (message == WM_KEYDOWN && wParam == VK_RETURN && GetDlgCtrlID(child) >= kCopyCodeId) {
            SendMessageW(child, BM_CLICK, 0, 0);
            return;
        }
        // Their characters too: nothing to type, and no beep.
        if (message == WM_CHAR && (wParam == VK_ESCAPE || wParam == VK_TAB || wParam == VK_RETURN)) return;
        if (message == WM_NCDESTROY) RemoveWindowSubclass(child, &ChildKeysProc, id);
        result = DefSubclassProc(child, message, wParam, lParam);
    });
    return result;
}

}  // namespace

TQrWindow::~TQrWindow() {
    DestroyHandle();
}

void TQrWindow::Show(std::u16string_view code) {
    const bool created = Handle() != nullptr;
    if (!created) Create();
    code_ = std::u16string(code);
    symbol_ = EncodeQrCode(utf8::FromUtf16(code_));
    SetWindowTextW(text_, W(code_).c_str());
    SetWindowTextW(message_, W(utf8::ToUtf16(symbol_.error)).c_str());
    ShowWindow(message_, symbol_.Ok() ? SW_HIDE : SW_SHOWNA);
    EnableWindow(buttons_[1], symbol_.Ok());
    EnableWindow(buttons_[2], symbol_.Ok());
    Arrange();
    InvalidateRect(Handle(), nullptr, TRUE);
    if (!IsWindowVisible(Handle())) {
        if (!created) CenterOnOwner();
        lastFocus_ = buttons_[0];
        ShowWindow(Handle(), SW_SHOW);
    }
    SetForegroundWindow(Handle());
}

void TQrWindow::Create() {
    const auto icon = reinterpret_cast<HICON>(GetClassLongPtrW(owner_, GCLP_HICON));
    CreateHandle({kWindowClass, 0, icon, GetSysColorBrush(COLOR_BTNFACE)},
                 {W(kWindowCaption), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 0, CW_USEDEFAULT,
                  CW_USEDEFAULT, 100, 100, owner_});
    text_ = CreateChild(L"Edit", u"",
                        WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY, WS_EX_CLIENTEDGE,
                        kTextId);
    message_ = CreateChild(L"Static", u"", SS_CENTER | SS_NOPREFIX, 0, kMessageId);
    for (int i = 0; i < 3; ++i)
        buttons_[i] = CreateChild(L"Button", kButtonTexts[i], WS_TABSTOP | BS_PUSHBUTTON, 0, kCopyCodeId + i);
    dpi_ = WindowDpi(Handle());
    ApplyDpi();
}

HWND TQrWindow::CreateChild(const wchar_t* className, const char16_t* text, DWORD style, DWORD exStyle, int id) {
    const HWND child = CreateWindowExW(exStyle, className, W(text), style | WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                       Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                       GetModuleHandleW(nullptr), nullptr);
    if (!child) throw Failure(u"WindowError", u"Cannot create a control of the QR Code's window");
    if (!SetWindowSubclass(child, &ChildKeysProc, 0, 0))
        throw Failure(u"WindowError", u"Cannot subclass a control");
    return child;
}

void TQrWindow::ApplyDpi() {
    UniqueFont created = CreateProgramFont(dpi::FromDesign(kDesignFontHeight, dpi_));
    if (!created) throw Failure(u"WindowError", u"Cannot create the QR Code window's font");
    for (const HWND child : {text_, message_, buttons_[0], buttons_[1], buttons_[2]})
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(created.Get()), TRUE);
    font_ = std::move(created);
    Arrange();
}

void TQrWindow::Arrange() {
    QrWindowContent content;
    content.pictureSide = symbol_.Ok() && symbol_.value.size > 0
                              ? symbol_.value.Span() * ModulePixels(symbol_.value.Span(), dpi_)
                              : dpi::FromDesign(kDesignPictureSide, dpi_);
    {
        WindowDC dc(Handle());
        SelectedObject selected(dc.Get(), font_.Get());
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc.Get(), &metrics);
        content.lineHeight = metrics.tmHeight;
        for (int i = 0; i < 3; ++i) {
            const std::wstring caption = W(kButtonTexts[i]);
            SIZE extent{};
            GetTextExtentPoint32W(dc.Get(), caption.c_str(), static_cast<int>(caption.size()), &extent);
            content.captionWidths[i] = extent.cx;
        }
    }
    layout_ = LayOutQrWindow(content, dpi_);
    const auto place = [](HWND child, const Box& box) {
        SetWindowPos(child, nullptr, box.left, box.top, box.Width(), box.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(text_, layout_.text);
    place(message_, layout_.picture);
    for (int i = 0; i < 3; ++i) place(buttons_[i], layout_.buttons[i]);
    SetClientAreaSize(Handle(), layout_.clientWidth, layout_.clientHeight);
}

void TQrWindow::CenterOnOwner() {
    RECT owner{}, window{};
    GetWindowRect(owner_, &owner);
    GetWindowRect(Handle(), &window);
    const int width = window.right - window.left, height = window.bottom - window.top;
    int x = owner.left + (owner.right - owner.left - width) / 2;
    int y = owner.top + (owner.bottom - owner.top - height) / 2;
    // On the owner's monitor, whole where it fits.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(owner_, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        x = std::max(static_cast<int>(work.left), std::min(x, static_cast<int>(work.right) - width));
        y = std::max(static_cast<int>(work.top), std::min(y, static_cast<int>(work.bottom) - height));
    }
    SetWindowPos(Handle(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TQrWindow::Paint(HDC dc) const {
    if (!symbol_.Ok() || symbol_.value.size == 0) return;
    const QrSymbol& symbol = symbol_.value;
    const Box& picture = layout_.picture;
    const int module = picture.Width() / symbol.Span();
    SetDCBrushColor(dc, RGB(255, 255, 255));
    const auto brush = static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
    const RECT whole{picture.left, picture.top, picture.right, picture.bottom};
    FillRect(dc, &whole, brush);
    SetDCBrushColor(dc, RGB(0, 0, 0));
    const int origin = kQuietZone * module;
    for (int y = 0; y < symbol.size; ++y)
        for (int x = 0; x < symbol.size; ++x) {
            if (!symbol.Dark(x, y)) continue;
            const int left = picture.left + origin + x * module, top = picture.top + origin + y * module;
            const RECT cell{left, top, left + module, top + module};
            FillRect(dc, &cell, brush);
        }
}

void TQrWindow::Command(int id) {
    switch (id) {
        case kCopyCodeId:
            CopyText(Handle(), code_);
            break;
        case kCopyImageId:
            if (symbol_.Ok()) CopyPicture(Handle(), PictureOf(symbol_.value, kPictureModulePixels));
            break;
        case kSavePngId:
            if (!symbol_.Ok()) break;
            if (const std::optional<std::wstring> path = AskWhereToSavePng(Handle()))
                SavePng(*path, PictureOf(symbol_.value, kPictureModulePixels));
            break;
        default:
            break;
    }
}

void TQrWindow::Close() {
    const bool active = GetActiveWindow() == Handle();
    ShowWindow(Handle(), SW_HIDE);
    if (active && IsWindowEnabled(owner_)) SetActiveWindow(owner_);
}

LRESULT TQrWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(Handle(), &paint);
            if (dc) Paint(dc);
            EndPaint(Handle(), &paint);
            return 0;
        }
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && lParam) Command(LOWORD(wParam));
            return 0;
        case WM_CLOSE:
            Close();
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                Close();
                return 0;
            }
            break;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = GetFocus();
                if (focus && IsChild(Handle(), focus)) lastFocus_ = focus;
                break;
            }
            SetFocus(lastFocus_ && IsWindowEnabled(lastFocus_) ? lastFocus_ : buttons_[0]);
            return 0;
        case kWmDpiChanged: {
            const int newDpi = HIWORD(wParam);
            if (newDpi > 0 && newDpi != dpi_) {
                dpi_ = newDpi;
                ApplyDpi();
            }
            // Where the platform proposes; the size is the layout's.
            if (const auto* proposed = reinterpret_cast<const RECT*>(lParam))
                SetWindowPos(Handle(), nullptr, proposed->left, proposed->top, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            InvalidateRect(Handle(), nullptr, TRUE);
            PostMessageW(Handle(), kArrangeAgain, 0, 0);
            return 0;
        }
        case kArrangeAgain:
            Arrange();
            return 0;
        default:
            break;
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace pix::qr
