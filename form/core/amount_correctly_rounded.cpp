// The correctly rounded path of the amount conversion. In a file of its
// own so that a program using only ParseAmount on a processor with extended
// precision links none of it (nor the C++ library's decimal reader).
#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/core/compiler.h"
#include "form/core/amount.h"
#include "form/core/amount_parts.h"

namespace pix {

namespace {

using amount_detail::AmountParts;
using amount_detail::Converted;

// Correctly rounded binary64 conversion of parts ----------------------------

// The extended limit: the largest value plus half a unit in its last place,
// (2^65 - 1) x 2^16319, from which any value rounds to infinity in extended
// precision. Its leading digits, at 10^4932, settle nearly every text.
constexpr std::string_view kExtendedLimitLeadingDigits = "118973149535723176505351158982";
constexpr long long kExtendedLimitExponent = 4932;

// All 4933 decimal digits of the limit (it is an integer, and its last digit
// is not 0), for the rare text that agrees with the leading ones: worked out
// when needed rather than carried in the program.
std::string ExtendedLimitDigits() {
    std::uint32_t words[512] = {};  // least significant first
    for (int bit = 16319; bit < 16384; ++bit) words[bit / 32] |= 1u << (bit % 32);
    std::string reversed;
    for (int top = 511; top >= 0;) {
        std::uint64_t remainder = 0;
        for (int i = top; i >= 0; --i) {
            const std::uint64_t current = (remainder << 32) | words[i];
            words[i] = static_cast<std::uint32_t>(current / 1000000000u);
            remainder = current % 1000000000u;
        }
        for (int i = 0; i < 9; ++i, remainder /= 10) reversed += static_cast<char>('0' + remainder % 10);
        while (top >= 0 && words[top] == 0) --top;
    }
    while (!reversed.empty() && reversed.back() == '0') reversed.pop_back();
    return std::string(reversed.rbegin(), reversed.rend());
}

// Whether d1.d2d3... x 10^exponent10 (digits without leading zeros) reaches
// the extended limit.
bool BeyondExtended(std::string_view digits, long long exponent10) {
    if (exponent10 != kExtendedLimitExponent) return exponent10 > kExtendedLimitExponent;
    const std::size_t n = std::min(digits.size(), kExtendedLimitLeadingDigits.size());
    const int order = digits.substr(0, n).compare(kExtendedLimitLeadingDigits.substr(0, n));
    if (order != 0) return order > 0;
    if (digits.size() < kExtendedLimitLeadingDigits.size()) return false;  // the limit's digits go on
    const std::string limit = ExtendedLimitDigits();
    const std::size_t m = std::min(digits.size(), limit.size());
    const int exactOrder = digits.substr(0, m).compare(std::string_view(limit).substr(0, m));
    // Agreeing with all of the limit's digits, the text equals it or lies beyond.
    return exactOrder != 0 ? exactOrder > 0 : digits.size() >= limit.size();
}

void ConvertCorrectlyRounded(const AmountParts& parts, Converted* out) {
    std::string digits;
    digits.reserve(parts.whole.size() + parts.fraction.size() + 24);
    for (std::u16string_view run : {parts.whole, parts.fraction})
        for (char16_t c : run)
            if (!digits.empty() || c != u'0') digits += static_cast<char>(c);
    const long double sign = parts.negative ? -1.0L : 1.0L;
    if (digits.empty()) {
        out->value = sign * 0.0L;
        return;
    }
    const long long integerExponent10 = static_cast<long long>(digits.size()) - 1;
    const long long valueExponent10 = integerExponent10 + parts.Scale();
    if (BeyondExtended(digits, integerExponent10) || BeyondExtended(digits, valueExponent10)) {
        out->overflow = true;
        return;
    }
    // Far outside binary64 the digits need no reading.
    if (valueExponent10 > DBL_MAX_10_EXP) {
        out->value = sign * HUGE_VALL;
        return;
    }
    if (valueExponent10 < DBL_MIN_10_EXP - DBL_DIG - 10) {
        out->value = sign * 0.0L;
        return;
    }
    digits += 'e';
    digits += std::to_string(parts.Scale());
    double value = 0;
    const auto read = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (read.ec == std::errc::result_out_of_range) {
        out->value = sign * (valueExponent10 < 0 ? 0.0L : HUGE_VALL);
        return;
    }
    out->value = sign * static_cast<long double>(value);
}

// Should the library compute in the x87 unit, it gets binary64 precision, as
// its rounding expects, and no exception faults.
constexpr std::uint16_t kX87QuietDouble = 0x027F;

PIX_NOINLINE void ConvertCorrectlyRoundedQuietly(const AmountParts& parts, Converted* out) {
    const cpu::X87Section quiet(kX87QuietDouble);
    ConvertCorrectlyRounded(parts, out);
}


}  // namespace

long double ParseAmountCorrectlyRounded(std::u16string_view text, char16_t decimalSeparator) {
    return amount_detail::Parse(text, decimalSeparator, &ConvertCorrectlyRoundedQuietly);
}

}  // namespace pix
