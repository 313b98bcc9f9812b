// Counted UTF-16 texts as the vendor library reads them.
//
// The pointer handed over points at the first character; in front of it lie
// a 12-byte header, behind the characters a zero terminator:
//
//   -12  uint16  code page (1200, UTF-16 LE)
//   -10  uint16  bytes per character (2)
//    -8  int32   reference count (-1 for constants, positive otherwise)
//    -4  int32   length in code units, terminator not counted (at least 1)
//     0  char16  characters ..., then one zero unit
//
// An empty text is never passed as such: it becomes a null pointer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace pix {

struct CountedTextHeader {
    std::uint16_t codePage;
    std::uint16_t elementSize;
    std::int32_t referenceCount;
    std::int32_t length;
};
static_assert(sizeof(CountedTextHeader) == 12, "the header is 12 bytes in front of the characters");

inline constexpr std::uint16_t kUtf16CodePage = 1200;
inline constexpr std::int32_t kConstantReferenceCount = -1;

// A heap text with reference count 1, owned alone. Move-only.
class CountedText {
public:
    CountedText() = default;
    explicit CountedText(std::u16string_view text);

    // Null for the empty text: the library expects no pointer at all then.
    const char16_t* Chars() const noexcept { return chars_; }
    std::size_t Length() const noexcept;

private:
    // Whole 32-bit words keep the header and the characters aligned.
    std::unique_ptr<std::uint32_t[]> block_;
    const char16_t* chars_ = nullptr;
};

// A text with static storage and reference count -1, for constants such as
// the bank code. N counts the terminator.
template <std::size_t N>
struct ConstantCountedText {
    CountedTextHeader header;
    char16_t chars[N];
    const char16_t* Chars() const noexcept { return chars; }
};

// The bank code is always "001".
extern const ConstantCountedText<4> kBankCode;

// What a reader of a counted text finds wrong with it; Ok when nothing.
enum class CountedTextFault {
    Ok,
    CodePage,
    ElementSize,
    ReferenceCount,
    Length,       // below 1
    Terminator,   // a zero unit before the end, or none at the end
};

// Checks the layout around a non-null pointer. Reads at most length + 1 units.
CountedTextFault CheckCountedText(const char16_t* chars) noexcept;
const char* DescribeCountedTextFault(CountedTextFault fault) noexcept;

// The header in front of a non-null pointer.
CountedTextHeader HeaderOf(const char16_t* chars) noexcept;

}  // namespace pix
