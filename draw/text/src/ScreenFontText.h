#pragma once
// Characters of the text box in a screen font: their text, size and pixels.
#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>

#include "draw/text/TextBox.h"

namespace draw {

// The font of a screen-font character: its face at its point size turned into
// pixels at `dpiY`, without smoothing, so every pixel is the colour or black.
QFont ScreenFont(const TextChar& c, int dpiY);
// The character's text: the single byte, or the code page 950 pair.
QString ScreenCharText(const TextChar& c);
// Text width and text height in pixels, taken as sign pixels.
QSize ScreenCharSize(const TextChar& c, int dpiY);
// The character drawn at (0, 0) in its colour on black, of ScreenCharSize.
QImage RenderScreenChar(const TextChar& c, int dpiY);

}  // namespace draw
