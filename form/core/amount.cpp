#include "form/core/amount.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "base/core/compiler.h"
#include "base/core/failure.h"
#include "form/core/amount_parts.h"

namespace pix {

using amount_detail::AmountParts;
using amount_detail::Converted;

namespace {

// Exponent digits are read while the exponent is below this.
constexpr int kExponentReadLimit = 500;

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
int DigitValue(char16_t c) { return c - u'0'; }

class Scanner {
public:
    explicit Scanner(std::u16string_view text) : text_(text) {}

    bool AtEnd() const { return at_ == text_.size(); }
    bool Take(char16_t c) {
        if (AtEnd() || text_[at_] != c) return false;
        ++at_;
        return true;
    }
    bool TakeEither(char16_t a, char16_t b) { return Take(a) || Take(b); }
    bool NextIsDigit() const { return !AtEnd() && IsDigit(text_[at_]); }
    char16_t TakeDigit() { return text_[at_++]; }
    std::u16string_view TakeDigits() {
        const std::size_t start = at_;
        while (NextIsDigit()) ++at_;
        return text_.substr(start, at_ - start);
    }
    void SkipSpaces() {
        while (Take(u' ')) {
        }
    }

private:
    std::u16string_view text_;
    std::size_t at_ = 0;
};

// Reads the exponent after its letter. A digit that would follow the one
// bringing the value to 500 or more is left unread, and so fails the text.
int TakeExponent(Scanner& scan) {
    bool negative = false;
    if (scan.Take(u'-'))
        negative = true;
    else
        scan.Take(u'+');
    int value = 0;
    while (value < kExponentReadLimit && scan.NextIsDigit()) value = value * 10 + DigitValue(scan.TakeDigit());
    return negative ? -value : value;
}

// The separator is looked for right after the whole digits, so it wins over
// the exponent letter or a space should the locale use one of those.
std::optional<AmountParts> Scan(std::u16string_view text, char16_t decimalSeparator) {
    Scanner scan(text);
    AmountParts parts;
    scan.SkipSpaces();
    if (scan.Take(u'-'))
        parts.negative = true;
    else
        scan.Take(u'+');
    parts.whole = scan.TakeDigits();
    const bool separator = scan.Take(decimalSeparator);
    if (separator) parts.fraction = scan.TakeDigits();
    if (parts.whole.empty() && !separator) return std::nullopt;
    if (scan.TakeEither(u'E', u'e')) parts.exponent = TakeExponent(scan);
    scan.SkipSpaces();
    if (!scan.AtEnd()) return std::nullopt;
    return parts;
}

[[noreturn]] void ThrowNotAValue(std::u16string_view text) {
    std::u16string message;
    message.reserve(text.size() + 40);
    message += u'\'';
    message += text;
    message += u"' is not a valid floating point value";
    throw Failure(u"ConversionError", std::move(message));
}

[[noreturn]] void ThrowOverflow() { throw Failure(u"FloatingPointOverflow", u"Floating point overflow"); }

// x87 extended-precision conversion -----------------------------------------

#if LDBL_MANT_DIG == 64

// 10^n for 0 <= n <= kLargestPowerOfTen as 10^(32 i) x 10^j: two correctly
// rounded factors and one more rounding, where repeated multiplication would
// gather an error from every step. 10^0..10^27 are exact.
#define PIX_TEN_TO(n) 1e##n##L
constexpr long double kTensByThirtyTwo[] = {
    PIX_TEN_TO(0), PIX_TEN_TO(32), PIX_TEN_TO(64), PIX_TEN_TO(96), PIX_TEN_TO(128),
    PIX_TEN_TO(160), PIX_TEN_TO(192), PIX_TEN_TO(224), PIX_TEN_TO(256), PIX_TEN_TO(288),
    PIX_TEN_TO(320), PIX_TEN_TO(352), PIX_TEN_TO(384), PIX_TEN_TO(416), PIX_TEN_TO(448),
    PIX_TEN_TO(480), PIX_TEN_TO(512), PIX_TEN_TO(544), PIX_TEN_TO(576), PIX_TEN_TO(608),
    PIX_TEN_TO(640), PIX_TEN_TO(672), PIX_TEN_TO(704), PIX_TEN_TO(736), PIX_TEN_TO(768),
    PIX_TEN_TO(800), PIX_TEN_TO(832), PIX_TEN_TO(864), PIX_TEN_TO(896), PIX_TEN_TO(928),
    PIX_TEN_TO(960), PIX_TEN_TO(992), PIX_TEN_TO(1024), PIX_TEN_TO(1056), PIX_TEN_TO(1088),
    PIX_TEN_TO(1120), PIX_TEN_TO(1152), PIX_TEN_TO(1184), PIX_TEN_TO(1216), PIX_TEN_TO(1248),
    PIX_TEN_TO(1280), PIX_TEN_TO(1312), PIX_TEN_TO(1344), PIX_TEN_TO(1376), PIX_TEN_TO(1408),
    PIX_TEN_TO(1440), PIX_TEN_TO(1472), PIX_TEN_TO(1504), PIX_TEN_TO(1536), PIX_TEN_TO(1568),
    PIX_TEN_TO(1600), PIX_TEN_TO(1632), PIX_TEN_TO(1664), PIX_TEN_TO(1696), PIX_TEN_TO(1728),
    PIX_TEN_TO(1760), PIX_TEN_TO(1792), PIX_TEN_TO(1824), PIX_TEN_TO(1856), PIX_TEN_TO(1888),
    PIX_TEN_TO(1920), PIX_TEN_TO(1952), PIX_TEN_TO(1984), PIX_TEN_TO(2016), PIX_TEN_TO(2048),
    PIX_TEN_TO(2080), PIX_TEN_TO(2112), PIX_TEN_TO(2144), PIX_TEN_TO(2176), PIX_TEN_TO(2208),
    PIX_TEN_TO(2240), PIX_TEN_TO(2272), PIX_TEN_TO(2304), PIX_TEN_TO(2336), PIX_TEN_TO(2368),
    PIX_TEN_TO(2400), PIX_TEN_TO(2432), PIX_TEN_TO(2464), PIX_TEN_TO(2496), PIX_TEN_TO(2528),
    PIX_TEN_TO(2560), PIX_TEN_TO(2592), PIX_TEN_TO(2624), PIX_TEN_TO(2656), PIX_TEN_TO(2688),
    PIX_TEN_TO(2720), PIX_TEN_TO(2752), PIX_TEN_TO(2784), PIX_TEN_TO(2816), PIX_TEN_TO(2848),
    PIX_TEN_TO(2880), PIX_TEN_TO(2912), PIX_TEN_TO(2944), PIX_TEN_TO(2976), PIX_TEN_TO(3008),
    PIX_TEN_TO(3040), PIX_TEN_TO(3072), PIX_TEN_TO(3104), PIX_TEN_TO(3136), PIX_TEN_TO(3168),
    PIX_TEN_TO(3200), PIX_TEN_TO(3232), PIX_TEN_TO(3264), PIX_TEN_TO(3296), PIX_TEN_TO(3328),
    PIX_TEN_TO(3360), PIX_TEN_TO(3392), PIX_TEN_TO(3424), PIX_TEN_TO(3456), PIX_TEN_TO(3488),
    PIX_TEN_TO(3520), PIX_TEN_TO(3552), PIX_TEN_TO(3584), PIX_TEN_TO(3616), PIX_TEN_TO(3648),
    PIX_TEN_TO(3680), PIX_TEN_TO(3712), PIX_TEN_TO(3744), PIX_TEN_TO(3776), PIX_TEN_TO(3808),
    PIX_TEN_TO(3840), PIX_TEN_TO(3872), PIX_TEN_TO(3904), PIX_TEN_TO(3936), PIX_TEN_TO(3968),
    PIX_TEN_TO(4000), PIX_TEN_TO(4032), PIX_TEN_TO(4064), PIX_TEN_TO(4096), PIX_TEN_TO(4128),
    PIX_TEN_TO(4160), PIX_TEN_TO(4192), PIX_TEN_TO(4224), PIX_TEN_TO(4256), PIX_TEN_TO(4288),
    PIX_TEN_TO(4320), PIX_TEN_TO(4352), PIX_TEN_TO(4384), PIX_TEN_TO(4416), PIX_TEN_TO(4448),
    PIX_TEN_TO(4480), PIX_TEN_TO(4512), PIX_TEN_TO(4544), PIX_TEN_TO(4576), PIX_TEN_TO(4608),
    PIX_TEN_TO(4640), PIX_TEN_TO(4672), PIX_TEN_TO(4704), PIX_TEN_TO(4736), PIX_TEN_TO(4768),
    PIX_TEN_TO(4800), PIX_TEN_TO(4832), PIX_TEN_TO(4864), PIX_TEN_TO(4896), PIX_TEN_TO(4928),
};
constexpr long double kTensBelowThirtyTwo[] = {
    PIX_TEN_TO(0),  PIX_TEN_TO(1),  PIX_TEN_TO(2),  PIX_TEN_TO(3),  PIX_TEN_TO(4),  PIX_TEN_TO(5),
    PIX_TEN_TO(6),  PIX_TEN_TO(7),  PIX_TEN_TO(8),  PIX_TEN_TO(9),  PIX_TEN_TO(10), PIX_TEN_TO(11),
    PIX_TEN_TO(12), PIX_TEN_TO(13), PIX_TEN_TO(14), PIX_TEN_TO(15), PIX_TEN_TO(16), PIX_TEN_TO(17),
    PIX_TEN_TO(18), PIX_TEN_TO(19), PIX_TEN_TO(20), PIX_TEN_TO(21), PIX_TEN_TO(22), PIX_TEN_TO(23),
    PIX_TEN_TO(24), PIX_TEN_TO(25), PIX_TEN_TO(26), PIX_TEN_TO(27), PIX_TEN_TO(28), PIX_TEN_TO(29),
    PIX_TEN_TO(30), PIX_TEN_TO(31),
};
#undef PIX_TEN_TO

// 10^4933 lies beyond the extended range.
constexpr long long kLargestPowerOfTen = 4932;
static_assert(sizeof kTensByThirtyTwo / sizeof kTensByThirtyTwo[0] == kLargestPowerOfTen / 32 + 1,
              "the table reaches exactly the largest power");

long double TenTo(long long n) { return kTensByThirtyTwo[n >> 5] * kTensBelowThirtyTwo[n & 31]; }

// Divides by 10^n for any n >= 0. Beyond the largest power the division goes
// in steps; the value is below the binary64 range long before it gets there,
// so the extra roundings never show in the amount.
long double DividedByTenTo(long double value, long long n) {
    while (n > kLargestPowerOfTen && value != 0) {
        value /= TenTo(kLargestPowerOfTen);
        n -= kLargestPowerOfTen;
    }
    return n > kLargestPowerOfTen ? value : value / TenTo(n);
}

// Runs with every x87 exception masked: an overflow gives infinity and is
// reported, an underflow gives a subnormal number or zero.
void ConvertExtended(const AmountParts& parts, Converted* out) {
    long double integer = 0;
    for (std::u16string_view run : {parts.whole, parts.fraction})
        for (char16_t c : run) integer = integer * 10 + DigitValue(c);
    long double value = integer;
    // Zero needs no scaling, and must not meet an infinite power of ten.
    if (integer != 0 && std::isfinite(integer)) {
        const long long scale = parts.Scale();
        if (scale > kLargestPowerOfTen)
            value = HUGE_VALL;  // at least 10^4933
        else if (scale > 0)
            value = integer * TenTo(scale);
        else
            value = DividedByTenTo(integer, -scale);
    }
    out->overflow = !std::isfinite(value);
    out->value = parts.negative ? -value : value;
}

PIX_NOINLINE void ConvertExtendedQuietly(const AmountParts& parts, Converted* out) {
    const cpu::X87Section quiet(cpu::kX87Quiet);
    ConvertExtended(parts, out);
}

// Values from here on round to infinity in binary64: the largest double plus
// half a unit in its last place, a tie that goes to the even neighbour 2^1024.
constexpr long double kDoubleOverflowThreshold = 0x1.fffffffffffff8p1023L;

PIX_NOINLINE void RoundQuietly(long double value, double* rounded, bool* overflow) {
    const cpu::X87Section quiet(cpu::kX87Quiet);
    *overflow = !(std::fabs(value) < kDoubleOverflowThreshold);
    if (!*overflow) *rounded = static_cast<double>(value);
}

#endif  // LDBL_MANT_DIG == 64

}  // namespace

long double amount_detail::Parse(std::u16string_view text, char16_t decimalSeparator,
                                 void (*convert)(const AmountParts&, Converted*)) {
    const std::optional<AmountParts> parts = Scan(text, decimalSeparator);
    if (!parts) ThrowNotAValue(text);
    Converted converted;
    convert(*parts, &converted);
    if (converted.overflow) ThrowNotAValue(text);
    return converted.value;
}

#if LDBL_MANT_DIG == 64

long double ParseAmount(std::u16string_view text, char16_t decimalSeparator) {
    return amount_detail::Parse(text, decimalSeparator, &ConvertExtendedQuietly);
}

double RoundAmountToDouble(long double value) {
    double rounded = 0;
    bool overflow = false;
    RoundQuietly(value, &rounded, &overflow);
    if (overflow) ThrowOverflow();
    return rounded;
}

#else  // long double is binary64 here: no extended precision to compute in

long double ParseAmount(std::u16string_view text, char16_t decimalSeparator) {
    return ParseAmountCorrectlyRounded(text, decimalSeparator);
}

double RoundAmountToDouble(long double value) {
    if (!std::isfinite(value)) ThrowOverflow();
    return static_cast<double>(value);
}

#endif

}  // namespace pix
