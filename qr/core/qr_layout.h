// Where the parts of the QR Code's window go at one DPI. Pure arithmetic;
// the window measures its texts and applies what this gives.
#pragma once

#include "base/core/box.h"

namespace pix::qr {

// The boxes are in the window's client coordinates.
struct QrWindowLayout {
    int clientWidth = 0, clientHeight = 0;
    Box picture;     // the QR Code and its quiet zone, or the message where there is none
    Box text;        // the code as text
    Box buttons[3];  // "Copiar código", "Copiar imagem", "Salvar PNG…", left to right
};

// What the layout is made of, at the window's DPI: the side of the picture
// (or of the message's place), the height of a line of the window's font,
// and how wide the buttons' captions are in it.
struct QrWindowContent {
    int pictureSide = 0;
    int lineHeight = 0;
    int captionWidths[3] = {};
};

// From the top: the picture, centred; the code as text, three lines high,
// as wide as the window's inside; the buttons side by side, centred, each as
// wide as its caption with room around it. Margins, gaps and the buttons'
// room are design measures at 96 DPI, scaled to the DPI.
QrWindowLayout LayOutQrWindow(const QrWindowContent& content, int dpi) noexcept;

}  // namespace pix::qr
