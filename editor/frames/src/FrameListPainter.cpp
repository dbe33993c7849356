#include "editor/FrameListPainter.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstdio>

#include "common/Raster.h"
#include "platform/QtText.h"

namespace editor {
namespace {

void Outline(QImage& image, const raster::Box& b, QRgb colour) {
  raster::FillBox(image, {b.left, b.top, b.right, b.top + 1}, colour);
  raster::FillBox(image, {b.left, b.bottom - 1, b.right, b.bottom}, colour);
  raster::FillBox(image, {b.left, b.top, b.left + 1, b.bottom}, colour);
  raster::FillBox(image, {b.right - 1, b.top, b.right, b.bottom}, colour);
}

QRect ToRect(const raster::Box& b) { return QRect(b.left, b.top, b.right - b.left, b.bottom - b.top); }

// `text` in `font`, vertically centred in `clip` and cut to it, starting at x.
void DrawTextAt(QImage& image, const QFont& font, QRgb colour, const QString& text, int x, const raster::Box& clip) {
  QPainter painter(&image);
  painter.setFont(font);
  painter.setPen(QColor::fromRgb(colour));
  painter.setClipRect(ToRect(clip));
  const QFontMetrics metrics(font);
  const int height = static_cast<int>(clip.Height());
  const int baseline = clip.top + (height - metrics.height()) / 2 + metrics.ascent();
  painter.drawText(x, baseline, text);
}

QFont LabelFont(const char* family, int pointSize) {
  QFont font(family, pointSize);
  font.setStyleStrategy(QFont::NoAntialias);  // crisp on the label's flat colour
  return font;
}

}  // namespace

std::string FramePositionText(const MessageModel& model) {
  char text[32];
  std::snprintf(text, sizeof text, "%d/%d", model.CurrentFrame + 1, model.FrameCount());
  return text;
}

std::string SpeedWord(int speed) {
  switch (speed) {
    case 0:
      return "Fast";
    case 1:
      return "Medium";
    case 2:
      return "Slow";
    default:
      return "";
  }
}

int FrameListPainter::VisibleRows() const { return std::clamp(model_.VisibleRows, 0, kMaxVisibleRows); }

void FrameListPainter::DrawFrameList() {
  for (int r = 0; r < VisibleRows(); ++r) {
    const int index = model_.FirstVisibleRow + r;
    DrawFrameRow(index, index >= 0 && index < model_.FrameCount());
  }
  labels_.ShowFramePosition(FramePositionText(model_));
}

void FrameListPainter::DrawFrameRow(int index, bool exists) {
  const int r = index - model_.FirstVisibleRow;
  if (r < 0 || r >= VisibleRows()) return;
  const auto row = static_cast<std::size_t>(r);
  if (!exists) {
    if (painted_[row]) MarkFrameRow(r, false);
    return;
  }
  if (!painted_[row]) MarkFrameRow(r, true);
  DrawFrameLabel(index);
  if (index != model_.CurrentFrame) {
    raster::CopyBox(model_.Frame(index).Picture, {0, 0, g_.EditorWidth, g_.RowHeight}, image_,
                    {g_.EditorLeft, g_.RowTop(r)}, raster::CopyMode::kSrcCopy);
  }
  painted_[row] = true;
}

void FrameListPainter::MarkFrameRow(int row, bool on) {
  const int y = RowBoxY(row);
  if (on) {
    raster::FillBox(image_, {g_.EditorLeft - g_.RowMargin, y, g_.EditorLeft + g_.EditorWidth + g_.RowMargin, y + g_.RowBoxHeight},
                    kRowSilver);
  } else {
    raster::FillBox(image_,
                    {g_.LabelLeft, y, g_.LabelLeft + g_.LabelWidth + g_.EditorWidth + 2 * g_.RowMargin, y + g_.RowBoxHeight},
                    kPanelGrey);
  }
  painted_.at(static_cast<std::size_t>(row)) = on;
}

void FrameListPainter::DrawFrameLabel(int index) {
  const int y = RowBoxY(index - model_.FirstVisibleRow);
  const TFrame& frame = model_.Frame(index);
  if (frame.FixedFrame) {
    DrawFixedLabel(y);
  } else {
    DrawSpeedAndModes(frame, y);
  }
}

void FrameListPainter::DrawFixedLabel(int y) {
  const raster::Box box{g_.LabelLeft, y, g_.LabelLeft + g_.LabelWidth, y + g_.RowBoxHeight};
  raster::FillBox(image_, box, kPanelGrey);
  const QFont font = LabelFont("System", 14);
  const int width = QFontMetrics(font).horizontalAdvance(kFixedLabelText);
  DrawTextAt(image_, font, raster::kWhite, kFixedLabelText, box.left + (g_.LabelWidth - width) / 2, box);
}

void FrameListPainter::DrawSpeedAndModes(const TFrame& frame, int y) {
  const raster::Box box{g_.LabelLeft, y, g_.LabelLeft + g_.LabelWidth, y + g_.RowBoxHeight};
  raster::FillBox(image_, box, raster::kWhite);
  Outline(image_, box, kLabelBlue);
  const QFont font = LabelFont("MS Sans Serif", 10);
  const QFontMetrics metrics(font);
  const int middle = y + g_.RowBoxHeight / 2;
  // Both halves keep 2 pixels inside the box, clear of its outline.
  const raster::Box upper{box.left + 2, box.top + 2, box.right - 2, middle};
  const raster::Box lower{box.left + 2, middle, box.right - 2, box.bottom - 2};
  if (!frame.Modes.empty()) {
    const QString speed = platform::ToQt(SpeedWord(frame.Speed));
    DrawTextAt(image_, font, raster::kBlack, speed, box.left + (g_.LabelWidth - metrics.horizontalAdvance(speed)) / 2,
               upper);
  }
  // The modes are the sign's function letters, bytes as the sign gets them: one
  // letter a byte.
  const QString modes = QString::fromLatin1(frame.Modes.data(), static_cast<qsizetype>(frame.Modes.size()));
  // A text wider than the box starts at its left and is cut at its right.
  const int x = std::max(box.left + 2, box.left + (g_.LabelWidth - metrics.horizontalAdvance(modes)) / 2);
  DrawTextAt(image_, font, raster::kBlack, modes, x, lower);
}

}  // namespace editor
