// Where the parts of a vertical scroll bar lie, from what the platform
// reports of it: the arrows are square (as wide as the bar, at most half its
// height) and the thumb is placed by the usual proportion of the scroll
// range, page and position. (Wine 8 reports no usable arrow size or thumb
// position of its own.)
#pragma once

#include "style/core/frame.h"

namespace pix::style {

// What the platform reports of the bar.
struct ScrollBarReport {
    Box bar;                   // on the screen
    bool shown = false;        // neither invisible nor off the screen
    bool unavailable = false;  // the bar as a whole is disabled
    bool hasRange = false;     // the scroll range could be read
    int min = 0, max = 0, page = 0;
    int position = 0;
    int trackPosition = 0;     // where the thumb is held, while it is
    bool dragging = false;     // the thumb is held
    int minimumThumb = 0;      // the platform's smallest thumb
};

struct ScrollGeometry {
    bool shown = false;
    bool disabled = false;  // nothing to scroll: arrows faded, no thumb
    Box bar;
    int arrow = 0;                  // the arrows' height
    int thumbTop = 0, thumbBottom = 0;  // from the bar's top; equal when no thumb fits
};
constexpr bool operator==(const ScrollGeometry& a, const ScrollGeometry& b) noexcept {
    return a.shown == b.shown && a.disabled == b.disabled && a.bar == b.bar && a.arrow == b.arrow &&
           a.thumbTop == b.thumbTop && a.thumbBottom == b.thumbBottom;
}
constexpr bool operator!=(const ScrollGeometry& a, const ScrollGeometry& b) noexcept { return !(a == b); }

ScrollGeometry LayOutScrollBar(const ScrollBarReport& report) noexcept;

enum class ScrollPart { None, UpArrow, Thumb, DownArrow };

// The part at a point on the screen; None over the track or off the bar.
ScrollPart ScrollPartAt(const ScrollGeometry& g, int x, int y) noexcept;

}  // namespace pix::style
