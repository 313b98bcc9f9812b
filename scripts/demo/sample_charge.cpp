// Fills a running PixGen's form with a sample charge and presses "Gerar",
// so that scripts/run can show the program at work on a display nobody
// watches. Prints the window's screen rectangle as "x y width height".
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "form/control_ids.h"

namespace {

HWND WaitForWindow(const wchar_t* className, const wchar_t* caption, DWORD milliseconds) {
    for (DWORD waited = 0; waited < milliseconds; waited += 100) {
        if (HWND window = FindWindowW(className, caption)) return window;
        Sleep(100);
    }
    return nullptr;
}

void SetField(HWND panel, int id, const wchar_t* text) {
    SendMessageW(GetDlgItem(panel, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

}  // namespace

int wmain() {
    const HWND form = WaitForWindow(L"TForm1", L"PIX", 60000);
    if (!form) {
        std::fprintf(stderr, "no PixGen window\n");
        return 1;
    }
    const HWND panel = GetDlgItem(form, pix::ids::Panel1);
    SetField(panel, pix::ids::edtCodigoSolicitacaoBancoCentral, L"pix@empresa.com.br");
    SetField(panel, pix::ids::edtConvenio, L"3128557");
    SetField(panel, pix::ids::edtDeveloperApplicationKey, L"d27b77890affabc01364e17d80050c56b9a1");
    SetField(panel, pix::ids::edtClientId, L"eyJpZCI6IjgwNDNiNTMtZjQ5Mi00YyIsImNvZGlnbyI6MSwiY2xpZW50ZUlkIjoi");
    SetField(panel, pix::ids::edtClientSecret, L"eyJpZCI6IjBmZTkzYjQtOGJlNy00ZjAzLWJiNzMt");
    SetField(panel, pix::ids::edtBoleto, L"00031285570000104000");
    // The amount in the user's own decimal symbol, as a person would type it.
    wchar_t separator[8] = L".";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    wchar_t amount[32];
    swprintf(amount, 32, L"150%ls75", separator);
    SetField(panel, pix::ids::edtValor, amount);
    SendMessageW(GetDlgItem(form, pix::ids::Button2), BM_CLICK, 0, 0);
    RECT r;
    GetWindowRect(form, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
}
