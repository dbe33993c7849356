#pragma once
// The parameter dialog "System Parameters Setup": link kind, time format, CRC
// checking and wait, serial port and speed, and the sign table grid. Every
// field is checked before any is taken over.
#include <optional>
#include <string>

#include <QDialog>

#include "controller/Settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace controller {

// What the dialog's fields hold.
struct ParamFields {
  int linkKind = 1;
  int timeFormat = 1;
  bool crcCheck = false;
  std::string crcWaitText = "1000";
  int portIndex = 0;
  int speedIndex = 6;
  SignTable rows;  // the grid's cells as they stand
};

ParamFields FieldsOf(const TSettings& settings, const SignTable& table);
// The warning for the first field refused (the wait must be a whole number
// of 0 to kMaxCrcWaitMs ms); nullopt when all are good.
std::optional<std::string> CheckParamFields(const ParamFields& fields);
// Takes checked fields over (grid cells trimmed at both ends).
void TakeParamFields(const ParamFields& fields, TSettings& settings, SignTable& table);

class TfrmParam : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmParam(QWidget* parent = nullptr);
  // Step before showing: the fields from the settings, the grid from the table.
  void Load(const TSettings& settings, const SignTable& table);
  ParamFields Fields() const;
  // After OK: the checked fields.
  const ParamFields& Accepted() const { return accepted_; }

  QTabWidget* pages = nullptr;
  QComboBox* cboIsTCP = nullptr;
  QComboBox* cboTime = nullptr;
  QCheckBox* chkCRC = nullptr;
  QLineEdit* edtCRCWaitMSec = nullptr;
  QComboBox* cboPort = nullptr;
  QComboBox* cboSpeed = nullptr;
  QTableWidget* tblIP = nullptr;
  QPushButton* btnSave = nullptr;
  QPushButton* btnCancel = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormActivate();
  void btnSaveClick();
  SignTable table_;
  ParamFields accepted_;
};

// The whole of "&Parameter Setup...": shows the dialog; on OK takes its
// fields, refills the sign list (first sign selected), saves the file and, in
// RS-232 mode, applies the serial settings. True on OK.
// Only what the dialog changed is written (SaveSettings with `read`).
bool ParameterSetup(TfrmParam& dialog, TSettings& settings, SignTable& table, const std::string& programDir,
                    platform::ProfileKeysRead& read, QComboBox* signs, SerialSetup* serial);

}  // namespace controller
