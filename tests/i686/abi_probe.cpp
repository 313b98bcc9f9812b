// Calls NewPix once the way PixGen does, and says whether the stack pointer
// after the call is where a stdcall function with 44 bytes of arguments
// leaves it: back where it was before the arguments were stored. The
// recording Quelvano.dll notes the stack pointer on entry, which must lie 48
// bytes below (44 bytes of arguments and the return address).
//
// Built twice: with our real declaration, and with a deliberately wrong one
// (PROBE_WRONG_CDECL: the same arguments through a cdecl pointer), to show
// that the check catches a caller and a library that disagree.
#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "base/core/compiler.h"
#include "pixlib/NewPix.h"
#include "pixlib/core/counted_text.h"

namespace {

const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

#ifdef PROBE_WRONG_CDECL
using WrongNewPix = const wchar_t* (__cdecl*)(const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*,
                                              const wchar_t*, const wchar_t*, const wchar_t*, double, double);
#endif

struct Measure {
    std::uintptr_t before = 0;
    std::uintptr_t after = 0;
    const wchar_t* result = nullptr;
};

PIX_NOINLINE Measure CallOnce(const pix::CountedText& key) {
    Measure m;
#ifdef PROBE_WRONG_CDECL
    const auto call = reinterpret_cast<WrongNewPix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"Quelvano.dll"), "NewPix")));
#else
    const auto call = &NewPix;
#endif
    m.before = pix::cpu::StackPointer();
    m.result = call(W(pix::kBankCode.Chars()), W(key.Chars()), W(key.Chars()), W(key.Chars()), W(key.Chars()),
                    W(key.Chars()), W(key.Chars()), 12.5, 44551.0);
    m.after = pix::cpu::StackPointer();
    return m;
}

// The stack pointer that the recording library noted on entry ("sp" line).
std::uintptr_t EntryStackPointer() {
    wchar_t path[1024];
    if (!GetEnvironmentVariableW(L"QUELVANO_RECORD", path, 1024)) return 0;
    FILE* file = _wfopen(path, L"rb");
    if (!file) return 0;
    char line[256];
    unsigned long sp = 0;
    while (std::fgets(line, sizeof line, file))
        if (std::sscanf(line, "sp %lx", &sp) == 1) break;
    std::fclose(file);
    return sp;
}

}  // namespace

// Exit codes: 0 the contract holds; 1 the stack pointer moved across the
// call; 2 the library found its arguments elsewhere; 3 nothing recorded.
int wmain() {
    // Bound at load time like PixGen; the wrong variant only looks it up.
    LoadLibraryW(L"Quelvano.dll");
    const pix::CountedText key(u"probe");
    pix::cpu::SetX87ControlWord(pix::cpu::kProgramX87ControlWord);
    const Measure m = CallOnce(key);
    const std::uintptr_t entry = EntryStackPointer();
    std::printf("before %08lX after %08lX entry %08lX\n", static_cast<unsigned long>(m.before),
                static_cast<unsigned long>(m.after), static_cast<unsigned long>(entry));
    if (!m.result || !entry) return 3;
    if (m.after != m.before) return 1;
    // The return address lies right below the arguments: 4 bytes below the
    // stack pointer when the arguments were stored into a reserved area, 48
    // when they were pushed.
    return entry + 4 == m.before || entry + 48 == m.before ? 0 : 2;
}
