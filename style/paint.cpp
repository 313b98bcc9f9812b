#include "style/paint.h"

#include <algorithm>

#include "base/core/dpi.h"

namespace pix::style {

COLORREF Ref(Color c) noexcept { return RGB(c.red, c.green, c.blue); }

int AtDpi(int value, int dpi) noexcept { return pix::dpi::FromDesign(value, dpi); }

int LineAtDpi(int dpi) noexcept { return std::max(1, AtDpi(1, dpi)); }

void Fill(HDC dc, const RECT& r, Color c) noexcept {
    SetDCBrushColor(dc, Ref(c));
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void Fill(HDC dc, const Box& b, Color c) noexcept { Fill(dc, RECT{b.left, b.top, b.right, b.bottom}, c); }

Color Blend(Color over, Color under, int percent) noexcept {
    const auto mix = [percent](int a, int b) {
        return static_cast<std::uint8_t>((a * percent + b * (100 - percent) + 50) / 100);
    };
    return {mix(over.red, under.red), mix(over.green, under.green), mix(over.blue, under.blue)};
}

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

}  // namespace pix::style
