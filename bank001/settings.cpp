#include "bank001/settings.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/core/utf8.h"
#include "base/module.h"

namespace bank001 {

namespace {

// A section larger than this is no settings file of ours.
constexpr DWORD kLargestSection = 1 << 20;

// The folder of the module that holds this function, with a trailing backslash.
std::wstring OwnFolder() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&OwnFolder), &module))
        return {};
    const std::wstring path = pix::ModuleFileName(module);
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

}  // namespace

pix::Result<IniValues> ReadIni() {
    const std::wstring folder = OwnFolder();
    if (folder.empty()) return {};
    const std::wstring file = folder + L"Quelvano.ini";
    if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) return {};
    // The whole section in one read: its lines, each ending in '\0'. A
    // buffer too small is filled up to two characters from its end.
    std::vector<wchar_t> buffer(8192);
    DWORD length = 0;
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        length = GetPrivateProfileSectionW(L"bank001", buffer.data(), size, file.c_str());
        if (length + 2 < size) break;
        if (size >= kLargestSection) return pix::Result<IniValues>::Failed("Quelvano.ini: a seção [bank001] é grande demais.");
        buffer.resize(buffer.size() * 2);
    }
    return ParseIniSection(
        pix::utf8::FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(buffer.data()), length)));
}

}  // namespace bank001
