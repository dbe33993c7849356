// A frame file opened the way the main window opens it: the control draws
// every frame's picture once the message has taken the file's frames.
#include <filesystem>
#include <unistd.h>

#include "FrameListFixture.h"
#include "editor/FrameFile.h"

namespace fs = std::filesystem;
using namespace frametest;

namespace {

TEST_F(FrameListTest, AnOpenedFileShowsEveryFrameDrawnInTheList) {
  const fs::path path = fs::temp_directory_path() / ("frames-open-" + std::to_string(::getpid()) + ".SML");
  {
    MessageModel saved(model.Sign());
    saved.NewMessage("/docs");
    ASSERT_TRUE(saved.InsertFrame(1));
    saved.Frame(1).Layout = 1;
    // Frame file logos come back with the low bits of each colour clear.
    ASSERT_TRUE(saved.InsertLogo(1, 1, 1, Logo(qRgb(0xE0, 0x00, 0x00), 2, 16)).has_value());
    SaveFrameFile(saved, path.string());
  }
  editor.SetTextOffset(5);
  ASSERT_TRUE(LoadFrameFile(model, path.string(),
                            [&](MessageModel& open, int frame) { RedrawFramePicture(editor, open, frame); }));
  fs::remove(path);
  EXPECT_EQ(editor.TextOffset(), 5);
  editor.SelectFrame(-1, 0);
  EXPECT_EQ(labels.position, "1/2");
  // Frame 1's picture, drawn from the file and shown in row 1: the logo
  // centred, 6 screen pixels wide and the whole row high.
  const int logoLeft = geometry.EditorLeft + (geometry.EditorWidth - 6) / 2;
  EXPECT_EQ(image.pixel(logoLeft, geometry.RowTop(1)), qRgb(0xE0, 0, 0));
  EXPECT_EQ(image.pixel(logoLeft + 5, geometry.RowTop(1) + geometry.RowHeight - 1), qRgb(0xE0, 0, 0));
  EXPECT_EQ(image.pixel(logoLeft - 1, geometry.RowTop(1)), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(logoLeft + 6, geometry.RowTop(1)), qRgb(0, 0, 0));
  EXPECT_TRUE(boxes->Shown().empty());
}

}  // namespace
