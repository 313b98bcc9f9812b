// Holds a Wine session's virtual desktop open between test programs: Wine
// closes a desktop, and its explorer, once no program uses it any more.
//
// It joins the prefix's default desktop, says "ready WIDTHxHEIGHT" on its
// standard output when the desktop exists, and then waits until it is
// killed (the harness ends the whole session with wineserver -k). It
// creates no window of its own, so the tests see nothing of it.
#include <windows.h>

#include <cstdio>

int main() {
    // Asking for the desktop window makes Wine create the desktop (its
    // explorer) if it does not exist yet.
    HWND desktop = GetDesktopWindow();
    RECT area{};
    GetWindowRect(desktop, &area);
    std::printf("ready %ldx%ld\n", area.right - area.left, area.bottom - area.top);
    std::fflush(stdout);
    for (;;) Sleep(INFINITE);
}
