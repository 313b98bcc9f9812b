// A hook library for the style tests. It stands in for another part of the
// program that gives a field a shortcut menu of its own through a subclass
// installed after the style's, with items the field's own menu does not
// have. The test installs AddShortcutMenu as a global WH_CALLWNDPROC hook;
// in a process whose environment has PIX_STYLE_HOOK_MENU=1 it subclasses the
// field edtBoleto at the first message sent to it. That subclass answers
// WM_CONTEXTMENU with its own menu, tracked with the field as its owner:
// "QR Code do Pix", a checked item, a radio-checked item, a separator and a
// disabled item. The menu is made once and kept from one opening to the
// next, as such a part of the program would keep it.
#include <windows.h>
#include <commctrl.h>

#include "form/core/control_ids.h"

namespace {

constexpr UINT_PTR kSubclassId = 0x51524358;  // "QRCX"

bool Wanted() {
    wchar_t value[8] = {};
    return GetEnvironmentVariableW(L"PIX_STYLE_HOOK_MENU", value, 8) == 1 && value[0] == L'1';
}

HMENU OwnMenu() {
    static const HMENU menu = [] {
        const HMENU m = CreatePopupMenu();
        AppendMenuW(m, MF_STRING, 101, L"QR Code do Pix");
        AppendMenuW(m, MF_STRING | MF_CHECKED, 102, L"Marcado");
        AppendMenuW(m, MF_STRING, 103, L"Escolhido");
        CheckMenuRadioItem(m, 103, 103, 103, MF_BYCOMMAND);
        AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(m, MF_STRING | MF_GRAYED, 104, L"Desligado");
        return m;
    }();
    return menu;
}

LRESULT CALLBACK FieldWithOwnMenu(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_CONTEXTMENU) {
        POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (lParam == -1) {
            RECT r{};
            GetWindowRect(window, &r);
            at = {r.left + 4, r.bottom};
        }
        TrackPopupMenu(OwnMenu(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y, 0,
                       window, nullptr);
        return 0;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(window, &FieldWithOwnMenu, kSubclassId);
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK AddShortcutMenu(int code, WPARAM wParam, LPARAM lParam) {
    static bool installed = false;
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && !installed && GetDlgCtrlID(sent->hwnd) == pix::ids::edtBoleto && Wanted()) {
        wchar_t className[16] = {};
        GetClassNameW(sent->hwnd, className, 16);
        if (lstrcmpiW(className, L"Edit") == 0) {
            // The subclass outlives the hook: the library stays in the process.
            HMODULE self = nullptr;
            GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                               reinterpret_cast<LPCWSTR>(&FieldWithOwnMenu), &self);
            installed = SetWindowSubclass(sent->hwnd, &FieldWithOwnMenu, kSubclassId, 0) != FALSE;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
