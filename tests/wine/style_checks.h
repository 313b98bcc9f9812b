// What the style's end-to-end tests share: the style's colours and measures
// as the tests expect them, PixGen started for them, where its frame's parts
// lie, and the pixels read back.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/wine/driver/driver.h"

namespace pixtest {

// The style's measures at 96 DPI, scaled as the program scales them.
inline int Scaled(int value, int dpi) { return (value * dpi * 2 + 96) / (96 * 2); }

inline constexpr COLORREF kActiveTopLine = RGB(73, 105, 151), kActiveOutline = RGB(131, 172, 184),
                          kActiveBand = RGB(230, 230, 230), kInactiveTopLine = RGB(218, 221, 226),
                          kInactiveOutline = RGB(230, 230, 230), kInactiveBand = RGB(204, 204, 204),
                          kBorderFill = RGB(243, 243, 243), kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255),
                          kGreyCaption = RGB(128, 128, 128), kInactiveGlyph = RGB(122, 122, 122),
                          kButtonHot = RGB(207, 207, 207), kButtonPressed = RGB(184, 184, 184),
                          kCloseHot = RGB(227, 65, 62), kClosePressed = RGB(201, 79, 77), kTeal = RGB(0, 96, 96),
                          kGrey = RGB(153, 153, 153), kGerarNormal = RGB(204, 204, 204),
                          kGerarPressed = RGB(127, 175, 175), kClient = RGB(243, 243, 243);

struct Pix : RecordedPixGen {
    int dpi = 96;
};

// PixGen with the recording library, its window shown and in front, the
// pointer away from where it opens.
Pix Start(const std::wstring& folder, int dpi = 96,
          const std::vector<std::pair<std::wstring, std::wstring>>& environment = {});

// Where the frame's parts lie, from the window's rectangles.
struct Frame {
    RECT window{}, client{};
    int dpi = 96;
    int Title() const { return client.top - window.top; }
    int Border() const { return client.left - window.left; }
    int MidX() const { return (window.left + window.right) / 2; }
    int BandY() const { return (window.top + Scaled(1, dpi) + client.top) / 2; }
    // The system buttons from the right: 0 close, 1 maximise, 2 minimise;
    // their edges scaled like every other edge.
    RECT Button(int index) const {
        const int width = Scaled(46, dpi);
        return {window.right - width * (index + 1), window.top + Scaled(1, dpi), window.right - width * index,
                window.top + Scaled(32, dpi)};
    }
};
Frame FrameOf(const Pix& pix);

bool HasColor(const Screenshot& shot, const RECT& area, COLORREF color);

// The colour at a point once it has settled to the expected one, or the last seen.
COLORREF SettledAt(POINT p, COLORREF expected);
#define CHECK_PIXEL(point, expected) \
    CHECK_EQ(::pixtest::ShowColor(::pixtest::SettledAt((point), (expected))), ::pixtest::ShowColor(expected))

// The visible pop-up menu of PixGen's GUI thread, as soon as it shows.
HWND WaitForMenu(const Pix& pix);

// Moves the pointer and waits until it stays there.
void PointAt(POINT p);

// A change of DPI as the platform reports it: it asks the window for its
// size at the new DPI, then proposes that size at the window's place of
// window96. The window's answer to the question: 0 when it left the size to
// the platform.
DWORD_PTR ReportDpiChange(Pix& pix, int dpi, const RECT& window96);

}  // namespace pixtest
