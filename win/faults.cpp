// Processor faults on the GUI thread become failures. This is the one place
// that knows how.
//
// The mechanism (GCC, x86 and x86_64):
// - A vectored exception handler, installed once for the life of the process
//   (Traps below), sees every exception before any frame's handler does. It
//   acts only on the GUI thread, only while a trap is set, and only on
//   processor faults (IsProcessorFault): software exceptions, which a library
//   may raise and catch for itself, are never touched.
// - RunTrapped takes a jump buffer that unwinds nothing (__builtin_setjmp)
//   right before its body runs, and pushes a trap. When the innermost trap
//   takes a fault, the handler records it, points the faulting context at
//   JumpBack with the stack pointer aligned and moved below the fault (that
//   stack is committed, even after a stack overflow: Windows has just
//   dispatched the exception on it), and lets Windows continue there.
//   JumpBack jumps to the buffer. The frames in between are abandoned, never
//   unwound: a library's frames belong to a runtime that is not ours, and
//   after a stack overflow there is no room to unwind on.
// - Back in RunTrapped's frame the processor is made ours again: on x86 the
//   head of the chain of exception registrations as it was (abandoned frames
//   may have registered handlers there), the x87 unit reset (fninit, then the
//   control word of the moment the trap was set: a pending x87 fault would
//   otherwise strike again), the MXCSR as it was, and after a stack overflow
//   the guard page again (_resetstkoflw), so that the next one is caught too.
//   RunTrapped then reports the fault and its caller throws the failure as an
//   ordinary C++ exception from our own frame: everything of ours above it
//   unwinds normally (the counted texts of a Gerar press are released).
//
// Which faults a trap takes:
// - Foreign (CallForeign, the vendor library): every processor fault until
//   the call returns, in the library or in whatever it called.
// - Own (every guarded message, every pass of the loop, the start-up): faults
//   whose instruction lies in the program's own image or in its C runtime,
//   and stack overflows wherever they strike. The innermost trap takes the
//   fault, and every window procedure sets its own, so a jump never crosses
//   the dispatch of a message. Our own frames between the guard and the fault
//   are abandoned as well: their destructors do not run, and what they held
//   leaks. Structured exception handling around the dispatch does the same.
//   Running them would need every instruction that can fault to count as a
//   throw point (-fnon-call-exceptions, /EHa) and unwind data for every frame
//   in between, which Windows' own frames do not offer to GCC's unwinder on
//   x86; a fault is a bug, and a sure way back to the guard is worth a leak.
//   Faults inside Windows' own code outside a foreign call are left to
//   Windows: such code may expect them (probing a pointer), and jumping over
//   its frames could leave the dispatch of a message in disorder.
// Known limits: a processor fault that the library, or Windows code it calls,
// would have handled itself is taken all the same, since a vectored handler
// runs first; processor faults are not how a library reports anything. And a
// software exception that the library raises and does not catch is not
// turned into a failure: it goes on as an unhandled exception (the end of
// the process). Only a handler in the frame of the call, consulted after the
// library's own, could tell "not caught" from "not caught yet".
//
// MSVC: __try/__except around the body, with the same choice in its filter.
// The system then unwinds the frames in between (their termination handlers
// run) before the handler block; the rest is the same.
#include "win/faults.h"

#include <malloc.h>  // _resetstkoflw

#include <cstdint>
#include <string>

#include "base/core/compiler.h"
#include "base/core/failure_text.h"
#include "base/module.h"
#include "base/text.h"

namespace pix::faults {

namespace {

bool IsProcessorFault(DWORD code) noexcept {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
        case EXCEPTION_INT_OVERFLOW:
        case EXCEPTION_FLT_INEXACT_RESULT:
        case EXCEPTION_FLT_INVALID_OPERATION:
        case EXCEPTION_FLT_STACK_CHECK:
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        case EXCEPTION_FLT_OVERFLOW:
        case EXCEPTION_FLT_DENORMAL_OPERAND:
        case EXCEPTION_FLT_UNDERFLOW:
        case EXCEPTION_PRIV_INSTRUCTION:
        case STATUS_CONTROL_C_EXIT:
        case EXCEPTION_STACK_OVERFLOW:
        // Processor faults outside the table: they show as "External exception".
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_IN_PAGE_ERROR:
        case EXCEPTION_DATATYPE_MISALIGNMENT:
        case EXCEPTION_INVALID_DISPOSITION:
        case 0xC000001E:  // STATUS_INVALID_LOCK_SEQUENCE
        case 0xC00002B4:  // STATUS_FLOAT_MULTIPLE_FAULTS
        case 0xC00002B5:  // STATUS_FLOAT_MULTIPLE_TRAPS
            return true;
        default:
            return false;
    }
}

// Where a loaded image lies in memory, from its own header.
struct ImageRange {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;

    explicit ImageRange(HMODULE module) noexcept {
        if (!module) return;
        const auto* base = reinterpret_cast<const unsigned char*>(module);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        begin = reinterpret_cast<std::uintptr_t>(base);
        end = begin + nt->OptionalHeader.SizeOfImage;
    }
    bool Holds(const void* address) const noexcept {
        const auto a = reinterpret_cast<std::uintptr_t>(address);
        return a >= begin && a < end;
    }
};

HMODULE RuntimeModule() noexcept {
#if PIX_GNU
    return GetModuleHandleW(L"msvcrt.dll");  // MinGW's C runtime is Windows' msvcrt.dll
#else
    return nullptr;  // linked into the program's image
#endif
}

struct Trap;

// The process-wide side of the traps: the GUI thread, where our code lies,
// and the handler, installed on first use (on the GUI thread: the start-up
// sets the first trap) and removed when the process ends.
class Traps {
public:
    static Traps& Get() noexcept {
        static Traps traps;
        return traps;
    }
    bool OnGuiThread() const noexcept { return GetCurrentThreadId() == guiThread_; }
    bool IsOwnCode(const void* address) const noexcept { return program_.Holds(address) || runtime_.Holds(address); }

    Traps(const Traps&) = delete;
    Traps& operator=(const Traps&) = delete;

#if PIX_GNU
    Trap* top = nullptr;  // the innermost trap; GUI thread only
#endif

private:
    Traps() noexcept;
    ~Traps();

    DWORD guiThread_;
    ImageRange program_;
    ImageRange runtime_;
    PVOID handler_ = nullptr;
};

bool Takes(const Traps& traps, Scope scope, const EXCEPTION_RECORD& record) noexcept {
    if (!IsProcessorFault(record.ExceptionCode)) return false;
    if (scope == Scope::Foreign || record.ExceptionCode == EXCEPTION_STACK_OVERFLOW) return true;
    return traps.IsOwnCode(record.ExceptionAddress);
}

void Keep(Fault& fault, const EXCEPTION_POINTERS& info) noexcept {
    fault.record = *info.ExceptionRecord;
    fault.record.ExceptionRecord = nullptr;  // a chained record lives on the abandoned stack
    fault.context = *info.ContextRecord;
}

#if PIX_GNU

struct Trap {
    PIX_JUMP_BUFFER(jump);
    Scope scope;
    Fault* fault;
    Trap* previous;
    std::uint16_t x87;
    std::uint32_t mxcsr;
#if PIX_X86_32
    void* registrations;  // head of the thread's chain of exception registrations
#endif
};

// --- the processor state that a fault leaves behind -----------------------

bool HasSse() noexcept {
#if PIX_X86_64
    return true;
#else
    static const bool present = IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != 0;
    return present;
#endif
}

void SetMxcsr(std::uint32_t csr) noexcept {
    __asm__ __volatile__("ldmxcsr %0" : : "m"(csr));
}

#if PIX_X86_32
// The chain of exception registrations starts at fs:[0], in the thread's TEB.
void* Registrations() noexcept {
    void* head = nullptr;
    __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
    return head;
}
void SetRegistrations(void* head) noexcept {
    __asm__ __volatile__("movl %0, %%fs:0" : : "r"(head) : "memory");
}
#endif

void Capture(Trap& trap) noexcept {
    trap.x87 = cpu::X87ControlWord();
    trap.mxcsr = HasSse() ? cpu::Mxcsr() : 0;
#if PIX_X86_32
    trap.registrations = Registrations();
#endif
}

void Recover(const Trap& trap) noexcept {
#if PIX_X86_32
    SetRegistrations(trap.registrations);  // first: no abandoned handler may ever run
#endif
    cpu::ResetX87(trap.x87);
    if (HasSse()) SetMxcsr(trap.mxcsr);
    if (trap.fault->record.ExceptionCode == EXCEPTION_STACK_OVERFLOW) _resetstkoflw();
}

// --- the jump back ----------------------------------------------------------

// Entered, not called: the handler makes the faulting context continue here.
[[noreturn]] PIX_NOINLINE void JumpBack() noexcept {
    PIX_JUMP(Traps::Get().top->jump);
}

void ContinueAtJumpBack(CONTEXT& context) noexcept {
    constexpr std::uintptr_t kBelowTheFault = 256;
#if PIX_X86_64
    // Aligned as on entry to a function after a call: rsp + 8 a multiple of 16.
    context.Rsp = ((context.Rsp - kBelowTheFault) & ~std::uintptr_t{15}) - 8;
    context.Rip = reinterpret_cast<DWORD64>(&JumpBack);
#elif PIX_X86_32
    context.Esp = ((context.Esp - kBelowTheFault) & ~DWORD{15}) - 4;
    context.Eip = reinterpret_cast<DWORD>(&JumpBack);
#else
#  error "processor faults are caught on x86 and x86_64 only"
#endif
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* info) noexcept {
    Traps& traps = Traps::Get();
    if (!traps.OnGuiThread()) return EXCEPTION_CONTINUE_SEARCH;
    Trap* trap = traps.top;
    if (!trap || !Takes(traps, trap->scope, *info->ExceptionRecord)) return EXCEPTION_CONTINUE_SEARCH;
    Keep(*trap->fault, *info);
    ContinueAtJumpBack(*info->ContextRecord);
    return EXCEPTION_CONTINUE_EXECUTION;
}

// Sets the trap for the body's duration; a C++ exception from body takes it
// down on its way out.
void RunUnder(Traps& traps, Trap& trap, void (*body)(void*), void* argument) {
    struct Unset {
        Traps& traps;
        const Trap& trap;
        ~Unset() { traps.top = trap.previous; }
    };
    traps.top = &trap;
    const Unset unset{traps, trap};
    body(argument);
}

#endif  // PIX_GNU

Traps::Traps() noexcept
    : guiThread_(GetCurrentThreadId()), program_(GetModuleHandleW(nullptr)), runtime_(RuntimeModule()) {
#if PIX_GNU
    handler_ = AddVectoredExceptionHandler(1, &OnException);
#endif
}

Traps::~Traps() {
    if (handler_) RemoveVectoredExceptionHandler(handler_);
}

}  // namespace

#if PIX_GNU

PIX_NOINLINE bool RunTrapped(Scope scope, void (*body)(void*), void* argument, Fault& fault) {
    Traps& traps = Traps::Get();
    if (!traps.OnGuiThread()) {
        body(argument);
        return true;
    }
    Trap trap;
    trap.scope = scope;
    trap.fault = &fault;
    trap.previous = traps.top;
    Capture(trap);
    if (PIX_SET_JUMP(trap.jump)) {
        // Landed from JumpBack: traps set inside the abandoned frames go too.
        Traps::Get().top = trap.previous;
        Recover(trap);
        return false;
    }
    RunUnder(traps, trap, body, argument);
    return true;
}

#else  // MSVC: structured exception handling

namespace {
int Filter(Scope scope, EXCEPTION_POINTERS* info, Fault& fault) noexcept {
    if (!Takes(Traps::Get(), scope, *info->ExceptionRecord)) return EXCEPTION_CONTINUE_SEARCH;
    Keep(fault, *info);
    return EXCEPTION_EXECUTE_HANDLER;
}
}  // namespace

bool RunTrapped(Scope scope, void (*body)(void*), void* argument, Fault& fault) {
    if (!Traps::Get().OnGuiThread()) {
        body(argument);
        return true;
    }
    const std::uint16_t x87 = cpu::X87ControlWord();
    __try {
        body(argument);
        return true;
    } __except (Filter(scope, GetExceptionInformation(), fault)) {
    }
    cpu::ResetX87(x87);
    _clearfp();
    if (fault.record.ExceptionCode == EXCEPTION_STACK_OVERFLOW) _resetstkoflw();
    return false;
}

#endif

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
