// The settings as start-up takes them, and the texts shown of them.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <fstream>
#include <sstream>
#include <string>

#include "editorapp/StartUp.h"
#include "platform/MessageBoxes.h"

using editor::EditorSettings;

namespace {

struct TempProgramDir {
  QTemporaryDir dir;
  std::string path() const { return dir.path().toStdString(); }
  std::string ini() const { return path() + "/SML_WIN.INI"; }
  void Write(const std::string& text) const { std::ofstream(ini(), std::ios::binary) << text; }
  std::string Read() const {
    std::ifstream in(ini(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

struct RangeCase {
  const char* section;
  const char* key;
  const char* written;
  int expected;
  int (*field)(const EditorSettings&);
};

int Width(const EditorSettings& s) { return s.signWidth; }
int Height(const EditorSettings& s) { return s.signHeight; }
int Port(const EditorSettings& s) { return s.portIndex; }
int Speed(const EditorSettings& s) { return s.speedIndex; }
int Id(const EditorSettings& s) { return s.signId; }
int Time(const EditorSettings& s) { return s.timeFormat; }
int Mode(const EditorSettings& s) { return s.lastMode; }
int Mono(const EditorSettings& s) { return editorapp::IsMono(s) ? 1 : 0; }

TEST(StartUpSettings, AValueOutOfItsRangeTakesTheDefault) {
  const RangeCase cases[] = {
      {"System", "Sign Width", "abc", 160, Width},     {"System", "Sign Width", "0", 160, Width},
      {"System", "Sign Width", "1025", 160, Width},    {"System", "Sign Width", "1024", 1024, Width},
      {"System", "Sign Width", "1", 1, Width},         {"System", "Sign Height", "12", 12, Height},
      {"System", "Last Mode", "32", 0, Mode},          {"System", "Last Mode", "31", 31, Mode},
      {"System", "Last Mode", "-1", 0, Mode},          {"System", "Color Type", "0", 0, Mono},
      {"System", "Color Type", "1", 1, Mono},          {"System", "Color Type", "2", 1, Mono},
      {"System", "Color Type", "x", 0, Mono},          {"Communication", "PORT", "4", 0, Port},
      {"Communication", "PORT", "3", 3, Port},         {"Communication", "PORT", "-1", 0, Port},
      {"Communication", "SPEED", "11", 6, Speed},      {"Communication", "SPEED", "10", 10, Speed},
      {"Communication", "SPEED", "0", 0, Speed},       {"Communication", "Sign ID", "99", 99, Id},
      {"Communication", "Sign ID", "100", 0, Id},      {"Communication", "Sign ID", "256", 0, Id},
      {"Communication", "Sign ID", "1x", 0, Id},       {"Communication", "Time Format", "0", 0, Time},
      {"Communication", "Time Format", "2", 1, Time},  {"Communication", "Time Format", "256", 1, Time},
  };
  for (const RangeCase& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.written);
    TempProgramDir dir;
    dir.Write(std::string("[") + c.section + "]\r\n" + c.key + "=" + c.written + "\r\n");
    const EditorSettings s = editorapp::LoadStartUpSettings(dir.path());
    EXPECT_EQ(c.field(s), c.expected);
  }
}

TEST(StartUpSettings, AMissingFileIsWrittenWithTheKeysInOrder) {
  TempProgramDir dir;
  const EditorSettings s = editorapp::LoadStartUpSettings(dir.path());
  EXPECT_EQ(s, EditorSettings{});
  const std::string text = dir.Read();
  std::size_t at = 0;
  for (const char* line : {"[System]", "Sign Width=160", "Sign Height=16", "Color Type=0", "Last Mode=0",
                           "[Communication]", "PORT=0", "SPEED=6", "Sign ID=0", "Time Format=1", "CRC Check=0"}) {
    const std::size_t found = text.find(line, at);
    ASSERT_NE(found, std::string::npos) << line << " in\n" << text;
    at = found;
  }
}

TEST(StartUpSettings, AnExistingFileIsNotRewritten) {
  TempProgramDir dir;
  const std::string text = "[System]\r\nSign Width=80\r\n[Other]\r\nKey=1\r\n";
  dir.Write(text);
  EXPECT_EQ(editorapp::LoadStartUpSettings(dir.path()).signWidth, 80);
  EXPECT_EQ(dir.Read(), text);
}

// A file that cannot be read is said once, not once for each key start-up
// takes; the file stays as it is.
TEST(StartUpSettings, AFileThatCannotBeReadIsSaidOnce) {
  TempProgramDir dir;
  const std::string text = "[System]\r\nSign Width=80\r\n; " + std::string(std::size_t{1} << 20, 'x') + "\r\n";
  dir.Write(text);
  platform::ScopedRecordingBoxes boxes;
  EXPECT_EQ(editorapp::LoadStartUpSettings(dir.path()), EditorSettings{});
  ASSERT_EQ(boxes->Texts().size(), 1u);
  EXPECT_EQ(boxes->Texts()[0].rfind("The settings file " + dir.ini() + " cannot be read (File too large", 0), 0u)
      << boxes->Texts()[0];
  EXPECT_EQ(dir.Read(), text);
}

// A program directory longer than 200 characters: its settings are read.
TEST(StartUpSettings, ALongProgramDirectoryIsRead) {
  TempProgramDir top;
  std::string path = top.path();
  while (path.size() < 300) path += "/" + std::string(40, 'e');
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path)));
  std::ofstream(path + "/SML_WIN.INI", std::ios::binary) << "[System]\r\nSign Width=80\r\n[Communication]\r\nSign ID=12\r\n";
  platform::ScopedRecordingBoxes boxes;
  const EditorSettings s = editorapp::LoadStartUpSettings(path);
  EXPECT_EQ(s.signWidth, 80);
  EXPECT_EQ(s.signId, 12);
  EXPECT_TRUE(boxes->Texts().empty());
}

TEST(StartUpTexts, MenuItemsAndSignSize) {
  EditorSettings s;
  s.signId = 5;
  s.portIndex = 2;
  s.speedIndex = 10;
  s.timeFormat = 0;
  s.signHeight = 8;
  s.signWidth = 120;
  const editorapp::SettingsMenuTexts t = editorapp::MenuTextsOf(s);
  EXPECT_EQ(t.id, "&ID: 5");
  EXPECT_EQ(t.com, "&Com: 3");
  EXPECT_EQ(t.baud, "&Baud: 115200");
  EXPECT_EQ(t.time, "&Time: 12H");
  s.timeFormat = 1;
  s.speedIndex = 0;
  EXPECT_EQ(editorapp::MenuTextsOf(s).time, "&Time: 24H");
  EXPECT_EQ(editorapp::MenuTextsOf(s).baud, "&Baud: 150");
  EXPECT_EQ(editorapp::SignSizeText(s), "8 x 120");
}

TEST(StartUpChecks, OnlyHeightsSevenEightAndSixteen) {
  for (int h = -1; h <= 20; ++h) {
    EXPECT_EQ(editorapp::IsValidSignHeight(h), h == 7 || h == 8 || h == 16) << h;
  }
}

}  // namespace
