// The window frame of the house style at one DPI: where its parts lie in a
// window of a given size, and which part a point is in. Coordinates are
// relative to the window's top-left corner.
#pragma once

#include "base/core/box.h"
#include "style/core/look.h"

namespace pix::style {

// The frame's measures at one DPI, each by the form's one rounding rule.
struct FrameMetrics {
    int topLine = 0, captionBand = 0, border = 0, outline = 0;
    int buttonWidth = 0, buttonHeight = 0, glyphSize = 0;
    int iconLeft = 0, iconTop = 0, iconWidth = 0, iconHeight = 0, iconSize = 0, captionGap = 0;
    int captionFontHeight = 0;  // pixels, from the caption text style's points
    // How far a maximised window reaches beyond the screen on each side: the
    // visible frame starts there, with no top line and no borders.
    int inset = 0;
    int TitleHeight() const noexcept { return inset + topLine + captionBand; }
};
FrameMetrics ScaleFrame(const FrameLook& look, int dpi) noexcept;
// The same for a maximised window reaching `inset` pixels beyond the screen.
FrameMetrics MaximizedFrame(FrameMetrics m, int inset) noexcept;

enum class FramePart {
    Client, Caption, SystemMenu, Minimize, Maximize, Close,
    Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight,
};

// The system buttons from right to left: close, maximise (or restore), minimise.
struct FrameBoxes {
    Box topLine, captionBand, client;
    Box close, maximize, minimize;
    Box iconArea, icon;
    int captionLeft = 0;  // where the caption text begins
};
FrameBoxes LayOutFrame(const FrameMetrics& m, int width, int height) noexcept;

// The system buttons a window has (by its window styles): the close button
// comes with the system menu, the others each with its own style. Only the
// buttons a window has are drawn and answer; where a missing one would be,
// the caption goes on.
struct FrameButtons {
    bool close = true, maximize = true, minimize = true;
};

// A maximised window has no resizing edges: its frame lies partly beyond the
// screen, and what shows of it is caption.
FramePart HitTestFrame(const FrameMetrics& m, const FrameBoxes& boxes, FrameButtons buttons, int width, int height,
                       int x, int y, bool resizable) noexcept;

}  // namespace pix::style
