// Texts between the programs and Qt: UTF-8 both ways, Latin-1 for bytes that
// are not UTF-8, the original bytes kept while a text is unchanged, and paths
// a dialog gives back for a path offered with bytes Qt cannot hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "platform/QtText.h"
#include "testsupport/PrintQString.h"

namespace fs = std::filesystem;
using platform::FromQt;
using platform::IsValidUtf8;
using platform::PathFromQt;
using platform::ToQt;

namespace {

// "大門 Zoë" in UTF-8, written out byte by byte.
const std::string kSignName = "\xE5\xA4\xA7\xE9\x96\x80 Zo\xC3\xAB";

TEST(QtText, WhatIsValidUtf8) {
  struct Case {
    std::string bytes;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {"Front door", true},
      {"caf\xC3\xA9", true},
      {kSignName, true},
      {"\xF0\x9F\x98\x80", true},           // U+1F600, four bytes
      {"\xEF\xBF\xBF", true},               // U+FFFF
      {"\xF4\x8F\xBF\xBF", true},           // U+10FFFF, the last
      {std::string("a\0b", 3), true},       // a NUL is a character
      {"caf\xE9", false},                   // Latin-1
      {"\xFF", false},
      {"\x80", false},                      // a continuation alone
      {"\xC0\xAF", false},                  // overlong '/'
      {"\xE0\x80\xAF", false},              // overlong, three bytes
      {"\xF0\x80\x80\xAF", false},          // overlong, four bytes
      {"\xED\xA0\x80", false},              // a surrogate
      {"\xF4\x90\x80\x80", false},          // past U+10FFFF
      {"\xE5\xA4", false},                  // cut short
      {"\xE5\xA4\x41", false},              // a letter where a continuation belongs
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << testing::PrintToString(c.bytes);
}

TEST(QtText, Utf8DecodesAsUtf8AndAnythingElseAsLatin1) {
  struct Case {
    std::string bytes;
    QString shown;
  };
  const Case cases[] = {
      {"", QString()},
      {"Front", QStringLiteral("Front")},
      {kSignName, QString::fromUtf16(u"\u5927\u9580 Zo\u00EB")},
      {"Schilder f\xC3\xBCr Zo\xC3\xAB", QString::fromUtf16(u"Schilder f\u00FCr Zo\u00EB")},
      // From another system: each byte is the Latin-1 letter of its value.
      {"caf\xE9", QString::fromUtf16(u"caf\u00E9")},
      {"Zo\xEB \xA9", QString::fromUtf16(u"Zo\u00EB \u00A9")},
      // One byte that is not UTF-8 makes the whole name Latin-1.
      {"\xC3\xA9\xE9", QString::fromUtf16(u"\u00C3\u00A9\u00E9")},
      {std::string("a\0b", 3), QString::fromUtf16(u"a\u0000b", 3)},
      // A byte order mark is a character of the name like any other.
      {"\xEF\xBB\xBFname", QChar(0xFEFF) + QString("name")},
      {"/\xEF\xBB\xBF" "a/caf\xE9", "/" + (QChar(0xFEFF) + QString::fromUtf16(u"a/caf\u00E9"))},
      // In a path each name stands on its own: a file from another system in
      // a folder named here.
      {"/home/zo\xC3\xAB/caf\xE9.MSG", QString::fromUtf16(u"/home/zo\u00EB/caf\u00E9.MSG")},
      {"caf\xE9/\xE5\xA4\xA7\xE9\x96\x80/", QString::fromUtf16(u"caf\u00E9/\u5927\u9580/")},
      {"/\xFF//x", QString::fromUtf16(u"/\u00FF//x")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToQt(c.bytes), c.shown) << testing::PrintToString(c.bytes);
  }
}

TEST(QtText, TextsFromWidgetsAreUtf8) {
  EXPECT_EQ(FromQt(QString()), "");
  EXPECT_EQ(FromQt(QString::fromUtf16(u"\u5927\u9580 Zo\u00EB")), kSignName);
  EXPECT_EQ(FromQt(QString::fromUtf16(u"caf\u00E9")), "caf\xC3\xA9");
  // Every valid text goes there and back unchanged.
  for (const std::string& s : {std::string("plain"), kSignName, std::string("\xF0\x9F\x98\x80!"),
                               std::string("\xEF\xBB\xBF" "BOM")}) {
    EXPECT_EQ(FromQt(ToQt(s)), s);
  }
}

TEST(QtText, AnUnchangedTextKeepsItsOriginalBytes) {
  struct Case {
    std::string original;
    QString shown;  // what the widget holds when it is taken back
    std::string taken;
  };
  const Case cases[] = {
      // Latin-1 from an old file, untouched: written back as it was.
      {"caf\xE9", QString::fromUtf16(u"caf\u00E9"), "caf\xE9"},
      // Changed by the user: UTF-8 from then on.
      {"caf\xE9", QString::fromUtf16(u"caf\u00E9s"), "caf\xC3\xA9s"},
      {"caf\xE9", QString(), ""},
      {kSignName, QString::fromUtf16(u"\u5927\u9580 Zo\u00EB"), kSignName},
      {"", QString::fromUtf16(u"\u5927\u9580"), "\xE5\xA4\xA7\xE9\x96\x80"},
      {"", QString(), ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FromQt(c.shown, c.original), c.taken) << testing::PrintToString(c.original);
  }
}

class PathsFromDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qttext_test.XXXXXX";
    root_ = ::mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(root_); }
  std::string root_;
};

TEST_F(PathsFromDialogs, AFolderOfBytesThatAreNotUtf8IsKeptUnderItsOwnName) {
  const std::string raw = root_ + "/caf\xE9";  // the folder as it is on disk
  fs::create_directory(raw);
  const QString shown = ToQt(raw);            // .../café, as the dialog shows it
  ASSERT_EQ(shown, ToQt(root_) + QString::fromUtf16(u"/caf\u00E9"));
  struct Case {
    std::string offered;
    QString chosen;
    std::string taken;
  };
  const Case cases[] = {
      // Save As on the file as it stands: the same file, not a second one.
      {raw + "/NEW.SML", shown + "/NEW.SML", raw + "/NEW.SML"},
      // Another name typed in the same folder.
      {raw + "/NEW.SML", shown + "/WEEK.SML", raw + "/WEEK.SML"},
      {raw + "/NEW.SML", shown + QString::fromUtf16(u"/\u5927\u9580.SML"), raw + "/\xE5\xA4\xA7\xE9\x96\x80.SML"},
      // The open dialog, offered the folder with a pattern.
      {raw + "/*.SML", shown + "/A.SML", raw + "/A.SML"},
      // A folder offered as such.
      {raw, shown, raw},
      // A file of a folder further up, offered from one below it.
      {raw + "/sub\xFF/x.SML", shown + "/y.SML", raw + "/y.SML"},
      // Somewhere else altogether: as chosen.
      {raw + "/NEW.SML", ToQt(root_) + "/other/B.SML", root_ + "/other/B.SML"},
      // A longer name that merely starts like the folder.
      {raw + "/NEW.SML", shown + "X/B.SML", root_ + "/caf\xC3\xA9X/B.SML"},
      // An offered path that is UTF-8 needs nothing.
      {root_ + "/f\xC3\xBCr/x.SML", ToQt(root_) + QString::fromUtf16(u"/f\u00FCr/y.SML"),
       root_ + "/f\xC3\xBCr/y.SML"},
      {"", shown + "/NEW.SML", root_ + "/caf\xC3\xA9/NEW.SML"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PathFromQt(c.chosen, c.offered), c.taken) << testing::PrintToString(c.offered);
  }
}

TEST_F(PathsFromDialogs, ADialogStartsInTheNearestFolderItCanEnter) {
  const std::string here = root_ + "/Zo\xC3\xAB";
  const std::string raw = here + "/caf\xE9";
  fs::create_directories(raw + "/sub");
  EXPECT_EQ(platform::DialogFolder(here), ToQt(root_) + QString::fromUtf16(u"/Zo\u00EB"));
  EXPECT_EQ(platform::DialogFolder(raw), ToQt(here));
  EXPECT_EQ(platform::DialogFolder(raw + "/sub"), ToQt(here));
  EXPECT_EQ(platform::DialogFolder("/"), QString("/"));
}

TEST_F(PathsFromDialogs, ANameThatExistsInUtf8IsTheOneTheDialogShowed) {
  // Both spellings exist: the dialog listed only the UTF-8 one, so that is
  // the one the user chose.
  const std::string raw = root_ + "/caf\xE9.SML";
  const std::string utf8 = root_ + "/caf\xC3\xA9.SML";
  std::ofstream(raw) << "old";
  EXPECT_EQ(PathFromQt(ToQt(raw), raw), raw);
  std::ofstream(utf8) << "new";
  EXPECT_EQ(PathFromQt(ToQt(raw), raw), utf8);

  const std::string rawDir = root_ + "/Zo\xEB";
  const std::string utf8Dir = root_ + "/Zo\xC3\xAB";
  fs::create_directory(rawDir);
  EXPECT_EQ(PathFromQt(ToQt(rawDir) + "/a.LOG", rawDir + "/*.LOG"), rawDir + "/a.LOG");
  fs::create_directory(utf8Dir);
  EXPECT_EQ(PathFromQt(ToQt(rawDir) + "/a.LOG", rawDir + "/*.LOG"), utf8Dir + "/a.LOG");
}

}  // namespace
