#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "win/core/failure_text.h"

namespace {

// Readable in a failure message: ASCII as is, everything else as \uXXXX.
std::string Show(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
            out += buffer;
        }
    }
    return out;
}

// The two boxes' full stops side by side: the dialog appends after a last
// code unit above U+002E, the fatal box after anything but ".".
TEST(FullStop, DialogAndFatalBoxFollowTheirOwnRules) {
    const struct {
        std::u16string_view message;
        bool dialogAppends;
        bool fatalAppends;
    } cases[] = {
        {u"Done.", false, false},
        {u"Bad value (abc)", false, true},  // ")" is U+0029
        {u"Stop!", false, true},
        {u"Really?", true, true},           // "?" is U+003F
        {u"Reason:", true, true},
        {u"Access denied", true, true},
        {u"Code 42", true, true},
        {u"ends with a space ", false, true},
        {u"ends with a comma,", false, true},
        {u"ends with a dash-", false, true},
        {u"ends with a quote'", false, true},
        {u"ends with a slash/", true, true},   // U+002F, the first unit above the full stop
        {u"S\u00e3o Paulo \u00e9", true, true},  // above U+007F
        {u"\u20ac", true, true},
        {u"line one\r\n", false, true},
        {u"tab\t", false, true},
        {u"", false, false},
    };
    for (const auto& c : cases) {
        const std::u16string message(c.message);
        EXPECT_EQ(pix::DialogText(c.message), c.dialogAppends ? message + u"." : message) << Show(c.message);
        EXPECT_EQ(pix::FatalFullStop(c.message), c.fatalAppends ? u"." : u"") << Show(c.message);
    }
}

TEST(FaultFailure, EveryRowOfTheTable) {
    const struct {
        std::uint32_t code;
        std::u16string_view kind;
        std::u16string_view message;
    } cases[] = {
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
        // Any other code, in upper-case hexadecimal without leading zeros.
        {0xC0000001, u"ExternalException", u"External exception C0000001"},
        {0xC000001D, u"ExternalException", u"External exception C000001D"},
        {0x0EEDFACE, u"ExternalException", u"External exception EEDFACE"},
        {0x00000001, u"ExternalException", u"External exception 1"},
        {0x00000000, u"ExternalException", u"External exception 0"},
    };
    for (const auto& c : cases) {
        pix::ProcessorFault fault;
        fault.code = c.code;
        fault.address = 0x401234;
        fault.module = u"Quelvano.dll";  // only the access violation names it
        const pix::Failure failure = pix::FaultFailure(fault);
        EXPECT_EQ(failure.Kind(), c.kind) << std::hex << c.code;
        EXPECT_EQ(failure.Message(), c.message) << std::hex << c.code;
    }
}

TEST(FaultFailure, AccessViolationInBothFormsAndWidths) {
    const struct {
        std::uint64_t address;
        std::u16string_view module;
        std::uint64_t accessKind;
        std::uint64_t accessed;
        int digits;
        std::u16string_view message;
    } cases[] = {
        {0x6F4A1B2C, u"Quelvano.dll", 0, 0, 8,
         u"Access violation at address 6F4A1B2C in module 'Quelvano.dll'. Read of address 00000000"},
        {0x00401000, u"PixGen.exe", 1, 0xDEADBEEF, 8,
         u"Access violation at address 00401000 in module 'PixGen.exe'. Write of address DEADBEEF"},
        {0x00000008, u"", 8, 0x00000008, 8,
         u"Access violation at address 00000008. Execution of address 00000008"},
        {0x12345678, u"", 2, 0xABC, 8,
         u"Access violation at address 12345678. Invalid access of address 00000ABC"},
        {0x00007FFB1234ABCD, u"Quelvano.dll", 0, 0, 16,
         u"Access violation at address 00007FFB1234ABCD in module 'Quelvano.dll'. Read of address 0000000000000000"},
        {0x0000000140001000, u"", 1, 0xFFFFFFFFFFFFFFF0, 16,
         u"Access violation at address 0000000140001000. Write of address FFFFFFFFFFFFFFF0"},
    };
    for (const auto& c : cases) {
        pix::ProcessorFault fault;
        fault.code = 0xC0000005;
        fault.address = c.address;
        fault.module = std::u16string(c.module);
        fault.accessKind = c.accessKind;
        fault.accessedAddress = c.accessed;
        fault.pointerDigits = c.digits;
        const pix::Failure failure = pix::FaultFailure(fault);
        EXPECT_EQ(failure.Kind(), u"AccessViolation");
        EXPECT_EQ(Show(failure.Message()), Show(c.message));
        // The dialog ends it with its full stop: the last unit is a hex digit.
        EXPECT_EQ(pix::DialogText(failure.Message()), std::u16string(c.message) + u".");
    }
}

TEST(Hex, PadsToTheWidthAndNeverCuts) {
    EXPECT_EQ(pix::Hex(0, 8), u"00000000");
    EXPECT_EQ(pix::Hex(0xabcdef, 8), u"00ABCDEF");
    EXPECT_EQ(pix::Hex(0x123456789, 8), u"123456789");  // wider than asked: all digits kept
    EXPECT_EQ(pix::Hex(0xFFFFFFFFFFFFFFFF, 16), u"FFFFFFFFFFFFFFFF");
    EXPECT_EQ(pix::Hex(0, 1), u"0");
    EXPECT_EQ(pix::Hex(0, 0), u"0");
}

TEST(FileNameOf, KeepsWhatFollowsTheLastBackslash) {
    EXPECT_EQ(pix::FileNameOf(u"C:\\windows\\system32\\Quelvano.dll"), u"Quelvano.dll");
    EXPECT_EQ(pix::FileNameOf(u"Quelvano.dll"), u"Quelvano.dll");
    EXPECT_EQ(pix::FileNameOf(u"C:\\dir\\"), u"");
    EXPECT_EQ(pix::FileNameOf(u"\\\\?\\C:\\a.b\\PixGen.exe"), u"PixGen.exe");
}

TEST(FatalFailureText, FillsTheTemplate) {
    const struct {
        std::u16string_view kind, module;
        std::uint64_t offset;
        int digits;
        std::u16string_view message, text;
    } cases[] = {
        {u"WindowError", u"PixGen.exe", 0x1A2B, 8, u"Cannot create the window",
         u"Exception WindowError in module PixGen.exe at 00001A2B.\r\nCannot create the window.\r\n"},
        {u"StyleError", u"PixGen.exe", 0x10, 8, u"Style not found.",
         u"Exception StyleError in module PixGen.exe at 00000010.\r\nStyle not found.\r\n"},
        {u"AccessViolation", u"Quelvano.dll", 0x2F40, 16, u"Access violation (x)",
         u"Exception AccessViolation in module Quelvano.dll at 0000000000002F40.\r\nAccess violation (x).\r\n"},
        {u"UnknownError", u"PixGen.exe", 0, 8, u"",
         u"Exception UnknownError in module PixGen.exe at 00000000.\r\n\r\n"},
        {u"RuntimeError", u"PixGen.exe", 0xFFFFF000, 8, u"two\r\nlines",
         u"Exception RuntimeError in module PixGen.exe at FFFFF000.\r\ntwo\r\nlines.\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Show(pix::FatalFailureText(c.kind, c.module, c.offset, c.digits, c.message)), Show(c.text));
}

}  // namespace
