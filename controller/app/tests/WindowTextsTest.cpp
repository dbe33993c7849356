// The controller's windows as the operator sees them: every caption, menu
// item, mnemonic and shortcut, the forms in the order they are made, and the
// modal windows that open centred on the screen.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "controller/Param.h"
#include "controller/Sending.h"
#include "controllerapp/IntOpt.h"
#include "controllerapp/Main.h"
#include "controllerapp/MainLink.h"
#include "controllerapp/SchSetup.h"
#include "controllerdialup/DialUp.h"
#include "platform/MessageBoxes.h"

using ctlapp::TfrmMain;

namespace {

struct Item {
  const char* text;
  const char* shortcut;  // "" for none
};

struct Menu {
  const char* title;
  std::vector<Item> items;
};

// The main menu exactly as the operator reads it.
const std::vector<Menu>& MainMenu() {
  static const std::vector<Menu> menus = {
      {"&System", {{"&Parameter Setup...", "Ctrl+P"}, {"E&xit", "Alt+F4"}}},
      {"&Database", {{"Di&rectory", ""}, {"&Refresh", ""}}},
      {"S&equence", {{"&New", ""}, {"&Open...", ""}, {"&Save", ""}, {"Save&As...", ""}}},
      {"S&chedule", {{"&New", ""}, {"&Open...", ""}, {"&Save", ""}, {"Save &As...", ""}}},
      {"&Command",
       {{"Run by S&equence", "Ctrl+E"},
        {"Run by S&chedule", "Ctrl+C"},
        {"Run by &Interrupt", "Ctrl+I"},
        {"&Reset Sign", ""},
        {"C&lear Sign", ""},
        {"Run &All Messages", ""},
        {"Run &Old Mode", ""},
        {"Auto Dimming", ""},
        {"Manual Dimming (Day)", ""},
        {"Manual Dimming (Night)", ""}}},
      {"&Help", {{"&About Marvane for Windows...", ""}}},
  };
  return menus;
}

// Every text a window shows in its labels, buttons and check boxes.
std::set<QString> TextsOf(const QWidget& w) {
  std::set<QString> texts;
  for (const QLabel* l : w.findChildren<QLabel*>()) texts.insert(l->text());
  for (const QAbstractButton* b : w.findChildren<QAbstractButton*>()) texts.insert(b->text());
  return texts;
}

QStringList ItemsOf(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

// True when the window's frame is centred on its screen (to a pixel or two
// of rounding).
bool CentredOnScreen(const QWidget& w) {
  const QPoint centre = w.screen()->availableGeometry().center();
  const QPoint mine = w.frameGeometry().center();
  return (mine - centre).manhattanLength() <= 2;
}

}  // namespace

class WindowTextsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<platform::ScopedRecordingBoxes> boxes_;

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    qputenv("LEDSIGN_PROGRAM_DIR", dir_->path().toLocal8Bit());
    qputenv("LEDSIGN_SYSTEM_DIR", dir_->path().toLocal8Bit());
    boxes_ = std::make_unique<platform::ScopedRecordingBoxes>();
  }
  void cleanup() { boxes_.reset(); }

  void mainMenuCaptionsShortcutsAndStates() {
    TfrmMain m;
    QCOMPARE(m.windowTitle(), QString("Marvane for Windows"));
    const QList<QAction*> top = m.menuBar()->actions();
    QCOMPARE(top.size(), static_cast<qsizetype>(MainMenu().size()));
    for (std::size_t i = 0; i < MainMenu().size(); ++i) {
      const Menu& expected = MainMenu()[i];
      QAction* menuAction = top.at(static_cast<qsizetype>(i));
      QCOMPARE(menuAction->text(), QString(expected.title));
      QVERIFY(menuAction->isEnabled());
      std::vector<QAction*> items;
      for (QAction* a : menuAction->menu()->actions()) {
        if (!a->isSeparator()) items.push_back(a);
      }
      QCOMPARE(items.size(), expected.items.size());
      for (std::size_t k = 0; k < items.size(); ++k) {
        QCOMPARE(items[k]->text(), QString(expected.items[k].text));
        // One key each, and only the one the menu names.
        const QList<QKeySequence> keys = items[k]->shortcuts();
        if (*expected.items[k].shortcut) {
          QCOMPARE(keys.size(), 1);
          QCOMPARE(keys.first(), QKeySequence(expected.items[k].shortcut));
        } else {
          QVERIFY2(keys.isEmpty(), expected.items[k].text);
        }
        QVERIFY2(items[k]->isEnabled(), expected.items[k].text);
      }
    }
  }

  void mainWindowControlCaptions() {
    TfrmMain m;
    const std::set<QString> texts = TextsOf(m);
    for (const char* t : {"Location", "ID", "Dial", "Hang Up", "Reset", "Clear All", "Run All", "Directory",
                          "Refresh", "Interrupt", "New", "Open", "Save", "Save As", "Insert", "Replace", "Remove",
                          "Empty", "Move Up", "Move Down", "Run", "Setup"}) {
      QVERIFY2(texts.count(t), t);
    }
    QCOMPARE(m.PC->tabText(0), QString("  Sequence  "));
    QCOMPARE(m.PC->tabText(1), QString("  Schedule  "));
    QCOMPARE(ItemsOf(m.cboFilter), (QStringList{"MSG Files", "All files"}));
    QCOMPARE(m.cboID->count(), 100);
    QCOMPARE(m.cboID->itemText(0), QString("00"));
    QCOMPARE(m.cboID->itemText(99), QString("99"));
    QStringList headers;
    for (int c = 0; c < m.strgrdSelected->columnCount(); ++c) headers << m.strgrdSelected->horizontalHeaderItem(c)->text();
    QCOMPARE(headers, (QStringList{"File Name", "Date", "Time"}));
  }

  // The main window first, then the dialogs in their fixed order.
  void formsAreMadeInTheirOrder() {
    TfrmMain m;
    QStringList captions;
    for (const QDialog* d : m.findChildren<QDialog*>(Qt::FindDirectChildrenOnly)) captions << d->windowTitle();
    QCOMPARE(captions, (QStringList{"Changing Directory", "Setup for Schedule", "About Marvane for Windows",
                                    "System Parameters Setup", "Sending Message File to Sign...",
                                    "Options for Interrupt", "Dialing..."}));
  }

  void interruptDialogTexts() {
    ctlapp::TfrmIntOpt d;
    const std::set<QString> texts = TextsOf(d);
    for (const char* t : {"Playing times:", "00 always run until [Run Old Mode] command appear", "&Ok", "&Cancel"}) {
      QVERIFY2(texts.count(t), t);
    }
    QStringList counts;
    for (int i = 0; i <= 9; ++i) counts << QString::asprintf("%.2d", i);
    QCOMPARE(ItemsOf(d.cbxN), counts);
  }

  void scheduleSetupDialogTexts() {
    ctlapp::TfrmSchSetup d;
    QCOMPARE(d.windowTitle(), QString("Setup for Schedule"));
    QCOMPARE(d.btnOk->text(), QString("&OK"));
    QCOMPARE(d.btnCancel->text(), QString("&Cancel"));
    QCOMPARE(d.btnClear->text(), QString("C&lear"));
    QCOMPARE(d.lblDateHelp->text(), QString("mm/dd"));
    QStringList words;
    for (const QAction* a : d.pmuDate->actions()) words << a->text();
    QCOMPARE(words, (QStringList{"Date", "Daily", "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
                                 "Saturday", "Mon - Fri", "WeekEnd"}));
  }

  void parameterDialogTexts() {
    controller::TfrmParam d;
    QCOMPARE(d.windowTitle(), QString("System Parameters Setup"));
    QStringList pages;
    for (int i = 0; i < d.pages->count(); ++i) pages << d.pages->tabText(i);
    QCOMPARE(pages, (QStringList{"Communication", "RS232", "Sign Table"}));
    const std::set<QString> texts = TextsOf(d);
    for (const char* t : {"Kind:", "&Time Format", "&CRC Check", "Waiting time for CRC echo:", "(MSec.)",
                          "&Serial Port", "S&peed", "&Ok", "&Cancel"}) {
      QVERIFY2(texts.count(t), t);
    }
    QCOMPARE(ItemsOf(d.cboIsTCP), (QStringList{"RS 232", "TCP / IP"}));
    QCOMPARE(ItemsOf(d.cboTime), (QStringList{"12H", "24H"}));
    QCOMPARE(ItemsOf(d.cboPort), (QStringList{"COM1", "COM2", "COM3", "COM4"}));
    QCOMPARE(d.cboSpeed->count(), 11);
    QCOMPARE(d.cboSpeed->itemText(0), QString("150 bps"));
    QCOMPARE(d.cboSpeed->itemText(10), QString("115200 bps"));
    QCOMPARE(d.tblIP->rowCount(), 50);
    QStringList headers;
    for (int c = 0; c < d.tblIP->columnCount(); ++c) headers << d.tblIP->horizontalHeaderItem(c)->text();
    QCOMPARE(headers, (QStringList{"Name", "IP Address", "Tel. Number"}));
    QCOMPARE(d.tblIP->verticalHeaderItem(0)->text(), QString("01"));
    QCOMPARE(d.tblIP->verticalHeaderItem(49)->text(), QString("50"));
  }

  // Both windows open in the middle of the screen, wherever the main window is.
  void sendingAndDialUpWindowsOpenCentred() {
    TfrmMain m;
    m.setGeometry(0, 0, 320, 200);
    m.show();
    controller::TfrmSending* sending = m.Link().frmSending;
    sending->show();
    QVERIFY(QTest::qWaitForWindowExposed(sending));
    QVERIFY2(CentredOnScreen(*sending), qPrintable(QString("at %1,%2").arg(sending->x()).arg(sending->y())));
    sending->hide();
    dialup::TfrmDialUp& dial = m.DialUpWindow();
    dial.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dial));
    QVERIFY2(CentredOnScreen(dial), qPrintable(QString("at %1,%2").arg(dial.x()).arg(dial.y())));
    dial.hide();
  }
};

QTEST_MAIN(WindowTextsTest)
#include "WindowTextsTest.moc"
