// The shortcut menus of the fields and the result area: white with a 1-pixel
// black border, the item under the pointer highlighted, separators as thin
// lines, the item texts black. The items are made owner-drawn while the menu
// is open and drawn here; the menu's window (class #32768) gets the border.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "base/handles.h"
#include "style/skinned_window.h"

namespace pix::style {

class ShortcutMenus {
public:
    explicit ShortcutMenus(const TStyleEngine& engine) noexcept : engine_(engine) {}

    // A message of a window that opens shortcut menus (the menu's owner):
    // true when handled here, with its result.
    bool OnOwnerMessage(SkinnedWindow& owner, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The window goes away.
    void Forget(const SkinnedWindow& window) noexcept;
    // A menu's window was created.
    void MenuWindowCreated(HWND menuWindow);
    void PaintBorder(HWND menuWindow);
    // The look changed.
    void Restyled() noexcept;

private:
    void MakeOwnerDrawn(HMENU menu);
    HFONT MenuFont(int dpi);
    const std::wstring* MenuText(ULONG_PTR data) const;
    bool Measure(HWND owner, MEASUREITEMSTRUCT& measure);
    bool Draw(HWND owner, const DRAWITEMSTRUCT& draw);

    const TStyleEngine& engine_;
    // The texts of the menu items the style draws, by menu, while it is open.
    std::map<HMENU, std::vector<std::wstring>> menuTexts_;
    UniqueFont menuFont_;
    int menuFontDpi_ = 0;
    UniqueBrush menuBrush_;
    const SkinnedWindow* owner_ = nullptr;  // the control whose shortcut menu is opening
};

// The window of a pop-up menu.
class MenuWindow final : public SkinnedWindow {
public:
    using SkinnedWindow::SkinnedWindow;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace pix::style
