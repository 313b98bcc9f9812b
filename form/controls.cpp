#include "form/controls.h"

#include <commctrl.h>

#include "app/text.h"
#include "form/core/memo_text.h"

namespace pix {

namespace {
std::u16string WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return std::u16string(U16(text));
}
}  // namespace

std::u16string TEdit::Text() const { return WindowText(handle_); }
std::u16string TMemo::Text() const { return WindowText(handle_); }

void TMemo::AppendLine(std::u16string_view line) {
    const std::u16string insertion = TextForAppendingLine(Text(), line);
    const LRESULT end = GetWindowTextLengthW(handle_);
    SendMessageW(handle_, EM_SETSEL, static_cast<WPARAM>(end), end);
    SendMessageW(handle_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(W(insertion).c_str()));
    SendMessageW(handle_, EM_SCROLLCARET, 0, 0);
}

double TDateTimePicker::DateTime() const { return 0; }
void TDateTimePicker::SetDateTime(double) {}

}  // namespace pix
