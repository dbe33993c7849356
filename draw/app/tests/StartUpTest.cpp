#include "drawapp/StartUp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "common/Raster.h"
#include "drawtest/BitmapBytes.h"
#include "platform/BinaryFile.h"
#include "platform/InOutError.h"
#include "platform/MessageBoxes.h"
#include "testsupport/HostilePaths.h"
#include "testsupport/AsPlainUser.h"
#include "testsupport/TempDir.h"

using namespace drawapp;

namespace {

constexpr QRgb kRed = 0xFFFF1F3Fu;
constexpr QRgb kGreen = 0xFF1FFF3Fu;

using testsupport::TempDir;

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

}  // namespace

TEST(ReadSignSize, ReadsTheFileAndReportsBadValues) {
  struct Case {
    const char* what;
    const char* file;  // nullptr: no file
    int width;
    int height;
    int warnings;
  };
  const Case cases[] = {
      {"no file", nullptr, 160, 16, 0},
      {"both given", "[System]\r\nSign Width=96\r\nSign Height=16\r\n", 96, 16, 0},
      {"height only", "[System]\nSign Height=7\n", 160, 7, 0},
      {"a width that is no number", "[System]\nSign Width=wide\nSign Height=8\n", 160, 8, 1},
      {"a width of 0", "[System]\nSign Width=0\n", 160, 16, 1},
      {"both bad", "[System]\nSign Width=-5\nSign Height=x\n", 160, 16, 2},
  };
  for (const Case& c : cases) {
    TempDir dir;
    platform::ScopedRecordingBoxes boxes;
    const std::string path = dir.File("SML_WIN.INI");
    if (c.file) WriteText(path, c.file);
    const SignSize size = ReadSignSize(path);
    EXPECT_EQ(size.width, c.width) << c.what;
    EXPECT_EQ(size.height, c.height) << c.what;
    EXPECT_EQ(static_cast<int>(boxes->Texts().size()), c.warnings) << c.what;
    // Read, never written.
    EXPECT_EQ(platform::FileExists(path), c.file != nullptr) << c.what;
  }
  TempDir dir;
  platform::ScopedRecordingBoxes boxes;
  WriteText(dir.File("SML_WIN.INI"), "[System]\nSign Width=wide\n");
  ReadSignSize(dir.File("SML_WIN.INI"));
  ASSERT_EQ(boxes->Texts().size(), 1u);
  EXPECT_NE(boxes->Texts()[0].find("\"Sign Width\""), std::string::npos);
  EXPECT_NE(boxes->Texts()[0].find("160 is used"), std::string::npos);
}

// A settings file that is there but cannot be read is said once, naming it
// and the reason; the defaults are used and the file is left alone.
TEST(ReadSignSize, AFileThatCannotBeReadIsSaid) {
  TempDir dir;
  const std::string path = dir.File("SML_WIN.INI");
  const std::string text = "[System]\r\nSign Width=96\r\n; " + std::string(std::size_t{1} << 20, 'x') + "\r\n";
  WriteText(path, text);
  platform::ScopedRecordingBoxes boxes;
  const SignSize size = ReadSignSize(path);
  EXPECT_EQ(size.width, 160);
  EXPECT_EQ(size.height, 16);
  EXPECT_EQ(boxes->Texts(), std::vector<std::string>{"The settings file " + path +
                                                     " cannot be read (File too large, more than 1 MiB). The default "
                                                     "settings are used, and the file is not written until the "
                                                     "program is started again."});
  EXPECT_EQ(platform::ReadWholeFile(path, std::size_t{2} << 20), std::vector<std::uint8_t>(text.begin(), text.end()));
}

// A path far longer than 200 characters is read like any other.
TEST(ReadSignSize, ALongPathIsRead) {
  TempDir dir;
  std::string folder = dir.path();
  while (folder.size() < 300) folder += "/" + std::string(40, 'p');
  std::filesystem::create_directories(folder);
  WriteText(folder + "/SML_WIN.INI", "[System]\nSign Width=96\nSign Height=8\n");
  platform::ScopedRecordingBoxes boxes;
  const SignSize size = ReadSignSize(folder + "/SML_WIN.INI");
  EXPECT_EQ(size.width, 96);
  EXPECT_EQ(size.height, 8);
  EXPECT_TRUE(boxes->Texts().empty());
}

TEST(SignSizeText, HeightFirst) { EXPECT_EQ(SignSizeText(8, 160), "8(H)x160(W)"); }

TEST(SysCanvas, IsWrittenAsA24BitBitmapAndComesBackAtItsOwnSize) {
  TempDir dir;
  const std::string path = SysCanvasPath(dir.path());
  EXPECT_EQ(path, dir.File("SysCanvas.BMP"));
  QImage view = raster::NewImage(9, 6, raster::kBlack);
  raster::FillBox(view, raster::Box{0, 0, 3, 3}, kRed);
  raster::FillBox(view, raster::Box{6, 3, 9, 6}, kGreen);
  SaveSysCanvas(path, view);

  const std::vector<std::uint8_t> bytes = platform::ReadWholeFile(path);
  ASSERT_GE(bytes.size(), 54u);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  EXPECT_EQ(U32(bytes, 18), 9u);                 // width
  EXPECT_EQ(U32(bytes, 22), 6u);                 // height
  EXPECT_EQ(bytes[28] | (bytes[29] << 8), 24);  // bits a pixel
  // Rows bottom up, padded to 4 bytes: 9 * 3 = 27 + 1. The bottom row's last
  // pixel is green, stored blue, green, red.
  const std::size_t offset = U32(bytes, 10);
  ASSERT_EQ(bytes.size(), offset + 6 * 28);
  EXPECT_EQ(bytes[offset + 8 * 3 + 0], 0x3F);
  EXPECT_EQ(bytes[offset + 8 * 3 + 1], 0xFF);
  EXPECT_EQ(bytes[offset + 8 * 3 + 2], 0x1F);

  // Back at its own size, whatever the size of the view it replaces: a view
  // of a larger or a smaller drawing area takes the whole picture.
  platform::ScopedRecordingBoxes boxes;
  for (const QSize area : {QSize(12, 9), QSize(3, 3)}) {
    QImage other = raster::NewImage(area.width(), area.height(), raster::kBlack);
    ASSERT_TRUE(LoadSysCanvas(path, other));
    EXPECT_EQ(other, view) << area.width() << " x " << area.height();
  }
  EXPECT_TRUE(boxes->Texts().empty());
}

TEST(SysCanvas, AMissingFileLeavesTheViewAndABadOneIsReported) {
  TempDir dir;
  platform::ScopedRecordingBoxes boxes;
  QImage view = raster::NewImage(6, 6, raster::kBlack);
  EXPECT_FALSE(LoadSysCanvas(dir.File("SysCanvas.BMP"), view));
  EXPECT_TRUE(boxes->Texts().empty());
  WriteText(dir.File("SysCanvas.BMP"), "BM not a bitmap at all");
  EXPECT_FALSE(LoadSysCanvas(dir.File("SysCanvas.BMP"), view));
  ASSERT_EQ(boxes->Texts().size(), 1u);
  EXPECT_NE(boxes->Texts()[0].find("SysCanvas.BMP"), std::string::npos);
  EXPECT_EQ(view, raster::NewImage(6, 6, raster::kBlack));
}

// A working picture whose pixel data is cut short is reported with the reason
// on the line below, and the drawing starts black rather than with the
// decoder's leftover memory in the missing rows. Whole ones of the same
// layouts come back as they are.
TEST(SysCanvas, APictureCutShortIsReportedAndWholeOnesLoad) {
  using drawtest::BitmapFileBytes;
  using drawtest::BitmapLayout;
  using drawtest::CutBy;
  // 2 x 2: red on the top row, green at the bottom; 24-bit rows of 6 bytes
  // and 2 of padding, bottom-up, blue green red.
  const BitmapLayout rgb{2, 2, 24, 0, {}, {0x3F, 0xFF, 0x1F, 0x3F, 0xFF, 0x1F, 0, 0,
                                           0x3F, 0x1F, 0xFF, 0x3F, 0x1F, 0xFF, 0, 0}, {}};
  const std::vector<std::uint32_t> palette = {0xFF1F3F, 0x1FFF3F};
  const BitmapLayout indexed{2, 2, 8, 0, palette, {1, 1, 0, 0, 0, 0, 0, 0}, {}};
  const BitmapLayout rle{2, 2, 8, 1, palette, {2, 1, 0, 0, 2, 0, 0, 0, 0, 1}, {}};
  const struct {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::string reason;  // empty: loaded
  } cases[] = {
      {"24 bits whole", BitmapFileBytes(rgb), ""},
      {"24 bits, half its pixel data", CutBy(BitmapFileBytes(rgb), 8),
       "The file ends inside its pixel data: 8 of 16 bytes are there."},
      {"8 bits whole", BitmapFileBytes(indexed), ""},
      {"8 bits, its top row missing", CutBy(BitmapFileBytes(indexed), 4),
       "The file ends inside its pixel data: 4 of 8 bytes are there."},
      {"RLE8 whole", BitmapFileBytes(rle), ""},
      {"RLE8, its top row missing", CutBy(BitmapFileBytes(rle), 6),
       "The file ends inside its run-length data, before the end of the bitmap."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    platform::ScopedRecordingBoxes boxes;
    const std::string path = SysCanvasPath(dir.path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(c.bytes.data()), static_cast<std::streamsize>(c.bytes.size()));
    QImage view = raster::NewImage(6, 6, raster::kBlack);
    if (c.reason.empty()) {
      EXPECT_TRUE(LoadSysCanvas(path, view));
      EXPECT_TRUE(boxes->Texts().empty());
      EXPECT_EQ(view.pixel(0, 0), kRed);
      EXPECT_EQ(view.pixel(1, 0), kRed);
      EXPECT_EQ(view.pixel(0, 1), kGreen);
      EXPECT_EQ(view.pixel(1, 1), kGreen);
    } else {
      EXPECT_FALSE(LoadSysCanvas(path, view));
      EXPECT_EQ(boxes->Texts(), std::vector<std::string>{"The working picture " + path +
                                                         " cannot be read; the drawing starts black.\n" + c.reason});
      EXPECT_EQ(view, raster::NewImage(6, 6, raster::kBlack));
    }
  }
}

TEST(SysCanvas, APathThatIsNoRegularFileIsReportedAtOnce) {
  for (testsupport::HostileKind kind : testsupport::AllHostileKinds()) {
    SCOPED_TRACE(testsupport::HostileKindName(kind));
    TempDir dir;
    platform::ScopedRecordingBoxes boxes;
    const std::string path = SysCanvasPath(dir.path());
    const auto fifo = testsupport::MakeHostilePath(kind, path);
    QImage view = raster::NewImage(6, 6, raster::kBlack);
    EXPECT_FALSE(LoadSysCanvas(path, view));
    EXPECT_EQ(boxes->Texts(), std::vector<std::string>{"The working picture " + path +
                                                       " cannot be read; the drawing starts black.\n" + path +
                                                       ": is not a regular file"});
    if (fifo) {
      EXPECT_FALSE(fifo->Released()) << "the start waited for a writer";
    }
    EXPECT_EQ(view, raster::NewImage(6, 6, raster::kBlack));
  }
}

// A working picture its owner made read-only is not replaced at the close.
TEST(SysCanvas, AReadOnlyPictureIsNotReplaced) {
  TempDir dir;
  const std::string path = SysCanvasPath(dir.path());
  SaveSysCanvas(path, raster::NewImage(3, 3, raster::kBlack));
  const std::vector<std::uint8_t> old = platform::ReadWholeFile(path);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const int result = testsupport::RunAsPlainUser(dir.path(), [&] {
    try {
      SaveSysCanvas(path, raster::NewImage(4, 4, raster::kBlack));
    } catch (const platform::InOutError& e) {
      return std::string(e.what()) == path + ": Permission denied" ? 0 : 2;
    }
    return 1;
  });
  EXPECT_EQ(result, 0) << "1: replaced, 2: another reason";
  EXPECT_EQ(platform::ReadWholeFile(path), old);
}

TEST(SysCanvas, AFailedWriteRaisesAndLeavesTheOldPicture) {
  TempDir dir;
  const std::string path = dir.File("SysCanvas.BMP");
  SaveSysCanvas(path, raster::NewImage(3, 3, kRed));
  const std::vector<std::uint8_t> old = platform::ReadWholeFile(path);
  EXPECT_THROW(SaveSysCanvas(dir.File("no/such/dir/SysCanvas.BMP"), raster::NewImage(3, 3, kGreen)),
               platform::InOutError);
  EXPECT_EQ(platform::ReadWholeFile(path), old);
  // No temporary file is left beside the picture.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);
}
