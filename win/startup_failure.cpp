// The fatal failure box: how a failure that escapes the start-up is shown.
#include "win/startup_failure.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/core/compiler.h"
#include "base/module.h"
#include "base/text.h"
#include "win/core/failure_text.h"
#include "win/guard.h"

namespace pix {

namespace {

// The exception code under which a C++ failure of the start-up is handed to
// Windows' unhandled-exception filter: an application-defined error code.
constexpr DWORD kStartupFailureCode = 0xE0504958;  // 0xE0, then "PIX"

constexpr int kPointerDigits = static_cast<int>(sizeof(void*) * 2);

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
