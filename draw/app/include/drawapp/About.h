#pragma once
// The drawing program's About box.
#include <QDialog>

namespace drawapp {

class TfrmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAbout(QWidget* parent = nullptr);
  // Escape closes the box with the result OK too.
  void reject() override { accept(); }
};

}  // namespace drawapp
