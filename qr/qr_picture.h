// The code and its QR Code leaving the program: the clipboard and PNG files.
// A call that cannot do its job raises a Failure (the failure dialog).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "qr/core/qr_symbol.h"

namespace pix::qr {

// The text on the clipboard as Unicode text, in place of what was there.
void CopyText(HWND owner, std::u16string_view text);

// The picture on the clipboard as a device-independent bitmap, bottom row
// first as every program reads one; the platform offers it as a bitmap too.
void CopyPicture(HWND owner, const Picture& picture);

// Where the user wants the PNG file, asked with the platform's save
// dialog; nothing when the user cancels.
std::optional<std::wstring> AskWhereToSavePng(HWND owner);

// The picture as a PNG file at path, written by the platform's imaging
// component (WIC). Nothing is left at path when writing fails.
void SavePng(const std::wstring& path, const Picture& picture);

}  // namespace pix::qr
