#include <gtest/gtest.h>

#include <cerrno>
#include <cfloat>
#include <cinttypes>
#include <csignal>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "base/core/compiler.h"
#include "base/core/failure.h"
#include "form/core/amount.h"

namespace {

using Parser = long double (*)(std::u16string_view, char16_t);

struct Converter {
    const char* name;
    Parser parse;
};

const Converter kConverters[] = {
    {"ParseAmount", &pix::ParseAmount},
    {"ParseAmountCorrectlyRounded", &pix::ParseAmountCorrectlyRounded},
};

constexpr bool kExtended = LDBL_MANT_DIG == 64;
constexpr double kDenormMin = std::numeric_limits<double>::denorm_min();
constexpr std::uint16_t kProgramControlWord = pix::cpu::kProgramX87ControlWord;

std::u16string U16(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// The text as it can be printed: printable ASCII kept, the rest escaped.
std::string Show(std::u16string_view text) {
    std::string shown = "\"";
    for (char16_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            shown += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            shown += escape;
        }
    }
    return shown + "\"";
}

std::string Show(double value) {
    char shown[64];
    std::snprintf(shown, sizeof shown, "%.17g (%a)", value, value);
    return shown;
}

std::uint64_t Bits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::u16string NotAValueMessage(std::u16string_view text) {
    return u"'" + std::u16string(text) + u"' is not a valid floating point value";
}

enum class Kind { Value, NotAValue, Overflow };

const char* Show(Kind kind) {
    switch (kind) {
        case Kind::Value: return "a value";
        case Kind::NotAValue: return "not a valid value";
        case Kind::Overflow: return "binary64 overflow";
    }
    return "?";
}

struct Outcome {
    Kind kind = Kind::Value;
    double value = 0;
};

// The x87 state a conversion must leave as it found it: the control word,
// and no exception flag that the control word unmasks.
void ExpectX87Kept(std::uint16_t controlWordBefore, const std::string& context) {
    const std::uint16_t controlWord = pix::cpu::X87ControlWord();
    const std::uint16_t status = pix::cpu::X87StatusWord();
    EXPECT_EQ(controlWord, controlWordBefore) << context;
    EXPECT_EQ(status & 0x3F & ~controlWord, 0) << context << ": status word " << std::hex << status;
    EXPECT_EQ(status & 0x80, 0) << context << ": status word " << std::hex << status;
}

// Both steps of a Gerar press, each failure checked for its kind and message.
Outcome Convert(const Converter& converter, std::u16string_view text, char16_t separator) {
    const std::string context = std::string(converter.name) + " " + Show(text);
    const std::uint16_t controlWord = pix::cpu::X87ControlWord();
    long double amount = 0;
    try {
        amount = converter.parse(text, separator);
    } catch (const pix::Failure& failure) {
        ExpectX87Kept(controlWord, context);
        EXPECT_EQ(failure.Kind(), u"ConversionError") << context;
        EXPECT_EQ(failure.Message(), NotAValueMessage(text)) << context;
        return {Kind::NotAValue, 0};
    }
    ExpectX87Kept(controlWord, context);
    try {
        const double value = pix::RoundAmountToDouble(amount);
        ExpectX87Kept(controlWord, context);
        return {Kind::Value, value};
    } catch (const pix::Failure& failure) {
        ExpectX87Kept(controlWord, context);
        EXPECT_EQ(failure.Kind(), u"FloatingPointOverflow") << context;
        EXPECT_EQ(failure.Message(), u"Floating point overflow") << context;
        return {Kind::Overflow, 0};
    }
}

struct Case {
    std::u16string text;
    Kind kind;
    double value;  // for Kind::Value, compared bit for bit (the sign of zero counts)
};

Case Valid(std::u16string text, double value) { return {std::move(text), Kind::Value, value}; }
Case Invalid(std::u16string text) { return {std::move(text), Kind::NotAValue, 0}; }
Case TooLarge(std::u16string text) { return {std::move(text), Kind::Overflow, 0}; }

void ExpectOutcome(const Converter& converter, const Case& c, char16_t separator) {
    const Outcome got = Convert(converter, c.text, separator);
    const std::string context = std::string(converter.name) + " " + Show(c.text) + " with separator " +
                                static_cast<char>(separator);
    ASSERT_EQ(got.kind, c.kind) << context << ": got " << Show(got.kind) << ", want " << Show(c.kind);
    if (c.kind == Kind::Value) {
        EXPECT_EQ(Bits(got.value), Bits(c.value)) << context << ": got " << Show(got.value) << ", want "
                                                  << Show(c.value);
    }
}

void ExpectOutcomes(const std::vector<Case>& cases, char16_t separator) {
    for (const Converter& converter : kConverters)
        for (const Case& c : cases) ExpectOutcome(converter, c, separator);
}

std::u16string Repeat(char16_t c, std::size_t count) { return std::u16string(count, c); }

// The amounts of the form with a decimal comma. Every row holds with a
// decimal point as well once "," and "." trade places.
std::vector<Case> CommaCases() {
    return {
        Invalid(u""),
        Valid(u" 12,5 ", 12.5),
        Valid(u",5", 0.5),
        Valid(u"5,", 5),
        Valid(u",", 0),
        Valid(u"-0", -0.0),
        Valid(u"+5", 5),
        Valid(u"-5", -5),
        Valid(u"1e3", 1000),
        Valid(u"1E+3", 1000),
        Valid(u"2e", 2),
        Valid(u"1e-400", 0),
        TooLarge(u"1e400"),
        Invalid(u"1e5000"),
        Invalid(u"12.5"),      // the point is not the separator
        Invalid(u"1.234,56"),  // no thousands separators
        Invalid(u"-"),
        Invalid(u"- 5"),
        Invalid(u"R$ 10"),
        Invalid(u"NAN"),
        Invalid(u"\t5"),
        Invalid(u"\u00A05"),  // no-break space
        Invalid(u"\uFF15"),   // full-width 5
        // The grammar around those.
        Valid(u"   -12,5e1   ", -125),
        Valid(u"-,", -0.0),
        Valid(u"+,", 0),
        Valid(u"-,e", -0.0),
        Valid(u"-0,000e-7", -0.0),
        Valid(u",e5", 0),
        Valid(u"5,e", 5),
        Valid(u"5e+", 5),
        Valid(u"5e-", 5),
        Valid(u"007", 7),
        Valid(u"0,0001e4", 1),
        Valid(u"1e-0", 1),
        Valid(u"1E0003", 1000),
        Valid(u"25e-2", 0.25),
        Valid(u"-1e-400", -0.0),
        Valid(u"123456789012345678", 123456789012345678.0),
        Invalid(u" "),
        Invalid(u"   "),
        Invalid(u"e5"),
        Invalid(u"E"),
        Invalid(u"+"),
        Invalid(u"+e"),
        Invalid(u",,"),
        Invalid(u"5,5,5"),
        Invalid(u"5e3e3"),
        Invalid(u"5e3,5"),
        Invalid(u"5e++3"),
        Invalid(u"5e+-3"),
        Invalid(u"++5"),
        Invalid(u"+-5"),
        Invalid(u"--5"),
        Invalid(u"5-"),
        Invalid(u"5+"),
        Invalid(u"5 e3"),
        Invalid(u"5e 3"),
        Invalid(u"5 5"),
        Invalid(u"1 000"),
        Invalid(u"1'000"),
        Invalid(u"1_000"),
        Invalid(u"0x10"),
        Invalid(u"INF"),
        Invalid(u"inf"),
        Invalid(u"Infinity"),
        Invalid(u"nan"),
        Invalid(u"5\t"),
        Invalid(u"5\u00A0"),
        Invalid(u"5\u2009"),  // thin space
        Invalid(u"5\u3000"),  // ideographic space
        Invalid(u"\r\n5"),
        Invalid(u"5\r\n"),
        Invalid(u"\u0665"),  // Arabic-Indic five
        Invalid(u"1\uFF10"),
        Invalid(u"5\u066B5"),  // another locale's separator
        Invalid(std::u16string(u"5\0", 2)),
        Invalid(std::u16string(u"\0" u"5", 2)),
        Invalid(u"5$"),
        Invalid(u"5d3"),
        Invalid(u"5%"),
    };
}

std::u16string SwapCommaAndPoint(std::u16string text) {
    for (char16_t& c : text) {
        if (c == u',')
            c = u'.';
        else if (c == u'.')
            c = u',';
    }
    return text;
}

TEST(ParseAmount, FollowsTheGrammarWithADecimalComma) { ExpectOutcomes(CommaCases(), u','); }

TEST(ParseAmount, FollowsTheGrammarWithADecimalPoint) {
    std::vector<Case> cases = CommaCases();
    for (Case& c : cases) c.text = SwapCommaAndPoint(std::move(c.text));
    ExpectOutcomes(cases, u'.');
}

// Exponent digits are read while the exponent is below 500.
std::vector<Case> ExponentReadingCases() {
    return {
        TooLarge(u"1E499"),  TooLarge(u"1E500"),   Invalid(u"1E5000"),      Invalid(u"1E-5000"),
        Valid(u"1E-499", 0), Valid(u"1E-500", 0),  TooLarge(u"1E0499"),     TooLarge(u"1E00500"),
        TooLarge(u"1E0500"), Valid(u"1E-00500", 0), TooLarge(u"1E000000499"), Invalid(u"1E00005000"),
        TooLarge(u"1E4932"), Invalid(u"1E4933"),   Invalid(u"1E4999"),      Invalid(u"1E+4999"),
        Valid(u"1E-4999", 0), Valid(u"-1E-4999", -0.0), Invalid(u"1E49990"), Invalid(u"1E5001"),
        Invalid(u"1E-49990"), Valid(u"0E499", 0),  Valid(u"0E4999", 0),     Valid(u"-0E4999", -0.0),
        Invalid(u"0E5000"),  Valid(u"1E50", 1e50), Valid(u"1E-50", 1e-50),  Valid(u"1E308", 1e308),
        Valid(u"1E-308", 1e-308), TooLarge(u"1E309"), Valid(u"1E-324", 0),  Valid(u"1E-323", 1e-323),
        Valid(u"1E+0", 1),   TooLarge(u" 1E499 "), Invalid(u" 1E4999 "),   Valid(u"1E-4999 ", 0),
    };
}

TEST(ParseAmount, ReadsExponentDigitsWhileBelowFiveHundred) { ExpectOutcomes(ExponentReadingCases(), u','); }

// Values at the edges of binary64.
TEST(ParseAmount, RoundsToTheNearestDoubleAtTheLimits) {
    const double dblMin = std::numeric_limits<double>::min();
    const double dblMax = std::numeric_limits<double>::max();
    ExpectOutcomes(
        {
            Valid(u"1.7976931348623157e308", dblMax),
            Valid(u"1.7976931348623158e308", dblMax),  // still below the halfway point to 2^1024
            TooLarge(u"1.7976931348623159e308"),
            TooLarge(u"1.8e308"),
            TooLarge(u"-1.8e308"),
            Valid(u"-1.7976931348623157e308", -dblMax),
            Valid(u"2.2250738585072014e-308", dblMin),
            Valid(u"2.2250738585072009e-308", std::nextafter(dblMin, 0.0)),
            Valid(u"4.9e-324", kDenormMin),
            Valid(u"-4.9e-324", -kDenormMin),
            Valid(u"4.9406564584124654e-324", kDenormMin),
            Valid(u"9.8813129168249309e-324", 2 * kDenormMin),
            // Half the smallest subnormal is 2.47032822920623272088e-324:
            // a value below it goes to zero, one above it to the subnormal.
            Valid(u"2e-324", 0),
            Valid(u"-2e-324", -0.0),
            Valid(u"2.4703282292062328e-324", kDenormMin),
            Valid(u"2.4703282292062327e-324", 0),
            Valid(u"3e-324", kDenormMin),
        },
        u'.');
}

// Digits of an integer, built by repeated multiplication in decimal.
class DecimalInteger {
public:
    explicit DecimalInteger(std::uint32_t value) {
        do {
            digits_.push_back(static_cast<std::uint8_t>(value % 10));
            value /= 10;
        } while (value);
    }
    DecimalInteger& MultiplyBy(std::uint64_t factor) {  // factor < 2^59
        std::uint64_t carry = 0;
        for (std::uint8_t& digit : digits_) {
            const std::uint64_t product = digit * factor + carry;
            digit = static_cast<std::uint8_t>(product % 10);
            carry = product / 10;
        }
        for (; carry; carry /= 10) digits_.push_back(static_cast<std::uint8_t>(carry % 10));
        return *this;
    }
    DecimalInteger& Power(std::uint64_t base, int exponent) {
        for (int i = 0; i < exponent; ++i) MultiplyBy(base);
        return *this;
    }
    std::u16string Text() const {
        std::u16string text;
        for (auto d = digits_.rbegin(); d != digits_.rend(); ++d) text += static_cast<char16_t>(u'0' + *d);
        return text;
    }

private:
    std::vector<std::uint8_t> digits_;  // least significant first
};

// The digits of integer / 10^places after the separator.
std::u16string FractionDigits(const std::u16string& integer, std::size_t places) {
    return Repeat(u'0', places - integer.size()) + integer;
}

// Texts that lie exactly halfway between two doubles. Correct rounding goes
// to the even neighbour; the extended computation rounds its integer and may
// land on either side, which is the last-bit freedom an amount has.
TEST(ParseAmount, HalfwayTextsGoToTheEvenNeighbourOrOneNextToIt) {
    const struct {
        const char* what;
        std::u16string text;
        Outcome even;
        Outcome odd;
    } cases[] = {
        {"2^-1075, half the smallest subnormal", DecimalInteger(1).Power(5, 1075).Text() + u"e-1075",
         {Kind::Value, 0}, {Kind::Value, kDenormMin}},
        {"2^1024 - 2^970, halfway above the largest double",
         DecimalInteger(1).Power(2, 970).MultiplyBy((std::uint64_t{1} << 54) - 1).Text(), {Kind::Overflow, 0},
         {Kind::Value, std::numeric_limits<double>::max()}},
        {"1 + 2^-53", u"1," + FractionDigits(DecimalInteger(1).Power(5, 53).Text(), 53), {Kind::Value, 1},
         {Kind::Value, 1 + 0x1p-52}},
    };
    for (const auto& c : cases) {
        for (const Converter& converter : kConverters) {
            const Outcome got = Convert(converter, c.text, u',');
            const bool even = got.kind == c.even.kind && Bits(got.value) == Bits(c.even.value);
            const bool odd = got.kind == c.odd.kind && Bits(got.value) == Bits(c.odd.value);
            if (converter.parse == &pix::ParseAmountCorrectlyRounded || !kExtended)
                EXPECT_TRUE(even) << converter.name << " " << c.what << ": got " << Show(got.kind) << " "
                                  << Show(got.value);
            else
                EXPECT_TRUE(even || odd) << converter.name << " " << c.what << ": got " << Show(got.kind) << " "
                                         << Show(got.value);
        }
    }
}

TEST(ParseAmount, ZeroKeepsTheSignOfTheText) {
    const struct {
        const char16_t* text;
        bool negative;
    } cases[] = {
        {u"0", false}, {u"-0", true}, {u"+0", false}, {u"-,", true}, {u",", false}, {u"-0,000", true},
        {u"-0e5", true}, {u"-00e-5", true}, {u"-1e-400", true}, {u"1e-400", false}, {u"-1E-4999", true},
    };
    for (const Converter& converter : kConverters) {
        for (const auto& c : cases) {
            const Outcome got = Convert(converter, c.text, u',');
            ASSERT_EQ(got.kind, Kind::Value) << converter.name << " " << Show(c.text);
            EXPECT_EQ(got.value, 0.0) << converter.name << " " << Show(c.text) << ": " << Show(got.value);
            EXPECT_EQ(std::signbit(got.value), c.negative) << converter.name << " " << Show(c.text);
        }
    }
}

double CLibraryValue(const std::string& cText) {
    errno = 0;
    return std::strtod(cText.c_str(), nullptr);
}

std::string Narrow(std::u16string_view text) {
    std::string narrow;
    for (char16_t c : text) narrow += static_cast<char>(c == u',' ? u'.' : c);
    return narrow;
}

// Long digit runs: every digit counts, as one integer; the integer itself
// overflows beyond the extended range even when the scaled value would not.
TEST(ParseAmount, ReadsLongDigitRunsAsOneInteger) {
    const std::u16string thousandOnes = Repeat(u'1', 1000);
    std::u16string fourHundredDigits;
    for (int i = 0; i < 400; ++i) fourHundredDigits += static_cast<char16_t>(u'0' + (i * 7 + 3) % 10);
    const std::u16string tenTo4899 = u"1" + Repeat(u'0', 4899);

    const struct {
        const char* what;
        std::u16string text;
    } nearCLibrary[] = {
        {"1000 ones, e-999", thousandOnes + u"e-999"},
        {"1000 ones after the separator", u"0," + thousandOnes},
        {"400 digits, e-400", fourHundredDigits + u"e-400"},
        {"400 digits, e-400, after a separator", u"3," + fourHundredDigits + u"e-100"},
        {"10^4899 scaled by 10^-4950 (a power beyond the extended range)", tenTo4899 + u"e-4950"},
        {"10^4930 with 4930 decimals, e5", u"1," + Repeat(u'0', 4930) + u"e5"},
        {"4932 nines, e-4900", Repeat(u'9', 4932) + u"e-4900"},
    };
    for (const Converter& converter : kConverters) {
        for (const auto& c : nearCLibrary) {
            const Outcome got = Convert(converter, c.text, u',');
            const double want = CLibraryValue(Narrow(c.text));
            ASSERT_EQ(got.kind, Kind::Value) << converter.name << " " << c.what;
            const bool near = got.value == want || std::nextafter(got.value, want) == want;
            EXPECT_TRUE(near) << converter.name << " " << c.what << ": got " << Show(got.value) << ", want "
                              << Show(want);
        }
    }

    ExpectOutcomes(
        {
            Valid(Repeat(u'0', 5000) + u"1", 1),
            Valid(u"0," + Repeat(u'0', 5000) + u"1", 0),
            Valid(u"-" + Repeat(u'0', 5000) + u"," + Repeat(u'0', 5000), -0.0),
            Valid(u"1," + Repeat(u'0', 4932), 1),
            TooLarge(u"1" + Repeat(u'0', 4932)),
            TooLarge(Repeat(u'9', 4932)),
            Invalid(u"1" + Repeat(u'0', 4933)),
            Invalid(Repeat(u'9', 4933)),
            // The integer is 10^4933 and overflows, though the value is 1.
            Invalid(u"1," + Repeat(u'0', 4933)),
            Invalid(u"1," + Repeat(u'0', 10000) + u"e5"),
            Invalid(u"1,1" + Repeat(u'1', 4940)),
            // 10^4900 x 10^33 overflows, 10^-4899 x 10^-4950 vanishes.
            Invalid(u"1" + Repeat(u'0', 4900) + u"e33"),
            Valid(u"0," + Repeat(u'0', 4898) + u"1e-4950", 0),
            Valid(Repeat(u'0', 100000) + u"," + Repeat(u'0', 100000) + u"1e4999", 0),
        },
        u',');
}

// The largest extended value is 1.18973149535723176502e4932; from
// 1.18973149535723176505e4932 on a value rounds to infinity there.
TEST(ParseAmount, RejectsValuesBeyondTheExtendedRange) {
    ExpectOutcomes(
        {
            TooLarge(u"1,1E4932"),
            TooLarge(u"1,18973149535723176E4932"),
            TooLarge(u"-1,18973149535723176E4932"),
            Invalid(u"1,18973149535723177E4932"),
            Invalid(u"-1,18973149535723177E4932"),
            Invalid(u"1,2E4932"),
            Invalid(u"11897314953572317702E4913"),
            Invalid(u"12E4932"),
            Invalid(u"0,12E4934"),
            TooLarge(u"0,11E4933"),
        },
        u',');
}

// The limit, (2^65 - 1) x 2^16319, is 1.189731495357231765053511589829488...e4932:
// a text that agrees with its first thirty digits lies below it or beyond
// it by the digits that follow. The extended path's roundings may fall on
// either side this close, so the correctly rounded path alone is held to it.
TEST(ParseAmountCorrectlyRounded, DecidesTheExtendedLimitByAllItsDigits) {
    const Case cases[] = {
        TooLarge(u"1,18973149535723176505351158982E4932"),
        TooLarge(u"1,189731495357231765053511589829E4932"),
        TooLarge(u"-1,1897314953572317650535115898294886679662540E4932"),
        TooLarge(u"118973149535723176505351158982948866796625E4890"),
        Invalid(u"1,1897314953572317650535115898295E4932"),
        Invalid(u"1,18973149535723176505351158983E4932"),
        Invalid(u"-1,18973149535723176505351158982948866796625401E4932"),
    };
    for (const Case& c : cases) ExpectOutcome(kConverters[1], c, u',');
}

TEST(ParseAmount, MessagesQuoteTheTextAsTyped) {
    const struct {
        std::u16string text;
        char16_t separator;
    } cases[] = {
        {u"", u','},
        {u"  12.5  ", u','},
        {u"%s", u','},
        {u"%d%n%x", u'.'},
        {u"'5'", u','},
        {u"1e5000", u','},
        {u"1E4999", u','},  // overflows the extended range
        {u"1" + Repeat(u'0', 5000), u','},
        {u"\t\uFF15\u00A0", u','},
        {std::u16string(u"5\0" u"5", 3), u','},
    };
    for (const Converter& converter : kConverters) {
        for (const auto& c : cases) {
            try {
                converter.parse(c.text, c.separator);
                ADD_FAILURE() << converter.name << " " << Show(c.text) << " was accepted";
            } catch (const pix::Failure& failure) {
                EXPECT_EQ(failure.Kind(), u"ConversionError") << Show(c.text);
                EXPECT_EQ(failure.Message(), u"'" + c.text + u"' is not a valid floating point value")
                    << converter.name << " " << Show(c.text) << ": got " << Show(failure.Message());
            }
        }
    }
    try {
        pix::RoundAmountToDouble(pix::ParseAmount(u"1e400", u','));
        ADD_FAILURE() << "1e400 was rounded to a double";
    } catch (const pix::Failure& failure) {
        EXPECT_EQ(failure.Kind(), u"FloatingPointOverflow");
        EXPECT_EQ(failure.Message(), u"Floating point overflow") << Show(failure.Message());
    }
}

// The extended value itself, before the rounding to binary64.
TEST(ParseAmount, ComputesInExtendedPrecision) {
    if (!kExtended) GTEST_SKIP() << "long double is binary64 on this compiler";
    const struct {
        std::u16string text;
        long double value;
    } cases[] = {
        {u"18446744073709551615", 18446744073709551615.0L},  // needs all 64 bits
        {u",1", 0.1L},
        {u"1e4000", 1e4000L},
        {u"-1e4928", -1e4928L},
        {u"1,18973149535723176E4932", 1.18973149535723176e4932L},
        {u"1E-4999", 0.0L},
        {u"0,5e-4940", 0.5e-4940L},  // a subnormal of the extended format
    };
    for (const auto& c : cases) {
        const long double got = pix::ParseAmount(c.text, u',');
        EXPECT_TRUE(got == c.value) << Show(c.text) << ": got " << static_cast<double>(got);
    }
}

// The spacing of extended values at value's magnitude.
long double ExtendedUlp(long double value) { return std::ldexp(1.0L, std::ilogb(value) - 63); }

TEST(ParseAmount, PowersOfTenAgreeWithTheCLibrary) {
    if (!kExtended) GTEST_SKIP() << "long double is binary64 on this compiler";
    for (int n = -4931; n <= 4932; ++n) {
        const std::string text = "1e" + std::to_string(n);
        const long double got = pix::ParseAmount(U16(text), u',');
        const long double want = std::strtold(text.c_str(), nullptr);
        const bool exact = (n >= 0 && n % 32 == 0) || (n >= 0 && n <= 27);
        if (exact)
            EXPECT_TRUE(got == want) << text << " is not the nearest extended value";
        else
            EXPECT_LE(std::fabs(got - want), 2 * ExtendedUlp(want))
                << text << " is " << static_cast<double>((got - want) / ExtendedUlp(want)) << " units off";
    }
}

TEST(RoundAmountToDouble, RoundsToNearestEven) {
    if (!kExtended) GTEST_SKIP() << "long double is binary64 on this compiler";
    constexpr long double kOverflowFrom = 0x1.fffffffffffff8p1023L;
    const struct {
        const char* what;
        long double value;
        Outcome want;
    } cases[] = {
        {"halfway above the largest double", kOverflowFrom, {Kind::Overflow, 0}},
        {"just below that", std::nextafter(kOverflowFrom, 0.0L), {Kind::Value, std::numeric_limits<double>::max()}},
        {"minus halfway", -kOverflowFrom, {Kind::Overflow, 0}},
        {"largest extended", LDBL_MAX, {Kind::Overflow, 0}},
        {"infinity", HUGE_VALL, {Kind::Overflow, 0}},
        {"minus infinity", -HUGE_VALL, {Kind::Overflow, 0}},
        {"1 + 2^-53, tie to even", 0x1.00000000000008p0L, {Kind::Value, 1}},
        {"1 + 3 x 2^-53, tie to even", 0x1.00000000000018p0L, {Kind::Value, 1 + 0x1p-51}},
        {"just above 1 + 2^-53", std::nextafter(0x1.00000000000008p0L, 2.0L), {Kind::Value, 1 + 0x1p-52}},
        {"just below 1 + 2^-52", std::nextafter(0x1.0000000000001p0L, 0.0L), {Kind::Value, 1 + 0x1p-52}},
        {"-(1 + 2^-53)", -0x1.00000000000008p0L, {Kind::Value, -1}},
        {"2^-1075, tie to zero", 0x1p-1075L, {Kind::Value, 0}},
        {"just above 2^-1075", std::nextafter(0x1p-1075L, 1.0L), {Kind::Value, kDenormMin}},
        {"3 x 2^-1075, tie to 2 x 2^-1074", 0x3p-1075L, {Kind::Value, 2 * kDenormMin}},
        {"2^-1076", 0x1p-1076L, {Kind::Value, 0}},
        {"-2^-1076", -0x1p-1076L, {Kind::Value, -0.0}},
        {"1e-4000", 1e-4000L, {Kind::Value, 0}},
        {"minus zero", -0.0L, {Kind::Value, -0.0}},
        {"0.1", 0.1L, {Kind::Value, 0.1}},
    };
    const std::uint16_t controlWord = pix::cpu::X87ControlWord();
    for (const auto& c : cases) {
        Outcome got;
        try {
            got = {Kind::Value, pix::RoundAmountToDouble(c.value)};
        } catch (const pix::Failure& failure) {
            EXPECT_EQ(failure.Kind(), u"FloatingPointOverflow") << c.what;
            got = {Kind::Overflow, 0};
        }
        ExpectX87Kept(controlWord, c.what);
        ASSERT_EQ(got.kind, c.want.kind) << c.what << ": got " << Show(got.kind);
        EXPECT_EQ(Bits(got.value), Bits(c.want.value)) << c.what << ": got " << Show(got.value) << ", want "
                                                       << Show(c.want.value);
    }
}

// Grammar-valid texts in all their forms, each with the C-locale text that
// means the same number.
struct RandomAmount {
    std::u16string text;
    char16_t separator;
    std::string cText;
};

class RandomAmounts {
public:
    explicit RandomAmounts(std::uint64_t seed) : rng_(seed) {}

    RandomAmount Next() {
        RandomAmount amount;
        amount.separator = Chance(2) ? u',' : u'.';
        amount.text = Spaces();
        const int sign = Pick(0, 2);
        if (sign == 1) amount.text += u'+';
        if (sign == 2) {
            amount.text += u'-';
            amount.cText += '-';
        }

        const int total = Chance(10) ? Pick(26, 800) : Pick(1, 25);
        const int whole = Pick(0, std::min(total, 40));
        const std::string leadingZeros(Chance(5) ? Pick(1, 3) : 0, '0');
        const std::string wholeDigits = leadingZeros + Digits(whole);
        const std::string fractionDigits = Digits(total - whole);
        const bool separator = !fractionDigits.empty() || wholeDigits.empty() || Chance(3);
        amount.text += U16(wholeDigits);
        if (separator) amount.text += amount.separator;
        amount.text += U16(fractionDigits);
        amount.cText += (wholeDigits.empty() ? "0" : wholeDigits) + "." +
                        (fractionDigits.empty() ? "0" : fractionDigits);

        // Aim at magnitudes from below the subnormals to beyond the largest double.
        int exponent = Pick(-345, 312) - whole;
        exponent = std::max(-499, std::min(499, exponent));
        if (Chance(8)) exponent = 0;
        if (exponent != 0 || Chance(2)) {
            amount.text += Chance(2) ? u'e' : u'E';
            if (exponent < 0)
                amount.text += u'-';
            else if (Chance(2))
                amount.text += u'+';
            const bool missingDigits = exponent == 0 && Chance(2);
            if (!missingDigits)
                amount.text += U16(std::string(Chance(6) ? Pick(1, 2) : 0, '0') + std::to_string(std::abs(exponent)));
        }
        amount.cText += "e" + std::to_string(exponent);
        amount.text += Spaces();
        return amount;
    }

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    bool Chance(int oneIn) { return Pick(1, oneIn) == 1; }
    std::u16string Spaces() { return Repeat(u' ', Chance(4) ? Pick(1, 2) : 0); }
    std::string Digits(int count) {
        std::string digits;
        for (int i = 0; i < count; ++i) digits += static_cast<char>('0' + Pick(0, 9));
        return digits;
    }

    std::mt19937_64 rng_;
};

// What a correctly rounded conversion gives, with infinity for overflow. The
// C library rounds in the direction the x87 control word sets, so it runs
// under the default one.
double CorrectlyRounded(const std::string& cText) {
    const pix::cpu::X87Section nearest(pix::cpu::kX87Quiet);
    return std::strtod(cText.c_str(), nullptr);
}

// An overflow counts as the infinity of the wanted sign.
double AsDouble(const Outcome& outcome, double want) {
    return outcome.kind == Kind::Overflow ? std::copysign(std::numeric_limits<double>::infinity(), want)
                                          : outcome.value;
}

// Differential check against the C library: the correctly rounded converter
// must agree exactly, the extended one at most one unit in the last place
// away (counting infinity as the neighbour of the largest double).
void ExpectAgreementWithTheCLibrary() {
    RandomAmounts amounts(0x5EED'2026'0611ULL);
    int oneUlpOff = 0;
    constexpr int kCount = 4000;
    for (int i = 0; i < kCount; ++i) {
        const RandomAmount amount = amounts.Next();
        const double want = CorrectlyRounded(amount.cText);
        for (const Converter& converter : kConverters) {
            const Outcome outcome = Convert(converter, amount.text, amount.separator);
            ASSERT_NE(outcome.kind, Kind::NotAValue) << converter.name << " " << Show(amount.text);
            const double got = AsDouble(outcome, want);
            if (Bits(got) == Bits(want)) continue;
            const bool neighbour = converter.parse == &pix::ParseAmount && kExtended &&
                                   std::nextafter(got, want) == want && std::signbit(got) == std::signbit(want);
            EXPECT_TRUE(neighbour) << converter.name << " " << Show(amount.text) << " (" << amount.cText
                                   << "): got " << Show(got) << ", want " << Show(want);
            if (neighbour) ++oneUlpOff;
        }
    }
    ::testing::Test::RecordProperty("ExtendedOneUlpOff", oneUlpOff);
    std::cout << "extended conversion one unit off in " << oneUlpOff << " of " << kCount << " texts\n";
}

TEST(ParseAmount, AgreesWithTheCLibraryOnRandomTexts) { ExpectAgreementWithTheCLibrary(); }

// The program runs with invalid operation, division by zero and overflow
// unmasked (0x1332); other callers may leave another precision or rounding.
// Every conversion must come out the same under each, without a fault, and
// leave the caller's control word as it was.
class UnderCallerControlWord : public ::testing::TestWithParam<std::uint16_t> {
protected:
    void SetUp() override {
        if (pix::cpu::X87ControlWord() == 0) GTEST_SKIP() << "no x87 unit on this target";
        saved_ = pix::cpu::X87ControlWord();
        pix::cpu::SetX87ControlWord(GetParam());
    }
    void TearDown() override {
        if (saved_) pix::cpu::SetX87ControlWord(saved_);
    }

private:
    std::uint16_t saved_ = 0;
};

TEST_P(UnderCallerControlWord, EveryCaseComesOutTheSame) {
    ASSERT_EQ(pix::cpu::X87ControlWord() | pix::cpu::kX87Reserved, GetParam() | pix::cpu::kX87Reserved);
    ExpectOutcomes(CommaCases(), u',');
    ExpectOutcomes(ExponentReadingCases(), u',');
    ExpectOutcomes({TooLarge(u"1,8e308"), Valid(u"2,4703282292062328e-324", kDenormMin),
                    Invalid(u"1" + Repeat(u'0', 4933)), Invalid(u"1,2E4932"), Valid(u"1E-4999", 0)},
                   u',');
    ExpectAgreementWithTheCLibrary();
}

TEST_P(UnderCallerControlWord, ExtendedValuesDoNotDependOnIt) {
    if (!kExtended) GTEST_SKIP() << "long double is binary64 on this compiler";
    const long double allBits = pix::ParseAmount(u"18446744073709551615", u',');
    const long double tenth = pix::ParseAmount(u",1", u',');
    const double tie = pix::RoundAmountToDouble(0x1.00000000000018p0L);
    EXPECT_TRUE(allBits == 18446744073709551615.0L) << "rounded to the caller's precision";
    EXPECT_TRUE(tenth == 0.1L) << "rounded in the caller's direction";
    EXPECT_EQ(tie, 1 + 0x1p-51) << "rounded in the caller's direction";
}

std::string ControlWordName(const ::testing::TestParamInfo<std::uint16_t>& info) {
    char name[16];
    std::snprintf(name, sizeof name, "cw%04X", static_cast<unsigned>(info.param));
    return name;
}

INSTANTIATE_TEST_SUITE_P(X87, UnderCallerControlWord,
                         ::testing::Values(kProgramControlWord,
                                           std::uint16_t{0x027F},   // 53-bit precision, all masked
                                           std::uint16_t{0x0F7F},   // rounding toward zero
                                           std::uint16_t{0x1F72}),  // toward zero, faults unmasked
                         ControlWordName);

// Without this the cases above would prove nothing: under the program's
// control word an x87 overflow really faults.
TEST(UnderCallerControlWordDeathTest, TheProgramControlWordFaultsOnOverflow) {
    if (pix::cpu::X87ControlWord() == 0) GTEST_SKIP() << "no x87 unit on this target";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::signal(SIGFPE, [](int) { std::_Exit(86); });
            pix::cpu::SetX87ControlWord(kProgramControlWord);
            volatile long double large = LDBL_MAX;
            volatile long double larger = large * 10;
            larger = larger + 1;
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(86), "");
}

}  // namespace
