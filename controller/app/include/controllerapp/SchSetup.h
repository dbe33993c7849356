#pragma once
// "Setup for Schedule": the date and time of one schedule row. The date is a
// typed month/day (masked, editable) or a day word from the date menu
// (read-only); a press on the date field opens the menu.
#include <string>

#include <QDialog>

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace ctlapp {

class TfrmSchSetup : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmSchSetup(QWidget* parent = nullptr);

  // Fills the fields from a row: a typed date gets the date mask and stays
  // editable; a day word or nothing makes the date field read-only.
  void Prepare(const std::string& date, const std::string& time);
  // The cells the row takes on OK; an untouched date field gives "" and an
  // empty time the empty mask "  :  ".
  std::string DateCell() const;
  std::string TimeCell() const;

  // The date menu's items by tag (1 "Date", 2..11 the day words).
  void DateItemClick(int tag);
  void btnClearClick();
  bool DateEditable() const;

  QLineEdit* edtD = nullptr;
  QLineEdit* edtT = nullptr;
  QLabel* lblDateHelp = nullptr;
  QMenu* pmuDate = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;
  QPushButton* btnClear = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetDateWord(const std::string& word);
  void SetTypedDate(const std::string& date);
  void FormActivate();
  std::string shownDate_;  // what the date field was last given
};

}  // namespace ctlapp
