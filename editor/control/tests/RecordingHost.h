#pragma once
// A host that records what the control asks of the rest of the editor.
#include <QImage>
#include <vector>

#include "editor/EditorHost.h"

namespace editor::testsupport {

class RecordingHost : public EditorHost {
 public:
  explicit RecordingHost(FrameListGeometry geometry) : geometry_(geometry), beep_(MakeBeepPicture()) {}

  void GotoPreviousFrame() override { ++previousSteps; }
  void GotoNextFrame() override { ++nextSteps; }
  void SetModified(bool modified) override { modifiedCalls.push_back(modified); }
  void DrawFrameList() override { ++frameListDraws; }
  void ShowFixState(bool down) override { fixStates.push_back(down); }
  void ShowColumn(int column) override { columns.push_back(column); }
  bool BoldDown() const override { return bold; }
  bool ReverseDown() const override { return reverse; }
  const QImage& BeepPicture() const override { return beep_; }
  const FrameListGeometry& Geometry() const override { return geometry_; }

  void SetBeepPicture(QImage picture) { beep_ = std::move(picture); }

  int previousSteps = 0;
  int nextSteps = 0;
  int frameListDraws = 0;
  std::vector<bool> modifiedCalls;
  std::vector<bool> fixStates;
  std::vector<int> columns;
  bool bold = false;
  bool reverse = false;

 private:
  FrameListGeometry geometry_;
  QImage beep_;
};

}  // namespace editor::testsupport
