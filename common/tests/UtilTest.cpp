#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/Util.h"
#include "platform/Directories.h"
#include "platform/MessageBoxes.h"

namespace fs = std::filesystem;

namespace {

TEST(Util, TrimTrailingBlanks) {
  EXPECT_EQ(util::TrimTrailingBlanks("  ab  "), "  ab");
  EXPECT_EQ(util::TrimTrailingBlanks("ab\t "), "ab\t");
  EXPECT_EQ(util::TrimTrailingBlanks("    "), "");
  EXPECT_EQ(util::TrimTrailingBlanks(""), "");
}

TEST(Util, JoinPath) {
  EXPECT_EQ(util::JoinPath("/", "SML_WIN.INI"), "/SML_WIN.INI");
  EXPECT_EQ(util::JoinPath("/opt/signs", "A.MSG"), "/opt/signs/A.MSG");
  EXPECT_EQ(util::JoinPath("/opt/signs/", "A.MSG"), "/opt/signs/A.MSG");
  // A folder's name keeps every byte, a trailing blank too: Linux allows it.
  EXPECT_EQ(util::JoinPath("/opt/signs   ", "A.MSG"), "/opt/signs   /A.MSG");
  EXPECT_EQ(util::JoinPath("/w/msgs ", "NEWS.MSG"), "/w/msgs /NEWS.MSG");
  EXPECT_EQ(util::JoinPath("/w/msgs /", "NEWS.MSG"), "/w/msgs /NEWS.MSG");
  EXPECT_EQ(util::JoinPath("", "A.MSG"), platform::CurrentDirectory() + "/A.MSG");
  EXPECT_EQ(util::JoinPath("   ", "A.MSG"), "   /A.MSG");
}

TEST(Util, GetField) {
  EXPECT_EQ(util::GetField("a;;c", 1, "d", ";"), "a");
  EXPECT_EQ(util::GetField("a;;c", 2, "d", ";"), "d");
  EXPECT_EQ(util::GetField("a;;c", 3, "d", ";"), "c");
  EXPECT_EQ(util::GetField("a;;c", 4, "d", ";"), "d");
  EXPECT_EQ(util::GetField("a;b;", 3, "d", ";"), "d");
  EXPECT_EQ(util::GetField("", 1, "d", ";"), "d");
  EXPECT_EQ(util::GetField("", 5, "d", ";"), "d");
  EXPECT_EQ(util::GetField("a;b", 1, "d", ";;"), "a;b");
  EXPECT_EQ(util::GetField("a;b", 2, "d", ";;"), "d");
  EXPECT_EQ(util::GetField("a;b", 0, "d", ";"), "d");
}

TEST(Util, TimeText) {
  platform::FixedClock clock({2026, 12, 9, 3, 7, 5, 9, 0});
  EXPECT_EQ(util::TimeText(clock), "07:05:09");
  clock.Set({2026, 12, 9, 3, 23, 59, 59, 999});
  EXPECT_EQ(util::TimeText(clock), "23:59:59");
}

TEST(Util, TickTimerCountsEighteenthsOfASecond) {
  util::TickTimer(0);
  EXPECT_EQ(util::TickTimer(1), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  int ticks = util::TickTimer(1);
  EXPECT_GE(ticks, 10);  // 10.8 truncated
  EXPECT_LE(ticks, 12);
}

TEST(Util, IniStringsRoundTripWithDefaultsAndLimits) {
  fs::path dir = fs::temp_directory_path() / ("util-ini-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::string path = (dir / "SML_WIN.INI").string();
  EXPECT_EQ(util::ReadIniString("Communication", "PORT", "0", path), "0");  // missing file
  EXPECT_TRUE(util::WriteIniString("Communication", "PORT", "2", path));      // creates it
  EXPECT_EQ(util::ReadIniString("communication", "port", "0", path), "2");
  EXPECT_EQ(util::ReadIniString("Communication", "SPEED", "6", path), "6");  // missing key

  std::string longValue(250, 'v');
  { std::ofstream(path, std::ios::app) << "[SIGN 1]\nName=" << longValue << "\n"; }
  EXPECT_EQ(util::ReadIniString("SIGN 1", "Name", "", path), std::string(199, 'v'));
  EXPECT_FALSE(util::WriteIniString("SIGN 1", "Name", std::string(201, 'w'), path));
  EXPECT_TRUE(util::WriteIniString("SIGN 1", "Name", std::string(200, 'w'), path));
  EXPECT_EQ(util::ReadIniString("SIGN 1", "Name", "", path), std::string(199, 'w'));
  fs::remove_all(dir);
}

// A value read back is cut to 199 bytes; a UTF-8 value is cut before a
// character the cut would split, so it still reads as its letters. A value
// that is not UTF-8 (from another system) is cut at 199 bytes as it stands.
// (The file may hold longer values than the writer puts there.)
TEST(Util, AValueCutToTheLimitKeepsWholeCharacters) {
  fs::path dir = fs::temp_directory_path() / ("util-ini-cut-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string path = (dir / "SML_WIN.INI").string();
  const std::string gate = "\xE5\xA4\xA7\xE9\x96\x80";  // two letters of three bytes each
  struct Case {
    std::string value;
    std::string readBack;
  } cases[] = {
      // 198 + 3 bytes: the third letter would end past byte 199.
      {std::string(198, 'a') + gate, std::string(198, 'a')},
      // 196 + 3 = 199 bytes fit; the next letter goes whole.
      {std::string(196, 'a') + gate, std::string(196, 'a') + gate.substr(0, 3)},
      {std::string(197, 'a') + "\xC3\xAB\xC3\xAB", std::string(197, 'a') + "\xC3\xAB"},
      {std::string(198, 'a') + "\xC3\xAB", std::string(198, 'a')},
      // Latin-1: every byte is a letter of its own.
      {std::string(198, 'a') + "\xEB\xEB", std::string(198, 'a') + "\xEB"},
  };
  for (const Case& c : cases) {
    { std::ofstream(path, std::ios::trunc) << "[SIGN 1]\nName=" << c.value << "\n"; }
    EXPECT_EQ(util::ReadIniString("SIGN 1", "Name", "", path), c.readBack) << c.value.size();
  }
  fs::remove_all(dir);
}

// The limits are those of the file's layout: a path may be longer than 200
// characters, a section, key, value or default may not.
TEST(Util, IniStringsTakeAPathOfAnyLength) {
  fs::path dir = fs::temp_directory_path() / ("util-ini-long-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::path deep = dir;
  while (deep.string().size() < 300) deep /= std::string(50, 'd');
  fs::create_directories(deep);
  const std::string path = (deep / "SML_WIN.INI").string();
  EXPECT_TRUE(util::WriteIniString("Communication", "PORT", "2", path));
  EXPECT_EQ(util::ReadIniString("Communication", "PORT", "0", path), "2");
  EXPECT_TRUE(util::WriteIniStrings({{"SIGN 1", "Name", "Gate"}, {"SIGN 1", "IP", "10.0.0.1"}}, path));
  EXPECT_EQ(util::ReadIniString("SIGN 1", "IP", "", path), "10.0.0.1");
  // One setting too long refuses the whole write.
  std::string reason;
  EXPECT_FALSE(util::WriteIniStrings({{"SIGN 1", "Name", "Yard"}, {"SIGN 2", std::string(201, 'k'), "x"}}, path,
                                     &reason));
  EXPECT_EQ(reason, "a setting is longer than 200 bytes");
  EXPECT_EQ(util::ReadIniString("SIGN 1", "Name", "", path), "Gate");
  EXPECT_EQ(util::ReadIniString(std::string(201, 's'), "PORT", "0", path), "0");
  fs::remove_all(dir);
}

TEST(Util, MessageBoxesUseTheirCaptionsAndButtons) {
  platform::ScopedRecordingBoxes boxes;
  boxes->QueueAnswer(platform::kResultOk);
  boxes->QueueAnswer(platform::kResultOk);
  boxes->QueueAnswer(platform::kResultYes);
  boxes->QueueAnswer(platform::kResultCancel);  // closed with the window's button
  boxes->QueueAnswer(platform::kResultNo);
  util::ShowWarning("Serial Port setup error!");
  util::ShowInfo("Done");
  EXPECT_TRUE(util::AskYesNo("Are you sure to quit?"));
  EXPECT_FALSE(util::AskYesNo("Again?"));
  EXPECT_EQ(util::AskYesNoCancel("Save?"), platform::kResultNo);
  util::Beep();
  auto shown = boxes->Shown();
  ASSERT_EQ(shown.size(), 5u);
  EXPECT_EQ(shown[0].caption, "Warning");
  EXPECT_EQ(shown[0].type, platform::BoxType::Warning);
  EXPECT_EQ(shown[0].text, "Serial Port setup error!");
  EXPECT_EQ(shown[1].caption, "Information");
  EXPECT_EQ(shown[2].type, platform::BoxType::Information);
  EXPECT_EQ(shown[2].buttons, platform::BoxButtons::YesNo);
  EXPECT_EQ(shown[4].buttons, platform::BoxButtons::YesNoCancel);
  EXPECT_EQ(boxes->Beeps(), 1);
}

}  // namespace
