#include "style/menus.h"

#include <commctrl.h>

#include <algorithm>

#include "base/core/dpi.h"
#include "style/engine.h"
#include "style/paint.h"
#include "win/dpi.h"

namespace pix::style {

namespace {

constexpr UINT kMenuGetHandle = 0x01E1;  // MN_GETHMENU

HMENU MenuOfWindow(HWND menuWindow) {
    return reinterpret_cast<HMENU>(SendMessageW(menuWindow, kMenuGetHandle, 0, 0));
}

std::wstring ItemText(HMENU menu, UINT position, UINT length) {
    if (length == 0) return {};
    std::wstring text(length + 1, L'\0');
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STRING;
    item.dwTypeData = text.data();
    item.cch = length + 1;
    if (!GetMenuItemInfoW(menu, position, TRUE, &item)) return {};
    text.resize(item.cch);
    return text;
}

// A check mark, or a round mark for a radio item, about 8 design pixels
// wide in the middle of area.
void DrawMark(HDC dc, const RECT& area, bool radio, int dpi, Color c) {
    const int size = AtDpi(8, dpi);
    const int left = area.left + (area.right - area.left - size) / 2;
    const int top = area.top + (area.bottom - area.top - size) / 2;
    if (radio) {
        SavedDC saved(dc);
        SelectObject(dc, GetStockObject(DC_BRUSH));
        SelectObject(dc, GetStockObject(DC_PEN));
        SetDCBrushColor(dc, Ref(c));
        SetDCPenColor(dc, Ref(c));
        const int inset = size / 4;
        Ellipse(dc, left + inset, top + inset, left + size - inset, top + size - inset);
        return;
    }
    // Down from the left to a third of the width, then up to the right edge.
    const int stroke = std::max(2, AtDpi(2, dpi));
    const int turn = size / 3;
    const int bottom = top + size - stroke;
    for (int x = 0; x < size; ++x) {
        const int y = x <= turn ? bottom - (turn - x) : bottom - (x - turn) * (size - stroke) / (size - 1 - turn);
        Fill(dc, RECT{left + x, y, left + x + 1, y + stroke}, c);
    }
}

}  // namespace

ShortcutMenus::~ShortcutMenus() { GiveBackAll(); }

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
        // The platform gives its menu font at the system's DPI; the items
        // are measured at the window's.
        const int systemDpi = SystemDpi();
        font.lfHeight = pix::dpi::Scale(font.lfHeight, systemDpi, dpi);
        font.lfWidth = pix::dpi::Scale(font.lfWidth, systemDpi, dpi);
        menuFont_.Reset(CreateFontIndirectW(&font));
        menuFontDpi_ = dpi;
    }
    return menuFont_.Get();
}

void ShortcutMenus::MakeOwnerDrawn(HMENU menu) {
    if (!menu || !IsMenu(menu)) return;
    const bool first = drawn_.find(menu) == drawn_.end();
    Drawn& drawn = drawn_[menu];
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const UINT position = static_cast<UINT>(i);
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_STRING;
        if (!GetMenuItemInfoW(menu, position, TRUE, &item)) continue;
        // Drawn already (by the style, or by whoever made the item so), or
        // a picture: left as they are.
        if (item.fType & (MFT_OWNERDRAW | MFT_BITMAP)) continue;
        const bool separator = (item.fType & MFT_SEPARATOR) != 0;
        Item& made = drawn.items.emplace_back();
        made.text = separator ? std::wstring() : ItemText(menu, position, item.cch);
        made.radio = (item.fType & MFT_RADIOCHECK) != 0;
        made.type = item.fType;
        made.data = item.dwItemData;
        // The item's data is its record here while the menu is open.
        item.fMask = MIIM_FTYPE | MIIM_DATA;
        item.fType |= MFT_OWNERDRAW;
        item.dwItemData = reinterpret_cast<ULONG_PTR>(&made);
        SetMenuItemInfoW(menu, position, TRUE, &item);
    }
    if (!menuBrush_) menuBrush_.Reset(CreateSolidBrush(Ref(engine_.GetLook().menuBackground)));
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_BACKGROUND;
    if (first && GetMenuInfo(menu, &info)) drawn.background = info.hbrBack;
    info.hbrBack = menuBrush_.Get();
    SetMenuInfo(menu, &info);
}

// The items back as their maker made them, and the menu's own background.
void ShortcutMenus::GiveBack(HMENU menu) noexcept {
    const auto found = drawn_.find(menu);
    if (found == drawn_.end()) return;
    if (IsMenu(menu)) {
        const std::list<Item>& items = found->second.items;
        for (int i = 0, count = GetMenuItemCount(menu); i < count; ++i) {
            MENUITEMINFOW item{};
            item.cbSize = sizeof item;
            item.fMask = MIIM_FTYPE | MIIM_DATA;
            if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item)) continue;
            const auto ours = std::find_if(items.begin(), items.end(), [&](const Item& it) {
                return reinterpret_cast<ULONG_PTR>(&it) == item.dwItemData;
            });
            if (!(item.fType & MFT_OWNERDRAW) || ours == items.end()) continue;
            item.fType = ours->type;
            item.dwItemData = ours->data;
            SetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item);
        }
        MENUINFO info{};
        info.cbSize = sizeof info;
        info.fMask = MIM_BACKGROUND;
        info.hbrBack = found->second.background;
        SetMenuInfo(menu, &info);
    }
    drawn_.erase(found);
}

void ShortcutMenus::GiveBackAll() noexcept {
    while (!drawn_.empty()) GiveBack(drawn_.begin()->first);
}

const ShortcutMenus::Item* ShortcutMenus::ItemOf(ULONG_PTR data) const noexcept {
    for (const auto& entry : drawn_)
        for (const Item& item : entry.second.items)
            if (reinterpret_cast<ULONG_PTR>(&item) == data) return &item;
    return nullptr;
}

bool ShortcutMenus::Measure(HWND owner, MEASUREITEMSTRUCT& measure) {
    if (measure.CtlType != ODT_MENU) return false;
    const Item* item = ItemOf(measure.itemData);
    if (!item) return false;
    const int dpi = engine_.DpiOf(owner);
    if (item->text.empty()) {
        measure.itemWidth = static_cast<UINT>(AtDpi(20, dpi));
        measure.itemHeight = static_cast<UINT>(AtDpi(7, dpi));
    } else {
        WindowDC dc(owner);
        SelectedObject font(dc.Get(), MenuFont(dpi));
        RECT r{};
        DrawTextW(dc.Get(), item->text.c_str(), static_cast<int>(item->text.size()), &r,
                  DT_SINGLELINE | DT_CALCRECT | DT_EXPANDTABS);
        measure.itemWidth = static_cast<UINT>(r.right + AtDpi(48, dpi));
        measure.itemHeight = static_cast<UINT>(r.bottom + AtDpi(8, dpi));
    }
    return true;
}

bool ShortcutMenus::Draw(HWND owner, const DRAWITEMSTRUCT& draw) {
    if (draw.CtlType != ODT_MENU) return false;
    const Item* item = ItemOf(draw.itemData);
    if (!item) return false;
    const Look& look = engine_.GetLook();
    const int dpi = engine_.DpiOf(owner);
    const HDC dc = draw.hDC;
    // Under the pointer an item is highlighted whatever its state; a
    // disabled one keeps its disabled text.
    const bool disabled = (draw.itemState & (ODS_DISABLED | ODS_GRAYED)) != 0;
    const bool hot = (draw.itemState & ODS_SELECTED) != 0;
    Fill(dc, draw.rcItem, hot ? look.menuHot : look.menuBackground);
    if (item->text.empty()) {
        const int y = (draw.rcItem.top + draw.rcItem.bottom) / 2;
        Fill(dc, RECT{draw.rcItem.left + AtDpi(4, dpi), y, draw.rcItem.right - AtDpi(4, dpi), y + LineAtDpi(dpi)},
             look.menuSeparator);
        return true;
    }
    const Color ink = disabled ? look.menuDisabledText : look.menuText;
    const int markRight = draw.rcItem.left + AtDpi(24, dpi);
    if (draw.itemState & ODS_CHECKED)
        DrawMark(dc, RECT{draw.rcItem.left, draw.rcItem.top, markRight, draw.rcItem.bottom}, item->radio, dpi, ink);
    SelectedObject font(dc, MenuFont(dpi));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Ref(ink));
    RECT r = draw.rcItem;
    r.left = markRight;
    r.right -= AtDpi(12, dpi);
    const std::wstring& text = item->text;
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
            if (!owner.OpensShortcutMenu()) return false;
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
            // The system menu stays the platform's.
            if (HIWORD(lParam)) return false;
            // Whoever added items did so before the style is told, in the
            // control's procedure or in a subclass installed after the
            // style's: every item there is drawn.
            result = DefSubclassProc(w, message, wParam, lParam);
            MakeOwnerDrawn(reinterpret_cast<HMENU>(wParam));
            return true;
        case WM_UNINITMENUPOPUP:
            GiveBack(reinterpret_cast<HMENU>(wParam));
            return false;
        case WM_EXITMENULOOP:
            GiveBackAll();
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

void ShortcutMenus::Forget(const SkinnedWindow& window) noexcept {
    if (owner_ == &window) owner_ = nullptr;
}

void ShortcutMenus::Restyled() noexcept {
    menuBrush_.Reset();
    menuFont_.Reset();
}

void ShortcutMenus::MenuWindowCreated(HWND menuWindow) {
    // A control's own shortcut menu, whose owner was not told before it
    // opened: its items are drawn by the style from now on, in the places
    // the platform measured for their texts.
    if (owner_) MakeOwnerDrawn(MenuOfWindow(menuWindow));
}

void ShortcutMenus::MenuWindowDestroyed(HWND menuWindow) { GiveBack(MenuOfWindow(menuWindow)); }

void ShortcutMenus::PaintBorder(HWND menuWindow) {
    const HMENU menu = MenuOfWindow(menuWindow);
    if (drawn_.find(menu) == drawn_.end()) return;  // a menu the platform draws, the system menu
    RECT r{};
    GetWindowRect(menuWindow, &r);
    OffsetRect(&r, -r.left, -r.top);
    // Around the items: the menu's white, then a 1-pixel black border.
    RECT items{};
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        RECT item{};
        if (GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &item)) UnionRect(&items, &items, &item);
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
    if (message == WM_DESTROY) engine_.Menus().MenuWindowDestroyed(window_);
    const LRESULT result = Default(message, wParam, lParam);
    if (message == WM_CREATE) engine_.Menus().MenuWindowCreated(window_);
    if ((message == WM_PAINT || message == WM_NCPAINT || message == WM_PRINT || message == WM_SHOWWINDOW) &&
        IsWindow(window_))
        engine_.Menus().PaintBorder(window_);
    return result;
}

}  // namespace pix::style
