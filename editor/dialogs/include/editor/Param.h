#pragma once
// "System Parameters Setup": the editor's link (sign ID, port, speed, time
// format, CRC check) and sign (height, width, colour type) settings, and the
// raw hardware clear. OK is taken only when every field holds a valid value.
#include <QDialog>
#include <cstdint>
#include <functional>

#include "editor/EditorSettings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace editor {

inline constexpr const char* kSignIdErrorText = "Sign ID setup error!";
inline constexpr const char* kSignWidthErrorText = "Sign width setup error!";

class TfrmParam : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmParam(QWidget* parent = nullptr);

  // The control focused at activation: 1 sign ID, 2 port, 3 speed, 4 time
  // format (the Tag of the menu item that opened the dialog); others leave it.
  std::uint8_t FocusSelector = 1;
  // The hardware clear of the "Sign" page; the main window wires it to its port.
  std::function<void()> HardwareClear;

  // Before showing: the controls from the settings.
  void Fill(const EditorSettings& settings);
  // After OK: colour type, height, width, ID, port, speed, time format, CRC
  // check, in this order. OK has checked every field.
  void TakeInto(EditorSettings& settings) const;

  QTabWidget* PageControl = nullptr;
  QLineEdit* edtSignID = nullptr;
  QComboBox* cboPort = nullptr;
  QComboBox* cboSpeed = nullptr;
  QComboBox* cboTime = nullptr;
  QCheckBox* chkCRC = nullptr;
  QPushButton* spdHW_CLEAR = nullptr;
  QComboBox* cboSIGN_H = nullptr;
  QLineEdit* edtSIGN_W = nullptr;
  QComboBox* cboColorType = nullptr;
  QPushButton* btnSave = nullptr;
  QPushButton* btnCancel = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormActivate();
  void btnSaveClick();
  void spdHW_CLEARClick();
};

}  // namespace editor
