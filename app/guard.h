// The failure guard. Everything a window of the program handles, and every
// pass of the message loop, runs inside it; a failure never leaves it.
#pragma once

#include <exception>
#include <new>
#include <utility>

#include "app/core/failure.h"

namespace pix {

// Shows a caught failure to the user. Only the guard calls it.
void ShowFailure(const Failure& failure) noexcept;

// The failure that stands for anything the guard catches that is not one of
// ours (the C++ runtime's own exceptions).
Failure ForeignFailure(std::exception_ptr caught) noexcept;

template <class Body>
bool Guarded(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const Failure& failure) {
        ShowFailure(failure);
    } catch (...) {
        ShowFailure(ForeignFailure(std::current_exception()));
    }
    return false;
}

}  // namespace pix
