#include "controllerapp/Main.h"
#include "controllerdialup/DialUp.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>

#include "controllerapp/MainLink.h"
#include "common/SignName.h"
#include "common/Util.h"
#include "controllerapp/About.h"
#include "controllerapp/IntOpt.h"
#include "controllerapp/SchSetup.h"
#include "controllerapp/Seldir.h"
#include "controllerapp/SourceFiles.h"
#include "platform/Directories.h"
#include "platform/MessageBoxes.h"
#include "platform/QtText.h"

namespace ctlapp {
namespace {

const char* kSequenceFilter = "Sequence Files (*.seq)";
const char* kScheduleFilter = "Schedule Files (*.sch)";

using platform::FromQt;
using platform::ToQt;

// The file list keeps each entry's name as the file system holds it.
constexpr int kNameRole = Qt::UserRole;

std::string NameOf(const QListWidgetItem& item) { return item.data(kNameRole).toByteArray().toStdString(); }

QToolButton* Button(QWidget* owner, const char* name, const char* caption) {
  auto* b = new QToolButton(owner);
  b->setObjectName(name);
  b->setText(caption);
  b->setToolButtonStyle(Qt::ToolButtonTextOnly);
  b->setMinimumWidth(72);
  return b;
}

QPushButton* Push(QWidget* owner, const char* name, const char* caption) {
  auto* b = new QPushButton(caption, owner);
  b->setObjectName(name);
  return b;
}

}  // namespace

FileDialogs QtFileDialogs() {
  FileDialogs d;
  // Both start in the working directory and give back paths in it under its
  // own bytes, whatever its name.
  d.open = [](QWidget* parent, const std::string& title, const std::string& filter) {
    const std::string here = platform::CurrentDirectory();
    const QString chosen = QFileDialog::getOpenFileName(parent, ToQt(title), platform::DialogFolder(here), ToQt(filter));
    return chosen.isEmpty() ? std::string() : platform::PathFromQt(chosen, here);
  };
  d.save = [](QWidget* parent, const std::string& title, const std::string& filter, const std::string& ext,
              const std::string& current) {
    const std::string here = platform::CurrentDirectory();
    const std::string offered = !current.empty() && current[0] == '/' ? current : util::JoinPath(here, current);
    QFileDialog dialog(parent, ToQt(title), platform::DialogFolder(here), ToQt(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(ToQt(ext));
    // The whole path: a dialog that cannot enter a folder whose name is not
    // UTF-8 opens on the folder above it and offers "folder/name" from there.
    dialog.selectFile(ToQt(offered));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::string();
    return platform::PathFromQt(dialog.selectedFiles().first(), offered);
  };
  return d;
}

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmMain");
  setWindowTitle("Marvane for Windows");
  link_ = std::make_unique<MainLink>(*this);

  auto* central = new QWidget(this);
  auto* top = new QVBoxLayout(central);

  // Top bar: sign, ID, modem.
  auto* signBar = new QHBoxLayout;
  signBar->addWidget(new QLabel("Location"));
  cboSigns = new QComboBox;
  cboSigns->setObjectName("cboSigns");
  cboSigns->setMinimumWidth(220);
  signBar->addWidget(cboSigns);
  signBar->addSpacing(12);
  signBar->addWidget(new QLabel("ID"));
  cboID = new QComboBox;
  cboID->setObjectName("cboID");
  for (int i = 0; i < 100; ++i) cboID->addItem(QString::asprintf("%.2d", i));
  signBar->addWidget(cboID);
  signBar->addSpacing(12);
  spdDial = Button(central, "spdDial", "Dial");
  spdHangUp = Button(central, "spdHangUp", "Hang Up");
  signBar->addWidget(spdDial);
  signBar->addWidget(spdHangUp);
  signBar->addStretch();
  top->addLayout(signBar);

  // Command bar.
  auto* commandBar = new QHBoxLayout;
  btnS_Reset = Push(central, "btnS_Reset", "Reset");
  btnS_Clear = Push(central, "btnS_Clear", "Clear All");
  btnS_RunAll = Push(central, "btnS_RunAll", "Run All");
  commandBar->addWidget(btnS_Reset);
  commandBar->addWidget(btnS_Clear);
  commandBar->addWidget(btnS_RunAll);
  commandBar->addStretch();
  top->addLayout(commandBar);

  auto* body = new QHBoxLayout;
  body->addWidget(BuildLeftPane(), 1);
  PC = new QTabWidget;
  PC->setObjectName("PC");
  tsSEQ = BuildSequencePage();
  tsSCH = BuildSchedulePage();
  PC->addTab(tsSEQ, "  Sequence  ");
  PC->addTab(tsSCH, "  Schedule  ");
  body->addWidget(PC, 2);
  top->addLayout(body, 1);
  setCentralWidget(central);

  palLocation = new QLabel;
  palLocation->setObjectName("palLocation");
  statusBar()->addWidget(palLocation, 1);

  BuildMenus();

  // The forms in their fixed order, after the main window.
  frmSelDir = new TFRMSelDir(this);
  frmSchSetup = new TfrmSchSetup(this);
  frmAbout = new TfrmAbout(this);
  link_->CreateForms();  // the parameter and sending windows
  frmIntOpt = new TfrmIntOpt(this);
  frmDialUp_ = std::make_unique<dialup::TfrmDialUp>(link_->VnkModemS(), this);
  frmDialUp_->hooks.selectedTelephone = [this] {
    const auto* entry = controller::SignEntry(link_->Table(), cboSigns->currentIndex() + 1);
    return entry ? entry->tel : std::string();
  };
  frmDialUp_->hooks.preparePort = [this] { link_->ReviveModemPort(); };
  frmDialUp_->hooks.connected = [this] {
    spdDial->setEnabled(false);
    spdHangUp->setEnabled(true);
  };
  showDialUp = [](TfrmMain& main) { dialup::RunDialUp(main.DialUpWindow()); };

  auto on = [this](auto* sender, auto signal, void (TfrmMain::*handler)()) {
    connect(sender, signal, this, [this, handler] { Guarded([&] { (this->*handler)(); }); });
  };
  auto onKind = [this](QAbstractButton* b, void (TfrmMain::*handler)(ListKind), ListKind kind) {
    connect(b, &QAbstractButton::clicked, this, [this, handler, kind] { Guarded([&] { (this->*handler)(kind); }); });
  };
  on(spdDial, &QToolButton::clicked, &TfrmMain::spdDialClick);
  on(spdHangUp, &QToolButton::clicked, &TfrmMain::spdHangUpClick);
  on(btnS_Reset, &QPushButton::clicked, &TfrmMain::btnS_ResetClick);
  on(btnS_Clear, &QPushButton::clicked, &TfrmMain::btnS_ClearClick);
  on(btnS_RunAll, &QPushButton::clicked, &TfrmMain::btnS_RunAllClick);
  on(spdChgDir, &QToolButton::clicked, &TfrmMain::spdChgDirClick);
  on(spdRefresh, &QToolButton::clicked, &TfrmMain::spdRefreshClick);
  on(spdInterrupt, &QToolButton::clicked, &TfrmMain::spdInterruptClick);
  on(lstSource, &QListWidget::itemSelectionChanged, &TfrmMain::lstSourceChange);
  connect(cboFilter, &QComboBox::currentIndexChanged, this, [this] { Guarded([&] { spdRefreshClick(); }); });

  for (ListKind k : {ListKind::Sequence, ListKind::Schedule}) {
    QWidget* page = k == ListKind::Sequence ? tsSEQ : tsSCH;
    const char* suffix = k == ListKind::Sequence ? "_SEQ" : "_SCH";
    onKind(page->findChild<QPushButton*>(QString("btnNew") + suffix), &TfrmMain::btnNew_SEQClick, k);
    onKind(page->findChild<QPushButton*>(QString("btnOpen") + suffix), &TfrmMain::btnOpen_SEQClick, k);
    onKind(page->findChild<QPushButton*>(QString("btnSave") + suffix), &TfrmMain::btnSave_SEQClick, k);
    onKind(page->findChild<QPushButton*>(QString("btnSaveAs") + suffix), &TfrmMain::btnSaveAs_SEQClick, k);
  }
  on(spdINS_SEQ, &QToolButton::clicked, &TfrmMain::spdINS_SEQClick);
  on(spdREP_SEQ, &QToolButton::clicked, &TfrmMain::spdREP_SEQClick);
  on(spdRemove_SEQ, &QToolButton::clicked, &TfrmMain::spdRemove_SEQClick);
  on(spdClearAll_SEQ, &QToolButton::clicked, &TfrmMain::spdClearAll_SEQClick);
  on(spdRUN_SEQ, &QToolButton::clicked, &TfrmMain::spdRUN_SEQClick);
  on(spdDec_SEQ, &QToolButton::clicked, &TfrmMain::spdDec_SEQClick);
  on(spdInc_SEQ, &QToolButton::clicked, &TfrmMain::spdInc_SEQClick);
  on(spdINS_SCH, &QToolButton::clicked, &TfrmMain::spdINS_SCHClick);
  on(spdREP_SCH, &QToolButton::clicked, &TfrmMain::spdREP_SCHClick);
  on(spdRemove_SCH, &QToolButton::clicked, &TfrmMain::spdRemove_SCHClick);
  on(spdClearAll_SCH, &QToolButton::clicked, &TfrmMain::spdClearAll_SCHClick);
  on(spdSetup_SCH, &QToolButton::clicked, &TfrmMain::spdSetup_SCHClick);
  on(spdRUN_SCH, &QToolButton::clicked, &TfrmMain::spdRUN_SCHClick);
  on(spdDec_SCH, &QToolButton::clicked, &TfrmMain::spdDec_SCHClick);
  on(spdInc_SCH, &QToolButton::clicked, &TfrmMain::spdInc_SCHClick);
  connect(strgrdSelected, &QTableWidget::cellDoubleClicked, this,
          [this] { Guarded([&] { spdSetup_SCHClick(); }); });
  connect(lstSelected, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!rendering_) seq_.Select(row);
  });
  connect(strgrdSelected, &QTableWidget::currentCellChanged, this, [this](int row) {
    if (!rendering_ && row >= 0) sch_.SetCurrent(row);
  });
  connect(strgrdSelected->verticalHeader(), &QHeaderView::sectionMoved, this,
          [this](int, int oldVisual, int newVisual) { ScheduleDragged(oldVisual, newVisual); });

  sourceDir_ = platform::CurrentDirectory();
  RenderSequence();
  RenderSchedule();
  UpdateTitle(ListKind::Sequence);
  UpdateTitle(ListKind::Schedule);
  resize(980, 640);
}

TfrmMain::~TfrmMain() = default;

QWidget* TfrmMain::BuildLeftPane() {
  auto* box = new QGroupBox("Database");
  box->setObjectName("palDatabase");
  auto* v = new QVBoxLayout(box);
  lstSource = new QListWidget;
  lstSource->setObjectName("lstSource");
  lstSource->setSelectionMode(QAbstractItemView::SingleSelection);
  v->addWidget(lstSource, 1);
  cboFilter = new QComboBox;
  cboFilter->setObjectName("cboFilter");
  // "MSG Files|*.msg|All files|*.*"
  cboFilter->addItem("MSG Files", "*.MSG");
  cboFilter->addItem("All files", "*");
  v->addWidget(cboFilter);
  auto* buttons = new QHBoxLayout;
  spdChgDir = Button(box, "spdChgDir", "Directory");
  spdRefresh = Button(box, "spdRefresh", "Refresh");
  spdInterrupt = Button(box, "spdInterrupt", "Interrupt");
  buttons->addWidget(spdChgDir);
  buttons->addWidget(spdRefresh);
  buttons->addWidget(spdInterrupt);
  v->addLayout(buttons);
  return box;
}

QWidget* TfrmMain::BuildSequencePage() {
  auto* page = new QWidget;
  page->setObjectName("tsSEQ");
  auto* v = new QVBoxLayout(page);
  palTitle_SEQ = new QLabel;
  palTitle_SEQ->setObjectName("palTitle_SEQ");
  palTitle_SEQ->setFrameShape(QFrame::StyledPanel);
  palTitle_SEQ->setFrameShadow(QFrame::Sunken);
  palTitle_SEQ->setMargin(3);
  v->addWidget(palTitle_SEQ);
  auto* files = new QHBoxLayout;
  files->addWidget(Push(page, "btnNew_SEQ", "New"));
  files->addWidget(Push(page, "btnOpen_SEQ", "Open"));
  files->addWidget(Push(page, "btnSave_SEQ", "Save"));
  files->addWidget(Push(page, "btnSaveAs_SEQ", "Save As"));
  files->addStretch();
  v->addLayout(files);
  auto* h = new QHBoxLayout;
  lstSelected = new QListWidget;
  lstSelected->setObjectName("lstSelected");
  h->addWidget(lstSelected, 1);
  auto* side = new QVBoxLayout;
  spdINS_SEQ = Button(page, "spdINS_SEQ", "Insert");
  spdREP_SEQ = Button(page, "spdREP_SEQ", "Replace");
  spdRemove_SEQ = Button(page, "spdRemove_SEQ", "Remove");
  spdClearAll_SEQ = Button(page, "spdClearAll_SEQ", "Empty");
  spdDec_SEQ = Button(page, "spdDec_SEQ", "Move Up");
  spdInc_SEQ = Button(page, "spdInc_SEQ", "Move Down");
  spdRUN_SEQ = Button(page, "spdRUN_SEQ", "Run");
  for (QToolButton* b : {spdINS_SEQ, spdREP_SEQ, spdRemove_SEQ, spdClearAll_SEQ, spdDec_SEQ, spdInc_SEQ}) {
    side->addWidget(b);
  }
  side->addStretch();
  side->addWidget(spdRUN_SEQ);
  h->addLayout(side);
  v->addLayout(h, 1);
  return page;
}

QWidget* TfrmMain::BuildSchedulePage() {
  auto* page = new QWidget;
  page->setObjectName("tsSCH");
  auto* v = new QVBoxLayout(page);
  palTitle_SCH = new QLabel;
  palTitle_SCH->setObjectName("palTitle_SCH");
  palTitle_SCH->setFrameShape(QFrame::StyledPanel);
  palTitle_SCH->setFrameShadow(QFrame::Sunken);
  palTitle_SCH->setMargin(3);
  v->addWidget(palTitle_SCH);
  auto* files = new QHBoxLayout;
  files->addWidget(Push(page, "btnNew_SCH", "New"));
  files->addWidget(Push(page, "btnOpen_SCH", "Open"));
  files->addWidget(Push(page, "btnSave_SCH", "Save"));
  files->addWidget(Push(page, "btnSaveAs_SCH", "Save As"));
  files->addStretch();
  v->addLayout(files);
  auto* h = new QHBoxLayout;
  strgrdSelected = new QTableWidget(0, 3);
  strgrdSelected->setObjectName("strgrdSelected");
  strgrdSelected->setHorizontalHeaderLabels({"File Name", "Date", "Time"});
  strgrdSelected->setSelectionBehavior(QAbstractItemView::SelectRows);
  strgrdSelected->setSelectionMode(QAbstractItemView::SingleSelection);
  strgrdSelected->setEditTriggers(QAbstractItemView::NoEditTriggers);
  strgrdSelected->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  strgrdSelected->horizontalHeader()->setStretchLastSection(false);
  strgrdSelected->setColumnWidth(0, 420);
  strgrdSelected->setColumnWidth(1, 90);
  strgrdSelected->setColumnWidth(2, 90);
  // Long paths stay on one line and show their file name end.
  strgrdSelected->setWordWrap(false);
  strgrdSelected->setTextElideMode(Qt::ElideLeft);
  strgrdSelected->verticalHeader()->setSectionsMovable(true);
  h->addWidget(strgrdSelected, 1);
  auto* side = new QVBoxLayout;
  spdINS_SCH = Button(page, "spdINS_SCH", "Insert");
  spdREP_SCH = Button(page, "spdREP_SCH", "Replace");
  spdRemove_SCH = Button(page, "spdRemove_SCH", "Remove");
  spdClearAll_SCH = Button(page, "spdClearAll_SCH", "Empty");
  spdSetup_SCH = Button(page, "spdSetup_SCH", "Setup");
  spdDec_SCH = Button(page, "spdDec_SCH", "Move Up");
  spdInc_SCH = Button(page, "spdInc_SCH", "Move Down");
  spdRUN_SCH = Button(page, "spdRUN_SCH", "Run");
  for (QToolButton* b :
       {spdINS_SCH, spdREP_SCH, spdRemove_SCH, spdClearAll_SCH, spdSetup_SCH, spdDec_SCH, spdInc_SCH}) {
    side->addWidget(b);
  }
  side->addStretch();
  side->addWidget(spdRUN_SCH);
  h->addLayout(side);
  v->addLayout(h, 1);
  return page;
}

void TfrmMain::BuildMenus() {
  auto add = [this](QMenu* menu, const char* name, const char* text, auto handler,
                    QKeySequence key = QKeySequence()) {
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    if (!key.isEmpty()) a->setShortcut(key);
    connect(a, &QAction::triggered, this, [handler] { Guarded([&] { handler(); }); });
    return a;
  };
  QMenu* system = menuBar()->addMenu("&System");
  add(system, "ParameterSetup1", "&Parameter Setup...", [this] { ParameterSetup1Click(); }, QKeySequence("Ctrl+P"));
  system->addSeparator();
  add(system, "Exit1", "E&xit", [this] { Exit1Click(); }, QKeySequence("Alt+F4"));

  QMenu* database = menuBar()->addMenu("&Database");
  add(database, "Directory1", "Di&rectory", [this] { spdChgDirClick(); });
  add(database, "Refresh1", "&Refresh", [this] { spdRefreshClick(); });

  for (ListKind k : {ListKind::Sequence, ListKind::Schedule}) {
    const bool seq = k == ListKind::Sequence;
    QMenu* m = menuBar()->addMenu(seq ? "S&equence" : "S&chedule");
    const std::string p = seq ? "Seq" : "Sch";
    add(m, (p + "New1").c_str(), "&New", [this, k] { btnNew_SEQClick(k); });
    add(m, (p + "Open1").c_str(), "&Open...", [this, k] { btnOpen_SEQClick(k); });
    add(m, (p + "Save1").c_str(), "&Save", [this, k] { btnSave_SEQClick(k); });
    add(m, (p + "SaveAs1").c_str(), seq ? "Save&As..." : "Save &As...", [this, k] { btnSaveAs_SEQClick(k); });
  }

  QMenu* command = menuBar()->addMenu("&Command");
  add(command, "RunbySequence1", "Run by S&equence", [this] { spdRUN_SEQClick(); }, QKeySequence("Ctrl+E"));
  add(command, "RunbySchedule1", "Run by S&chedule", [this] { spdRUN_SCHClick(); }, QKeySequence("Ctrl+C"));
  add(command, "RunbyInterrupt1", "Run by &Interrupt", [this] { spdInterruptClick(); }, QKeySequence("Ctrl+I"));
  command->addSeparator();
  add(command, "ResetSign1", "&Reset Sign", [this] { btnS_ResetClick(); });
  add(command, "ClearSign1", "C&lear Sign", [this] { btnS_ClearClick(); });
  add(command, "RunAllMessages1", "Run &All Messages", [this] { btnS_RunAllClick(); });
  add(command, "RunOldMode1", "Run &Old Mode", [this] { RunOldMode1Click(); });
  command->addSeparator();
  add(command, "AutoDimming1", "Auto Dimming", [this] { AutoDimming1Click(); });
  add(command, "ManualDimmingDay1", "Manual Dimming (Day)", [this] { ManualDimmingDay1Click(); });
  add(command, "ManualDimmingNight1", "Manual Dimming (Night)", [this] { ManualDimmingNight1Click(); });

  QMenu* help = menuBar()->addMenu("&Help");
  add(help, "About1", "&About Marvane for Windows...", [this] { About1Click(); });
}

// --- start-up and closing ---

bool TfrmMain::event(QEvent* e) {
  const bool handled = QMainWindow::event(e);
  if (e->type() == QEvent::WindowActivate && !startedUp_) Guarded([&] { FormActivate(); });
  return handled;
}

void TfrmMain::FormActivate() {
  if (startedUp_) return;
  // Marked first: an exception ends the set-up where it failed and a later
  // activation does not run it again.
  startedUp_ = true;
  starting_ = true;
  struct EndStarting {
    bool& flag;
    ~EndStarting() { flag = false; }
  } endStarting{starting_};

  link_->StartUp();  // directories, settings, sign list
  cboID->setCurrentIndex(0);
  UpdateButtons();
  palLocation->setText(ToQt(" Working Directory: " + platform::CurrentDirectory()));
  link_->SetUpSerial();
  spdDial->setEnabled(true);
  spdHangUp->setEnabled(false);
  SetSourceDirectory(platform::CurrentDirectory());
  lstSource->setFocus();
  btnNew_SEQClick(ListKind::Sequence);
  btnNew_SEQClick(ListKind::Schedule);
  strgrdSelected->setHorizontalHeaderLabels({"File Name", "Date", "Time"});
  PC->setCurrentWidget(tsSEQ);
}

void TfrmMain::closeEvent(QCloseEvent* e) {
  bool quit = false;
  Guarded([&] { quit = util::AskYesNo("Are you sure to quit?") && SaveBeforeQuit(); });
  if (quit) {
    e->accept();
  } else {
    e->ignore();
  }
}

void TfrmMain::Exit1Click() { close(); }

bool TfrmMain::SaveBeforeQuit() {
  for (ListKind kind : {ListKind::Sequence, ListKind::Schedule}) {
    const bool seq = kind == ListKind::Sequence;
    if (!(seq ? seq_.modified : sch_.modified)) continue;
    // Here the question may be cancelled: nothing is dropped unasked.
    const int answer = util::AskYesNoCancel("File has been changed. Do you want to save?");
    if (answer == platform::kResultNo) continue;
    if (answer != platform::kResultYes) return false;
    ShowPage(kind);
    if (seq) {
      SaveSequence();
    } else {
      SaveSchedule();
    }
    // A list that could not be saved (a schedule the validation refuses) keeps
    // the program open; an empty sequence has nothing to save.
    if (seq ? seq_.modified && !seq_.Empty() : sch_.modified) return false;
  }
  return true;
}

// --- file list ---

void TfrmMain::SetSourceDirectory(const std::string& directory) {
  sourceDir_ = directory;
  spdRefreshClick();
}

void TfrmMain::spdRefreshClick() {
  const std::string keep = lstSource->currentItem() ? NameOf(*lstSource->currentItem()) : std::string();
  // The mask compares ignoring case, so "*.MSG" lists hello.msg too.
  const std::vector<std::string> names = ListSourceFiles(sourceDir_, FromQt(cboFilter->currentData().toString()));
  {
    const QSignalBlocker block(lstSource);
    lstSource->clear();
    for (const std::string& name : names) {
      auto* item = new QListWidgetItem(ToQt(name), lstSource);
      item->setData(kNameRole, QByteArray::fromStdString(name));
      if (!keep.empty() && name == keep) lstSource->setCurrentItem(item);
    }
  }
  UpdateButtons();
}

void TfrmMain::lstSourceChange() { UpdateButtons(); }

std::string TfrmMain::SelectedSourceName() const {
  const QListWidgetItem* item = lstSource->currentItem();
  if (!item || !item->isSelected()) return {};
  return NameOf(*item);
}

std::string TfrmMain::SelectedSourcePath() const {
  const std::string name = SelectedSourceName();
  return name.empty() ? std::string() : util::JoinPath(sourceDir_, name);
}

void TfrmMain::spdChgDirClick() {
  frmSelDir->SetDirectory(sourceDir_);
  if (frmSelDir->exec() != QDialog::Accepted) return;
  const std::string chosen = frmSelDir->Directory();
  // The chosen directory is the working one: the file dialogs start there and
  // relative list files ("new.seq") are saved there.
  if (!platform::SetCurrentDirectory(chosen)) {
    util::ShowWarning("Cannot change to " + chosen);
    return;
  }
  palLocation->setText(ToQt("Location: " + chosen));
  SetSourceDirectory(chosen);
}

void TfrmMain::UpdateButtons() {
  const std::string source = SelectedSourcePath();
  const bool msg = !source.empty() && HasExtension(source, ".MSG");
  for (QToolButton* b : {spdInterrupt, spdINS_SEQ, spdREP_SEQ, spdINS_SCH, spdREP_SCH}) b->setEnabled(msg);
  const bool seq = !seq_.Empty();
  for (QToolButton* b : {spdRemove_SEQ, spdClearAll_SEQ, spdRUN_SEQ, spdDec_SEQ, spdInc_SEQ}) b->setEnabled(seq);
  const bool sch = sch_.HasEntries();
  for (QToolButton* b : {spdSetup_SCH, spdRemove_SCH, spdClearAll_SCH, spdRUN_SCH, spdDec_SCH, spdInc_SCH}) {
    b->setEnabled(sch);
  }
}

// --- the pages ---

void TfrmMain::RenderSequence() {
  rendering_ = true;
  lstSelected->clear();
  for (const std::string& e : seq_.Entries()) lstSelected->addItem(ToQt(e));
  lstSelected->setCurrentRow(seq_.Selected());
  rendering_ = false;
}

void TfrmMain::RenderSchedule() {
  rendering_ = true;
  const auto& rows = sch_.Rows();
  strgrdSelected->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const cmdfile::ScheduleRow& row = rows[static_cast<std::size_t>(r)];
    const std::string cells[3] = {row.file, row.date, row.time};
    for (int c = 0; c < 3; ++c) {
      QTableWidgetItem* item = strgrdSelected->item(r, c);
      if (!item) {
        item = new QTableWidgetItem;
        strgrdSelected->setItem(r, c, item);
      }
      item->setText(ToQt(cells[c]));
    }
  }
  strgrdSelected->setCurrentCell(sch_.Current(), 0);
  rendering_ = false;
}

void TfrmMain::ScheduleDragged(int oldVisual, int newVisual) {
  QHeaderView* header = strgrdSelected->verticalHeader();
  {
    // The model takes the move; the header goes back to its plain order.
    const QSignalBlocker block(header);
    header->moveSection(newVisual, oldVisual);
  }
  if (!sch_.MoveRow(oldVisual, newVisual)) return;
  // A new order is an edit like any other: it is saved or asked about.
  SetSchModified(true);
  RenderSchedule();
  UpdateButtons();
}

void TfrmMain::UpdateTitle(ListKind kind) {
  if (kind == ListKind::Sequence) {
    palTitle_SEQ->setText(ToQt(TitleText(seq_.fileName, seq_.modified)));
  } else {
    palTitle_SCH->setText(ToQt(TitleText(sch_.fileName, sch_.modified)));
  }
}

void TfrmMain::SetSeqModified(bool modified) {
  if (seq_.modified == modified) return;
  seq_.modified = modified;
  UpdateTitle(ListKind::Sequence);
}

void TfrmMain::SetSchModified(bool modified) {
  if (sch_.modified == modified) return;
  sch_.modified = modified;
  UpdateTitle(ListKind::Schedule);
}

void TfrmMain::ShowPage(ListKind kind) { PC->setCurrentWidget(kind == ListKind::Sequence ? tsSEQ : tsSCH); }

void TfrmMain::AskSave(ListKind kind) {
  const bool modified = kind == ListKind::Sequence ? seq_.modified : sch_.modified;
  if (!modified || !util::AskYesNo("File has been changed. Do you want to save?")) return;
  if (kind == ListKind::Sequence) {
    SaveSequence();
  } else {
    SaveSchedule();
  }
}

void TfrmMain::SaveSequence() { SaveSequenceTo(seq_.fileName); }

void TfrmMain::SaveSequenceTo(const std::string& path) {
  if (!seq_.Save(path)) return;
  seq_.fileName = path;
  seq_.modified = false;
  UpdateTitle(ListKind::Sequence);
}

void TfrmMain::SaveSchedule() { SaveScheduleTo(sch_.fileName); }

void TfrmMain::SaveScheduleTo(const std::string& path) {
  if (!sch_.HasEntries() || !ValidateScheduleGrid()) return;
  sch_.Save(path);
  sch_.fileName = path;
  sch_.modified = false;
  UpdateTitle(ListKind::Schedule);
}

bool TfrmMain::ValidateScheduleGrid() {
  const ValidationResult r = ValidateSchedule(sch_.MutableRows());
  if (!r.ok) sch_.SetCurrent(r.row);
  RenderSchedule();
  if (!r.ok) util::ShowWarning(r.message);
  return r.ok;
}

void TfrmMain::btnNew_SEQClick(ListKind kind) {
  if (!starting_ && !util::AskYesNo("Are you sure to begin a new job?")) return;
  AskSave(kind);
  if (kind == ListKind::Sequence) {
    seq_.fileName = "new.seq";
    seq_.modified = false;
    UpdateTitle(kind);
    seq_.Clear();
    RenderSequence();
  } else {
    sch_.fileName = "new.sch";
    sch_.modified = false;
    UpdateTitle(kind);
    sch_.Clear();
    RenderSchedule();
  }
  UpdateButtons();
  ShowPage(kind);
}

void TfrmMain::btnOpen_SEQClick(ListKind kind) {
  const bool seqPage = kind == ListKind::Sequence;
  const std::string path = fileDialogs.open(this, seqPage ? "Open Sequence File" : "Open Schedule File",
                                            seqPage ? kSequenceFilter : kScheduleFilter);
  if (path.empty()) return;
  // The save question is asked for the list the chosen file replaces.
  if (HasExtension(path, ".SEQ")) {
    AskSave(ListKind::Sequence);
    seq_.Load(path);
    seq_.fileName = path;
    seq_.modified = false;
    UpdateTitle(ListKind::Sequence);
    RenderSequence();
  } else if (HasExtension(path, ".SCH")) {
    AskSave(ListKind::Schedule);
    sch_.Load(path);
    sch_.fileName = path;
    sch_.modified = false;
    UpdateTitle(ListKind::Schedule);
    RenderSchedule();
  }
  UpdateButtons();
  ShowPage(kind);
}

void TfrmMain::btnSave_SEQClick(ListKind kind) {
  if (kind == ListKind::Sequence && seq_.modified) SaveSequence();
  if (kind == ListKind::Schedule && sch_.modified) SaveSchedule();
  ShowPage(kind);
}

void TfrmMain::btnSaveAs_SEQClick(ListKind kind) {
  const bool seqPage = kind == ListKind::Sequence;
  const std::string extension = seqPage ? "seq" : "sch";
  std::string path = fileDialogs.save(this, seqPage ? "Save As Sequence File" : "Save As Schedule File",
                                      seqPage ? kSequenceFilter : kScheduleFilter, extension,
                                      seqPage ? seq_.fileName : sch_.fileName);
  if (path.empty()) return;
  path = AbsolutePath(platform::CurrentDirectory(), WithDefaultExtension(path, extension));
  // The list takes the new name once it has been written there; a save that
  // fails leaves the old name (and the modified mark) in place. A list with
  // nothing to write takes the name at once.
  if (HasExtension(path, ".SEQ")) {
    if (seq_.Empty()) {
      seq_.fileName = path;
      UpdateTitle(ListKind::Sequence);
    } else {
      SaveSequenceTo(path);
    }
  } else if (HasExtension(path, ".SCH")) {
    if (!sch_.HasEntries()) {
      sch_.fileName = path;
      UpdateTitle(ListKind::Schedule);
    } else {
      SaveScheduleTo(path);
    }
  }
  ShowPage(kind);
}

namespace {

// Whether a list of `kind` takes `path`; warns with the reason when not.
bool ListTakes(ListKind kind, const std::string& path) {
  const std::string refusal = EntryRefusal(kind, path);
  if (!refusal.empty()) util::ShowWarning(refusal);
  return refusal.empty();
}

}  // namespace

std::string TfrmMain::TakeSourceForList() {
  const std::string path = SelectedSourcePath();
  // Relative list files ("new.seq") are saved beside the messages chosen.
  if (!path.empty()) platform::SetCurrentDirectory(sourceDir_);
  return path;
}

void TfrmMain::spdINS_SEQClick() {
  const std::string path = TakeSourceForList();
  if (path.empty() || !ListTakes(ListKind::Sequence, path)) return;
  seq_.Insert(path);
  SetSeqModified(true);
  RenderSequence();
  UpdateButtons();
}

void TfrmMain::spdREP_SEQClick() {
  const std::string path = TakeSourceForList();
  if (path.empty() || !ListTakes(ListKind::Sequence, path)) return;
  seq_.Replace(path);
  SetSeqModified(true);
  RenderSequence();
  UpdateButtons();
}

void TfrmMain::spdRemove_SEQClick() {
  if (!seq_.Remove()) return;
  SetSeqModified(true);
  RenderSequence();
  UpdateButtons();
}

void TfrmMain::spdClearAll_SEQClick() {
  if (!util::AskYesNo("Are you sure to clear all message files?")) return;
  seq_.Clear();
  SetSeqModified(true);
  RenderSequence();
  UpdateButtons();
}

void TfrmMain::spdDec_SEQClick() {
  if (!seq_.MoveUp()) return;
  SetSeqModified(true);
  RenderSequence();
}

void TfrmMain::spdInc_SEQClick() {
  if (!seq_.MoveDown()) return;
  SetSeqModified(true);
  RenderSequence();
}

void TfrmMain::spdINS_SCHClick() {
  const std::string path = TakeSourceForList();
  if (path.empty() || !ListTakes(ListKind::Schedule, path)) return;
  sch_.Insert(path);
  SetSchModified(true);
  RenderSchedule();
  UpdateButtons();
}

void TfrmMain::spdREP_SCHClick() {
  const std::string path = TakeSourceForList();
  if (path.empty() || !ListTakes(ListKind::Schedule, path)) return;
  sch_.Replace(path);
  SetSchModified(true);
  RenderSchedule();
  UpdateButtons();
}

void TfrmMain::spdRemove_SCHClick() {
  if (!util::AskYesNo("Are you sure to clear all message files?")) return;
  sch_.RemoveCurrent();
  SetSchModified(true);
  RenderSchedule();
  UpdateButtons();
}

void TfrmMain::spdClearAll_SCHClick() {
  if (!util::AskYesNo("Are you sure to clear all message files?")) return;
  sch_.Clear();
  SetSchModified(true);
  RenderSchedule();
  UpdateButtons();
}

void TfrmMain::spdDec_SCHClick() {
  if (!sch_.MoveUp()) return;
  SetSchModified(true);
  RenderSchedule();
  UpdateButtons();
}

void TfrmMain::spdInc_SCHClick() {
  if (!sch_.MoveDown()) return;
  SetSchModified(true);
  RenderSchedule();
  UpdateButtons();
}

void TfrmMain::spdSetup_SCHClick() {
  const int row = sch_.Current();
  if (sch_.Rows()[static_cast<std::size_t>(row)].file.empty()) return;
  const cmdfile::ScheduleRow& r = sch_.Rows()[static_cast<std::size_t>(row)];
  frmSchSetup->Prepare(r.date, r.time);
  if (frmSchSetup->exec() != QDialog::Accepted) return;
  sch_.SetDateTime(row, frmSchSetup->DateCell(), frmSchSetup->TimeCell());
  SetSchModified(true);
  RenderSchedule();
}

// --- job commands: each asks the link for a job of its kind ---

// A list opened from a file may name a file the sign cannot take: the run is
// refused before anything is written or sent, at the first such entry.
void TfrmMain::spdRUN_SEQClick() {
  if (!spdRUN_SEQ->isEnabled()) return;
  ShowPage(ListKind::Sequence);
  if (const ValidationResult names = CheckSignNames(seq_.Entries()); !names.ok) {
    seq_.Select(names.row);
    RenderSequence();
    util::ShowWarning(names.message);
    return;
  }
  link_->Request(controller::kJobSequence);
}

void TfrmMain::spdRUN_SCHClick() {
  if (!spdRUN_SCH->isEnabled()) return;
  ShowPage(ListKind::Schedule);
  if (!ValidateScheduleGrid()) return;
  for (const ValidationResult& check : {CheckScheduleDates(sch_.Rows()), CheckSignNames(sch_.Rows())}) {
    if (check.ok) continue;
    sch_.SetCurrent(check.row);
    RenderSchedule();
    util::ShowWarning(check.message);
    return;
  }
  link_->Request(controller::kJobSchedule);
}

void TfrmMain::spdInterruptClick() {
  if (!spdInterrupt->isEnabled()) return;
  // Refused before the playing times are asked for.
  if (const std::string refusal = signname::InterruptNameRefusal(SelectedSourcePath()); !refusal.empty()) {
    util::ShowWarning(refusal);
    return;
  }
  if (frmIntOpt->exec() != QDialog::Accepted) return;
  link_->SetPlayingTimes(frmIntOpt->PlayingTimes());
  link_->Request(controller::kJobInterrupt);
}

void TfrmMain::btnS_ResetClick() { link_->Request(controller::kJobReset); }
void TfrmMain::btnS_ClearClick() { link_->Request(controller::kJobClearAll); }
void TfrmMain::btnS_RunAllClick() { link_->Request(controller::kJobRunAll); }
void TfrmMain::RunOldMode1Click() { link_->Request(controller::kJobOldMode); }
void TfrmMain::AutoDimming1Click() { link_->Request(controller::kJobAutoDimming); }
void TfrmMain::ManualDimmingDay1Click() { link_->Request(controller::kJobDayDimming); }
void TfrmMain::ManualDimmingNight1Click() { link_->Request(controller::kJobNightDimming); }
void TfrmMain::ParameterSetup1Click() { link_->ParameterSetup1Click(); }
void TfrmMain::About1Click() { frmAbout->exec(); }

// --- modem ---

void TfrmMain::spdDialClick() {
  if (link_->IsTcp()) {
    util::ShowWarning("Please active RS232 mode first.");
    return;
  }
  if (showDialUp) showDialUp(*this);
}

void TfrmMain::spdHangUpClick() {
  if (link_->IsTcp()) {
    util::ShowWarning("Please active RS232 mode first.");
    return;
  }
  link_->HangUp();
  spdDial->setEnabled(true);
  spdHangUp->setEnabled(false);
}

}  // namespace ctlapp
