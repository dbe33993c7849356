#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/MessageModel.h"
#include "platform/MessageBoxes.h"

using namespace editor;

namespace {

// A logo whose pixels all carry `tag` as their colour, so a test can tell logos apart.
QImage TaggedLogo(std::uint32_t tag, int w = 4, int h = 5) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(0xFF000000u | tag);
  return image;
}

// The logo numbers of a line's logo cells, in order.
std::vector<int> LogoNumbers(const TFrame& f, int line) {
  std::vector<int> out;
  for (int pos = 1; pos <= f.Length(line); ++pos)
    if (auto n = f.LogoNumberAt(line, pos)) out.push_back(*n);
  return out;
}

std::vector<std::uint32_t> LogoTags(const MessageModel& m) {
  std::vector<std::uint32_t> out;
  for (const QImage& b : m.LogoList()) out.push_back(b.isNull() ? 0xFFFFFFFFu : (b.pixel(0, 0) & 0xFFFFFFu));
  return out;
}

class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override { model.NewMessage("/docs"); }
  // Appends a logo tagged `tag` at the end of frame `frame`, line 1.
  int AddLogo(int frame, std::uint32_t tag) {
    TFrame& f = model.Frame(frame);
    f.Layout = 1;
    auto n = model.InsertLogo(frame, 1, f.Length(1) + 1, TaggedLogo(tag));
    EXPECT_TRUE(n.has_value());
    return n.value_or(-1);
  }
  void AddChar(int frame, int line, char c) {
    ASSERT_TRUE(model.InsertCharacter(frame, line, model.Frame(frame).Length(line) + 1,
                                      static_cast<std::uint8_t>(c), 0, 0, '0'));
  }

  MessageModel model{SignGeometry{160, 16}};
  platform::ScopedRecordingBoxes boxes;
};

TEST(ModelNewMessage, NewFrameValuesDependOnSignHeight) {
  struct Case {
    int height;
    int layout;
  } cases[] = {{16, 0}, {8, 1}, {7, 1}};
  for (const Case& c : cases) {
    MessageModel m(SignGeometry{128, c.height});
    EXPECT_EQ(m.CurrentFrame, -1);
    m.NewMessage("/work/docs/");
    ASSERT_EQ(m.FrameCount(), 1);
    const TFrame& f = m.Frame(0);
    EXPECT_EQ(f.Layout, c.layout) << "height " << c.height;
    EXPECT_EQ(f.Speed, 0);
    EXPECT_EQ(f.CurLine, 1);
    EXPECT_EQ(f.CaretCell[1], 1);
    EXPECT_EQ(f.CaretCell[2], 1);
    EXPECT_EQ(f.FirstCell[2], 1);
    EXPECT_TRUE(f.LinesEmpty());
    EXPECT_FALSE(f.FixedFrame);
    QImage black(384, 3 * c.height, QImage::Format_RGB32);
    black.fill(qRgb(0, 0, 0));
    EXPECT_TRUE(f.Picture == black);
    EXPECT_EQ(m.CurrentFrame, 0);
    EXPECT_EQ(m.DocFileName, "/work/docs/NEW.SML");
    EXPECT_FALSE(m.Modified);
  }
}

TEST_F(ModelTest, NewMessageFreesFramesAndLogos) {
  AddLogo(0, 1);
  ASSERT_TRUE(model.InsertFrame(1));
  model.Modified = true;
  model.CurrentFrame = 1;
  model.NewMessage("/other");
  EXPECT_EQ(model.FrameCount(), 1);
  EXPECT_EQ(model.LogoCount(), 0);
  EXPECT_TRUE(model.Frame(0).LinesEmpty());
  EXPECT_EQ(model.CurrentFrame, 0);
  EXPECT_FALSE(model.Modified);
}

TEST_F(ModelTest, LogoCellHoldsItsNumberOverThreeColumns) {
  for (int i = 0; i < 7; ++i) AddLogo(0, static_cast<std::uint32_t>(i));
  const int n = AddLogo(0, 7);
  ASSERT_EQ(n, 7);
  const Cell c = model.Frame(0).CellAt(1, 8);
  EXPECT_EQ(c, (Cell{'@', '0', '0', '7', '0'}));
  EXPECT_EQ(model.LogoCount(), 8);
  EXPECT_TRUE(model.LogoList()[7] == TaggedLogo(7));
}

TEST_F(ModelTest, DeletingLogoTwoOfFiveRenumbersAcrossFrames) {
  ASSERT_TRUE(model.InsertFrame(1));
  // Frame 0 holds logos 0, 2 and 4 with a character between; frame 1 holds 1 and 3.
  AddLogo(0, 100);
  AddLogo(1, 101);
  AddLogo(0, 102);
  AddChar(0, 1, 'A');
  AddLogo(1, 103);
  AddLogo(0, 104);
  ASSERT_EQ(LogoNumbers(model.Frame(0), 1), (std::vector<int>{0, 2, 4}));
  ASSERT_EQ(LogoNumbers(model.Frame(1), 1), (std::vector<int>{1, 3}));

  ASSERT_TRUE(model.DeleteCell(0, 1, 2));  // the cell of logo 2

  EXPECT_EQ(LogoNumbers(model.Frame(0), 1), (std::vector<int>{0, 3}));
  EXPECT_EQ(LogoNumbers(model.Frame(1), 1), (std::vector<int>{1, 2}));
  EXPECT_EQ(model.LogoCount(), 4);
  EXPECT_EQ(LogoTags(model), (std::vector<std::uint32_t>{100, 101, 103, 104}));
  EXPECT_EQ(model.Frame(0).Codes[1], "0A0");
  EXPECT_EQ(model.Frame(0).Colors[1], "003");
  EXPECT_EQ(model.Frame(0).Kinds[1], "@N@");

  // Deleting a character renumbers nothing.
  ASSERT_TRUE(model.DeleteCell(0, 1, 2));
  EXPECT_EQ(LogoNumbers(model.Frame(0), 1), (std::vector<int>{0, 3}));
  EXPECT_EQ(model.LogoCount(), 4);
}

TEST_F(ModelTest, TheFiftyThirdLogoIsRefusedWithAWarning) {
  ASSERT_TRUE(model.InsertFrame(1));
  for (int i = 0; i < kMaxLogos; ++i) AddLogo(i % 2, static_cast<std::uint32_t>(i));
  ASSERT_EQ(model.LogoCount(), 52);
  const TFrame before = model.Frame(1);
  boxes->Clear();

  EXPECT_FALSE(model.InsertLogo(1, 1, 1, TaggedLogo(999)).has_value());

  EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{"The maximum of logos is 52!"}));
  EXPECT_EQ(model.LogoCount(), 52);
  EXPECT_EQ(model.Frame(1).Kinds[1], before.Kinds[1]);
  EXPECT_EQ(model.Frame(1).Codes[1], before.Codes[1]);
}

TEST_F(ModelTest, LogosAreKeptAt24BitsAPixel) {
  QImage indexed(3, 2, QImage::Format_ARGB32);
  indexed.fill(qRgba(224, 0, 0, 128));
  model.Frame(0).Layout = 1;
  ASSERT_EQ(model.InsertLogo(0, 1, 1, indexed), 0);
  ASSERT_TRUE(model.AppendLogo(indexed));
  for (const QImage& logo : model.LogoList()) {
    EXPECT_EQ(logo.format(), QImage::Format_RGB32);
    EXPECT_EQ(logo.size(), QSize(3, 2));
  }
}

TEST_F(ModelTest, AppendLogoStopsAt255Silently) {
  for (int i = 0; i < kMaxMessageLogos; ++i) ASSERT_TRUE(model.AppendLogo(TaggedLogo(static_cast<std::uint32_t>(i))));
  EXPECT_FALSE(model.AppendLogo(TaggedLogo(999)));
  EXPECT_EQ(model.LogoCount(), 255);
  EXPECT_TRUE(model.LogoList().back() == TaggedLogo(254));
  EXPECT_TRUE(boxes->Texts().empty());
}

TEST_F(ModelTest, PairsTakeTheirClassFontAndClassFourIsRefused) {
  struct Case {
    int lead, trail;
    char leadFont;  // 0 when refused
  } cases[] = {
      {0xA4, 0x40, '8'}, {0xC6, 0x7E, '8'}, {0xC5, 0xFE, '8'}, {0xF9, 0xA1, '8'},
      {0xA1, 0x40, '9'}, {0xA3, 0xFE, '9'},
      {0x81, 0x40, '7'}, {0xC7, 0x40, '7'}, {0xA4, 0x7F, '7'},
      {0xC6, 0xA1, 0},   {0xC7, 0xA1, 0},   {0xC8, 0xFE, 0},
  };
  for (const Case& c : cases) {
    model.NewMessage("/d");
    boxes->Clear();
    const bool ok = model.InsertPair(0, 1, 1, static_cast<std::uint8_t>(c.lead), static_cast<std::uint8_t>(c.trail), 3,
                                     AttrDigit(true, false));
    const TFrame& f = model.Frame(0);
    if (c.leadFont == 0) {
      EXPECT_FALSE(ok) << std::hex << c.lead << " " << c.trail;
      EXPECT_TRUE(f.LinesEmpty());
      EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{"Font is unacceptable."}));
      continue;
    }
    ASSERT_TRUE(ok) << std::hex << c.lead << " " << c.trail;
    ASSERT_EQ(f.Length(1), 2);
    EXPECT_EQ(f.CellAt(1, 1), (Cell{'N', static_cast<char>(c.lead), c.leadFont, '3', '1'}));
    EXPECT_EQ(f.CellAt(1, 2), (Cell{'N', static_cast<char>(c.trail), 'X', '3', '1'}));
    EXPECT_EQ(f.CellCount(1), 1);
    EXPECT_TRUE(boxes->Texts().empty());
  }
}

TEST_F(ModelTest, ALineTakesOneHundredCellsAPairCountingOnce) {
  model.Frame(0).Layout = 1;
  for (int i = 0; i < 98; ++i) AddChar(0, 1, 'a');
  ASSERT_TRUE(model.InsertPair(0, 1, 1, 0xA4, 0x40, 0, '0'));
  ASSERT_TRUE(model.InsertBeep(0, 1, 1, 2, 5));
  EXPECT_EQ(model.Frame(0).CellCount(1), 100);
  EXPECT_EQ(model.Frame(0).Length(1), 101);
  EXPECT_EQ(model.Frame(0).CellAt(1, 1), (Cell{'B', 'x', '2', '5', '0'}));

  const std::string codes = model.Frame(0).Codes[1];
  boxes->Clear();
  EXPECT_FALSE(model.InsertCharacter(0, 1, 1, 'z', 0, 0, '0'));
  EXPECT_FALSE(model.InsertBeep(0, 1, 1, 0, 0));
  EXPECT_FALSE(model.InsertPair(0, 1, 1, 0xA4, 0x41, 0, '0'));
  EXPECT_FALSE(model.InsertLogo(0, 1, 1, TaggedLogo(1)).has_value());
  EXPECT_EQ(boxes->Beeps(), 4);
  EXPECT_TRUE(boxes->Texts().empty());
  EXPECT_EQ(model.Frame(0).Codes[1], codes);
  EXPECT_EQ(model.LogoCount(), 0);
  // The other line has its own hundred.
  EXPECT_TRUE(model.InsertCharacter(0, 2, 1, 'z', 0, 0, '0'));
}

TEST_F(ModelTest, NothingGoesBetweenALeadAndItsTrail) {
  model.Frame(0).Layout = 2;
  ASSERT_TRUE(model.InsertPair(0, 1, 1, 0xA4, 0x40, 0, '0'));
  EXPECT_THROW(model.InsertCharacter(0, 1, 2, 'a', 0, 0, '0'), std::invalid_argument);
  EXPECT_THROW(model.InsertPair(0, 1, 2, 0xA4, 0x40, 0, '0'), std::invalid_argument);
  EXPECT_EQ(model.Frame(0).Length(1), 2);
  EXPECT_THROW(model.InsertCharacter(0, 3, 1, 'a', 0, 0, '0'), std::out_of_range);
  EXPECT_THROW(model.InsertCharacter(0, 1, 4, 'a', 0, 0, '0'), std::out_of_range);
  EXPECT_THROW(model.InsertCharacter(0, 1, 1, 'a', 10, 0, '0'), std::invalid_argument);
  EXPECT_THROW(model.InsertCharacter(0, 1, 1, 'a', 0, 0, '4'), std::invalid_argument);
}

TEST_F(ModelTest, DeletingALeadTakesItsTrailWhateverTheClass) {
  struct Case {
    int lead, trail;
  } cases[] = {{0xA4, 0x40}, {0xA1, 0xA1}, {0x81, 0x40}};
  for (const Case& c : cases) {
    model.NewMessage("/d");
    AddChar(0, 2, 'a');
    ASSERT_TRUE(model.InsertPair(0, 2, 2, static_cast<std::uint8_t>(c.lead), static_cast<std::uint8_t>(c.trail), 0, '0'));
    AddChar(0, 2, 'b');
    ASSERT_TRUE(model.DeleteCell(0, 2, 2));
    EXPECT_EQ(model.Frame(0).Codes[2], "ab") << std::hex << c.lead;
    EXPECT_EQ(model.Frame(0).Fonts[2], "00");
  }
}

TEST_F(ModelTest, DeleteAfterTheLastCellBeepsAndEmptyingResetsTheLayout) {
  model.Frame(0).Layout = 2;
  AddChar(0, 2, 'a');
  AddChar(0, 1, 'b');
  EXPECT_FALSE(model.DeleteCell(0, 1, 2));
  EXPECT_EQ(boxes->Beeps(), 1);
  ASSERT_TRUE(model.DeleteCell(0, 1, 1));
  EXPECT_EQ(model.Frame(0).Layout, 2);  // line 2 still holds a cell
  ASSERT_TRUE(model.DeleteCell(0, 2, 1));
  EXPECT_EQ(model.Frame(0).Layout, 0);

  MessageModel eight(SignGeometry{160, 8});
  eight.NewMessage("/d");
  ASSERT_TRUE(eight.InsertCharacter(0, 1, 1, 'a', 0, 0, '0'));
  ASSERT_TRUE(eight.DeleteCell(0, 1, 1));
  EXPECT_EQ(eight.Frame(0).Layout, 1);
}

TEST_F(ModelTest, FramesStopAtOneHundredFiftyAndInheritTheFixedPart) {
  ASSERT_TRUE(model.MakeFixed(0, 40));
  ASSERT_TRUE(model.InsertFrame(1));
  EXPECT_TRUE(model.Frame(1).HasFixedPart);
  EXPECT_EQ(model.Frame(1).FixedWidth, 40);
  EXPECT_FALSE(model.Frame(1).FixedFrame);
  ASSERT_TRUE(model.InsertFrame(0));  // before the fixed frame: none in force
  EXPECT_FALSE(model.Frame(0).HasFixedPart);
  EXPECT_EQ(model.Frame(0).FixedWidth, 0);

  while (model.FrameCount() < kMaxFrames) ASSERT_TRUE(model.InsertFrame(model.FrameCount()));
  boxes->Clear();
  EXPECT_FALSE(model.InsertFrame(3));
  EXPECT_EQ(model.FrameCount(), 150);
  EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{"The maximum of frames is 150!"}));
}

TEST_F(ModelTest, FixedPartRules) {
  for (int i = 1; i < 6; ++i) ASSERT_TRUE(model.InsertFrame(i));
  // Half of a 160-pixel sign is 80.
  EXPECT_FALSE(model.MakeFixed(1, 81));
  EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{"Half length of message can be fixed frame!"}));
  EXPECT_FALSE(model.Frame(1).FixedFrame);

  ASSERT_TRUE(model.MakeFixed(1, 80));
  ASSERT_TRUE(model.MakeFixed(3, 30));
  auto widths = [&] {
    std::vector<int> w;
    for (int i = 0; i < model.FrameCount(); ++i) w.push_back(model.Frame(i).HasFixedPart ? model.Frame(i).FixedWidth : -1);
    return w;
  };
  EXPECT_EQ(widths(), (std::vector<int>{-1, 80, 80, 30, 30, 30}));

  // Removing the second fixed frame gives the frames after it the first one's width again.
  ASSERT_TRUE(model.RemoveFrame(3));
  EXPECT_EQ(widths(), (std::vector<int>{-1, 80, 80, 80, 80}));
  // Releasing the only fixed frame clears the fixed part after it.
  model.ReleaseFixed(1);
  EXPECT_EQ(widths(), (std::vector<int>{-1, -1, -1, -1, -1}));
  EXPECT_FALSE(model.Frame(1).FixedFrame);
}

TEST_F(ModelTest, ReleasingAFollowerEndsTheFixedPartThere) {
  for (int i = 1; i < 5; ++i) ASSERT_TRUE(model.InsertFrame(i));
  ASSERT_TRUE(model.MakeFixed(0, 40));
  auto widths = [&] {
    std::vector<int> w;
    for (int i = 0; i < model.FrameCount(); ++i) w.push_back(model.Frame(i).HasFixedPart ? model.Frame(i).FixedWidth : -1);
    return w;
  };
  ASSERT_EQ(widths(), (std::vector<int>{40, 40, 40, 40, 40}));
  // The third frame only follows the fixed first one: from it on, no fixed part.
  model.ReleaseFixed(2);
  EXPECT_EQ(widths(), (std::vector<int>{40, 40, -1, -1, -1}));
  EXPECT_TRUE(model.Frame(0).FixedFrame);
  EXPECT_FALSE(model.Frame(2).FixedFrame);
  // A fixed frame released after another fixed part takes that part back.
  ASSERT_TRUE(model.MakeFixed(3, 20));
  model.ReleaseFixed(3);
  EXPECT_EQ(widths(), (std::vector<int>{40, 40, -1, -1, -1}));
  ASSERT_TRUE(model.MakeFixed(2, 30));
  ASSERT_TRUE(model.MakeFixed(4, 10));
  model.ReleaseFixed(4);
  EXPECT_EQ(widths(), (std::vector<int>{40, 40, 30, 30, 30}));
}

TEST_F(ModelTest, RemovingAFrameFreesItsLogosAndTheLastFrameStays) {
  ASSERT_TRUE(model.InsertFrame(1));
  AddLogo(1, 10);
  AddLogo(0, 11);
  AddLogo(1, 12);
  ASSERT_TRUE(model.RemoveFrame(1));
  EXPECT_EQ(LogoTags(model), (std::vector<std::uint32_t>{11}));
  EXPECT_EQ(LogoNumbers(model.Frame(0), 1), (std::vector<int>{0}));
  EXPECT_FALSE(model.RemoveFrame(0));
  EXPECT_EQ(model.FrameCount(), 1);
}

TEST_F(ModelTest, ClearFrameFreesItsLogosAndKeepsTheFixedFields) {
  ASSERT_TRUE(model.InsertFrame(1));
  AddLogo(0, 20);
  AddLogo(1, 21);
  AddLogo(1, 22);
  AddLogo(0, 23);
  ASSERT_TRUE(model.MakeFixed(1, 16));
  TFrame& f = model.Frame(1);
  f.Speed = 2;
  f.Modes = "AB";
  f.CaretCell[1] = 3;
  model.ClearFrame(1);
  EXPECT_TRUE(f.LinesEmpty());
  EXPECT_EQ(f.Speed, 0);
  EXPECT_EQ(f.Modes, "");
  EXPECT_EQ(f.Layout, 0);
  EXPECT_EQ(f.CaretCell[1], 1);
  EXPECT_TRUE(f.FixedFrame);
  EXPECT_EQ(f.FixedWidth, 16);
  EXPECT_EQ(LogoTags(model), (std::vector<std::uint32_t>{20, 23}));
  EXPECT_EQ(LogoNumbers(model.Frame(0), 1), (std::vector<int>{0, 1}));
}

TEST_F(ModelTest, PasteGivesEveryLogoCellANewCopy) {
  ASSERT_TRUE(model.InsertFrame(1));
  AddLogo(0, 30);
  AddChar(0, 1, 'Q');
  AddLogo(0, 31);
  model.Frame(0).Speed = 1;
  model.Frame(0).Modes = "ZU";
  model.CopyFrame(0);
  ASSERT_TRUE(model.PasteFrame(1));
  EXPECT_EQ(model.LogoCount(), 4);
  EXPECT_EQ(LogoNumbers(model.Frame(1), 1), (std::vector<int>{2, 3}));
  EXPECT_EQ(LogoTags(model), (std::vector<std::uint32_t>{30, 31, 30, 31}));
  EXPECT_EQ(model.Frame(1).Kinds[1], "@N@");
  EXPECT_EQ(model.Frame(1).Modes, "ZU");
  EXPECT_EQ(model.Frame(1).Speed, 1);

  // The clipboard keeps its own pictures: deleting the originals, or a new
  // message, does not change what the next paste brings.
  ASSERT_TRUE(model.DeleteCell(0, 1, 1));
  model.NewMessage("/d");
  ASSERT_TRUE(model.PasteFrame(0));
  EXPECT_EQ(LogoTags(model), (std::vector<std::uint32_t>{30, 31}));
  EXPECT_EQ(LogoNumbers(model.Frame(0), 1), (std::vector<int>{0, 1}));
}

TEST_F(ModelTest, PasteFreesTheLogosItReplacesAndRefusesBeyondFiftyTwo) {
  ASSERT_TRUE(model.InsertFrame(1));
  AddLogo(1, 40);  // will be replaced
  AddLogo(0, 41);
  AddLogo(0, 42);
  model.CopyFrame(0);
  ASSERT_TRUE(model.PasteFrame(1));
  EXPECT_EQ(LogoTags(model), (std::vector<std::uint32_t>{41, 42, 41, 42}));
  EXPECT_EQ(LogoNumbers(model.Frame(0), 1), (std::vector<int>{0, 1}));
  EXPECT_EQ(LogoNumbers(model.Frame(1), 1), (std::vector<int>{2, 3}));

  // Fill up to 51 logos; pasting two more into an empty frame would make 53.
  ASSERT_TRUE(model.InsertFrame(2));
  ASSERT_TRUE(model.InsertFrame(3));
  while (model.LogoCount() < 51) AddLogo(2, 50);
  const int before = model.LogoCount();
  boxes->Clear();
  EXPECT_FALSE(model.PasteFrame(3));
  EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{"The maximum of logos is 52!"}));
  EXPECT_EQ(model.LogoCount(), before);
  EXPECT_TRUE(model.Frame(3).LinesEmpty());
  // Into frame 1, whose two logos go, it fits.
  EXPECT_TRUE(model.PasteFrame(1));
  EXPECT_EQ(model.LogoCount(), 51);
}

// A frame whose logo is beyond the logo record's digits (three for the width,
// two for the height), as a frame file can bring it in, is refused at paste
// with the reason; a logo at the limits, 999 x 99, is pasted.
TEST_F(ModelTest, PasteRefusesALogoBeyondTheRecordsDigits) {
  struct Case {
    const char* what;
    int width;
    int height;
    const char* refusal;  // nullptr: pasted
  };
  const Case cases[] = {
      {"999 x 99", 999, 99, nullptr},
      {"1000 x 16", 1000, 16,
       "Logo is unacceptable.\nThe logo is 1000 pixels wide and 16 high; a logo record holds at most 999 columns "
       "and 99 rows."},
      {"12 x 100", 12, 100,
       "Logo is unacceptable.\nThe logo is 12 pixels wide and 100 high; a logo record holds at most 999 columns "
       "and 99 rows."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    model.NewMessage("/docs");
    ASSERT_TRUE(model.InsertFrame(1));
    model.Frame(0).Layout = 1;
    ASSERT_TRUE(model.InsertLogo(0, 1, 1, QImage(c.width, c.height, QImage::Format_RGB32)).has_value());
    model.Frame(1).Layout = 1;
    AddChar(1, 1, 'Q');
    model.CopyFrame(0);
    boxes->Clear();
    if (c.refusal == nullptr) {
      EXPECT_TRUE(model.PasteFrame(1));
      EXPECT_TRUE(boxes->Texts().empty());
      EXPECT_EQ(model.LogoCount(), 2);
      EXPECT_EQ(model.Frame(1).Kinds[1], "@");
    } else {
      EXPECT_FALSE(model.PasteFrame(1));
      EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{c.refusal}));
      EXPECT_EQ(model.LogoCount(), 1);
      EXPECT_EQ(model.Frame(1).Codes[1], "Q");  // the frame as it was
    }
  }
}

// A message of more logos than the sign names (opened from a file) takes no
// new logo, but a paste that adds none still goes in.
TEST_F(ModelTest, BeyondFiftyTwoLogosOnlyEditsThatAddNoneGoIn) {
  ASSERT_TRUE(model.InsertFrame(1));
  AddChar(1, 1, 'a');
  for (int i = 0; i < 60; ++i) ASSERT_TRUE(model.AppendLogo(TaggedLogo(static_cast<std::uint32_t>(i))));
  boxes->Clear();
  EXPECT_FALSE(model.InsertLogo(0, 1, 1, TaggedLogo(999)).has_value());
  EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{"The maximum of logos is 52!"}));
  EXPECT_EQ(model.LogoCount(), 60);

  // Frame 1 (no logo) pasted over frame 0.
  model.CopyFrame(1);
  boxes->Clear();
  ASSERT_TRUE(model.PasteFrame(0));
  EXPECT_TRUE(boxes->Texts().empty());
  EXPECT_EQ(model.Frame(0).Codes[1], "a");
  EXPECT_EQ(model.LogoCount(), 60);

  // A frame naming logo 59, pasted over a frame without logos, would add one.
  model.Frame(1).InsertCellAt(1, 2, Cell{'@', '0', '5', '9', '0'});
  model.CopyFrame(1);
  boxes->Clear();
  EXPECT_FALSE(model.PasteFrame(0));
  EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{"The maximum of logos is 52!"}));
  EXPECT_EQ(model.LogoCount(), 60);
  // Over itself it replaces its own logo: the count stays.
  boxes->Clear();
  EXPECT_TRUE(model.PasteFrame(1));
  EXPECT_TRUE(boxes->Texts().empty());
  EXPECT_EQ(model.LogoCount(), 60);
}

TEST_F(ModelTest, PasteBeforeAnyCopyDoesNothing) {
  AddChar(0, 1, 'a');
  EXPECT_FALSE(model.ClipFilled());
  EXPECT_FALSE(model.PasteFrame(0));
  EXPECT_EQ(model.Frame(0).Codes[1], "a");
}

}  // namespace
