// What happens to a failure that escapes the start-up, before the loop runs.
#pragma once

#include <exception>

#include "app/core/failure.h"

namespace pix {

// Shows the fatal failure box for a failure that escaped the start-up.
void ShowFatalFailure(std::exception_ptr caught) noexcept;

// Runs the start-up steps; false when one failed and the box was shown (the
// caller then runs the exit processing with exit code 1).
template <class Steps>
bool RunStartup(Steps&& steps) noexcept {
    try {
        steps();
        return true;
    } catch (...) {
        ShowFatalFailure(std::current_exception());
        return false;
    }
}

}  // namespace pix
