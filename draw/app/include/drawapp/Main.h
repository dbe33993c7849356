#pragma once
// The drawing program's main window "Tessaly Signal Works, Inc.": the tool
// row, the tool buttons, the drawing area with the view, the clipping box, the
// zoom window and the text box, the logo panel and the status bar. Start-up
// runs once, at the first activation; closing asks about the logo list and
// keeps the view in "SysCanvas.BMP". Every handler catches what its code
// raises and shows it in a box; nothing is thrown into Qt.
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "common/SignFont.h"
#include "draw/DrawModel.h"
#include "draw/LogoList.h"

class QAction;
class QFileDialog;
class QLabel;
class QToolButton;

namespace draw {
class ColorBox;
class FontChoice;
class LogoPanel;
class SaveBoxWidget;
class TextBox;
class TextBoxTool;
class TextBoxWidget;
class TextFontBoxes;
class ToolButtons;
class ToolController;
class ViewWidget;
class ZoomWindow;
}  // namespace draw

namespace drawapp {

class TfrmAbout;
class ZoomHook;

// The dialogs of the File and Picture menus; an empty answer is a cancelled
// dialog. Tests replace them.
struct FileDialogs {
  std::function<std::string(QWidget* parent, const std::string& initial)> openLogo;
  std::function<std::string(QWidget* parent, const std::string& current)> saveLogo;
  std::function<std::string(QWidget* parent)> openBitmap;
};
FileDialogs QtFileDialogs();
// The logo file dialog: filter "LOGO files" on *.log in either case, default
// extension "LOG"; the save dialog asks before overwriting.
std::unique_ptr<QFileDialog> LogoFileDialog(QWidget* parent, bool save, const std::string& initial);

class TfrmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  // --- start-up, clock and closing ---
  void FormActivate();
  bool StartedUp() const { return startedUp_; }
  // Closing: the question about the logo list, then the view is kept. False
  // when the window stays open.
  bool FormCloseQuery();
  void tmrTimeTimer();
  void About1Click();
  void Exit1Click() { close(); }

  // --- File, Tools and Picture menus ---
  void New1Click();
  void Load1Click();
  void Save1Click();
  void SaveAs1Click();
  void ClearScratch1Click();
  void LoadPCX1Click();
  void Transparent1Click();

  FileDialogs fileDialogs = QtFileDialogs();

  draw::DrawModel& Model() { return model_; }
  draw::ToolController& Tools() { return *tools_; }
  draw::LogoList& Logos() { return logos_; }
  draw::ZoomWindow& Zoom() { return *zoom_; }
  draw::TextBox& TextBox() { return *textBox_; }
  draw::FontChoice& Fonts() { return *fontChoice_; }
  const signfont::SignFontTable& SignFonts() const { return signFonts_; }
  int PixelsPerInchY() const { return pixelsPerInchY_; }
  const std::string& ProgramDir() const { return programDir_; }
  // Menu items by their object names ("New1", "Cut1", ...).
  QAction* MenuItem(const std::string& name) const;

  // Components (names as the handlers refer to them).
  QWidget* palTools = nullptr;  // the tool row
  QToolButton* spdTransparent = nullptr;
  QToolButton* spdCut = nullptr;
  QToolButton* spdCopy = nullptr;
  QToolButton* spdPaste = nullptr;
  draw::ColorBox* cboColor = nullptr;
  QLabel* palTime = nullptr;
  draw::ToolButtons* spdTools = nullptr;
  QWidget* palImg = nullptr;
  draw::ViewWidget* Img = nullptr;
  draw::SaveBoxWidget* SaveBox = nullptr;
  draw::TextBoxWidget* textBoxWidget = nullptr;
  draw::LogoPanel* palLogo = nullptr;
  QLabel* lblFN_M = nullptr;
  QLabel* lblFN = nullptr;
  QLabel* lblXY = nullptr;
  QLabel* lblClipping = nullptr;
  QLabel* palSignSize = nullptr;
  TfrmAbout* frmAbout = nullptr;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void BuildMenus();
  QWidget* BuildToolRow();
  QWidget* BuildStatusBar();
  void WireTools();
  void WireLogoPanel();
  void OpenSignFonts();
  void CommitTextBox();
  void FollowViewAndBox();

  draw::DrawModel model_;
  draw::LogoList logos_;
  signfont::SignFontTable signFonts_;
  std::unique_ptr<draw::FontChoice> fontChoice_;
  std::unique_ptr<draw::TextBox> textBox_;
  std::unique_ptr<draw::ToolController> tools_;
  std::unique_ptr<ZoomHook> zoomHook_;
  std::unique_ptr<draw::TextBoxTool> textTool_;
  draw::ZoomWindow* zoom_ = nullptr;
  draw::TextFontBoxes* fontBoxes_ = nullptr;
  std::map<std::string, QAction*> menuItems_;
  QTimer tmrTime;
  std::string programDir_;
  std::string windowsDir_;
  int pixelsPerInchY_ = 96;
  bool startedUp_ = false;
};

}  // namespace drawapp
