// The texts of the QR Code's menu item and window, as the user reads them.
#pragma once

namespace pix::qr {

inline constexpr char16_t kMenuItemText[] = u"QR Code do Pix";
inline constexpr char16_t kWindowCaption[] = u"QR Code do Pix";
inline constexpr char16_t kCopyCodeText[] = u"Copiar c\u00f3digo";
inline constexpr char16_t kCopyImageText[] = u"Copiar imagem";
inline constexpr char16_t kSavePngText[] = u"Salvar PNG\u2026";
// The save dialog: its title, its one kind of file and the name it proposes.
inline constexpr char16_t kSaveTitle[] = u"Salvar PNG";
inline constexpr char16_t kPngFilter[] = u"Imagem PNG (*.png)\0*.png\0";
inline constexpr char16_t kPngExtension[] = u"png";
inline constexpr char16_t kPngName[] = u"qrcode-pix.png";

}  // namespace pix::qr
