#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "base/core/utf8.h"
#include "qr/core/pix_line.h"
#include "qr/core/qr_layout.h"
#include "qr/core/qr_symbol.h"

namespace {

using pix::qr::EncodeQrCode;
using pix::qr::LayOutQrWindow;
using pix::qr::LineOfSelection;
using pix::qr::ModulePixels;
using pix::qr::PictureOf;
using pix::qr::PixCodeAt;
using pix::qr::QrSymbol;

// --- the line of the caret or the selection ---------------------------------------------

// Lines at 0 ("first"), 7 ("sec\rond\nline"), 21 (empty) and 23 ("last"),
// the breaks at 5, 19 and 21.
constexpr std::u16string_view kText = u"first\r\nsec\rond\nline\r\n\r\nlast";

TEST(PixLine, TheLineOfTheCaretOrOfASelectionWithinOneLine) {
    const struct {
        const char* name;
        std::size_t start, end;
        std::optional<std::u16string_view> line;
    } cases[] = {
        {"caret at the very start", 0, 0, u"first"},
        {"caret inside the first line", 3, 3, u"first"},
        {"caret at the end of a line, before its break", 5, 5, u"first"},
        {"caret at the start of the next line", 7, 7, u"sec\rond\nline"},
        {"a lone CR and LF stay inside their line", 12, 12, u"sec\rond\nline"},
        {"a selection inside one line", 8, 15, u"sec\rond\nline"},
        {"a whole line with the break after it", 7, 21, u"sec\rond\nline"},
        {"the selection given end first", 15, 8, u"sec\rond\nline"},
        {"an empty line", 21, 21, u""},
        {"caret at the end of the text", 27, 27, u"last"},
        {"positions beyond the text", 100, 200, u"last"},
        {"a selection from one line into the next", 3, 9, std::nullopt},
        {"a line and the break of the next", 7, 22, std::nullopt},
        {"everything", 0, 27, std::nullopt},
        {"a caret between the CR and the LF of a break", 6, 6, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(LineOfSelection(kText, c.start, c.end), c.line) << c.name;
    EXPECT_EQ(LineOfSelection(u"", 0, 0), std::u16string_view());
}

TEST(PixLine, ACodeOnlyWhereTheLineIsOne) {
    const std::u16string code = pix::utf8::ToUtf16(
        "00020126580014br.gov.bcb.pix0136123e4567-e12b-12d1-a456-4266554400005204000053039865802BR"
        "5913Fulano de Tal6008BRASILIA62070503***63041D3D");
    const std::u16string text = u"Pix copia e cola do boleto 1:\r\n" + code + u"\r\nTxId: X\r\n";
    const std::size_t at = text.find(code);
    EXPECT_EQ(PixCodeAt(text, at + 10, at + 10), code);
    EXPECT_EQ(PixCodeAt(text, at, at + code.size() + 2), code);
    EXPECT_EQ(PixCodeAt(text, 3, 3), std::nullopt);
    EXPECT_EQ(PixCodeAt(text, at + 10, text.size()), std::nullopt);
    // The line with one character more is no code.
    EXPECT_EQ(PixCodeAt(u" " + code, 5, 5), std::nullopt);
}

// --- the symbol ----------------------------------------------------------------------------

// The format information as the standard places it around the top-left
// finder pattern, most significant bit first read from (8, 0) down.
int FormatBits(const QrSymbol& s) {
    int bits = 0;
    const auto take = [&](int x, int y) { bits = bits << 1 | (s.Dark(x, y) ? 1 : 0); };
    for (int x = 0; x <= 5; ++x) take(x, 8);
    take(7, 8);
    take(8, 8);
    take(8, 7);
    for (int y = 5; y >= 0; --y) take(8, y);
    return bits;
}

TEST(QrSymbol, ByteModeAtLevelMInTheSmallestVersion) {
    // Version 1 at level M holds 14 bytes and 34 digits: 15 digits need
    // version 2 in byte mode, where the numeric mode would still fit in 1.
    const struct {
        std::string bytes;
        int size;
    } cases[] = {
        {"", 21},
        {std::string(14, '7'), 21},
        {std::string(15, '7'), 25},
        {std::string(2331, 'A'), 177},
    };
    for (const auto& c : cases) {
        const pix::Result<QrSymbol> symbol = EncodeQrCode(c.bytes);
        ASSERT_TRUE(symbol.Ok()) << c.bytes.size() << " bytes: " << symbol.error;
        EXPECT_EQ(symbol.value.size, c.size) << c.bytes.size() << " bytes";
        // Level M is 00 in the two leading bits, under the format mask 101010000010010.
        EXPECT_EQ((FormatBits(symbol.value) ^ 0x5412) >> 13, 0) << c.bytes.size() << " bytes";
    }
}

TEST(QrSymbol, TooLongFailsWithTheReason) {
    for (const std::size_t size : {std::size_t{2332}, std::size_t{4000}, std::size_t{1000000}}) {
        const pix::Result<QrSymbol> symbol = EncodeQrCode(std::string(size, 'A'));
        EXPECT_FALSE(symbol.Ok());
        const std::string digits = std::to_string(size);
        EXPECT_EQ(symbol.error, pix::utf8::FromUtf16(u"O c\u00f3digo tem " + std::u16string(digits.begin(), digits.end()) +
                                                     u" bytes: mais do que cabe num QR Code com corre\u00e7\u00e3o de "
                                                     u"erros de n\u00edvel M (at\u00e9 2331 bytes)."));
    }
}

TEST(QrSymbol, PictureHasTheQuietZoneAndWholeModules) {
    const pix::Result<QrSymbol> symbol = EncodeQrCode("PIX");
    ASSERT_TRUE(symbol.Ok());
    const int m = 3;
    const pix::qr::Picture picture = PictureOf(symbol.value, m);
    ASSERT_EQ(picture.width, (21 + 8) * m);
    ASSERT_EQ(picture.height, picture.width);
    EXPECT_EQ(picture.stride % 4, 0u);
    EXPECT_GE(picture.stride, static_cast<std::size_t>(picture.width) * 3);
    const auto black = [&](int x, int y) { return picture.Row(y)[3 * x] == 0; };
    for (int x = 0; x < picture.width; ++x)
        for (int y = 0; y < picture.height; ++y) {
            const int mx = x / m - 4, my = y / m - 4;
            ASSERT_EQ(black(x, y), symbol.value.Dark(mx, my)) << x << ", " << y;
            const std::uint8_t* pixel = picture.Row(y) + 3 * x;
            ASSERT_TRUE(pixel[0] == pixel[1] && pixel[1] == pixel[2] && (pixel[0] == 0 || pixel[0] == 255));
        }
    // The finder's corner is dark, the quiet zone around it light.
    EXPECT_TRUE(black(4 * m, 4 * m));
    EXPECT_FALSE(black(4 * m - 1, 4 * m));
    EXPECT_FALSE(black(4 * m, 4 * m - 1));
}

// --- on the screen ---------------------------------------------------------------------------

TEST(QrSymbol, WholePixelsPerModuleAtEveryDpi) {
    const struct {
        int span;  // modules with the quiet zone
        int at96, at120, at144, at192;
    } cases[] = {
        {29, 9, 11, 14, 18},   // version 1
        {53, 4, 5, 6, 8},      // version 7, a bank's code
        {57, 4, 5, 6, 8},
        {66, 4, 5, 6, 8},      // 264 / 66 exactly
        {67, 3, 4, 5, 6},
        {185, 1, 1, 2, 2},     // version 40
        {400, 1, 1, 2, 2},     // never below one pixel
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ModulePixels(c.span, 96), c.at96) << c.span;
        EXPECT_EQ(ModulePixels(c.span, 120), c.at120) << c.span;
        EXPECT_EQ(ModulePixels(c.span, 144), c.at144) << c.span;
        EXPECT_EQ(ModulePixels(c.span, 192), c.at192) << c.span;
    }
}

TEST(QrLayout, PartsInOrderInsideTheWindow) {
    for (const int dpi : {96, 120, 144, 192}) {
        for (const int side : {29 * 9, 185 * 2, 100}) {
            const pix::qr::QrWindowLayout l = LayOutQrWindow({side, 13, {70, 80, 60}}, dpi);
            SCOPED_TRACE(std::to_string(dpi) + " DPI, picture " + std::to_string(side));
            EXPECT_EQ(l.picture.Width(), side);
            EXPECT_EQ(l.picture.Height(), side);
            // Centred, the code below it as wide as the inside, the buttons below that.
            EXPECT_LE(std::abs((l.picture.left - l.text.left) - (l.text.right - l.picture.right)), 1);
            EXPECT_GT(l.text.top, l.picture.bottom);
            EXPECT_GE(l.text.Height(), 3 * 13);
            EXPECT_GT(l.buttons[0].top, l.text.bottom);
            for (int i = 0; i < 3; ++i) {
                EXPECT_GE(l.buttons[i].left, l.text.left);
                EXPECT_LE(l.buttons[i].right, l.text.right);
                if (i) {
                    EXPECT_GT(l.buttons[i].left, l.buttons[i - 1].right);
                }
            }
            EXPECT_EQ(l.text.left, l.clientWidth - l.text.right);
            EXPECT_GT(l.clientHeight, l.buttons[0].bottom);
        }
    }
}

}  // namespace
