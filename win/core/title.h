#pragma once

#include <string>
#include <string_view>

namespace pix {

// What follows the last "\\" of a path: the file name without directory.
std::u16string_view FileNameOf(std::u16string_view path);

// Lower-cases count code units in place (on Windows: CharLowerBuffW).
using LowerCaseFn = void (*)(char16_t* text, std::size_t count);

// The application title: the program file's name after the last "\", cut at
// its first ".", everything after the first character lower-cased.
std::u16string ApplicationTitle(std::u16string_view programPath, LowerCaseFn lower);

}  // namespace pix
