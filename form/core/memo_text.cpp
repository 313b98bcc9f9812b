#include "memo_text.h"

namespace pix {

std::u16string TextForAppendingLine(std::u16string_view current, std::u16string_view line) {
    const bool atLineStart = current.empty() || current.back() == u'\n' || current.back() == u'\r';
    std::u16string insertion;
    insertion.reserve(line.size() + 4);
    if (atLineStart) {
        insertion += line;
        insertion += u"\r\n";
    } else {
        insertion += u"\r\n";
        insertion += line;
        if (line.empty()) insertion += u"\r\n";
    }
    return insertion;
}

}  // namespace pix
