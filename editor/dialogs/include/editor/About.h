#pragma once
// "About": the program's name and its maker's.
#include <QDialog>

class QPushButton;

namespace editor {

inline constexpr const char* kProgramName = "Selvanex";
inline constexpr const char* kMakerName = "Tessaly Signal Works, Inc.";

class TfrmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAbout(QWidget* parent = nullptr);
  QPushButton* btnOk = nullptr;
};

}  // namespace editor
