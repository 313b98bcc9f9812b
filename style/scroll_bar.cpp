#include "style/scroll_bar.h"

#include <algorithm>

#include "base/handles.h"
#include "style/engine.h"
#include "style/paint.h"

namespace pix::style {

namespace {

// The platform numbers a scroll bar's parts in SCROLLBARINFO: 0 the bar,
// 1 the up arrow, 3 the thumb, 5 the down arrow.
constexpr int kBar = 0;
int StateIndex(ScrollPart part) noexcept {
    switch (part) {
        case ScrollPart::UpArrow: return 1;
        case ScrollPart::Thumb: return 3;
        case ScrollPart::DownArrow: return 5;
        default: return kBar;
    }
}

struct ScrollBarNow {
    ScrollGeometry geometry;
    std::uint32_t states[6] = {};
};

ScrollBarNow ReadScrollBar(HWND window, int minimumThumb) {
    ScrollBarNow now;
    SCROLLBARINFO info{};
    info.cbSize = sizeof info;
    if (!GetScrollBarInfo(window, OBJID_VSCROLL, &info)) return now;
    std::copy(std::begin(info.rgstate), std::end(info.rgstate), std::begin(now.states));
    SCROLLINFO scroll{};
    scroll.cbSize = sizeof scroll;
    scroll.fMask = SIF_ALL;
    ScrollBarReport report;
    report.bar = {info.rcScrollBar.left, info.rcScrollBar.top, info.rcScrollBar.right, info.rcScrollBar.bottom};
    report.shown = !(info.rgstate[kBar] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN));
    report.unavailable = (info.rgstate[kBar] & STATE_SYSTEM_UNAVAILABLE) != 0;
    report.hasRange = GetScrollInfo(window, SB_VERT, &scroll) != FALSE;
    report.min = scroll.nMin;
    report.max = scroll.nMax;
    report.page = static_cast<int>(scroll.nPage);
    report.position = scroll.nPos;
    report.trackPosition = scroll.nTrackPos;
    report.dragging = (info.rgstate[StateIndex(ScrollPart::Thumb)] & STATE_SYSTEM_PRESSED) != 0;
    report.minimumThumb = minimumThumb;
    now.geometry = LayOutScrollBar(report);
    return now;
}

}  // namespace

bool ResultArea::Drawn::operator==(const Drawn& other) const noexcept {
    return geometry == other.geometry && hot == other.hot &&
           std::equal(std::begin(states), std::end(states), std::begin(other.states));
}

void ResultArea::PaintScrollBar(bool always) {
    // Nothing shows while the area is hidden (as it is built); its first
    // WM_NCPAINT paints the bar whole.
    if (!IsWindowVisible(window_)) return;
    const ScrollBarNow now = ReadScrollBar(window_, GetSystemMetrics(SM_CYVTHUMB));
    const ScrollGeometry& g = now.geometry;
    if (!g.shown) return;
    Drawn next{g, {}, hot_};
    std::copy(std::begin(now.states), std::end(now.states), std::begin(next.states));
    if (!always && next == drawn_) return;
    drawn_ = next;

    const ScrollBarLook& look = GetLook().scrollBar;
    RECT window{};
    GetWindowRect(window_, &window);
    RECT bar{g.bar.left - window.left, g.bar.top - window.top, g.bar.right - window.left, g.bar.bottom - window.top};
    const int dpi = engine_.DpiOf(window_);
    const int rim = AtDpi(look.rim, dpi);
    const int line = LineAtDpi(dpi);

    WholeWindowDC windowDc(window_);
    const HDC dc = windowDc.Get();
    if (!dc) return;
    Fill(dc, bar, look.track);
    // 0 at rest, 1 under the pointer, 2 held down.
    const auto stateOf = [&](ScrollPart part) {
        if (now.states[StateIndex(part)] & STATE_SYSTEM_PRESSED) return 2;
        return hot_ == part ? 1 : 0;
    };
    for (ScrollPart part : {ScrollPart::UpArrow, ScrollPart::DownArrow}) {
        RECT button = bar;
        if (part == ScrollPart::UpArrow)
            button.bottom = bar.top + g.arrow;
        else
            button.top = bar.bottom - g.arrow;
        const bool partDisabled = g.disabled || (now.states[StateIndex(part)] & STATE_SYSTEM_UNAVAILABLE);
        const int state = partDisabled ? 0 : stateOf(part);
        Fill(dc, RECT{button.left + rim, button.top + rim, button.right - rim, button.bottom - rim},
             look.arrow[state]);
        const Color chevron =
            partDisabled ? Blend(look.chevron[0], look.arrow[0], look.disabledOpacity) : look.chevron[state];
        DrawChevron(dc, button, AtDpi(look.chevronWidth, dpi), AtDpi(look.chevronHeight, dpi), line,
                    part == ScrollPart::UpArrow, chevron);
    }
    if (!g.disabled && g.thumbBottom > g.thumbTop) {
        const RECT thumb{bar.left + rim, bar.top + g.thumbTop, bar.right - rim, bar.top + g.thumbBottom};
        Fill(dc, thumb, look.thumb[stateOf(ScrollPart::Thumb)]);
    }
}

LRESULT ResultArea::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND w = window_;
    switch (message) {
        case WM_NCMOUSEMOVE: {
            hot_ = ScrollPart::None;
            if (wParam == HTVSCROLL) {
                const ScrollBarNow now = ReadScrollBar(w, GetSystemMetrics(SM_CYVTHUMB));
                hot_ = ScrollPartAt(now.geometry, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
            }
            TrackLeave(true);
            break;  // painted after the platform's own hot look
        }
        case WM_NCMOUSELEAVE:
            TrackingEnded();
            hot_ = ScrollPart::None;
            break;
        default:
            break;
    }
    const LRESULT result = FieldWindow::OnMessage(message, wParam, lParam);
    if (!IsWindow(w) || ChangesNothingShown(message)) return result;
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
            PaintScrollBar(true);
            break;
        default:
            // Typing, appending and scrolling move the thumb.
            PaintScrollBar(false);
            break;
    }
    return result;
}

}  // namespace pix::style
