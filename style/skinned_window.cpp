#include "style/skinned_window.h"

#include <commctrl.h>

#include "style/engine.h"

namespace pix::style {

LRESULT SkinnedWindow::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(window_, message, wParam, lParam);
}

const Look& SkinnedWindow::GetLook() const noexcept { return engine_.GetLook(); }

void SkinnedWindow::TrackLeave(bool nonClient) {
    if (tracking_) return;
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE | (nonClient ? TME_NONCLIENT : 0u), window_, 0};
    tracking_ = TrackMouseEvent(&track) != FALSE;
}

}  // namespace pix::style
