#include "style/engine.h"

#include <commctrl.h>
#include <dwmapi.h>

#include <algorithm>
#include <string>

#include "win/dpi.h"
#include "win/guard.h"
#include "base/core/dpi.h"
#include "base/system_library.h"

namespace pix::style {

namespace {

// A hook procedure gets no context of its own: the engine that installed the
// hook on this thread is found here, set and cleared by the engine itself.
thread_local TStyleEngine* hookOwner = nullptr;

constexpr UINT_PTR kSubclassId = 0x5354594C;  // "STYL"

COLORREF Ref(Color c) noexcept { return RGB(c.red, c.green, c.blue); }

int AtDpi(int value, int dpi) noexcept { return pix::dpi::FromDesign(value, dpi); }

// Fills with the DC's own brush: no brush object to create or leak.
void Fill(HDC dc, const RECT& r, Color c) noexcept {
    SetDCBrushColor(dc, Ref(c));
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}
void Fill(HDC dc, const Box& b, Color c) noexcept { Fill(dc, RECT{b.left, b.top, b.right, b.bottom}, c); }

// A window's whole-window DC for one scope.
class WholeWindowDC {
public:
    explicit WholeWindowDC(HWND window) noexcept : window_(window), dc_(GetWindowDC(window)) {}
    WholeWindowDC(const WholeWindowDC&) = delete;
    WholeWindowDC& operator=(const WholeWindowDC&) = delete;
    ~WholeWindowDC() { if (dc_) ReleaseDC(window_, dc_); }
    HDC Get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Saves a DC's state for one scope.
class SavedDC {
public:
    explicit SavedDC(HDC dc) noexcept : dc_(dc), saved_(SaveDC(dc)) {}
    SavedDC(const SavedDC&) = delete;
    SavedDC& operator=(const SavedDC&) = delete;
    ~SavedDC() { RestoreDC(dc_, saved_); }

private:
    HDC dc_;
    int saved_;
};

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

bool IsOwnClass(HWND window) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    return GetClassInfoExW(GetModuleHandleW(nullptr), ClassOf(window).c_str(), &wc) != FALSE;
}

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR data) {
    auto* s = reinterpret_cast<TStyleEngine::Skinned*>(data);
    LRESULT result = 0;
    (void)window;
    Guarded([&] { result = s->engine->Handle(*s, message, wParam, lParam); });
    return result;
}

LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && hookOwner) {
        const auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam);
        Guarded([&] { hookOwner->Adopt(reinterpret_cast<HWND>(wParam), *create->lpcs); });
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CALLBACK RecomputeFrame(HWND window, LPARAM) {
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return TRUE;
}

// With desktop composition (Vista and 7 when it is on, 8 and 10 always) the
// compositor renders the frame of a captioned window itself, and what the
// window paints into its non-client area through WM_NCPAINT is hidden behind
// it. The frame is opted out of that rendering, before it is first shown, so
// the frame painted here is the one on the screen. The platform goes on
// doing what a frame does through the window's own answers: WM_NCHITTEST
// places moving, sizing and snapping, and the system menu stays. (The other
// way, a client area over the whole window, would put the form inside the
// caption band and still leave the compositor's borders to hide.) The
// library is bound from the system folder: it is no KnownDLL, and without it
// there is no compositor to stand back.
void KeepFrameFromCompositor(HWND window) {
    static const SystemLibrary dwmapi(L"dwmapi.dll");
    static const auto setAttribute = dwmapi.Find<decltype(&DwmSetWindowAttribute)>("DwmSetWindowAttribute");
    if (!setAttribute) return;
    const DWMNCRENDERINGPOLICY policy = DWMNCRP_DISABLED;
    setAttribute(window, DWMWA_NCRENDERING_POLICY, &policy, sizeof policy);
}

LRESULT HitCode(FramePart part) noexcept {
    switch (part) {
        case FramePart::Client: return HTCLIENT;
        case FramePart::Caption: return HTCAPTION;
        case FramePart::SystemMenu: return HTSYSMENU;
        case FramePart::Minimize: return HTMINBUTTON;
        case FramePart::Maximize: return HTMAXBUTTON;
        case FramePart::Close: return HTCLOSE;
        case FramePart::Left: return HTLEFT;
        case FramePart::Right: return HTRIGHT;
        case FramePart::Top: return HTTOP;
        case FramePart::Bottom: return HTBOTTOM;
        case FramePart::TopLeft: return HTTOPLEFT;
        case FramePart::TopRight: return HTTOPRIGHT;
        case FramePart::BottomLeft: return HTBOTTOMLEFT;
        case FramePart::BottomRight: return HTBOTTOMRIGHT;
    }
    return HTNOWHERE;
}

FramePart ButtonOfHit(WPARAM hit) noexcept {
    switch (hit) {
        case HTMINBUTTON: return FramePart::Minimize;
        case HTMAXBUTTON: return FramePart::Maximize;
        case HTCLOSE: return FramePart::Close;
        default: return FramePart::Client;
    }
}

bool IsFrameButton(FramePart part) noexcept {
    return part == FramePart::Minimize || part == FramePart::Maximize || part == FramePart::Close;
}

// The thin line drawings of the system buttons, about glyph × glyph in the
// middle of the button, lines `line` wide.
void DrawGlyph(HDC dc, FramePart part, bool restore, const Box& button, int glyph, int line, Color c) {
    const int left = button.left + (button.Width() - glyph) / 2;
    const int top = button.top + (button.Height() - glyph) / 2;
    const auto outline = [&](int x, int y, int size) {
        Fill(dc, RECT{x, y, x + size, y + line}, c);
        Fill(dc, RECT{x, y + size - line, x + size, y + size}, c);
        Fill(dc, RECT{x, y, x + line, y + size}, c);
        Fill(dc, RECT{x + size - line, y, x + size, y + size}, c);
    };
    switch (part) {
        case FramePart::Minimize: {
            const int y = top + glyph / 2;
            Fill(dc, RECT{left, y, left + glyph, y + line}, c);
            break;
        }
        case FramePart::Maximize:
            if (!restore) {
                outline(left, top, glyph);
            } else {
                // Two overlapping squares: the back one shows its top and right.
                const int size = glyph - 2 * line;
                const int shift = 2 * line;
                Fill(dc, RECT{left + shift, top, left + glyph, top + line}, c);
                Fill(dc, RECT{left + glyph - line, top, left + glyph, top + size}, c);
                outline(left, top + shift, size);
            }
            break;
        case FramePart::Close:
            for (int i = 0; i < glyph; ++i) {
                Fill(dc, RECT{left + i, top + i, left + i + line, top + i + line}, c);
                Fill(dc, RECT{left + glyph - line - i, top + i, left + glyph - i, top + i + line}, c);
            }
            break;
        default:
            break;
    }
}

}  // namespace

TStyleEngine::TStyleEngine(Look look) : look_(std::move(look)) {
    hookOwner = this;
    hook_.Reset(SetWindowsHookExW(WH_CBT, &CreationHook, nullptr, GetCurrentThreadId()));
}

TStyleEngine::~TStyleEngine() {
    hook_.Reset();
    hookOwner = nullptr;
    for (auto& entry : windows_) RemoveWindowSubclass(entry.first, &SubclassProc, kSubclassId);
}

void TStyleEngine::Adopt(HWND window, const CREATESTRUCTW& create) {
    const std::wstring className = ClassOf(window);
    const bool child = (create.style & WS_CHILD) != 0;
    Kind kind;
    if (!child && className == L"#32768") {
        kind = Kind::Menu;  // a pop-up menu's window
    } else if (!child) {
        // Top-level windows with a caption: the program's own, and the
        // dialogs it shows (the failure dialog, message boxes).
        if ((create.style & WS_CAPTION) != WS_CAPTION) return;
        if (className == L"#32770")
            kind = Kind::Dialog;
        else if (IsOwnClass(window))
            kind = Kind::Frame;
        else
            return;
    } else if (className == L"Edit") {
        kind = (create.style & ES_MULTILINE) ? Kind::Memo : Kind::Field;
    } else if (className == DATETIMEPICK_CLASSW) {
        kind = Kind::Picker;
    } else if (className == L"Button") {
        const LONG type = create.style & BS_TYPEMASK;
        if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) return;
        kind = Kind::Button;
    } else if (IsOwnClass(window)) {
        kind = Kind::Container;
    } else {
        return;
    }
    auto skinned = std::make_unique<Skinned>();
    skinned->engine = this;
    skinned->window = window;
    skinned->kind = kind;
    skinned->dpi = WindowDpi(window);
    if (!SetWindowSubclass(window, &SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(skinned.get()))) return;
    windows_[window] = std::move(skinned);
}

LRESULT TStyleEngine::Handle(Skinned& s, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETCURSOR) {
        // Sent for every move of the pointer to the window under it, and on
        // up through its parents: the one sure sign of where the pointer is.
        const auto under = reinterpret_cast<HWND>(wParam);
        if (hot_ && hot_->window != under) SetHot(*hot_, false);
        if (under == s.window && (s.kind == Kind::Field || s.kind == Kind::Picker || s.kind == Kind::Button)) {
            SetHot(s, true);
            TrackLeave(s, LOWORD(lParam) != HTCLIENT);
        }
    }
    if (message == WM_NCDESTROY) {
        if (hot_ == &s) hot_ = nullptr;
        if (menuOwner_ == &s) menuOwner_ = nullptr;
        const HWND window = s.window;
        RemoveWindowSubclass(window, &SubclassProc, kSubclassId);
        windows_.erase(window);  // s is gone from here on
        return DefSubclassProc(window, message, wParam, lParam);
    }
    if (s.kind == Kind::Field || s.kind == Kind::Picker || s.kind == Kind::Memo) {
        LRESULT result = 0;
        if (HandleMenuOwner(s, message, wParam, lParam, result)) return result;
    }
    switch (s.kind) {
        case Kind::Menu: return HandleMenu(s, message, wParam, lParam);
        case Kind::Frame:
        case Kind::Dialog: return HandleFrame(s, message, wParam, lParam);
        case Kind::Field:
        case Kind::Picker: return HandleField(s, message, wParam, lParam);
        case Kind::Memo: return HandleMemo(s, message, wParam, lParam);
        case Kind::Button: return HandleButton(s, message, wParam, lParam);
        case Kind::Container: return HandleContainer(s, message, wParam, lParam);
    }
    return DefSubclassProc(s.window, message, wParam, lParam);
}

// --- colours of the controls, asked of their parent ---------------------------

LRESULT TStyleEngine::ControlColor(UINT message, WPARAM wParam, LPARAM) {
    const auto dc = reinterpret_cast<HDC>(wParam);
    SetDCBrushColor(dc, Ref(message == WM_CTLCOLORSTATIC ? look_.panel : look_.editBackground));
    if (message == WM_CTLCOLORSTATIC) {
        // Labels: transparent, in the static text colour whatever their own.
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, Ref(look_.staticText));
    } else {
        SetBkColor(dc, Ref(look_.editBackground));
        SetTextColor(dc, Ref(look_.editText));
    }
    return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
}

// --- DPI ----------------------------------------------------------------------

int TStyleEngine::DpiOf(HWND window) const {
    // The top-level window knows its DPI, also after a change the platform
    // reported only to it.
    const HWND root = GetAncestor(window, GA_ROOT);
    const auto found = windows_.find(root);
    if (found != windows_.end()) return found->second->dpi;
    return WindowDpi(window);
}

// --- the window frame -----------------------------------------------------------

FrameMetrics TStyleEngine::MetricsOf(const Skinned& s, const RECT& windowRect) const {
    const FrameMetrics m = ScaleFrame(look_.frame, s.dpi);
    if (!IsZoomed(s.window)) return m;
    // Maximised, the window reaches beyond its monitor's work area; the frame
    // shown starts at the work area's edge.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromRect(&windowRect, MONITOR_DEFAULTTONEAREST), &monitor);
    const int inset = std::max(0, static_cast<int>(monitor.rcWork.left - windowRect.left));
    return MaximizedFrame(m, inset);
}

void TStyleEngine::PaintFrame(Skinned& s) {
    if (IsIconic(s.window) || !IsWindowVisible(s.window)) return;
    RECT windowRect{};
    GetWindowRect(s.window, &windowRect);
    const int width = windowRect.right - windowRect.left;
    const int height = windowRect.bottom - windowRect.top;
    const FrameMetrics m = MetricsOf(s, windowRect);
    const FrameBoxes b = LayOutFrame(m, width, height);
    const FrameLook& f = look_.frame;
    const FrameColors& colors = s.active ? f.active : f.inactive;

    WholeWindowDC windowDc(s.window);
    const HDC dc = windowDc.Get();
    if (!dc) return;
    SavedDC saved(dc);
    ExcludeClipRect(dc, b.client.left, b.client.top, b.client.right, b.client.bottom);

    // Borders: an outline at the outer edge, the fill inside it.
    if (m.border > 0) {
        const Box outer{m.inset, b.captionBand.bottom, width - m.inset, height - m.inset};
        Fill(dc, Box{0, b.captionBand.bottom, width, height}, f.borderFill);
        Fill(dc, Box{outer.left, outer.top, outer.left + m.outline, outer.bottom}, colors.outline);
        Fill(dc, Box{outer.right - m.outline, outer.top, outer.right, outer.bottom}, colors.outline);
        Fill(dc, Box{outer.left, outer.bottom - m.outline, outer.right, outer.bottom}, colors.outline);
    }
    Fill(dc, b.topLine, colors.topLine);
    Fill(dc, b.captionBand, colors.captionBand);

    // The system buttons, their hot and pressed colours and glyphs.
    const LONG style = GetWindowLongW(s.window, GWL_STYLE);
    const int line = std::max(1, AtDpi(1, s.dpi));
    struct Button {
        FramePart part;
        Box box;
        bool shown;
    } const buttons[] = {{FramePart::Close, b.close, true},
                         {FramePart::Maximize, b.maximize, (style & WS_MAXIMIZEBOX) != 0},
                         {FramePart::Minimize, b.minimize, (style & WS_MINIMIZEBOX) != 0}};
    int captionRight = b.captionBand.right;
    for (const Button& button : buttons) {
        if (!button.shown) continue;
        captionRight = button.box.left;
        const bool pressed = s.pressedButton == button.part && s.pressedInside;
        const bool hot = !pressed && s.hotButton == button.part && s.pressedButton == FramePart::Client;
        const bool close = button.part == FramePart::Close;
        if (pressed || hot) {
            Fill(dc, button.box, close ? (pressed ? f.closePressed : f.closeHot)
                                       : (pressed ? f.buttonPressed : f.buttonHot));
        }
        const Color glyph = (pressed || hot) ? (close ? f.closeHotGlyph : f.buttonHotGlyph) : colors.glyph;
        DrawGlyph(dc, button.part, IsZoomed(s.window) != FALSE, button.box, m.glyphSize, line, glyph);
    }

    // The small icon in its area, then the caption.
    auto icon = reinterpret_cast<HICON>(SendMessageW(s.window, WM_GETICON, ICON_SMALL2, 0));
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(s.window, GCLP_HICONSM));
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(s.window, GCLP_HICON));
    if (icon) DrawIconEx(dc, b.icon.left, b.icon.top, icon, m.iconSize, m.iconSize, 0, nullptr, DI_NORMAL);

    if (!s.captionFont || s.captionFontDpi != s.dpi) {
        const TextStyle& t = colors.caption;
        LOGFONTW font{};
        font.lfHeight = -m.captionFontHeight;
        font.lfWeight = t.bold ? FW_BOLD : FW_NORMAL;
        font.lfItalic = t.italic;
        font.lfUnderline = t.underline;
        font.lfStrikeOut = t.strikeout;
        font.lfCharSet = static_cast<BYTE>(t.charset);
        const std::wstring face(t.face.begin(), t.face.end());
        lstrcpynW(font.lfFaceName, face.c_str(), LF_FACESIZE);
        s.captionFont.Reset(CreateFontIndirectW(&font));
        s.captionFontDpi = s.dpi;
    }
    const int length = GetWindowTextLengthW(s.window);
    std::wstring caption(static_cast<std::size_t>(length) + 1, L'\0');
    caption.resize(static_cast<std::size_t>(GetWindowTextW(s.window, caption.data(), length + 1)));
    RECT text{b.captionLeft, b.captionBand.top, captionRight, b.captionBand.bottom};
    SelectedObject font(dc, s.captionFont.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Ref(colors.caption.color));
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
}

void TStyleEngine::FrameButtonPressed(Skinned& s, FramePart part) {
    WPARAM command = 0;
    if (part == FramePart::Close) command = SC_CLOSE;
    if (part == FramePart::Minimize) command = SC_MINIMIZE;
    if (part == FramePart::Maximize) command = IsZoomed(s.window) ? SC_RESTORE : SC_MAXIMIZE;
    if (command) SendMessageW(s.window, WM_SYSCOMMAND, command, 0);
}

LRESULT TStyleEngine::HandleFrame(Skinned& s, UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND w = s.window;
    switch (message) {
        case WM_NCCREATE:
        // Composition turned back on (Vista and 7) starts the compositor
        // anew: the window opts out again.
        case WM_DWMCOMPOSITIONCHANGED: {
            const LRESULT result = DefSubclassProc(w, message, wParam, lParam);
            KeepFrameFromCompositor(w);
            return result;
        }
        case WM_NCCALCSIZE: {
            RECT* r = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
            const RECT windowRect = *r;
            const FrameMetrics m = MetricsOf(s, windowRect);
            const FrameBoxes b = LayOutFrame(m, r->right - r->left, r->bottom - r->top);
            r->left = windowRect.left + b.client.left;
            r->top = windowRect.top + b.client.top;
            r->right = windowRect.left + b.client.right;
            r->bottom = windowRect.top + b.client.bottom;
            return 0;
        }
        case WM_NCPAINT:
            if (IsIconic(w)) break;
            PaintFrame(s);
            return 0;
        case WM_NCACTIVATE: {
            s.active = wParam != FALSE;
            // -1: the platform keeps its bookkeeping but paints no frame of its own.
            const LRESULT result = DefSubclassProc(w, message, wParam, -1);
            PaintFrame(s);
            return result;
        }
        case WM_ACTIVATE:
            s.active = LOWORD(wParam) != WA_INACTIVE;
            break;
        case WM_NCHITTEST: {
            RECT windowRect{};
            GetWindowRect(w, &windowRect);
            const FrameMetrics m = MetricsOf(s, windowRect);
            const int width = windowRect.right - windowRect.left, height = windowRect.bottom - windowRect.top;
            const FrameBoxes b = LayOutFrame(m, width, height);
            const int x = static_cast<short>(LOWORD(lParam)) - windowRect.left;
            const int y = static_cast<short>(HIWORD(lParam)) - windowRect.top;
            const bool resizable = (GetWindowLongW(w, GWL_STYLE) & WS_THICKFRAME) && !IsZoomed(w);
            return HitCode(HitTestFrame(m, b, width, height, x, y, resizable));
        }
        case WM_NCMOUSEMOVE: {
            const FramePart hot = ButtonOfHit(wParam);
            if (hot != s.hotButton) {
                s.hotButton = hot;
                PaintFrame(s);
            }
            TrackLeave(s, true);
            break;
        }
        case WM_NCMOUSELEAVE:
            s.tracking = false;
            if (s.hotButton != FramePart::Client) {
                s.hotButton = FramePart::Client;
                PaintFrame(s);
            }
            break;
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK: {
            const FramePart part = ButtonOfHit(wParam);
            if (!IsFrameButton(part)) break;
            // The platform would track the press itself, painting its own button.
            s.pressedButton = part;
            s.pressedInside = true;
            SetCapture(w);
            PaintFrame(s);
            return 0;
        }
        case WM_MOUSEMOVE:
            if (s.pressedButton != FramePart::Client) {
                RECT windowRect{};
                GetWindowRect(w, &windowRect);
                POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
                ClientToScreen(w, &p);
                const LRESULT hit = HandleFrame(s, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
                const bool inside = ButtonOfHit(static_cast<WPARAM>(hit)) == s.pressedButton;
                if (inside != s.pressedInside) {
                    s.pressedInside = inside;
                    PaintFrame(s);
                }
                return 0;
            }
            break;
        case WM_LBUTTONUP:
            if (s.pressedButton != FramePart::Client) {
                const FramePart part = s.pressedButton;
                const bool inside = s.pressedInside;
                s.pressedButton = FramePart::Client;
                s.pressedInside = false;
                s.hotButton = inside ? part : FramePart::Client;
                ReleaseCapture();
                PaintFrame(s);
                if (inside) {
                    s.hotButton = FramePart::Client;
                    FrameButtonPressed(s, part);
                }
                return 0;
            }
            break;
        case WM_CAPTURECHANGED:
            if (s.pressedButton != FramePart::Client && reinterpret_cast<HWND>(lParam) != w) {
                s.pressedButton = FramePart::Client;
                s.pressedInside = false;
                PaintFrame(s);
            }
            break;
        case WM_SETTEXT:
        case WM_SETICON: {
            // The platform paints the caption of its own frame right away.
            const LRESULT result = DefSubclassProc(w, message, wParam, lParam);
            PaintFrame(s);
            return result;
        }
        case pix::kWmGetDpiScaledSize: {
            // The platform would scale the outer size; the client area scales
            // by the form's rule and the frame by its own measures.
            const int newDpi = static_cast<int>(LOWORD(wParam));
            auto* size = reinterpret_cast<SIZE*>(lParam);
            if (newDpi <= 0 || !size || IsZoomed(w) || IsIconic(w)) break;
            RECT client{};
            GetClientRect(w, &client);
            const FrameMetrics m = ScaleFrame(look_.frame, newDpi);
            size->cx = pix::dpi::Scale(client.right, s.dpi, newDpi) + 2 * m.border;
            size->cy = pix::dpi::Scale(client.bottom, s.dpi, newDpi) + m.TitleHeight() + m.border;
            return TRUE;
        }
        case pix::kWmDpiChanged: {
            s.dpi = HIWORD(wParam);
            const LRESULT result = DefSubclassProc(w, message, wParam, lParam);
            // The frames of the window and of its fields take the new DPI.
            SetWindowPos(w, nullptr, 0, 0, 0, 0,
                         SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            EnumChildWindows(w, &RecomputeFrame, 0);
            RedrawWindow(w, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
            return result;
        }
        case WM_ERASEBKGND: {
            RECT client{};
            GetClientRect(w, &client);
            Fill(reinterpret_cast<HDC>(wParam), client, look_.clientBackground);
            return 1;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            const LRESULT result = DefSubclassProc(w, message, wParam, lParam);
            if (header && header->code == DTN_DROPDOWN) FitCalendar(header->hwndFrom);
            return result;
        }
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            if (s.kind == Kind::Dialog && message == WM_CTLCOLORSTATIC) return DialogColor(wParam, true);
            return ControlColor(message, wParam, lParam);
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORBTN:
            if (s.kind == Kind::Dialog) return DialogColor(wParam, false);
            break;
        case WM_INITDIALOG: {
            // The dialog sized itself for the platform's frame: the same
            // client area in the style's frame.
            const LRESULT result = DefSubclassProc(w, message, wParam, lParam);
            FitDialogToFrame(s);
            return result;
        }
        default:
            break;
    }
    return DefSubclassProc(w, message, wParam, lParam);
}

LRESULT TStyleEngine::DialogColor(WPARAM wParam, bool text) {
    const auto dc = reinterpret_cast<HDC>(wParam);
    if (text) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, Ref(look_.dialogText));
    }
    SetBkColor(dc, Ref(look_.dialogBackground));
    SetDCBrushColor(dc, Ref(look_.dialogBackground));
    return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
}

void TStyleEngine::FitDialogToFrame(Skinned& s) {
    const HWND w = s.window;
    RECT platform{0, 0, 0, 0};
    AdjustWindowRectEx(&platform, static_cast<DWORD>(GetWindowLongW(w, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(w, GWL_EXSTYLE)));
    RECT window{};
    GetWindowRect(w, &window);
    const int clientWidth = (window.right - window.left) - (platform.right - platform.left);
    const int clientHeight = (window.bottom - window.top) - (platform.bottom - platform.top);
    const FrameMetrics m = ScaleFrame(look_.frame, s.dpi);
    const int width = clientWidth + 2 * m.border;
    const int height = clientHeight + m.TitleHeight() + m.border;
    // Around the same centre.
    const int x = window.left + ((window.right - window.left) - width) / 2;
    const int y = window.top + ((window.bottom - window.top) - height) / 2;
    SetWindowPos(w, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// --- fields, the picker and the result area ---------------------------------------

void TStyleEngine::PaintFieldBorder(const Skinned& s) {
    RECT r{};
    GetWindowRect(s.window, &r);
    OffsetRect(&r, -r.left, -r.top);
    const int width = AtDpi(look_.editBorderWidth, DpiOf(s.window));
    const bool teal = s.kind != Kind::Memo && (s.hot || GetFocus() == s.window);
    const Color c = teal ? look_.editBorderHot : look_.editBorderNormal;
    WholeWindowDC dc(s.window);
    if (!dc.Get()) return;
    Fill(dc.Get(), RECT{0, 0, r.right, width}, c);
    Fill(dc.Get(), RECT{0, r.bottom - width, r.right, r.bottom}, c);
    Fill(dc.Get(), RECT{0, 0, width, r.bottom}, c);
    Fill(dc.Get(), RECT{r.right - width, 0, r.right, r.bottom}, c);
}

void TStyleEngine::TrackLeave(Skinned& s, bool nonClient) {
    if (s.tracking) return;
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE | (nonClient ? TME_NONCLIENT : 0u), s.window, 0};
    s.tracking = TrackMouseEvent(&track) != FALSE;
}

void TStyleEngine::SetHot(Skinned& s, bool hot) {
    if (s.hot == hot) return;
    s.hot = hot;
    if (hot) {
        if (hot_ && hot_ != &s) SetHot(*hot_, false);
        hot_ = &s;
    } else if (hot_ == &s) {
        hot_ = nullptr;
    }
    if (s.kind == Kind::Button)
        PaintButtonNow(s);
    else
        PaintFieldBorder(s);
}

LRESULT TStyleEngine::HandleField(Skinned& s, UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND w = s.window;
    switch (message) {
        case WM_NCCALCSIZE: {
            // The platform's edge is 2 wide; the style's border scales.
            const LRESULT result = DefSubclassProc(w, message, wParam, lParam);
            const int extra = AtDpi(look_.editBorderWidth, DpiOf(w)) - GetSystemMetrics(SM_CXEDGE);
            if (extra > 0 && (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)) {
                RECT* r = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                                 : reinterpret_cast<RECT*>(lParam);
                InflateRect(r, -extra, -extra);
                if (r->right < r->left) r->right = r->left;
                if (r->bottom < r->top) r->bottom = r->top;
            }
            return result;
        }
        case WM_NCPAINT: {
            const LRESULT result = DefSubclassProc(w, message, wParam, lParam);
            PaintFieldBorder(s);
            return result;
        }
        case WM_MOUSELEAVE:
        case WM_NCMOUSELEAVE:
            if (s.kind != Kind::Memo) {
                s.tracking = false;
                // Between the client area and the border the pointer leaves one
                // and enters the other: it is still over the field.
                POINT p{};
                GetCursorPos(&p);
                RECT r{};
                GetWindowRect(w, &r);
                if (PtInRect(&r, p) && WindowFromPoint(p) == w) {
                    RECT client{};
                    GetClientRect(w, &client);
                    MapWindowPoints(w, nullptr, reinterpret_cast<POINT*>(&client), 2);
                    TrackLeave(s, !PtInRect(&client, p));
                } else {
                    SetHot(s, false);
                }
            }
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            const LRESULT result = DefSubclassProc(w, message, wParam, lParam);
            PaintFieldBorder(s);
            return result;
        }
        case WM_CREATE: {
            const LRESULT result = DefSubclassProc(w, message, wParam, lParam);
            if (s.kind == Kind::Picker) {
                // The drop-down calendar's colours, by the substitutes.
                const struct {
                    int part;
                    Color color;
                } colors[] = {{MCSC_BACKGROUND, look_.calendarBackground}, {MCSC_MONTHBK, look_.calendarBackground},
                              {MCSC_TEXT, look_.calendarText},             {MCSC_TITLEBK, look_.calendarTitle},
                              {MCSC_TITLETEXT, look_.calendarTitleText},   {MCSC_TRAILINGTEXT, look_.editDisabledText}};
                for (const auto& c : colors) SendMessageW(w, DTM_SETMCCOLOR, c.part, static_cast<LPARAM>(Ref(c.color)));
            }
            return result;
        }
        case WM_PAINT:
        case WM_ENABLE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED: {
            const LRESULT result = DefSubclassProc(w, message, wParam, lParam);
            if (s.kind == Kind::Picker && IsWindow(w)) PaintPickerButton(s);
            return result;
        }
        default:
            break;
    }
    return DefSubclassProc(w, message, wParam, lParam);
}

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

void TStyleEngine::PaintPickerButton(const Skinned& s) {
    const RECT button = PickerButton(s.window);
    const int dpi = DpiOf(s.window);
    WindowDC dc(s.window);
    if (!dc.Get()) return;
    Fill(dc.Get(), button, look_.comboButton);
    // A chevron pointing down, one line per row.
    const int width = AtDpi(look_.comboChevronWidth, dpi), height = AtDpi(look_.comboChevronHeight, dpi);
    const int line = std::max(1, AtDpi(1, dpi));
    const int left = button.left + (button.right - button.left - width) / 2;
    const int top = button.top + (button.bottom - button.top - height) / 2;
    for (int row = 0; row < height; ++row) {
        const int inset = row * width / (2 * height);
        Fill(dc.Get(), RECT{left + inset, top + row, left + inset + line + (width / (2 * height)), top + row + 1},
             look_.comboChevron);
        Fill(dc.Get(),
             RECT{left + width - inset - line - (width / (2 * height)), top + row, left + width - inset, top + row + 1},
             look_.comboChevron);
    }
}

using SetWindowThemeFunction = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);

void TStyleEngine::FitCalendar(HWND picker) {
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
        CalendarSizeFor(look_.calendar, pickerRect.bottom - pickerRect.top, upper.cx, lower.cx, longest);
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

// --- the result area's scroll bar -------------------------------------------------

namespace {

constexpr int kUpArrow = 1, kThumb = 3, kDownArrow = 5;

}  // namespace

namespace {

// The scroll bar's parts. The bar and the states come from the platform; the
// arrows are square and the thumb is placed by the usual proportion from the
// scroll range, page and position (Wine 8 reports no usable arrow size or
// thumb position in SCROLLBARINFO).
ScrollGeometry ScrollGeometryOf(HWND window) {
    ScrollGeometry g;
    SCROLLBARINFO info{};
    info.cbSize = sizeof info;
    if (!GetScrollBarInfo(window, OBJID_VSCROLL, &info)) return g;
    if (info.rgstate[0] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)) return g;
    g.shown = true;
    g.bar = info.rcScrollBar;
    std::copy(std::begin(info.rgstate), std::end(info.rgstate), std::begin(g.states));
    const int width = g.bar.right - g.bar.left;
    const int height = g.bar.bottom - g.bar.top;
    g.arrow = std::min(width, height / 2);
    SCROLLINFO scroll{};
    scroll.cbSize = sizeof scroll;
    scroll.fMask = SIF_ALL;
    g.disabled = (info.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) || !GetScrollInfo(window, SB_VERT, &scroll);
    if (g.disabled) return g;
    const int track = height - 2 * g.arrow;
    const int range = scroll.nMax - scroll.nMin + 1;
    const int page = static_cast<int>(scroll.nPage);
    if (range <= 0 || (page > 0 && page >= range)) {
        g.disabled = true;
        return g;
    }
    int thumb = page > 0 ? MulDiv(track, page, range) : width;
    thumb = std::max(thumb, std::min(track, GetSystemMetrics(SM_CYVTHUMB)));
    const int free = track - thumb;
    if (free < 0) return g;
    const bool dragging = (info.rgstate[kThumb] & STATE_SYSTEM_PRESSED) != 0;
    const int position = dragging ? scroll.nTrackPos : scroll.nPos;
    const int last = scroll.nMax - std::max(page - 1, 0);
    const int offset = last > scroll.nMin ? MulDiv(free, position - scroll.nMin, last - scroll.nMin) : 0;
    g.thumbTop = g.arrow + std::clamp(offset, 0, free);
    g.thumbBottom = g.thumbTop + thumb;
    return g;
}

bool SameScrollBar(const ScrollGeometry& a, const ScrollGeometry& b) {
    return a.shown == b.shown && EqualRect(&a.bar, &b.bar) && a.arrow == b.arrow && a.thumbTop == b.thumbTop &&
           a.thumbBottom == b.thumbBottom && a.disabled == b.disabled &&
           std::equal(std::begin(a.states), std::end(a.states), std::begin(b.states));
}

// The part of the scroll bar at a point on the screen, 0 for none or the track.
int ScrollPartAt(const ScrollGeometry& g, POINT p) {
    if (!g.shown || !PtInRect(&g.bar, p)) return 0;
    const int y = p.y - g.bar.top;
    const int height = g.bar.bottom - g.bar.top;
    if (y < g.arrow) return kUpArrow;
    if (y >= height - g.arrow) return kDownArrow;
    if (y >= g.thumbTop && y < g.thumbBottom) return kThumb;
    return 0;
}

Color Blend(Color over, Color under, int percent) {
    const auto mix = [percent](int a, int b) { return static_cast<std::uint8_t>((a * percent + b * (100 - percent) + 50) / 100); };
    return {mix(over.red, under.red), mix(over.green, under.green), mix(over.blue, under.blue)};
}

// A chevron width x height, pointing up or down, strokes `line` wide.
void DrawChevron(HDC dc, const RECT& area, int width, int height, int line, bool up, Color c) {
    const int left = area.left + (area.right - area.left - width) / 2;
    const int top = area.top + (area.bottom - area.top - height) / 2;
    const int half = width / 2;
    for (int row = 0; row < height; ++row) {
        // The apex row is the narrowest.
        const int fromApex = up ? row : height - 1 - row;
        const int inset = half - (height > 1 ? fromApex * half / (height - 1) : 0);
        const int y = top + row;
        Fill(dc, RECT{left + inset, y, std::min(left + inset + line + 1, left + width), y + 1}, c);
        Fill(dc, RECT{std::max(left + width - inset - line - 1, left), y, left + width - inset, y + 1}, c);
    }
}

}  // namespace

void TStyleEngine::PaintScrollBar(Skinned& s, bool always) {
    const ScrollGeometry g = ScrollGeometryOf(s.window);
    if (!g.shown) return;
    if (!always && SameScrollBar(g, s.scrollDrawn) && s.scrollHot == s.scrollHotDrawn) return;
    s.scrollDrawn = g;
    s.scrollHotDrawn = s.scrollHot;

    const ScrollBarLook& look = look_.scrollBar;
    RECT window{};
    GetWindowRect(s.window, &window);
    RECT bar = g.bar;
    OffsetRect(&bar, -window.left, -window.top);
    const int dpi = DpiOf(s.window);
    const int rim = AtDpi(look.rim, dpi);
    const int line = std::max(1, AtDpi(1, dpi));

    WholeWindowDC windowDc(s.window);
    const HDC dc = windowDc.Get();
    if (!dc) return;
    Fill(dc, bar, look.track);
    const auto stateOf = [&](int part) {
        if (g.states[part] & STATE_SYSTEM_PRESSED) return 2;
        return s.scrollHot == part ? 1 : 0;
    };
    for (int part : {kUpArrow, kDownArrow}) {
        RECT button = bar;
        if (part == kUpArrow)
            button.bottom = bar.top + g.arrow;
        else
            button.top = bar.bottom - g.arrow;
        const bool partDisabled = g.disabled || (g.states[part] & STATE_SYSTEM_UNAVAILABLE);
        const int state = partDisabled ? 0 : stateOf(part);
        Fill(dc, RECT{button.left + rim, button.top + rim, button.right - rim, button.bottom - rim},
             look.arrow[state]);
        const Color chevron =
            partDisabled ? Blend(look.chevron[0], look.arrow[0], look.disabledOpacity) : look.chevron[state];
        DrawChevron(dc, button, AtDpi(look.chevronWidth, dpi), AtDpi(look.chevronHeight, dpi), line,
                    part == kUpArrow, chevron);
    }
    if (!g.disabled && g.thumbBottom > g.thumbTop) {
        const RECT thumb{bar.left + rim, bar.top + g.thumbTop, bar.right - rim, bar.top + g.thumbBottom};
        Fill(dc, thumb, look.thumb[stateOf(kThumb)]);
    }
}

LRESULT TStyleEngine::HandleMemo(Skinned& s, UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND w = s.window;
    switch (message) {
        case WM_NCMOUSEMOVE: {
            const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            const int part = wParam == HTVSCROLL ? ScrollPartAt(ScrollGeometryOf(w), p) : 0;
            s.scrollHot = part;
            TrackLeave(s, true);
            break;  // painted after the platform's own hot look
        }
        case WM_NCMOUSELEAVE:
            s.tracking = false;
            s.scrollHot = 0;
            break;
        case WM_NCDESTROY:
            return HandleField(s, message, wParam, lParam);
        default:
            break;
    }
    const LRESULT result = HandleField(s, message, wParam, lParam);
    if (!IsWindow(w)) return result;
    switch (message) {
        // The platform draws its own scroll bar on these, outside WM_NCPAINT.
        case WM_NCPAINT:
        case WM_NCMOUSEMOVE:
        case WM_NCMOUSELEAVE:
        case WM_MOUSELEAVE:
        case WM_TIMER:
        case WM_VSCROLL:
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONUP:
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
        case WM_SIZE:
        case WM_WINDOWPOSCHANGED:
        case WM_ENABLE:
        case WM_STYLECHANGED:
            PaintScrollBar(s, true);
            break;
        case WM_NCHITTEST:
        case WM_SETCURSOR:
        case WM_GETTEXT:
        case WM_GETTEXTLENGTH:
        case WM_GETFONT:
        case WM_GETDLGCODE:
        case WM_NCCALCSIZE:
        case WM_ERASEBKGND:
            break;
        default:
            // Typing, appending and scrolling move the thumb.
            PaintScrollBar(s, false);
            break;
    }
    return result;
}

// --- the push button -------------------------------------------------------------

void TStyleEngine::PaintButton(const Skinned& s, HDC dc) {
    RECT r{};
    GetClientRect(s.window, &r);
    const bool pressed = (SendMessageW(s.window, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
    const ButtonState state = ChooseButtonState(pressed, s.hot, GetFocus() == s.window);
    const int index = static_cast<int>(state);
    Fill(dc, r, look_.buttonFace[index]);
    const int length = GetWindowTextLengthW(s.window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(s.window, text.data(), length + 1)));
    const auto font = reinterpret_cast<HFONT>(SendMessageW(s.window, WM_GETFONT, 0, 0));
    SelectedObject selected(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Ref(look_.buttonText[index]));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
}

void TStyleEngine::PaintButtonNow(const Skinned& s) {
    WindowDC dc(s.window);
    if (dc.Get()) PaintButton(s, dc.Get());
}

LRESULT TStyleEngine::HandleButton(Skinned& s, UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND w = s.window;
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(w, &paint);
            if (dc) PaintButton(s, dc);
            EndPaint(w, &paint);
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintButton(s, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_MOUSELEAVE: {
            s.tracking = false;
            const LRESULT result = DefSubclassProc(w, message, wParam, lParam);
            SetHot(s, false);
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
            const LRESULT result = DefSubclassProc(w, message, wParam, lParam);
            if (IsWindow(w)) PaintButtonNow(s);
            return result;
        }
        default:
            break;
    }
    return DefSubclassProc(w, message, wParam, lParam);
}

// --- shortcut menus -----------------------------------------------------------------

HFONT TStyleEngine::MenuFont(int dpi) {
    if (!menuFont_ || menuFontDpi_ != dpi) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        LOGFONTW font{};
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
            font = metrics.lfMenuFont;
        } else {
            font.lfHeight = -12;
            lstrcpyW(font.lfFaceName, L"Tahoma");
        }
        menuFont_.Reset(CreateFontIndirectW(&font));
        menuFontDpi_ = dpi;
    }
    return menuFont_.Get();
}

void TStyleEngine::MakeOwnerDrawn(HMENU menu, int dpi) {
    (void)dpi;
    std::vector<std::wstring>& texts = menuTexts_[menu];
    texts.clear();
    std::vector<UINT> positions;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_STRING;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item)) continue;
        if (item.fType & (MFT_OWNERDRAW | MFT_BITMAP)) continue;
        std::wstring text;  // empty for a separator
        if (!(item.fType & MFT_SEPARATOR) && item.cch > 0) {
            text.resize(item.cch + 1);
            item.dwTypeData = text.data();
            item.cch += 1;
            GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item);
            text.resize(item.cch);
        }
        texts.push_back(text);
        positions.push_back(static_cast<UINT>(i));
    }
    // Each item carries its text's address, stable while the menu is open.
    for (std::size_t k = 0; k < texts.size(); ++k) {
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE;
        GetMenuItemInfoW(menu, positions[k], TRUE, &item);
        item.fMask = MIIM_FTYPE | MIIM_DATA;
        item.fType |= MFT_OWNERDRAW;
        item.dwItemData = reinterpret_cast<ULONG_PTR>(&texts[k]);
        SetMenuItemInfoW(menu, positions[k], TRUE, &item);
    }
    if (!menuBrush_) menuBrush_.Reset(CreateSolidBrush(Ref(look_.menuBackground)));
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_BACKGROUND;
    info.hbrBack = menuBrush_.Get();
    SetMenuInfo(menu, &info);
}

const std::wstring* TStyleEngine::MenuText(ULONG_PTR data) const {
    for (const auto& entry : menuTexts_)
        for (const std::wstring& text : entry.second)
            if (reinterpret_cast<ULONG_PTR>(&text) == data) return &text;
    return nullptr;
}

bool TStyleEngine::HandleMenuOwner(Skinned& s, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const HWND w = s.window;
    const int dpi = DpiOf(w);
    switch (message) {
        case WM_CONTEXTMENU: {
            // The control builds and tracks its menu itself, telling its owner
            // nothing before the menu's window exists: that window is recognised
            // as this control's while the control is in here.
            Skinned* const outer = menuOwner_;
            menuOwner_ = &s;
            result = DefSubclassProc(w, message, wParam, lParam);
            menuOwner_ = outer;
            return true;
        }
        case WM_INITMENUPOPUP:
            result = DefSubclassProc(w, message, wParam, lParam);
            MakeOwnerDrawn(reinterpret_cast<HMENU>(wParam), dpi);
            return true;
        case WM_UNINITMENUPOPUP:
            menuTexts_.erase(reinterpret_cast<HMENU>(wParam));
            return false;
        case WM_EXITMENULOOP:
            menuTexts_.clear();
            return false;
        case WM_MEASUREITEM: {
            auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            if (measure->CtlType != ODT_MENU) return false;
            const std::wstring* text = MenuText(measure->itemData);
            if (!text) return false;
            if (text->empty()) {
                measure->itemWidth = static_cast<UINT>(AtDpi(20, dpi));
                measure->itemHeight = static_cast<UINT>(AtDpi(7, dpi));
            } else {
                WindowDC dc(w);
                SelectedObject font(dc.Get(), MenuFont(dpi));
                RECT r{};
                DrawTextW(dc.Get(), text->c_str(), static_cast<int>(text->size()), &r,
                          DT_SINGLELINE | DT_CALCRECT | DT_EXPANDTABS);
                measure->itemWidth = static_cast<UINT>(r.right + AtDpi(48, dpi));
                measure->itemHeight = static_cast<UINT>(r.bottom + AtDpi(8, dpi));
            }
            result = TRUE;
            return true;
        }
        case WM_DRAWITEM: {
            const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (draw->CtlType != ODT_MENU) return false;
            const std::wstring* found = MenuText(draw->itemData);
            if (!found) return false;
            const std::wstring& text = *found;
            const HDC dc = draw->hDC;
            const bool disabled = (draw->itemState & (ODS_DISABLED | ODS_GRAYED)) != 0;
            const bool hot = (draw->itemState & ODS_SELECTED) != 0 && !disabled;
            Fill(dc, draw->rcItem, hot ? look_.menuHot : look_.menuBackground);
            if (text.empty()) {
                const int y = (draw->rcItem.top + draw->rcItem.bottom) / 2;
                Fill(dc, RECT{draw->rcItem.left + AtDpi(4, dpi), y, draw->rcItem.right - AtDpi(4, dpi),
                              y + std::max(1, AtDpi(1, dpi))},
                     look_.menuSeparator);
            } else {
                SelectedObject font(dc, MenuFont(dpi));
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, Ref(disabled ? look_.menuDisabledText : look_.menuText));
                RECT r = draw->rcItem;
                r.left += AtDpi(24, dpi);
                r.right -= AtDpi(12, dpi);
                const std::size_t tab = text.find(L'\t');
                const UINT prefix = (draw->itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0;
                DrawTextW(dc, text.c_str(), static_cast<int>(tab == std::wstring::npos ? text.size() : tab), &r,
                          DT_SINGLELINE | DT_VCENTER | DT_LEFT | prefix);
                if (tab != std::wstring::npos)
                    DrawTextW(dc, text.c_str() + tab + 1, static_cast<int>(text.size() - tab - 1), &r,
                              DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
            }
            result = TRUE;
            return true;
        }
        default:
            return false;
    }
}

void TStyleEngine::PaintMenuBorder(const Skinned& s) {
    RECT r{};
    GetWindowRect(s.window, &r);
    OffsetRect(&r, -r.left, -r.top);
    // Around the items: the menu's white, then a 1-pixel black border.
    const auto menu = reinterpret_cast<HMENU>(SendMessageW(s.window, 0x01E1 /* MN_GETHMENU */, 0, 0));
    RECT items{};
    if (menu) {
        for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
            RECT item{};
            if (GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &item)) UnionRect(&items, &items, &item);
        }
    }
    WholeWindowDC dc(s.window);
    if (!dc.Get()) return;
    SavedDC saved(dc.Get());
    if (!IsRectEmpty(&items)) {
        RECT window{};
        GetWindowRect(s.window, &window);
        OffsetRect(&items, -window.left, -window.top);
        ExcludeClipRect(dc.Get(), items.left, items.top, items.right, items.bottom);
    }
    Fill(dc.Get(), r, look_.menuBackground);
    const int line = std::max(1, AtDpi(1, DpiOf(s.window)));
    Fill(dc.Get(), RECT{0, 0, r.right, line}, look_.menuBorder);
    Fill(dc.Get(), RECT{0, r.bottom - line, r.right, r.bottom}, look_.menuBorder);
    Fill(dc.Get(), RECT{0, 0, line, r.bottom}, look_.menuBorder);
    Fill(dc.Get(), RECT{r.right - line, 0, r.right, r.bottom}, look_.menuBorder);
}

LRESULT TStyleEngine::HandleMenu(Skinned& s, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = DefSubclassProc(s.window, message, wParam, lParam);
    if (message == WM_CREATE && menuOwner_) {
        // A shortcut menu of a field or the result area whose owner was not
        // told before it opened: its items are drawn by the style from now
        // on, in the places measured for their texts.
        const auto menu = reinterpret_cast<HMENU>(SendMessageW(s.window, 0x01E1 /* MN_GETHMENU */, 0, 0));
        if (menu && menuTexts_.find(menu) == menuTexts_.end()) MakeOwnerDrawn(menu, DpiOf(menuOwner_->window));
    }
    if ((message == WM_PAINT || message == WM_NCPAINT || message == WM_PRINT || message == WM_SHOWWINDOW) &&
        IsWindow(s.window))
        PaintMenuBorder(s);
    return result;
}

// --- the program's own containers ------------------------------------------------

LRESULT TStyleEngine::HandleContainer(Skinned& s, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: {
            RECT client{};
            GetClientRect(s.window, &client);
            Fill(reinterpret_cast<HDC>(wParam), client, look_.panel);
            return 1;
        }
        default:
            break;
    }
    return DefSubclassProc(s.window, message, wParam, lParam);
}

}  // namespace pix::style
