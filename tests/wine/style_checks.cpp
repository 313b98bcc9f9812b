#include "tests/wine/style_checks.h"

#include "win/dpi.h"

namespace pixtest {

Pix Start(const std::wstring& folder, int dpi,
          const std::vector<std::pair<std::wstring, std::wstring>>& environment) {
    // Away from where the window will be: a pointer left over its close
    // button by an earlier test would make the button hot from the start.
    MoveMouse({GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2});
    Pix pix{StartRecorded(folder, Layout(), environment)};
    pix.dpi = dpi;
    REQUIRE(Responds(pix.main));
    REQUIRE(BringToFront(pix.main));
    return pix;
}

Frame FrameOf(const Pix& pix) {
    Frame f;
    f.window = WindowRect(pix.main);
    f.client = ClientRectOnScreen(pix.main);
    f.dpi = pix.dpi;
    return f;
}

bool HasColor(const Screenshot& shot, const RECT& area, COLORREF color) {
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (shot.At(x, y) == color) return true;
    return false;
}

COLORREF SettledAt(POINT p, COLORREF expected) {
    COLORREF seen = CLR_INVALID;
    WaitUntil([&] { return (seen = Screenshot::Capture({p.x, p.y, p.x + 1, p.y + 1}).At(p)) == expected; }, 2000);
    return seen;
}

HWND WaitForMenu(const Pix& pix) {
    HWND menu = nullptr;
    REQUIRE(WaitUntil([&] {
        for (HWND w : ThreadWindows(pix.process.ThreadId()))
            if (ClassName(w) == L"#32768" && IsWindowVisible(w)) menu = w;
        return menu != nullptr;
    }, kReactTimeout));
    Pause(200);
    return menu;
}

// In the virtual desktop the platform's own pointer moves are echoed back
// late from the X server, and an echo may put the pointer back where it was:
// it is sent again then.
void PointAt(POINT p) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        MoveMouse(p);
        bool stayed = true;
        for (int look = 0; look < 4 && stayed; ++look) {
            Pause(25);
            POINT now{};
            GetCursorPos(&now);
            stayed = now.x == p.x && now.y == p.y;
        }
        if (stayed) return;
    }
    Note("the pointer does not stay at " + Show(p));
}

DWORD_PTR ReportDpiChange(Pix& pix, int dpi, const RECT& window96) {
    RemoteBuffer size(pix.process.Handle(), sizeof(SIZE));
    SIZE wanted{Width(window96), Height(window96)};
    size.Write(&wanted, sizeof wanted);
    DWORD_PTR answered = 0;
    REQUIRE(SendMessageTimeoutW(pix.main, pix::kWmGetDpiScaledSize, static_cast<WPARAM>(dpi), size.Address(),
                                SMTO_ABORTIFHUNG, kReactTimeout, &answered));
    size.Read(&wanted, sizeof wanted);
    const RECT proposed{window96.left, window96.top, window96.left + wanted.cx, window96.top + wanted.cy};
    RemoteBuffer rect(pix.process.Handle(), sizeof(RECT));
    rect.Write(&proposed, sizeof proposed);
    DWORD_PTR ignored = 0;
    REQUIRE(SendMessageTimeoutW(pix.main, pix::kWmDpiChanged, MAKEWPARAM(dpi, dpi), rect.Address(),
                                SMTO_ABORTIFHUNG, kReactTimeout, &ignored));
    REQUIRE(Responds(pix.main));
    pix.dpi = dpi;
    return answered;
}

}  // namespace pixtest
