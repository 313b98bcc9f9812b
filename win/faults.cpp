// Exceptions on the way out of a call become failures. This is the one place
// that knows how.
//
// The rule: a trap is a frame of our own around the call, consulted the way
// Windows consults any frame's handler, innermost first. Whatever the code
// inside handles itself (a library's own handlers, a system function that
// probes memory under its own handler, a C++ exception thrown and caught in
// there) never reaches it. Only an exception about to leave the call
// unhandled does: the trap takes it, in the search phase, and the call
// becomes a failure. A processor fault gets its message from the table of
// processor faults; any other code is "External exception %x"
// (win/core/failure_text.h is the one list of codes).
//
// Which exceptions a trap takes:
// - Foreign (CallForeign, the vendor library): every exception that escapes
//   the call, software exceptions of other runtimes included, continuable or
//   not.
// - Own (every guarded message, every pass of the loop, the start-up): the
//   same, except the exceptions under which our compiler's C++ exceptions
//   travel (cpu::IsCxxExceptionCode): our failures and the C++ runtime's
//   exceptions pass unchanged to the guard's catch. On i686 GCC's C++
//   exceptions never become Windows exceptions at all.
//
// How the frame is made, and how it gets back once it has taken an exception,
// depends on the compiler and the processor: that is win/trap_frame.*'s, and
// this file has neither assembly nor any #if on the compiler. Every way
// unwinds the frames in between, as __except does, so a non-continuable
// exception (other compilers' C++ throws are raised so) is taken like any
// other; after a stack overflow, with too little stack left to unwind on,
// they are abandoned instead. Even the dispatch needs room, which the first
// trap reserves for its thread (KeepRoomForStackOverflow).
//
// Back in RunTrapped the processor is made ours again: on i686 the head of
// the fs:[0] chain as it was before the call; the x87 unit reset (fninit,
// then the control word of the moment the trap was set, the program's: a
// pending x87 fault would otherwise strike again); the MXCSR as it was; and
// after a stack overflow the guard page again (_resetstkoflw), so that the
// next one is caught too. RunTrapped then reports the exception and its
// caller throws the failure as an ordinary C++ exception from our own frame:
// everything of ours above it unwinds normally (the counted texts of a Gerar
// press are released).
//
// Limits:
// - Unwinding runs what the frames in between registered for it: the
//   termination handlers of code built with structured exception handling
//   and MSVC's C++ destructors. GCC's C++ frames run their cleanups only for
//   GCC's own exceptions, so the destructors of GCC-built code between the
//   exception and the trap do not run, ours included (a fault in our own code
//   leaks what those frames held; a fault is a bug, and the way back to the
//   guard is sure).
// - On x86_64 a C++ exception of GCC's runtime that escapes the library is
//   not taken: GCC's unwinder keeps its target in the exception itself and
//   cannot have it taken over. It travels on as a C++ exception and the
//   guard's catch-all makes it a failure.
// - An exception raised outside any trap is Windows' business as before. A
//   trap works on any thread, but only the first trapping thread has the
//   room for a stack overflow reserved.
// - Faults are taken after the library's handlers have been asked, so a
//   library handler that itself faults, or one that swallows everything, has
//   the last word inside the call.
#include "win/faults.h"

#include <malloc.h>  // _resetstkoflw

#include <cstdint>
#include <string>

#include "base/core/compiler.h"
#include "win/core/failure_text.h"
#include "base/module.h"
#include "base/text.h"
#include "win/trap_frame.h"

namespace pix::faults {

namespace {

bool Takes(Scope scope, const EXCEPTION_RECORD& record) noexcept {
    if (!cpu::IsCxxExceptionCode(record.ExceptionCode)) return true;
    // Another module's C++ exception, where the compiler's unwinder lets it
    // be unwound like any other (see the head).
    return scope == Scope::Foreign && cpu::kCxxExceptionsCanBeTakenOver;
}

void Keep(Fault& fault, const EXCEPTION_RECORD& record, const CONTEXT& context) noexcept {
    fault.record = record;
    fault.record.ExceptionRecord = nullptr;  // a chained record lives on the abandoned stack
    fault.context = context;
}

bool HasSse() noexcept {
#if PIX_X86_64
    return true;
#else
    static const bool present = IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != 0;
    return present;
#endif
}

// The processor state that an abandoned computation may have left behind,
// as it was when the trap was set.
struct Processor {
    std::uint16_t x87;
    std::uint32_t mxcsr;
};

Processor Capture() noexcept { return {cpu::X87ControlWord(), HasSse() ? cpu::Mxcsr() : 0}; }

void Recover(const Processor& processor, const Fault& fault) noexcept {
    cpu::ResetX87(processor.x87);
    if (HasSse()) cpu::SetMxcsr(processor.mxcsr);
    if (fault.record.ExceptionCode == EXCEPTION_STACK_OVERFLOW) _resetstkoflw();
}

// Even reaching the trap takes room after a stack overflow: Windows' dispatch
// walks the frames with a few contexts of its own. The thread asks Windows
// to keep that much in reserve below the guard page. A stack that is
// committed in advance (Wine's first thread) has a single guard page at its
// very end, where the reserve cannot apply: the pages of the reserve are
// made guard pages, as on a stack that grows page by page; where they are not
// committed yet (Windows) that fails and Windows places them itself. Done
// once, for the thread of the first trap (the GUI thread: the start-up sets
// it), for the life of the process.
constexpr ULONG kRoomForStackOverflow = 32 * 1024;

void KeepRoomForStackOverflow() noexcept {
    static const bool kept = [] {
        ULONG size = kRoomForStackOverflow;
        if (!SetThreadStackGuarantee(&size)) return false;
        MEMORY_BASIC_INFORMATION stack{};
        if (!VirtualQuery(&stack, &stack, sizeof stack)) return false;
        SYSTEM_INFO system{};
        GetSystemInfo(&system);
        // Above the last page (no access) and the guard page of the end.
        char* reserve = static_cast<char*>(stack.AllocationBase) + 2 * system.dwPageSize;
        DWORD previous = 0;
        VirtualProtect(reserve, kRoomForStackOverflow, PAGE_READWRITE | PAGE_GUARD, &previous);
        return true;
    }();
    (void)kept;
}

}  // namespace

bool RunTrapped(Scope scope, void (*body)(void*), void* argument, Fault& fault) {
    KeepRoomForStackOverflow();
    const Processor processor = Capture();
    struct Asked {
        Scope scope;
        Fault* fault;
    } asked{scope, &fault};
    const FrameFilter filter{
        [](void* context, const EXCEPTION_RECORD& record, const CONTEXT& state) noexcept {
            const Asked& a = *static_cast<const Asked*>(context);
            if (!Takes(a.scope, record)) return false;
            Keep(*a.fault, record, state);
            return true;
        },
        &asked};
    if (RunFramed(body, argument, filter)) return true;
    Recover(processor, fault);
    return false;
}


ModuleAt ModuleHolding(const void* address, bool freeCounts) {
    MEMORY_BASIC_INFORMATION region{};
    if (!VirtualQuery(address, &region, sizeof region)) return {};
    if (region.State != MEM_COMMIT && !(freeCounts && region.State == MEM_FREE)) return {};
    const auto module = static_cast<HMODULE>(region.AllocationBase);
    const std::wstring path = ModuleFileName(module);
    if (path.empty()) return {};
    return {std::u16string(FileNameOf(U16(path))), reinterpret_cast<std::uintptr_t>(module)};
}

Failure FailureOf(const Fault& fault) {
    const EXCEPTION_RECORD& record = fault.record;
    ProcessorFault described;
    described.code = record.ExceptionCode;
    described.address = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2) {
        described.accessKind = record.ExceptionInformation[0];
        described.accessedAddress = record.ExceptionInformation[1];
    }
    // The module is named when the instruction's region is committed (or
    // free) and its allocation base is a loaded module.
    described.module = ModuleHolding(record.ExceptionAddress, true).name;
    described.pointerDigits = static_cast<int>(sizeof(void*) * 2);
    return FaultFailure(described);
}

}  // namespace pix::faults
