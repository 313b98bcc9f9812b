#include "style/style_manager.h"

#include "base/core/failure.h"
#include "base/core/utf8.h"
#include "base/handles.h"
#include "base/text.h"
#include "style/core/style_data.h"
#include "style/engine.h"

namespace pix::style {

namespace {

BOOL CALLBACK AddName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) {
    if (!IS_INTRESOURCE(name)) reinterpret_cast<std::vector<std::wstring>*>(list)->push_back(name);
    return TRUE;
}

std::vector<std::wstring> RcDataNames(HMODULE module) {
    std::vector<std::wstring> names;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(10) /* RT_RCDATA */, &AddName, reinterpret_cast<LONG_PTR>(&names));
    return names;
}

[[noreturn]] void FailToLoad(const std::wstring& resourceName) {
    throw Failure(u"StyleError", u"Unable to load style '" + std::u16string(U16(resourceName)) + u"'");
}

bool SameNameForTheUser(std::u16string_view a, std::u16string_view b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, W(a.data()), static_cast<int>(a.size()),
                          W(b.data()), static_cast<int>(b.size())) == CSTR_EQUAL;
}

// The message box has an OK button; the hook, installed on this thread for
// the box's lifetime only, relabels it before it is first shown.
LRESULT CALLBACK RelabelOkAsClose(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        const auto box = reinterpret_cast<HWND>(wParam);
        wchar_t className[16] = {};
        GetClassNameW(box, className, 16);
        if (lstrcmpW(className, L"#32770") == 0) SetDlgItemTextW(box, IDOK, L"&Close");
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void ShowNotFound(const std::u16string& name) {
    const std::wstring text = L"Style '" + W(name) + L"' not found";
    const UniqueHook relabel(SetWindowsHookExW(WH_CBT, &RelabelOkAsClose, nullptr, GetCurrentThreadId()));
    // No owner: the box is centred on the screen and modal to the thread.
    MessageBoxW(nullptr, text.c_str(), L"Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

}  // namespace

TStyleManager::TStyleManager() = default;
TStyleManager::~TStyleManager() = default;

void TStyleManager::CollectCarriedStyles() {
    // Every RCDATA resource of the program is a style, listed under the name
    // it records; one that does not read stops the collection.
    const HMODULE module = GetModuleHandleW(nullptr);
    for (const std::wstring& resourceName : RcDataNames(module)) {
        const HRSRC found = FindResourceW(module, resourceName.c_str(), MAKEINTRESOURCEW(10));
        const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
        const void* data = loaded ? LockResource(loaded) : nullptr;
        const DWORD size = found ? SizeofResource(module, found) : 0;
        if (!data) FailToLoad(resourceName);
        const auto bytes = static_cast<const std::uint8_t*>(data);
        const auto info = ReadStyleInfo(bytes, size);
        if (!info.Ok()) FailToLoad(resourceName);
        carried_.push_back({resourceName, utf8::ToUtf16(info.value.name), bytes, size});
    }
}

bool TStyleManager::TryActivateStyle(const std::u16string& name, bool showErrorDialog) {
    if (!collected_) {
        // Once per process, whatever comes of it: a failed collection ends
        // the start-up anyway.
        collected_ = true;
        CollectCarriedStyles();
    }
    std::vector<std::u16string> names;
    for (const Carried& c : carried_) names.push_back(c.name);
    const int index = FindByName(names, name, &SameNameForTheUser);
    if (index < 0) {
        if (showErrorDialog) ShowNotFound(name);
        return false;
    }
    if (engine_ && index == active_) return true;
    const Carried& chosen = carried_[static_cast<std::size_t>(index)];
    const auto whole = ReadStyle(chosen.data, chosen.size);
    if (!whole.Ok()) FailToLoad(chosen.resourceName);
    auto look = BuildLook(whole.value);
    if (!look.Ok())
        throw Failure(u"StyleError", u"Style '" + name + u"': " + utf8::ToUtf16(look.error));
    if (engine_)
        engine_->Restyle(std::move(look.value));
    else
        engine_ = std::make_unique<TStyleEngine>(std::move(look.value));
    active_ = index;
    return true;
}

const Look* TStyleManager::ActiveLook() const noexcept { return engine_ ? &engine_->GetLook() : nullptr; }

}  // namespace pix::style
