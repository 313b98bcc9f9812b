// A program file's resources rewritten with the Windows resource-update
// functions: all of them read, then written back but for the change.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/wine/driver/driver.h"

namespace pixtest {

namespace {

struct Resource {
    std::wstring type, name;  // "#n" for a numbered one
    WORD language = 0;
    std::string data;
};

LPCWSTR Id(const std::wstring& id) {
    return id[0] == L'#' ? MAKEINTRESOURCEW(std::stoi(id.substr(1))) : id.c_str();
}
std::wstring IdText(LPCWSTR id) {
    return IS_INTRESOURCE(id) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(id)) : std::wstring(id);
}

struct Walk {
    std::vector<Resource>* all;
    std::wstring type, name;
};

BOOL CALLBACK AddLanguage(HMODULE m, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR w) {
    auto* walk = reinterpret_cast<Walk*>(w);
    const HRSRC found = FindResourceExW(m, type, name, language);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(m, found)));
    walk->all->push_back({walk->type, walk->name, language, std::string(bytes, SizeofResource(m, found))});
    return TRUE;
}

BOOL CALLBACK AddName(HMODULE m, LPCWSTR type, LPWSTR name, LONG_PTR w) {
    reinterpret_cast<Walk*>(w)->name = IdText(name);
    EnumResourceLanguagesW(m, type, name, &AddLanguage, w);
    return TRUE;
}

BOOL CALLBACK AddType(HMODULE m, LPWSTR type, LONG_PTR w) {
    reinterpret_cast<Walk*>(w)->type = IdText(type);
    EnumResourceNamesW(m, type, &AddName, w);
    return TRUE;
}

// Every resource of a program file, with its data.
std::vector<Resource> ResourcesOf(const std::wstring& exe) {
    const HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    REQUIRE(module != nullptr);
    std::vector<Resource> all;
    Walk walk{&all, {}, {}};
    EnumResourceTypesW(module, &AddType, reinterpret_cast<LONG_PTR>(&walk));
    FreeLibrary(module);
    return all;
}

}  // namespace

void RewriteStyleResource(const std::wstring& exe, StyleResource change) {
    const bool remove = change == StyleResource::Removed;
    std::vector<Resource> all = ResourcesOf(exe);
    bool found = false;
    const HANDLE update = BeginUpdateResourceW(exe.c_str(), TRUE);  // all existing ones go
    REQUIRE(update != nullptr);
    for (Resource& r : all) {
        if (r.type == L"#10" && r.name == L"WINDOWSCORVANTI") {
            found = true;
            if (remove) continue;
            r.data[r.data.size() / 2] ^= 0x40;
        }
        CHECK(UpdateResourceW(update, Id(r.type), Id(r.name), r.language, r.data.data(),
                              static_cast<DWORD>(r.data.size())));
    }
    REQUIRE(EndUpdateResourceW(update, FALSE));
    REQUIRE(found);
    // What the program will find.
    const HMODULE check = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    REQUIRE(check != nullptr);
    const bool present = FindResourceW(check, L"WINDOWSCORVANTI", MAKEINTRESOURCEW(10)) != nullptr;
    const bool icon = FindResourceW(check, L"MAINICON", MAKEINTRESOURCEW(14)) != nullptr;
    FreeLibrary(check);
    REQUIRE_EQ(present, !remove);
    REQUIRE(icon);
}

std::string StyleResourceBytes(const std::wstring& exe) {
    for (const Resource& r : ResourcesOf(exe))
        if (r.type == L"#10" && r.name == L"WINDOWSCORVANTI") return r.data;
    throw Abort{"no WINDOWSCORVANTI in " + Utf8(exe)};
}

void AddRcData(const std::wstring& exe, const std::wstring& name, const std::string& data) {
    const HANDLE update = BeginUpdateResourceW(exe.c_str(), FALSE);  // the existing ones stay
    REQUIRE(update != nullptr);
    std::string bytes = data;
    CHECK(UpdateResourceW(update, MAKEINTRESOURCEW(10), name.c_str(), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                          bytes.data(), static_cast<DWORD>(bytes.size())));
    REQUIRE(EndUpdateResourceW(update, FALSE));
}

}  // namespace pixtest
