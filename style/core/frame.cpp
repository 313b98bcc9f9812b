#include "style/core/frame.h"

#include "base/core/dpi.h"

namespace pix::style {

namespace {
int AtDpi(int value, int dpi) noexcept { return pix::dpi::FromDesign(value, dpi); }
}  // namespace

FrameMetrics ScaleFrame(const FrameLook& look, int dpi) noexcept {
    // Edges are scaled, as the form scales its controls' edges; a part's size
    // is the difference of its scaled edges, so the parts still add up.
    const auto span = [dpi](int from, int size) { return AtDpi(from + size, dpi) - AtDpi(from, dpi); };
    FrameMetrics m;
    m.topLine = AtDpi(look.topLine, dpi);
    m.captionBand = span(look.topLine, look.captionBand);
    m.border = AtDpi(look.border, dpi);
    m.outline = AtDpi(look.outline, dpi);
    m.buttonWidth = AtDpi(look.buttonWidth, dpi);
    m.buttonHeight = span(look.topLine, look.buttonHeight);
    m.glyphSize = AtDpi(look.glyphSize, dpi);
    m.iconLeft = AtDpi(look.iconLeft, dpi);
    m.iconTop = AtDpi(look.iconTop, dpi);
    m.iconWidth = span(look.iconLeft, look.iconWidth);
    m.iconHeight = span(look.iconTop, look.iconHeight);
    m.iconSize = AtDpi(look.iconSize, dpi);
    m.captionGap = AtDpi(look.captionGap, dpi);
    // Points are 1/72 inch.
    m.captionFontHeight = pix::dpi::Scale(look.active.caption.size, 72, dpi);
    return m;
}

FrameMetrics MaximizedFrame(FrameMetrics m, int inset) noexcept {
    m.inset = inset;
    m.topLine = 0;
    m.outline = 0;
    m.border = inset;
    return m;
}

FrameBoxes LayOutFrame(const FrameMetrics& m, int width, int height) noexcept {
    FrameBoxes b;
    const int title = m.TitleHeight();
    const int in = m.inset;
    b.topLine = {in, in, width - in, in + m.topLine};
    b.captionBand = {in, in + m.topLine, width - in, title};
    b.client = {m.border, title, width - m.border, height - m.border};
    if (b.client.right < b.client.left) b.client.right = b.client.left;
    if (b.client.bottom < b.client.top) b.client.bottom = b.client.top;
    const int buttonTop = in + m.topLine;
    const int buttonBottom = buttonTop + m.buttonHeight;
    b.close = {width - in - m.buttonWidth, buttonTop, width - in, buttonBottom};
    b.maximize = {b.close.left - m.buttonWidth, buttonTop, b.close.left, buttonBottom};
    b.minimize = {b.maximize.left - m.buttonWidth, buttonTop, b.maximize.left, buttonBottom};
    b.iconArea = {in + m.iconLeft, in + m.iconTop, in + m.iconLeft + m.iconWidth, in + m.iconTop + m.iconHeight};
    const int iconY = b.iconArea.top + (m.iconHeight - m.iconSize) / 2;
    b.icon = {b.iconArea.left, iconY, b.iconArea.left + m.iconSize, iconY + m.iconSize};
    b.captionLeft = b.iconArea.right + m.captionGap;
    return b;
}

FramePart HitTestFrame(const FrameMetrics& m, const FrameBoxes& b, FrameButtons buttons, int width, int height,
                       int x, int y, bool resizable) noexcept {
    if (resizable) {
        // A corner reaches along both edges as far as the caption band is high.
        const int reach = m.captionBand;
        const bool left = x < m.border, right = x >= width - m.border;
        const bool top = y < m.border, bottom = y >= height - m.border;
        const bool nearLeft = x < reach, nearRight = x >= width - reach;
        const bool nearTop = y < reach, nearBottom = y >= height - reach;
        if ((top && nearLeft) || (left && nearTop)) return FramePart::TopLeft;
        if ((top && nearRight) || (right && nearTop)) return FramePart::TopRight;
        if ((bottom && nearLeft) || (left && nearBottom)) return FramePart::BottomLeft;
        if ((bottom && nearRight) || (right && nearBottom)) return FramePart::BottomRight;
        if (left) return FramePart::Left;
        if (right) return FramePart::Right;
        if (bottom) return FramePart::Bottom;
        // The top edge is thin: the top line and the band's first pixels
        // above the buttons resize, the rest of the band is caption.
        if (y < m.outline + (m.border - m.outline) / 2) return FramePart::Top;
    }
    if (buttons.close && b.close.Contains(x, y)) return FramePart::Close;
    if (buttons.maximize && b.maximize.Contains(x, y)) return FramePart::Maximize;
    if (buttons.minimize && b.minimize.Contains(x, y)) return FramePart::Minimize;
    if (b.iconArea.Contains(x, y)) return FramePart::SystemMenu;
    if (y < m.TitleHeight()) return FramePart::Caption;
    if (b.client.Contains(x, y)) return FramePart::Client;
    // Only a maximised window gets here: its edges are beyond the screen.
    return FramePart::Caption;
}

}  // namespace pix::style
