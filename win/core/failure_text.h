// The texts of failure reporting, free of Windows: the full stops of the
// failure dialog and of the fatal failure box, the failures that processor
// faults become, and the fatal box's text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/core/failure.h"
#include "win/core/title.h"

namespace pix {

// The failure dialog's text: the message, and "." after a last code unit
// above U+002E. A message ending in "." or in anything from U+0000 to U+002D
// (space, "!", quotes, ")", ",", "-", line breaks) is left alone; an empty
// message stays empty.
std::u16string DialogText(std::u16string_view message);

// The fatal failure box's full stop: "." unless the message is empty or
// already ends in ".".
std::u16string_view FatalFullStop(std::u16string_view message);

// Upper-case hexadecimal, zero-padded to at least minDigits digits.
std::u16string Hex(std::uint64_t value, int minDigits);

// A processor fault as the failure's text needs it.
struct ProcessorFault {
    std::uint32_t code = 0;
    std::uint64_t address = 0;          // of the faulting instruction
    std::uint64_t accessKind = 0;       // access violation: 0 read, 1 write, 8 execution
    std::uint64_t accessedAddress = 0;  // access violation: the address touched
    std::u16string module;              // file name holding the instruction; empty: none
    int pointerDigits = 8;              // hex digits of an address: 8 on 32-bit, 16 on 64-bit
};

// The failure a processor fault becomes: the kind's name and the message of
// the table of processor faults (codes outside it: "External exception %X").
Failure FaultFailure(const ProcessorFault& fault);

// The fatal failure box's text:
// "Exception <kind> in module <module> at <offset>.\r\n<message><full stop>\r\n".
std::u16string FatalFailureText(std::u16string_view kind, std::u16string_view module, std::uint64_t offset,
                                int pointerDigits, std::u16string_view message);

}  // namespace pix
