// Paths of loaded modules.
#pragma once

#include <windows.h>

#include <string>

namespace pix {

// The full path of a loaded module (null: the program file), whatever its
// length; empty when Windows cannot say.
std::wstring ModuleFileName(HMODULE module);

// The full path of the program file.
inline std::wstring ProgramPath() { return ModuleFileName(nullptr); }

}  // namespace pix
