// "SML_WIN.INI", the sign table, the serial set-up order and the parameter dialog.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QCheckBox>

#include <regex>
#include <sys/stat.h>
#include <stdexcept>

#include "CoreTestSupport.h"
#include "common/RecordingSerialSetup.h"
#include "common/Util.h"
#include "controller/Param.h"
#include "controller/Settings.h"
#include "platform/BinaryFile.h"
#include "platform/MessageBoxes.h"
#include "platform/ProfileFile.h"
#include "testsupport/AsPlainUser.h"
#include "testsupport/FileSizeLimit.h"
#include "testsupport/PrintQString.h"

namespace {

using namespace controller;
using coretest::TempDir;

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(Settings, FreshStartWritesTheDefaults) {
  TempDir dir;
  TSettings s;
  s.linkKind = 0;  // whatever was in memory, the file's absence means defaults
  SignTable t;
  t[0].name = "stale";
  LoadSettings(dir.path(), s, t);
  EXPECT_EQ(s, TSettings{});
  EXPECT_EQ(s.portIndex, 0);
  EXPECT_EQ(s.speedIndex, 6);
  EXPECT_TRUE(s.IsTcp());
  EXPECT_EQ(t[0].name, "");
  const std::string file = dir.Read("SML_WIN.INI");
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(Count(file, "[SIGN "), 50);
  EXPECT_NE(file.find("[SIGN 1]"), std::string::npos);
  EXPECT_NE(file.find("[SIGN 50]"), std::string::npos);
  EXPECT_EQ(file.find("[SIGN 51]"), std::string::npos);
  EXPECT_EQ(file.find("[SIGN 01]"), std::string::npos);
  // Empty values are written as the key with nothing after '='.
  EXPECT_EQ(Count(file, "Name=\n") + Count(file, "Name=\r\n"), 50);
  EXPECT_EQ(Count(file, "TEL=\n") + Count(file, "TEL=\r\n"), 50);
  const std::string path = dir.path() + "/SML_WIN.INI";
  const std::pair<const char*, const char*> keys[] = {{"PORT", "0"},        {"SPEED", "6"},     {"IS TCP", "1"},
                                                      {"Time Format", "1"}, {"CRC Check", "0"}, {"CRC Wait MSec", "1000"}};
  for (auto [key, value] : keys) EXPECT_EQ(platform::ReadProfileString(path, "Communication", key), value) << key;
}

TEST(Settings, BadValuesTakeTheirDefaultsAndTheRestIsRead) {
  TempDir dir;
  const std::string path = dir.path() + "/SML_WIN.INI";
  const std::pair<const char*, const char*> stored[] = {
      {"PORT", "7"}, {"SPEED", "abc"}, {"IS TCP", "0"}, {"Time Format", "-1"}, {"CRC Check", " 1 "},
      {"CRC Wait MSec", "99999999999"}};
  for (auto [key, value] : stored) platform::WriteProfileString(path, "Communication", key, value);
  platform::WriteProfileString(path, "SIGN 2", "Name", " Gate ");
  TSettings s;
  SignTable t;
  LoadSettings(dir.path(), s, t);
  EXPECT_EQ(s.portIndex, 0);     // out of 0..3
  EXPECT_EQ(s.speedIndex, 6);    // not a number
  EXPECT_EQ(s.linkKind, 0);
  EXPECT_EQ(s.timeFormat, 1);    // out of 0..1
  EXPECT_EQ(s.crcCheck, 1);
  EXPECT_EQ(s.crcWaitMs, 1000);  // does not fit
  EXPECT_EQ(t[1].name, " Gate ");  // a value reads back as it was written, blanks and all
  // An existing file is not rewritten by a load.
  EXPECT_EQ(platform::ReadProfileString(path, "Communication", "PORT"), "7");
}

TEST(Settings, SaveKeepsTheOtherProgramsKeys) {
  platform::ProfileKeysRead read;
  TempDir dir;
  const std::string path = dir.path() + "/SML_WIN.INI";
  platform::WriteProfileString(path, "System", "Sign Width", "128");
  platform::WriteProfileString(path, "Communication", "Sign ID", "5");
  TSettings s;
  SignTable t;
  LoadSettings(dir.path(), s, t, &read);
  s.portIndex = 2;
  s.crcWaitMs = 250;
  t[0] = {"Front", "10.0.0.9", "5551234"};
  SaveSettings(dir.path(), s, t, read);
  EXPECT_EQ(platform::ReadProfileString(path, "System", "Sign Width"), "128");
  EXPECT_EQ(platform::ReadProfileString(path, "Communication", "Sign ID"), "5");
  TSettings back;
  SignTable backTable;
  LoadSettings(dir.path(), back, backTable);
  EXPECT_EQ(back, s);
  EXPECT_EQ(backTable, t);
}

// A save that cannot be written (here a disk that takes no more than 64
// bytes) says so once, naming the file and the system's reason, and the old
// file stays whole.
TEST(Settings, AFailedSaveIsShownOnceAndKeepsTheOldFile) {
  platform::ProfileKeysRead read;
  TempDir dir;
  platform::ScopedRecordingBoxes boxes;
  TSettings s;
  SignTable t;
  LoadSettings(dir.path(), s, t, &read);
  const std::string path = dir.path() + "/SML_WIN.INI";
  const std::vector<std::uint8_t> before = platform::ReadWholeFile(path);
  s.portIndex = 3;
  bool saved = true;
  {
    testsupport::FileSizeLimit disk(64);
    saved = SaveSettings(dir.path(), s, t, read);
  }
  EXPECT_FALSE(saved);
  EXPECT_EQ(boxes->Texts(),
            std::vector<std::string>{"The settings could not be saved to " + path + " (File too large)!"});
  EXPECT_EQ(platform::ReadWholeFile(path), before);
}

// A settings file its owner made read-only is not replaced, though the folder
// may be written: the save shows its failure warning with the system's reason.
TEST(Settings, ASaveOverAReadOnlyFileIsRefusedAndShown) {
  platform::ProfileKeysRead read;
  TempDir dir;
  TSettings s;
  SignTable t;
  {
    platform::ScopedRecordingBoxes quiet;
    LoadSettings(dir.path(), s, t, &read);
  }
  const std::string path = dir.path() + "/SML_WIN.INI";
  const std::vector<std::uint8_t> before = platform::ReadWholeFile(path);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const int result = testsupport::RunAsPlainUser(dir.path(), [&] {
    platform::ScopedRecordingBoxes boxes;
    s.portIndex = 3;
    const bool saved = SaveSettings(dir.path(), s, t, read);
    const std::vector<std::string> expected = {"The settings could not be saved to " + path + " (Permission denied)!"};
    return saved ? 1 : boxes->Texts() == expected ? 0 : 2;
  });
  EXPECT_EQ(result, 0) << "1: saved, 2: not the failure warning";
  EXPECT_EQ(platform::ReadWholeFile(path), before);
}

// The bytes a fresh start writes: the fifty sign sections, then the link keys,
// CRLF line ends and a blank line between sections.
TEST(Settings, AFreshFileHoldsExactlyTheseBytes) {
  TempDir dir;
  TSettings s;
  SignTable t;
  LoadSettings(dir.path(), s, t);
  std::string expected;
  for (int n = 1; n <= 50; ++n) expected += "[SIGN " + std::to_string(n) + "]\r\nName=\r\nIP=\r\nTEL=\r\n\r\n";
  expected += "[Communication]\r\nPORT=0\r\nSPEED=6\r\nIS TCP=1\r\nTime Format=1\r\nCRC Check=0\r\nCRC Wait MSec=1000\r\n";
  EXPECT_EQ(dir.Read("SML_WIN.INI"), expected);
}

// A save is one replacement of the file: a disk that fills up part-way
// through it leaves the old file, byte for byte, and not some signs new and
// the rest old.
TEST(Settings, ASaveThatFailsPartWayLeavesTheWholeOldFile) {
  platform::ProfileKeysRead read;
  TempDir dir;
  TSettings s;
  SignTable t;
  LoadSettings(dir.path(), s, t, &read);
  const std::string path = dir.path() + "/SML_WIN.INI";
  const std::vector<std::uint8_t> before = platform::ReadWholeFile(path);
  for (int n = 1; n <= kSignEntries; ++n) t[static_cast<std::size_t>(n - 1)].name = "Sign " + std::to_string(n);
  s.portIndex = 2;
  platform::ScopedRecordingBoxes boxes;
  bool saved = true;
  {
    // Room for a few of the new names, not for all fifty.
    testsupport::FileSizeLimit disk(before.size() + 40);
    saved = SaveSettings(dir.path(), s, t, read);
  }
  EXPECT_FALSE(saved);
  EXPECT_EQ(boxes->Texts(),
            std::vector<std::string>{"The settings could not be saved to " + path + " (File too large)!"});
  EXPECT_EQ(platform::ReadWholeFile(path), before);
  // With room on the disk the same save puts every key in place at once.
  ASSERT_TRUE(SaveSettings(dir.path(), s, t, read));
  TSettings back;
  SignTable backTable;
  LoadSettings(dir.path(), back, backTable);
  EXPECT_EQ(backTable, t);
  EXPECT_EQ(back, s);
}

// A save keeps the comments, the unknown keys and the LF line ends of a file
// written by hand.
TEST(Settings, ASaveKeepsCommentsUnknownKeysAndLineEnds) {
  platform::ProfileKeysRead read;
  TempDir dir;
  const std::string path = dir.path() + "/SML_WIN.INI";
  std::ofstream(path, std::ios::binary) << "; our signs\n[SIGN 1]\nName=Gate\nColour=red\n[Communication]\nPORT=1\n"
                                           "Modem=on\n";
  TSettings s;
  SignTable t;
  LoadSettings(dir.path(), s, t, &read);
  t[0].name = "Front";
  ASSERT_TRUE(SaveSettings(dir.path(), s, t, read));
  // Only the changed key is written, in its place; a key the file lacks and
  // the program did not change stays out of it.
  EXPECT_EQ(dir.Read("SML_WIN.INI"), "; our signs\n[SIGN 1]\nName=Front\nColour=red\n[Communication]\nPORT=1\n"
                                     "Modem=on\n");
  // A key new to the file goes after the last key of its section, a new
  // section at the end.
  t[0].tel = "555";
  t[2].name = "Yard";
  ASSERT_TRUE(SaveSettings(dir.path(), s, t, read));
  EXPECT_EQ(dir.Read("SML_WIN.INI"), "; our signs\n[SIGN 1]\nName=Front\nColour=red\nTEL=555\n[Communication]\n"
                                     "PORT=1\nModem=on\n\n[SIGN 3]\nName=Yard\n");
}

// A settings file that is there but cannot be read is said at the load,
// naming the file and the reason; the defaults are taken, and no save of
// this run writes over the file, even once it could be read again.
TEST(Settings, AFileThatCannotBeReadIsSaidAndKeptForTheRun) {
  platform::ProfileKeysRead read;
  struct Case {
    const char* what;
    std::function<void(const std::string&)> make;
    std::string reason;
  };
  const std::string bigComment = "; " + std::string(std::size_t{1} << 20, 'x') + "\r\n";
  const Case cases[] = {
      {"over 1 MiB",
       [&](const std::string& p) { std::ofstream(p, std::ios::binary) << "[SIGN 1]\r\nName=Gate\r\n" << bigComment; },
       "File too large, more than 1 MiB"},
      {"a directory", [](const std::string& p) { ::mkdir(p.c_str(), 0755); }, "is not a regular file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = dir.path() + "/SML_WIN.INI";
    c.make(path);
    platform::ScopedRecordingBoxes boxes;
    TSettings s;
    s.portIndex = 3;
    SignTable t;
    t[0].name = "stale";
    LoadSettings(dir.path(), s, t, &read);
    EXPECT_EQ(s, TSettings{});
    EXPECT_EQ(t, SignTable{});
    EXPECT_EQ(boxes->Texts(), std::vector<std::string>{"The settings file " + path + " cannot be read (" + c.reason +
                                                       "). The default settings are used, and the file is not "
                                                       "written until the program is started again."});
    // Made readable while the program runs: still not written over.
    std::filesystem::remove_all(path);
    std::ofstream(path, std::ios::binary) << "[SIGN 1]\r\nName=Gate\r\n";
    boxes->Clear();
    t[1].name = "New";
    EXPECT_FALSE(SaveSettings(dir.path(), s, t, read));
    EXPECT_EQ(boxes->Texts(), std::vector<std::string>{"The settings could not be saved to " + path +
                                                       " (it could not be read when the program started)!"});
    EXPECT_EQ(dir.Read("SML_WIN.INI"), "[SIGN 1]\r\nName=Gate\r\n");
  }
}

// The same for a file its user may not read.
TEST(Settings, AFileItsUserMayNotReadIsSaid) {
  TempDir dir;
  const std::string path = dir.path() + "/SML_WIN.INI";
  std::ofstream(path, std::ios::binary) << "[SIGN 1]\r\nName=Gate\r\n";
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  const int result = testsupport::RunAsPlainUser(dir.path(), [&] {
    platform::ScopedRecordingBoxes boxes;
    TSettings s;
    SignTable t;
    LoadSettings(dir.path(), s, t);
    const std::vector<std::string> expected = {"The settings file " + path +
                                               " cannot be read (Permission denied). The default settings are used, "
                                               "and the file is not written until the program is started again."};
    return boxes->Texts() == expected && t[0].name.empty() ? 0 : 1;
  });
  EXPECT_EQ(result, 0) << "1: not the warning";
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  EXPECT_EQ(dir.Read("SML_WIN.INI"), "[SIGN 1]\r\nName=Gate\r\n");
}

// A program directory far longer than 200 characters holds its settings like
// any other: read at the start and written by a save.
TEST(Settings, ALongProgramDirectoryIsReadAndWritten) {
  platform::ProfileKeysRead read;
  TempDir top;
  std::string dir = top.path();
  while (dir.size() < 300) dir += "/" + std::string(40, 'd');
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/SML_WIN.INI";
  ASSERT_GT(path.size(), 300u);
  std::ofstream(path, std::ios::binary) << "[SIGN 1]\r\nName=Gate\r\n[Communication]\r\nPORT=2\r\n";
  platform::ScopedRecordingBoxes boxes;
  TSettings s;
  SignTable t;
  LoadSettings(dir, s, t, &read);
  EXPECT_EQ(t[0].name, "Gate");
  EXPECT_EQ(s.portIndex, 2);
  t[1].name = "Yard";
  EXPECT_TRUE(SaveSettings(dir, s, t, read));
  EXPECT_EQ(platform::ReadProfileString(path, "SIGN 2", "Name"), "Yard");
  EXPECT_TRUE(boxes->Texts().empty());
}

// A sign table saved by a Windows editor: a byte-order mark before "[SIGN 1]"
// and lines that end in a lone CR. Its signs are listed, and a save changes
// the one key in its place, with no second "[SIGN 1]".
TEST(Settings, ASignTableSavedByAWindowsEditorReadsAsItIs) {
  TempDir dir;
  const std::string path = dir.path() + "/SML_WIN.INI";
  const std::string before = "\xEF\xBB\xBF[SIGN 1]\rName=Gate\rIP=10.0.0.7\r[SIGN 2]\rName=Yard\r"
                             "[Communication]\rPORT=2\rCRC Check=1\r";
  std::ofstream(path, std::ios::binary) << before;
  platform::ProfileKeysRead read;
  TSettings s;
  SignTable t;
  LoadSettings(dir.path(), s, t, &read);
  EXPECT_EQ(SignNames(t), (std::vector<std::string>{"Gate", "Yard"}));
  EXPECT_EQ(t[0].ip, "10.0.0.7");
  EXPECT_EQ(s.portIndex, 2);
  EXPECT_EQ(s.crcCheck, 1);
  t[1].name = "Back yard";
  ASSERT_TRUE(SaveSettings(dir.path(), s, t, read));
  EXPECT_EQ(dir.Read("SML_WIN.INI"), "\xEF\xBB\xBF[SIGN 1]\rName=Gate\rIP=10.0.0.7\r[SIGN 2]\rName=Back yard\r"
                                     "[Communication]\rPORT=2\rCRC Check=1\r");
}

TEST(Settings, SignListStopsAtTheFirstNamelessEntry) {
  SignTable t;
  t[0].name = "One";
  t[1].name = "Two";
  t[3].name = "Four";
  EXPECT_EQ(SignNames(t), (std::vector<std::string>{"One", "Two"}));
  t[2].name = "   ";
  EXPECT_EQ(SignNames(t), (std::vector<std::string>{"One", "Two"}));
  EXPECT_EQ(SignEntry(t, 0), nullptr);
  EXPECT_EQ(SignEntry(t, 51), nullptr);
  EXPECT_EQ(SignEntry(t, 4)->name, "Four");
  coretest::GuiApp();
  QComboBox combo;
  combo.addItem("old");
  combo.addItem("older");
  combo.setCurrentIndex(1);
  FillSignCombo(combo, t);
  ASSERT_EQ(combo.count(), 2);
  EXPECT_EQ(combo.currentIndex(), 0);
  EXPECT_EQ(combo.itemText(1), "Two");
}

using settings::RecordingSerialSetup;

TEST(SerialSetup, OrderAndErrorMessage) {
  platform::ScopedRecordingBoxes boxes;
  TSettings s;
  s.portIndex = 1;
  s.speedIndex = 10;
  RecordingSerialSetup ok;
  EXPECT_TRUE(ApplySerialSettings(ok, s));
  EXPECT_EQ(ok.calls, (std::vector<std::string>{"ComNumber=2", "Baud=115200", "Open=1", "Modem=1"}));
  EXPECT_TRUE(boxes->Texts().empty());
  RecordingSerialSetup failing;
  failing.failAt = "Open";
  EXPECT_FALSE(ApplySerialSettings(failing, s));
  EXPECT_EQ(failing.calls, (std::vector<std::string>{"ComNumber=2", "Baud=115200", "Open=1"}));
  EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{"Serial Port setup error!"}));
}

class ParamDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    coretest::GuiApp();
    table_[0] = {"  Front ", "10.0.0.1", ""};
    table_[1] = {"Back", "", "555"};
    settings_.linkKind = 1;
    settings_.crcCheck = 0;
  }
  // Runs `edit` on the shown dialog, then presses `button`.
  bool Run(std::function<void()> edit, QPushButton* TfrmParam::*button, RecordingSerialSetup* serial = nullptr) {
    QTimer::singleShot(0, &dialog_, [this, edit, button] {
      edit();
      (dialog_.*button)->click();
      // A refused OK leaves the dialog up: close it as Cancel would.
      if (dialog_.isVisible()) QTimer::singleShot(0, &dialog_, [this] { dialog_.btnCancel->click(); });
    });
    return ParameterSetup(dialog_, settings_, table_, dir_.path(), read_, &combo_, serial);
  }
  bool app_ = (coretest::GuiApp(), true);  // before any widget member
  TempDir dir_;
  TSettings settings_;
  SignTable table_;
  platform::ProfileKeysRead read_;
  QComboBox combo_;
  TfrmParam dialog_;
  platform::ScopedRecordingBoxes boxes_;
};

TEST_F(ParamDialog, ShowsTheTableTrimmedAndTakesEditsTrimmed) {
  RecordingSerialSetup serial;
  bool ok = Run(
      [this] {
        EXPECT_EQ(dialog_.pages->currentWidget(), dialog_.tblIP);
        EXPECT_EQ(dialog_.tblIP->item(0, 0)->text(), "Front");
        EXPECT_EQ(dialog_.tblIP->verticalHeaderItem(49)->text(), "50");
        EXPECT_EQ(dialog_.tblIP->verticalHeaderItem(0)->text(), "01");
        EXPECT_EQ(dialog_.tblIP->horizontalHeaderItem(1)->text(), "IP Address");
        EXPECT_EQ(dialog_.tblIP->currentRow(), 0);
        dialog_.tblIP->item(1, 0)->setText("  Rear  ");
        dialog_.tblIP->item(2, 1)->setText(" 1.2.3.4 ");
        dialog_.cboIsTCP->setCurrentIndex(0);
        dialog_.chkCRC->setChecked(true);
        dialog_.edtCRCWaitMSec->setText("250");
        dialog_.cboPort->setCurrentIndex(3);
        dialog_.cboSpeed->setCurrentIndex(9);
        dialog_.cboTime->setCurrentIndex(0);
      },
      &TfrmParam::btnSave, &serial);
  ASSERT_TRUE(ok);
  EXPECT_EQ(table_[0].name, "Front");
  EXPECT_EQ(table_[1].name, "Rear");
  EXPECT_EQ(table_[2].ip, "1.2.3.4");
  EXPECT_EQ(settings_.linkKind, 0);
  EXPECT_EQ(settings_.crcCheck, 1);
  EXPECT_EQ(settings_.crcWaitMs, 250);
  EXPECT_EQ(settings_.portIndex, 3);
  EXPECT_EQ(settings_.speedIndex, 9);
  EXPECT_EQ(settings_.timeFormat, 0);
  EXPECT_EQ(combo_.count(), 2);
  EXPECT_EQ(combo_.currentIndex(), 0);
  // Saved, and the serial port set up because the link is now RS-232.
  EXPECT_EQ(platform::ReadProfileString(dir_.path() + "/SML_WIN.INI", "SIGN 2", "Name"), "Rear");
  EXPECT_EQ(serial.calls, (std::vector<std::string>{"ComNumber=4", "Baud=57600", "Open=1", "Modem=1"}));
}

TEST_F(ParamDialog, CancelTakesNothing) {
  const SignTable before = table_;
  const TSettings settingsBefore = settings_;
  bool ok = Run([this] {
    dialog_.tblIP->item(0, 0)->setText("Changed");
    dialog_.edtCRCWaitMSec->setText("5");
  }, &TfrmParam::btnCancel);
  EXPECT_FALSE(ok);
  EXPECT_EQ(table_, before);
  EXPECT_EQ(settings_, settingsBefore);
  EXPECT_FALSE(std::filesystem::exists(dir_.path() + "/SML_WIN.INI"));
}

TEST_F(ParamDialog, BadWaitIsRefusedBeforeAnythingIsTaken) {
  const SignTable before = table_;
  const TSettings settingsBefore = settings_;
  RecordingSerialSetup serial;
  bool ok = Run([this] {
    dialog_.tblIP->item(0, 0)->setText("Changed");
    dialog_.cboIsTCP->setCurrentIndex(0);
    dialog_.edtCRCWaitMSec->setText("12a");
  }, &TfrmParam::btnSave, &serial);
  EXPECT_FALSE(ok);
  EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{"Waiting time for CRC echo error!"}));
  EXPECT_EQ(table_, before);
  EXPECT_EQ(settings_, settingsBefore);
  EXPECT_TRUE(serial.calls.empty());
}

TEST_F(ParamDialog, SwitchingToTcpLeavesTheSerialPortAlone) {
  settings_.linkKind = 0;
  RecordingSerialSetup serial;
  ASSERT_TRUE(Run([this] { dialog_.cboIsTCP->setCurrentIndex(1); }, &TfrmParam::btnSave, &serial));
  EXPECT_TRUE(settings_.IsTcp());
  EXPECT_TRUE(serial.calls.empty());
}

// A name, an address and a number typed in any language come back as typed:
// after OK, in the file, in the sign list and in the dialog at a new start.
TEST_F(ParamDialog, TextsBeyondAsciiSurviveOkTheFileAndANewStart) {
  const QString name = QString::fromUtf16(u"\u5927\u9580 Zo\u00EB");
  const QString ip = QString::fromUtf16(u"schild.zo\u00EB.example");
  const QString tel = QString::fromUtf16(u"\u260E 0800 123");
  const std::string nameBytes = "\xE5\xA4\xA7\xE9\x96\x80 Zo\xC3\xAB";
  const std::string ipBytes = "schild.zo\xC3\xAB.example";
  const std::string telBytes = "\xE2\x98\x8E 0800 123";
  ASSERT_TRUE(Run(
      [&] {
        dialog_.tblIP->item(0, 0)->setText(name);
        dialog_.tblIP->item(0, 1)->setText(ip);
        dialog_.tblIP->item(0, 2)->setText(tel);
      },
      &TfrmParam::btnSave));
  EXPECT_EQ(table_[0], (TSignRecord{nameBytes, ipBytes, telBytes}));
  EXPECT_EQ(combo_.itemText(0), name);
  const std::string ini = dir_.path() + "/SML_WIN.INI";
  EXPECT_EQ(platform::ReadProfileString(ini, "SIGN 1", "Name"), nameBytes);
  EXPECT_EQ(platform::ReadProfileString(ini, "SIGN 1", "IP"), ipBytes);
  EXPECT_EQ(platform::ReadProfileString(ini, "SIGN 1", "TEL"), telBytes);

  // A new start reads them back as they were typed.
  TSettings s;
  SignTable t;
  LoadSettings(dir_.path(), s, t);
  EXPECT_EQ(t[0], table_[0]);
  QComboBox signs;
  FillSignCombo(signs, t);
  EXPECT_EQ(signs.itemText(0), name);
  table_ = t;
  QString shown[3];
  ASSERT_TRUE(Run([&] { for (int c = 0; c < 3; ++c) shown[c] = dialog_.tblIP->item(0, c)->text(); },
                  &TfrmParam::btnSave));
  EXPECT_EQ(shown[0], name);
  EXPECT_EQ(shown[1], ip);
  EXPECT_EQ(shown[2], tel);
  EXPECT_EQ(table_[0], (TSignRecord{nameBytes, ipBytes, telBytes}));
}

// A settings file from another system holds Latin-1: its names show as their
// letters and go back to the file as they were, until the user changes one.
TEST_F(ParamDialog, AnOldLatin1SettingsFileShowsItsNamesAndKeepsTheirBytes) {
  const std::string ini = dir_.path() + "/SML_WIN.INI";
  std::ofstream(ini, std::ios::binary) << "[SIGN 1]\r\nName=Caf\xE9 Zo\xEB\r\nIP=10.0.0.1\r\nTEL=0\xB7" "30 1\r\n"
                                       << "[SIGN 2]\r\nName=M\xFCller\r\nIP=\r\nTEL=\r\n"
                                       << "[Communication]\r\nIS TCP=1\r\n";
  LoadSettings(dir_.path(), settings_, table_);
  EXPECT_EQ(table_[0].name, "Caf\xE9 Zo\xEB");
  FillSignCombo(combo_, table_);
  ASSERT_EQ(combo_.count(), 2);
  EXPECT_EQ(combo_.itemText(0), QString::fromUtf16(u"Caf\u00E9 Zo\u00EB"));
  EXPECT_EQ(combo_.itemText(1), QString::fromUtf16(u"M\u00FCller"));
  QString shown[2];
  ASSERT_TRUE(Run(
      [&] {
        shown[0] = dialog_.tblIP->item(0, 0)->text();
        shown[1] = dialog_.tblIP->item(0, 2)->text();
        dialog_.tblIP->item(1, 0)->setText(QString::fromUtf16(u"M\u00FCller S\u00FCd"));
      },
      &TfrmParam::btnSave));
  EXPECT_EQ(shown[0], QString::fromUtf16(u"Caf\u00E9 Zo\u00EB"));
  EXPECT_EQ(shown[1], QString::fromUtf16(u"0\u00B730 1"));
  // Untouched: the old bytes. Changed: UTF-8.
  EXPECT_EQ(platform::ReadProfileString(ini, "SIGN 1", "Name"), "Caf\xE9 Zo\xEB");
  EXPECT_EQ(platform::ReadProfileString(ini, "SIGN 1", "TEL"), "0\xB7" "30 1");
  EXPECT_EQ(platform::ReadProfileString(ini, "SIGN 2", "Name"), std::string("M\xC3\xBCller S\xC3\xBC" "d"));
  EXPECT_EQ(combo_.itemText(0), QString::fromUtf16(u"Caf\u00E9 Zo\u00EB"));
  EXPECT_EQ(combo_.itemText(1), QString::fromUtf16(u"M\u00FCller S\u00FCd"));
}

}  // namespace
