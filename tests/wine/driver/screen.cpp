// The screen as the user sees it, read back pixel by pixel.
#include "tests/wine/driver/driver.h"

#include <cstdio>

namespace pixtest {

Screenshot Screenshot::Capture() {
    return Capture(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

Screenshot Screenshot::Capture(const RECT& screen) {
    Screenshot shot;
    shot.area_ = screen;
    const int width = Width(screen);
    const int height = Height(screen);
    if (width <= 0 || height <= 0) return shot;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;   // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;

    HDC screenDc = GetDC(nullptr);
    HDC memoryDc = CreateCompatibleDC(screenDc);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screenDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memoryDc && bitmap && bits) {
        HGDIOBJ previous = SelectObject(memoryDc, bitmap);
        BitBlt(memoryDc, 0, 0, width, height, screenDc, screen.left, screen.top, SRCCOPY);
        GdiFlush();
        const auto* pixels = static_cast<const std::uint32_t*>(bits);
        shot.pixels_.assign(pixels, pixels + static_cast<std::size_t>(width) * height);
        for (std::uint32_t& p : shot.pixels_) p &= 0x00FFFFFF;
        SelectObject(memoryDc, previous);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memoryDc) DeleteDC(memoryDc);
    ReleaseDC(nullptr, screenDc);
    if (shot.pixels_.empty()) throw Abort{"cannot capture the screen"};
    return shot;
}

COLORREF Screenshot::At(int x, int y) const {
    if (x < area_.left || x >= area_.right || y < area_.top || y >= area_.bottom)
        throw Abort{"pixel " + Show(POINT{x, y}) + " lies outside the captured " + Show(area_)};
    const std::uint32_t p =
        pixels_[static_cast<std::size_t>(y - area_.top) * Width(area_) + static_cast<std::size_t>(x - area_.left)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

bool Screenshot::Save(const std::wstring& path) const {
    const int width = Width(area_);
    const int height = Height(area_);
    if (pixels_.empty()) return false;
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;   // bottom row first, as BMP readers expect
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(rowBytes * height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
    std::string row(rowBytes, '\0');
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pixels_[static_cast<std::size_t>(y) * width + x];
            row[x * 3 + 0] = static_cast<char>(p & 0xFF);
            row[x * 3 + 1] = static_cast<char>((p >> 8) & 0xFF);
            row[x * 3 + 2] = static_cast<char>((p >> 16) & 0xFF);
        }
        bytes += row;
    }
    try {
        WriteFileBytes(path, bytes);
    } catch (const Abort&) {
        return false;
    }
    return true;
}

std::string ShowColor(COLORREF color) {
    char text[32];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(color), GetGValue(color), GetBValue(color));
    return text;
}

namespace {
bool SetLogPixels(DWORD dpi) noexcept {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    const LONG set = RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
}
}  // namespace

LogPixels::LogPixels(DWORD dpi) {
    if (!SetLogPixels(dpi)) throw Abort{"cannot set HKCU\\Control Panel\\Desktop\\LogPixels"};
}

LogPixels::~LogPixels() {
    if (!SetLogPixels(96)) Note("could not set LogPixels back to 96");
}

}  // namespace pixtest
