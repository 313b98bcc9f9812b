#include "quelvano/recording.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "base/core/compiler.h"
#include "pixlib/core/counted_text.h"

namespace quelvano {

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[1024];
    const DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
    return n > 0 && n < 1024 ? std::wstring(buffer, n) : std::wstring();
}

void Hex(std::string& out, unsigned long long value, int digits) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*llX", digits, value);
    out += text;
}

unsigned long long Bits(double value) {
    unsigned long long bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Header fields as they lie in memory, then the code units up to the first
// zero (bounded, so a broken text cannot run us off the end of the world).
void RecordText(std::string& out, const Argument& argument) {
    out += "text ";
    out += argument.name;
    if (!argument.chars) {
        out += " null\n";
        return;
    }
    const auto* chars = reinterpret_cast<const char16_t*>(argument.chars);
    const pix::CountedTextHeader header = pix::HeaderOf(chars);
    out += " cp " + std::to_string(header.codePage);
    out += " es " + std::to_string(header.elementSize);
    out += " rc " + std::to_string(header.referenceCount);
    out += " len " + std::to_string(header.length);
    out += " units";
    for (std::size_t i = 0; i < (1u << 20) && chars[i] != 0; ++i) {
        out += ' ';
        Hex(out, chars[i], 4);
    }
    out += '\n';
}

void Append(const std::wstring& path, const std::string& text) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::wstring Mode() {
    const std::wstring modeFile = Environment(L"QUELVANO_MODE_FILE");
    if (!modeFile.empty()) {
        HANDLE file = CreateFileW(modeFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            char buffer[64] = {};
            DWORD read = 0;
            ReadFile(file, buffer, sizeof buffer - 1, &read, nullptr);
            CloseHandle(file);
            std::wstring mode;
            for (DWORD i = 0; i < read && buffer[i] > ' '; ++i) mode += static_cast<wchar_t>(buffer[i]);
            return mode;
        }
    }
    return Environment(L"QUELVANO_MODE");
}

// The faults a test can ask for. Each is kept out of line and opaque to the
// optimiser, so that it really happens here, inside the library.
PIX_NOINLINE int ReadAddressZero() {
    int* volatile address = nullptr;
    return *address;
}

PIX_NOINLINE long double DivideByZeroOnX87() {
    volatile long double one = 1.0L, zero = 0.0L;
    volatile long double quotient = one / zero;  // raised at the next x87 instruction
    return quotient + one;
}

PIX_NOINLINE int DivideIntegerByZero() {
    volatile int one = 1, zero = 0;
    return one / zero;
}

volatile bool keepRecursing = true;  // opaque to the optimiser: the recursion is meant

PIX_NOINLINE int Recurse(volatile char* previous) {
    volatile char frame[4096];
    frame[0] = previous ? static_cast<char>(previous[0] + 1) : 0;
    frame[sizeof frame - 1] = frame[0];
    if (!keepRecursing) return 0;
    return Recurse(frame) + frame[1];  // not a tail call: the frames pile up
}

// The software exception a library built with another language runtime
// raises for an error of its own, and does not catch.
constexpr DWORD kLibraryError = 0xE0424242;

PIX_NOINLINE void RaiseLibraryError(DWORD flags) { RaiseException(kLibraryError, flags, 0, nullptr); }

// A probe of memory that faults and is handled where it happens, inside the
// system function: a page that is reserved, never committed.
const wchar_t* ProbeUnreadableMemory() {
    void* reserved = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
    if (!reserved) return L"probe: no memory";
    const BOOL bad = IsBadReadPtr(reserved, 4);
    VirtualFree(reserved, 0, MEM_RELEASE);
    return bad ? L"probe: unreadable" : L"probe: readable";
}

// A C++ exception thrown and caught inside the library.
PIX_NOINLINE void ThrowInside() { throw std::runtime_error("inside"); }
const wchar_t* ThrowAndCatchInside() {
    try {
        ThrowInside();
    } catch (const std::runtime_error&) {
        return L"cxx: caught";
    }
    return L"cxx: not thrown";
}

}  // namespace

Entry CaptureEntry(const void* firstArgument) noexcept {
    Entry entry;
    entry.x87ControlWord = pix::cpu::X87ControlWord();
    entry.mxcsr = pix::cpu::Mxcsr();
    entry.stackPointer = reinterpret_cast<std::uintptr_t>(firstArgument) - sizeof(void*);
    return entry;
}

void Record(const Entry& entry, const Argument (&texts)[7], double valor, double vencimento) {
    const std::wstring path = Environment(L"QUELVANO_RECORD");
    if (path.empty()) return;
    std::string out = "call\nx87cw ";
    Hex(out, entry.x87ControlWord, 4);
    out += "\nmxcsr ";
    Hex(out, entry.mxcsr, 8);
    out += "\nsp ";
    Hex(out, entry.stackPointer, static_cast<int>(sizeof(void*) * 2));
    out += '\n';
    for (const Argument& text : texts) RecordText(out, text);
    out += "double valor ";
    Hex(out, Bits(valor), 16);
    out += "\ndouble vencimento ";
    Hex(out, Bits(vencimento), 16);
    out += "\nend\n";
    Append(path, out);
}

bool ActAsTold(const wchar_t*& answer) {
    static const wchar_t kLines[] = L"linha 1\r\nlinha 2\r\n\r\nlinha 4";
    const std::wstring mode = Mode();
    if (mode == L"null") {
        answer = nullptr;
        return true;
    }
    if (mode == L"crlf") {
        answer = kLines;
        return true;
    }
    if (mode == L"probe") {
        answer = ProbeUnreadableMemory();
        return true;
    }
    if (mode == L"cxx") {
        answer = ThrowAndCatchInside();
        return true;
    }
    if (mode == L"raise") RaiseLibraryError(0);
    if (mode == L"raise-noncontinuable") RaiseLibraryError(EXCEPTION_NONCONTINUABLE);
    if (mode == L"read0") answer = reinterpret_cast<const wchar_t*>(static_cast<std::uintptr_t>(ReadAddressZero()));
    if (mode == L"fpdiv0") answer = reinterpret_cast<const wchar_t*>(static_cast<std::uintptr_t>(DivideByZeroOnX87()));
    if (mode == L"intdiv0") answer = reinterpret_cast<const wchar_t*>(static_cast<std::uintptr_t>(DivideIntegerByZero()));
    if (mode == L"stackoverflow") answer = reinterpret_cast<const wchar_t*>(static_cast<std::uintptr_t>(Recurse(nullptr)));
    return false;
}

}  // namespace quelvano
