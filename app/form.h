// A top-level form: the base of the program's main window.
#pragma once

#include <windows.h>

#include "app/window.h"

namespace pix {

class TForm : public TWindow {
public:
    ~TForm() override = default;

    // Builds the window and its controls; it stays hidden until the loop shows it.
    virtual void Create() = 0;

    // The keyboard handling of the focused window (shortcuts and dialog
    // navigation); true when the message is consumed.
    virtual bool PreTranslateMessage(const MSG& message) { (void)message; return false; }

protected:
    TForm() = default;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace pix
