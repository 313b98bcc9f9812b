// One window the style draws, seen from its subclass: the part of the style
// that knows its kind of window. The engine (style/engine.h) attaches one to
// each window it takes over and hands it the window's messages before the
// window's own procedure sees them.
#pragma once

#include <windows.h>

#include "style/core/look.h"

namespace pix::style {

class TStyleEngine;

class SkinnedWindow {
public:
    SkinnedWindow(TStyleEngine& engine, HWND window) noexcept : engine_(engine), window_(window) {}
    virtual ~SkinnedWindow() = default;
    SkinnedWindow(const SkinnedWindow&) = delete;
    SkinnedWindow& operator=(const SkinnedWindow&) = delete;

    HWND Window() const noexcept { return window_; }
    TStyleEngine& Engine() const noexcept { return engine_; }

    // A message of the window; what the platform should do with it is
    // passed on through Default.
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // The pointer over it makes it hot: the fields, the picker, the button.
    virtual bool TakesHot() const noexcept { return false; }
    // It builds and tracks a shortcut menu of its own on WM_CONTEXTMENU: the
    // fields, the picker and the result area.
    virtual bool OpensShortcutMenu() const noexcept { return false; }
    // It may own menus: their items' messages come to it.
    virtual bool OwnsMenus() const noexcept { return true; }
    // The DPI a top-level window is drawn at, which its children follow;
    // 0 for the others.
    virtual int FrameDpi() const noexcept { return 0; }

    bool Hot() const noexcept { return hot_; }

    // The look changed: what was made from the old one goes (the engine
    // repaints everything afterwards).
    virtual void Restyled() {}

protected:
    // The window's own procedure (and any subclass installed before the
    // style's).
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
    const Look& GetLook() const noexcept;
    // Asks for WM_MOUSELEAVE (or WM_NCMOUSELEAVE) once; TrackingEnded when it came.
    void TrackLeave(bool nonClient);
    void TrackingEnded() noexcept { tracking_ = false; }
    // The pointer came or went (the engine keeps one hot window at a time).
    virtual void HotChanged() {}

    TStyleEngine& engine_;
    const HWND window_;

private:
    friend class TStyleEngine;
    bool hot_ = false;
    bool tracking_ = false;
};

}  // namespace pix::style
