// Unsigned integers of any size, just enough exact arithmetic for the
// amount reference: no rounding anywhere, so that it can judge the parser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace pix::fuzz {

class BigInteger {
public:
    BigInteger() = default;
    explicit BigInteger(std::uint64_t value);

    // Decimal digits "0".."9" only; the empty text is zero.
    static BigInteger FromDecimal(std::string_view digits);
    static BigInteger PowerOfTen(std::size_t n);

    bool IsZero() const { return words_.empty(); }
    std::size_t BitLength() const;
    // The low 64 bits.
    std::uint64_t Low64() const;

    BigInteger& MultiplyBy(std::uint32_t factor);
    BigInteger& Add(std::uint32_t addend);
    BigInteger& ShiftLeft(std::size_t bits);
    BigInteger& ShiftRight(std::size_t bits);
    // *this -= other; other must not exceed *this.
    BigInteger& Subtract(const BigInteger& other);
    BigInteger Times(const BigInteger& other) const;

    friend int Compare(const BigInteger& a, const BigInteger& b);

private:
    void Trim();
    std::vector<std::uint32_t> words_;  // least significant first, no high zero word
};

inline bool operator<(const BigInteger& a, const BigInteger& b) { return Compare(a, b) < 0; }
inline bool operator>=(const BigInteger& a, const BigInteger& b) { return Compare(a, b) >= 0; }
inline bool operator==(const BigInteger& a, const BigInteger& b) { return Compare(a, b) == 0; }

}  // namespace pix::fuzz
