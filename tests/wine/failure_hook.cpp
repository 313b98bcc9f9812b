// A hook library for the failure tests. The test installs its procedures as
// global hooks; Windows then loads it into every process of the desktop that
// makes windows, PixGen among them, which itself is not changed in any way.
// - RefuseMainWindow (WH_CBT) refuses the creation of PixGen's main window
//   (class TForm1), so that building it fails as on a system out of window
//   resources: a start-up failure.
// - LogCreation (WH_CBT) and LogCancelMode (WH_CALLWNDPROC) write, in a
//   process whose environment names a file in PIX_HOOK_LOG, one line for each
//   window created ("create <class>") and for each WM_CANCELMODE sent
//   ("cancelmode <class> <control id>"), in the order they happen.
#include <windows.h>

#include <string>

namespace {

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

void Log(const std::wstring& line) {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"PIX_HOOK_LOG", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    const HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string bytes;
    for (wchar_t c : line) bytes += c < 0x80 ? static_cast<char>(c) : '?';
    bytes += '\n';
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK RefuseMainWindow(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && ClassOf(reinterpret_cast<HWND>(wParam)) == L"TForm1")
        return 1;  // non-zero: the window is not created
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK LogCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) Log(L"create " + ClassOf(reinterpret_cast<HWND>(wParam)));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK LogCancelMode(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == WM_CANCELMODE)
        Log(L"cancelmode " + ClassOf(sent->hwnd) + L" " + std::to_wstring(GetDlgCtrlID(sent->hwnd)));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
