// The test-only side of the stand-in library: what each call looked like at
// the binary level, and the misbehaviour a test asks for.
#pragma once

#include <cstdint>

#include "quelvano/argument.h"

namespace quelvano {

struct Entry {
    std::uint16_t x87ControlWord;
    std::uint32_t mxcsr;
    std::uintptr_t stackPointer;  // at entry, pointing at the return address (i686)
};

// Reads the processor state before NewPix does any arithmetic of its own.
Entry CaptureEntry(const void* firstArgument) noexcept;

// Appends one call to the file named by QUELVANO_RECORD, if set.
void Record(const Entry& entry, const Argument (&texts)[7], double valor, double vencimento);

// True when the test asked for a particular answer (possibly null); faults
// and raised exceptions never return.
bool ActAsTold(const wchar_t*& answer);

}  // namespace quelvano
