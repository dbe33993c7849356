// The editor's keys of "SML_WIN.INI": defaults, ranges, the 8-bit keys and
// the sharing of the file with the controller.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <filesystem>
#include <string>
#include <utility>

#include "editor/EditorSettings.h"
#include "platform/BinaryFile.h"
#include "platform/MessageBoxes.h"
#include "platform/ProfileFile.h"
#include "testsupport/FileSizeLimit.h"

namespace {

using editor::EditorSettings;

class SettingsDir {
 public:
  SettingsDir() {
    char templ[] = "/tmp/editorsettings.XXXXXX";
    dir_ = mkdtemp(templ);
  }
  ~SettingsDir() { std::filesystem::remove_all(dir_); }
  const std::string& dir() const { return dir_; }
  std::string file() const { return dir_ + "/SML_WIN.INI"; }
  void Put(const char* section, const char* key, const char* value) const {
    platform::WriteProfileString(file(), section, key, value);
  }
  std::optional<std::string> Get(const char* section, const char* key) const {
    return platform::ReadProfileString(file(), section, key);
  }

 private:
  std::string dir_;
};

struct Key {
  const char* section;
  const char* key;
  const char* value;
};

TEST(EditorSettings, FreshStartWritesEveryKeyWithItsDefault) {
  SettingsDir d;
  EditorSettings s;
  s.signWidth = 80;  // what memory held before does not matter
  s.crcCheck = 1;
  editor::LoadSettings(d.dir(), s);
  EXPECT_EQ(s, EditorSettings{});
  const Key expected[] = {{"System", "Sign Width", "160"},       {"System", "Sign Height", "16"},
                          {"System", "Color Type", "0"},         {"System", "Last Mode", "0"},
                          {"Communication", "PORT", "0"},        {"Communication", "SPEED", "6"},
                          {"Communication", "Sign ID", "0"},     {"Communication", "Time Format", "1"},
                          {"Communication", "CRC Check", "0"}};
  for (const Key& k : expected) EXPECT_EQ(d.Get(k.section, k.key), k.value) << k.key;
}

TEST(EditorSettings, SavedValuesComeBack) {
  SettingsDir d;
  EditorSettings s;
  s.signWidth = 96;
  s.signHeight = 8;
  s.colorType = 1;
  s.lastMode = 17;
  s.portIndex = 3;
  s.speedIndex = 10;
  s.signId = 42;
  s.timeFormat = 0;
  s.crcCheck = 1;
  platform::ProfileKeysRead nothingRead;  // every key counts as changed
  editor::SaveSettings(d.dir(), s, nothingRead);
  EXPECT_EQ(d.Get("Communication", "Sign ID"), "42");
  EXPECT_EQ(d.Get("System", "Color Type"), "1");
  EditorSettings back;
  editor::LoadSettings(d.dir(), back);
  EXPECT_EQ(back, s);
  EXPECT_TRUE(back.IsMono());
}

TEST(EditorSettings, StoredValuesAreCheckedKeyByKey) {
  struct Case {
    Key stored;
    int EditorSettings::*field;
    int expected;
  };
  const Case cases[] = {
      {{"System", "Sign Width", "0"}, &EditorSettings::signWidth, 160},
      {{"System", "Sign Width", "1025"}, &EditorSettings::signWidth, 160},
      {{"System", "Sign Width", "1024"}, &EditorSettings::signWidth, 1024},
      {{"System", "Sign Width", "12a"}, &EditorSettings::signWidth, 160},
      {{"System", "Sign Height", "12"}, &EditorSettings::signHeight, 12},  // start-up refuses it itself
      {{"System", "Sign Height", "x"}, &EditorSettings::signHeight, 16},
      {{"System", "Color Type", "2"}, &EditorSettings::colorType, 0},
      {{"System", "Last Mode", "-1"}, &EditorSettings::lastMode, 0},
      {{"System", "Last Mode", "31"}, &EditorSettings::lastMode, 31},
      {{"Communication", "PORT", "4"}, &EditorSettings::portIndex, 0},
      {{"Communication", "PORT", "2"}, &EditorSettings::portIndex, 2},
      {{"Communication", "SPEED", "11"}, &EditorSettings::speedIndex, 6},
      {{"Communication", "SPEED", " 7 "}, &EditorSettings::speedIndex, 7},
      {{"Communication", "CRC Check", "1"}, &EditorSettings::crcCheck, 1},
  };
  for (const Case& c : cases) {
    SettingsDir d;
    d.Put(c.stored.section, c.stored.key, c.stored.value);
    EditorSettings s;
    editor::LoadSettings(d.dir(), s);
    EXPECT_EQ(s.*c.field, c.expected) << c.stored.key << "=" << c.stored.value;
  }
}

TEST(EditorSettings, EightBitKeysKeepTheLowByte) {
  const std::pair<const char*, int> ids[] = {{"256", 0}, {"300", 44}, {"99", 99}, {"-1", 255}, {"abc", 0}};
  for (auto [text, expected] : ids) {
    SettingsDir d;
    d.Put("Communication", "Sign ID", text);
    d.Put("Communication", "Time Format", text);
    EditorSettings s;
    editor::LoadSettings(d.dir(), s);
    EXPECT_EQ(s.signId, expected) << text;
    EXPECT_EQ(s.timeFormat, std::string(text) == "abc" ? 1 : expected) << text;
  }
}

TEST(EditorSettings, TheControllersKeysStayAndAnExistingFileIsNotRewrittenByALoad) {
  SettingsDir d;
  d.Put("SIGN 1", "Name", "Gate");
  d.Put("Communication", "IS TCP", "0");
  d.Put("Communication", "CRC Wait MSec", "700");
  d.Put("Communication", "PORT", "9");
  EditorSettings s;
  platform::ProfileKeysRead read;
  editor::LoadSettings(d.dir(), s, &read);
  EXPECT_EQ(s.portIndex, 0);
  EXPECT_EQ(d.Get("Communication", "PORT"), "9");
  EXPECT_FALSE(d.Get("System", "Sign Width").has_value());
  // Nothing changed: nothing is written, not even the default taken for "9".
  editor::SaveSettings(d.dir(), s, read);
  EXPECT_EQ(d.Get("Communication", "PORT"), "9");
  EXPECT_FALSE(d.Get("System", "Sign Width").has_value());
  s.portIndex = 2;
  editor::SaveSettings(d.dir(), s, read);
  EXPECT_EQ(d.Get("SIGN 1", "Name"), "Gate");
  EXPECT_EQ(d.Get("Communication", "IS TCP"), "0");
  EXPECT_EQ(d.Get("Communication", "CRC Wait MSec"), "700");
  EXPECT_EQ(d.Get("Communication", "PORT"), "2");
  EXPECT_FALSE(d.Get("System", "Sign Width").has_value());
}

// A save is one replacement of the file: a disk that fills up part-way
// through it leaves the old file byte for byte, not some keys new.
TEST(EditorSettings, ASaveThatFailsPartWayLeavesTheWholeOldFile) {
  SettingsDir d;
  d.Put("SIGN 1", "Name", "Gate");  // the controller's keys stay as they are
  EditorSettings s;
  platform::ProfileKeysRead read;
  editor::SaveSettings(d.dir(), s, read);
  const std::vector<std::uint8_t> before = platform::ReadWholeFile(d.file());
  s.signWidth = 1024;  // one byte longer
  s.lastMode = 31;     // one more
  s.signId = 42;       // and one more: two fit on the disk, three do not
  platform::ScopedRecordingBoxes boxes;
  bool saved = true;
  {
    testsupport::FileSizeLimit disk(before.size() + 2);
    saved = editor::SaveSettings(d.dir(), s, read);
  }
  EXPECT_FALSE(saved);
  EXPECT_EQ(boxes->Texts(),
            std::vector<std::string>{"The settings could not be saved to " + d.file() + " (File too large)!"});
  EXPECT_EQ(platform::ReadWholeFile(d.file()), before);
  ASSERT_TRUE(editor::SaveSettings(d.dir(), s, read));
  EditorSettings back;
  editor::LoadSettings(d.dir(), back);
  EXPECT_EQ(back, s);
}

// The bytes of a save into a file of LF lines with a comment and a key of
// its own: the lines and their ends stay; with nothing changed nothing is
// written, and a changed key the file lacks goes after its section's last.
TEST(EditorSettings, ASaveKeepsTheFilesLinesAndLineEnds) {
  SettingsDir d;
  const std::string before = "; by hand\n[System]\nSign Height=8\nBrightness=3\n";
  std::ofstream(d.file(), std::ios::binary) << before;
  EditorSettings s;
  platform::ProfileKeysRead read;
  editor::LoadSettings(d.dir(), s, &read);
  const auto text = [&d] {
    std::ifstream in(d.file(), std::ios::binary);
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  };
  ASSERT_TRUE(editor::SaveSettings(d.dir(), s, read));
  EXPECT_EQ(text(), before);
  s.lastMode = 3;
  s.portIndex = 1;
  ASSERT_TRUE(editor::SaveSettings(d.dir(), s, read));
  EXPECT_EQ(text(), before + "Last Mode=3\n\n[Communication]\nPORT=1\n");
}

// A file that is there but cannot be read (here one over 1 MiB) is said once
// at the load, naming it and the reason; the defaults are taken, and no save
// of this run writes over it.
TEST(EditorSettings, AFileThatCannotBeReadIsSaidAndKeptForTheRun) {
  SettingsDir d;
  const std::string text = "[System]\r\nSign Width=96\r\n; " + std::string(std::size_t{1} << 20, 'x') + "\r\n";
  std::ofstream(d.file(), std::ios::binary) << text;
  platform::ScopedRecordingBoxes boxes;
  EditorSettings s;
  s.signWidth = 80;
  platform::ProfileKeysRead read;
  editor::LoadSettings(d.dir(), s, &read);
  EXPECT_EQ(s, EditorSettings{});
  EXPECT_EQ(boxes->Texts(), std::vector<std::string>{"The settings file " + d.file() +
                                                     " cannot be read (File too large, more than 1 MiB). The default "
                                                     "settings are used, and the file is not written until the "
                                                     "program is started again."});
  boxes->Clear();
  s.lastMode = 3;  // a change to save
  EXPECT_FALSE(editor::SaveSettings(d.dir(), s, read));
  EXPECT_EQ(boxes->Texts(), std::vector<std::string>{"The settings could not be saved to " + d.file() +
                                                     " (it could not be read when the program started)!"});
  EXPECT_EQ(platform::ReadWholeFile(d.file(), std::size_t{2} << 20),
            std::vector<std::uint8_t>(text.begin(), text.end()));
}

TEST(EditorSettings, MessageFilesTakeTheLinkKeys) {
  EditorSettings s;
  s.signId = 7;
  s.timeFormat = 0;
  s.crcCheck = 1;
  const editor::MessageFileSettings f = editor::FileSettingsOf(s);
  EXPECT_EQ(f.signId, 7);
  EXPECT_EQ(f.timeFormat, 0);
  EXPECT_TRUE(f.crcCheck);
  s.crcCheck = 0;
  EXPECT_FALSE(editor::FileSettingsOf(s).crcCheck);
}

}  // namespace
