// A stand-in for a system library left in a program's folder: it exports
// the names the bank library needs from winhttp.dll and crypt32.dll, does
// nothing, and, once loaded, leaves "<its own file>.loaded" beside itself
// as evidence.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    lstrcpyW(path + length, L".loaded");
    const HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    return TRUE;
}

// Every export: fails without touching its arguments.
extern "C" INT_PTR Planted() {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}
