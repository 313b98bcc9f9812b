// What happens to a failure that escapes the start-up, before the loop runs.
#pragma once

#include <exception>
#include <type_traits>

#include "base/core/failure.h"
#include "win/faults.h"

namespace pix {

// The fatal failure box, for a failure that escaped the start-up: first
// Windows' unhandled-exception filter; when it says to search on, the process
// ends here (with the exception's code, as after any unhandled exception).
// Otherwise the box is shown and the caller runs the exit processing with
// exit code 1.
void ShowFatalFault(const faults::Fault& fault) noexcept;
void ShowFatalFailure(std::exception_ptr caught, const void* raisingAddress) noexcept;

// Runs steps(argument) under a trap of our own code's scope. A failure, or
// any other exception that escapes (a processor fault; a software exception,
// "External exception %x"), gets the fatal box; false then. The raising address of a
// C++ failure is this function's return address: the point of the start-up
// from which the failed step was run (a C++ exception carries no address).
bool RunStartupSteps(void (*steps)(void*), void* argument) noexcept;

// Runs the start-up steps; false when one failed and the box was shown (the
// caller then runs the exit processing with exit code 1).
template <class Steps>
bool RunStartup(Steps&& steps) noexcept {
    using Body = std::remove_reference_t<Steps>;
    return RunStartupSteps([](void* s) { (*static_cast<Body*>(s))(); },
                           const_cast<void*>(static_cast<const void*>(&steps)));
}

}  // namespace pix
