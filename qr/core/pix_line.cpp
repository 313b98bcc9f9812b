#include "qr/core/pix_line.h"

#include <algorithm>

#include "base/core/utf8.h"
#include "pixlib/core/br_code.h"

namespace pix::qr {

namespace {

constexpr std::u16string_view kBreak = u"\r\n";

}  // namespace

std::optional<std::u16string_view> LineOfSelection(std::u16string_view text, std::size_t start,
                                                    std::size_t end) noexcept {
    if (start > end) std::swap(start, end);
    start = std::min(start, text.size());
    end = std::min(end, text.size());
    // The break right at the end of a selection belongs to the line it ends.
    std::size_t last = end;
    if (last - start >= kBreak.size() && text.substr(last - kBreak.size(), kBreak.size()) == kBreak)
        last -= kBreak.size();
    // (A position between the CR and the LF of a break lies on no line.)
    const std::size_t lineStart = [&] {
        const std::size_t before = start == 0 ? std::u16string_view::npos : text.rfind(kBreak, start - 1);
        return before == std::u16string_view::npos ? 0 : before + kBreak.size();
    }();
    std::size_t lineEnd = text.find(kBreak, lineStart);
    if (lineEnd == std::u16string_view::npos) lineEnd = text.size();
    if (lineStart > start || last > lineEnd) return std::nullopt;
    return text.substr(lineStart, lineEnd - lineStart);
}

std::optional<std::u16string> PixCodeAt(std::u16string_view text, std::size_t start, std::size_t end) {
    const std::optional<std::u16string_view> line = LineOfSelection(text, start, end);
    if (!line || !brcode::IsBrCode(utf8::FromUtf16(*line))) return std::nullopt;
    return std::u16string(*line);
}

}  // namespace pix::qr
