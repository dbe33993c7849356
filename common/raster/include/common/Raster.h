#pragma once
// The raster routines the editor and the drawing program draw with. Every
// result is computed here, pixel by pixel, so it is exact and the same on
// every display and platform.
//
// Images are QImage::Format_RGB32; colours are compared on their red, green and
// blue only. Reading outside an image gives black; writing outside is dropped.
// Boxes exclude their right and bottom edge, as the drawing canvas always did.
#include <QImage>
#include <QPoint>
#include <cstdint>
#include <vector>

namespace raster {

constexpr QRgb kBlack = 0xFF000000u;
constexpr QRgb kWhite = 0xFFFFFFFFu;

// RGB of a colour with the alpha byte forced to opaque.
constexpr QRgb Opaque(QRgb c) { return c | 0xFF000000u; }
constexpr bool SameColor(QRgb a, QRgb b) { return ((a ^ b) & 0x00FFFFFFu) == 0; }

// A box from (left, top) to (right, bottom), right and bottom excluded.
struct Box {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  // The same box with left <= right and top <= bottom.
  Box Normalized() const;
  bool Empty() const { return right <= left || bottom <= top; }
  std::int64_t Width() const { return static_cast<std::int64_t>(right) - left; }
  std::int64_t Height() const { return static_cast<std::int64_t>(bottom) - top; }
  bool operator==(const Box&) const = default;
};

// How a pen's colour meets the pixel under it.
enum class PenMode {
  kCopy,    // the pen's colour
  kNotXor,  // NOT (pen XOR pixel): a black pen inverts, and drawing twice restores
};

// How a copied pixel meets the pixel under it.
enum class CopyMode {
  kSrcCopy,   // the source pixel
  kSrcPaint,  // source OR destination: black source pixels leave the target
};

// A new image of w x h (at least 0 x 0) filled with `fill`.
QImage NewImage(int w, int h, QRgb fill = kBlack);
// The image in the format these routines work on (RGB32), converted if needed.
void MakeRgb32(QImage& image);

QRgb PixelAt(const QImage& image, int x, int y);
void SetPixel(QImage& image, int x, int y, QRgb color);
// The pen's effect on one pixel.
void PenPixel(QImage& image, int x, int y, QRgb pen, PenMode mode);
// The pen applied once to each point (a point listed twice is applied twice).
void ApplyPen(QImage& image, const std::vector<QPoint>& points, QRgb pen, PenMode mode);

// Fills the box (normalised, clipped to the image) with `color`.
void FillBox(QImage& image, Box box, QRgb color);

// Nearest-neighbour stretch of `from` in `src` onto `to` in `dst`: every target
// pixel takes the source pixel under its centre, nothing is averaged. An exact
// shrink by k thus takes the middle pixel of each k x k block (for odd k), an
// exact growth by k makes every pixel a k x k block. Empty boxes copy nothing.
// `src` and `dst` may be the same image, even with overlapping boxes.
void StretchCopy(const QImage& src, Box from, QImage& dst, Box to, CopyMode mode);
// A copy of equal size: the box of `src` to (x, y) of `dst`.
void CopyBox(const QImage& src, Box from, QImage& dst, QPoint at, CopyMode mode);

// The largest extent (in either direction) of a shape these routines trace;
// larger shapes give no pixels. Far beyond any view or screen.
constexpr std::int64_t kMaxShapeExtent = 1 << 16;

// Pixels of a one-pixel line from `from` to `to`, each once, in drawing order.
// With includeEnd false the end point is left out, as the canvas's LineTo did;
// a line from a point to itself is then empty.
std::vector<QPoint> LinePixels(QPoint from, QPoint to, bool includeEnd);
// Pixels of the one-pixel outline of the (normalised) box, each once: the
// columns left and right - 1, the rows top and bottom - 1.
std::vector<QPoint> RectanglePixels(Box box);
// Pixels of the one-pixel outline of the ellipse inscribed in the (normalised)
// box, each once; it touches all four sides of the box and is symmetric.
std::vector<QPoint> EllipsePixels(Box box);

// The frame `width` pixels wide along the inside of the box's border, each
// pixel once (the whole box when it is narrower than twice the width).
std::vector<QPoint> FramePixels(Box box, int width);

// Pixels of a stroke `width` pixels wide, each once: at every pixel of the
// line from `from` to `to` (both included) a square of width x width whose top
// left is that pixel. So a stroke between points on a grid of `width` covers
// whole grid cells.
std::vector<QPoint> WideLinePixels(QPoint from, QPoint to, int width);

// Flood fill of the surface: the 4-connected area around `seed` whose pixels
// have exactly the colour of the seed pixel becomes `color`. Nothing happens
// when the seed lies outside the image or already has that colour. Returns the
// number of pixels changed.
std::size_t FloodFillSurface(QImage& image, QPoint seed, QRgb color);

}  // namespace raster
