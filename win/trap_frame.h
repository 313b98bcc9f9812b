// The frame of our own that a trap sets around a call: the one part of the
// trap that depends on the compiler and the processor (with its assembly in
// win/trap_frame.S). win/faults.cpp says what a trap takes and what happens
// afterwards; this says how Windows is made to ask us.
#pragma once

#include <windows.h>

namespace pix::faults {

// Asked in the search phase about an exception on its way out of the body,
// after every handler inside had its say: true takes it. It must keep what
// it needs of the record and the context: both are gone afterwards.
struct FrameFilter {
    bool (*takes)(void* context, const EXCEPTION_RECORD& record, const CONTEXT& state) noexcept;
    void* context;
};

// Runs body(argument) inside the frame. True when body returned; false when
// the filter took an exception: the frames in between have been unwound, as
// __except unwinds them (after a stack overflow, with too little stack left
// to unwind on, abandoned instead), and on i686 the fs:[0] chain is as it
// was before the call. A C++ exception of ours passes through untouched.
bool RunFramed(void (*body)(void*), void* argument, const FrameFilter& filter);

}  // namespace pix::faults
