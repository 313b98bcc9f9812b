// RunFramed for each compiler and processor: on x86_64 (GCC) a function with
// unwind data and a handler of its own (win/trap_frame.S), on i686 (GCC) a
// registration record on the fs:[0] chain, with MSVC __try/__except.
//
// The way back, once the filter has taken an exception:
// - x86_64 (GCC): the handler unwinds to our frame with RtlUnwindEx, as
//   __except does: the frames in between are unwound, their termination
//   handlers run, and the call returns 0 into RunFramed.
// - i686 (GCC): the record is pushed in RunFramed's frame and taken off on
//   every way out (an RAII unlink: GCC's DWARF-2 unwinding does not walk
//   fs:[0], so a C++ exception passing by never meets the record, but must
//   not leave it on the chain). The handler calls RtlUnwind to our record,
//   which runs the unwind handlers registered after it and takes them off the
//   chain, then jumps back into RunFramed without unwinding anything more
//   (__builtin_longjmp): the frames in between have had their unwind already.
// - MSVC: __try/__except around the body, with the filter's choice; the
//   system does the unwind.
// - After a stack overflow, too little stack is left below the fault to
//   unwind on. The overflow is continuable, so the handler lets Windows
//   continue in our frame directly: on x86_64 as if pix_RunFramed had
//   returned 0 (the registers as the dispatch restored them for our frame),
//   on i686 by the jump without RtlUnwind.
#include "win/trap_frame.h"

#include "base/core/compiler.h"

namespace pix::faults {

namespace {

// After a stack overflow there is little room left below the fault (under
// Wine, on a thread whose stack is committed in advance, less than a page):
// enough for the dispatch to reach the trap, not for an unwind. The overflow
// is continuable, so the trap continues in its own frame instead.
[[maybe_unused]] bool NoRoomToUnwind(const EXCEPTION_RECORD& record) noexcept {
    return record.ExceptionCode == EXCEPTION_STACK_OVERFLOW && !(record.ExceptionFlags & EXCEPTION_NONCONTINUABLE);
}

[[maybe_unused]] constexpr DWORD kUnwinding = EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND;

}  // namespace

#if PIX_GNU && PIX_X86_64

extern "C" {
int pix_RunFramed(void (*body)(void*), void* argument, const FrameFilter* filter);
extern const char pix_FramedLanding[];

// The frame's handler, called by Windows for the search phase only.
EXCEPTION_DISPOSITION pix_OnFramedException(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                            DISPATCHER_CONTEXT* dispatch) noexcept {
    if (record->ExceptionFlags & kUnwinding) return ExceptionContinueSearch;
    const FrameFilter& filter = **reinterpret_cast<const FrameFilter**>(static_cast<char*>(frame) + 32);
    if (!filter.takes(filter.context, *record, *context)) return ExceptionContinueSearch;
    if (NoRoomToUnwind(*record)) {
        // Continue as if pix_RunFramed had returned 0. The dispatch has
        // brought the callee-saved registers back to what they were in our
        // frame (which keeps them as its caller had them); the return address
        // lies above the frame's 40 bytes.
        const auto frameAt = reinterpret_cast<DWORD64>(frame);
        *context = *dispatch->ContextRecord;
        context->Rip = *reinterpret_cast<const DWORD64*>(frameAt + 40);
        context->Rsp = frameAt + 48;
        context->Rax = 0;
        return ExceptionContinueExecution;
    }
    RtlUnwindEx(frame, const_cast<char*>(pix_FramedLanding), record, nullptr, context, dispatch->HistoryTable);
    return ExceptionContinueSearch;  // not reached: the unwind ends in our frame
}
}

bool RunFramed(void (*body)(void*), void* argument, const FrameFilter& filter) {
    return pix_RunFramed(body, argument, &filter) != 0;
}

#elif PIX_GNU && PIX_X86_32

extern "C" {
void* pix_Registrations();
void pix_SetRegistrations(void* head);
void pix_UnwindRegistrations(void* frame, EXCEPTION_RECORD* record);
}

namespace {

// An exception registration as Windows walks it, with what its handler needs
// behind it.
struct Registration {
    void* previous;
    EXCEPTION_DISPOSITION(__cdecl* handler)(EXCEPTION_RECORD*, void*, CONTEXT*, void*);
    const FrameFilter* filter;
    PIX_JUMP_BUFFER(jump);
};

EXCEPTION_DISPOSITION __cdecl OnRegisteredException(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                                    void*) noexcept {
    if (record->ExceptionFlags & kUnwinding) return ExceptionContinueSearch;
    Registration& registration = *static_cast<Registration*>(frame);
    if (!registration.filter->takes(registration.filter->context, *record, *context)) return ExceptionContinueSearch;
    if (!NoRoomToUnwind(*record)) pix_UnwindRegistrations(frame, record);
    PIX_JUMP(registration.jump);  // the chain is set right in RunFramed, unwound or not
}

// Runs body with the registration at the head of the chain; takes it off
// again on the way out, a C++ exception's way included (GCC's DWARF-2
// unwinding does not walk fs:[0], so it never meets the record).
void RunRegistered(Registration& registration, void (*body)(void*), void* argument) {
    struct Unlink {
        const Registration& registration;
        ~Unlink() { pix_SetRegistrations(registration.previous); }
    };
    pix_SetRegistrations(&registration);
    const Unlink unlink{registration};
    body(argument);
}

}  // namespace

PIX_NOINLINE bool RunFramed(void (*body)(void*), void* argument, const FrameFilter& filter) {
    Registration registration{pix_Registrations(), &OnRegisteredException, &filter, {}};
    if (PIX_SET_JUMP(registration.jump)) {
        // Landed from the handler: the chain as it was before the call.
        pix_SetRegistrations(registration.previous);
        return false;
    }
    RunRegistered(registration, body, argument);
    return true;
}

#elif PIX_MSVC

namespace {
int Filter(const FrameFilter& filter, EXCEPTION_POINTERS* info) noexcept {
    return filter.takes(filter.context, *info->ExceptionRecord, *info->ContextRecord) ? EXCEPTION_EXECUTE_HANDLER
                                                                                      : EXCEPTION_CONTINUE_SEARCH;
}
}  // namespace

bool RunFramed(void (*body)(void*), void* argument, const FrameFilter& filter) {
    __try {
        body(argument);
        return true;
    } __except (Filter(filter, GetExceptionInformation())) {
    }
    return false;
}

#else
#  error "exceptions are trapped on x86 and x86_64 only"
#endif

}  // namespace pix::faults
