// The result area's appending rule, on its text alone.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pix {

// What to insert at the end of the area's current text to append line: the
// line and a CR LF when the text is empty or ends with a line break;
// otherwise a CR LF, the line, and one more CR LF when the line is empty.
//
// A line break is CR LF, as in the multi-line edit control that holds the
// area: it starts a new line only at CR LF and keeps a lone CR or LF inside
// the line it stands in. So a text ending with a lone CR or LF has a last
// line that is not empty, and the line goes after a CR LF like any other.
std::u16string TextForAppendingLine(std::u16string_view current, std::u16string_view line);

// The rule reads no more than the end of the text: its last
// kTextEndTheRuleReads characters (the whole text when it is shorter) give
// the same insertion as the whole text, so appending never needs a copy of
// what the area already holds.
inline constexpr std::size_t kTextEndTheRuleReads = 2;

}  // namespace pix
