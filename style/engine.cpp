#include "style/engine.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "style/button.h"
#include "style/dialog.h"
#include "style/field.h"
#include "style/frame.h"
#include "style/scroll_bar.h"
#include "win/dpi.h"
#include "win/guard.h"
#include "win/window.h"

namespace pix::style {

namespace {

// A hook procedure gets no context of its own: the engine that installed the
// hook on this thread is found here, set and cleared by the engine itself.
thread_local TStyleEngine* hookOwner = nullptr;

constexpr UINT_PTR kSubclassId = 0x5354594C;  // "STYL"

bool IsOwnClass(HWND window) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    return GetClassInfoExW(GetModuleHandleW(nullptr), WindowClassName(window).c_str(), &wc) != FALSE;
}

LRESULT CALLBACK SubclassProc(HWND, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* skinned = reinterpret_cast<SkinnedWindow*>(data);
    LRESULT result = 0;
    Guarded([&] { result = skinned->Engine().Dispatch(*skinned, message, wParam, lParam); });
    return result;
}

LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && hookOwner) {
        const auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam);
        Guarded([&] { hookOwner->Adopt(reinterpret_cast<HWND>(wParam), *create->lpcs); });
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

TStyleEngine::TStyleEngine(Look look) : look_(std::move(look)) {
    hookOwner = this;
    hook_.Reset(SetWindowsHookExW(WH_CBT, &CreationHook, nullptr, GetCurrentThreadId()));
}

TStyleEngine::~TStyleEngine() {
    hook_.Reset();
    for (auto& entry : windows_) RemoveWindowSubclass(entry.first, &SubclassProc, kSubclassId);
    hookOwner = nullptr;
}

std::unique_ptr<SkinnedWindow> TStyleEngine::SkinFor(HWND window, const CREATESTRUCTW& create) {
    const std::wstring className = WindowClassName(window);
    if (!(create.style & WS_CHILD)) {
        if (className == L"#32768") return std::make_unique<MenuWindow>(*this, window);  // a pop-up menu
        // Top-level windows with a caption: the program's own, and the
        // dialogs it shows (the failure dialog, message boxes).
        if ((create.style & WS_CAPTION) != WS_CAPTION) return nullptr;
        if (className == L"#32770") return std::make_unique<DialogWindow>(*this, window);
        if (IsOwnClass(window)) return std::make_unique<FrameWindow>(*this, window);
        return nullptr;
    }
    if (className == L"Edit") {
        if (create.style & ES_MULTILINE) return std::make_unique<ResultArea>(*this, window);
        return std::make_unique<FieldWindow>(*this, window);
    }
    if (className == DATETIMEPICK_CLASSW) return std::make_unique<PickerWindow>(*this, window);
    if (className == L"Button") {
        const LONG type = create.style & BS_TYPEMASK;
        if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) return nullptr;
        return std::make_unique<ButtonWindow>(*this, window);
    }
    if (IsOwnClass(window)) return std::make_unique<ContainerWindow>(*this, window);
    return nullptr;
}

void TStyleEngine::Adopt(HWND window, const CREATESTRUCTW& create) {
    std::unique_ptr<SkinnedWindow> skinned = SkinFor(window, create);
    if (!skinned) return;
    if (!SetWindowSubclass(window, &SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(skinned.get()))) return;
    windows_[window] = std::move(skinned);
}

LRESULT TStyleEngine::Dispatch(SkinnedWindow& window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETCURSOR) FollowPointer(window, wParam, lParam);
    if (message == WM_NCDESTROY) return Release(window, message, wParam, lParam);
    LRESULT result = 0;
    if (window.OwnsMenus() && menus_.OnOwnerMessage(window, message, wParam, lParam, result)) return result;
    return window.OnMessage(message, wParam, lParam);
}

// WM_SETCURSOR is sent for every move of the pointer to the window under it,
// and on up through its parents: the one sure sign of where the pointer is.
void TStyleEngine::FollowPointer(SkinnedWindow& window, WPARAM wParam, LPARAM lParam) {
    const auto under = reinterpret_cast<HWND>(wParam);
    if (hot_ && hot_->Window() != under) SetHot(*hot_, false);
    if (under == window.Window() && window.TakesHot()) {
        SetHot(window, true);
        window.TrackLeave(LOWORD(lParam) != HTCLIENT);
    }
}

LRESULT TStyleEngine::Release(SkinnedWindow& window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hot_ == &window) hot_ = nullptr;
    menus_.Forget(window);
    const HWND handle = window.Window();
    RemoveWindowSubclass(handle, &SubclassProc, kSubclassId);
    windows_.erase(handle);  // window is gone from here on
    return DefSubclassProc(handle, message, wParam, lParam);
}

void TStyleEngine::SetHot(SkinnedWindow& window, bool hot) {
    if (window.hot_ == hot) return;
    window.hot_ = hot;
    if (hot) {
        if (hot_ && hot_ != &window) SetHot(*hot_, false);
        hot_ = &window;
    } else if (hot_ == &window) {
        hot_ = nullptr;
    }
    window.HotChanged();
}

void TStyleEngine::Restyle(Look look) {
    look_ = std::move(look);
    colors_.Take(look_);
    menus_.Restyled();
    std::vector<HWND> topLevel;
    for (const auto& entry : windows_) {
        entry.second->Restyled();
        if (GetAncestor(entry.first, GA_ROOT) == entry.first) topLevel.push_back(entry.first);
    }
    for (HWND window : topLevel) {
        RecomputeFrames(window);
        RedrawWindow(window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
}

int TStyleEngine::DpiOf(HWND window) const {
    // The top-level window knows its DPI, also after a change the platform
    // reported only to it.
    const auto found = windows_.find(GetAncestor(window, GA_ROOT));
    if (found != windows_.end() && found->second->FrameDpi() > 0) return found->second->FrameDpi();
    return WindowDpi(window);
}

}  // namespace pix::style
