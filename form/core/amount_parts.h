// What the amount conversion's two paths share: the grammar's result and the
// frame every conversion runs in. Only form/core/amount*.cpp use it.
#pragma once

#include <string_view>

namespace pix::amount_detail {

// A text that fits the grammar, taken apart.
struct AmountParts {
    bool negative = false;
    std::u16string_view whole;     // digits before the separator
    std::u16string_view fraction;  // digits after it
    int exponent = 0;              // |exponent| <= 4999

    // The power of ten that scales the integer made of all mantissa digits.
    long long Scale() const { return exponent - static_cast<long long>(fraction.size()); }
};

// complete before the caller's control word comes back.
struct Converted {
    long double value = 0;
    bool overflow = false;
};

// Takes the text apart by the grammar, converts the parts and throws the
// conversion's failure for a text off the grammar or beyond the extended
// range.
long double Parse(std::u16string_view text, char16_t decimalSeparator,
                  void (*convert)(const AmountParts&, Converted*));

}  // namespace pix::amount_detail
