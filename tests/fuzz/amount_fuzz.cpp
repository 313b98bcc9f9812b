// The amount conversion against the reference: the same grammar verdicts,
// the same failures with the same texts, the correctly rounded path equal to
// the last bit, the extended path within one unit in the last place (its
// roundings may also fall either way right at the range limits).
//
// Input: the first byte picks the decimal separator, the rest are the
// characters (bytes from 0x80 stand for a few characters outside ASCII that
// look like parts of a number).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/core/failure.h"
#include "form/core/amount.h"
#include "tests/fuzz/amount_reference.h"

namespace {

using pix::fuzz::AmountKind;

constexpr char16_t kLookAlikes[] = {
    0x00A0,  // no-break space
    0x0009,  // tab
    0xFF10, 0xFF15, 0xFF19,  // full-width digits
    0x2212,  // minus sign
    0x066B,  // Arabic decimal separator
    0x0660,  // Arabic-Indic zero
    0x3000,  // ideographic space
    0x0000,
};

char16_t Character(std::uint8_t byte) {
    if (byte < 0x80) return byte;
    return kLookAlikes[(byte - 0x80) % (sizeof kLookAlikes / sizeof kLookAlikes[0])];
}

char16_t Separator(std::uint8_t byte) {
    switch (byte % 4) {
        case 0: return u'.';
        case 1: return u',';
        case 2: return Character(static_cast<std::uint8_t>(byte / 4 + 0x20));
        default: return Character(static_cast<std::uint8_t>(0x80 + byte / 4));
    }
}

struct Outcome {
    AmountKind kind = AmountKind::Value;
    double value = 0;
    std::u16string failureKind;
    std::u16string message;
};

Outcome Run(long double (*parse)(std::u16string_view, char16_t), std::u16string_view text, char16_t separator) {
    Outcome outcome;
    long double extended = 0;
    try {
        extended = parse(text, separator);
    } catch (const pix::Failure& failure) {
        outcome.kind = AmountKind::NotAValue;
        outcome.failureKind = failure.Kind();
        outcome.message = failure.Message();
        return outcome;
    }
    try {
        outcome.value = pix::RoundAmountToDouble(extended);
    } catch (const pix::Failure& failure) {
        outcome.kind = AmountKind::Overflow;
        outcome.failureKind = failure.Kind();
        outcome.message = failure.Message();
    }
    return outcome;
}

std::string Show(std::u16string_view text) {
    std::string shown;
    for (char16_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != u'\\') {
            shown += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            shown += escape;
        }
    }
    return shown;
}

const char* Show(AmountKind kind) {
    switch (kind) {
        case AmountKind::Value: return "value";
        case AmountKind::NotAValue: return "not a value";
        case AmountKind::Overflow: return "overflow";
    }
    return "?";
}

[[noreturn]] void Disagree(const char* what, const char* path, std::u16string_view text, char16_t separator,
                           const pix::fuzz::ReferenceAmount& expected, const Outcome& got) {
    std::fprintf(stderr,
                 "amount disagreement (%s) in %s\n  text \"%s\", separator U+%04X\n"
                 "  reference: %s %.17g (%a)\n  parser:    %s %.17g (%a), \"%s\" \"%s\"\n",
                 what, path, Show(text).c_str(), static_cast<unsigned>(separator), Show(expected.kind),
                 expected.value, expected.value, Show(got.kind), got.value, got.value,
                 Show(got.failureKind).c_str(), Show(got.message).c_str());
    std::abort();
}

// Distance in units in the last place between two doubles of the same sign.
std::uint64_t UlpsApart(double a, double b) {
    std::uint64_t x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x > y ? x - y : y - x;
}

bool FailureTextsRight(std::u16string_view text, const Outcome& got) {
    switch (got.kind) {
        case AmountKind::Value: return true;
        case AmountKind::NotAValue:
            return got.failureKind == u"ConversionError" &&
                   got.message == u"'" + std::u16string(text) + u"' is not a valid floating point value";
        case AmountKind::Overflow:
            return got.failureKind == u"FloatingPointOverflow" && got.message == u"Floating point overflow";
    }
    return false;
}

void CheckCorrectlyRounded(std::u16string_view text, char16_t separator, const pix::fuzz::ReferenceAmount& expected) {
    const char* path = "ParseAmountCorrectlyRounded";
    const Outcome got = Run(&pix::ParseAmountCorrectlyRounded, text, separator);
    if (!FailureTextsRight(text, got)) Disagree("failure text", path, text, separator, expected, got);
    if (got.kind != expected.kind) Disagree("verdict", path, text, separator, expected, got);
    if (got.kind == AmountKind::Value && UlpsApart(got.value, expected.value) != 0)
        Disagree("value", path, text, separator, expected, got);
}

void CheckExtended(std::u16string_view text, char16_t separator, const pix::fuzz::ReferenceAmount& expected) {
    const char* path = "ParseAmount";
    const Outcome got = Run(&pix::ParseAmount, text, separator);
    if (!FailureTextsRight(text, got)) Disagree("failure text", path, text, separator, expected, got);
    if (!expected.grammarOk && got.kind != AmountKind::NotAValue)
        Disagree("grammar", path, text, separator, expected, got);
    if (got.kind != expected.kind) {
        const bool eitherSideOfExtendedLimit = expected.nearExtendedLimit &&
                                               (got.kind == AmountKind::NotAValue || expected.kind == AmountKind::NotAValue);
        const bool eitherSideOfDoubleLimit = expected.nearDoubleLimit && got.kind != AmountKind::NotAValue &&
                                             expected.kind != AmountKind::NotAValue;
        if (!expected.grammarOk || !(eitherSideOfExtendedLimit || eitherSideOfDoubleLimit))
            Disagree("verdict", path, text, separator, expected, got);
        return;
    }
    if (got.kind == AmountKind::Value &&
        (std::signbit(got.value) != std::signbit(expected.value) || UlpsApart(got.value, expected.value) > 1))
        Disagree("value beyond one unit in the last place", path, text, separator, expected, got);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    char16_t separator = Separator(data[0]);
    if (separator >= u'0' && separator <= u'9') separator = u'.';  // no locale has a digit for it
    std::u16string text;
    text.reserve(size - 1);
    for (std::size_t i = 1; i < size; ++i) text += Character(data[i]);

    const pix::fuzz::ReferenceAmount expected = pix::fuzz::ReferenceParse(text, separator);
    CheckCorrectlyRounded(text, separator, expected);
    CheckExtended(text, separator, expected);
    return 0;
}
