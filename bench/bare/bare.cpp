// The smallest comparable Win32 program: one window captioned "PIX" holding
// one edit control, built with PixGen's flags and manifest. Whatever PixGen
// takes beyond this to start is PixGen's own.
//
// Built twice: BareWindow.exe as it stands, and MandatoryTwin.exe
// (PIX_BENCH_MANDATORY) with exactly the work that every start of PixGen
// must do besides: Quelvano.dll bound by import, OLE initialised for the
// thread, the common controls' date classes and one date picker. What PixGen
// takes beyond the twin is what it could leave out.
#include <windows.h>

#if PIX_BENCH_MANDATORY
#  include <commctrl.h>
#  include <ole2.h>

#  include "pixlib/NewPix.h"
#endif

namespace {

#if PIX_BENCH_MANDATORY
// Taking the address binds the import: the loader must find Quelvano.dll and
// its NewPix before the program runs, as it must for PixGen. Never called.
const wchar_t*(PIX_STDCALL* volatile keepImport)(const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*,
                                                 const wchar_t*, const wchar_t*, const wchar_t*, double,
                                                 double) = &NewPix;
#endif

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showState) {
#if PIX_BENCH_MANDATORY
    const bool ole = SUCCEEDED(OleInitialize(nullptr));
    INITCOMMONCONTROLSEX dateClasses{sizeof dateClasses, ICC_DATE_CLASSES};
    if (!InitCommonControlsEx(&dateClasses)) return 1;
#endif
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"BareWindow";
    if (!RegisterClassExW(&windowClass)) return 1;
    const HWND window = CreateWindowExW(0, L"BareWindow", L"PIX", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                        CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 16, 16, 200,
                    21, window, nullptr, instance, nullptr);
#if PIX_BENCH_MANDATORY
    // Made like PixGen's due date.
    CreateWindowExW(WS_EX_CLIENTEDGE, DATETIMEPICK_CLASSW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | DTS_SHORTDATEFORMAT,
                    232, 16, 104, 21, window, nullptr, instance, nullptr);
#endif
    ShowWindow(window, showState);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
#if PIX_BENCH_MANDATORY
    if (ole) OleUninitialize();
#endif
    return static_cast<int>(message.wParam);
}
