#include "tests/fuzz/amount_reference.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "tests/fuzz/big_integer.h"

namespace pix::fuzz {

namespace {

// The grammar as a list of steps over a position: spaces, a sign, digits, the
// separator and digits, an exponent letter with a sign and digits, spaces.
struct Matched {
    bool negative = false;
    std::string digits;  // whole and fraction digits together
    long long fractionDigits = 0;
    long long exponent = 0;
};

bool Digit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool Match(std::u16string_view text, char16_t separator, Matched& out) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == u' ') ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) out.negative = text[i++] == u'-';
    std::size_t wholeDigits = 0;
    while (i < n && Digit(text[i])) {
        out.digits += static_cast<char>(text[i++]);
        ++wholeDigits;
    }
    bool sawSeparator = false;
    if (i < n && text[i] == separator) {
        sawSeparator = true;
        ++i;
        while (i < n && Digit(text[i])) {
            out.digits += static_cast<char>(text[i++]);
            ++out.fractionDigits;
        }
    }
    if (wholeDigits == 0 && !sawSeparator) return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (text[i] == u'+' || text[i] == u'-')) negativeExponent = text[i++] == u'-';
        long long exponent = 0;
        while (i < n && Digit(text[i])) {
            // Once the exponent has reached 500, one more digit is an error.
            if (exponent >= 500) return false;
            exponent = exponent * 10 + (text[i++] - u'0');
        }
        out.exponent = negativeExponent ? -exponent : exponent;
    }
    while (i < n && text[i] == u' ') ++i;
    return i == n;
}

// A value as the fraction numerator / denominator, both positive.
struct Fraction {
    BigInteger numerator;
    BigInteger denominator;
};

// limit = mantissa x 2^exponent.
BigInteger Limit(std::uint64_t mantissa, std::size_t exponent) {
    return BigInteger(mantissa).ShiftLeft(exponent);
}

// Largest extended value plus half a unit in its last place: from here on
// the extended format rounds to infinity.
BigInteger ExtendedLimit() { return Limit(UINT64_MAX, 1).Add(1).ShiftLeft(16319); }  // (2^65 - 1) x 2^16319
// Same for binary64: (2^54 - 1) x 2^970.
BigInteger DoubleLimit() { return Limit((std::uint64_t{1} << 54) - 1, 970); }

bool AtLeast(const Fraction& v, const BigInteger& limit) {
    return v.numerator >= limit.Times(v.denominator);
}

// |v - limit| <= limit x 2^-50.
bool Near(const Fraction& v, const BigInteger& limit) {
    const BigInteger scaled = BigInteger(v.numerator).ShiftLeft(50);
    const BigInteger bound = limit.Times(v.denominator);
    const BigInteger low = bound.Times(BigInteger((std::uint64_t{1} << 50) - 1));
    const BigInteger high = bound.Times(BigInteger((std::uint64_t{1} << 50) + 1));
    return scaled >= low && !(high < scaled);
}

// The binary64 nearest to v, ties to even; infinity from the limit on.
double RoundToDouble(const Fraction& v) {
    long long e = static_cast<long long>(v.numerator.BitLength()) -
                  static_cast<long long>(v.denominator.BitLength()) - 55;
    BigInteger rest = v.numerator;
    BigInteger divisor = v.denominator;
    if (e >= 0)
        divisor.ShiftLeft(static_cast<std::size_t>(e));
    else
        rest.ShiftLeft(static_cast<std::size_t>(-e));
    // rest / divisor lies in [2^54, 2^56): 57 quotient bits by long division.
    std::uint64_t q = 0;
    divisor.ShiftLeft(56);
    for (int bit = 56; bit >= 0; --bit) {
        if (rest >= divisor) {
            rest.Subtract(divisor);
            q |= std::uint64_t{1} << bit;
        }
        divisor.ShiftRight(1);
    }
    bool sticky = !rest.IsZero();
    while (q >= (std::uint64_t{1} << 55)) {
        sticky = sticky || (q & 1) != 0;
        q >>= 1;
        ++e;
    }
    // q holds 53 bits, a round bit and a guard bit; its last bit weighs 2^e.
    const long long lowest = -1074 - 2;
    if (e < lowest) {
        const long long d = lowest - e;
        if (d >= 64) {
            sticky = sticky || q != 0;
            q = 0;
        } else {
            sticky = sticky || (q & ((std::uint64_t{1} << d) - 1)) != 0;
            q >>= d;
        }
        e = lowest;
    }
    std::uint64_t m = q >> 2;
    const bool half = ((q >> 1) & 1) != 0;
    const bool beyondHalf = (q & 1) != 0 || sticky;
    if (half && (beyondHalf || (m & 1) != 0)) ++m;
    return std::ldexp(static_cast<double>(m), static_cast<int>(e + 2));
}

}  // namespace

ReferenceAmount ReferenceParse(std::u16string_view text, char16_t decimalSeparator) {
    ReferenceAmount result;
    Matched matched;
    if (!Match(text, decimalSeparator, matched)) return result;
    result.grammarOk = true;
    const double sign = matched.negative ? -1.0 : 1.0;
    const BigInteger integer = BigInteger::FromDecimal(matched.digits);
    if (integer.IsZero()) {
        result.kind = AmountKind::Value;
        result.value = sign * 0.0;
        return result;
    }
    const long long scale = matched.exponent - matched.fractionDigits;
    Fraction value{integer, BigInteger(1)};
    if (scale >= 0)
        value.numerator = integer.Times(BigInteger::PowerOfTen(static_cast<std::size_t>(scale)));
    else
        value.denominator = BigInteger::PowerOfTen(static_cast<std::size_t>(-scale));

    static const BigInteger extendedLimit = ExtendedLimit();
    static const BigInteger doubleLimit = DoubleLimit();
    const Fraction integerOnly{integer, BigInteger(1)};
    result.nearExtendedLimit = Near(integerOnly, extendedLimit) || Near(value, extendedLimit);
    result.nearDoubleLimit = Near(value, doubleLimit);
    if (integer >= extendedLimit || AtLeast(value, extendedLimit)) return result;  // not a value
    const double rounded = RoundToDouble(value);
    if (std::isinf(rounded)) {
        result.kind = AmountKind::Overflow;
        return result;
    }
    result.kind = AmountKind::Value;
    result.value = sign * rounded;
    return result;
}

}  // namespace pix::fuzz
