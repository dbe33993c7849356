#pragma once
// Characters of the text box in a screen font: their text, size and pixels.
#include <QFont>
#include <QImage>
#include <QString>

#include "draw/text/TextBox.h"

namespace draw {

// The font of a screen-font character: its face at its point size turned into
// pixels at `dpiY`, without smoothing, so every pixel is the colour or black.
QFont ScreenFont(const TextChar& c, int dpiY);
// The character's text: the single byte, or the code page 950 pair.
QString ScreenCharText(const TextChar& c);
// The character drawn at (0, 0) in its colour on black, on a glyph of its
// text width and text height in pixels (which the box takes as sign pixels).
QImage RenderScreenChar(const TextChar& c, int dpiY);

}  // namespace draw
