// What the style's windows share when they paint: colours, fills, measures
// at a DPI, a window's text.
#pragma once

#include <windows.h>

#include <string>

#include "style/core/frame.h"
#include "style/core/style_data.h"

namespace pix::style {

COLORREF Ref(Color c) noexcept;

// A design measure (96 DPI) at the given DPI.
int AtDpi(int value, int dpi) noexcept;
// A thin line at the given DPI: one design pixel, never less than a pixel.
int LineAtDpi(int dpi) noexcept;

// Fills with the DC's own brush: no brush object to create or leak.
void Fill(HDC dc, const RECT& r, Color c) noexcept;
void Fill(HDC dc, const Box& b, Color c) noexcept;

// over laid on under, `percent` opaque.
Color Blend(Color over, Color under, int percent) noexcept;

// A chevron width × height in the middle of area, pointing up or down,
// strokes `line` wide.
void DrawChevron(HDC dc, const RECT& area, int width, int height, int line, bool up, Color c);

}  // namespace pix::style
