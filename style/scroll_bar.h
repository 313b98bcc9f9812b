// The multi-line result area: a field that keeps its grey border, and its
// vertical scroll bar by the style's table. The platform draws its own
// scroll bar on many messages outside WM_NCPAINT; the style's is painted
// over it straight after each, and after any other message that moved the
// thumb.
#pragma once

#include <cstdint>

#include "style/core/scroll_bar.h"
#include "style/field.h"

namespace pix::style {

class ResultArea final : public FieldWindow {
public:
    using FieldWindow::FieldWindow;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool TakesHot() const noexcept override { return false; }

private:
    // What the bar looked like when it was painted last.
    struct Drawn {
        ScrollGeometry geometry;
        std::uint32_t states[6] = {};  // the platform's, by part
        ScrollPart hot = ScrollPart::None;
        bool operator==(const Drawn& other) const noexcept;
    };
    void PaintScrollBar(bool always);

    ScrollPart hot_ = ScrollPart::None;  // under the pointer
    Drawn drawn_;
};

}  // namespace pix::style
