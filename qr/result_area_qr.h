// The QR Code of the PIX codes in the result area, attached from outside:
// the area's shortcut menu gains, below the platform's own items, a
// separator and "QR Code do Pix", enabled when the line of the caret (or of
// the selection, when that lies within one line) is a BR Code whose CRC is
// right; choosing it, or Ctrl+Q in the area, shows that code's QR Code in
// the QR window. The result area and its form know nothing of it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "qr/qr_window.h"

namespace pix::qr {

class TResultAreaQrCode {
public:
    // Subclasses the area, a multi-line edit control; the QR window is
    // owned by the area's top-level window.
    explicit TResultAreaQrCode(HWND area);
    ~TResultAreaQrCode();
    TResultAreaQrCode(const TResultAreaQrCode&) = delete;
    TResultAreaQrCode& operator=(const TResultAreaQrCode&) = delete;

    // The command id of the menu item: beyond the ids of the edit control's
    // own items, and a message the control does nothing with should it send
    // the id to itself after its menu returns it.
    static constexpr UINT kItemId = WM_APP + 0x2151;

private:
    class MenuSession;  // while the area's shortcut menu is open
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT ShowShortcutMenu(WPARAM wParam, LPARAM lParam);
    std::optional<std::u16string> CodeAtSelection() const;

    HWND area_;
    TQrWindow window_;                // made when first shown
    MenuSession* menu_ = nullptr;     // the open menu's, if any
    bool ctrlQCharPending_ = false;   // the character of a Ctrl+Q handled here
};

}  // namespace pix::qr
