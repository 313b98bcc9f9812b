#include "win/dpi.h"

#include <optional>

#include "base/core/dpi.h"
#include "base/handles.h"
#include "base/system_library.h"

namespace pix {

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

// shcore is loaded only where user32 lacks the per-window function, so a
// start on Windows 10 never touches it.
struct DpiFunctions {
    SystemLibrary user32{L"user32.dll"};
    GetDpiForWindowFunction forWindow = user32.Find<GetDpiForWindowFunction>("GetDpiForWindow");
    std::optional<SystemLibrary> shcore;
    GetDpiForMonitorFunction forMonitor = nullptr;

    DpiFunctions() {
        if (forWindow) return;
        shcore.emplace(L"shcore.dll");
        forMonitor = shcore->Find<GetDpiForMonitorFunction>("GetDpiForMonitor");
    }
};

int MonitorDpi(HWND window, GetDpiForMonitorFunction forMonitor) {
    RECT r{};
    GetWindowRect(window, &r);
    const POINT centre{r.left + (r.right - r.left) / 2, r.top + (r.bottom - r.top) / 2};
    UINT x = 0, y = 0;
    if (SUCCEEDED(forMonitor(MonitorFromPoint(centre, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &x, &y)) && y > 0)
        return static_cast<int>(y);
    return 0;
}

}  // namespace

int SystemDpi() {
    WindowDC screen(nullptr);
    const int dpi = screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : dpi::kDesignDpi;
}

int WindowDpi(HWND window) {
    static const DpiFunctions functions;
    if (functions.forWindow) {
        if (const UINT dpi = functions.forWindow(window)) return static_cast<int>(dpi);
    } else if (functions.forMonitor) {
        if (const int dpi = MonitorDpi(window, functions.forMonitor)) return dpi;
    }
    return SystemDpi();
}

}  // namespace pix
