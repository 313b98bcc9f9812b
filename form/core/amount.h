// The amount typed into the form, as the number handed to the PIX library.
//
// Grammar, from the first to the last character of the text: spaces (U+0020
// only); an optional "+" or "-"; a mantissa of ASCII digits with at most one
// decimal separator (a lone separator is a mantissa worth 0); an optional
// exponent "E" or "e" with an optional sign and digits that may be missing
// (worth 0); spaces. Exponent digits are read while the exponent is below
// 500; a digit after the one that reached 500 makes the text invalid.
#pragma once

#include <string_view>

namespace pix {

// Converts the whole text. All mantissa digits form one integer, accumulated
// digit by digit in x87 extended precision and scaled by ten to the power of
// (exponent - digits after the separator); "-" negates, so "-0" is negative
// zero. A text off the grammar, or whose integer or scaled value overflows the
// extended range, throws Failure "ConversionError" with
// "'<text>' is not a valid floating point value", the text as typed. A value
// below the extended range becomes zero.
// The caller's x87 control word does not matter (exceptions unmasked or not,
// any precision) and is the same afterwards, with no exception flag pending.
long double ParseAmount(std::u16string_view text, char16_t decimalSeparator);

// Rounds to the nearest binary64. Beyond its range this throws Failure
// "FloatingPointOverflow" with "Floating point overflow"; below it the result
// is a subnormal number or zero without a failure. Same x87 guarantees as
// ParseAmount.
double RoundAmountToDouble(long double value);

// The same grammar, messages and range limits, with a correctly rounded
// binary64 value (widened to long double). ParseAmount is this where long
// double has no more precision than double; elsewhere it is kept for
// comparison. Values beyond the binary64 range but inside the extended range
// come back as infinity, so that RoundAmountToDouble fails on them alike.
long double ParseAmountCorrectlyRounded(std::u16string_view text, char16_t decimalSeparator);

}  // namespace pix
