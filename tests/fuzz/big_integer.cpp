#include "tests/fuzz/big_integer.h"

#include <algorithm>

namespace pix::fuzz {

BigInteger::BigInteger(std::uint64_t value) {
    while (value != 0) {
        words_.push_back(static_cast<std::uint32_t>(value));
        value >>= 32;
    }
}

BigInteger BigInteger::FromDecimal(std::string_view digits) {
    BigInteger n;
    for (char c : digits) n.MultiplyBy(10).Add(static_cast<std::uint32_t>(c - '0'));
    return n;
}

BigInteger BigInteger::PowerOfTen(std::size_t n) {
    BigInteger power(1);
    for (; n >= 9; n -= 9) power.MultiplyBy(1000000000u);
    for (; n > 0; --n) power.MultiplyBy(10);
    return power;
}

std::size_t BigInteger::BitLength() const {
    if (words_.empty()) return 0;
    std::size_t bits = 32 * (words_.size() - 1);
    for (std::uint32_t top = words_.back(); top != 0; top >>= 1) ++bits;
    return bits;
}

std::uint64_t BigInteger::Low64() const {
    std::uint64_t low = 0;
    if (words_.size() > 1) low = static_cast<std::uint64_t>(words_[1]) << 32;
    if (!words_.empty()) low |= words_[0];
    return low;
}

BigInteger& BigInteger::MultiplyBy(std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (std::uint32_t& word : words_) {
        const std::uint64_t product = static_cast<std::uint64_t>(word) * factor + carry;
        word = static_cast<std::uint32_t>(product);
        carry = product >> 32;
    }
    if (carry != 0) words_.push_back(static_cast<std::uint32_t>(carry));
    Trim();
    return *this;
}

BigInteger& BigInteger::Add(std::uint32_t addend) {
    std::uint64_t carry = addend;
    for (std::size_t i = 0; carry != 0; ++i) {
        if (i == words_.size()) words_.push_back(0);
        const std::uint64_t sum = static_cast<std::uint64_t>(words_[i]) + carry;
        words_[i] = static_cast<std::uint32_t>(sum);
        carry = sum >> 32;
    }
    return *this;
}

BigInteger& BigInteger::ShiftLeft(std::size_t bits) {
    if (words_.empty()) return *this;
    const std::size_t whole = bits / 32, part = bits % 32;
    if (part != 0) {
        std::uint32_t carry = 0;
        for (std::uint32_t& word : words_) {
            const std::uint32_t next = word >> (32 - part);
            word = (word << part) | carry;
            carry = next;
        }
        if (carry != 0) words_.push_back(carry);
    }
    words_.insert(words_.begin(), whole, 0u);
    return *this;
}

BigInteger& BigInteger::ShiftRight(std::size_t bits) {
    const std::size_t whole = bits / 32, part = bits % 32;
    if (whole >= words_.size()) {
        words_.clear();
        return *this;
    }
    words_.erase(words_.begin(), words_.begin() + static_cast<std::ptrdiff_t>(whole));
    if (part != 0) {
        for (std::size_t i = 0; i < words_.size(); ++i) {
            const std::uint32_t high = i + 1 < words_.size() ? words_[i + 1] << (32 - part) : 0;
            words_[i] = (words_[i] >> part) | high;
        }
    }
    Trim();
    return *this;
}

BigInteger& BigInteger::Subtract(const BigInteger& other) {
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < words_.size(); ++i) {
        std::int64_t difference = static_cast<std::int64_t>(words_[i]) - borrow -
                                  (i < other.words_.size() ? static_cast<std::int64_t>(other.words_[i]) : 0);
        borrow = difference < 0 ? 1 : 0;
        if (difference < 0) difference += std::int64_t{1} << 32;
        words_[i] = static_cast<std::uint32_t>(difference);
    }
    Trim();
    return *this;
}

BigInteger BigInteger::Times(const BigInteger& other) const {
    BigInteger product;
    if (IsZero() || other.IsZero()) return product;
    product.words_.assign(words_.size() + other.words_.size(), 0u);
    for (std::size_t i = 0; i < words_.size(); ++i) {
        std::uint64_t carry = 0;
        for (std::size_t j = 0; j < other.words_.size(); ++j) {
            const std::uint64_t t = static_cast<std::uint64_t>(words_[i]) * other.words_[j] +
                                    product.words_[i + j] + carry;
            product.words_[i + j] = static_cast<std::uint32_t>(t);
            carry = t >> 32;
        }
        product.words_[i + other.words_.size()] = static_cast<std::uint32_t>(carry);
    }
    product.Trim();
    return product;
}

int Compare(const BigInteger& a, const BigInteger& b) {
    if (a.words_.size() != b.words_.size()) return a.words_.size() < b.words_.size() ? -1 : 1;
    for (std::size_t i = a.words_.size(); i-- > 0;)
        if (a.words_[i] != b.words_[i]) return a.words_[i] < b.words_[i] ? -1 : 1;
    return 0;
}

void BigInteger::Trim() {
    while (!words_.empty() && words_.back() == 0) words_.pop_back();
}

}  // namespace pix::fuzz
