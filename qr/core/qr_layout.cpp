#include "qr/core/qr_layout.h"

#include <algorithm>

#include "base/core/dpi.h"

namespace pix::qr {

namespace {

// Design measures at 96 DPI.
constexpr int kMargin = 12;
constexpr int kGap = 8;
constexpr int kButtonHeight = 25;
constexpr int kButtonMinWidth = 90;
constexpr int kButtonPadding = 16;  // on each side of a caption
constexpr int kTextLines = 3;
constexpr int kTextPadding = 6;     // borders and the edit's own margins, top and bottom together

}  // namespace

QrWindowLayout LayOutQrWindow(const QrWindowContent& content, int dpi) noexcept {
    const auto at = [dpi](int design) { return dpi::FromDesign(design, dpi); };
    const int margin = at(kMargin), gap = at(kGap);
    int widths[3];
    int row = 0;
    for (int i = 0; i < 3; ++i) {
        widths[i] = std::max(at(kButtonMinWidth), content.captionWidths[i] + 2 * at(kButtonPadding));
        row += widths[i] + (i ? gap : 0);
    }
    const int inside = std::max(content.pictureSide, row);

    QrWindowLayout layout;
    layout.clientWidth = inside + 2 * margin;
    int y = margin;
    const int pictureLeft = margin + (inside - content.pictureSide) / 2;
    layout.picture = {pictureLeft, y, pictureLeft + content.pictureSide, y + content.pictureSide};
    y = layout.picture.bottom + gap;
    layout.text = {margin, y, margin + inside, y + kTextLines * content.lineHeight + at(kTextPadding)};
    y = layout.text.bottom + gap;
    int x = margin + (inside - row) / 2;
    for (int i = 0; i < 3; ++i) {
        layout.buttons[i] = {x, y, x + widths[i], y + at(kButtonHeight)};
        x += widths[i] + gap;
    }
    layout.clientHeight = y + at(kButtonHeight) + margin;
    return layout;
}

}  // namespace pix::qr
