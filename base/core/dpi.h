// Measures at another DPI. Every measure of a window is designed at 96 DPI
// and scaled from that design value by the one rounding below, so a chain of
// DPI changes never drifts.
#pragma once

namespace pix::dpi {

inline constexpr int kDesignDpi = 96;

// value * toDpi / fromDpi to the nearest integer, halves away from zero.
int Scale(int value, int fromDpi, int toDpi) noexcept;

// A design value (96 DPI) at the given DPI.
inline int FromDesign(int value, int dpi) noexcept { return Scale(value, kDesignDpi, dpi); }

}  // namespace pix::dpi
