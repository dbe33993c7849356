// The shared settings numbers: parsing, the bit-rate table and the set-up order.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/LinkSettings.h"
#include "common/RecordingSerialSetup.h"
#include "platform/MessageBoxes.h"

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
