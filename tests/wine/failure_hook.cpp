// A hook library for the start-up failure test: installed as a global CBT
// hook by the test, it is loaded into every process of the desktop that
// creates a window, and refuses the creation of PixGen's main window (class
// TForm1), so that building the main window fails the way it would on a
// system out of window resources. PixGen itself is not changed in any way.
#include <windows.h>

extern "C" __declspec(dllexport) LRESULT CALLBACK RefuseMainWindow(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        wchar_t name[64] = {};
        GetClassNameW(reinterpret_cast<HWND>(wParam), name, 64);
        if (lstrcmpW(name, L"TForm1") == 0) return 1;  // non-zero: the window is not created
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
