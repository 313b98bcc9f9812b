#include "style/frame.h"

#include <commctrl.h>
#include <dwmapi.h>

#include <algorithm>
#include <string>

#include "base/core/dpi.h"
#include "base/system_library.h"
#include "style/engine.h"
#include "style/field.h"
#include "style/paint.h"
#include "win/window.h"
#include "win/dpi.h"

namespace pix::style {

namespace {

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

// Undocumented: the themed platform's own painting of the caption and frame.
constexpr UINT kNcUahDrawCaption = 0x00AE;
constexpr UINT kNcUahDrawFrame = 0x00AF;

BOOL CALLBACK RecomputeFrame(HWND window, LPARAM) {
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return TRUE;
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

FrameButtons ButtonsOf(HWND window) {
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    FrameButtons buttons;
    buttons.close = (style & WS_SYSMENU) != 0;
    buttons.maximize = (style & WS_MAXIMIZEBOX) != 0;
    buttons.minimize = (style & WS_MINIMIZEBOX) != 0;
    return buttons;
}

UniqueFont CaptionFont(const TextStyle& t, int height) {
    LOGFONTW font{};
    font.lfHeight = -height;
    font.lfWeight = t.bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = t.italic;
    font.lfUnderline = t.underline;
    font.lfStrikeOut = t.strikeout;
    font.lfCharSet = static_cast<BYTE>(t.charset);
    const std::wstring face(t.face.begin(), t.face.end());
    lstrcpynW(font.lfFaceName, face.c_str(), LF_FACESIZE);
    return UniqueFont(CreateFontIndirectW(&font));
}

HICON SmallIconOf(HWND window) {
    auto icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL2, 0));
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICONSM));
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON));
    return icon;
}

// The colours the controls ask their parent for: labels transparent in the
// static text colour whatever their own, fields in the field colours.
LRESULT ControlColor(const Look& look, UINT message, WPARAM wParam) {
    const auto dc = reinterpret_cast<HDC>(wParam);
    SetDCBrushColor(dc, Ref(message == WM_CTLCOLORSTATIC ? look.panel : look.editBackground));
    if (message == WM_CTLCOLORSTATIC) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, Ref(look.staticText));
    } else {
        SetBkColor(dc, Ref(look.editBackground));
        SetTextColor(dc, Ref(look.editText));
    }
    return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
}

}  // namespace

LRESULT FrameWindow::PaintAfter(LRESULT result) {
    if (IsWindow(window_)) Paint();
    return result;
}

// The platform paints a frame only on a visible window: while it handles the
// message, the window is marked hidden (the style bit only, as WM_SETREDRAW
// does; nothing is hidden or shown on the screen, and every window of the
// program belongs to this one thread).
LRESULT FrameWindow::DefaultUnpainted(UINT message, WPARAM wParam, LPARAM lParam) {
    const LONG style = GetWindowLongW(window_, GWL_STYLE);
    if (!(style & WS_VISIBLE)) return Default(message, wParam, lParam);
    struct Unmarked {
        HWND window;
        explicit Unmarked(HWND w, LONG style) : window(w) { SetWindowLongW(w, GWL_STYLE, style & ~WS_VISIBLE); }
        ~Unmarked() {
            if (IsWindow(window)) SetWindowLongW(window, GWL_STYLE, GetWindowLongW(window, GWL_STYLE) | WS_VISIBLE);
        }
        Unmarked(const Unmarked&) = delete;
        Unmarked& operator=(const Unmarked&) = delete;
    } const unmarked(window_, style);
    return Default(message, wParam, lParam);
}

FrameWindow::FrameWindow(TStyleEngine& engine, HWND window) : SkinnedWindow(engine, window), dpi_(WindowDpi(window)) {}

FrameMetrics FrameWindow::Metrics(const RECT& windowRect) const {
    const FrameMetrics m = ScaleFrame(GetLook().frame, dpi_);
    if (!IsZoomed(window_)) return m;
    // Maximised, the window reaches beyond its monitor's work area; the frame
    // shown starts at the work area's edge.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromRect(&windowRect, MONITOR_DEFAULTTONEAREST), &monitor);
    const int inset = std::max(0, static_cast<int>(monitor.rcWork.left - windowRect.left));
    return MaximizedFrame(m, inset);
}

void FrameWindow::Paint() {
    if (IsIconic(window_) || !IsWindowVisible(window_)) return;
    RECT windowRect{};
    GetWindowRect(window_, &windowRect);
    const int width = windowRect.right - windowRect.left;
    const int height = windowRect.bottom - windowRect.top;
    const FrameMetrics m = Metrics(windowRect);
    const FrameBoxes b = LayOutFrame(m, width, height);
    const FrameLook& f = GetLook().frame;
    const FrameColors& colors = active_ ? f.active : f.inactive;

    WholeWindowDC windowDc(window_);
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
    const FrameButtons shown = ButtonsOf(window_);
    const int line = LineAtDpi(dpi_);
    struct Button {
        FramePart part;
        Box box;
        bool shown;
    } const buttons[] = {{FramePart::Close, b.close, shown.close},
                         {FramePart::Maximize, b.maximize, shown.maximize},
                         {FramePart::Minimize, b.minimize, shown.minimize}};
    int captionRight = b.captionBand.right;
    for (const Button& button : buttons) {
        if (!button.shown) continue;
        captionRight = button.box.left;
        const bool pressed = pressedButton_ == button.part && pressedInside_;
        const bool hot = !pressed && hotButton_ == button.part && pressedButton_ == FramePart::Client;
        const bool close = button.part == FramePart::Close;
        if (pressed || hot) {
            Fill(dc, button.box, close ? (pressed ? f.closePressed : f.closeHot)
                                       : (pressed ? f.buttonPressed : f.buttonHot));
        }
        const Color glyph = (pressed || hot) ? (close ? f.closeHotGlyph : f.buttonHotGlyph) : colors.glyph;
        DrawGlyph(dc, button.part, IsZoomed(window_) != FALSE, button.box, m.glyphSize, line, glyph);
    }

    // The small icon in its area, then the caption.
    if (const HICON icon = SmallIconOf(window_))
        DrawIconEx(dc, b.icon.left, b.icon.top, icon, m.iconSize, m.iconSize, 0, nullptr, DI_NORMAL);
    if (!captionFont_ || captionFontDpi_ != dpi_) {
        captionFont_ = CaptionFont(colors.caption, m.captionFontHeight);
        captionFontDpi_ = dpi_;
    }
    const std::wstring caption = WindowText(window_);
    RECT text{b.captionLeft, b.captionBand.top, captionRight, b.captionBand.bottom};
    SelectedObject font(dc, captionFont_.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Ref(colors.caption.color));
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
}

LRESULT FrameWindow::HitTest(LPARAM point) {
    RECT windowRect{};
    GetWindowRect(window_, &windowRect);
    const FrameMetrics m = Metrics(windowRect);
    const int width = windowRect.right - windowRect.left, height = windowRect.bottom - windowRect.top;
    const FrameBoxes b = LayOutFrame(m, width, height);
    const int x = static_cast<short>(LOWORD(point)) - windowRect.left;
    const int y = static_cast<short>(HIWORD(point)) - windowRect.top;
    const bool resizable = (GetWindowLongW(window_, GWL_STYLE) & WS_THICKFRAME) && !IsZoomed(window_);
    return HitCode(HitTestFrame(m, b, ButtonsOf(window_), width, height, x, y, resizable));
}

void FrameWindow::ButtonPressed(FramePart part) {
    WPARAM command = 0;
    if (part == FramePart::Close) command = SC_CLOSE;
    if (part == FramePart::Minimize) command = SC_MINIMIZE;
    if (part == FramePart::Maximize) command = IsZoomed(window_) ? SC_RESTORE : SC_MAXIMIZE;
    if (command) SendMessageW(window_, WM_SYSCOMMAND, command, 0);
}

// The platform would scale the outer size; the client area scales by the
// form's rule and the frame by its own measures.
LRESULT FrameWindow::ScaledSize(WPARAM wParam, LPARAM lParam) {
    const int newDpi = static_cast<int>(LOWORD(wParam));
    auto* size = reinterpret_cast<SIZE*>(lParam);
    if (newDpi <= 0 || !size || IsZoomed(window_) || IsIconic(window_))
        return Default(kWmGetDpiScaledSize, wParam, lParam);
    RECT client{};
    GetClientRect(window_, &client);
    const FrameMetrics m = ScaleFrame(GetLook().frame, newDpi);
    size->cx = pix::dpi::Scale(client.right, dpi_, newDpi) + 2 * m.border;
    size->cy = pix::dpi::Scale(client.bottom, dpi_, newDpi) + m.TitleHeight() + m.border;
    return TRUE;
}

LRESULT FrameWindow::DpiChanged(WPARAM wParam, LPARAM lParam) {
    dpi_ = HIWORD(wParam);
    const LRESULT result = Default(kWmDpiChanged, wParam, lParam);
    // The frames of the window and of its fields take the new DPI.
    RecomputeFrames(window_);
    RedrawWindow(window_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return result;
}

LRESULT FrameWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND w = window_;
    switch (message) {
        case WM_NCCREATE:
        // Composition turned back on (Vista and 7) starts the compositor
        // anew: the window opts out again.
        case WM_DWMCOMPOSITIONCHANGED: {
            const LRESULT result = Default(message, wParam, lParam);
            KeepFrameFromCompositor(w);
            return result;
        }
        case WM_NCCALCSIZE: {
            RECT* r = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
            const RECT windowRect = *r;
            const FrameMetrics m = Metrics(windowRect);
            const FrameBoxes b = LayOutFrame(m, r->right - r->left, r->bottom - r->top);
            r->left = windowRect.left + b.client.left;
            r->top = windowRect.top + b.client.top;
            r->right = windowRect.left + b.client.right;
            r->bottom = windowRect.top + b.client.bottom;
            return 0;
        }
        case WM_NCPAINT:
            if (IsIconic(w)) break;
            Paint();
            return 0;
        // The platform's own painting of its frame, outside WM_NCPAINT. (The
        // frame is opted out of the compositor's, so nothing hides what the
        // platform paints any more than what the style paints.)
        //
        // WM_NCACTIVATE: -1 asks for no painting, but only where no visual
        // style is active; WM_SETTEXT, WM_SETICON and WM_ENABLE repaint the
        // caption at once. The platform keeps its bookkeeping with nothing
        // painted, and the style's frame is painted at once after.
        case WM_NCACTIVATE:
            active_ = wParam != FALSE;
            return PaintAfter(DefaultUnpainted(message, wParam, -1));
        case WM_SETTEXT:
        case WM_SETICON:
        case WM_ENABLE:
            return PaintAfter(DefaultUnpainted(message, wParam, lParam));
        // Sent by the themed platform to itself (undocumented, on Vista
        // and later) to paint the caption or the frame in the visual style,
        // on activation and on a new caption among others: the frame is
        // the style's, nothing of the theme is painted.
        case kNcUahDrawCaption:
        case kNcUahDrawFrame:
            return 0;
        // Moving and sizing by the frame, the system menu (from the
        // keyboard or a click on the icon) and the platform's own buttons:
        // the platform may paint its caption or its system-menu button while
        // in there, and does when it is done (Wine's draws its system-menu
        // button pressed while the menu is open and again when it closes).
        // The style's frame is painted straight after each.
        case WM_SYSCOMMAND:
        case WM_ENTERSIZEMOVE:
        case WM_EXITSIZEMOVE:
        case WM_CONTEXTMENU:
        case WM_ENTERMENULOOP:
        case WM_EXITMENULOOP:
        case WM_INITMENUPOPUP:
            return PaintAfter(Default(message, wParam, lParam));
        case WM_ACTIVATE:
            active_ = LOWORD(wParam) != WA_INACTIVE;
            break;
        case WM_NCHITTEST:
            return HitTest(lParam);
        case WM_NCMOUSEMOVE: {
            // Over its own buttons the themed platform tracks the pointer
            // and paints them hot: over the style's, it is not told.
            const FramePart hot = ButtonOfHit(wParam);
            const LRESULT result = IsFrameButton(hot) ? 0 : Default(message, wParam, lParam);
            TrackLeave(true);
            if (hot != hotButton_) {
                hotButton_ = hot;
                Paint();
            }
            return result;
        }
        case WM_NCMOUSELEAVE: {
            TrackingEnded();
            const LRESULT result = Default(message, wParam, lParam);
            hotButton_ = FramePart::Client;
            return PaintAfter(result);
        }
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK: {
            const FramePart part = ButtonOfHit(wParam);
            if (!IsFrameButton(part)) break;
            // The platform would track the press itself, painting its own button.
            pressedButton_ = part;
            pressedInside_ = true;
            SetCapture(w);
            Paint();
            return 0;
        }
        case WM_MOUSEMOVE:
            if (pressedButton_ != FramePart::Client) {
                POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
                ClientToScreen(w, &p);
                const LRESULT hit = HitTest(MAKELPARAM(p.x, p.y));
                const bool inside = ButtonOfHit(static_cast<WPARAM>(hit)) == pressedButton_;
                if (inside != pressedInside_) {
                    pressedInside_ = inside;
                    Paint();
                }
                return 0;
            }
            break;
        case WM_LBUTTONUP:
            if (pressedButton_ != FramePart::Client) {
                const FramePart part = pressedButton_;
                const bool inside = pressedInside_;
                pressedButton_ = FramePart::Client;
                pressedInside_ = false;
                hotButton_ = inside ? part : FramePart::Client;
                ReleaseCapture();
                Paint();
                if (inside) {
                    hotButton_ = FramePart::Client;
                    ButtonPressed(part);
                }
                return 0;
            }
            break;
        case WM_CAPTURECHANGED:
            if (pressedButton_ != FramePart::Client && reinterpret_cast<HWND>(lParam) != w) {
                pressedButton_ = FramePart::Client;
                pressedInside_ = false;
                Paint();
            }
            break;
        case kWmGetDpiScaledSize:
            return ScaledSize(wParam, lParam);
        case kWmDpiChanged:
            return DpiChanged(wParam, lParam);
        case WM_ERASEBKGND: {
            RECT client{};
            GetClientRect(w, &client);
            Fill(reinterpret_cast<HDC>(wParam), client, GetLook().clientBackground);
            return 1;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            const LRESULT result = Default(message, wParam, lParam);
            if (header && header->code == DTN_DROPDOWN) FitCalendar(GetLook(), header->hwndFrom);
            return result;
        }
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            return ControlColor(GetLook(), message, wParam);
        default:
            break;
    }
    return Default(message, wParam, lParam);
}

void RecomputeFrames(HWND window) {
    RecomputeFrame(window, 0);
    EnumChildWindows(window, &RecomputeFrame, 0);
}

LRESULT ContainerWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) {
        RECT client{};
        GetClientRect(window_, &client);
        Fill(reinterpret_cast<HDC>(wParam), client, GetLook().panel);
        return 1;
    }
    return Default(message, wParam, lParam);
}

}  // namespace pix::style
