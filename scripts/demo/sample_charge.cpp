// Starts PixGen, fills its form with a sample charge and presses "Gerar", so
// that scripts/run can show the program at work on a display nobody watches.
// PixGen keeps running; its window's screen rectangle goes to the file named
// second, as "x y width height" (not to standard output, which PixGen would
// inherit under Wine and keep open).
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "form/core/control_ids.h"
#include "tests/fixtures/sample_charge.h"

namespace {

struct Found {
    DWORD process;
    HWND window;
};

BOOL CALLBACK FindPixWindow(HWND window, LPARAM context) {
    auto* found = reinterpret_cast<Found*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t caption[8] = {};
    GetWindowTextW(window, caption, 8);
    if (process == found->process && IsWindowVisible(window) && std::wcscmp(caption, L"PIX") == 0) {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForWindow(DWORD process) {
    Found found{process, nullptr};
    for (int tries = 0; tries < 600 && !found.window; ++tries) {
        Sleep(100);
        EnumWindows(&FindPixWindow, reinterpret_cast<LPARAM>(&found));
    }
    return found.window;
}

void SetField(HWND panel, int id, const wchar_t* text) {
    SendMessageW(GetDlgItem(panel, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: sample_charge PixGen.exe RECT-FILE\n");
        return 2;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(argv[1], nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        std::fprintf(stderr, "cannot start PixGen (error %lu)\n", GetLastError());
        return 1;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    const HWND form = WaitForWindow(started.dwProcessId);
    if (!form) {
        std::fprintf(stderr, "no PixGen window\n");
        return 1;
    }
    const HWND panel = GetDlgItem(form, pix::ids::Panel1);
    for (const pix::sample::Field& field : pix::sample::kCharge)
        SetField(panel, field.id, reinterpret_cast<const wchar_t*>(field.text));
    // The amount in the user's own decimal symbol, as a person would type it.
    wchar_t separator[8] = L".";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    wchar_t amount[32];
    swprintf(amount, 32, L"%ls%ls%ls", reinterpret_cast<const wchar_t*>(pix::sample::kValorUnits), separator,
             reinterpret_cast<const wchar_t*>(pix::sample::kValorHundredths));
    SetField(panel, pix::ids::edtValor, amount);
    SendMessageW(GetDlgItem(form, pix::ids::Button2), BM_CLICK, 0, 0);
    RECT r;
    GetWindowRect(form, &r);
    FILE* out = _wfopen(argv[2], L"w");
    if (!out) return 1;
    std::fprintf(out, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    std::fclose(out);
    return 0;
}
