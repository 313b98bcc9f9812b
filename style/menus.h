// The shortcut menus: white with a 1-pixel black border, the item under the
// pointer highlighted whatever its state, separators as thin lines, the item
// texts black (a disabled one's in the style's disabled colour), check marks
// and radio marks where the items have them. Every item of such a menu is
// drawn, whoever added it: the field's own items and those another part of
// the program adds from a subclass of its own. The items are made
// owner-drawn while the menu is open and given back as they were when it
// closes, so a menu that is kept and opened again is found as its maker left
// it. The system menu stays the platform's, wholly.
#pragma once

#include <windows.h>

#include <list>
#include <map>
#include <string>

#include "base/handles.h"
#include "style/skinned_window.h"

namespace pix::style {

class ShortcutMenus {
public:
    explicit ShortcutMenus(const TStyleEngine& engine) noexcept : engine_(engine) {}
    ~ShortcutMenus();
    ShortcutMenus(const ShortcutMenus&) = delete;
    ShortcutMenus& operator=(const ShortcutMenus&) = delete;

    // A message of a window that may own menus (every window the style
    // draws but the menus' own): true when handled here, with its result.
    bool OnOwnerMessage(SkinnedWindow& owner, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The window goes away.
    void Forget(const SkinnedWindow& window) noexcept;
    // A menu's window was created, or goes away.
    void MenuWindowCreated(HWND menuWindow);
    void MenuWindowDestroyed(HWND menuWindow);
    // The border of a menu whose items the style draws.
    void PaintBorder(HWND menuWindow);
    // The look changed.
    void Restyled() noexcept;

private:
    // An item drawn by the style, and what it was before.
    struct Item {
        std::wstring text;  // empty for a separator
        bool radio = false;
        UINT type = 0;       // its type before (without MFT_OWNERDRAW)
        ULONG_PTR data = 0;  // its own item data before
    };
    struct Drawn {
        std::list<Item> items;  // their addresses are the items' data while drawn
        HBRUSH background = nullptr;  // the menu's own before
    };

    void MakeOwnerDrawn(HMENU menu);
    void GiveBack(HMENU menu) noexcept;
    void GiveBackAll() noexcept;
    const Item* ItemOf(ULONG_PTR data) const noexcept;
    HFONT MenuFont(int dpi);
    bool Measure(HWND owner, MEASUREITEMSTRUCT& measure);
    bool Draw(HWND owner, const DRAWITEMSTRUCT& draw);

    const TStyleEngine& engine_;
    std::map<HMENU, Drawn> drawn_;  // the menus whose items the style draws, while open
    UniqueFont menuFont_;
    int menuFontDpi_ = 0;
    UniqueBrush menuBrush_;
    const SkinnedWindow* owner_ = nullptr;  // the control whose own shortcut menu is opening
};

// The window of a pop-up menu.
class MenuWindow final : public SkinnedWindow {
public:
    using SkinnedWindow::SkinnedWindow;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OwnsMenus() const noexcept override { return false; }
};

}  // namespace pix::style
