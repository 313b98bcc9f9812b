// Showing failures to the user: the failure dialog while the program runs,
// the fatal failure box for a failure that escapes the start-up.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/core/compiler.h"
#include "base/core/failure_text.h"
#include "win/guard.h"
#include "win/startup_failure.h"
#include "base/module.h"
#include "base/text.h"

namespace pix {

namespace {

// The exception code under which a C++ failure of the start-up is handed to
// Windows' unhandled-exception filter: an application-defined error code.
constexpr DWORD kStartupFailureCode = 0xE0504958;  // 0xE0, then "PIX"

constexpr int kPointerDigits = static_cast<int>(sizeof(void*) * 2);

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

Failure CaughtFailure(std::exception_ptr caught) noexcept {
    try {
        std::rethrow_exception(caught);
    } catch (const Failure& failure) {
        return failure;
    } catch (...) {
        return ForeignFailure(std::current_exception());
    }
}

// The fatal failure box, after Windows' error reporting has had its say.
// When the filter answers EXCEPTION_CONTINUE_SEARCH (a debugger took the
// failure over, or the report ended in "close the program"), nothing of ours
// runs any more: the process ends as after any unhandled exception, with the
// exception's code. Under Wine the filter starts the debugger named in the
// AeDebug key (winedbg), which attaches, and the answer is CONTINUE_SEARCH;
// when no debugger can be started it answers EXCEPTION_EXECUTE_HANDLER and
// the box is shown.
void ShowFatal(const Failure& failure, EXCEPTION_POINTERS& pointers) noexcept {
    if (UnhandledExceptionFilter(&pointers) == EXCEPTION_CONTINUE_SEARCH)
        TerminateProcess(GetCurrentProcess(), pointers.ExceptionRecord->ExceptionCode);
    const void* raising = pointers.ExceptionRecord->ExceptionAddress;
    const auto address = reinterpret_cast<std::uintptr_t>(raising);
    std::u16string module;
    std::uintptr_t offset = 0;
    try {
        faults::ModuleAt at = faults::ModuleHolding(raising, false);
        if (!at.name.empty()) {
            module = std::move(at.name);
            offset = address - at.base;
        } else {
            module = FileNameOf(U16(ProgramPath()));
            offset = address - 0x1000;  // wraps as the address does
        }
        const std::wstring text =
            W(FatalFailureText(failure.Kind(), module, offset, kPointerDigits, failure.Message()));
        MessageBoxW(nullptr, text.c_str(), L"Application Error", MB_TASKMODAL | MB_ICONERROR);
    } catch (...) {
        MessageBoxW(nullptr, W(failure.Message()).c_str(), L"Application Error", MB_TASKMODAL | MB_ICONERROR);
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

void ShowFatalFault(const faults::Fault& fault) noexcept {
    faults::Fault copy = fault;  // the filter may change what it is given
    EXCEPTION_POINTERS pointers{&copy.record, &copy.context};
    Failure failure(u"", u"");
    try {
        failure = faults::FailureOf(fault);
    } catch (...) {
        failure = Failure(u"UnknownError", u"");
    }
    ShowFatal(failure, pointers);
}

void ShowFatalFailure(std::exception_ptr caught, const void* raisingAddress) noexcept {
    const Failure failure = CaughtFailure(caught);
    // A C++ failure has no exception record of its own: this one says where
    // the start-up was when the failure escaped, and points at the failure.
    EXCEPTION_RECORD record{};
    record.ExceptionCode = kStartupFailureCode;
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    record.ExceptionAddress = const_cast<void*>(raisingAddress);
    record.NumberParameters = 1;
    record.ExceptionInformation[0] = reinterpret_cast<ULONG_PTR>(&failure);
    CONTEXT context{};
    RtlCaptureContext(&context);
    EXCEPTION_POINTERS pointers{&record, &context};
    ShowFatal(failure, pointers);
}

PIX_NOINLINE bool RunStartupSteps(void (*steps)(void*), void* argument) noexcept {
    const void* raisingAddress = PIX_RETURN_ADDRESS();
    faults::Fault fault;
    try {
        if (faults::RunTrapped(faults::Scope::Own, steps, argument, fault)) return true;
        ShowFatalFault(fault);
    } catch (...) {
        ShowFatalFailure(std::current_exception(), raisingAddress);
    }
    return false;
}

}  // namespace pix
