#include "style/menus.h"

#include <commctrl.h>

#include <algorithm>

#include "style/engine.h"
#include "style/paint.h"

namespace pix::style {

namespace {

constexpr UINT kMenuGetHandle = 0x01E1;  // MN_GETHMENU

HMENU MenuOfWindow(HWND menuWindow) {
    return reinterpret_cast<HMENU>(SendMessageW(menuWindow, kMenuGetHandle, 0, 0));
}

}  // namespace

HFONT ShortcutMenus::MenuFont(int dpi) {
    if (!menuFont_ || menuFontDpi_ != dpi) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        LOGFONTW font{};
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
            font = metrics.lfMenuFont;
        } else {
            font.lfHeight = -12;
            lstrcpyW(font.lfFaceName, L"Tahoma");
        }
        menuFont_.Reset(CreateFontIndirectW(&font));
        menuFontDpi_ = dpi;
    }
    return menuFont_.Get();
}

void ShortcutMenus::MakeOwnerDrawn(HMENU menu) {
    std::vector<std::wstring>& texts = menuTexts_[menu];
    texts.clear();
    std::vector<UINT> positions;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_STRING;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item)) continue;
        if (item.fType & (MFT_OWNERDRAW | MFT_BITMAP)) continue;
        std::wstring text;  // empty for a separator
        if (!(item.fType & MFT_SEPARATOR) && item.cch > 0) {
            text.resize(item.cch + 1);
            item.dwTypeData = text.data();
            item.cch += 1;
            GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item);
            text.resize(item.cch);
        }
        texts.push_back(text);
        positions.push_back(static_cast<UINT>(i));
    }
    // Each item carries its text's address, stable while the menu is open.
    for (std::size_t k = 0; k < texts.size(); ++k) {
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE;
        GetMenuItemInfoW(menu, positions[k], TRUE, &item);
        item.fMask = MIIM_FTYPE | MIIM_DATA;
        item.fType |= MFT_OWNERDRAW;
        item.dwItemData = reinterpret_cast<ULONG_PTR>(&texts[k]);
        SetMenuItemInfoW(menu, positions[k], TRUE, &item);
    }
    if (!menuBrush_) menuBrush_.Reset(CreateSolidBrush(Ref(engine_.GetLook().menuBackground)));
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_BACKGROUND;
    info.hbrBack = menuBrush_.Get();
    SetMenuInfo(menu, &info);
}

const std::wstring* ShortcutMenus::MenuText(ULONG_PTR data) const {
    for (const auto& entry : menuTexts_)
        for (const std::wstring& text : entry.second)
            if (reinterpret_cast<ULONG_PTR>(&text) == data) return &text;
    return nullptr;
}

bool ShortcutMenus::Measure(HWND owner, MEASUREITEMSTRUCT& measure) {
    if (measure.CtlType != ODT_MENU) return false;
    const std::wstring* text = MenuText(measure.itemData);
    if (!text) return false;
    const int dpi = engine_.DpiOf(owner);
    if (text->empty()) {
        measure.itemWidth = static_cast<UINT>(AtDpi(20, dpi));
        measure.itemHeight = static_cast<UINT>(AtDpi(7, dpi));
    } else {
        WindowDC dc(owner);
        SelectedObject font(dc.Get(), MenuFont(dpi));
        RECT r{};
        DrawTextW(dc.Get(), text->c_str(), static_cast<int>(text->size()), &r,
                  DT_SINGLELINE | DT_CALCRECT | DT_EXPANDTABS);
        measure.itemWidth = static_cast<UINT>(r.right + AtDpi(48, dpi));
        measure.itemHeight = static_cast<UINT>(r.bottom + AtDpi(8, dpi));
    }
    return true;
}

bool ShortcutMenus::Draw(HWND owner, const DRAWITEMSTRUCT& draw) {
    if (draw.CtlType != ODT_MENU) return false;
    const std::wstring* found = MenuText(draw.itemData);
    if (!found) return false;
    const std::wstring& text = *found;
    const Look& look = engine_.GetLook();
    const int dpi = engine_.DpiOf(owner);
    const HDC dc = draw.hDC;
    const bool disabled = (draw.itemState & (ODS_DISABLED | ODS_GRAYED)) != 0;
    const bool hot = (draw.itemState & ODS_SELECTED) != 0 && !disabled;
    Fill(dc, draw.rcItem, hot ? look.menuHot : look.menuBackground);
    if (text.empty()) {
        const int y = (draw.rcItem.top + draw.rcItem.bottom) / 2;
        Fill(dc, RECT{draw.rcItem.left + AtDpi(4, dpi), y, draw.rcItem.right - AtDpi(4, dpi), y + LineAtDpi(dpi)},
             look.menuSeparator);
        return true;
    }
    SelectedObject font(dc, MenuFont(dpi));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Ref(disabled ? look.menuDisabledText : look.menuText));
    RECT r = draw.rcItem;
    r.left += AtDpi(24, dpi);
    r.right -= AtDpi(12, dpi);
    const std::size_t tab = text.find(L'\t');
    const UINT prefix = (draw.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0;
    DrawTextW(dc, text.c_str(), static_cast<int>(tab == std::wstring::npos ? text.size() : tab), &r,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT | prefix);
    if (tab != std::wstring::npos)
        DrawTextW(dc, text.c_str() + tab + 1, static_cast<int>(text.size() - tab - 1), &r,
                  DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
    return true;
}

bool ShortcutMenus::OnOwnerMessage(SkinnedWindow& owner, UINT message, WPARAM wParam, LPARAM lParam,
                                   LRESULT& result) {
    const HWND w = owner.Window();
    switch (message) {
        case WM_CONTEXTMENU: {
            // The control builds and tracks its menu itself, telling its owner
            // nothing before the menu's window exists: that window is recognised
            // as this control's while the control is in here.
            const SkinnedWindow* const outer = owner_;
            owner_ = &owner;
            result = DefSubclassProc(w, message, wParam, lParam);
            owner_ = outer;
            return true;
        }
        case WM_INITMENUPOPUP:
            result = DefSubclassProc(w, message, wParam, lParam);
            MakeOwnerDrawn(reinterpret_cast<HMENU>(wParam));
            return true;
        case WM_UNINITMENUPOPUP:
            menuTexts_.erase(reinterpret_cast<HMENU>(wParam));
            return false;
        case WM_EXITMENULOOP:
            menuTexts_.clear();
            return false;
        case WM_MEASUREITEM:
            if (!Measure(w, *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return false;
            result = TRUE;
            return true;
        case WM_DRAWITEM:
            if (!Draw(w, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return false;
            result = TRUE;
            return true;
        default:
            return false;
    }
}

void ShortcutMenus::Restyled() noexcept {
    menuBrush_.Reset();
    menuFont_.Reset();
}

void ShortcutMenus::Forget(const SkinnedWindow& window) noexcept {
    if (owner_ == &window) owner_ = nullptr;
}

void ShortcutMenus::MenuWindowCreated(HWND menuWindow) {
    if (!owner_) return;
    // A shortcut menu of a field or the result area whose owner was not
    // told before it opened: its items are drawn by the style from now on,
    // in the places measured for their texts.
    const HMENU menu = MenuOfWindow(menuWindow);
    if (menu && menuTexts_.find(menu) == menuTexts_.end()) MakeOwnerDrawn(menu);
}

void ShortcutMenus::PaintBorder(HWND menuWindow) {
    RECT r{};
    GetWindowRect(menuWindow, &r);
    OffsetRect(&r, -r.left, -r.top);
    // Around the items: the menu's white, then a 1-pixel black border.
    const HMENU menu = MenuOfWindow(menuWindow);
    RECT items{};
    if (menu) {
        for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
            RECT item{};
            if (GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &item)) UnionRect(&items, &items, &item);
        }
    }
    WholeWindowDC dc(menuWindow);
    if (!dc.Get()) return;
    SavedDC saved(dc.Get());
    if (!IsRectEmpty(&items)) {
        RECT window{};
        GetWindowRect(menuWindow, &window);
        OffsetRect(&items, -window.left, -window.top);
        ExcludeClipRect(dc.Get(), items.left, items.top, items.right, items.bottom);
    }
    const Look& look = engine_.GetLook();
    Fill(dc.Get(), r, look.menuBackground);
    const int line = LineAtDpi(engine_.DpiOf(menuWindow));
    Fill(dc.Get(), RECT{0, 0, r.right, line}, look.menuBorder);
    Fill(dc.Get(), RECT{0, r.bottom - line, r.right, r.bottom}, look.menuBorder);
    Fill(dc.Get(), RECT{0, 0, line, r.bottom}, look.menuBorder);
    Fill(dc.Get(), RECT{r.right - line, 0, r.right, r.bottom}, look.menuBorder);
}

LRESULT MenuWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = Default(message, wParam, lParam);
    if (message == WM_CREATE) engine_.Menus().MenuWindowCreated(window_);
    if ((message == WM_PAINT || message == WM_NCPAINT || message == WM_PRINT || message == WM_SHOWWINDOW) &&
        IsWindow(window_))
        engine_.Menus().PaintBorder(window_);
    return result;
}

}  // namespace pix::style
