#include "style/core/scroll_bar.h"

#include <algorithm>
#include <cstdint>

namespace pix::style {

namespace {

// a × b / c to the nearest integer, halves away from zero, as the platform's
// MulDiv rounds.
int MulDivRounded(int a, int b, int c) noexcept {
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t p = product < 0 ? -product : product;
    const std::int64_t d = c < 0 ? -static_cast<std::int64_t>(c) : c;
    const std::int64_t q = (2 * p + d) / (2 * d);
    return static_cast<int>(negative ? -q : q);
}

}  // namespace

ScrollGeometry LayOutScrollBar(const ScrollBarReport& report) noexcept {
    ScrollGeometry g;
    if (!report.shown) return g;
    g.shown = true;
    g.bar = report.bar;
    const int width = g.bar.Width();
    const int height = g.bar.Height();
    g.arrow = std::min(width, height / 2);
    g.disabled = report.unavailable || !report.hasRange;
    if (g.disabled) return g;
    const int track = height - 2 * g.arrow;
    const int range = report.max - report.min + 1;
    const int page = report.page;
    if (range <= 0 || (page > 0 && page >= range)) {
        g.disabled = true;
        return g;
    }
    int thumb = page > 0 ? MulDivRounded(track, page, range) : width;
    thumb = std::max(thumb, std::min(track, report.minimumThumb));
    const int free = track - thumb;
    if (free < 0) return g;  // no room for a thumb
    const int position = report.dragging ? report.trackPosition : report.position;
    const int last = report.max - std::max(page - 1, 0);
    const int offset = last > report.min ? MulDivRounded(free, position - report.min, last - report.min) : 0;
    g.thumbTop = g.arrow + std::clamp(offset, 0, free);
    g.thumbBottom = g.thumbTop + thumb;
    return g;
}

ScrollPart ScrollPartAt(const ScrollGeometry& g, int x, int y) noexcept {
    if (!g.shown || !g.bar.Contains(x, y)) return ScrollPart::None;
    const int fromTop = y - g.bar.top;
    if (fromTop < g.arrow) return ScrollPart::UpArrow;
    if (fromTop >= g.bar.Height() - g.arrow) return ScrollPart::DownArrow;
    if (fromTop >= g.thumbTop && fromTop < g.thumbBottom) return ScrollPart::Thumb;
    return ScrollPart::None;
}

}  // namespace pix::style
