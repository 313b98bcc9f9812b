// Libraries of the system folder, bound at run time: the one way this
// program and its libraries reach a function that not every supported
// Windows has (Vista is the oldest), or a library that is no KnownDLL and so
// could be stood in for by a copy planted beside the program.
//
// The library is loaded by its full path in the system folder, never through
// the search path, and its own imports are looked for there first. It stays
// loaded while its owner lives; a function bound from it is valid as long.
#pragma once

#include <windows.h>

#include <string>

#include "base/handles.h"

namespace pix {

// The full path of a file in the system folder; empty when Windows cannot say.
std::wstring SystemFolderPath(const wchar_t* fileName);

class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* fileName) noexcept;

    bool Loaded() const noexcept { return static_cast<bool>(module_); }
    // Why the load failed (GetLastError), 0 when it did not.
    DWORD LoadError() const noexcept { return loadError_; }

    // The function of that name as a Pointer (a function pointer type of the
    // caller's, from the platform's header where it has one), or null when
    // the library is not loaded or has no such function.
    template <class Pointer>
    Pointer Find(const char* name) const noexcept {
        if (!module_) return nullptr;
        // Through void(*)() so that the change of type is a plain cast.
        return reinterpret_cast<Pointer>(reinterpret_cast<void (*)()>(GetProcAddress(module_.Get(), name)));
    }

    // Binds function by name; false, and null, when it is missing.
    template <class Pointer>
    bool Bind(Pointer& function, const char* name) const noexcept {
        function = Find<Pointer>(name);
        return function != nullptr;
    }

private:
    UniqueLibrary module_;
    DWORD loadError_ = 0;
};

}  // namespace pix
