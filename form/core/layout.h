// The geometry of the PIX request form: where every control sits at 96 DPI,
// the docking of the result area, the button and the panel, and the scaling
// to another DPI. Pure arithmetic; the window applies what it gives.
#pragma once

#include <array>

#include "base/core/dpi.h"
#include "form/core/control_ids.h"

namespace pix::layout {

using dpi::kDesignDpi;

struct Size {
    int width = 0;
    int height = 0;
};

// Edges in the coordinates of the parent's client area.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr int Width() const noexcept { return right - left; }
    constexpr int Height() const noexcept { return bottom - top; }
};
constexpr Rect Bounds(int left, int top, int width, int height) noexcept {
    return {left, top, left + width, top + height};
}
constexpr bool operator==(const Rect& a, const Rect& b) noexcept {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
constexpr bool operator!=(const Rect& a, const Rect& b) noexcept { return !(a == b); }

struct Margins {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};
constexpr bool operator==(const Margins& a, const Margins& b) noexcept {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The one rounding of every scaled measure: edges, sizes, margins, font height.
using dpi::Scale;

// Each edge scaled on its own: the width and height of the result are the
// differences of the scaled edges, not the scaled width and height.
Rect ScaleEdges(const Rect& rect, int fromDpi, int toDpi) noexcept;
Margins ScaleMargins(const Margins& margins, int fromDpi, int toDpi) noexcept;
Size ScaleSize(const Size& size, int fromDpi, int toDpi) noexcept;

// What the docking needs: the client area, the own heights of the panel
// (docked to the top) and the button (docked to the bottom), the margins that
// the button and the result area share, and where the result area is now.
struct DockInput {
    Size client;
    int panelHeight = 0;
    int buttonHeight = 0;
    Margins margins;
    Rect memo;
};

struct Docked {
    Rect panel;
    Rect button;
    Rect memo;
};

// Top first, then bottom, then the filling control; a width or height below
// zero counts as zero, and the result area keeps its place when the free
// rectangle has less than no height left.
Docked LayOutDocked(const DockInput& input) noexcept;

// The height rule of the single-line fields and the date picker: the font's
// text cell plus eight thin borders.
constexpr int FieldHeight(int cellHeight, int thinBorderHeight) noexcept {
    return cellHeight + 8 * thinBorderHeight;
}

// The whole form at one DPI.
struct FormGeometry {
    Size client;
    int fontHeight = 0;  // character height in pixels (LOGFONT height is its negative)
    Margins margins;     // of Button2 and Memo1
    std::array<Rect, ids::kCount> bounds{};  // by control id, in parent coordinates

    Rect& operator[](int id) noexcept { return bounds[static_cast<std::size_t>(ids::Index(id))]; }
    const Rect& operator[](int id) const noexcept { return bounds[static_cast<std::size_t>(ids::Index(id))]; }
};

// The form as designed, at 96 DPI, with the docked controls laid out for the
// designed client area. Label widths are those of Windows' Tahoma; the window
// sizes its labels to their text in whatever font it gets.
FormGeometry DesignGeometry() noexcept;

// Every edge, the client size, the font height and the margins scaled from
// one DPI to another.
FormGeometry ScaleGeometry(const FormGeometry& geometry, int fromDpi, int toDpi) noexcept;

// The form moved from one DPI to another. What the user can change, the
// client size and with it the extents of the docked controls, is scaled from
// the current values; what only the DPI decides (the font height, the
// margins, the panel's and the button's heights, the panel's controls) comes
// from the design at the new DPI, so that a chain of changes never drifts.
// The docked controls are laid out again for the scaled client size.
FormGeometry MoveToDpi(const FormGeometry& current, int fromDpi, int toDpi) noexcept;

// Runs the docking for the geometry's own client size; the own heights are
// those the panel and the button have now.
void LayOut(FormGeometry& geometry) noexcept;

}  // namespace pix::layout
