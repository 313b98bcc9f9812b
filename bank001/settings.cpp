#include "bank001/settings.h"

#include <windows.h>

#include <string>

#include "base/core/utf8.h"
#include "base/module.h"

namespace bank001 {

namespace {

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

std::string Value(const std::wstring& file, const wchar_t* key) {
    wchar_t buffer[2048];
    const DWORD n = GetPrivateProfileStringW(L"bank001", key, L"", buffer, 2048, file.c_str());
    return pix::utf8::FromUtf16(std::u16string(reinterpret_cast<const char16_t*>(buffer), n));
}

}  // namespace

IniValues ReadIni() {
    IniValues ini;
    const std::wstring folder = OwnFolder();
    if (folder.empty()) return ini;
    const std::wstring file = folder + L"Quelvano.ini";
    if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) return ini;
    ini.environment = Value(file, L"environment");
    ini.oauthUrl = Value(file, L"oauth_url");
    ini.apiUrl = Value(file, L"api_url");
    ini.appKeyParam = Value(file, L"app_key_param");
    ini.timeoutMs = Value(file, L"timeout_ms");
    ini.clientCertificate = Value(file, L"client_certificate");
    return ini;
}

}  // namespace bank001
