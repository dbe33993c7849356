#pragma once
// The drawing program's two synchronised images and the state the tools, the
// clipping box, the zoom window and the logo list share.
//
// The view is the working image the mouse draws on: every sign pixel a block of
// Scale() x Scale() screen pixels (3 while the view is shown). The picture is
// the same drawing at one pixel per sign pixel. The view is the master; shapes
// that must land on whole sign pixels are drawn on the picture and copied back.
#include <QImage>
#include <QPoint>
#include <QSize>
#include <cstdint>

#include "common/Raster.h"

namespace draw {

// The tool in force; the value is the Tag of its tool button.
enum class DrawTool : std::uint8_t {
  kCustomFrame = 0,
  kSignFrame = 1,
  kPencil = 2,
  kEraser = 3,
  kText = 4,
  kLine = 5,
  kRectangle = 6,
  kEllipse = 7,
  kFill = 8,
  kZoom = 9,
};

// Screen pixels a sign pixel on the view, and in the zoom window.
constexpr int kViewScale = 3;
constexpr int kZoomScale = 10;

// The drawing palette: the colour of item `index` of the colour box (0 to 8);
// any other index, as with no selection, gives the colour value 0x00FFFF, which
// is blue, green, red from the top: yellow (255, 255, 0).
QRgb ColorIndexToColor(int index);
constexpr int kPaletteSize = 9;
constexpr QRgb kNoSelectionColor = 0xFFFFFF00u;

// Makes the second point's side of each axis one larger, so that a shape whose
// canvas excludes its right and bottom edge still covers both points: if
// p2.x < p1.x then p1.x grows, otherwise p2.x (a tie widens p2); the same for y.
void IncludeEndPoint(QPoint& p1, QPoint& p2);

// The pen and brush of the view's canvas, as the tools set them up.
struct Pen {
  QRgb color = raster::kBlack;
  int width = 1;
  raster::PenMode mode = raster::PenMode::kCopy;
};
struct Brush {
  QRgb color = raster::kWhite;
  bool clear = false;  // hollow: shapes are outlines only
};

class DrawModel {
 public:
  DrawModel();

  // Start-up and Clear Scratch: the view becomes a black image of the drawing
  // area's size cut down to whole sign pixels (w div 3 * 3 by h div 3 * 3).
  // With resizePicture that size also becomes the view's control, and the
  // picture takes a third of it, black.
  void ResetView(int areaWidth, int areaHeight, bool resizePicture);
  // Replaces the view's bitmap with an image of its own size (the working
  // picture kept between runs), converted to the view's pixel format. The
  // control keeps its size: the bitmap may be larger or smaller than it.
  void SetView(QImage image);

  QImage& View() { return view_; }
  const QImage& View() const { return view_; }
  QImage& Picture() { return picture_; }
  const QImage& Picture() const { return picture_; }
  // The view's control: what the screen shows of the view's bitmap, from its
  // top left. Set at start-up from the drawing area.
  QSize ViewControl() const { return control_; }

  // What the control shows of the view stretched into the whole picture
  // (shrinking by the scale, one pixel of each block), and the picture back
  // into what the control shows (every picture pixel a block). Plain copy.
  // Pixels of the bitmap beyond the control are neither read nor written;
  // where the control is larger than the bitmap the picture takes black.
  void CopyViewToPicture();
  void CopyPictureToView();

  // The view scale s: 3, or 10 while the zoom window is open.
  int Scale() const { return scale_; }
  bool Zoomed() const { return zoomed_; }
  void SetZoomed(bool zoomed);

  // A mouse position snapped to the sign-pixel grid of the view (x div s * s),
  // and the sign pixel under it (x div s).
  QPoint Snap(QPoint p) const;
  QPoint SignPixel(QPoint p) const;

  // Sign size in sign pixels (the drawing program always works 8 rows high).
  int SignWidth() const { return signWidth_; }
  int SignHeight() const { return signHeight_; }
  void SetSignSize(int width, int height);

  DrawTool CurrentTool() const { return currentTool_; }
  DrawTool LastDrawTool() const { return lastDrawTool_; }
  // The tool in force; a tool from Pencil to Fill also becomes the last drawing tool.
  void SetCurrentTool(DrawTool tool);

  // Index of the colour box; -1 for no selection.
  int ColorIndex() const { return colorIndex_; }
  void SetColorIndex(int index) { colorIndex_ = index; }
  QRgb CurrentColor() const { return ColorIndexToColor(colorIndex_); }

  // The view's canvas: its pen, brush and pen position.
  Pen& ViewPen() { return pen_; }
  const Pen& ViewPen() const { return pen_; }
  Brush& ViewBrush() { return brush_; }
  const Brush& ViewBrush() const { return brush_; }
  QPoint PenPosition() const { return penPosition_; }
  void MoveTo(QPoint p) { penPosition_ = p; }
  // A line with the view pen from the pen position to p, which becomes the
  // pen position. A pen wider than 1 strokes whole width x width squares.
  void LineTo(QPoint p);

  // Sets the view's pen and brush for the current tool.
  void SetToolPen();

  // A band or the eraser square on the view for the current tool, in `mode`,
  // from copies of p1 and p2 (view points). Custom Frame sets BandShown.
  void DrawShapeOnView(QPoint p1, QPoint p2, raster::PenMode mode);
  // The final Line, Rectangle or Ellipse on the picture, one pixel a sign
  // pixel, in the current colour; the view is brought up to date before and
  // redrawn from the picture after.
  void DrawShapeOnPicture(QPoint p1, QPoint p2, raster::PenMode mode);
  // A click of the Pencil or the Line: the sign pixel under view point p takes
  // the current colour on the picture, and the view is redrawn from it.
  void SetPicturePixel(QPoint p);

  // State of a drag on the view (main-window fields).
  QPoint startPoint;
  QPoint endPoint;
  QPoint penPoint;
  bool drawing = false;
  bool bandShown = false;

 private:
  QImage view_;
  QImage picture_;
  QSize control_;
  int scale_ = kViewScale;
  bool zoomed_ = false;
  int signWidth_ = 160;
  int signHeight_ = 8;
  DrawTool currentTool_ = DrawTool::kCustomFrame;
  DrawTool lastDrawTool_ = DrawTool::kCustomFrame;
  int colorIndex_ = -1;
  Pen pen_;
  Brush brush_;
  QPoint penPosition_;
};

}  // namespace draw
