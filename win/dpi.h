// The DPI of a window, and the platform's DPI messages, for every window of
// the program: the form's scaling and the style's frame read the same value.
#pragma once

#include <windows.h>

namespace pix {

// Not in the Vista headers the program is built against.
inline constexpr UINT kWmDpiChanged = 0x02E0;         // Windows 8.1 on
inline constexpr UINT kWmGetDpiScaledSize = 0x02E4;   // Windows 10 1703 on

// The DPI the platform draws the window at where it keeps one per window
// (Windows 10 1607 on); elsewhere the DPI of the monitor nearest to the
// window's centre where the platform knows per-monitor DPI (8.1 on); else
// the system DPI. The functions are bound from the system folder on first
// use and kept for the life of the process.
int WindowDpi(HWND window);

// The DPI of the system's own metrics and fonts (SystemParametersInfo's
// non-client metrics are at this DPI).
int SystemDpi();

}  // namespace pix
