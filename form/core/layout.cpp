#include "form/core/layout.h"

#include <cstdint>

namespace pix::layout {

namespace {

constexpr int AtLeastZero(int value) noexcept { return value < 0 ? 0 : value; }

}  // namespace

Rect ScaleEdges(const Rect& rect, int fromDpi, int toDpi) noexcept {
    return {Scale(rect.left, fromDpi, toDpi), Scale(rect.top, fromDpi, toDpi), Scale(rect.right, fromDpi, toDpi),
            Scale(rect.bottom, fromDpi, toDpi)};
}

Margins ScaleMargins(const Margins& margins, int fromDpi, int toDpi) noexcept {
    return {Scale(margins.left, fromDpi, toDpi), Scale(margins.top, fromDpi, toDpi),
            Scale(margins.right, fromDpi, toDpi), Scale(margins.bottom, fromDpi, toDpi)};
}

Size ScaleSize(const Size& size, int fromDpi, int toDpi) noexcept {
    return {Scale(size.width, fromDpi, toDpi), Scale(size.height, fromDpi, toDpi)};
}

Docked LayOutDocked(const DockInput& input) noexcept {
    const Margins& m = input.margins;
    Rect free{0, 0, input.client.width, input.client.height};
    Docked docked;

    docked.panel = Bounds(free.left, free.top, AtLeastZero(free.Width()), AtLeastZero(input.panelHeight));
    free.top += input.panelHeight;

    const int strip = input.buttonHeight + m.top + m.bottom;
    docked.button = Bounds(free.left + m.left, free.bottom - strip + m.top,
                           AtLeastZero(free.Width() - m.left - m.right), AtLeastZero(input.buttonHeight));
    free.bottom -= strip;

    if (free.Height() < 0) {
        docked.memo = input.memo;
    } else {
        docked.memo = Bounds(free.left + m.left, free.top + m.top, AtLeastZero(free.Width() - m.left - m.right),
                             AtLeastZero(free.Height() - m.top - m.bottom));
    }
    return docked;
}

FormGeometry DesignGeometry() noexcept {
    FormGeometry g;
    g.client = {635, 491};
    g.fontHeight = 11;
    g.margins = {15, 3, 15, 3};
    g[ids::Panel1] = Bounds(0, 0, 635, 241);
    g[ids::Memo1] = Bounds(15, 244, 605, 197);
    g[ids::Button2] = Bounds(15, 447, 605, 41);
    g[ids::Label1] = Bounds(16, 8, 48, 13);
    g[ids::edtCodigoSolicitacaoBancoCentral] = Bounds(16, 27, 473, 21);
    g[ids::Label3] = Bounds(495, 8, 45, 13);
    g[ids::edtConvenio] = Bounds(495, 27, 121, 21);
    g[ids::Label2] = Bounds(16, 54, 119, 13);
    g[ids::edtDeveloperApplicationKey] = Bounds(16, 73, 600, 21);
    g[ids::Label4] = Bounds(16, 100, 37, 13);
    g[ids::edtClientId] = Bounds(16, 119, 600, 21);
    g[ids::Label5] = Bounds(16, 146, 58, 13);
    g[ids::edtClientSecret] = Bounds(16, 165, 600, 21);
    g[ids::Label6] = Bounds(16, 192, 30, 13);
    g[ids::edtBoleto] = Bounds(16, 211, 385, 21);
    g[ids::Label7] = Bounds(407, 192, 24, 13);
    g[ids::edtValor] = Bounds(407, 211, 99, 21);
    g[ids::Label8] = Bounds(512, 192, 55, 13);
    g[ids::edtVencimento] = Bounds(512, 211, 104, 21);
    return g;
}

FormGeometry ScaleGeometry(const FormGeometry& geometry, int fromDpi, int toDpi) noexcept {
    FormGeometry scaled;
    scaled.client = ScaleSize(geometry.client, fromDpi, toDpi);
    scaled.fontHeight = Scale(geometry.fontHeight, fromDpi, toDpi);
    scaled.margins = ScaleMargins(geometry.margins, fromDpi, toDpi);
    for (std::size_t i = 0; i < geometry.bounds.size(); ++i)
        scaled.bounds[i] = ScaleEdges(geometry.bounds[i], fromDpi, toDpi);
    return scaled;
}

FormGeometry MoveToDpi(const FormGeometry& current, int fromDpi, int toDpi) noexcept {
    FormGeometry moved = ScaleGeometry(DesignGeometry(), kDesignDpi, toDpi);
    moved.client = ScaleSize(current.client, fromDpi, toDpi);
    moved[ids::Memo1] = ScaleEdges(current[ids::Memo1], fromDpi, toDpi);
    LayOut(moved);
    return moved;
}

void LayOut(FormGeometry& geometry) noexcept {
    const Docked docked = LayOutDocked({geometry.client, geometry[ids::Panel1].Height(),
                                        geometry[ids::Button2].Height(), geometry.margins, geometry[ids::Memo1]});
    geometry[ids::Panel1] = docked.panel;
    geometry[ids::Button2] = docked.button;
    geometry[ids::Memo1] = docked.memo;
}

}  // namespace pix::layout
