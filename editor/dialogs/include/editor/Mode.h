#pragma once
// "Frame Presentation Functions": a frame's function letters and its speed.
// A click on a function appends its letter; the edit takes only function
// letters, at most 255. The list opens on the item chosen last.
#include <QDialog>
#include <QStringList>
#include <string>

class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace editor {

// The 32 items of the function list, in order; the first character of each is its letter.
const QStringList& ModeItems();

class TfrmMode : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmMode(QWidget* parent = nullptr);

  // The item selected at activation and stored at the close ("Last Mode").
  int LastMode = 0;

  // The frame's values in and out (Speed 0 Fast, 1 Medium, 2 Slow).
  void Fill(int speed, const std::string& modes);
  int Speed() const;
  std::string Modes() const;

  QListWidget* lstModes = nullptr;
  QLineEdit* edtModes = nullptr;
  QComboBox* cboSpeed = nullptr;
  QPushButton* btnClear = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void FormActivate();
  void lstModesClick(QListWidgetItem* item);
  void btnClearClick();
};

}  // namespace editor
