#include "base/system_library.h"

namespace pix {

std::wstring SystemFolderPath(const wchar_t* fileName) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(folder, length) + L'\\' + fileName;
}

SystemLibrary::SystemLibrary(const wchar_t* fileName) noexcept {
    try {
        const std::wstring path = SystemFolderPath(fileName);
        if (path.empty()) {
            loadError_ = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
            return;
        }
        // The altered search path starts at the library's own folder, so its
        // imports come from the system folder too, not from beside the program.
        module_.Reset(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
        if (!module_) loadError_ = GetLastError();
    } catch (...) {
        loadError_ = ERROR_NOT_ENOUGH_MEMORY;  // the path's string
    }
}

}  // namespace pix
