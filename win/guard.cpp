// The failure dialog: how a failure caught while the program runs is shown.
#include "win/guard.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "win/core/failure_text.h"

namespace pix {

namespace {

bool BelongsToUs(HWND window) noexcept {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId();
}

// No press or drag stays active behind the dialog.
void CancelMouseCapture() noexcept {
    const HWND capture = GetCapture();
    if (capture && BelongsToUs(capture)) SendMessageW(capture, WM_CANCELMODE, 0, 0);
}

// While it lives, the hidden application window sits at the centre of the
// active window's monitor (when that is another one), so that a dialog it
// owns appears there.
class HiddenWindowOnMonitorOf {
public:
    HiddenWindowOnMonitorOf(HWND hidden, HWND active) noexcept {
        if (!hidden || !active) return;
        const HMONITOR target = MonitorFromWindow(active, MONITOR_DEFAULTTONEAREST);
        if (target == MonitorFromWindow(hidden, MONITOR_DEFAULTTONEAREST)) return;
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        RECT before{};
        if (!GetMonitorInfoW(target, &monitor) || !GetWindowRect(hidden, &before)) return;
        const int x = (monitor.rcMonitor.left + monitor.rcMonitor.right - (before.right - before.left)) / 2;
        const int y = (monitor.rcMonitor.top + monitor.rcMonitor.bottom - (before.bottom - before.top)) / 2;
        if (!Move(hidden, x, y)) return;
        hidden_ = hidden;
        before_ = {before.left, before.top};
    }
    ~HiddenWindowOnMonitorOf() {
        if (hidden_ && IsWindow(hidden_)) Move(hidden_, before_.x, before_.y);
    }
    HiddenWindowOnMonitorOf(const HiddenWindowOnMonitorOf&) = delete;
    HiddenWindowOnMonitorOf& operator=(const HiddenWindowOnMonitorOf&) = delete;

private:
    static bool Move(HWND window, int x, int y) noexcept {
        return SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
    }
    HWND hidden_ = nullptr;
    POINT before_{};
};

// While it lives, every visible and enabled top-level window of this thread
// but the active one is disabled; afterwards those that still exist are
// enabled again.
class OtherWindowsDisabled {
public:
    explicit OtherWindowsDisabled(HWND active) noexcept : active_(active) {
        EnumThreadWindows(GetCurrentThreadId(), &DisableOne, reinterpret_cast<LPARAM>(this));
    }
    ~OtherWindowsDisabled() {
        for (HWND window : disabled_)
            if (IsWindow(window)) EnableWindow(window, TRUE);
    }
    OtherWindowsDisabled(const OtherWindowsDisabled&) = delete;
    OtherWindowsDisabled& operator=(const OtherWindowsDisabled&) = delete;

private:
    static BOOL CALLBACK DisableOne(HWND window, LPARAM self) noexcept {
        auto& that = *reinterpret_cast<OtherWindowsDisabled*>(self);
        if (window == that.active_ || !IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
        try {
            that.disabled_.push_back(window);  // only what can be enabled again is disabled
        } catch (...) {
            return TRUE;
        }
        EnableWindow(window, FALSE);
        return TRUE;
    }
    HWND active_;
    std::vector<HWND> disabled_;
};

FailureReporting& Reporting() noexcept {
    static FailureReporting reporting;
    return reporting;
}

void ShowFailureDialog(const Failure& failure) {
    CancelMouseCapture();
    const std::wstring text = W(DialogText(failure.Message()));
    const std::wstring caption = W(Reporting().caption);
    const HWND hidden = Reporting().ownerOfLastResort;
    const HWND active = GetActiveWindow();
    const HWND focus = GetFocus();
    const HWND owner = active ? active : hidden ? GetLastActivePopup(hidden) : nullptr;
    {
        const HiddenWindowOnMonitorOf placed(hidden, active);
        {
            const OtherWindowsDisabled disabled(active);
            MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);  // the answer is OK
        }
        if (active && IsWindow(active)) SetActiveWindow(active);
        if (focus && IsWindow(focus)) SetFocus(focus);
    }
}

}  // namespace

void SetFailureReporting(FailureReporting reporting) noexcept {
    Reporting() = std::move(reporting);
}

Failure ForeignFailure(std::exception_ptr caught) noexcept {
    try {
        std::rethrow_exception(caught);
    } catch (const std::bad_alloc&) {
        return Failure(u"OutOfMemory", u"Out of memory");
    } catch (const std::exception& e) {
        std::u16string message;
        for (const char* p = e.what(); *p; ++p) message += static_cast<unsigned char>(*p);
        return Failure(u"RuntimeError", message);
    } catch (...) {
        return Failure(u"UnknownError", u"Unknown failure");
    }
}

void ShowFailure(const Failure& failure) noexcept {
    try {
        ShowFailureDialog(failure);
    } catch (...) {
        // Out of memory while showing a failure: say it plainly.
        MessageBoxW(GetActiveWindow(), W(failure.Message()).c_str(), nullptr, MB_OK | MB_ICONERROR);
    }
}

}  // namespace pix
