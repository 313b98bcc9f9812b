#include "memo_text.h"

namespace pix {

namespace {
constexpr std::u16string_view kLineBreak = u"\r\n";
static_assert(kTextEndTheRuleReads == kLineBreak.size(), "the rule looks back as far as one line break");

bool EndsWithLineBreak(std::u16string_view text) {
    return text.size() >= kLineBreak.size() && text.substr(text.size() - kLineBreak.size()) == kLineBreak;
}
}  // namespace

std::u16string TextForAppendingLine(std::u16string_view current, std::u16string_view line) {
    std::u16string insertion;
    insertion.reserve(line.size() + 2 * kLineBreak.size());
    if (current.empty() || EndsWithLineBreak(current)) {
        insertion += line;
        insertion += kLineBreak;
    } else {
        insertion += kLineBreak;
        insertion += line;
        if (line.empty()) insertion += kLineBreak;
    }
    return insertion;
}

}  // namespace pix
