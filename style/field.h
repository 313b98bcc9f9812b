// The single-line fields and the date picker: their border by the style's
// table (teal under the pointer or with the focus, grey otherwise), selected
// text in the substitutes for the platform's highlight, the picker's
// drop-down button and the colours and size of its calendar.
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
    // An edit control: its selected text is painted by the style.
    virtual bool IsEdit() const noexcept { return true; }

private:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void PointerLeft(bool nonClient);
    void PaintSelection(bool always);
    void PaintSelectedLine(HDC dc, const RECT& area, int line, DWORD start, DWORD end, int lineHeight);

    // What the selection looked like when it was painted last.
    struct Selection {
        DWORD start = 0, end = 0;
        bool shown = false;
        LRESULT at = 0;  // where its start is (the text may have scrolled)
        LRESULT firstLine = 0;
        bool operator==(const Selection& o) const noexcept {
            return start == o.start && end == o.end && shown == o.shown && at == o.at && firstLine == o.firstLine;
        }
    };
    Selection selection_;
    bool paintingSelection_ = false;
};

class PickerWindow final : public FieldWindow {
public:
    using FieldWindow::FieldWindow;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Restyled() override { ColorCalendar(); }

protected:
    // Its selected field takes the highlight the common controls read
    // (style/system_colors.h).
    bool IsEdit() const noexcept override { return false; }

private:
    void ColorCalendar();
    void PaintButton();
};

// A message that asks a control something and changes nothing it shows:
// the style has nothing to paint over after it.
bool ChangesNothingShown(UINT message) noexcept;

// The drop-down calendar of a picker, as it opens: without the platform's
// visual theme, sized by the style's formula.
void FitCalendar(const Look& look, HWND picker);

}  // namespace pix::style
