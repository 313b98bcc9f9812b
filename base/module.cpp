#include "base/module.h"

namespace pix {

std::wstring ModuleFileName(HMODULE module) {
    // GetModuleFileNameW cuts silently at the buffer's end (and says so only
    // from Vista on): grow until the path fits with room to spare.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size() && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace pix
