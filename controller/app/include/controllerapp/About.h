#pragma once
// The About box of the controller.
#include <QDialog>

namespace ctlapp {

class TfrmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAbout(QWidget* parent = nullptr);
};

}  // namespace ctlapp
