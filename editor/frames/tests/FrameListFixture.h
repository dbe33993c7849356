#pragma once
// A frame list wired as the main window wires it: the model, the real line
// editor control with a host that passes its steps on, the painter on an
// image of the work area, and labels that keep what they were last shown.
#include <gtest/gtest.h>

#include <QImage>
#include <string>

#include "common/SignFont.h"
#include "editor/BillEditor.h"
#include "editor/FrameListPainter.h"
#include "editor/FrameOperations.h"
#include "platform/MessageBoxes.h"

namespace frametest {

using namespace editor;

class Labels : public FrameListLabels {
 public:
  void ShowFramePosition(const std::string& text) override { position = text; }
  void ShowFileName(const std::string& path) override { fileName = path; }
  void ShowModifiedMark(const std::string& mark) override { modifiedMark = mark; }
  std::string position, fileName, modifiedMark;
};

class Host : public EditorHost {
 public:
  explicit Host(const FrameListGeometry& g) : geometry_(g), beep_(MakeBeepPicture()) {}
  void GotoPreviousFrame() override { ops->GotoPreviousFrame(); }
  void GotoNextFrame() override { ops->GotoNextFrame(); }
  void SetModified(bool modified) override { ops->SetModified(modified); }
  void DrawFrameList() override { painter->DrawFrameList(); }
  void ShowFixState(bool) override {}
  void ShowColumn(int) override {}
  bool BoldDown() const override { return false; }
  bool ReverseDown() const override { return false; }
  const QImage& BeepPicture() const override { return beep_; }
  const FrameListGeometry& Geometry() const override { return geometry_; }

  FrameListPainter* painter = nullptr;
  FrameOperations* ops = nullptr;

 private:
  FrameListGeometry geometry_;
  QImage beep_;
};

// A w x h logo of one colour, so pictures can be told apart.
inline QImage Logo(QRgb colour, int w = 4, int h = 5) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

class FrameListTest : public ::testing::Test {
 protected:
  // 160 x 16 in 790 x 441: five rows, pictures at x 209, the first at y 40.
  FrameListTest() : FrameListTest(SignGeometry{160, 16}) {}
  explicit FrameListTest(SignGeometry sign)
      : model(sign), geometry(ComputeGeometry(790, 441, sign)), host(geometry), editor(model, host, fonts),
        painter(model, geometry, image, painted, labels), ops(model, editor, painter, labels) {
    image.fill(kPanelGrey);
    host.painter = &painter;
    host.ops = &ops;
    model.NewMessage("/docs");
    editor.SelectFrame(-1, 0);
  }

  // Frames until there are `count`, selecting nothing.
  void GrowTo(int count) {
    while (model.FrameCount() < count) ASSERT_TRUE(ops.InsertFrame(model.FrameCount()));
  }
  // A logo at the end of frame `frame`'s first line.
  void AddLogo(int frame, QRgb colour) {
    TFrame& f = model.Frame(frame);
    f.Layout = 1;
    ASSERT_TRUE(model.InsertLogo(frame, 1, f.Length(1) + 1, Logo(colour)).has_value());
  }
  std::vector<int> LogoNumbers(int frame) const {
    std::vector<int> out;
    const TFrame& f = model.Frame(frame);
    for (int pos = 1; pos <= f.Length(1); ++pos)
      if (auto n = f.LogoNumberAt(1, pos)) out.push_back(*n);
    return out;
  }
  QRgb LogoColour(int n) const { return model.LogoList().at(static_cast<std::size_t>(n)).pixel(0, 0); }

  platform::ScopedRecordingBoxes boxes;
  MessageModel model;
  FrameListGeometry geometry;
  signfont::SignFontTable fonts;
  Host host;
  TBillEditor editor;
  QImage image{790, 441, QImage::Format_RGB32};
  FrameRowFlags painted{};
  Labels labels;
  FrameListPainter painter;
  FrameOperations ops;
};

}  // namespace frametest
