// Which line of the result area a QR Code is made of, and whether it is a
// PIX code at all.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pix::qr {

// The line that holds the selection [start, end) of text (a caret is an
// empty selection): the text between the CR LF breaks around it, as the
// multi-line edit control breaks its lines; a line the control wraps on
// the screen is still one line, and a lone CR or LF stays inside its line.
// A selection that takes the break at the end of its line along is still
// within that line; one that reaches into another line has no line.
// Positions beyond the text count as its end; start and end may come in
// either order.
std::optional<std::u16string_view> LineOfSelection(std::u16string_view text, std::size_t start,
                                                    std::size_t end) noexcept;

// That line when it is a BR Code whose CRC is right (its UTF-8 read by
// pix::brcode::IsBrCode); nothing otherwise.
std::optional<std::u16string> PixCodeAt(std::u16string_view text, std::size_t start, std::size_t end);

}  // namespace pix::qr
