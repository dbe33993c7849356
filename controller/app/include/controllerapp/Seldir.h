#pragma once
// "Changing Directory": picks the working directory from a directory tree.
// The tree is rooted at "/" or at the home folder, chosen in the list above it
// (where a drive list would be).
#include <string>

#include <QDialog>

class QComboBox;
class QFileSystemModel;
class QPushButton;
class QTreeView;

namespace ctlapp {

class TFRMSelDir : public QDialog {
  Q_OBJECT
 public:
  explicit TFRMSelDir(QWidget* parent = nullptr);
  // Highlights `directory` in the tree (under "/").
  void SetDirectory(const std::string& directory);
  // The highlighted directory.
  std::string Directory() const;
  // "&Ok": takes the highlighted directory and closes with OK.
  void btnOkClick();

  QComboBox* cboDrive = nullptr;
  QTreeView* lstDir = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;

 private:
  void SetRoot(const QString& root);
  QFileSystemModel* model_ = nullptr;
  std::string chosen_;
};

}  // namespace ctlapp
