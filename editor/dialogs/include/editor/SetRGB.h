#pragma once
// "Set RGB": eight boxes for the bits of a colour code and a preview of the
// code's screen colour. A tool of its own; nothing else reads its result.
#include <QDialog>
#include <array>

#include "common/ColorCode.h"

class QCheckBox;
class QPushButton;

namespace editor {

class TfrmSetRGB : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmSetRGB(QWidget* parent = nullptr);

  // The code the boxes form: B8 bit 7 .. B1 bit 0.
  colorcode::ColorCode Code() const;
  // The preview's colour.
  QColor PreviewColor() const;

  // B8 .. B1, left to right.
  std::array<QCheckBox*, 8> Bits{};
  QPushButton* SpeedButton1 = nullptr;  // "Change"
  QWidget* palColor = nullptr;

 private:
  void SpeedButton1Click();
};

}  // namespace editor
