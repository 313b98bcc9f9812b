// The push buttons: a flat face by the style's precedence of states
// (pressed, hot, focused, normal), the caption centred in the button's font.
#pragma once

#include "style/skinned_window.h"

namespace pix::style {

class ButtonWindow final : public SkinnedWindow {
public:
    using SkinnedWindow::SkinnedWindow;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool TakesHot() const noexcept override { return true; }

protected:
    void HotChanged() override { PaintNow(); }

private:
    void Paint(HDC dc);
    void PaintNow();
};

}  // namespace pix::style
