#pragma once

// One text argument of NewPix, with the name the answers use for it.
namespace quelvano {
struct Argument {
    const char* name;
    const wchar_t* chars;
};
}  // namespace quelvano
