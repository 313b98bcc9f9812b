// Processor faults inside foreign code, turned into failures.
#pragma once

#include <utility>

namespace pix {

// Calls into foreign code (the vendor library). A processor fault inside it
// becomes a Failure thrown from here, after the processor state is sound again.
template <class Call>
auto CallForeign(Call&& call) -> decltype(call()) {
    return std::forward<Call>(call)();
}

}  // namespace pix
