#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameFileBytes.h"
#include "common/ColorCode.h"
#include "editor/FrameFile.h"
#include "platform/MessageBoxes.h"

using namespace editor;
using framebytes::Bytes;

namespace {

// A w x h logo whose pixels are the exact colours of `codes` (row order).
QImage ExactLogo(int w, int h, const std::vector<int>& codes) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int i = 0; i < w * h; ++i) image.setPixel(i % w, i / w, colorcode::CodeToColorExact(static_cast<std::uint8_t>(codes[i])));
  return image;
}

void SetLine(TFrame& f, int line, const std::string& kinds, const std::string& codes, const std::string& fonts,
             const std::string& colors, const std::string& attrs) {
  f.Kinds[line] = kinds;
  f.Codes[line] = codes;
  f.Fonts[line] = fonts;
  f.Colors[line] = colors;
  f.Attrs[line] = attrs;
}

// Two frames on a 160 x 16 sign: a fixed two-line frame with modes, then a
// frame with a logo and a double-byte pair, and one 2 x 2 logo.
const std::string kPair = "\xA4\x40";

Bytes WorkedExampleBytes() {
  Bytes b = {
      0x02, 0x00, 0x01, 0x00, '-', 'F', 'R', 'A', 'M', 'E', '-',
      // frame 0: Medium, "ZU", layout 2, fixed, fixed part of 30
      0x01, 0x02, 'Z', 'U', 0x02, 'Y', 'Y', 0x1E, 0x00,
      0x02, 0x00, 'N', 'N', 'A', 'B', '0', '0', '1', '2', '0', '3',  // line 1: "AB"
      0x01, 0x00, 'B', 'x', '0', '4', '0',                           // line 2: a beep
      // frame 1: Slow, no modes, layout 1, under the fixed part
      0x02, 0x00, 0x01, 'N', 'Y', 0x1E, 0x00,
      0x03, 0x00, '@', 'N', 'N', '0', 0xA4, 0x40, '0', '8', 'X', '0', '5', '5', '0', '0', '0',
      0x00, 0x00,
      // logo 0: 2 x 2 of codes E0 E0 1C 03, one literal of four
      0x02, 0x00, 0x02, 0x00, 0x04, 0xE0, 0xE0, 0x1C, 0x03,
  };
  return b;
}

void BuildWorkedExample(MessageModel& m) {
  m.NewMessage("/docs");
  ASSERT_TRUE(m.InsertFrame(1));
  TFrame& f0 = m.Frame(0);
  f0.Speed = 1;
  f0.Modes = "ZU";
  f0.Layout = 2;
  f0.FixedFrame = true;
  f0.HasFixedPart = true;
  f0.FixedWidth = 30;
  SetLine(f0, 1, "NN", "AB", "00", "12", "03");
  SetLine(f0, 2, "B", "x", "0", "4", "0");
  TFrame& f1 = m.Frame(1);
  f1.Speed = 2;
  f1.Layout = 1;
  f1.HasFixedPart = true;
  f1.FixedWidth = 30;
  SetLine(f1, 1, "@NN", "0" + kPair, "08X", "055", "000");
  ASSERT_TRUE(m.AppendLogo(ExactLogo(2, 2, {0xE0, 0xE0, 0x1C, 0x03})));
}

class FrameFileBytes : public ::testing::Test {
 protected:
  platform::ScopedRecordingBoxes boxes;
};

TEST_F(FrameFileBytes, ANewMessageIsTwentyTwoBytes) {
  struct Case {
    int height;
    int layout;
  } cases[] = {{16, 0}, {8, 1}, {7, 1}};
  for (const Case& c : cases) {
    MessageModel m(SignGeometry{160, c.height});
    m.NewMessage("/docs");
    const Bytes expected = {0x01, 0x00, 0x00, 0x00, '-', 'F', 'R', 'A', 'M', 'E', '-', 0x00, 0x00,
                            static_cast<std::uint8_t>(c.layout), 'N', 'N', 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    ASSERT_EQ(EncodeFrameFile(m), expected) << "height " << c.height;
    auto back = DecodeFrameFile(expected, m.Sign());
    ASSERT_EQ(back->FrameCount(), 1);
    EXPECT_EQ(back->LogoCount(), 0);
    EXPECT_EQ(back->Frame(0).Layout, c.layout);
    EXPECT_TRUE(back->Frame(0).LinesEmpty());
    EXPECT_EQ(EncodeFrameFile(*back), expected);
  }
}

TEST_F(FrameFileBytes, WorkedExampleBothWays) {
  MessageModel m(SignGeometry{160, 16});
  BuildWorkedExample(m);
  const Bytes expected = WorkedExampleBytes();
  EXPECT_EQ(EncodeFrameFile(m), expected);

  auto back = DecodeFrameFile(expected, m.Sign());
  ASSERT_EQ(back->FrameCount(), 2);
  for (int i = 0; i < 2; ++i) {
    const TFrame& want = m.Frame(i);
    const TFrame& got = back->Frame(i);
    EXPECT_EQ(got.Speed, want.Speed) << i;
    EXPECT_EQ(got.Modes, want.Modes) << i;
    EXPECT_EQ(got.Layout, want.Layout) << i;
    EXPECT_EQ(got.FixedFrame, want.FixedFrame) << i;
    EXPECT_EQ(got.HasFixedPart, want.HasFixedPart) << i;
    EXPECT_EQ(got.FixedWidth, want.FixedWidth) << i;
    EXPECT_EQ(got.Kinds, want.Kinds) << i;
    EXPECT_EQ(got.Codes, want.Codes) << i;
    EXPECT_EQ(got.Fonts, want.Fonts) << i;
    EXPECT_EQ(got.Colors, want.Colors) << i;
    EXPECT_EQ(got.Attrs, want.Attrs) << i;
  }
  ASSERT_EQ(back->LogoCount(), 1);
  EXPECT_TRUE(back->LogoList()[0] == m.LogoList()[0]);
  EXPECT_EQ(back->CurrentFrame, 0);
  // Load then save gives the same bytes.
  EXPECT_EQ(EncodeFrameFile(*back), expected);
}

TEST_F(FrameFileBytes, SpeedAndModesOpenTheFrameRecord) {
  MessageModel m(SignGeometry{160, 8});
  m.NewMessage("/docs");
  m.Frame(0).Modes = "AF";
  const Bytes bytes = EncodeFrameFile(m);
  ASSERT_GE(bytes.size(), 15u);
  EXPECT_EQ(Bytes(bytes.begin() + 11, bytes.begin() + 15), (Bytes{0x00, 0x02, 'A', 'F'}));
}

TEST_F(FrameFileBytes, LogoRecordsAndTheExactExpansion) {
  struct Case {
    int w, h;
    std::vector<int> codes;
    Bytes record;
  } cases[] = {
      {3, 1, {5, 5, 5}, {0x03, 0x00, 0x01, 0x00, 0x83, 0x05}},
      // One pixel is a literal of one.
      {1, 1, {0xFF}, {0x01, 0x00, 0x01, 0x00, 0x01, 0xFF}},
      // 200 pixels run on across the rows: 127 then 73.
      {20, 10, std::vector<int>(200, 0x1C), {0x14, 0x00, 0x0A, 0x00, 0xFF, 0x1C, 0xC9, 0x1C}},
      {5, 1, {1, 2, 2, 2, 3}, {0x05, 0x00, 0x01, 0x00, 0x01, 1, 0x83, 2, 0x01, 3}},
  };
  for (const Case& c : cases) {
    MessageModel m(SignGeometry{160, 16});
    m.NewMessage("/docs");
    ASSERT_TRUE(m.AppendLogo(ExactLogo(c.w, c.h, c.codes)));
    Bytes expected = framebytes::Header(1, 1);
    framebytes::Append(expected, Bytes{0x00, 0x00, 0x00, 'N', 'N', 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    framebytes::Append(expected, c.record);
    EXPECT_EQ(EncodeFrameFile(m), expected) << c.w << " x " << c.h;

    auto back = DecodeFrameFile(expected, m.Sign());
    ASSERT_EQ(back->LogoCount(), 1);
    const QImage& logo = back->LogoList()[0];
    ASSERT_EQ(logo.size(), QSize(c.w, c.h));
    for (int i = 0; i < c.w * c.h; ++i) {
      const int code = c.codes[static_cast<std::size_t>(i)];
      // Low bits clear: R = code & E0, G = (code & 1C) << 3, B = (code & 3) << 6.
      const QRgb want = qRgb(code & 0xE0, (code & 0x1C) << 3, (code & 0x03) << 6);
      EXPECT_EQ(logo.pixel(i % c.w, i / c.w), want) << "pixel " << i;
    }
  }
  EXPECT_EQ(colorcode::CodeToColorExact(0xFF), qRgb(224, 224, 192));
}

TEST_F(FrameFileBytes, CaretsAndTheEditedLineAreNotKept) {
  MessageModel m(SignGeometry{160, 16});
  BuildWorkedExample(m);
  TFrame& f = m.Frame(0);
  f.CurLine = 2;
  f.CaretCell = {2, 2};
  f.FirstCell = {2, 1};
  auto back = DecodeFrameFile(EncodeFrameFile(m), m.Sign());
  for (int i = 0; i < back->FrameCount(); ++i) {
    const TFrame& g = back->Frame(i);
    EXPECT_EQ(g.CurLine, 1);
    EXPECT_EQ(g.CaretCell, (PerLine<std::int32_t>{1, 1}));
    EXPECT_EQ(g.FirstCell, (PerLine<std::int32_t>{1, 1}));
  }
}

TEST_F(FrameFileBytes, TheCountsAreTrueAtTheLimits) {
  MessageModel m(SignGeometry{160, 8});
  m.NewMessage("/docs");
  for (int i = 1; i < kMaxFrames; ++i) ASSERT_TRUE(m.InsertFrame(i));
  // 255 logos of one pixel: frames 0..126 name two each, frame 127 the last one.
  for (int n = 0; n < kMaxMessageLogos; ++n) {
    ASSERT_TRUE(m.AppendLogo(ExactLogo(1, 1, {n})));
    TFrame& f = m.Frame(n / 2);
    const std::string digits = LogoNumberText(n);
    f.Kinds[1] += '@';
    f.Codes[1] += digits[0];
    f.Fonts[1] += digits[1];
    f.Colors[1] += digits[2];
    f.Attrs[1] += '0';
  }
  EXPECT_FALSE(m.AppendLogo(ExactLogo(1, 1, {0})));
  const Bytes bytes = EncodeFrameFile(m);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), (Bytes{150, 0x00, 255, 0x00}));
  // 150 frame records: 127 of two logo cells (7 + 2 + 10 + 2 bytes), one of
  // one cell (7 + 2 + 5 + 2), 22 empty (11); 255 logo records of one pixel (4 + 2).
  EXPECT_EQ(bytes.size(), 11u + 127 * 21 + 16 + 22 * 11 + 255 * 6);
  auto back = DecodeFrameFile(bytes, m.Sign());
  EXPECT_EQ(back->FrameCount(), 150);
  EXPECT_EQ(back->LogoCount(), 255);
  EXPECT_EQ(back->Frame(127).LogoNumberAt(1, 1), 254);
  EXPECT_EQ(EncodeFrameFile(*back), bytes);
}

TEST_F(FrameFileBytes, AMessageTheFileCannotHoldIsRefusedBeforeWriting) {
  struct Case {
    const char* what;
    void (*spoil)(MessageModel&);
  } cases[] = {
      {"256 modes", [](MessageModel& m) { m.Frame(0).Modes = std::string(256, 'A'); }},
      {"empty logo", [](MessageModel& m) { m.AppendLogo(QImage(0, 0, QImage::Format_RGB32)); }},
      {"wide logo", [](MessageModel& m) {
         QImage logo(4097, 1, QImage::Format_RGB32);
         logo.fill(0);
         m.AppendLogo(logo);
       }},
  };
  for (const Case& c : cases) {
    MessageModel m(SignGeometry{160, 16});
    m.NewMessage("/docs");
    c.spoil(m);
    EXPECT_THROW(EncodeFrameFile(m), FrameFileNotWritable) << c.what;
  }
  MessageModel m(SignGeometry{160, 16});
  m.NewMessage("/docs");
  m.Frame(0).Modes = std::string(255, 'A');
  EXPECT_EQ(EncodeFrameFile(m).size(), 22u + 255);
}

}  // namespace
