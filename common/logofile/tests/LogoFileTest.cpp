#include "common/LogoFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>

#include "TestBytes.h"
#include "platform/BinaryFile.h"
#include "testsupport/HostilePaths.h"
#include "testsupport/AsPlainUser.h"
#include "testsupport/TempDir.h"

using namespace logofile;
using testbytes::Bytes;
using testbytes::Concat;

namespace {

// Colours of the codes with their low bits filled, worked out by hand:
// R = (c & 0xE0) + 0x1F, G = ((c & 0x1C) << 3) + 0x1F, B = ((c & 3) << 6) + 0x3F.
constexpr QRgb kGreen1C = 0xFF1FFF3Fu;  // code 0x1C
constexpr QRgb kRedE0 = 0xFFFF1F3Fu;    // code 0xE0
constexpr QRgb kBlack00 = 0xFF1F1F3Fu;  // code 0x00 as read back
constexpr QRgb kWhiteFF = 0xFFFFFFFFu;  // code 0xFF

std::vector<std::uint8_t> Header(int count, const std::string& magic = "-LOGO-") {
  return Concat({Bytes({count & 0xFF, (count >> 8) & 0xFF}), Bytes(magic)});
}

QImage Filled(int w, int h, QRgb c) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(c);
  return img;
}

using testsupport::TempDir;

std::vector<std::uint8_t> SaveAndRead(const std::vector<QImage>& logos) {
  TempDir dir;
  SaveLogoFile(dir.File("A.LOG"), logos);
  return platform::ReadWholeFile(dir.File("A.LOG"));
}

}  // namespace

TEST(LogoFileWrite, UniformTenByEightLogoIsFourteenBytes) {
  EXPECT_EQ(SaveAndRead({Filled(30, 24, kGreen1C)}),
            Bytes({0x01, 0x00, '-', 'L', 'O', 'G', 'O', '-', 0x0A, 0x00, 0x08, 0x00, 0xD0, 0x1C}));
}

TEST(LogoFileWrite, HundredAndTwentyEightEqualPixelsEndInALiteralOfOne) {
  // 16 x 8 sign pixels: a run of 127 and a literal of the last pixel.
  EXPECT_EQ(SaveAndRead({Filled(48, 24, kRedE0)}),
            Concat({Header(1), Bytes({0x10, 0x00, 0x08, 0x00, 0xFF, 0xE0, 0x01, 0xE0})}));
}

TEST(LogoFileWrite, SurplusScreenColumnsAndRowsAreDropped) {
  QImage img = Filled(31, 26, kGreen1C);
  for (int y = 0; y < 26; ++y) img.setPixel(30, y, kRedE0);
  for (int x = 0; x < 31; ++x) img.setPixel(x, 24, kRedE0), img.setPixel(x, 25, kRedE0);
  EXPECT_EQ(SaveAndRead({img}), Concat({Header(1), Bytes({0x0A, 0x00, 0x08, 0x00, 0xD0, 0x1C})}));
}

TEST(LogoFileWrite, EachSignPixelTakesTheMiddleOfItsBlock) {
  // Two sign pixels: the first block white but for its middle (red), the
  // second block red but for its middle (white).
  QImage img = Filled(6, 3, kWhiteFF);
  img.setPixel(1, 1, kRedE0);
  for (int y = 0; y < 3; ++y)
    for (int x = 3; x < 6; ++x) img.setPixel(x, y, kRedE0);
  img.setPixel(4, 1, kWhiteFF);
  EXPECT_EQ(SaveAndRead({img}), Concat({Header(1), Bytes({0x02, 0x00, 0x01, 0x00, 0x02, 0xE0, 0xFF})}));
}

TEST(LogoFileWrite, PacketsRunOnAcrossRowEnds) {
  const LogoRecord logo{3, 2, {1, 1, 1, 1, 1, 2}};
  EXPECT_EQ(EncodeLogoFile({logo}), Concat({Header(1), Bytes({0x03, 0x00, 0x02, 0x00, 0x85, 0x01, 0x01, 0x02})}));
  const LogoRecord second{2, 2, {7, 8, 8, 8}};
  EXPECT_EQ(EncodeLogoFile({logo, second}),
            Concat({Header(2), Bytes({0x03, 0x00, 0x02, 0x00, 0x85, 0x01, 0x01, 0x02}),
                    Bytes({0x02, 0x00, 0x02, 0x00, 0x01, 0x07, 0x83, 0x08})}));
}

TEST(LogoFileWrite, BlackReadsBackAsItsCodeColourAndIsWrittenAsZeroAgain) {
  TempDir dir;
  QImage img = Filled(9, 3, 0xFF000000u);
  for (int y = 0; y < 3; ++y)
    for (int x = 3; x < 6; ++x) img.setPixel(x, y, kGreen1C);
  SaveLogoFile(dir.File("A.LOG"), {img});
  const auto first = platform::ReadWholeFile(dir.File("A.LOG"));
  EXPECT_EQ(first, Concat({Header(1), Bytes({0x03, 0x00, 0x01, 0x00, 0x03, 0x00, 0x1C, 0x00})}));

  const std::vector<QImage> read = LoadLogoFile(dir.File("A.LOG"), MagicRule::kExactMagic);
  ASSERT_EQ(read.size(), 1u);
  ASSERT_EQ(read[0].size(), QSize(9, 3));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 9; ++x) EXPECT_EQ(read[0].pixel(x, y), x / 3 == 1 ? kGreen1C : kBlack00) << x << "," << y;

  SaveLogoFile(dir.File("B.LOG"), read);
  EXPECT_EQ(platform::ReadWholeFile(dir.File("B.LOG")), first);
}

TEST(LogoFileWrite, WriteReadWriteGivesIdenticalBytes) {
  std::mt19937 rng(42);
  std::vector<QImage> logos;
  for (int i = 0; i < 12; ++i) {
    const int w = 1 + static_cast<int>(rng() % 70), h = 1 + static_cast<int>(rng() % 9);
    QImage img(w * 3 + static_cast<int>(rng() % 3), h * 3, QImage::Format_RGB32);
    const int colours = 1 + i % 4;  // few colours: runs and literals both
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) img.setPixel(x, y, 0xFF000000u | (rng() % colours) * 0x00402010u);
    logos.push_back(img);
  }
  TempDir dir;
  SaveLogoFile(dir.File("A.LOG"), logos);
  const auto first = platform::ReadWholeFile(dir.File("A.LOG"));
  const auto read = LoadLogoFile(dir.File("A.LOG"), MagicRule::kAnyMagic);
  ASSERT_EQ(read.size(), logos.size());
  for (std::size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(read[i].width(), logos[i].width() / 3 * 3);
    EXPECT_EQ(read[i].height(), logos[i].height());
  }
  SaveLogoFile(dir.File("B.LOG"), read);
  EXPECT_EQ(platform::ReadWholeFile(dir.File("B.LOG")), first);
}

TEST(LogoFileRead, RecordsGrowToBlocksOfTheScaleInTheirCodesColours) {
  const auto bytes = Concat({Header(1), Bytes({0x02, 0x00, 0x01, 0x00, 0x02, 0x1C, 0xE0})});
  const auto records = DecodeLogoFile(bytes, MagicRule::kExactMagic);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0], (LogoRecord{2, 1, {0x1C, 0xE0}}));
  const QImage big = LogoToImage(records[0], 3);
  ASSERT_EQ(big.size(), QSize(6, 3));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(big.pixel(x, y), x < 3 ? kGreen1C : kRedE0);
  const QImage small = LogoToImage(records[0], 1);
  EXPECT_EQ(small.size(), QSize(2, 1));
  EXPECT_EQ(small.pixel(1, 0), kRedE0);
}

TEST(LogoFileRead, SurplusOfALastPacketIsDroppedAndTheNextRecordFollowsIt) {
  const auto bytes = Concat({Header(3),
                             Bytes({0x02, 0x00, 0x01, 0x00, 0x83, 0x05}),              // run of 3 for 2 pixels
                             Bytes({0x01, 0x00, 0x01, 0x00, 0x03, 0x0A, 0x0B, 0x0C}),  // literal of 3 for 1
                             Bytes({0x01, 0x00, 0x01, 0x00, 0x81, 0x07})});
  const auto records = DecodeLogoFile(bytes, MagicRule::kExactMagic);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0], (LogoRecord{2, 1, {5, 5}}));
  EXPECT_EQ(records[1], (LogoRecord{1, 1, {0x0A}}));
  EXPECT_EQ(records[2], (LogoRecord{1, 1, {7}}));
}

TEST(LogoFileRead, PacketsOfCountZeroSetNothing) {
  // 0x00: no literal byte; 0x80: its value byte is read and used for nothing.
  const auto bytes = Concat({Header(1), Bytes({0x02, 0x00, 0x01, 0x00, 0x00, 0x80, 0x09, 0x81, 0x04, 0x01, 0x06})});
  EXPECT_EQ(DecodeLogoFile(bytes, MagicRule::kAnyMagic), (std::vector<LogoRecord>{{2, 1, {4, 6}}}));
}

TEST(LogoFileRead, MagicAndEmptyFilesByRule) {
  const auto record = Bytes({0x01, 0x00, 0x01, 0x00, 0x81, 0x1C});
  const auto wrongMagic = Concat({Header(1, "-FRAME"), record});
  EXPECT_EQ(DecodeLogoFile(wrongMagic, MagicRule::kAnyMagic).size(), 1u);
  EXPECT_THROW(DecodeLogoFile(wrongMagic, MagicRule::kExactMagic), NotALogoFile);

  const auto noLogos = Header(0);
  EXPECT_TRUE(DecodeLogoFile(noLogos, MagicRule::kAnyMagic).empty());
  EXPECT_THROW(DecodeLogoFile(noLogos, MagicRule::kExactMagic), NotALogoFile);

  // Bytes after the last record are not read.
  EXPECT_EQ(DecodeLogoFile(Concat({Header(1), record, Bytes({0xFF, 0xFF})}), MagicRule::kExactMagic).size(), 1u);
}

TEST(LogoFileRead, BadFilesAreRefused) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<std::uint8_t> manyLogos = Concat({Header(256)});
  for (int i = 0; i < 256; ++i) manyLogos = Concat({manyLogos, Bytes({0x01, 0x00, 0x01, 0x00, 0x81, 0x1C})});
  std::vector<std::uint8_t> tooWide = Concat({Header(1), Bytes({0x01, 0x10, 0x01, 0x00})});  // 4097 x 1
  for (int i = 0; i < 40; ++i) tooWide = Concat({tooWide, Bytes({0xFF, 0x1C})});
  const Case cases[] = {
      {"empty", {}},
      {"count cut", Bytes({0x01})},
      {"magic cut", Bytes({0x01, 0x00, '-', 'L', 'O'})},
      {"no record", Header(1)},
      {"sizes cut", Concat({Header(1), Bytes({0x0A, 0x00, 0x08})})},
      {"packets cut", Concat({Header(1), Bytes({0x0A, 0x00, 0x08, 0x00, 0xC0, 0x1C})})},
      {"run value cut", Concat({Header(1), Bytes({0x02, 0x00, 0x01, 0x00, 0x82})})},
      {"literal cut", Concat({Header(1), Bytes({0x02, 0x00, 0x01, 0x00, 0x02, 0x01})})},
      {"fewer records than the count", Concat({Header(3), Bytes({0x01, 0x00, 0x01, 0x00, 0x81, 0x1C})})},
      {"count above 255", manyLogos},
      {"width 0", Concat({Header(1), Bytes({0x00, 0x00, 0x08, 0x00, 0x81, 0x1C})})},
      {"height 0", Concat({Header(1), Bytes({0x08, 0x00, 0x00, 0x00, 0x81, 0x1C})})},
      {"wider than any drawing", tooWide},
      {"65535 x 65535", Concat({Header(1), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x1C})})},
      {"more pixels than the bytes can hold", Concat({Header(1), Bytes({0x00, 0x01, 0x08, 0x00, 0xFF, 0x1C})})},
  };
  for (const Case& c : cases) {
    for (MagicRule rule : {MagicRule::kAnyMagic, MagicRule::kExactMagic}) {
      try {
        DecodeLogoFile(c.bytes, rule, "BAD.LOG");
        ADD_FAILURE() << c.name << ": accepted";
      } catch (const NotALogoFile&) {
        ADD_FAILURE() << c.name << ": refused only as a wrong magic";
      } catch (const BadLogoFile& e) {
        EXPECT_NE(std::string(e.what()).find("BAD.LOG"), std::string::npos) << c.name;
        EXPECT_LE(e.offset(), c.bytes.size()) << c.name;
      }
    }
  }
}

TEST(LogoFileRead, TheLargestLogoThatFitsTheLimitsIsRead) {
  // 4096 x 256 = 2^20 pixels of one code: 8256 runs of 127 and the rest.
  std::vector<std::uint8_t> bytes = Concat({Header(1), Bytes({0x00, 0x10, 0x00, 0x01})});
  std::int64_t left = kMaxLogoPixels;
  while (left > 0) {
    const int n = static_cast<int>(std::min<std::int64_t>(left, 127));
    bytes.push_back(static_cast<std::uint8_t>(0x80 | n));
    bytes.push_back(0x1C);
    left -= n;
  }
  const auto records = DecodeLogoFile(bytes, MagicRule::kExactMagic);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].codes.size(), static_cast<std::size_t>(kMaxLogoPixels));
  // One pixel more is refused, although the count of packets would allow it.
  bytes[10] = 0x01;
  bytes[11] = 0x01;  // 4096 x 257
  bytes.push_back(0xFF);
  bytes.push_back(0x1C);
  EXPECT_THROW(DecodeLogoFile(bytes, MagicRule::kExactMagic), BadLogoFile);
}

// A logo path that is no regular file is refused at once, never waited on or
// read without end, by the picker's rule and the drawing program's alike.
TEST(LogoFileRead, APathThatIsNoRegularFileIsRefusedAtOnce) {
  for (testsupport::HostileKind kind : testsupport::AllHostileKinds()) {
    for (MagicRule rule : {MagicRule::kAnyMagic, MagicRule::kExactMagic}) {
      SCOPED_TRACE(testsupport::HostileKindName(kind));
      TempDir dir;
      const std::string path = dir.File("A.LOG");
      const auto fifo = testsupport::MakeHostilePath(kind, path);
      try {
        LoadLogoFile(path, rule);
        ADD_FAILURE() << "read as a logo file";
      } catch (const BadLogoFile& e) {
        ADD_FAILURE() << "refused as a bad logo file: " << e.what();
      } catch (const platform::InOutError& e) {
        EXPECT_EQ(std::string(e.what()), path + ": is not a regular file");
      }
      if (fifo) {
        EXPECT_FALSE(fifo->Released()) << "the read waited for a writer";
      }
    }
  }
}

// A file longer than the longest logo file is refused before it is read.
TEST(LogoFileRead, AFileLongerThanAnyLogoFileIsRefusedUnread) {
  TempDir dir;
  const std::string path = dir.Write("HUGE.LOG", Header(1));
  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kMaxFileBytes) + 1), 0);
  try {
    LoadLogoFile(path, MagicRule::kAnyMagic);
    ADD_FAILURE() << "read";
  } catch (const platform::InOutError& e) {
    EXPECT_EQ(e.error(), EFBIG);
  }
}

TEST(LogoFileRead, AMissingFileRaisesTheInputOutputError) {
  TempDir dir;
  try {
    LoadLogoFile(dir.File("NONE.LOG"), MagicRule::kAnyMagic);
    ADD_FAILURE() << "no error";
  } catch (const BadLogoFile&) {
    ADD_FAILURE() << "a missing file is no bad file";
  } catch (const platform::InOutError& e) {
    EXPECT_NE(e.error(), 0);
  }
}

TEST(LogoFileSave, ListsTheFileCannotHoldWriteNothing) {
  TempDir dir;
  const std::string path = dir.File("OLD.LOG");
  SaveLogoFile(path, {Filled(30, 24, kGreen1C)});
  const auto old = platform::ReadWholeFile(path);

  std::vector<QImage> tooMany(256, Filled(3, 3, kGreen1C));
  const std::vector<std::vector<QImage>> lists = {
      {}, tooMany, {Filled(30, 24, kGreen1C), Filled(2, 24, kGreen1C)}, {Filled(30, 2, kGreen1C)}};
  for (const auto& list : lists) {
    EXPECT_THROW(SaveLogoFile(path, list), LogoListNotWritable) << list.size();
    EXPECT_EQ(platform::ReadWholeFile(path), old);
  }
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.File(""))) ++files;
  EXPECT_EQ(files, 1u) << "a temporary file was left behind";

  EXPECT_THROW(SaveLogoFile(dir.File("missing/dir/A.LOG"), {Filled(3, 3, kGreen1C)}), platform::InOutError);
}

// A logo file its owner made read-only is not replaced.
TEST(LogoFileSave, AReadOnlyFileIsNotReplaced) {
  TempDir dir;
  const std::string path = dir.File("OLD.LOG");
  SaveLogoFile(path, {Filled(30, 24, kGreen1C)});
  const auto old = platform::ReadWholeFile(path);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const int result = testsupport::RunAsPlainUser(dir.path(), [&] {
    try {
      SaveLogoFile(path, {Filled(3, 24, kGreen1C)});
    } catch (const platform::InOutError& e) {
      return std::string(e.what()) == path + ": Permission denied" ? 0 : 2;
    }
    return 1;
  });
  EXPECT_EQ(result, 0) << "1: replaced, 2: another reason";
  EXPECT_EQ(platform::ReadWholeFile(path), old);
}

TEST(LogoFileSave, TwoHundredAndFiftyFiveLogosAreTheMost) {
  std::vector<QImage> logos;
  for (int i = 0; i < 255; ++i) logos.push_back(Filled(3 * (1 + i % 5), 24, 0xFF000000u | static_cast<QRgb>(i)));
  TempDir dir;
  SaveLogoFile(dir.File("A.LOG"), logos);
  const auto bytes = platform::ReadWholeFile(dir.File("A.LOG"));
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0x00);
  EXPECT_EQ(LoadLogoFile(dir.File("A.LOG"), MagicRule::kExactMagic).size(), 255u);
}

// A 4 MB file of 255 logos of 1024 x 1024 asks for far more than a sign can
// show: refused from its sizes, before any pixel is decoded or drawn.
TEST(LogoFileBudget, AFileBeyondWhatASignShowsIsRefused) {
  std::vector<std::uint8_t> logo = Bytes({0x00, 0x04, 0x00, 0x04});  // 1024 x 1024
  for (int run = 0; run < 1024 * 1024 / 127 + 1; ++run) {
    logo.push_back(0xFF);  // a run of 127 ...
    logo.push_back(0x1C);  // ... of code 0x1C (the last run's surplus is dropped)
  }
  std::vector<std::uint8_t> file = Header(255);
  for (int i = 0; i < 255; ++i) file.insert(file.end(), logo.begin(), logo.end());
  ASSERT_GT(file.size(), 4'000'000u);
  try {
    DecodeLogoFile(file, MagicRule::kExactMagic, "BIG.LOG");
    FAIL() << "a file of 267 million sign pixels was read";
  } catch (const BadLogoFile& e) {
    EXPECT_NE(std::string(e.what()).find("more than 4177920 sign pixels"), std::string::npos) << e.what();
    // The fourth logo is the first over the budget of 255 x 1024 x 16.
    EXPECT_EQ(e.offset(), 8 + 3 * logo.size());
  }
  // Right at the budget the file is taken: 255 logos the size of the largest sign.
  std::vector<std::uint8_t> sign = Bytes({0x00, 0x04, 0x10, 0x00});  // 1024 x 16
  for (int run = 0; run < 1024 * 16 / 127 + 1; ++run) sign.insert(sign.end(), {0xFF, 0xE0});
  std::vector<std::uint8_t> full = Header(255);
  for (int i = 0; i < 255; ++i) full.insert(full.end(), sign.begin(), sign.end());
  EXPECT_EQ(DecodeLogoFile(full, MagicRule::kExactMagic).size(), 255u);
}

TEST(LogoFileBudget, TheWriterRefusesWhatTheReaderWould) {
  const LogoRecord big{1024, 1024, std::vector<std::uint8_t>(1024 * 1024, 0x1C)};
  EXPECT_NO_THROW(EncodeLogoFile(std::vector<LogoRecord>(3, big)));
  EXPECT_THROW(EncodeLogoFile(std::vector<LogoRecord>(4, big)), LogoListNotWritable);
}

// A bitmap the system cannot give is an error, never a write through nothing.
TEST(LogoFileBudget, ABitmapThatCannotBeHadIsAnError) {
  const LogoRecord wide{4096, 256, std::vector<std::uint8_t>(4096 * 256, 0xE0)};
  // At 64 screen pixels a sign pixel this is 262144 x 16384 pixels, 17 GB.
  EXPECT_THROW(LogoToImage(wide, 64), std::bad_alloc);
  // The largest logo a file may hold is still drawn at the logo list's scale.
  const LogoRecord largest{1024, 1024, std::vector<std::uint8_t>(1024 * 1024, 0xE0)};
  const QImage drawn = LogoToImage(largest, kLogoScale);
  EXPECT_EQ(drawn.size(), QSize(3072, 3072));
  EXPECT_EQ(drawn.pixel(3071, 3071), kRedE0);
}
