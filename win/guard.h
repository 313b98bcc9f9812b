// The failure guard. Everything a window of the program handles, and every
// pass of the message loop, runs inside it; a failure never leaves it.
#pragma once

#include <exception>
#include <new>
#include <string>
#include <utility>

#include "base/core/failure.h"
#include "win/faults.h"

namespace pix {

// Where the failure dialog takes its caption (the application title) and its
// owner of last resort (the hidden application window). The application
// object sets them when it is built and clears them when it goes.
struct FailureReporting {
    std::u16string caption;
    HWND ownerOfLastResort = nullptr;
};
void SetFailureReporting(FailureReporting reporting) noexcept;

// Shows a caught failure to the user: the failure dialog. Only the guard
// calls it.
void ShowFailure(const Failure& failure) noexcept;

// The failure that stands for anything the guard catches that is not one of
// ours (the C++ runtime's own exceptions).
Failure ForeignFailure(std::exception_ptr caught) noexcept;

// Runs body; a failure it raises, and any other exception that leaves it
// unhandled (a processor fault, a software exception), end in the failure
// dialog. True when body ran to its end.
template <class Body>
bool Guarded(Body&& body) noexcept {
    try {
        faults::RunOrThrow(faults::Scope::Own, body);
        return true;
    } catch (const Failure& failure) {
        ShowFailure(failure);
    } catch (...) {
        ShowFailure(ForeignFailure(std::current_exception()));
    }
    return false;
}

}  // namespace pix
