#pragma once
// Shared by the drawing tools' tests: a model of a known size, byte-exact image
// comparison, and recording stand-ins for the zoom window and the text box.
#include <QImage>
#include <QPoint>
#include <cstring>
#include <random>
#include <vector>

#include "draw/DrawModel.h"
#include "draw/TextBoxHost.h"
#include "draw/ToolController.h"
#include "draw/ZoomHost.h"

namespace drawtest {

inline bool SameBytes(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return false;
  for (int y = 0; y < a.height(); ++y) {
    if (std::memcmp(a.constScanLine(y), b.constScanLine(y), static_cast<std::size_t>(a.width()) * 4) != 0) return false;
  }
  return true;
}

// The points where two images of one size differ.
inline std::vector<QPoint> Differences(const QImage& a, const QImage& b) {
  std::vector<QPoint> out;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (raster::PixelAt(a, x, y) != raster::PixelAt(b, x, y)) out.emplace_back(x, y);
  return out;
}

inline void FillRandom(QImage& image, unsigned seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) raster::SetPixel(image, x, y, rng());
}

// A zoom window that does what the real one does to the model: opening sets
// the scale to 10, closing copies the picture over the view and sets it back.
class RecordingZoom : public draw::ZoomHost {
 public:
  explicit RecordingZoom(draw::DrawModel& model) : model_(model) {}
  void ZoomIn(QPoint p) override {
    zoomIns.push_back(p);
    model_.CopyViewToPicture();
    model_.SetZoomed(true);
  }
  void ZoomOut() override {
    ++zoomOuts;
    model_.CopyPictureToView();
    model_.SetZoomed(false);
  }
  std::vector<QPoint> zoomIns;
  int zoomOuts = 0;

 private:
  draw::DrawModel& model_;
};

class RecordingTextBox : public draw::TextBoxHost {
 public:
  bool IsShown() const override { return shown; }
  void OpenAt(QPoint p) override {
    opened.push_back(p);
    shown = true;
  }
  void CommitAndHide() override {
    ++commits;
    shown = false;
  }
  bool shown = false;
  std::vector<QPoint> opened;
  int commits = 0;
};

// A 40 x 10 sign-pixel view (120 x 30 view pixels) on a sign of 160 x 8, the
// Pencil chosen and colour item "4" as start-up would leave them.
struct Tools {
  Tools(int areaWidth = 120, int areaHeight = 30) : tools(model) {
    model.ResetView(areaWidth, areaHeight, true);
    model.SetSignSize(160, 8);
    model.SetColorIndex(3);
    tools.ChooseTool(draw::DrawTool::kPencil);
  }
  // A drag through `points` (sign pixels, the first the press, the last the release).
  void Drag(std::initializer_list<QPoint> signPoints) {
    std::vector<QPoint> pts(signPoints);
    tools.ViewPress(pts.front() * 3 + QPoint(1, 2));
    for (std::size_t i = 1; i < pts.size(); ++i) tools.ViewMove(pts[i] * 3 + QPoint(2, 1));
    tools.ViewRelease(pts.back() * 3 + QPoint(2, 1));
  }
  draw::DrawModel model;
  draw::ToolController tools;
};

}  // namespace drawtest
