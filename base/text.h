// wchar_t is UTF-16 on Windows; the platform-free core speaks char16_t.
#pragma once

#include <string>
#include <string_view>

namespace pix {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");

inline std::u16string_view U16(std::wstring_view text) noexcept {
    return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}
inline const wchar_t* W(const char16_t* text) noexcept { return reinterpret_cast<const wchar_t*>(text); }
inline std::wstring W(std::u16string_view text) { return {W(text.data()), text.size()}; }

}  // namespace pix
