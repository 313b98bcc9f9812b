// The assembly of win/trap_frame.cpp, for GCC: the frame of our own that a trap
// sets around a call. All other code of the trap is C++; MSVC builds use
// __try/__except there and need none of this.

#if defined(__x86_64__)

// int pix_RunFramed(void (*body)(void*), void* argument, const FrameFilter* filter)
// Calls body(argument) and returns 1. The frame carries unwind data and a
// handler for the search phase (pix_OnFramedException, win/trap_frame.cpp), so
// Windows consults it after every frame that body set up, and a C++
// exception unwinds through it like through any other frame. The handler
// relies on this layout: the filter 32 bytes above the frame's stack pointer
// (the establisher frame), the return address 40 bytes above it. To take an
// exception it unwinds to this frame with pix_FramedLanding as the target
// and 0 as the value, and the call returns 0; after a stack overflow it
// continues at the return address with eax = 0 instead.
        .text
        .p2align 4
        .globl  pix_RunFramed
        .def    pix_RunFramed; .scl 2; .type 32; .endef
        .seh_proc pix_RunFramed
pix_RunFramed:
        subq    $40, %rsp               // the callee's home area and the trap; aligned again
        .seh_stackalloc 40
        .seh_endprologue
        movq    %r8, 32(%rsp)
        movq    %rcx, %rax
        movq    %rdx, %rcx
        call    *%rax
        movl    $1, %eax
        .globl  pix_FramedLanding
pix_FramedLanding:                      // reached with eax = 0 when the handler took an exception
        addq    $40, %rsp
        ret
        .seh_handler pix_OnFramedException, @except
        .seh_endproc

#elif defined(__i386__)

// The thread's chain of exception registrations, whose head is fs:[0]: the
// registration record itself lives in the trapping C++ frame.

// void* pix_Registrations(void)
        .text
        .globl  _pix_Registrations
        .def    _pix_Registrations; .scl 2; .type 32; .endef
_pix_Registrations:
        movl    %fs:0, %eax
        ret

// void pix_SetRegistrations(void* head)
        .globl  _pix_SetRegistrations
        .def    _pix_SetRegistrations; .scl 2; .type 32; .endef
_pix_SetRegistrations:
        movl    4(%esp), %eax
        movl    %eax, %fs:0
        ret

// void pix_UnwindRegistrations(void* frame, EXCEPTION_RECORD* record)
// RtlUnwind to the registration `frame`: the handlers registered after it
// are called to unwind and taken off the chain. Windows' RtlUnwind has been
// known not to keep ebx, esi, edi and ebp, so they are kept here.
        .globl  _pix_UnwindRegistrations
        .def    _pix_UnwindRegistrations; .scl 2; .type 32; .endef
_pix_UnwindRegistrations:
        pushl   %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        pushl   $0                      // return value
        pushl   28(%esp)                // record
        pushl   $0                      // target instruction: unused, it returns
        pushl   32(%esp)                // frame
        call    _RtlUnwind@16
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret

#endif
