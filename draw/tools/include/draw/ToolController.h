#pragma once
// The drawing tools on the working view: choosing a tool, what each tool does
// with the mouse, the rubber bands, the read-outs, Clear Scratch, the clipping
// box with its keys and drag, the program's own clipboard and bitmap import.
// No widgets here: the tool bar, the view and the box widgets call into it and
// follow its signals, so every rule is testable without a window.
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>

#include <string>

#include "draw/ClippingBox.h"
#include "draw/DrawModel.h"
#include "draw/TextBoxHost.h"
#include "draw/ZoomHost.h"

namespace draw {

class ToolController : public QObject {
  Q_OBJECT

 public:
  explicit ToolController(DrawModel& model, QObject* parent = nullptr);

  DrawModel& Model() { return model_; }
  // Hooks to the zoom window and the text box; nullptr (the default) stands
  // for a zoom that never opens and no text box.
  void SetZoomHost(ZoomHost* zoom);
  void SetTextBox(TextBoxHost* textBox) { textBox_ = textBox; }

  // A tool button's click (its Tag), also when the button already is pressed.
  // Clicking Custom Frame, Sign Frame or Zoom again returns to the last drawing
  // tool and asks for that button to be shown pressed (toolButtonShown).
  void ChooseTool(DrawTool tool);

  // The view's mouse, in view pixels before snapping; every button alike.
  void ViewPress(QPoint p);
  void ViewMove(QPoint p);
  void ViewRelease(QPoint p);

  // The clipping box and what its visibility enables (clippingBoxShown).
  const ClippingBox& Box() const { return box_; }
  void ShowClippingBox(bool shown);
  // Logo Edit and bitmap import: the Pencil, then Custom Frame (shown pressed),
  // and the box around `region` of the view, cut to the view, shown.
  void FrameRegion(QRect region);
  // The box's mouse, in box-relative pixels before snapping.
  void BoxPress(QPoint local, bool leftButton);
  void BoxMove(QPoint local);
  void BoxRelease();
  // A key the main window sees first; true when it was consumed (arrows and
  // Ctrl+arrows while Custom Frame or Sign Frame is the current tool).
  bool FrameKey(int key, bool ctrl);

  // The program's own clipboard, at view scale; 0 x 0 until the first Cut or Copy.
  const QImage& ClipBitmap() const { return clip_; }
  void Cut() { CopyClipping(true); }
  void Copy() { CopyClipping(false); }
  void Paste();
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);

  // The view refilled black at its own size; the picture stays.
  void ClearScratch();
  // A Windows bitmap file into the view's top left, one file pixel a sign
  // pixel, framed by the clipping box. A file that is not a bitmap gives the
  // warning "File format is not accepted!" and changes nothing; returns success.
  bool ImportBitmap(const std::string& path);

  // The status-bar read-outs: the pointer ("(%d,%d)", or "%d,%d" over the box)
  // and the clipping size ("%dx%d", rows first; empty when cleared).
  QString XyText() const { return xyText_; }
  QString ClippingText() const { return clippingText_; }

 signals:
  void viewChanged();
  void clippingBoxChanged();
  void clippingBoxShown(bool shown);
  void toolButtonShown(int tag);
  void transparentChanged(bool on);
  void xyTextChanged(const QString& text);
  void clippingTextChanged(const QString& text);

 private:
  void CopyClipping(bool cut);
  void CloseZoom();
  void SetXyText(const QString& text);
  void SetClippingText(const QString& text);
  void RemoveBand();
  bool BandTool() const;

  DrawModel& model_;
  ZoomHost defaultZoom_;
  ZoomHost* zoom_ = &defaultZoom_;
  TextBoxHost* textBox_ = nullptr;
  ClippingBox box_;
  QImage clip_;
  bool transparent_ = false;
  // Whether the drag in progress has a band on the view: its own state, so a
  // drag that comes back to its start still removes what it drew.
  bool bandDrawn_ = false;
  QString xyText_;
  QString clippingText_;
};

}  // namespace draw
