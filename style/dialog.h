// The platform's dialogs the program shows (the failure dialog, message
// boxes): the house frame, the dialog's background and text colours, and the
// same client area in the style's frame as in the platform's.
#pragma once

#include "style/frame.h"

namespace pix::style {

class DialogWindow final : public FrameWindow {
public:
    using FrameWindow::FrameWindow;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT DialogColor(WPARAM dc, bool text);
    void FitToFrame();
};

}  // namespace pix::style
