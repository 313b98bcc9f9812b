// Draws the windows of the GUI thread in the active style. A window-creation
// hook sees every window the thread creates from the activation on and takes
// over the drawing of those the style knows: top-level windows with a caption
// (the frame, style/frame.h) and the dialogs among them (style/dialog.h),
// single-line fields and date pickers (style/field.h), the multi-line result
// area and its scroll bar (style/scroll_bar.h), push buttons
// (style/button.h), the shortcut menus (style/menus.h) and the program's own
// containers. The windows' owners know nothing of it: without the style they
// are drawn as the platform draws them.
//
// This core attaches a SkinnedWindow to each such window through a subclass
// and hands it the window's messages; it keeps what the windows share: the
// look and its substitutes for the system colours, the one window under the
// pointer, the DPI a window is drawn at, and the shortcut menus.
#pragma once

#include <windows.h>

#include <map>
#include <memory>

#include "base/handles.h"
#include "style/core/look.h"
#include "style/menus.h"
#include "style/skinned_window.h"
#include "style/system_colors.h"

namespace pix::style {

class TStyleEngine {
public:
    explicit TStyleEngine(Look look);
    ~TStyleEngine();
    TStyleEngine(const TStyleEngine&) = delete;
    TStyleEngine& operator=(const TStyleEngine&) = delete;

    const Look& GetLook() const noexcept { return look_; }
    // Another look for every window, those drawn so far too: their frames
    // are measured again and everything is painted anew.
    void Restyle(Look look);

    // Called by the creation hook for each new window of the thread.
    void Adopt(HWND window, const CREATESTRUCTW& create);
    // A message of an adopted window, from its subclass.
    LRESULT Dispatch(SkinnedWindow& window, UINT message, WPARAM wParam, LPARAM lParam);

    // The DPI the window is drawn at: its top-level window's.
    int DpiOf(HWND window) const;
    // One window at a time is hot: making one hot cools the one before.
    void SetHot(SkinnedWindow& window, bool hot);
    ShortcutMenus& Menus() noexcept { return menus_; }

private:
    std::unique_ptr<SkinnedWindow> SkinFor(HWND window, const CREATESTRUCTW& create);
    void FollowPointer(SkinnedWindow& window, WPARAM wParam, LPARAM lParam);
    LRESULT Release(SkinnedWindow& window, UINT message, WPARAM wParam, LPARAM lParam);

    Look look_;
    SystemColorSubstitutes colors_{look_};
    SkinnedWindow* hot_ = nullptr;  // the field or button under the pointer
    ShortcutMenus menus_{*this};
    std::map<HWND, std::unique_ptr<SkinnedWindow>> windows_;
    UniqueHook hook_;
};

}  // namespace pix::style
