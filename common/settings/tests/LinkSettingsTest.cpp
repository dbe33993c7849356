// The shared settings numbers: parsing, the bit-rate table and the set-up order.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/LinkSettings.h"
#include "common/SettingsFile.h"
#include "common/RecordingSerialSetup.h"
#include "platform/MessageBoxes.h"
#include "platform/ProfileFile.h"
#include "testsupport/TempDir.h"

using namespace settings;

TEST(LinkSettings, ParseSettingTable) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  };
  const Case cases[] = {{"0", true, 0},   {" 7 ", true, 7}, {"+3", true, 3}, {"-2", false, 0}, {"", false, 0},
                        {"1x", false, 0}, {"0x10", false, 0}, {"-", false, 0}, {"11", false, 0}, {"10", true, 10}};
  for (const auto& c : cases) {
    int v = -99;
    EXPECT_EQ(ParseSetting(c.text, 0, 10, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(LinkSettings, BaudTableIsBounded) {
  EXPECT_EQ(BaudOf(0), 150);
  EXPECT_EQ(BaudOf(6), 9600);
  EXPECT_EQ(BaudOf(10), 115200);
  EXPECT_EQ(BaudOf(11), 9600);
  EXPECT_EQ(BaudOf(-1), 9600);
}

TEST(LinkSettings, SettingsFileLiesInTheProgramDirectory) {
  EXPECT_EQ(SettingsPath("/opt/signs"), "/opt/signs/SML_WIN.INI");
}


TEST(LinkSettings, SerialSetUpShowsTheCallersOwnText) {
  platform::ScopedRecordingBoxes boxes;
  RecordingSerialSetup failing;
  failing.failAt = "Baud";
  EXPECT_FALSE(ApplySerialSettings(failing, 3, 0, "Serial port setup error!"));
  EXPECT_EQ(failing.calls, (std::vector<std::string>{"ComNumber=4", "Baud=150"}));
  EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{"Serial port setup error!"}));
}

// A save gathers its keys and writes them once, at Finish; a second Finish
// writes nothing again.
TEST(SettingsWriter, WritesEveryKeyAtFinishOnly) {
  testsupport::TempDir dir;
  const std::string path = dir.File("SML_WIN.INI");
  platform::ScopedRecordingBoxes boxes;
  SettingsWriter out(path);
  out.Write("System", "Sign Width", 96);
  out.Write("Communication", "PORT", "1");
  EXPECT_EQ(dir.Read("SML_WIN.INI"), "");
  ASSERT_TRUE(out.Finish());
  EXPECT_EQ(dir.Read("SML_WIN.INI"), "[System]\r\nSign Width=96\r\n\r\n[Communication]\r\nPORT=1\r\n");
  ASSERT_TRUE(platform::WriteProfileString(path, "System", "Sign Width", "80"));
  EXPECT_TRUE(out.Finish());
  EXPECT_EQ(platform::ReadProfileString(path, "System", "Sign Width"), "80");
  EXPECT_TRUE(boxes->Texts().empty());
}

// One reading for every key; a missing file is no problem, and its saves go on.
TEST(SettingsReader, AMissingFileReadsAsDefaults) {
  testsupport::TempDir dir;
  platform::ScopedRecordingBoxes boxes;
  const SettingsReader file(dir.File("SML_WIN.INI"));
  EXPECT_FALSE(file.Exists());
  EXPECT_EQ(file.Problem(), "");
  EXPECT_TRUE(file.ReportProblem());
  EXPECT_EQ(file.Read("System", "Sign Width", "160"), "160");
  EXPECT_FALSE(KeptFromSaves(dir.File("SML_WIN.INI")));
  EXPECT_TRUE(boxes->Texts().empty());
}
