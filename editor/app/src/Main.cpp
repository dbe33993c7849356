#include "editorapp/Main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>
#include <filesystem>

#include "common/LinkSettings.h"
#include "common/Util.h"
#include "editor/BillEditor.h"
#include "editor/BillEditorWidget.h"
#include "editor/FrameGeometry.h"
#include "editor/FrameListPainter.h"
#include "editor/FrameOperations.h"
#include "editor/GuardedEdit.h"
#include "editor/About.h"
#include "editor/European.h"
#include "editor/MessageFile.h"
#include "editor/Mode.h"
#include "editor/Param.h"
#include "editor/SelLOG.h"
#include "editor/SetRGB.h"
#include "editor/Sending.h"
#include "editorapp/ColorBox.h"
#include "editorapp/EditorLink.h"
#include "editorapp/ImagePanel.h"
#include "editorapp/StartUp.h"
#include "platform/Directories.h"
#include "platform/ExceptionReport.h"
#include "platform/InOutError.h"
#include "platform/MessageBoxes.h"
#include "platform/QtText.h"

namespace editorapp {
namespace {

QString Q(const std::string& s) { return platform::ToQt(s); }

const QColor kPanelGrey(128, 128, 128);

QToolButton* Button(QWidget* owner, const char* name, const char* caption, bool toggle = false) {
  auto* b = new QToolButton(owner);
  b->setObjectName(name);
  b->setText(caption);
  b->setToolButtonStyle(Qt::ToolButtonTextOnly);
  b->setCheckable(toggle);
  b->setFocusPolicy(Qt::NoFocus);
  b->setMinimumWidth(44);
  return b;
}

// A chosen file; the dialog's own filter matches both cases of the extension.
std::string RunFileDialog(QWidget* parent, QFileDialog::AcceptMode mode, const char* filter, const char* extension,
                          const std::string& initial) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(mode);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(extension);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  // A chooser with nothing to start from starts in the current directory.
  const std::string offered = initial.empty() ? platform::CurrentDirectory() : initial;
  const std::string folder = initial.empty() ? offered : std::filesystem::path(offered).parent_path().string();
  dialog.setDirectory(platform::DialogFolder(folder.empty() ? platform::CurrentDirectory() : folder));
  // The whole path: a dialog that cannot enter a folder whose name is not
  // UTF-8 opens on the folder above it and offers "folder/name" from there.
  const QFileInfo start(Q(offered));
  if (!initial.empty() && !start.fileName().contains('*')) dialog.selectFile(start.absoluteFilePath());
  if (mode == QFileDialog::AcceptOpen) dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return platform::PathFromQt(dialog.selectedFiles().first(), offered);
}

}  // namespace

// The status bar's labels as the frame list updates them.
class StatusLabels : public editor::FrameListLabels {
 public:
  explicit StatusLabels(TfrmMain& main) : main_(main) {}
  void ShowFramePosition(const std::string& text) override { Show(main_.lblFrame, text); }
  void ShowFileName(const std::string& path) override {
    Show(main_.lblFN, path);
    main_.lblFN->setToolTip(Q(path));
  }
  void ShowModifiedMark(const std::string& mark) override { Show(main_.lblFN_M, mark); }

 private:
  // Each label is refreshed at once, as the frame list's steps expect.
  static void Show(QLabel* label, const std::string& text) {
    label->setText(Q(text));
    label->repaint();
  }
  TfrmMain& main_;
};

FileChoosers QtFileChoosers() {
  FileChoosers c;
  c.openFrameFile = [](QWidget* parent, const std::string& initial) {
    return RunFileDialog(parent, QFileDialog::AcceptOpen, "SML files (*.sml *.SML)", "SML", initial);
  };
  c.saveFrameFile = [](QWidget* parent, const std::string& current) {
    return RunFileDialog(parent, QFileDialog::AcceptSave, "SML files (*.sml *.SML)", "SML", current);
  };
  c.openLogoFile = [](QWidget* parent) {
    return RunFileDialog(parent, QFileDialog::AcceptOpen, "LOGO files (*.log *.LOG)", "LOG", {});
  };
  return c;
}

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmMain");
  setWindowTitle(kMainCaption);
  auto* central = new QWidget(this);
  auto* top = new QVBoxLayout(central);
  top->setContentsMargins(0, 0, 0, 0);
  top->setSpacing(0);
  BuildToolBar();
  top->addWidget(Panel2);

  palImg = new QWidget(central);
  palImg->setObjectName("palImg");
  palImg->setAutoFillBackground(true);
  QPalette grey = palImg->palette();
  grey.setColor(QPalette::Window, kPanelGrey);
  palImg->setPalette(grey);
  imgPanel = new ImagePanel(img_, palImg);
  imgPanel->setObjectName("Img");
  imgPanel->mousePressed = [this](int x, int y) { ImgMouseDown(x, y); };
  SpeedButton1 = Button(palImg, "SpeedButton1", "RGB");
  SpeedButton1->hide();
  top->addWidget(palImg, 1);
  setCentralWidget(central);

  BuildStatusBar();
  BuildMenus();
  ShowSettingsInMenu();

  // The dialogs in their order; the sending window comes with the link.
  frmAbout = new editor::TfrmAbout(this);
  frmParam = new editor::TfrmParam(this);
  frmParam->HardwareClear = [this] { link_->Sender().HardwareClear(); };
  frmMode = new editor::TfrmMode(this);
  showModeDialog = [this](std::uint8_t& speed, std::string& modes) {
    frmMode->LastMode = settings_.lastMode;
    frmMode->Fill(speed, modes);
    const bool ok = frmMode->exec() == QDialog::Accepted;
    settings_.lastMode = frmMode->LastMode;
    if (ok) {
      speed = static_cast<std::uint8_t>(frmMode->Speed());
      modes = frmMode->Modes();
    }
    return ok;
  };
  frmSelLOG = new editor::TfrmSelLOG(this);
  frmSelLOG->SetInsertLogo([this](const QImage& logo) {
    if (Editor()) editor::GuardedEdit([&] { Editor()->InsertLogo(logo); });
  });
  link_ = std::make_unique<EditorLink>(this);
  frmSetRGB = new editor::TfrmSetRGB(this);
  frmEuropean = new editor::TfrmEuropean(&fonts_, this);
  frmEuropean->SetInsertChar([this](std::uint8_t code) {
    if (Editor()) editor::GuardedEdit([&] { Editor()->InsertCell(editor::kKindCharacter, code, true); });
  });
  connect(SpeedButton1, &QToolButton::clicked, this, [this] { platform::Guarded([&] { frmSetRGB->exec(); }); });

  tmrTime = new QTimer(this);
  tmrTime->setObjectName("tmrTime");
  tmrTime->setInterval(400);
  connect(tmrTime, &QTimer::timeout, this, [this] { platform::Guarded([&] { tmrTimeTimer(); }); });
  tmrTime->start();

  resize(1000, 700);
}

TfrmMain::~TfrmMain() {
  // The control works on the model: it goes before the model does.
  frames_.reset();
  delete control_;
  control_ = nullptr;
}

void TfrmMain::BuildToolBar() {
  Panel2 = new QWidget(this);
  Panel2->setObjectName("Panel2");
  auto* bar = new QHBoxLayout(Panel2);
  bar->setContentsMargins(4, 3, 4, 3);
  spdBold = Button(Panel2, "spdBold", "B", true);
  QFont bold = spdBold->font();
  bold.setBold(true);
  spdBold->setFont(bold);
  spdReverse = Button(Panel2, "spdReverse", "R", true);
  spdEU = Button(Panel2, "spdEU", "EU");
  spdBeep = Button(Panel2, "spdBeep", "Beep");
  spdFix = Button(Panel2, "spdFix", "Fix", true);
  spdCut = Button(Panel2, "spdCut", "Cut");
  spdCopy = Button(Panel2, "spdCopy", "Copy");
  spdPaste = Button(Panel2, "spdPaste", "Paste");
  for (QToolButton* b : {spdBold, spdReverse, spdEU, spdBeep}) bar->addWidget(b);
  bar->addSpacing(10);
  bar->addWidget(spdFix);
  bar->addSpacing(10);
  for (QToolButton* b : {spdCut, spdCopy, spdPaste}) bar->addWidget(b);
  bar->addSpacing(10);

  cboFont = new QComboBox(Panel2);
  cboFont->setObjectName("cboFont");
  // The captions line up their sizes with blanks: a fixed-pitch font keeps them.
  cboFont->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  for (int i = 0; i < signfont::kEditorFontBoxCount; ++i) {
    cboFont->addItem(Q(std::string(signfont::FontInfo(i).caption)));
  }
  cboFont->setFocusPolicy(Qt::ClickFocus);
  bar->addWidget(cboFont);

  cboColor = new ColorComboBox(Panel2);
  cboColor->setObjectName("cboColor");
  cboColor->setFocusPolicy(Qt::ClickFocus);
  cboColor->setMinimumWidth(110);
  bar->addWidget(cboColor);
  bar->addStretch();

  palTime = new QLabel(Panel2);
  palTime->setObjectName("palTime");
  palTime->setFrameShape(QFrame::Panel);
  palTime->setFrameShadow(QFrame::Sunken);
  palTime->setMinimumWidth(80);
  palTime->setAlignment(Qt::AlignCenter);
  bar->addWidget(palTime);

  auto guarded = [this](void (TfrmMain::*handler)()) {
    return [this, handler] { platform::Guarded([&] { (this->*handler)(); }); };
  };
  connect(spdBold, &QToolButton::clicked, this, guarded(&TfrmMain::spdBoldClick));
  connect(spdReverse, &QToolButton::clicked, this, guarded(&TfrmMain::spdReverseClick));
  connect(spdFix, &QToolButton::clicked, this, guarded(&TfrmMain::spdFixClick));
  connect(spdEU, &QToolButton::clicked, this, [this] { platform::Guarded([&] { frmEuropean->exec(); FocusControl(); }); });
  connect(spdBeep, &QToolButton::clicked, this, guarded(&TfrmMain::InsertBeep));
  connect(spdCut, &QToolButton::clicked, this, guarded(&TfrmMain::CutFrame));
  connect(spdCopy, &QToolButton::clicked, this, guarded(&TfrmMain::CopyFrame));
  connect(spdPaste, &QToolButton::clicked, this, guarded(&TfrmMain::PasteFrame));
  connect(cboFont, &QComboBox::activated, this, [this](int i) { platform::Guarded([&] { SetCurrentFont(i); }); });
  connect(cboColor, &QComboBox::activated, this, [this](int i) { platform::Guarded([&] { SetCurrentColor(i); }); });
}

void TfrmMain::BuildStatusBar() {
  auto* bar = statusBar();
  bar->setObjectName("Panel1");
  auto label = [bar](const char* name, const char* text, int stretch = 0) {
    auto* l = new QLabel(text);
    l->setObjectName(name);
    bar->addWidget(l, stretch);
    return l;
  };
  lblFN_M = label("lblFN_M", "File:");
  lblFN = label("lblFN", "", 1);
  label("lblFrameCaption", "Frame:");
  lblFrame = label("lblFrame", "");
  lblFrame->setMinimumWidth(60);
  label("lblColumnCaption", "Column:");
  lblColumn = label("lblColumn", "");
  lblColumn->setMinimumWidth(40);
  palSignSize = new QLabel;
  palSignSize->setObjectName("palSignSize");
  palSignSize->setFrameShape(QFrame::Panel);
  palSignSize->setFrameShadow(QFrame::Sunken);
  palSignSize->setMinimumWidth(80);
  palSignSize->setAlignment(Qt::AlignCenter);
  bar->addPermanentWidget(palSignSize);
}

void TfrmMain::BuildMenus() {
  // Every shortcut is one key, set here: Qt's standard keys would add others
  // (its Copy also binds Ctrl+Insert, here New Frame).
  auto add = [this](QMenu* menu, const char* name, const char* text, std::function<void()> handler,
                    QKeySequence key = QKeySequence()) {
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    a->setShortcuts(key.isEmpty() ? QList<QKeySequence>{} : QList<QKeySequence>{key});
    connect(a, &QAction::triggered, this, [handler] { platform::Guarded([&] { handler(); }); });
    return a;
  };
  const auto ctrl = [](int key) { return QKeySequence(Qt::CTRL | key); };

  QMenu* file = menuBar()->addMenu("&File");
  add(file, "New1", "&New", [this] { New1Click(); });
  add(file, "Load1", "&Open...", [this] { Load1Click(); }, ctrl(Qt::Key_O));
  add(file, "Save1", "&Save", [this] { Save1Click(); }, ctrl(Qt::Key_S));
  add(file, "SaveAs1", "Save &As...", [this] { SaveAs1Click(); });
  file->addSeparator();
  add(file, "mnuSysParam", "System Parameters Setup...", [this] { mnuSysParamClick(1); }, ctrl(Qt::Key_P));
  file->addSeparator();
  add(file, "Exit1", "&Exit", [this] { close(); }, QKeySequence(Qt::ALT | Qt::Key_F4));

  QMenu* frame = menuBar()->addMenu("Fr&ame");
  add(frame, "mnuNewFrame", "&New Frame", [this] { NewFrameAt(model_ ? model_->CurrentFrame : 0); },
      ctrl(Qt::Key_Insert));
  add(frame, "mnuInsertFrame", "Insert Frame", [this] { NewFrameAt(model_ ? model_->CurrentFrame + 1 : 0); },
      ctrl(Qt::Key_PageDown));
  add(frame, "mnuDeleteFrame", "&Delete Frame", [this] { DeleteFrame(); }, ctrl(Qt::Key_Delete));
  add(frame, "mnuClearFrame", "Clea&r Frame", [this] { ClearFrame(); }, QKeySequence(Qt::Key_F5));
  frame->addSeparator();
  add(frame, "mnuPreviousFrame", "Previous Frame", [this] { GotoPreviousFrame(); }, QKeySequence(Qt::Key_PageUp));
  add(frame, "mnuNextFrame", "Next Frame", [this] { GotoNextFrame(); }, QKeySequence(Qt::Key_PageDown));

  QMenu* edit = menuBar()->addMenu("&Edit");
  add(edit, "mnuFunction", "&Function...", [this] { EditFrameFunctions(model_ ? model_->CurrentFrame : 0); },
      ctrl(Qt::Key_F));
  add(edit, "mnuInsertLogo", "&Insert Logo...", [this] { mnuInsertLogoClick(); }, ctrl(Qt::Key_I));
  mnuFix = add(edit, "mnuFix", "Fi&x", [this] {
    spdFix->toggle();
    spdFixClick();
  });
  mnuFix->setCheckable(true);
  add(edit, "mnuAnimation", "&Animation", [] {})->setEnabled(false);
  edit->addSeparator();
  add(edit, "mnuCut", "&Cut", [this] { CutFrame(); }, ctrl(Qt::Key_X));
  add(edit, "mnuCopy", "C&opy", [this] { CopyFrame(); }, ctrl(Qt::Key_C));
  add(edit, "mnuPaste", "&Paste", [this] { PasteFrame(); }, ctrl(Qt::Key_V));

  QMenu* text = menuBar()->addMenu("&Text");
  mnuBold = add(text, "mnuBold", "&Bold", [this] {
    spdBold->toggle();
    spdBoldClick();
  }, ctrl(Qt::Key_B));
  mnuBold->setCheckable(true);
  mnuReverse = add(text, "mnuReverse", "&Reverse", [this] {
    spdReverse->toggle();
    spdReverseClick();
  }, ctrl(Qt::Key_R));
  mnuReverse->setCheckable(true);
  add(text, "mnuEuropean", "&European", [this] { frmEuropean->exec(); FocusControl(); }, ctrl(Qt::Key_E));
  add(text, "mnuBeep", "Bee&p", [this] { InsertBeep(); });

  QMenu* send = menuBar()->addMenu("&Send");
  add(send, "mnuGoToSign", "&Go to Sign", [this] { GoToSign(); }, ctrl(Qt::Key_G));
  add(send, "mnuClearSign", "C&lear Sign", [this] { ClearSign(); });
  send->addSeparator();
  mnuID = add(send, "mnuID", "&ID: 0", [this] { mnuSysParamClick(1); });
  mnuCOM = add(send, "mnuCOM", "&Com: 1", [this] { mnuSysParamClick(2); });
  mnuBAUD = add(send, "mnuBAUD", "&Baud: 9600", [this] { mnuSysParamClick(3); });
  mnuTIME = add(send, "mnuTIME", "&Time: 24H", [this] { mnuSysParamClick(4); });

  QMenu* help = menuBar()->addMenu("&Help");
  add(help, "mnuAbout", "&About Selvanex...", [this] { frmAbout->exec(); });
}

// --- start-up and closing ---

bool TfrmMain::event(QEvent* e) {
  const bool handled = QMainWindow::event(e);
  if (e->type() == QEvent::WindowActivate && !activated_) platform::Guarded([&] { FormActivate(); });
  return handled;
}

void TfrmMain::FormActivate() {
  if (activated_) return;
  // Marked first: a failing step ends the set-up there, and a later
  // activation (back from a dialog) does not run it again.
  activated_ = true;
  ready_ = StartUpSteps();
}

bool TfrmMain::StartUpSteps() {
  windowsDir_ = platform::SystemDirectory();
  programDir_ = platform::ProgramDirectory();
  if (const std::string why = platform::ProgramDirectoryWarning(); !why.empty()) util::ShowWarning(why);
  settings_ = LoadStartUpSettings(programDir_, &settingsRead_);
  // A file that could not be read is not written over by the close either.
  settingsLoaded_ = !settings::KeptFromSaves(settings::SettingsPath(programDir_));
  ShowSettingsInMenu();
  if (!IsValidSignHeight(settings_.signHeight)) {
    StopStartUp(kSignHeightErrorText);
    return false;
  }
  link_->SetUp(settings_);

  const editor::SignGeometry sign{settings_.signWidth, settings_.signHeight};
  geometry_ = editor::ComputeGeometry(palImg->width(), palImg->height(), sign);
  img_ = QImage(palImg->size(), QImage::Format_RGB32);
  img_.fill(kPanelGrey);
  imgPanel->setGeometry(0, 0, palImg->width(), palImg->height());
  rowPainted_.fill(false);
  palSignSize->setText(Q(SignSizeText(settings_)));
  SetCurrentFont(0);
  SetCurrentColor(0);

  try {
    fonts_.Open(programDir_);
  } catch (const std::exception&) {
    int missing = 0;
    while (missing < signfont::kSignFontCount - 1 && fonts_.IsOpen(missing)) ++missing;
    StopStartUp("The sign font file " + std::string(signfont::FontInfo(missing).fileName) +
                " cannot be opened in " + programDir_ + "!");
    return false;
  }

  model_ = std::make_unique<editor::MessageModel>(sign);
  model_->CurrentFont = cboFont->currentIndex();
  model_->CurrentColor = cboColor->currentIndex();
  labels_ = std::make_unique<StatusLabels>(*this);
  painter_ = std::make_unique<editor::FrameListPainter>(*model_, geometry_, img_, rowPainted_, *labels_);
  control_ = new editor::BillEditorWidget(*model_, *this, fonts_, palImg);
  control_->setObjectName("BillEditor");
  control_->show();
  control_->raise();
  frames_ = std::make_unique<editor::FrameOperations>(*model_, control_->Editor(), *painter_, *labels_);
  document_ = std::make_unique<Document>(
      *model_, settings_, static_cast<DocumentView&>(*this),
      [this](editor::MessageModel& m, int f) { editor::RedrawFramePicture(control_->Editor(), m, f); });

  // The message first: disabling the colour box hands the focus to the
  // control, which shows the caret of the current frame.
  document_->NewMessage();
  if (IsMono(settings_)) {
    cboColor->setCurrentIndex(0);
    SetCurrentColor(0);
    cboColor->setEnabled(false);
  }
  return true;
}

void TfrmMain::StopStartUp(const std::string& warning) {
  stopped_ = true;
  util::ShowWarning(warning);
  // Closed once the activation is done, so no event of this start-up runs on a closed window.
  QTimer::singleShot(0, this, [this] { close(); });
}

void TfrmMain::closeEvent(QCloseEvent* e) {
  bool keepOpen = false;
  platform::Guarded([&] {
    // Only settings that were read are written back: a start-up that stopped
    // before reading them never puts defaults over the shared file.
    if (settingsLoaded_) editor::SaveSettings(programDir_, settings_, settingsRead_);
    if (ready_ && document_) keepOpen = document_->AskSaveChanges() == platform::kResultCancel;
  });
  if (keepOpen) {
    e->ignore();
    return;
  }
  tmrTime->stop();
  e->accept();
}

void TfrmMain::ShowSettingsInMenu() {
  const SettingsMenuTexts t = MenuTextsOf(settings_);
  mnuID->setText(Q(t.id));
  mnuCOM->setText(Q(t.com));
  mnuBAUD->setText(Q(t.baud));
  mnuTIME->setText(Q(t.time));
}

// --- file commands ---

int TfrmMain::AskSaveChanges() { return document_ ? document_->AskSaveChanges() : platform::kResultYes; }

void TfrmMain::New1Click() {
  if (document_) document_->New();
}
void TfrmMain::Load1Click() {
  if (document_) document_->Open();
}
void TfrmMain::Save1Click() {
  if (document_) document_->Save();
}
void TfrmMain::SaveAs1Click() {
  if (document_) document_->SaveAs();
}

void TfrmMain::NewMessage() {
  model_->NewMessage(platform::CurrentDirectory());
  SetFileName(model_->DocFileName);
  control_->Editor().SelectFrame(-1, 0);
  painter_->DrawFrameRow(0, true);
  SetModified(false);
}

void TfrmMain::ShowOpenedMessage() { control_->Editor().SelectFrame(-1, model_->CurrentFrame); }

void TfrmMain::SetFileName(const std::string& path) { frames_->SetFileName(path); }

std::string TfrmMain::ChooseOpenFile(const std::string& initial) {
  return fileChoosers.openFrameFile ? fileChoosers.openFrameFile(this, initial) : std::string();
}
std::string TfrmMain::ChooseSaveFile(const std::string& current) {
  return fileChoosers.saveFrameFile ? fileChoosers.saveFrameFile(this, current) : std::string();
}

void TfrmMain::mnuSysParamClick(int focusSelector) {
  frmParam->Fill(settings_);
  frmParam->FocusSelector = static_cast<std::uint8_t>(focusSelector);
  if (frmParam->exec() != QDialog::Accepted) return;
  // A new sign size is saved for the next start; the message, the drawing,
  // the picker and the sender keep the size this start read.
  frmParam->TakeInto(settings_);
  settingsLoaded_ = true;
  editor::SaveSettings(programDir_, settings_, settingsRead_);
  ShowSettingsInMenu();
  link_->SetUp(settings_);
}

// --- frames ---

editor::TBillEditor* TfrmMain::Editor() { return control_ ? &control_->Editor() : nullptr; }

void TfrmMain::FocusControl() {
  if (control_) control_->setFocus();
}

void TfrmMain::NewFrameAt(int index) {
  if (frames_) frames_->NewFrameAt(index);
}

void TfrmMain::DeleteFrame() {
  if (frames_) frames_->DeleteFrame();
}

void TfrmMain::ClearFrame() {
  if (!frames_) return;
  Editor()->ClearFrame();
  painter_->DrawFrameLabel(model_->CurrentFrame);
  imgPanel->update();
  // The cells are gone from the message: closing now must ask.
  SetModified(true);
}

void TfrmMain::CutFrame() {
  if (frames_) frames_->CutFrame();
}
void TfrmMain::CopyFrame() {
  if (frames_) frames_->CopyFrame();
}
void TfrmMain::PasteFrame() {
  if (frames_) frames_->PasteFrame();
}

void TfrmMain::InsertBeep() {
  if (Editor()) editor::GuardedEdit([&] { Editor()->InsertCell(editor::kKindBeep, editor::kBeepCode, true); });
  FocusControl();
}

void TfrmMain::mnuInsertLogoClick() {
  if (!Editor() || !fileChoosers.openLogoFile) return;
  const std::string chosen = fileChoosers.openLogoFile(this);
  if (chosen.empty()) return;
  // The next file dialog starts where this one went.
  platform::SetCurrentDirectory(std::filesystem::path(chosen).parent_path().string());
  frmSelLOG->LogoFileName = chosen;
  // The picker fits logos to the sign the message was started for.
  frmSelLOG->SetSign(model_->Sign().width, model_->Sign().height);
  frmSelLOG->exec();
  FocusControl();
}

void TfrmMain::GoToSign() {
  if (!model_) return;
  // Logos the sign has no letter for stay behind: said once, before the send.
  if (const std::string unsent = editor::UnsentLogosText(model_->LogoCount()); !unsent.empty()) util::ShowInfo(unsent);
  link_->Sender().Send(editor::SendMode::Message, *model_, settings_);
}

void TfrmMain::ClearSign() {
  if (model_) link_->Sender().Send(editor::SendMode::ClearSign, *model_, settings_);
}

void TfrmMain::EditFrameFunctions(int index) {
  if (!model_ || index < 0 || index >= model_->FrameCount()) return;
  editor::TFrame& f = model_->Frame(index);
  if (f.FixedFrame) {
    util::ShowWarning(kNotForFunctionsText);
    return;
  }
  std::uint8_t speed = f.Speed;
  std::string modes = f.Modes;
  if (!showModeDialog || !showModeDialog(speed, modes)) return;
  const bool changed = speed != f.Speed || modes != f.Modes;
  f.Speed = speed;
  f.Modes = modes;
  painter_->DrawFrameLabel(index);
  imgPanel->update();
  // What is sent changed with them: closing must ask.
  if (changed) SetModified(true);
}

void TfrmMain::spdFixClick() {
  editor::TBillEditor* ed = Editor();
  if (!ed) {
    mnuFix->setChecked(spdFix->isChecked());
    return;
  }
  const int current = model_->CurrentFrame;
  const bool wanted = spdFix->isChecked();
  std::vector<int> redraw;
  const bool down = ToggleFix(*model_, current, wanted, ed->FrameTextWidth(current), redraw);
  spdFix->setChecked(down);
  for (int j : redraw) editor::RedrawFramePicture(*ed, *model_, j);
  // The current frame redrawn on the control, the caret and the list with it.
  ed->SelectFrame(-1, current);
  mnuFix->setChecked(down);
  if (down == wanted) SetModified(true);
}

void TfrmMain::spdBoldClick() { mnuBold->setChecked(spdBold->isChecked()); }
void TfrmMain::spdReverseClick() { mnuReverse->setChecked(spdReverse->isChecked()); }

void TfrmMain::ImgMouseDown(int x, int y) {
  if (!model_) return;
  const auto click = HitFrameRow(geometry_, rowPainted_, model_->FirstVisibleRow, x, y);
  if (!click) return;
  if (click->frame != model_->CurrentFrame) Editor()->SelectFrame(model_->CurrentFrame, click->frame);
  if (click->onLabel) EditFrameFunctions(click->frame);
}

void TfrmMain::SetCurrentFont(int index) {
  cboFont->setCurrentIndex(index);
  if (model_) model_->CurrentFont = index;
  FocusControl();
}

void TfrmMain::SetCurrentColor(int index) {
  cboColor->setCurrentIndex(index);
  if (model_) model_->CurrentColor = index;
  FocusControl();
}

void TfrmMain::ShowFramePosition() {
  if (model_) labels_->ShowFramePosition(editor::FramePositionText(*model_));
}

void TfrmMain::tmrTimeTimer() {
  const QString now = Q(util::TimeText());
  if (palTime->text() != now) palTime->setText(now);
}

// --- host of the line editor control ---

void TfrmMain::GotoPreviousFrame() {
  if (frames_) frames_->GotoPreviousFrame();
}
void TfrmMain::GotoNextFrame() {
  if (frames_) frames_->GotoNextFrame();
}

void TfrmMain::SetModified(bool modified) {
  if (frames_) frames_->SetModified(modified);
}

void TfrmMain::DrawFrameList() {
  if (painter_) painter_->DrawFrameList();
  imgPanel->update();
}

void TfrmMain::ShowFixState(bool down) {
  spdFix->setChecked(down);
  mnuFix->setChecked(down);
  spdFix->repaint();
}

void TfrmMain::ShowColumn(int column) {
  lblColumn->setText(QString::number(column));
  lblColumn->repaint();
}

bool TfrmMain::BoldDown() const { return spdBold->isChecked(); }
bool TfrmMain::ReverseDown() const { return spdReverse->isChecked(); }

}  // namespace editorapp
