#include "drawapp/Main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <filesystem>

#include "common/Util.h"
#include "draw/LogoPanel.h"
#include "draw/TextBoxHost.h"
#include "draw/BitmapImport.h"
#include "draw/FrameKeyFilter.h"
#include "draw/ToolController.h"
#include "draw/TextBoxTool.h"
#include "draw/ToolWidgets.h"
#include "draw/ZoomHost.h"
#include "draw/ZoomWidgets.h"
#include "draw/text/FontChoice.h"
#include "draw/text/TextBox.h"
#include "draw/text/TextBoxWidget.h"
#include "draw/text/TextFontBoxes.h"
#include "drawapp/About.h"
#include "drawapp/StartUp.h"
#include "common/LinkSettings.h"
#include "platform/Directories.h"
#include "platform/ExceptionReport.h"
#include "platform/MessageBoxes.h"
#include "platform/QtText.h"

namespace drawapp {

using platform::Guarded;

namespace {

QString Q(const std::string& s) { return platform::ToQt(s); }

QToolButton* RowButton(QWidget* parent, const char* name, const char* text) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setText(text);
  return b;
}

}  // namespace

std::unique_ptr<QFileDialog> LogoFileDialog(QWidget* parent, bool save, const std::string& initial) {
  // Qt's own dialog compares names with the filter ignoring case, so *.log
  // lists X.LOG too. The open dialog starts in the directory of "dir/*.LOG".
  // It starts in a folder Qt can enter, and is given the whole path: a dialog
  // that cannot enter a folder whose name is not UTF-8 opens on the folder
  // above it and offers "folder/name" from there.
  const QFileInfo start(Q(initial));
  const std::string folder = std::filesystem::path(initial).parent_path().string();
  auto dialog = std::make_unique<QFileDialog>(parent, save ? "Save As" : "Open",
                                              platform::DialogFolder(folder), "LOGO files (*.log)");
  if (!initial.empty() && !start.fileName().contains('*')) dialog->selectFile(start.absoluteFilePath());
  dialog->setObjectName(save ? "SaveDialog" : "OpenDialog");
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setDefaultSuffix("LOG");
  if (save) {
    dialog->setAcceptMode(QFileDialog::AcceptSave);
  } else {
    dialog->setFileMode(QFileDialog::ExistingFile);
  }
  return dialog;
}

namespace {

// The chosen path, under the bytes of the path the dialog was offered.
std::string Run(QFileDialog& dialog, const std::string& offered) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::string();
  return platform::PathFromQt(dialog.selectedFiles().first(), offered);
}

}  // namespace

FileDialogs QtFileDialogs() {
  FileDialogs d;
  d.openLogo = [](QWidget* parent, const std::string& initial) {
    return Run(*LogoFileDialog(parent, false, initial), initial);
  };
  d.saveLogo = [](QWidget* parent, const std::string& current) {
    return Run(*LogoFileDialog(parent, true, current), current);
  };
  d.openBitmap = [](QWidget* parent) {
    const std::string here = platform::CurrentDirectory();
    auto dialog = draw::BitmapFileDialog(parent);
    dialog->setDirectory(platform::DialogFolder(here));
    return Run(*dialog, here);
  };
  return d;
}

// The tools' hook on the zoom window.
class ZoomHook : public draw::ZoomHost {
 public:
  explicit ZoomHook(draw::ZoomWindow& zoom) : zoom_(zoom) {}
  void ZoomIn(QPoint p) override { zoom_.ZoomIn(p); }
  void ZoomOut() override { zoom_.ZoomOut(); }

 private:
  draw::ZoomWindow& zoom_;
};

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmMain");
  setWindowTitle("Tessaly Signal Works, Inc.");
  setFont(QFont("Times New Roman"));
  pixelsPerInchY_ = logicalDpiY();
  fontChoice_ = std::make_unique<draw::FontChoice>(pixelsPerInchY_);
  textBox_ = std::make_unique<draw::TextBox>(model_, signFonts_, *fontChoice_, pixelsPerInchY_);
  tools_ = std::make_unique<draw::ToolController>(model_);

  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(BuildToolRow());
  auto* middle = new QHBoxLayout;
  spdTools = new draw::ToolButtons(*tools_, central);
  spdTools->setAutoFillBackground(true);
  QPalette grey = spdTools->palette();
  grey.setColor(QPalette::Window, QColor(192, 192, 192));
  spdTools->setPalette(grey);
  spdTools->setFixedWidth(spdTools->sizeHint().width());
  middle->addWidget(spdTools);
  palImg = new QWidget(central);
  palImg->setObjectName("palImg");
  palImg->setAutoFillBackground(true);
  QPalette white = palImg->palette();
  white.setColor(QPalette::Window, Qt::white);
  palImg->setPalette(white);
  palImg->setMinimumSize(200, 100);
  middle->addWidget(palImg, 1);
  column->addLayout(middle, 1);
  palLogo = new draw::LogoPanel(logos_, central);
  column->addWidget(palLogo);
  setCentralWidget(central);
  BuildStatusBar();

  Img = new draw::ViewWidget(*tools_, palImg);
  SaveBox = new draw::SaveBoxWidget(*tools_, palImg);
  zoom_ = new draw::ZoomWindow(model_, palImg);
  textBoxWidget = new draw::TextBoxWidget(*textBox_, palImg);
  textBoxWidget->setGeometry(0, 0, 10, 10);
  textBoxWidget->hide();
  zoomHook_ = std::make_unique<ZoomHook>(*zoom_);
  textTool_ = std::make_unique<draw::TextBoxTool>(model_, *textBox_, *tools_);
  tools_->SetZoomHost(zoomHook_.get());
  tools_->SetTextBox(textTool_.get());

  frmAbout = new TfrmAbout(this);
  BuildMenus();
  WireTools();
  WireLogoPanel();

  tmrTime.setInterval(400);
  connect(&tmrTime, &QTimer::timeout, this, [this] { Guarded([&] { tmrTimeTimer(); }); });
  tmrTime.start();
  new draw::FrameKeyFilter(*tools_, this);
  FormCreate();
}

TfrmMain::~TfrmMain() {
  // The box's window goes before the box it shows (children go last).
  delete textBoxWidget;
  // The tools go before the hooks they call.
  tools_->SetZoomHost(nullptr);
  tools_->SetTextBox(nullptr);
}

QWidget* TfrmMain::BuildToolRow() {
  palTools = new QWidget(this);
  palTools->setObjectName("palTools");
  palTools->setAutoFillBackground(true);
  QPalette teal = palTools->palette();
  teal.setColor(QPalette::Window, QColor(0, 128, 128));
  palTools->setPalette(teal);
  auto* row = new QHBoxLayout(palTools);
  row->setContentsMargins(4, 3, 4, 3);
  fontBoxes_ = new draw::TextFontBoxes(*fontChoice_, palTools);
  row->addWidget(fontBoxes_->Fonts());
  row->addWidget(fontBoxes_->Sizes());
  spdTransparent = RowButton(palTools, "spdTransparent", "Transparent");
  spdTransparent->setCheckable(true);
  spdCut = RowButton(palTools, "spdCut", "Cut");
  spdCopy = RowButton(palTools, "spdCopy", "Copy");
  spdPaste = RowButton(palTools, "spdPaste", "Paste");
  for (QToolButton* b : {spdTransparent, spdCut, spdCopy, spdPaste}) row->addWidget(b);
  cboColor = new draw::ColorBox(model_, palTools);
  row->addWidget(cboColor);
  row->addStretch();
  palTime = new QLabel(palTools);
  palTime->setObjectName("palTime");
  palTime->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  palTime->setStyleSheet("color: white;");
  palTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  row->addWidget(palTime);
  return palTools;
}

QWidget* TfrmMain::BuildStatusBar() {
  auto label = [this](const char* name, const QString& text = QString(), int width = 0) {
    auto* l = new QLabel(text, this);
    if (name) l->setObjectName(name);
    if (width) l->setMinimumWidth(width);
    statusBar()->addWidget(l);
    return l;
  };
  lblFN_M = label("lblFN_M", "File:");
  lblFN = label("lblFN", QString(), 260);
  label(nullptr, "(X, Y)=");
  lblXY = label("lblXY", QString(), 70);
  label(nullptr, "Clipping(HxW):");
  lblClipping = label("lblClipping", QString(), 70);
  palSignSize = new QLabel(this);
  palSignSize->setObjectName("palSignSize");
  statusBar()->addPermanentWidget(palSignSize);
  return statusBar();
}

namespace {

// The menus, in order: menu caption, then its items (object name, caption,
// shortcut); an empty name is a separator.
struct MenuItemSpec {
  const char* name;
  const char* caption;
  const char* shortcut;
};
struct MenuSpec {
  const char* caption;
  std::vector<MenuItemSpec> items;
};

const std::vector<MenuSpec>& Menus() {
  static const std::vector<MenuSpec> menus = {
      {"&File",
       {{"New1", "&New", ""},
        {"Open1", "&Open", "Ctrl+L"},
        {"Save1", "&Save", "Ctrl+S"},
        {"SaveAs1", "Save As...", ""},
        {"", "", ""},
        {"Exit1", "&Exit", ""}}},
      {"&Logo",
       {{"miInsert", "Insert", ""},
        {"miReplace", "Replace", ""},
        {"miDelete", "&Delete", ""},
        {"miClear", "&Clear", ""},
        {"miEdit", "&Edit", ""}}},
      {"Tools",
       {{"miCut", "&Cut", "Ctrl+X"},
        {"miCopy", "C&opy", "Ctrl+C"},
        {"miPaste", "&Paste", "Ctrl+V"},
        {"", "", ""},
        {"Transparent1", "&Transparent", ""},
        {"ClearScratch1", "Clear &Scratch", ""}}},
      {"&Picture", {{"LoadPCX1", "Load &BMP files", ""}}},
      {"&Help", {{"About1", "&About Pictane...", ""}}},
  };
  return menus;
}

}  // namespace

void TfrmMain::BuildMenus() {
  for (const MenuSpec& m : Menus()) {
    QMenu* menu = menuBar()->addMenu(m.caption);
    for (const MenuItemSpec& item : m.items) {
      if (!*item.name) {
        menu->addSeparator();
        continue;
      }
      QAction* a = menu->addAction(item.caption);
      a->setObjectName(item.name);
      if (*item.shortcut) a->setShortcut(QKeySequence(item.shortcut));
      menuItems_[item.name] = a;
    }
  }
  MenuItem("Transparent1")->setCheckable(true);
  auto on = [this](const char* name, void (TfrmMain::*handler)()) {
    connect(MenuItem(name), &QAction::triggered, this, [this, handler] { Guarded([&] { (this->*handler)(); }); });
  };
  on("New1", &TfrmMain::New1Click);
  on("Open1", &TfrmMain::Load1Click);
  on("Save1", &TfrmMain::Save1Click);
  on("SaveAs1", &TfrmMain::SaveAs1Click);
  on("Exit1", &TfrmMain::Exit1Click);
  on("Transparent1", &TfrmMain::Transparent1Click);
  on("ClearScratch1", &TfrmMain::ClearScratch1Click);
  on("LoadPCX1", &TfrmMain::LoadPCX1Click);
  on("About1", &TfrmMain::About1Click);
  // The Logo menu's first four share the panel's handlers; "&Edit" only
  // follows the button's state.
  auto share = [this](const char* name, void (draw::LogoPanel::*handler)()) {
    draw::LogoPanel* panel = palLogo;
    connect(MenuItem(name), &QAction::triggered, panel, [panel, handler] { Guarded([&] { (panel->*handler)(); }); });
  };
  share("miInsert", &draw::LogoPanel::spdInsertClick);
  share("miReplace", &draw::LogoPanel::spdReplaceClick);
  share("miDelete", &draw::LogoPanel::spdDeleteClick);
  share("miClear", &draw::LogoPanel::spdClearClick);
  connect(MenuItem("miCut"), &QAction::triggered, this, [this] { Guarded([&] { tools_->Cut(); }); });
  connect(MenuItem("miCopy"), &QAction::triggered, this, [this] { Guarded([&] { tools_->Copy(); }); });
  connect(MenuItem("miPaste"), &QAction::triggered, this, [this] { Guarded([&] { tools_->Paste(); }); });
}

QAction* TfrmMain::MenuItem(const std::string& name) const {
  const auto it = menuItems_.find(name);
  return it == menuItems_.end() ? nullptr : it->second;
}

void TfrmMain::WireTools() {
  using draw::ToolController;
  connect(spdCut, &QToolButton::clicked, this, [this] { Guarded([&] { tools_->Cut(); }); });
  connect(spdCopy, &QToolButton::clicked, this, [this] { Guarded([&] { tools_->Copy(); }); });
  connect(spdPaste, &QToolButton::clicked, this, [this] { Guarded([&] { tools_->Paste(); }); });
  connect(spdTransparent, &QToolButton::clicked, this,
          [this](bool down) { Guarded([&] { tools_->SetTransparent(down); }); });
  connect(tools_.get(), &ToolController::transparentChanged, this, [this](bool on) {
    spdTransparent->setChecked(on);
    MenuItem("Transparent1")->setChecked(on);
  });
  connect(tools_.get(), &ToolController::clippingBoxShown, this, [this](bool shown) {
    for (QToolButton* b : {spdCut, spdCopy, spdPaste}) b->setEnabled(shown);
    for (const char* name : {"miCut", "miCopy", "miPaste"}) MenuItem(name)->setEnabled(shown);
    palLogo->SetClippingBoxShown(shown);
  });
  connect(tools_.get(), &ToolController::xyTextChanged, lblXY, &QLabel::setText);
  connect(tools_.get(), &ToolController::clippingTextChanged, lblClipping, &QLabel::setText);

  zoom_->currentColor = [this] { return model_.CurrentColor(); };
  zoom_->showView = [this](bool shown) {
    Img->setVisible(shown);
    if (shown) Img->update();
  };
  zoom_->showXY = [this](const std::string& text) { lblXY->setText(Q(text)); };
  zoom_->showClipping = [this](const std::string& text) { lblClipping->setText(Q(text)); };
}

void TfrmMain::WireLogoPanel() {
  palLogo->AttachMenu(MenuItem("miInsert"), MenuItem("miReplace"), MenuItem("miDelete"), MenuItem("miClear"),
                      MenuItem("miEdit"));
  palLogo->view = [this]() -> QImage& { return model_.View(); };
  palLogo->clippingBox = [this]() -> std::optional<raster::Box> {
    if (!tools_->Box().Shown()) return std::nullopt;
    return tools_->Box().AsBox();
  };
  palLogo->signSize = [this] { return QSize(model_.SignWidth(), model_.SignHeight()); };
  palLogo->beforeEdit = [this] { zoom_->ZoomOut(); };
  palLogo->frameRegion = [this](QRect region) {
    tools_->FrameRegion(region);
    FollowViewAndBox();
  };
  logos_.openDialog = [this](const std::string& initial) { return fileDialogs.openLogo(this, initial); };
  logos_.saveDialog = [this](const std::string& current) { return fileDialogs.saveLogo(this, current); };
  logos_.Document().onFileName = [this](const std::string& name) {
    lblFN->setText(Q(name));
    lblFN->setToolTip(Q(name));
  };
  logos_.Document().onModified = [this](bool modified) {
    lblFN_M->setText(draw::LogoDocument::ModifiedCaption(modified));
  };
}

void TfrmMain::FollowViewAndBox() {
  Img->Follow();
  SaveBox->Follow();
}

void TfrmMain::FormCreate() {
  // The seven sign fonts, then the screen fonts; item 0 chosen.
  fontChoice_->SetScreenFonts(draw::QtFontFamilies());
  fontBoxes_->Refresh();
}

bool TfrmMain::event(QEvent* e) {
  const bool handled = QMainWindow::event(e);
  if (e->type() == QEvent::WindowActivate && !startedUp_) Guarded([&] { FormActivate(); });
  return handled;
}

void TfrmMain::FormActivate() {
  if (startedUp_) return;
  // Marked first: a later activation (after a box this raises) runs nothing.
  startedUp_ = true;
  windowsDir_ = platform::SystemDirectory();
  // The directory keeps its case: the file system tells names apart by it.
  programDir_ = platform::ProgramDirectory();
  if (const std::string why = platform::ProgramDirectoryWarning(); !why.empty()) util::ShowWarning(why);
  const SignSize read = ReadSignSize(settings::SettingsPath(programDir_));
  model_.SetSignSize(read.width, kDrawingSignHeight);
  palSignSize->setText(Q(SignSizeText(model_.SignHeight(), model_.SignWidth())));
  textBox_->Hide();
  if (centralWidget()->layout()) centralWidget()->layout()->activate();
  model_.ResetView(palImg->width(), palImg->height(), true);
  tools_->ShowClippingBox(false);
  Img->move(0, 0);
  // The working picture keeps its own size; the control keeps the area's.
  if (QImage picture; LoadSysCanvas(SysCanvasPath(programDir_), picture)) model_.SetView(std::move(picture));
  Img->Follow();
  zoom_->SetUp(model_.ViewControl().width(), model_.ViewControl().height());
  spdTools->Button(static_cast<int>(draw::DrawTool::kPencil))->setChecked(true);
  tools_->ChooseTool(draw::DrawTool::kPencil);
  cboColor->setCurrentIndex(1);
  OpenSignFonts();
  palLogo->SetPreviewArea(QSize(model_.SignWidth() * 3, model_.SignHeight() * 3));
  logos_.NewLogoFile();
  palLogo->RefreshLogoView();
  tmrTimeTimer();
}

void TfrmMain::OpenSignFonts() {
  // A missing font is reported; the others open all the same.
  const std::vector<std::string> errors = signFonts_.OpenAvailable(programDir_, draw::kTextSignFonts);
  if (errors.empty()) return;
  std::string text;
  for (const std::string& e : errors) text += (text.empty() ? "" : "\n") + e;
  platform::ShowExceptionBox(text);
}

void TfrmMain::CommitTextBox() {
  if (textTool_->IsShown()) textTool_->CommitAndHide();
}

void TfrmMain::tmrTimeTimer() {
  const QString now = Q(util::TimeText());
  if (palTime->text() != now) palTime->setText(now);
}

void TfrmMain::About1Click() { frmAbout->exec(); }

bool TfrmMain::FormCloseQuery() {
  if (logos_.AskSaveChanges() == platform::kResultCancel) return false;
  if (!startedUp_) return true;
  // Nothing of the drawing is lost: the text is committed and the cell edits
  // reach the view before it is kept.
  CommitTextBox();
  zoom_->ZoomOut();
  try {
    SaveSysCanvas(SysCanvasPath(programDir_), model_.View());
  } catch (const std::exception& e) {
    // The window stays open with the picture: the user can make room, or
    // keep the picture as a logo elsewhere, and close again. A write that
    // fails every time must not keep the program from ending: the user may
    // give the picture up.
    platform::ShowExceptionBox(e.what());
    return util::AskYesNo(kCloseWithoutPictureText, true);
  }
  return true;
}

void TfrmMain::closeEvent(QCloseEvent* e) {
  bool canClose = false;
  Guarded([&] { canClose = FormCloseQuery(); });
  if (canClose) {
    e->accept();
  } else {
    e->ignore();
  }
}

void TfrmMain::New1Click() {
  if (logos_.New()) palLogo->RefreshLogoView();
}

void TfrmMain::Load1Click() {
  logos_.Open();
  palLogo->RefreshLogoView();
}

void TfrmMain::Save1Click() { logos_.Save(); }

void TfrmMain::SaveAs1Click() { logos_.SaveAs(); }

void TfrmMain::ClearScratch1Click() {
  tools_->ClearScratch();
  FollowViewAndBox();
}

void TfrmMain::LoadPCX1Click() {
  const std::string path = fileDialogs.openBitmap(this);
  if (path.empty()) return;
  tools_->ImportBitmap(path);
  FollowViewAndBox();
}

void TfrmMain::Transparent1Click() { tools_->SetTransparent(!tools_->Transparent()); }

}  // namespace drawapp
