#include <gtest/gtest.h>

#include <string>

#include "common/SignName.h"

using namespace signname;

namespace {

TEST(SignName, FormedFromTheFileNameAsBefore) {
  struct Case {
    const char* path;
    const char* stem;
    const char* upper;
    const char* shortName;
  } cases[] = {
      {"/a/b.c/weeklySpecials.sml", "weeklySpecials", "WEEKLYSPECIALS", "WEEKLYSP"},
      {"noext", "noext", "NOEXT", "NOEXT"},
      {"/w/hello.msg", "hello", "HELLO", "HELLO"},
      {"c/x.y.msg", "x.y", "X.Y", "X.Y"},
      {"/d/Longer_Name-2.MSG", "Longer_Name-2", "LONGER_NAME-2", "LONGER_N"},
      {"/d.x/promo", "promo", "PROMO", "PROMO"},
      {"/d/_LOCAL.MSG", "_LOCAL", "_LOCAL", "_LOCAL"},
      {"/d/12345678.MSG", "12345678", "12345678", "12345678"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileStem(c.path), c.stem) << c.path;
    EXPECT_EQ(UpperName(c.path), c.upper) << c.path;
    EXPECT_EQ(ShortName(c.path), c.shortName) << c.path;
    EXPECT_EQ(NameRefusal(c.path), "") << c.path;
    EXPECT_NO_THROW(CheckName(c.path)) << c.path;
  }
  // Only a..z change: other bytes stay as they are.
  EXPECT_EQ(UpperName("/x/Caf\xE9.SML"), "CAF\xE9");
}

// Every printable ASCII byte but the separators is taken.
TEST(SignName, EveryPrintableAsciiSignButTheSeparatorsIsTaken) {
  for (int b = 0x21; b < 0x7F; ++b) {
    if (b == '{' || b == '}' || b == ',' || b == ';' || b == '/') continue;
    const std::string path = std::string("/d/A") + static_cast<char>(b) + "B.MSG";
    EXPECT_EQ(NameRefusal(path), "") << b;
  }
}

TEST(SignName, NamesTheSignCannotTakeAreRefusedWithTheReason) {
  const std::string separators = "a name may not hold { } , ; or blanks.";
  const std::string control = "a name may not hold control characters such as tabs or line breaks.";
  struct Case {
    std::string path;
    std::string refusal;
  } cases[] = {
      {"/w/A}{CA}.MSG", "The sign cannot take the name \"A}{CA}\": " + separators},
      {"/w/two words.MSG", "The sign cannot take the name \"two words\": " + separators},
      {"/w/a{b.msg", "The sign cannot take the name \"a{b\": " + separators},
      {"/w/a,b.msg", "The sign cannot take the name \"a,b\": " + separators},
      {"/w/a;b.msg", "The sign cannot take the name \"a;b\": " + separators},
      // The blank is the eighth byte, the last the sign keeps.
      {"/w/longern x.msg", "The sign cannot take the name \"longern x\": " + separators},
      {"/w/ lead.msg", "The sign cannot take the name \" lead\": " + separators},
      {"/w/tab\there.msg", "The sign cannot take the name \"tab\there\": " + control},
      {"/w/line\nbreak.msg", "The sign cannot take the name \"line\nbreak\": " + control},
      {"/w/cr\r.msg", "The sign cannot take the name \"cr\r\": " + control},
      {"/w/del\x7F.msg", "The sign cannot take the name \"del\x7F\": " + control},
      {"/w/esc\x1B.msg", "The sign cannot take the name \"esc\x1B\": " + control},
      {"/w/\xE9 x.msg", "The sign cannot take the name \"\xE9 x\": " + separators},
      {"/w/\xE5\xA4\xA7\xE9\x96\x80\t.SML", "The sign cannot take the name \"\xE5\xA4\xA7\xE9\x96\x80\t\": " + control},
      {"/w/.MSG", "The sign cannot take the name of \".MSG\": a name may not be empty."},
      {"/w/", "The sign cannot take the name of \"\": a name may not be empty."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NameRefusal(c.path), c.refusal) << c.path;
    try {
      CheckName(c.path);
      ADD_FAILURE() << "taken: " << c.path;
    } catch (const NameRefused& e) {
      EXPECT_EQ(e.what(), c.refusal);
    }
  }
}

// "{F,...}", "{RX,...}" and "{RJ,...}" carry the first 8 bytes: what lies
// beyond them breaks nothing, while the whole name counts where a record
// carries it whole.
TEST(SignName, ANameIsJudgedByWhatItsRecordCarries) {
  const std::string separators = "a name may not hold { } , ; or blanks.";
  const std::string control = "a name may not hold control characters such as tabs or line breaks.";
  const std::string command = "a name may not hold { } or commas.";
  auto refused = [](const std::string& stem, const std::string& reason) {
    return "The sign cannot take the name \"" + stem + "\": " + reason;
  };
  struct Case {
    std::string path;
    std::string shortName;  // what the list records carry
    std::string listRefusal;       // NameRefusal
    std::string fullRefusal;       // FullNameRefusal
    std::string interruptRefusal;  // InterruptNameRefusal
  } cases[] = {
      {"/w/Specials for June.SML", "SPECIALS", "", refused("Specials for June", separators), ""},
      {"/w/Openings 2024.MSG", "OPENINGS", "", refused("Openings 2024", separators), ""},
      {"/w/longername x.msg", "LONGERNA", "", refused("longername x", separators), ""},
      {"/w/Openings;2024.MSG", "OPENINGS", "", refused("Openings;2024", separators), ""},
      {"/w/Openings\t2024.MSG", "OPENINGS", "", refused("Openings\t2024", control),
       refused("Openings\t2024", control)},
      {"/w/longername,x.msg", "LONGERNA", "", refused("longername,x", separators), refused("longername,x", command)},
      {"/w/Longer_Name}{Z}.msg", "LONGER_N", "", refused("Longer_Name}{Z}", separators),
       refused("Longer_Name}{Z}", command)},
      {"/w/two words.MSG", "TWO WORD", refused("two words", separators), refused("two words", separators), ""},
      {"/w/a;b.MSG", "A;B", refused("a;b", separators), refused("a;b", separators), ""},
      {"/w/a,b.MSG", "A,B", refused("a,b", separators), refused("a,b", separators), refused("a,b", command)},
      {"/w/A}{CA}.MSG", "A}{CA}", refused("A}{CA}", separators), refused("A}{CA}", separators),
       refused("A}{CA}", command)},
      {"/w/tab\there.msg", "TAB\tHERE", refused("tab\there", control), refused("tab\there", control),
       refused("tab\there", control)},
      {"/w/  .MSG", "  ", refused("  ", separators), refused("  ", separators),
       "The sign cannot take the name of \"  .MSG\": a name may not be empty."},
      {"/w/.MSG", "", "The sign cannot take the name of \".MSG\": a name may not be empty.",
       "The sign cannot take the name of \".MSG\": a name may not be empty.",
       "The sign cannot take the name of \".MSG\": a name may not be empty."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShortName(c.path), c.shortName) << c.path;
    EXPECT_EQ(NameRefusal(c.path), c.listRefusal) << c.path;
    EXPECT_EQ(FullNameRefusal(c.path), c.fullRefusal) << c.path;
    EXPECT_EQ(InterruptNameRefusal(c.path), c.interruptRefusal) << c.path;
    if (c.listRefusal.empty()) EXPECT_NO_THROW(CheckName(c.path)) << c.path;
    else EXPECT_THROW(CheckName(c.path), NameRefused) << c.path;
    if (c.fullRefusal.empty()) EXPECT_NO_THROW(CheckFullName(c.path)) << c.path;
    else EXPECT_THROW(CheckFullName(c.path), NameRefused) << c.path;
    if (c.interruptRefusal.empty()) EXPECT_NO_THROW(CheckInterruptName(c.path)) << c.path;
    else EXPECT_THROW(CheckInterruptName(c.path), NameRefused) << c.path;
  }
}

// Names beyond ASCII, in UTF-8 or from another system, go byte for byte: only
// a..z change, and the sign keeps the first 8 bytes.
TEST(SignName, BytesBeyondAsciiGoAsTheFileHasThem) {
  struct Case {
    const char* path;
    const char* upper;
    const char* shortName;
  } cases[] = {
      {"/w/Caf\xC3\xA9.msg", "CAF\xC3\xA9", "CAF\xC3\xA9"},
      {"/w/caf\xE9.msg", "CAF\xE9", "CAF\xE9"},
      {"/w/\xE5\xA4\xA7\xE9\x96\x80Zo\xC3\xAB.SML", "\xE5\xA4\xA7\xE9\x96\x80ZO\xC3\xAB",
       "\xE5\xA4\xA7\xE9\x96\x80ZO"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NameRefusal(c.path), "") << c.path;
    EXPECT_NO_THROW(CheckName(c.path)) << c.path;
    EXPECT_EQ(UpperName(c.path), c.upper) << c.path;
    EXPECT_EQ(ShortName(c.path), c.shortName) << c.path;
  }
}

// The directory is no part of the name.
TEST(SignName, TheDirectoryMayHoldAnything) {
  EXPECT_EQ(NameRefusal("/home/Zo\xC3\xAB/two words;{x}/HELLO.MSG"), "");
  EXPECT_EQ(ShortName("/home/Zo\xC3\xAB/two words;{x}/hello.msg"), "HELLO");
}

}  // namespace
