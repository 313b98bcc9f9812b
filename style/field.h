// The single-line fields and the date picker: their border by the style's
// table (teal under the pointer or with the focus, grey otherwise), the
// picker's drop-down button and the colours and size of its calendar.
#pragma once

#include "style/skinned_window.h"

namespace pix::style {

class FieldWindow : public SkinnedWindow {
public:
    using SkinnedWindow::SkinnedWindow;

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool TakesHot() const noexcept override { return true; }
    bool OpensShortcutMenu() const noexcept override { return true; }

protected:
    void HotChanged() override { PaintBorder(); }
    void PaintBorder();

private:
    void PointerLeft(bool nonClient);
};

class PickerWindow final : public FieldWindow {
public:
    using FieldWindow::FieldWindow;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Restyled() override { ColorCalendar(); }

private:
    void ColorCalendar();
    void PaintButton();
};

// The drop-down calendar of a picker, as it opens: without the platform's
// visual theme, sized by the style's formula.
void FitCalendar(const Look& look, HWND picker);

}  // namespace pix::style
