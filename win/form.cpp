#include "win/form.h"

namespace pix {

LRESULT TForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            // Nothing is asked; closing the main window ends the program.
            if (host_.IsMainForm(*this))
                host_.Terminate();
            else
                ShowWindow(Handle(), SW_HIDE);
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        default:
            return DefaultHandler(message, wParam, lParam);
    }
}

}  // namespace pix
