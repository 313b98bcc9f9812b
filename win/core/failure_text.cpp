#include "win/core/failure_text.h"

namespace pix {

namespace {

constexpr std::uint32_t kAccessViolation = 0xC0000005;

struct FaultRow {
    std::uint32_t code;
    std::u16string_view kind;
    std::u16string_view message;
};

// The table of processor faults, less the access violation, whose message is
// built from the fault's details.
constexpr FaultRow kFaultRows[] = {
    {0xC0000094, u"DivisionByZero", u"Division by zero"},
    {0xC000008C, u"RangeCheckError", u"Range check error"},
    {0xC0000095, u"IntegerOverflow", u"Integer overflow"},
    {0xC000008F, u"InvalidFloatingPointOperation", u"Invalid floating point operation"},
    {0xC0000090, u"InvalidFloatingPointOperation", u"Invalid floating point operation"},
    {0xC0000092, u"InvalidFloatingPointOperation", u"Invalid floating point operation"},
    {0xC000008E, u"FloatingPointDivisionByZero", u"Floating point division by zero"},
    {0xC0000091, u"FloatingPointOverflow", u"Floating point overflow"},
    {0xC000008D, u"FloatingPointUnderflow", u"Floating point underflow"},
    {0xC0000093, u"FloatingPointUnderflow", u"Floating point underflow"},
    {0xC0000096, u"PrivilegedInstruction", u"Privileged instruction"},
    {0xC000013A, u"ControlC", u"Control-C hit"},
    {0xC00000FD, u"StackOverflow", u"Stack overflow"},
};

std::u16string_view AccessName(std::uint64_t accessKind) {
    switch (accessKind) {
        case 0: return u"Read";
        case 1: return u"Write";
        case 8: return u"Execution";
        default: return u"Invalid access";
    }
}

Failure AccessViolation(const ProcessorFault& fault) {
    std::u16string message = u"Access violation at address " + Hex(fault.address, fault.pointerDigits);
    if (!fault.module.empty()) message += u" in module '" + fault.module + u"'";
    message += u". ";
    message += AccessName(fault.accessKind);
    message += u" of address " + Hex(fault.accessedAddress, fault.pointerDigits);
    return Failure(u"AccessViolation", std::move(message));
}

}  // namespace

std::u16string DialogText(std::u16string_view message) {
    std::u16string text(message);
    if (!text.empty() && text.back() > u'.') text += u'.';
    return text;
}

std::u16string_view FatalFullStop(std::u16string_view message) {
    return !message.empty() && message.back() != u'.' ? u"." : u"";
}

std::u16string Hex(std::uint64_t value, int minDigits) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), u"0123456789ABCDEF"[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(digits.size()) < minDigits)
        digits.insert(0, static_cast<std::size_t>(minDigits) - digits.size(), u'0');
    return digits;
}

Failure FaultFailure(const ProcessorFault& fault) {
    if (fault.code == kAccessViolation) return AccessViolation(fault);
    for (const FaultRow& row : kFaultRows)
        if (row.code == fault.code) return Failure(std::u16string(row.kind), std::u16string(row.message));
    return Failure(u"ExternalException", u"External exception " + Hex(fault.code, 1));
}

std::u16string FatalFailureText(std::u16string_view kind, std::u16string_view module, std::uint64_t offset,
                                int pointerDigits, std::u16string_view message) {
    std::u16string text = u"Exception ";
    text += kind;
    text += u" in module ";
    text += module;
    text += u" at " + Hex(offset, pointerDigits) + u".\r\n";
    text += message;
    text += FatalFullStop(message);
    text += u"\r\n";
    return text;
}

}  // namespace pix
