// The QR Code of a PIX code: the symbol, its size on the screen, and its
// picture for the clipboard and files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/core/result.h"

namespace pix::qr {

// The light margin every reader needs around the symbol, in modules.
inline constexpr int kQuietZone = 4;
// The most bytes a QR Code holds in byte mode at error correction level M
// (version 40).
inline constexpr std::size_t kMaxBytes = 2331;

// A symbol: size x size modules, without the quiet zone.
struct QrSymbol {
    int size = 0;
    std::vector<std::uint8_t> dark;  // row by row, 1 for a dark module

    bool Dark(int x, int y) const noexcept {
        return x >= 0 && y >= 0 && x < size && y < size && dark[static_cast<std::size_t>(y) * size + x] != 0;
    }
    // Modules across, the quiet zone on both sides included.
    int Span() const noexcept { return size + 2 * kQuietZone; }
};

// The QR Code of these bytes, exactly as they are: byte mode, error
// correction level M (never raised, so a reader sees what was asked for),
// the smallest version that holds them, the mask by the standard's penalty
// rule. Fails, with a message for the user, when they do not fit.
Result<QrSymbol> EncodeQrCode(std::string_view bytes);

// --- on the screen ---------------------------------------------------------

// The side of the QR Code's picture, quiet zone included, that the window
// aims at, at 96 DPI.
inline constexpr int kDesignPictureSide = 264;

// Whole pixels per module at the DPI, so that every module is crisp: the
// most that lets a symbol of `span` modules (quiet zone included) fit the
// design side at 96 DPI, at least one, then scaled to the DPI by the
// program's one rounding. Consistent across DPIs: what is 4 at 96 DPI is 6
// at 144 and 8 at 192.
int ModulePixels(int span, int dpi) noexcept;

// --- as a picture --------------------------------------------------------------

// Pixels per module of the picture on the clipboard and in a PNG file: big
// enough to print or to show on another screen.
inline constexpr int kPictureModulePixels = 8;

// The symbol and its quiet zone as 24-bit pixels, blue, green, red, each
// row padded to four bytes, the top row first; black on white.
struct Picture {
    int width = 0, height = 0;
    std::size_t stride = 0;  // bytes from one row to the next
    std::vector<std::uint8_t> pixels;

    const std::uint8_t* Row(int y) const noexcept { return pixels.data() + static_cast<std::size_t>(y) * stride; }
};
Picture PictureOf(const QrSymbol& symbol, int modulePixels);

}  // namespace pix::qr
