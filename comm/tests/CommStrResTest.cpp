#include "comm/CommStrRes.h"

#include <gtest/gtest.h>

namespace {

using namespace comm;

// A table laid out by hand: u16 id little-endian, text, NUL.
std::string Record(std::uint16_t id, const std::string& text) {
  std::string r;
  r += static_cast<char>(id & 0xFF);
  r += static_cast<char>(id >> 8);
  r += text;
  r += '\0';
  return r;
}

TEST(CommStrRes, OwnTableTexts) {
  TVnStringResource& strings = CommStrResStrings();
  EXPECT_EQ(strings.GetString(1), "String not found: %d");
  EXPECT_EQ(strings.GetString(2), "Cannot lock resource");
  EXPECT_EQ(strings.GetString(3), "String resource not found: %s");
  EXPECT_EQ(strings.GetString(4), "Unable to open string resource: %s");
  EXPECT_EQ(strings.GetString(5), "");
}

TEST(CommStrRes, WalkRules) {
  static const std::string table = Record(0x0102, "first") + Record(7, "seven") + Record(0x0102, "second") +
                                   Record(9, "") + Record(10, "after empty");
  RegisterStringTable("TEST_WALK", table);
  TVnStringResource res("TEST_WALK");
  EXPECT_EQ(res.GetString(0x0102), "first");  // listed twice: the first record
  EXPECT_EQ(res.GetString(7), "seven");
  EXPECT_EQ(res.GetString(10), "");            // after an empty text: not found
  EXPECT_FALSE(res.IsCached(10));
  res.SetReportMissing(true);
  try {
    res.GetString(10);
    ADD_FAILURE() << "nothing raised";
  } catch (const EVnStringResourceError& e) {
    EXPECT_STREQ(e.what(), "String not found: 10");
  }
}

TEST(CommStrRes, WalkNeverPassesTheTableEnd) {
  // The last text has no NUL, and a lone byte follows where an id would be.
  static const std::string table = Record(1, "one") + std::string("\x02\x00unterminated", 14);
  RegisterStringTable("TEST_TRUNCATED", table);
  TVnStringResource res("TEST_TRUNCATED");
  EXPECT_EQ(res.GetString(2), "unterminated");
  EXPECT_EQ(res.GetString(3), "");
  static const std::string odd = Record(1, "one") + std::string("\x05", 1);
  RegisterStringTable("TEST_ODD", odd);
  TVnStringResource res2("TEST_ODD");
  EXPECT_EQ(res2.GetString(5), "");
  EXPECT_EQ(res2.GetString(1), "one");
}

TEST(CommStrRes, CacheDropsTheOldestWhenFull) {
  static std::string table;
  for (std::uint16_t id = 100; id < 160; ++id) table += Record(id, "text " + std::to_string(id));
  RegisterStringTable("TEST_CACHE", table);
  TVnStringResource res("TEST_CACHE");
  for (std::uint16_t id = 100; id < 150; ++id) ASSERT_EQ(res.GetString(id), "text " + std::to_string(id));
  EXPECT_EQ(res.CacheCount(), 50u);
  EXPECT_EQ(res.GetString(150), "text 150");  // the 51st
  EXPECT_EQ(res.CacheCount(), 45u);
  for (std::uint16_t id = 100; id < 106; ++id) EXPECT_FALSE(res.IsCached(id)) << id;
  for (std::uint16_t id = 106; id <= 150; ++id) EXPECT_TRUE(res.IsCached(id)) << id;
}

TEST(CommStrRes, MissingTableRaises) {
  try {
    TVnStringResource res("NO_SUCH_TABLE");
    ADD_FAILURE() << "nothing raised";
  } catch (const EVnStringResourceError& e) {
    EXPECT_STREQ(e.what(), "String resource not found: NO_SUCH_TABLE");
  }
  TVnStringResource none(nullptr);
  EXPECT_EQ(none.GetString(1), "");
}

}  // namespace
