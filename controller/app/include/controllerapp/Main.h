#pragma once
// The controller's main window "Marvane for Windows": the sign list and ID,
// the working directory's message files, the sequence and schedule pages, the
// job commands, Dial and Hang Up. Start-up runs once, at the first activation.
// Every handler catches what its code raises and shows it in a box, as the
// application's default handler would; nothing is thrown into Qt.
#include <functional>
#include <memory>
#include <string>

#include <QMainWindow>

#include "controllerapp/Lists.h"
#include "platform/ExceptionReport.h"

namespace dialup {
class TfrmDialUp;
}

class QAction;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QToolButton;
class QWidget;

namespace ctlapp {

class TFRMSelDir;
class TfrmSchSetup;
class TfrmIntOpt;
class TfrmAbout;
class MainLink;

// The file dialogs the page commands use; tests replace them. An empty result
// is a cancelled dialog.
struct FileDialogs {
  std::function<std::string(QWidget* parent, const std::string& title, const std::string& filter)> open;
  std::function<std::string(QWidget* parent, const std::string& title, const std::string& filter,
                            const std::string& defaultExtension, const std::string& current)>
      save;
};
FileDialogs QtFileDialogs();

// Runs `fn`; an exception it raises is shown in an error box.
using platform::Guarded;

class TfrmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  // --- start-up and closing ---
  void FormActivate();
  bool StartedUp() const { return startedUp_; }
  void Exit1Click();

  // --- file list and working directory ---
  void spdChgDirClick();
  void spdRefreshClick();
  void lstSourceChange();
  void UpdateButtons();
  // The working directory the file list shows, and its selected entry's name
  // (as the file system holds it) and path.
  std::string SourceDirectory() const { return sourceDir_; }
  void SetSourceDirectory(const std::string& directory);
  std::string SelectedSourceName() const;
  std::string SelectedSourcePath() const;

  // --- page commands (tag 1 sequence, 2 schedule) ---
  void btnNew_SEQClick(ListKind kind);
  void btnOpen_SEQClick(ListKind kind);
  void btnSave_SEQClick(ListKind kind);
  void btnSaveAs_SEQClick(ListKind kind);
  void spdINS_SEQClick();
  void spdREP_SEQClick();
  void spdRemove_SEQClick();
  void spdClearAll_SEQClick();
  void spdDec_SEQClick();
  void spdInc_SEQClick();
  void spdINS_SCHClick();
  void spdREP_SCHClick();
  void spdRemove_SCHClick();
  void spdClearAll_SCHClick();
  void spdSetup_SCHClick();
  void spdDec_SCHClick();
  void spdInc_SCHClick();
  bool ValidateScheduleGrid();

  // --- job commands ---
  void spdRUN_SEQClick();
  void spdRUN_SCHClick();
  void spdInterruptClick();
  void btnS_ResetClick();
  void btnS_ClearClick();
  void btnS_RunAllClick();
  void RunOldMode1Click();
  void AutoDimming1Click();
  void ManualDimmingDay1Click();
  void ManualDimmingNight1Click();
  void ParameterSetup1Click();
  void About1Click();

  // --- modem ---
  void spdDialClick();
  void spdHangUpClick();
  // Shows the dial-up window (tests may replace it).
  std::function<void(TfrmMain&)> showDialUp;
  dialup::TfrmDialUp& DialUpWindow() { return *frmDialUp_; }

  // The models behind the pages.
  SequenceList& Sequence() { return seq_; }
  ScheduleGrid& Schedule() { return sch_; }
  // Redraws the pages from the models.
  void RenderSequence();
  void RenderSchedule();
  void UpdateTitle(ListKind kind);

  FileDialogs fileDialogs = QtFileDialogs();
  MainLink& Link() { return *link_; }

  // Components (names as the handlers refer to them).
  QComboBox* cboSigns = nullptr;
  QComboBox* cboID = nullptr;
  QToolButton* spdDial = nullptr;
  QToolButton* spdHangUp = nullptr;
  QPushButton* btnS_Reset = nullptr;
  QPushButton* btnS_Clear = nullptr;
  QPushButton* btnS_RunAll = nullptr;
  QListWidget* lstSource = nullptr;
  QComboBox* cboFilter = nullptr;
  QToolButton* spdChgDir = nullptr;
  QToolButton* spdRefresh = nullptr;
  QToolButton* spdInterrupt = nullptr;
  QTabWidget* PC = nullptr;
  QWidget* tsSEQ = nullptr;
  QWidget* tsSCH = nullptr;
  QLabel* palTitle_SEQ = nullptr;
  QLabel* palTitle_SCH = nullptr;
  QListWidget* lstSelected = nullptr;
  QTableWidget* strgrdSelected = nullptr;
  QToolButton *spdINS_SEQ = nullptr, *spdREP_SEQ = nullptr, *spdRemove_SEQ = nullptr, *spdClearAll_SEQ = nullptr,
              *spdRUN_SEQ = nullptr, *spdDec_SEQ = nullptr, *spdInc_SEQ = nullptr;
  QToolButton *spdINS_SCH = nullptr, *spdREP_SCH = nullptr, *spdRemove_SCH = nullptr, *spdClearAll_SCH = nullptr,
              *spdSetup_SCH = nullptr, *spdRUN_SCH = nullptr, *spdDec_SCH = nullptr, *spdInc_SCH = nullptr;
  QLabel* palLocation = nullptr;

  TFRMSelDir* frmSelDir = nullptr;
  TfrmSchSetup* frmSchSetup = nullptr;
  TfrmAbout* frmAbout = nullptr;
  TfrmIntOpt* frmIntOpt = nullptr;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  QWidget* BuildLeftPane();
  QWidget* BuildSequencePage();
  QWidget* BuildSchedulePage();
  void AskSave(ListKind kind);
  // The save question for each modified list when quitting; false keeps the
  // program open (Cancel, or a list that could not be saved).
  bool SaveBeforeQuit();
  void SaveSequence();
  void SaveSchedule();
  // Saves the list to `path`; only a save that succeeded gives the list that name.
  void SaveSequenceTo(const std::string& path);
  void SaveScheduleTo(const std::string& path);
  void SetSeqModified(bool modified);
  void SetSchModified(bool modified);
  void ShowPage(ListKind kind);
  void ScheduleDragged(int oldVisual, int newVisual);
  std::string TakeSourceForList();

  SequenceList seq_;
  ScheduleGrid sch_;
  std::string sourceDir_;
  bool starting_ = false;
  bool startedUp_ = false;
  bool rendering_ = false;
  std::unique_ptr<MainLink> link_;
  // Declared after the link: the dial-up window goes before the modem it dials.
  std::unique_ptr<dialup::TfrmDialUp> frmDialUp_;
};

}  // namespace ctlapp
