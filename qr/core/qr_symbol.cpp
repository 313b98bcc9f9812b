#include "qr/core/qr_symbol.h"

#include <qrcodegen.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "base/core/dpi.h"
#include "base/core/utf8.h"

namespace pix::qr {

namespace {

std::u16string Digits(std::size_t n) {
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace

Result<QrSymbol> EncodeQrCode(std::string_view bytes) {
    const auto tooLong = [&] {
        // Written in UTF-16 and encoded by the one codec: a u8 literal is of
        // char8_t in C++20, and a plain one is in the compiler's own set.
        return Result<QrSymbol>::Failed(utf8::FromUtf16(u"O c\u00f3digo tem " + Digits(bytes.size()) +
                                                        u" bytes: mais do que cabe num QR Code com corre\u00e7\u00e3o "
                                                        u"de erros de n\u00edvel M (at\u00e9 " + Digits(kMaxBytes) +
                                                        u" bytes)."));
    };
    // The library works in two buffers of its own size and allocates nothing;
    // it says itself what does not fit.
    std::array<std::uint8_t, qrcodegen_BUFFER_LEN_MAX> data{}, code{};
    if (bytes.size() > data.size()) return tooLong();
    std::memcpy(data.data(), bytes.data(), bytes.size());
    if (!qrcodegen_encodeBinary(data.data(), bytes.size(), code.data(), qrcodegen_Ecc_MEDIUM, qrcodegen_VERSION_MIN,
                                qrcodegen_VERSION_MAX, qrcodegen_Mask_AUTO, false))
        return tooLong();
    QrSymbol symbol;
    symbol.size = qrcodegen_getSize(code.data());
    symbol.dark.resize(static_cast<std::size_t>(symbol.size) * symbol.size);
    for (int y = 0; y < symbol.size; ++y)
        for (int x = 0; x < symbol.size; ++x)
            symbol.dark[static_cast<std::size_t>(y) * symbol.size + x] = qrcodegen_getModule(code.data(), x, y) ? 1 : 0;
    return Result<QrSymbol>{std::move(symbol), {}};
}

int ModulePixels(int span, int dpi) noexcept {
    const int design = span > 0 ? std::max(1, kDesignPictureSide / span) : 1;
    return std::max(1, dpi::FromDesign(design, dpi));
}

Picture PictureOf(const QrSymbol& symbol, int modulePixels) {
    Picture picture;
    picture.width = picture.height = symbol.Span() * modulePixels;
    picture.stride = (static_cast<std::size_t>(picture.width) * 3 + 3) / 4 * 4;
    picture.pixels.assign(picture.stride * static_cast<std::size_t>(picture.height), 0xFF);
    for (int y = 0; y < picture.height; ++y) {
        std::uint8_t* row = picture.pixels.data() + static_cast<std::size_t>(y) * picture.stride;
        const int moduleY = y / modulePixels - kQuietZone;
        for (int x = 0; x < picture.width; ++x)
            if (symbol.Dark(x / modulePixels - kQuietZone, moduleY)) std::memset(row + 3 * x, 0, 3);
    }
    return picture;
}

}  // namespace pix::qr
