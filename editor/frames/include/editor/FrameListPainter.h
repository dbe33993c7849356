#pragma once
// The frame list panel: one row per visible frame, a label box at the left
// (the speed over the function letters, or "FIX") and the frame's picture at
// the right. The current frame's row holds the line editor control, so its
// picture is not copied. Everything is painted into the main window's image;
// the painter keeps no state of its own beyond what it is given.
#include <QImage>
#include <array>
#include <string>

#include "editor/FrameGeometry.h"
#include "editor/MessageModel.h"

namespace editor {

// One flag per visible row: its background is painted for an existing frame.
using FrameRowFlags = std::array<bool, kMaxVisibleRows>;

inline constexpr QRgb kRowSilver = 0xFFC0C0C0u;
inline constexpr QRgb kPanelGrey = 0xFF808080u;  // the panel's empty colour
inline constexpr QRgb kLabelBlue = 0xFF0000FFu;
inline constexpr const char* kFixedLabelText = "FIX";

// The status bar texts the frame list keeps up to date (the main window's labels).
class FrameListLabels {
 public:
  virtual ~FrameListLabels() = default;
  // The frame counter, "current/count".
  virtual void ShowFramePosition(const std::string& text) = 0;
  // The document's path, as caption and hint.
  virtual void ShowFileName(const std::string& path) = 0;
  // "*File:" for a modified message, "File:" otherwise.
  virtual void ShowModifiedMark(const std::string& mark) = 0;
};

// "%d/%d": the current frame from 1, the number of frames.
std::string FramePositionText(const MessageModel& model);
// "Fast", "Medium" or "Slow"; empty for any other speed.
std::string SpeedWord(int speed);

class FrameListPainter {
 public:
  FrameListPainter(const MessageModel& model, const FrameListGeometry& geometry, QImage& image,
                   FrameRowFlags& rowPainted, FrameListLabels& labels)
      : model_(model), g_(geometry), image_(image), painted_(rowPainted), labels_(labels) {}

  // Every visible row, then the frame counter.
  void DrawFrameList();
  // The row of frame `index` when it is visible: its background (once), label
  // and picture when the frame exists; the empty colour where a row was
  // painted and its frame is gone.
  void DrawFrameRow(int index, bool exists);
  // Row `row`'s box silver (on) or the whole row grey (off), and its flag.
  void MarkFrameRow(int row, bool on);
  // The label box of frame `index` (a visible frame).
  void DrawFrameLabel(int index);

  // Rows shown: the model's count, never more than the panel keeps flags for.
  int VisibleRows() const;
  // Top of row `row`'s box.
  int RowBoxY(int row) const { return g_.RowBoxTop + row * g_.RowPitch(); }

 private:
  void DrawFixedLabel(int y);
  void DrawSpeedAndModes(const TFrame& frame, int y);

  const MessageModel& model_;
  const FrameListGeometry& g_;
  QImage& image_;
  FrameRowFlags& painted_;
  FrameListLabels& labels_;
};

}  // namespace editor
