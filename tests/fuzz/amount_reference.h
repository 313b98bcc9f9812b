// What the amount conversion must give, worked out independently of
// form/core/amount.cpp: the grammar by a plain matcher over the characters,
// the value by exact rational arithmetic on big integers, rounded once.
#pragma once

#include <string_view>

namespace pix::fuzz {

enum class AmountKind { Value, NotAValue, Overflow };

struct ReferenceAmount {
    AmountKind kind = AmountKind::NotAValue;
    bool grammarOk = false;
    double value = 0;  // correctly rounded, when kind is Value
    // The exact integer or value lies so close to the extended limit, or the
    // value to the binary64 limit, that a computation carrying rounding
    // errors (the extended path) may fall on either side.
    bool nearExtendedLimit = false;
    bool nearDoubleLimit = false;
};

ReferenceAmount ReferenceParse(std::u16string_view text, char16_t decimalSeparator);

}  // namespace pix::fuzz
