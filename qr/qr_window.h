// The window "QR Code do Pix": the QR Code of one PIX code, the code as
// text, and the buttons that copy the code, copy the picture and save it as
// a PNG file. It is owned by the program's main window and made once:
// closing hides it, and the next code shows in the same window.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "base/core/result.h"
#include "base/handles.h"
#include "qr/core/qr_layout.h"
#include "qr/core/qr_symbol.h"
#include "win/window.h"

namespace pix::qr {

class TQrWindow final : public TWindow {
public:
    explicit TQrWindow(HWND owner) noexcept : owner_(owner) {}
    ~TQrWindow() override;

    // Shows the QR Code of code, or why there is none (a code too long for
    // a QR Code), and brings the window to the front.
    void Show(std::u16string_view code);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Create();
    HWND CreateChild(const wchar_t* className, const char16_t* text, DWORD style, DWORD exStyle, int id);
    // Font and geometry for the window's DPI.
    void ApplyDpi();
    void Arrange();
    void CenterOnOwner();
    void Paint(HDC dc) const;
    void Command(int id);
    void Close();

    HWND owner_;
    int dpi_ = 96;
    UniqueFont font_;
    std::u16string code_;
    Result<QrSymbol> symbol_;
    QrWindowLayout layout_;
    HWND text_ = nullptr;
    HWND message_ = nullptr;  // why there is no QR Code, in its place
    HWND buttons_[3] = {};
    HWND lastFocus_ = nullptr;
};

}  // namespace pix::qr
