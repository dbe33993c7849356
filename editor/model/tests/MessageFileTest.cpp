#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "TestBytes.h"
#include "common/CommandRecord.h"
#include "common/SignName.h"
#include "editor/MessageFile.h"
#include "editor/MessageModel.h"
#include "platform/BinaryFile.h"
#include "platform/InOutError.h"
#include "platform/MessageBoxes.h"

namespace fs = std::filesystem;
using namespace editor;
using testbytes::BitwiseCrc;
using testbytes::Concat;
using testbytes::Record;

namespace {

// Wednesday 9 December 2026, 10:05:41.
const platform::LocalTime kWednesday{2026, 12, 9, 3, 10, 5, 41, 0};

// Screen colours of palette entries: red high, red low, green high, yellow high, orange.
constexpr QRgb kRed = qRgb(255, 31, 63);
constexpr QRgb kDimRed = qRgb(191, 31, 63);
constexpr QRgb kGreen = qRgb(31, 255, 63);
constexpr QRgb kYellow = qRgb(255, 255, 63);
constexpr QRgb kOrange = qRgb(255, 95, 63);

// A w x h logo of 24-bit pixels filled with `fill`.
QImage Logo(int w, int h, QRgb fill = qRgb(0, 0, 0)) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(fill);
  return image;
}

// A command record laid out by hand: the CRC covers the bytes between the braces.
std::vector<std::uint8_t> Cmd(const std::string& text) {
  return Record(text, BitwiseCrc(text.substr(1, text.size() - 2)));
}

// The editor's wake-up record: 23 at-signs, then the command; the CRC of the command alone.
std::vector<std::uint8_t> WakeUp(const std::string& command) {
  return Record(std::string(23, '@') + command, BitwiseCrc(command.substr(1, command.size() - 2)));
}

std::vector<std::uint8_t> Joined(const std::vector<std::vector<std::uint8_t>>& records) {
  std::vector<std::uint8_t> bytes;
  for (const auto& r : records) bytes.insert(bytes.end(), r.begin(), r.end());
  return bytes;
}

std::string Str(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

class MessageFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("editor-msg-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    settings_.clock = &clock_;
    model_.NewMessage(dir_.string());
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
  TFrame& Frame0() { return model_.Frame(0); }
  void Char(int frame, int line, std::uint8_t code, int font, int color, char attr = '0') {
    ASSERT_TRUE(model_.InsertCharacter(frame, line, model_.Frame(frame).Length(line) + 1, code, font, color, attr));
  }

  platform::FixedClock clock_{kWednesday};
  MessageFileSettings settings_;
  MessageModel model_{SignGeometry{160, 16}};
  platform::ScopedRecordingBoxes boxes_;
  fs::path dir_;
};

TEST(WakeUpCommand, WorkedExamples) {
  platform::FixedClock clock(kWednesday);
  struct Case {
    int id, timeFormat;
    bool crc;
    const char* command;
  } cases[] = {
      {5, 1, true, "{N05,M=AML,D=24 12 09 03 10 05,S}"},
      {0, 1, true, "{N00,M=AML,D=24 12 09 03 10 05}"},
      {5, 1, false, "{N05,M=AML,D=24 12 09 03 10 05}"},
      {42, 0, true, "{N42,M=AML,D=12 12 09 03 10 05,S}"},
  };
  for (const Case& c : cases) {
    MessageFileSettings s{c.id, c.timeFormat, c.crc, &clock};
    EXPECT_EQ(BuildWakeUpCommand(s), c.command);
    EXPECT_EQ(RepliesAwaited(s), c.id != 0 && c.crc);
  }
  EXPECT_EQ(std::string("{N05,M=AML,D=24 12 09 03 10 05,S}").size(), 33u);
}

TEST_F(MessageFileTest, WakeUpRecordOfTheSentFile) {
  settings_.signId = 5;
  settings_.crcCheck = true;
  model_.Frame(0).Layout = 1;
  const std::string path = PathOf("_LOCAL.MSG");
  BuildCommandFile(model_, path, true, settings_);
  const auto bytes = platform::ReadWholeFile(path);
  const std::string command = "{N05,M=AML,D=24 12 09 03 10 05,S}";
  // 23 at-signs and the 33-character command: 56 characters, length word 58.
  ASSERT_GE(bytes.size(), 60u);
  EXPECT_EQ(bytes[0], 58);
  EXPECT_EQ(bytes[1], 0);
  const std::uint16_t crc = BitwiseCrc("N05,M=AML,D=24 12 09 03 10 05,S");
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 60), WakeUp(command));
  EXPECT_EQ(bytes[58], crc >> 8);
  EXPECT_EQ(bytes[59], crc & 0xFF);
}

TEST_F(MessageFileTest, FrameTextExamples) {
  // Speed Fast with modes 'AB', no cells.
  Frame0().Layout = 1;
  Frame0().Modes = "AB";
  EXPECT_EQ(FrameCommand(Frame0(), 0), "{T,~f~A~B,}");
  // A damaged file's brace among the modes cannot end the record early.
  Frame0().Modes = "A}";
  EXPECT_EQ(FrameCommand(Frame0(), 0), "{T,~f~A~/},}");
  Frame0().Modes = "AB";

  // One line, speed Slow, 'A' and '{' in font 0, colour 0, plain.
  model_.ClearFrame(0);
  Frame0().Layout = 1;
  Frame0().Speed = 2;
  Char(0, 1, 'A', 0, 0);
  Char(0, 1, '{', 0, 0);
  EXPECT_EQ(FrameCommand(Frame0(), 0), "{T,~s,^FL^RH^T5A/{}");

  // Two half lines in one colour and font: the codes once, before line 2's first character.
  model_.ClearFrame(0);
  Frame0().Layout = 2;
  Frame0().Speed = 1;
  Char(0, 1, 'c', 1, 3);
  Char(0, 1, 'd', 1, 3);
  Char(0, 2, 'a', 1, 3);
  Char(0, 2, 'b', 1, 3);
  EXPECT_EQ(FrameCommand(Frame0(), 0), "{T,~m,^UL^GL^T7ab^DLcd}");

  // Bold and reverse after plain, then plain again; every escape character escaped.
  model_.ClearFrame(0);
  Frame0().Layout = 1;
  Char(0, 1, 'p', 0, 0);
  Char(0, 1, 'q', 0, 0, AttrDigit(true, true));
  Char(0, 1, 'r', 0, 0);
  Char(0, 1, 's', 0, 0, AttrDigit(false, true));
  Char(0, 1, 't', 0, 0, AttrDigit(true, false));
  for (char e : std::string("@}/^#")) Char(0, 1, static_cast<std::uint8_t>(e), 0, 0);
  EXPECT_EQ(FrameCommand(Frame0(), 0), "{T,~f,^FL^RH^T5p^BD^BGq^NO^FGr^BGs^BD^FGt^NO/@/}///^/#}");
}

TEST_F(MessageFileTest, ColourAndFontCodesOfEveryDigit) {
  for (int k = 0; k < 10; ++k) {
    model_.ClearFrame(0);
    Frame0().Layout = 1;
    Char(0, 1, 'x', k, k);
    const char* colour[] = {"^RH", "^RL", "^GH", "^GL", "^YH", "^YL", "^OR", "^BR", "^A1", "^A2"};
    const char* font[] = {"^T5", "^T7", "^TB", "^TC", "^TD", "^TA", "^TE", "^TD", "^TL", "^TL"};
    EXPECT_EQ(FrameCommand(Frame0(), 0), std::string("{T,~f,^FL") + colour[k] + font[k] + "x}") << k;
  }
}

TEST_F(MessageFileTest, PairsGoOutWholeWithTheTrailEscaped) {
  Frame0().Layout = 1;
  ASSERT_TRUE(model_.InsertPair(0, 1, 1, 0xA4, '@', 5, '0'));  // class 1, font 8
  ASSERT_TRUE(model_.InsertPair(0, 1, 3, 0x80, 'A', 5, '0'));  // class 0, font 7, lead of 0x80
  EXPECT_EQ(FrameCommand(Frame0(), 0), "{T,~f,^FL^YL^TL" + Str({0xA4}) + "/@^TD" + Str({0x80}) + "A}");

  // A trail cell without a lead before it sends nothing.
  model_.ClearFrame(0);
  Frame0().Layout = 1;
  Frame0().InsertCellAt(1, 1, Cell{'N', 'Z', 'X', '0', '0'});
  Char(0, 1, 'k', 0, 0);
  EXPECT_EQ(FrameCommand(Frame0(), 0), "{T,~f,^FL^RH^T5k}");
}

TEST_F(MessageFileTest, LogoCellsBeepsAndLetters) {
  EXPECT_EQ(LogoLetter(0), "A");
  EXPECT_EQ(LogoLetter(25), "Z");
  EXPECT_EQ(LogoLetter(26), "a");
  EXPECT_EQ(LogoLetter(51), "z");
  EXPECT_EQ(LogoLetter(52), "");
  EXPECT_EQ(LogoLetter(-1), "");

  Frame0().Layout = 1;
  TFrame& f = Frame0();
  // Logo cells numbered 1, 27 and 52 by hand; beeps need no colour or font codes.
  for (int n : {1, 27, 52}) {
    f.InsertCellAt(1, f.Length(1) + 1, Cell{'@', '0', '0', '0', '0'});
    f.SetLogoNumberAt(1, f.Length(1), n);
    ASSERT_TRUE(model_.InsertBeep(0, 1, f.Length(1) + 1, 3, 4));
  }
  // Logo 52 has no letter: it is left out, as a reference beyond the logos is.
  EXPECT_EQ(FrameCommand(f, 53), "{T,~f,^FL^LB^BP^Lb^BP^BP}");
  EXPECT_EQ(FrameCommand(f, 2), "{T,~f,^FL^LB^BP^BP^BP}");
  EXPECT_THROW(LogoCommand(-1, Logo(1, 1), 16), std::out_of_range);
  EXPECT_THROW(LogoCommand(52, Logo(1, 1), 16), std::out_of_range);
}

// A message opened from a file may hold more logos than the sign names. The
// sign has no letter for those from 52 on: a "^L" without one would take the
// next character for a letter, so their cells and records are left out and
// everything else goes out as the editor shows it.
TEST_F(MessageFileTest, LogosFrom52OnAreLeftOut) {
  MessageModel eight(SignGeometry{96, 8});
  eight.NewMessage(dir_.string());
  for (int n = 0; n < 55; ++n) ASSERT_TRUE(eight.AppendLogo(Logo(2, 1, n == 51 || n == 52 ? kRed : qRgb(0, 0, 0))));
  TFrame& f = eight.Frame(0);
  auto logo = [&](int n) {
    f.InsertCellAt(1, f.Length(1) + 1, Cell{'@', '0', '0', '0', '0'});
    f.SetLogoNumberAt(1, f.Length(1), n);
  };
  auto character = [&](std::uint8_t code) {
    ASSERT_TRUE(eight.InsertCharacter(0, 1, f.Length(1) + 1, code, 0, 2, AttrDigit(true, false)));
  };
  struct Case {
    const char* what;
    std::function<void()> cells;
    std::string text;
  } cases[] = {
      {"X, logo 52, Y", [&] { character('X'); logo(52); character('Y'); }, "{T,~f,^FL^GH^BD^T5XY}"},
      {"logo 52, logo 0", [&] { logo(52); logo(0); }, "{T,~f,^FL^LA}"},
      {"logo 52 last", [&] { character('X'); logo(52); }, "{T,~f,^FL^GH^BD^T5X}"},
      {"logos 52 to 54 alone", [&] { logo(52); logo(53); logo(54); }, "{T,~f,^FL}"},
      {"logo 51, 53, 0", [&] { logo(51); logo(53); logo(0); }, "{T,~f,^FL^Lz^LA}"},
  };
  // Emptied by hand: clearing the frame would free the logos its cells name.
  auto clear = [&] {
    for (auto* column : {&f.Kinds, &f.Codes, &f.Fonts, &f.Colors, &f.Attrs}) (*column)[1].clear();
  };
  for (const Case& c : cases) {
    clear();
    c.cells();
    ASSERT_EQ(eight.LogoCount(), 55);
    EXPECT_EQ(FrameCommand(f, eight.LogoCount()), c.text) << c.what;
  }

  // The message file: logos 0 to 51 with their letters, nothing of 52 to 54.
  clear();
  character('X');
  logo(52);
  character('Y');
  logo(51);
  const std::string dark(8, '\0');
  const std::string red = std::string("\x01\x00\x01\x00\x01\x00\x01\x00", 8);
  std::vector<std::vector<std::uint8_t>> records = {Cmd("{F,MANY}"), Cmd("{T,~f,^FL^GH^BD^T5XY^Lz}")};
  const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  for (char letter : letters) {
    records.push_back(Cmd(std::string("{L") + letter + ",01,002,C,#" + (letter == 'z' ? red : dark) + "#}"));
  }
  const std::string path = PathOf("MANY.MSG");
  BuildCommandFile(eight, path, false, settings_);
  EXPECT_EQ(platform::ReadWholeFile(path), Joined(records));

  // Sent: the same between the file record and the run record.
  BuildCommandFile(eight, path, true, settings_);
  std::vector<std::vector<std::uint8_t>> sent = {WakeUp("{N00,M=AML,D=24 12 09 03 10 05}"), Cmd("{F,MANY}")};
  sent.insert(sent.end(), records.begin() + 1, records.end());
  sent.push_back(Cmd("{RX,MANY}"));
  sent.push_back(Cmd("{E}"));
  EXPECT_EQ(platform::ReadWholeFile(path), Joined(sent));
  EXPECT_EQ(LogoCommand(51, Logo(2, 1, kRed), 8), "{Lz,01,002,C,#" + red + "#}");
}

TEST(UnsentLogos, TheUserIsToldWhichLogosStayBehind) {
  EXPECT_EQ(UnsentLogosText(0), "");
  EXPECT_EQ(UnsentLogosText(52), "");
  EXPECT_EQ(UnsentLogosText(53), "Logo 53 is not sent: a sign shows at most 52 logos.");
  EXPECT_EQ(UnsentLogosText(54), "Logos 53 and 54 are not sent: a sign shows at most 52 logos.");
  EXPECT_EQ(UnsentLogosText(60), "Logos 53 to 60 are not sent: a sign shows at most 52 logos.");
  EXPECT_EQ(UnsentLogosText(255), "Logos 53 to 255 are not sent: a sign shows at most 52 logos.");
}

TEST_F(MessageFileTest, LogoRecordOf16By5OnA16RowSign) {
  QImage logo = Logo(16, 5);
  logo.setPixel(0, 0, kRed);       // class 1: planes 0 and 2
  logo.setPixel(3, 4, kYellow);    // class 5: planes 0, 1 and 3
  logo.setPixel(15, 2, kOrange);   // class 7: all planes
  logo.setPixel(8, 1, qRgb(0, 0, 255));  // blue alone: dark
  // c = 2: column x holds plane 0 at 8x, plane 1 at 8x+2, plane 2 at 8x+4, plane 3 at 8x+6.
  std::vector<std::uint8_t> planes(128, 0);
  planes[0] = 0x01;
  planes[4] = 0x01;
  planes[24] = 0x10;
  planes[26] = 0x10;
  planes[30] = 0x10;
  planes[120] = 0x04;
  planes[122] = 0x04;
  planes[124] = 0x04;
  planes[126] = 0x04;
  EXPECT_EQ(LogoBitPlanes(logo, 16), planes);
  const std::string text = LogoCommand(0, logo, 16);
  EXPECT_EQ(text, "{LA,05,016,C,#" + std::string(planes.begin(), planes.end()) + "#}");
}

TEST_F(MessageFileTest, PlaneBitsOfEveryClass) {
  // On an 8-row sign (c = 1) a pixel at row 3 is bit 0x08 of its column's plane bytes.
  struct Case {
    QRgb rgb;
    std::vector<std::uint8_t> planes;
  } cases[] = {
      {kRed, {0x08, 0, 0x08, 0}},
      {kDimRed, {0x08, 0, 0, 0}},
      {kGreen, {0, 0x08, 0, 0x08}},
      {qRgb(31, 191, 63), {0, 0x08, 0, 0}},
      {kYellow, {0x08, 0x08, 0, 0x08}},
      {qRgb(223, 223, 63), {0x08, 0x08, 0, 0}},
      {kOrange, {0x08, 0x08, 0x08, 0x08}},
      {qRgb(223, 95, 63), {0x08, 0x08, 0x08, 0}},
      {qRgb(224, 0, 0), {0x08, 0, 0x08, 0}},  // blue plays no part
      {qRgb(255, 255, 255), {0x08, 0x08, 0, 0x08}},  // red-green code 252, as yellow
      {qRgb(96, 0, 255), {0, 0, 0, 0}},
      {qRgb(64, 64, 64), {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    QImage logo = Logo(1, 8);
    logo.setPixel(0, 3, c.rgb);
    EXPECT_EQ(LogoBitPlanes(logo, 8), c.planes) << std::hex << c.rgb;
  }
}

TEST_F(MessageFileTest, LogoDataIsEscapedAndClippedToTheSign) {
  // Rows 0, 1, 3, 4, 5 and 6 red give the plane byte 0x7B, a '{'.
  QImage brace = Logo(1, 8);
  for (int y : {0, 1, 3, 4, 5, 6}) brace.setPixel(0, y, kRed);
  EXPECT_EQ(LogoCommand(1, brace, 8), "{LB,08,001,C,#/{" + Str({0}) + "/{" + Str({0}) + "#}");

  // Taller than the sign: only the sign's rows are packed, into a buffer of W * 4 * c.
  struct Case {
    int signHeight, logoHeight;
    std::vector<std::uint8_t> planes;
    const char* head;
  } cases[] = {
      {16, 20, {0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0}, "{LA,16,001,C,#"},
      {8, 9, {0xFF, 0, 0xFF, 0}, "{LA,08,001,C,#"},
      {7, 8, {0x7F, 0, 0x7F, 0}, "{LA,07,001,C,#"},
      {16, 3, {0x07, 0, 0, 0, 0x07, 0, 0, 0}, "{LA,03,001,C,#"},
  };
  for (const Case& c : cases) {
    const QImage tall = Logo(1, c.logoHeight, kRed);
    EXPECT_EQ(LogoBitPlanes(tall, c.signHeight), c.planes) << c.signHeight << " " << c.logoHeight;
    EXPECT_EQ(LogoCommand(0, tall, c.signHeight),
              c.head + EscapeLogoData(c.planes) + "#}");
  }
}

TEST_F(MessageFileTest, NamesAndPaths) {
  EXPECT_EQ(CompanionMessagePath("/d/WEEKLYSPECIALS.SML"), "/d/WEEKLYSPECIALS.MSG");
  EXPECT_EQ(CompanionMessagePath("/d.x/promo"), "/d.x/promo.MSG");
  EXPECT_EQ(fs::path(LocalSendPath()).filename(), "_LOCAL.MSG");
}

TEST_F(MessageFileTest, SavedCompanionHasNoWakeUpRunOrEnd) {
  Frame0().Layout = 1;
  Char(0, 1, 'W', 2, 1);
  ASSERT_TRUE(model_.InsertFrame(1));  // layout 0: left out
  const std::string path = CompanionMessagePath(PathOf("WEEKLYSPECIALS.SML"));
  BuildCommandFile(model_, path, false, settings_);
  EXPECT_EQ(platform::ReadWholeFile(path),
            Concat({Cmd("{F,WEEKLYSP}"), Cmd("{T,~f,^FL^RL^TBW}")}));
}

TEST_F(MessageFileTest, SentFileIsFramedByWakeUpRunAndEnd) {
  MessageModel eight(SignGeometry{96, 8});
  eight.NewMessage(dir_.string());  // layout 1 from the start on an 8-row sign
  const std::string path = PathOf("_LOCAL.MSG");
  BuildCommandFile(eight, path, true, settings_);
  EXPECT_EQ(platform::ReadWholeFile(path),
            Concat({WakeUp("{N00,M=AML,D=24 12 09 03 10 05}"), Cmd("{F,_LOCAL}"), Cmd("{T,~f,}"),
                    Cmd("{RX,_LOCAL}"), Cmd("{E}")}));

  // The run record names the whole file name; the file record its first 8 characters.
  const std::string longPath = PathOf("weeklyspecials.msg");
  BuildCommandFile(eight, longPath, true, settings_);
  const auto records = cmdfile::ReadCommandRecords(platform::ReadWholeFile(longPath));
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[1].text, "{F,WEEKLYSP}");
  EXPECT_EQ(records[3].text, "{RX,WEEKLYSPECIALS}");
}

// A name beyond ASCII goes into "{F,...}" and "{RX,...}" as the file system
// has its bytes, a..z in upper case.
TEST_F(MessageFileTest, ANameBeyondAsciiGoesAsItsBytes) {
  Frame0().Layout = 1;
  Char(0, 1, 'W', 2, 1);
  const std::string path = PathOf("\xE5\xA4\xA7\xE9\x96\x80 Zo\xC3\xAB.MSG");
  const std::string noBlank = PathOf("\xE5\xA4\xA7\xE9\x96\x80Zo\xC3\xAB.MSG");
  EXPECT_THROW(BuildCommandFile(model_, path, false, settings_), signname::NameRefused);
  BuildCommandFile(model_, noBlank, true, settings_);
  const auto records = cmdfile::ReadCommandRecords(platform::ReadWholeFile(noBlank));
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[1].text, "{F,\xE5\xA4\xA7\xE9\x96\x80ZO}");
  EXPECT_EQ(records[3].text, "{RX,\xE5\xA4\xA7\xE9\x96\x80ZO\xC3\xAB}");
}

// "{F,...}" carries 8 bytes, the send file's "{RX,...}" the whole name: a
// blank beyond the 8 passes into the saved companion and not into a send file.
TEST_F(MessageFileTest, ANameIsJudgedByTheRecordsThatCarryIt) {
  Frame0().Layout = 1;
  Char(0, 1, 'W', 2, 1);
  const std::string path = PathOf("Specials for June.MSG");
  const std::vector<CommandText> texts = CommandFileTexts(model_, path, false, settings_);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts[0].text, "{F,SPECIALS}");
  BuildCommandFile(model_, path, false, settings_);
  const auto records = cmdfile::ReadCommandRecords(platform::ReadWholeFile(path));
  ASSERT_EQ(records.size(), 2u);
  const std::vector<std::uint8_t> file = platform::ReadWholeFile(path);
  const std::vector<std::uint8_t> fileRecord = Record("{F,SPECIALS}", BitwiseCrc("F,SPECIALS"));
  ASSERT_GE(file.size(), fileRecord.size());
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin(), file.begin() + fileRecord.size()), fileRecord);
  try {
    CommandFileTexts(model_, path, true, settings_);
    ADD_FAILURE() << "a send file named with a blank";
  } catch (const signname::NameRefused& e) {
    EXPECT_STREQ(e.what(), "The sign cannot take the name \"Specials for June\": a name may not hold { } , ; or blanks.");
  }
}

// A name the sign cannot take never goes into "{F,...}": nothing is written.
TEST_F(MessageFileTest, ANameTheSignCannotTakeIsRefusedBeforeTheFileIsWritten) {
  Frame0().Layout = 1;
  Char(0, 1, 'W', 2, 1);
  for (const char* name : {"A}{CA}.MSG", "two words.MSG", "a,b.MSG", "tab\t.MSG"}) {
    EXPECT_THROW(CommandFileTexts(model_, PathOf(name), false, settings_), signname::NameRefused) << name;
    EXPECT_THROW(BuildCommandFile(model_, PathOf(name), false, settings_), signname::NameRefused) << name;
    EXPECT_FALSE(fs::exists(PathOf(name))) << name;
  }
  try {
    BuildCommandFile(model_, PathOf("A}{CA}.MSG"), false, settings_);
  } catch (const signname::NameRefused& e) {
    EXPECT_STREQ(e.what(), "The sign cannot take the name \"A}{CA}\": a name may not hold { } , ; or blanks.");
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 0);
}

// A message file may bring a logo wider than its record's three digits (one
// made by another program): its record would begin "{LA,16,1000,C,#", one
// digit more than the sign reads, so nothing is built or written. The widest
// logo the record holds still goes out.
TEST_F(MessageFileTest, ALogoWiderThanItsRecordIsRefusedBeforeTheFileIsWritten) {
  EXPECT_EQ(LogoCommand(0, Logo(999, 1), 8).substr(0, 14), "{LA,01,999,C,#");
  try {
    LogoCommand(1, Logo(1000, 16), 16);
    ADD_FAILURE() << "a logo of 1000 columns was taken";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(),
                 "Logo 2 cannot be sent: The logo is 1000 pixels wide and 16 high; a logo record holds at most 999 "
                 "columns and 99 rows.");
  }
  MessageModel wide(SignGeometry{96, 16});
  wide.NewMessage(dir_.string());
  ASSERT_TRUE(wide.AppendLogo(Logo(1000, 16)));  // as a frame file reads it
  const std::string path = PathOf("WIDE.MSG");
  EXPECT_THROW(BuildCommandFile(wide, path, true, settings_), std::invalid_argument);
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(MessageFileTest, ClearSignFile) {
  settings_.signId = 12;
  settings_.crcCheck = true;
  const std::string path = PathOf("_LOCAL.MSG");
  BuildClearSignFile(path, settings_);
  EXPECT_EQ(platform::ReadWholeFile(path),
            Concat({WakeUp("{N12,M=AML,D=24 12 09 03 10 05,S}"), Cmd("{CA}"), Cmd("{E}")}));
}

TEST_F(MessageFileTest, AFileThatCannotBeWrittenRaisesAndLeavesTheOldOne) {
  EXPECT_THROW(BuildClearSignFile(PathOf("missing/_LOCAL.MSG"), settings_), platform::InOutError);

  const std::string path = PathOf("X.MSG");
  BuildClearSignFile(path, settings_);
  const auto before = platform::ReadWholeFile(path);
  // A frame text longer than a record can carry fails before the file is touched.
  Frame0().Layout = 1;
  Frame0().Modes = std::string(40000, 'A');
  EXPECT_THROW(BuildCommandFile(model_, path, true, settings_), cmdfile::RecordTooLong);
  EXPECT_EQ(platform::ReadWholeFile(path), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

// One message made through the model, compared with a file laid out by hand,
// then walked record by record with every CRC checked.
TEST_F(MessageFileTest, WholeMessageFileByteForByte) {
  settings_.signId = 7;
  settings_.timeFormat = 0;
  settings_.crcCheck = true;

  // Frame 0, one full-height line: a bold 'H', a bold '^' (escaped), a logo,
  // a beep, then a plain green 'i' in another font.
  TFrame& f0 = Frame0();
  f0.Layout = 1;
  f0.Speed = 1;
  f0.Modes = "A";
  Char(0, 1, 'H', 2, 0, AttrDigit(true, false));
  Char(0, 1, '^', 2, 0, AttrDigit(true, false));
  QImage logo = Logo(2, 3);
  logo.setPixel(0, 0, kGreen);   // class 3: planes 1 and 3
  logo.setPixel(1, 2, kDimRed);  // class 2: plane 0
  ASSERT_EQ(model_.InsertLogo(0, 1, 3, logo), 0);
  ASSERT_TRUE(model_.InsertBeep(0, 1, 4, 2, 0));
  Char(0, 1, 'i', 3, 2);
  // Frame 1 stays undecided (layout 0) and is left out.
  ASSERT_TRUE(model_.InsertFrame(1));
  // Frame 2, two half lines: 'a' above, a reversed pair below in the same colour.
  ASSERT_TRUE(model_.InsertFrame(2));
  model_.Frame(2).Layout = 2;
  Char(2, 2, 'a', 0, 4);
  ASSERT_TRUE(model_.InsertPair(2, 1, 1, 0xA4, 0xA1, 4, AttrDigit(false, true)));

  const std::string path = PathOf("_LOCAL.MSG");
  BuildCommandFile(model_, path, true, settings_);
  const auto bytes = platform::ReadWholeFile(path);

  const std::string wake = "{N07,M=AML,D=12 12 09 03 10 05,S}";
  const std::string frame0 = "{T,~m~A,^FL^RH^BD^TBH/^^LA^BP^GH^NO^TCi}";
  const std::string frame2 = "{T,~f,^UL^YH^T5a^DL^BG^TL" + Str({0xA4, 0xA1}) + "}";
  // c = 2 on a 16-row sign: column 0 is bytes 0..7, column 1 bytes 8..15.
  const std::string planes = Str({0, 0, 0x01, 0, 0, 0, 0x01, 0, 0x04, 0, 0, 0, 0, 0, 0, 0});
  const std::string logo0 = "{LA,03,002,C,#" + planes + "#}";
  const auto expected = Concat({WakeUp(wake), Cmd("{F,_LOCAL}"), Cmd(frame0), Cmd(frame2), Cmd(logo0),
                                Cmd("{RX,_LOCAL}"), Cmd("{E}")});
  EXPECT_EQ(bytes, expected);

  cmdfile::CommandFileReader reader(bytes);
  std::vector<std::string> texts;
  while (auto r = reader.Next()) {
    std::string command = r->text;
    if (texts.empty()) {
      ASSERT_EQ(command.substr(0, 23), std::string(23, '@'));
      command = command.substr(23);
    }
    ASSERT_GE(command.size(), 3u);
    EXPECT_EQ(command.front(), '{');
    EXPECT_EQ(command.back(), '}');
    EXPECT_EQ(r->crc, BitwiseCrc(command.substr(1, command.size() - 2))) << command;
    texts.push_back(r->text);
  }
  EXPECT_EQ(reader.Offset(), bytes.size());
  EXPECT_EQ(texts, (std::vector<std::string>{std::string(23, '@') + wake, "{F,_LOCAL}", frame0, frame2, logo0,
                                             "{RX,_LOCAL}", "{E}"}));
}

}  // namespace
