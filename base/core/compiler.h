// The one place that knows which compiler builds us. Everything else is
// plain ISO C++ (plus Win32 in the Windows-only files).
#pragma once

#include <cstdint>
#include <cstdlib>

#if defined(_MSC_VER) && !defined(__clang__)
#  define PIX_MSVC 1
#  include <float.h>
#  include <intrin.h>
#  define PIX_NOINLINE __declspec(noinline)
#else
#  define PIX_GNU 1
#  define PIX_NOINLINE __attribute__((noinline))
#endif

// The caller's return address, seen from inside a function; and, on GCC, a
// jump buffer that a later jump returns to without unwinding anything (the
// i686 trap frame of win/trap_frame.cpp; MSVC uses its structured exception
// handling there).
#if PIX_MSVC
#  define PIX_RETURN_ADDRESS() _ReturnAddress()
#else
#  define PIX_RETURN_ADDRESS() __builtin_return_address(0)
#  define PIX_JUMP_BUFFER(name) void* name[5]
#  define PIX_SET_JUMP(buffer) __builtin_setjmp(buffer)
#  define PIX_JUMP(buffer) __builtin_longjmp(buffer, 1)
#endif

// GCC's C++ runtime terminates by printing the pending exception's type,
// demangled, to the standard error stream before abort(). A GUI program has
// no such stream, and the demangler behind it is a ninth of PixGen.exe; the
// program defines this quiet handler once (app/main.cpp): abort() alone.
#if PIX_GNU && defined(__MINGW32__)
#  define PIX_DEFINE_QUIET_TERMINATE_HANDLER() \
      namespace __gnu_cxx {                    \
      void __verbose_terminate_handler() { std::abort(); } \
      }
#else
#  define PIX_DEFINE_QUIET_TERMINATE_HANDLER()
#endif

// GCC's C++ library reports its own errors (a string grown beyond its
// maximum, a position out of range) through the std::__throw_* functions of
// one object file, whose exceptions carry their message in the library's
// reference-counted string: linking any one of them brings that string's
// whole explicit instantiation and its exception classes, about 60 KB of the
// i686 program. The program defines all fifteen once (app/main.cpp), so that
// the library's own never link, and throws what the failure guard already
// shows: a length error, a text or table beyond what memory can hold, as
// std::bad_alloc ("Out of memory"); the errors that carry a message as an
// exception holding the library's own text (a literal, never copied; for a
// position out of range, its pattern, unformatted); the rest as the
// standard classes, which carry none.
#if PIX_GNU && defined(__MINGW32__) && defined(__GLIBCXX__)
#  include <exception>
#  include <new>
#  include <typeinfo>
namespace pix::cpu {
class RuntimeLibraryError final : public std::exception {
public:
    explicit RuntimeLibraryError(const char* what) noexcept : what_(what) {}
    const char* what() const noexcept override { return what_; }

private:
    const char* what_;
};
}  // namespace pix::cpu
#  define PIX_DEFINE_QUIET_RUNTIME_ERRORS()                                                                   \
      namespace std {                                                                                    \
      void __throw_bad_alloc() { throw bad_alloc(); }                                                    \
      void __throw_bad_array_new_length() { throw bad_array_new_length(); }                              \
      void __throw_bad_cast() { throw bad_cast(); }                                                      \
      void __throw_bad_typeid() { throw bad_typeid(); }                                                  \
      void __throw_bad_exception() { throw bad_exception(); }                                            \
      void __throw_length_error(const char*) { throw bad_alloc(); }                                      \
      void __throw_logic_error(const char* what) { throw ::pix::cpu::RuntimeLibraryError(what); }        \
      void __throw_domain_error(const char* what) { throw ::pix::cpu::RuntimeLibraryError(what); }       \
      void __throw_invalid_argument(const char* what) { throw ::pix::cpu::RuntimeLibraryError(what); }   \
      void __throw_out_of_range(const char* what) { throw ::pix::cpu::RuntimeLibraryError(what); }       \
      void __throw_out_of_range_fmt(const char* what, ...) { throw ::pix::cpu::RuntimeLibraryError(what); } \
      void __throw_runtime_error(const char* what) { throw ::pix::cpu::RuntimeLibraryError(what); }      \
      void __throw_range_error(const char* what) { throw ::pix::cpu::RuntimeLibraryError(what); }        \
      void __throw_overflow_error(const char* what) { throw ::pix::cpu::RuntimeLibraryError(what); }     \
      void __throw_underflow_error(const char* what) { throw ::pix::cpu::RuntimeLibraryError(what); }    \
      }
#else
#  define PIX_DEFINE_QUIET_RUNTIME_ERRORS()
#endif

#if defined(_M_IX86) || defined(__i386__)
#  define PIX_X86_32 1
#endif
#if defined(_M_X64) || defined(__x86_64__)
#  define PIX_X86_64 1
#endif

// The calling convention of the vendor library's exports. On x86_64 there is
// only one convention, and the keyword is accepted and ignored.
#if defined(_WIN32)
#  define PIX_STDCALL __stdcall
#else
#  define PIX_STDCALL
#endif

namespace pix::cpu {

// x87 control word, as the processor holds it. Bit 6 is reserved and reads
// back as 1, so compare values with that bit masked.
inline constexpr std::uint16_t kX87Reserved = 0x0040;

#if PIX_MSVC && PIX_X86_32
// The MSVC runtime speaks of the control word in an abstract form of its own;
// these two translate between it and the processor's bits.
inline unsigned int X87ToMsvc(std::uint16_t cw) noexcept {
    static const unsigned int masks[6] = {_EM_INVALID, _EM_DENORMAL, _EM_ZERODIVIDE,
                                          _EM_OVERFLOW, _EM_UNDERFLOW, _EM_INEXACT};
    static const unsigned int precision[4] = {_PC_24, _PC_24, _PC_53, _PC_64};
    static const unsigned int rounding[4] = {_RC_NEAR, _RC_DOWN, _RC_UP, _RC_CHOP};
    unsigned int abstract = precision[(cw >> 8) & 3] | rounding[(cw >> 10) & 3];
    for (int bit = 0; bit < 6; ++bit)
        if (cw & (1u << bit)) abstract |= masks[bit];
    return abstract;
}
#endif

inline std::uint16_t X87ControlWord() noexcept {
#if PIX_GNU && (PIX_X86_32 || PIX_X86_64)
    std::uint16_t cw = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(cw));
    return cw;
#elif PIX_MSVC && PIX_X86_32
    std::uint16_t cw = 0;
    __asm fnstcw cw;
    return cw;
#else
    return 0;  // no x87 access on this compiler and target
#endif
}

inline void SetX87ControlWord(std::uint16_t cw) noexcept {
#if PIX_GNU && (PIX_X86_32 || PIX_X86_64)
    __asm__ __volatile__("fclex\n\tfldcw %0" : : "m"(cw));
#elif PIX_MSVC && PIX_X86_32
    unsigned int x87 = 0;
    _clearfp();
    __control87_2(X87ToMsvc(cw), _MCW_EM | _MCW_PC | _MCW_RC, &x87, nullptr);
#else
    (void)cw;  // x64 MSVC code never uses the x87 unit
#endif
}

// Brings the x87 unit back to a clean state after foreign code was abandoned
// in the middle of an operation: empty register stack, no pending exception,
// then our control word again.
inline void ResetX87(std::uint16_t cw) noexcept {
#if PIX_GNU && (PIX_X86_32 || PIX_X86_64)
    __asm__ __volatile__("fninit\n\tfldcw %0" : : "m"(cw));
#elif PIX_MSVC && PIX_X86_32
    _clearfp();
    SetX87ControlWord(cw);
#else
    (void)cw;
#endif
}

// x87 status word: the exception flags are bits 0-5, bit 7 says one of
// them is unmasked and will fault at the next x87 instruction.
inline std::uint16_t X87StatusWord() noexcept {
#if PIX_GNU && (PIX_X86_32 || PIX_X86_64)
    std::uint16_t sw = 0;
    __asm__ __volatile__("fnstsw %0" : "=m"(sw) : : "memory");
    return sw;
#elif PIX_MSVC && PIX_X86_32
    std::uint16_t sw = 0;
    __asm fnstsw sw;
    return sw;
#else
    return 0;
#endif
}

// The x87 environment of the whole program and of the vendor library: 64-bit
// significand, round to nearest; invalid operation, division by zero and
// overflow fault, denormal, underflow and precision do not.
inline constexpr std::uint16_t kProgramX87ControlWord = 0x1332;

// Every x87 exception masked, 64-bit significand, rounding to nearest.
inline constexpr std::uint16_t kX87Quiet = 0x037F;

// The x87 arithmetic done while one of these lives runs under a control word
// of its own, whatever the caller's. On the way out the exception flags are
// cleared before the caller's word is loaded again, so nothing raised in
// between can fault later under the caller's masks. The memory clobbers keep
// the compiler from moving memory accesses across the switch; computations
// inside must therefore deliver their results through memory.
class X87Section {
public:
    explicit X87Section(std::uint16_t cw) noexcept : saved_(X87ControlWord()) { Load(cw); }
    ~X87Section() { Load(saved_); }
    X87Section(const X87Section&) = delete;
    X87Section& operator=(const X87Section&) = delete;

private:
    static void Load(std::uint16_t cw) noexcept {
#if PIX_GNU && (PIX_X86_32 || PIX_X86_64)
        __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(cw) : "memory");
#else
        SetX87ControlWord(cw);
#endif
    }
    std::uint16_t saved_;
};

inline std::uint32_t Mxcsr() noexcept {
#if PIX_GNU && (PIX_X86_32 || PIX_X86_64)
    std::uint32_t csr = 0;
    __asm__ __volatile__("stmxcsr %0" : "=m"(csr));
    return csr;
#elif PIX_MSVC
    return _mm_getcsr();
#else
    return 0;
#endif
}

inline void SetMxcsr(std::uint32_t csr) noexcept {
#if PIX_GNU && (PIX_X86_32 || PIX_X86_64)
    __asm__ __volatile__("ldmxcsr %0" : : "m"(csr) : "memory");
#elif PIX_MSVC
    _mm_setcsr(csr);
#else
    (void)csr;
#endif
}

// Every SSE exception masked, no flag raised, rounding to nearest.
inline constexpr std::uint32_t kMxcsrQuiet = 0x1F80;

// Whether a Windows exception code is one under which this compiler's own C++
// exceptions travel: GCC on x86_64 raises its throws as 0x20474343 ("GCC")
// and its collided and forced unwinds as 0x21474343 and 0x22474343; MSVC
// raises 0xE06D7363. GCC on i686 unwinds with DWARF-2 tables and raises none.
inline bool IsCxxExceptionCode(std::uint32_t code) noexcept {
#if PIX_MSVC
    return code == 0xE06D7363u;
#elif PIX_X86_64
    return (code & 0xF0FFFFFFu) == 0x20474343u;
#else
    (void)code;
    return false;
#endif
}

// Whether another module's C++ exception may be taken over on its way and
// unwound like any other exception: MSVC's runtime allows it; GCC's unwinder
// keeps its target inside the exception and must finish what it started.
#if PIX_MSVC
inline constexpr bool kCxxExceptionsCanBeTakenOver = true;
#else
inline constexpr bool kCxxExceptionsCanBeTakenOver = false;
#endif

// The stack pointer here and now; the tests of the calling convention use it.
inline std::uintptr_t StackPointer() noexcept {
#if PIX_GNU && PIX_X86_32
    std::uintptr_t sp = 0;
    __asm__ __volatile__("movl %%esp, %0" : "=r"(sp) : : "memory");
    return sp;
#elif PIX_GNU && PIX_X86_64
    std::uintptr_t sp = 0;
    __asm__ __volatile__("movq %%rsp, %0" : "=r"(sp) : : "memory");
    return sp;
#elif PIX_MSVC
    return reinterpret_cast<std::uintptr_t>(_AddressOfReturnAddress()) + sizeof(void*);
#else
    return 0;
#endif
}

}  // namespace pix::cpu
