// A top-level form: the base of the program's main window.
#pragma once

#include <windows.h>

#include "win/core/format_settings.h"
#include "win/window.h"

namespace pix {

class TForm;

// What a form takes from the program that owns it; the application object
// is the one host, and it outlives its forms.
class FormHost {
public:
    virtual HICON Icon() const noexcept = 0;
    // Live: re-read when the regional settings change.
    virtual const FormatSettings& Settings() const noexcept = 0;
    // The main window holds the program's taskbar button (WS_EX_APPWINDOW).
    virtual bool MainFormOnTaskBar() const noexcept = 0;
    virtual bool IsMainForm(const TForm& form) const noexcept = 0;
    // Ends the program's loop.
    virtual void Terminate() noexcept = 0;

protected:
    ~FormHost() = default;
};

class TForm : public TWindow {
public:
    ~TForm() override = default;

    // Builds the window and its controls; it stays hidden until the loop shows it.
    virtual void Create() = 0;

    // The keyboard handling of the focused window (shortcuts and dialog
    // navigation); true when the message is consumed.
    virtual bool PreTranslateMessage(const MSG& message) { (void)message; return false; }

protected:
    explicit TForm(FormHost& host) noexcept : host_(host) {}
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    FormHost& Host() const noexcept { return host_; }

private:
    FormHost& host_;
};

}  // namespace pix
