#include "win/core/title.h"

namespace pix {

namespace {
bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
}  // namespace

std::u16string_view FileNameOf(std::u16string_view path) {
    const std::size_t slash = path.find_last_of(u'\\');
    return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

std::u16string ApplicationTitle(std::u16string_view programPath, LowerCaseFn lower) {
    std::u16string_view name = FileNameOf(programPath);
    name = name.substr(0, name.find(u'.'));
    std::u16string title(name);
    if (title.empty()) return title;
    // The first character keeps its case, surrogate pair and all.
    const std::size_t first = title.size() > 1 && IsHighSurrogate(title[0]) && IsLowSurrogate(title[1]) ? 2 : 1;
    if (title.size() > first) lower(&title[first], title.size() - first);
    return title;
}

}  // namespace pix
