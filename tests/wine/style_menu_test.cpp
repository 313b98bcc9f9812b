// The style's shortcut menus on the screen: a menu another part of the
// program gives a field, from a subclass installed after the style's, drawn
// whole (its items, their check marks, the disabled one under the pointer);
// the menus' font at another DPI; the system menu left to the platform.
// Every point is placed from the menus' real rectangles and found as a
// person finds it, with the pointer.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "form/core/control_ids.h"
#include "tests/wine/driver/driver.h"
#include "tests/wine/style_checks.h"

using namespace pixtest;
namespace ids = pix::ids;

namespace {

constexpr COLORREF kMenuHot = RGB(127, 175, 175), kMenuSeparator = RGB(149, 149, 149);

// A menu window shows on the screen: its left edge is one colour from top
// to bottom, as a menu's border is (what lay under it is not).
bool MenuShows(HWND menu) {
    const RECT m = WindowRect(menu);
    const RECT edge{m.left, m.top, m.left + 1, m.bottom};
    const Screenshot shot = Screenshot::Capture(edge);
    for (int y = m.top; y < m.bottom; ++y)
        if (shot.At(m.left, y) != shot.At(m.left, m.top)) return false;
    return true;
}

// Opens a menu and waits until it shows. Under Wine a menu opened from the
// keyboard soon after the start is now and then never painted (its window
// is there and visible, the screen shows what lies under it; seen with
// PixGen's builds before the style took menus over as well): it is closed
// and opened again then.
HWND OpenMenu(const Pix& pix, void (*open)(const Pix&)) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        open(pix);
        const HWND menu = WaitForMenu(pix);
        if (WaitUntil([&] { return MenuShows(menu); }, 1500)) return menu;
        Note("the menu's window shows nothing on the screen: opened again");
        PressKey(VK_ESCAPE);
        WaitUntil([&] { return !IsWindowVisible(menu); }, kReactTimeout);
    }
    Fail("the menu never showed");
}

void CloseMenu(HWND menu) {
    PressKey(VK_ESCAPE);
    CHECK(WaitUntil([&] { return !IsWindowVisible(menu); }, kReactTimeout));
}

// The item under the pointer at p, highlighted in `hot`: its rectangle, or
// an empty one when nothing there is highlighted.
RECT HighlightAt(POINT p, COLORREF hot, DWORD waitMs) {
    // Over an open menu the pointer, under Wine, never stays where it was
    // sent as PointAt waits for, and a move may be lost: the move is sent
    // again (a pixel apart, so that it is a move) until the highlight shows.
    RECT band{};
    const DWORD start = GetTickCount();
    int moves = 0;
    WaitUntil([&] {
        if (moves == 0 || (GetTickCount() - start) / 250 >= static_cast<DWORD>(moves))
            MoveMouse({p.x - (moves++ % 2), p.y});
        const RECT column{p.x, std::max<LONG>(p.y - 200, 0), p.x + 1,
                          std::min<LONG>(p.y + 200, GetSystemMetrics(SM_CYSCREEN))};
        const Screenshot shot = Screenshot::Capture(column);
        if (shot.At(p) != hot) return false;
        int top = p.y, bottom = p.y + 1;
        while (top > column.top && shot.At(p.x, top - 1) == hot) --top;
        while (bottom < column.bottom && shot.At(p.x, bottom) == hot) ++bottom;
        band = {p.x, top, p.x + 1, bottom};
        return true;
    }, waitMs);
    if (IsRectEmpty(&band)) return band;
    const RECT row{std::max<LONG>(band.left - 400, 0), band.top,
                   std::min<LONG>(band.left + 400, GetSystemMetrics(SM_CXSCREEN)), band.top + 1};
    const Screenshot shot = Screenshot::Capture(row);
    while (band.left > row.left && shot.At(band.left - 1, band.top) == hot) --band.left;
    while (band.right < row.right && shot.At(band.right, band.top) == hot) ++band.right;
    return band;
}

// A column of an open menu right of every item's text.
int MarginColumn(HWND menu, int dpi) { return WindowRect(menu).right - Scaled(8, dpi); }

// The items of an open menu as a person finds them: the pointer goes down
// the menu, and each item under it is highlighted. A separator is not.
std::vector<RECT> HighlightedItems(HWND menu, COLORREF hot, int dpi) {
    const RECT m = WindowRect(menu);
    const int x = MarginColumn(menu, dpi);
    // An item is at least a line of text high: steps of a third of that
    // miss none, and pass over a separator or the border quickly.
    const int step = std::max(2, Scaled(4, dpi));
    std::vector<RECT> items;
    for (int y = m.top + 1; y < m.bottom - 1;) {
        const RECT band = HighlightAt({x, y}, hot, 250);
        if (IsRectEmpty(&band)) {
            y += step;
            continue;
        }
        items.push_back(band);
        y = band.bottom + 1;
    }
    return items;
}

// A line of the platform's menu font, scaled from the system's DPI to dpi as
// every measure is scaled: the height the style measures an item's text by.
int MenuLineHeight(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    REQUIRE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    const HDC screen = GetDC(nullptr);
    const int system = GetDeviceCaps(screen, LOGPIXELSY);
    LOGFONTW font = metrics.lfMenuFont;
    const int magnitude = font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
    const int scaled = (2 * magnitude * dpi + system) / (2 * system);
    font.lfHeight = font.lfHeight < 0 ? -scaled : scaled;
    const HFONT made = CreateFontIndirectW(&font);
    const HGDIOBJ old = SelectObject(screen, made);
    TEXTMETRICW text{};
    GetTextMetricsW(screen, &text);
    SelectObject(screen, old);
    DeleteObject(made);
    ReleaseDC(nullptr, screen);
    return text.tmHeight;
}

// PixGen whose field edtBoleto has a shortcut menu of another part of the
// program (tests/wine/style_hook.cpp), from a subclass installed after the
// style's.
struct PixWithOwnMenu {
    GlobalHook hook{RequiredEnvironment(L"PIX_STYLE_HOOK"), WH_CALLWNDPROC, "AddShortcutMenu"};
    Pix pix;
    explicit PixWithOwnMenu(const std::wstring& folder)
        : pix(Start(folder, 96, {{L"PIX_STYLE_HOOK_MENU", L"1"}})) {}
    // Opened from the keyboard (Shift+F10), below the field, with the
    // pointer away from it: a right click's release can reach a menu that
    // opens under the pointer and choose its first item.
    HWND Open() {
        return OpenMenu(pix, [](const Pix& p) {
            const HWND field = p.Control(ids::edtBoleto);
            Click(CenterOf(WindowRect(field)));
            REQUIRE(WaitUntil([&] { return p.Focus() == field; }, kReactTimeout));
            MoveMouse(CenterOf(WindowRect(p.Control(ids::Memo1))));
            PressKey(VK_F10, kShift);
        });
    }
};

}  // namespace

// A menu of another part of the program, with items the field's own menu
// has not, is drawn by the style whole: its border, every item highlighted
// under the pointer (the disabled one too, its text in the disabled
// colour), the check marks of the checked items. The menu is kept from one
// opening to the next, and is drawn so each time.
PIX_TEST(ShortcutMenuOfAnotherPart) {
    PixWithOwnMenu with(L"menu-of-another-part");
    struct Item {
        const char* name;
        bool checked, disabled;
    } const expected[] = {{"QR Code do Pix", false, false},
                          {"Marcado", true, false},
                          {"Escolhido (radio)", true, false},
                          {"Desligado", false, true}};
    for (int opening = 1; opening <= 2; ++opening) {
        Context context("opening " + std::to_string(opening));
        const HWND menu = with.Open();
        const RECT m = WindowRect(menu);
        CHECK_PIXEL((POINT{m.left, (m.top + m.bottom) / 2}), kBlack);
        CHECK_PIXEL((POINT{m.left + 1, (m.top + m.bottom) / 2}), kWhite);
        CHECK(HasColor(Screenshot::Capture(m), m, kMenuSeparator));
        const std::vector<RECT> items = HighlightedItems(menu, kMenuHot, with.pix.dpi);
        CHECK_EQ(items.size(), std::size(expected));
        for (std::size_t i = 0; i < std::min(items.size(), std::size(expected)); ++i) {
            Context row(expected[i].name);
            const RECT& r = items[i];
            const RECT hot = HighlightAt({MarginColumn(menu, with.pix.dpi), (r.top + r.bottom) / 2}, kMenuHot, 2000);
            REQUIRE(!IsRectEmpty(&hot));
            const Screenshot shot = Screenshot::Capture(r);
            const int markRight = r.left + Scaled(24, with.pix.dpi);
            const RECT mark{r.left, r.top, markRight, r.bottom}, text{markRight, r.top, r.right, r.bottom};
            const COLORREF ink = expected[i].disabled ? kGreyCaption : kBlack;
            CHECK(HasColor(shot, text, ink));
            if (expected[i].disabled) CHECK(!HasColor(shot, text, kBlack));
            CHECK_EQ(HasColor(shot, mark, ink), expected[i].checked);
        }
        CloseMenu(menu);
    }
    Close(with.pix);
}

// A shortcut menu's items and their font scale with the window's DPI: after
// a change to 144 DPI an item is as high as a line of the menu font at
// 144 DPI and its margins, as at 96 DPI before.
PIX_TEST(ShortcutMenuFontFollowsDpi) {
    PixWithOwnMenu with(L"menu-dpi");
    const RECT window96 = WindowRect(with.pix.main);
    for (int dpi : {96, 144}) {
        Context context(std::to_string(dpi) + " DPI");
        if (dpi != 96) ReportDpiChange(with.pix, dpi, window96);
        const HWND menu = with.Open();
        const RECT m = WindowRect(menu);
        const RECT first = HighlightAt({MarginColumn(menu, dpi), m.top + Scaled(8, dpi)}, kMenuHot, 2000);
        REQUIRE(!IsRectEmpty(&first));
        CHECK_EQ(Height(first), MenuLineHeight(dpi) + Scaled(8, dpi));
        CloseMenu(menu);
    }
    Close(with.pix);
}

// The system menu (Alt+Space) is the platform's, wholly: neither the
// style's border nor its highlight, rather than the one without the other.
PIX_TEST(SystemMenuWhollyThePlatforms) {
    Pix pix = Start(L"system-menu");
    const HWND menu = OpenMenu(pix, [](const Pix&) { PressKey(VK_SPACE, kAlt); });
    const RECT m = WindowRect(menu);
    const int midY = (m.top + m.bottom) / 2;
    const bool styledBorder = SettledAt({m.left, midY}, kBlack) == kBlack &&
                              SettledAt({m.left + 1, midY}, kWhite) == kWhite;
    const RECT hot = HighlightAt({MarginColumn(menu, pix.dpi), m.top + 10}, kMenuHot, 1000);
    const bool styledItems = !IsRectEmpty(&hot);
    Note(std::string("border ") + (styledBorder ? "styled" : "the platform's") + ", items " +
         (styledItems ? "styled" : "the platform's"));
    CHECK(!styledBorder);
    CHECK(!styledItems);
    CloseMenu(menu);
    PressKey(VK_ESCAPE);
    Close(pix);
}
