#include "counted_text.h"

#include <cstring>

namespace pix {

namespace {
constexpr std::size_t kHeaderWords = sizeof(CountedTextHeader) / sizeof(std::uint32_t);
}

const ConstantCountedText<4> kBankCode = {
    {kUtf16CodePage, 2, kConstantReferenceCount, 3},
    {u'0', u'0', u'1', 0},
};

CountedText::CountedText(std::u16string_view text) {
    if (text.empty()) return;
    const std::size_t units = text.size() + 1;  // with the terminator
    const std::size_t words = kHeaderWords + (units * sizeof(char16_t) + 3) / 4;
    block_ = std::make_unique<std::uint32_t[]>(words);  // zeroed: the terminator is there
    const CountedTextHeader header{kUtf16CodePage, sizeof(char16_t), 1,
                                   static_cast<std::int32_t>(text.size())};
    std::memcpy(block_.get(), &header, sizeof header);
    auto* chars = reinterpret_cast<char16_t*>(block_.get() + kHeaderWords);
    std::memcpy(chars, text.data(), text.size() * sizeof(char16_t));
    chars_ = chars;
}

std::size_t CountedText::Length() const noexcept {
    return chars_ ? static_cast<std::size_t>(HeaderOf(chars_).length) : 0;
}

CountedTextHeader HeaderOf(const char16_t* chars) noexcept {
    CountedTextHeader header;
    std::memcpy(&header, reinterpret_cast<const unsigned char*>(chars) - sizeof header, sizeof header);
    return header;
}

CountedTextFault CheckCountedText(const char16_t* chars) noexcept {
    const CountedTextHeader header = HeaderOf(chars);
    if (header.codePage != kUtf16CodePage) return CountedTextFault::CodePage;
    if (header.elementSize != sizeof(char16_t)) return CountedTextFault::ElementSize;
    if (header.referenceCount != kConstantReferenceCount && header.referenceCount < 1)
        return CountedTextFault::ReferenceCount;
    if (header.length < 1) return CountedTextFault::Length;
    for (std::int32_t i = 0; i < header.length; ++i)
        if (chars[i] == 0) return CountedTextFault::Terminator;
    return chars[header.length] == 0 ? CountedTextFault::Ok : CountedTextFault::Terminator;
}

const char* DescribeCountedTextFault(CountedTextFault fault) noexcept {
    switch (fault) {
        case CountedTextFault::Ok: return "ok";
        case CountedTextFault::CodePage: return "code page is not 1200";
        case CountedTextFault::ElementSize: return "element size is not 2";
        case CountedTextFault::ReferenceCount: return "reference count is neither -1 nor positive";
        case CountedTextFault::Length: return "length is below 1";
        case CountedTextFault::Terminator: return "length differs from the code units before the terminator";
    }
    return "unknown";
}

}  // namespace pix
