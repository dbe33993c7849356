#pragma once
// The editor's main window "Tessaly Signal Works, Inc.": the tool bar, the
// frame list panel with the line editor control over it, the status bar, the
// menus, and the link to the sign. Start-up runs once, at the first
// activation. Every handler catches what its code raises and shows it in a
// box, as the application's default handler would; nothing is thrown into Qt.
#include <QImage>
#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/SignFont.h"
#include "editor/EditorHost.h"
#include "editor/EditorSettings.h"
#include "editor/MessageModel.h"
#include "editorapp/Document.h"
#include "editorapp/FrameCommands.h"

class QAction;
class QComboBox;
class QLabel;
class QTimer;
class QToolButton;
class QWidget;

namespace editor {
class BillEditorWidget;
class FrameListPainter;
class FrameOperations;
class TBillEditor;
class TfrmSelLOG;
class TfrmAbout;
class TfrmMode;
class TfrmParam;
class TfrmSetRGB;
class TfrmEuropean;
}  // namespace editor

namespace editorapp {

class EditorLink;
class ImagePanel;
class StatusLabels;

// The file choosers the file commands use; tests replace them. An empty
// result is a cancelled dialog.
struct FileChoosers {
  std::function<std::string(QWidget* parent, const std::string& initial)> openFrameFile;
  std::function<std::string(QWidget* parent, const std::string& current)> saveFrameFile;
  std::function<std::string(QWidget* parent)> openLogoFile;
};
FileChoosers QtFileChoosers();

class TfrmMain : public QMainWindow, public editor::EditorHost, private DocumentView {
  Q_OBJECT
 public:
  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  // --- start-up and closing ---
  void FormActivate();
  // Whether start-up ran to its end (the message is ready for editing).
  bool StartedUp() const { return ready_; }
  // Whether start-up asked the window to close (sign height, fonts).
  bool StartUpStopped() const { return stopped_; }

  // --- file menu ---
  void New1Click();
  void Load1Click();
  void Save1Click();
  void SaveAs1Click();
  void mnuSysParamClick(int focusSelector);
  int AskSaveChanges();

  // --- frame and edit menus, tool bar ---
  void NewFrameAt(int index);
  void DeleteFrame();
  void ClearFrame();
  void CutFrame();
  void CopyFrame();
  void PasteFrame();
  void InsertBeep();
  void mnuInsertLogoClick();
  void GoToSign();
  void ClearSign();
  void EditFrameFunctions(int index);
  void spdFixClick();
  void spdBoldClick();
  void spdReverseClick();
  void ImgMouseDown(int x, int y);
  void SetCurrentFont(int index);
  void SetCurrentColor(int index);
  void ShowFramePosition();
  void tmrTimeTimer();

  // --- the host of the line editor control ---
  void GotoPreviousFrame() override;
  void GotoNextFrame() override;
  void SetModified(bool modified) override;
  void DrawFrameList() override;
  void ShowFixState(bool down) override;
  void ShowColumn(int column) override;
  bool BoldDown() const override;
  bool ReverseDown() const override;
  const QImage& BeepPicture() const override { return imgBeep_; }
  const editor::FrameListGeometry& Geometry() const override { return geometry_; }

  // Null before start-up made them.
  editor::MessageModel* Model() { return model_.get(); }
  editor::BillEditorWidget* Control() { return control_; }
  Document* Doc() { return document_.get(); }
  const editor::EditorSettings& Settings() const { return settings_; }
  EditorLink& Link() { return *link_; }
  const QImage& Img() const { return img_; }
  const RowFlags& RowPainted() const { return rowPainted_; }
  const std::string& ProgramDir() const { return programDir_; }

  FileChoosers fileChoosers = QtFileChoosers();
  // The presentation functions dialog over a frame's speed and modes; false
  // for anything but OK. Tests replace it.
  std::function<bool(std::uint8_t& speed, std::string& modes)> showModeDialog;

  // Components (names as the handlers refer to them).
  QWidget* Panel2 = nullptr;
  QToolButton *spdBold = nullptr, *spdReverse = nullptr, *spdEU = nullptr, *spdBeep = nullptr, *spdFix = nullptr,
              *spdCut = nullptr, *spdCopy = nullptr, *spdPaste = nullptr;
  QComboBox* cboFont = nullptr;
  QComboBox* cboColor = nullptr;
  QLabel* palTime = nullptr;
  QWidget* palImg = nullptr;
  ImagePanel* imgPanel = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  QLabel *lblFN_M = nullptr, *lblFN = nullptr, *lblFrame = nullptr, *lblColumn = nullptr, *palSignSize = nullptr;
  QAction *mnuID = nullptr, *mnuCOM = nullptr, *mnuBAUD = nullptr, *mnuTIME = nullptr;
  QAction *mnuFix = nullptr, *mnuBold = nullptr, *mnuReverse = nullptr;
  QTimer* tmrTime = nullptr;

  // The dialogs, created with the window.
  editor::TfrmAbout* frmAbout = nullptr;
  editor::TfrmParam* frmParam = nullptr;
  editor::TfrmMode* frmMode = nullptr;
  editor::TfrmSelLOG* frmSelLOG = nullptr;
  editor::TfrmSetRGB* frmSetRGB = nullptr;
  editor::TfrmEuropean* frmEuropean = nullptr;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // DocumentView
  void NewMessage() override;
  void ShowOpenedMessage() override;
  void SetFileName(const std::string& path) override;
  std::string ChooseOpenFile(const std::string& initial) override;
  std::string ChooseSaveFile(const std::string& current) override;

  void BuildToolBar();
  void BuildStatusBar();
  void BuildMenus();
  void ShowSettingsInMenu();
  void StopStartUp(const std::string& warning);
  bool StartUpSteps();
  void FocusControl();
  editor::TBillEditor* Editor();

  editor::EditorSettings settings_;
  platform::ProfileKeysRead settingsRead_;  // the keys as start-up took them or last saved
  bool settingsLoaded_ = false;
  std::string programDir_;
  std::string windowsDir_;
  editor::FrameListGeometry geometry_;
  QImage img_;
  QImage imgBeep_;
  RowFlags rowPainted_{};
  signfont::SignFontTable fonts_;
  std::unique_ptr<editor::MessageModel> model_;
  std::unique_ptr<StatusLabels> labels_;
  std::unique_ptr<editor::FrameListPainter> painter_;
  editor::BillEditorWidget* control_ = nullptr;  // a child of palImg
  std::unique_ptr<editor::FrameOperations> frames_;
  std::unique_ptr<Document> document_;
  std::unique_ptr<EditorLink> link_;
  bool activated_ = false;
  bool ready_ = false;
  bool stopped_ = false;
};

}  // namespace editorapp
