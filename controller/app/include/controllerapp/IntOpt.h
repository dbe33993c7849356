#pragma once
// "Options for Interrupt": how many times the interrupt message plays.
#include <QDialog>

class QComboBox;
class QPushButton;

namespace ctlapp {

class TfrmIntOpt : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmIntOpt(QWidget* parent = nullptr);
  // The chosen playing times 0..9 ("00" plays until Run Old Mode).
  int PlayingTimes() const;

  QComboBox* cbxN = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace ctlapp
