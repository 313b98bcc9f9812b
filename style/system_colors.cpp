#include "style/system_colors.h"

#include <commctrl.h>

#include <atomic>

#include "style/paint.h"

namespace pix::style {

namespace {

// The platform's numbers of the system colours, in the order of
// kSystemColorKeys.
constexpr int kIndexOfKey[] = {
    COLOR_ACTIVEBORDER,   COLOR_ACTIVECAPTION, COLOR_BTNFACE,     COLOR_BTNHIGHLIGHT,       COLOR_BTNSHADOW,
    COLOR_BTNTEXT,        COLOR_CAPTIONTEXT,   COLOR_GRAYTEXT,    COLOR_HIGHLIGHT,          COLOR_HIGHLIGHTTEXT,
    COLOR_INACTIVEBORDER, COLOR_INACTIVECAPTION, COLOR_INACTIVECAPTIONTEXT, COLOR_INFOBK,   COLOR_INFOTEXT,
    COLOR_MENU,           COLOR_MENUTEXT,      COLOR_SCROLLBAR,   COLOR_3DDKSHADOW,         COLOR_3DLIGHT,
    COLOR_WINDOW,         COLOR_WINDOWFRAME,   COLOR_WINDOWTEXT};
static_assert(std::size(kIndexOfKey) == kSystemColorKeys.size(), "one number for each key");

// The replacements get no context of their own; GetSysColor may be asked
// from any thread of the process.
std::atomic<const SystemColorSubstitutes*> active{nullptr};

DWORD WINAPI SubstituteColor(int index) {
    const SystemColorSubstitutes* substitutes = active.load();
    return substitutes ? substitutes->ColorOf(index) : GetSysColor(index);
}

HBRUSH WINAPI SubstituteBrush(int index) {
    const SystemColorSubstitutes* substitutes = active.load();
    return substitutes ? substitutes->BrushOf(index) : GetSysColorBrush(index);
}

// The module whose controls the program's windows are: the common-controls
// library it is bound to (version 6, by its manifest).
HMODULE CommonControls() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(reinterpret_cast<void (*)()>(&InitCommonControlsEx)), &module);
    return module;
}

void WriteEntry(void** entry, void* value) noexcept {
    DWORD protection = 0;
    if (!VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &protection)) return;
    *entry = value;
    VirtualProtect(entry, sizeof *entry, protection, &protection);
}

// Points the module's bound imports of `function` (wherever the import says
// it comes from, an API set included) at `replacement`; the entries changed.
void RedirectImports(HMODULE module, void* function, void* replacement,
                     std::vector<std::pair<void**, void*>>& changed) {
    if (!module || !function) return;
    const auto base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return;
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) return;
    for (auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         import->Name != 0; ++import) {
        for (auto** entry = reinterpret_cast<void**>(const_cast<BYTE*>(base) + import->FirstThunk); *entry; ++entry) {
            if (*entry != function) continue;
            changed.emplace_back(entry, *entry);
            WriteEntry(entry, replacement);
        }
    }
}

// The common controls read the system colours they keep once, when they are
// loaded, and again when one of them is told of a change of the system's
// colours: a calendar made for the moment is told, so that they read the
// substitutes.
void RereadByTheControls() {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_DATE_CLASSES};
    InitCommonControlsEx(&classes);
    const UniqueWindow calendar(CreateWindowExW(0, MONTHCAL_CLASSW, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                                GetModuleHandleW(nullptr), nullptr));
    if (calendar) SendMessageW(calendar.Get(), WM_SYSCOLORCHANGE, 0, 0);
}

void* UserFunction(const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name));
}

}  // namespace

SystemColorSubstitutes::SystemColorSubstitutes(const Look& look) {
    Keep(look);
    active.store(this);
    const HMODULE controls = CommonControls();
    RedirectImports(controls, UserFunction("GetSysColor"), reinterpret_cast<void*>(&SubstituteColor), redirected_);
    RedirectImports(controls, UserFunction("GetSysColorBrush"), reinterpret_cast<void*>(&SubstituteBrush),
                    redirected_);
    RereadByTheControls();
}

SystemColorSubstitutes::~SystemColorSubstitutes() {
    for (auto it = redirected_.rbegin(); it != redirected_.rend(); ++it) WriteEntry(it->first, it->second);
    active.store(nullptr);
    RereadByTheControls();
}

void SystemColorSubstitutes::Take(const Look& look) {
    Keep(look);
    RereadByTheControls();
}

void SystemColorSubstitutes::Keep(const Look& look) {
    for (std::size_t i = 0; i < kSystemColorKeys.size(); ++i) {
        const int index = kIndexOfKey[i];
        substituted_[index] = true;
        colors_[index] = Ref(look.systemColors[i]);
        brushes_[index].Reset(CreateSolidBrush(colors_[index]));
    }
}

COLORREF SystemColorSubstitutes::ColorOf(int index) const noexcept {
    if (index >= 0 && index < kIndexes && substituted_[index]) return colors_[index];
    return GetSysColor(index);
}

HBRUSH SystemColorSubstitutes::BrushOf(int index) const noexcept {
    if (index >= 0 && index < kIndexes && substituted_[index] && brushes_[index]) return brushes_[index].Get();
    return GetSysColorBrush(index);
}

}  // namespace pix::style
