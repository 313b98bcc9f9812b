// Counted texts under AddressSanitizer: any text makes a block whose layout
// checks out and reads back unchanged; any header in front of exactly the
// characters its length promises is judged without reading beyond them.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "pixlib/core/counted_text.h"

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "counted text: %s\n", what);
    std::abort();
}

void CheckRoundTrip(std::u16string_view text) {
    const pix::CountedText counted(text);
    if (text.empty()) {
        if (counted.Chars() != nullptr || counted.Length() != 0) Fail("the empty text is not a null pointer");
        return;
    }
    if (counted.Length() != text.size()) Fail("length differs from the text's");
    if (std::memcmp(counted.Chars(), text.data(), text.size() * sizeof(char16_t)) != 0) Fail("characters differ");
    const pix::CountedTextHeader header = pix::HeaderOf(counted.Chars());
    if (header.codePage != pix::kUtf16CodePage || header.elementSize != 2 || header.referenceCount != 1)
        Fail("header differs from a fresh text's");
    const bool innerZero = text.find(u'\0') != std::u16string_view::npos;
    const pix::CountedTextFault fault = pix::CheckCountedText(counted.Chars());
    if (fault != (innerZero ? pix::CountedTextFault::Terminator : pix::CountedTextFault::Ok))
        Fail("a fresh text does not check out");
    pix::CountedText moved(std::move(const_cast<pix::CountedText&>(counted)));
    if (moved.Length() != text.size()) Fail("a moved text lost its length");
}

// A block of exactly header + characters + one unit, with the header taken
// from the input; lengths beyond the characters given are cut to them, since
// the reader is allowed to read length + 1 units.
void CheckAnyHeader(const std::uint8_t* data, std::size_t size) {
    if (size < sizeof(pix::CountedTextHeader)) return;
    pix::CountedTextHeader header;
    std::memcpy(&header, data, sizeof header);
    const std::size_t units = (size - sizeof header) / 2;
    if (header.length > 0 && static_cast<std::size_t>(header.length) > units) header.length = static_cast<std::int32_t>(units);
    const std::size_t unitsAllocated = units + 1;
    auto block = std::make_unique<std::uint8_t[]>(sizeof header + unitsAllocated * 2);
    std::memcpy(block.get(), &header, sizeof header);
    std::memcpy(block.get() + sizeof header, data + sizeof header, units * 2);
    std::memset(block.get() + sizeof header + units * 2, data[size - 1] & 1 ? 0xFF : 0, 2);
    const auto* chars = reinterpret_cast<const char16_t*>(block.get() + sizeof header);
    const pix::CountedTextFault fault = pix::CheckCountedText(chars);
    if (std::strlen(pix::DescribeCountedTextFault(fault)) == 0) Fail("a fault without a description");
    if (fault == pix::CountedTextFault::Ok) {
        // Ok promises a text the library can read: zero exactly at the length.
        for (std::int32_t i = 0; i < header.length; ++i)
            if (chars[i] == 0) Fail("ok with a zero unit inside");
        if (chars[header.length] != 0) Fail("ok without a terminator");
        if (header.length < 1) Fail("ok with a length below 1");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text(size / 2, u'\0');
    if (!text.empty()) std::memcpy(&text[0], data, text.size() * 2);
    CheckRoundTrip(text);
    CheckAnyHeader(data, size);
    return 0;
}
