// Exceptions that would leave a call unhandled, turned into failures. What a
// trap takes and how the program recovers is win/faults.cpp's business, the
// frame that makes Windows ask us is win/trap_frame.*'s; the rest of the
// program sees ordinary Failures thrown from its own frames.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

#include "base/core/failure.h"

namespace pix {

namespace faults {

// Which exceptions a trap takes, of those that reach it unhandled.
enum class Scope {
    Foreign,  // a call into the vendor library: every one
    Own,      // our own code (a message, a pass of the loop, the start-up): all but our C++ exceptions
};

// An exception (a processor fault or another code) as Windows reported it.
struct Fault {
    EXCEPTION_RECORD record;
    CONTEXT context;
};

// Runs body(argument) in a frame that takes the exceptions of the scope that
// leave body unhandled; whatever body's own frames handle never reaches it.
// True when body returned. False when an exception was taken: everything
// between this call and the exception has been unwound or abandoned, the
// processor state is ours again and `fault` says what happened. Our C++
// exceptions from body pass unchanged.
bool RunTrapped(Scope scope, void (*body)(void*), void* argument, Fault& fault);

// The loaded module whose image holds `address`, found by the allocation base
// of its memory region: its file name without directory, and its start. An
// empty name when the region is not committed (or free, if freeCounts) or its
// base is no module.
struct ModuleAt {
    std::u16string name;
    std::uintptr_t base = 0;
};
ModuleAt ModuleHolding(const void* address, bool freeCounts);

// The failure a trapped exception becomes (the table of processor faults;
// any other code "External exception %x").
Failure FailureOf(const Fault& fault);

// Runs body under a trap of the given scope; a trapped fault is thrown as its
// Failure from here, so that the caller's frames unwind as for any failure.
template <class Body>
void RunOrThrow(Scope scope, Body&& body) {
    using Callable = std::remove_reference_t<Body>;
    Fault fault;
    const auto run = [](void* b) { (*static_cast<Callable*>(b))(); };
    if (!RunTrapped(scope, run, const_cast<void*>(static_cast<const void*>(&body)), fault)) throw FailureOf(fault);
}

}  // namespace faults

// Calls into foreign code (the vendor library). An exception that escapes it
// becomes a Failure thrown from here, after the processor state is sound
// again. The destructors of the frames in between are not run, so the lambda
// should do nothing but the call: arguments that own resources are built by
// the caller, whose frames unwind normally.
template <class Call>
auto CallForeign(Call&& call) -> decltype(call()) {
    using Result = decltype(call());
    if constexpr (std::is_void_v<Result>) {
        faults::RunOrThrow(faults::Scope::Foreign, call);
    } else {
        Result result{};
        auto store = [&] { result = call(); };
        faults::RunOrThrow(faults::Scope::Foreign, store);
        return result;
    }
}

}  // namespace pix
