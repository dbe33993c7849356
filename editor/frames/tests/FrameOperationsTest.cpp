#include "FrameListFixture.h"

using namespace frametest;

namespace {

constexpr QRgb kRed = 0xFFE00000u;
constexpr QRgb kGreen = 0xFF00E000u;
constexpr QRgb kBlue = 0xFF0000C0u;

bool AllBlack(const QImage& picture) {
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      if ((picture.pixel(x, y) & 0xFFFFFFu) != 0) return false;
  return true;
}

TEST_F(FrameListTest, TheHundredFiftyFirstFrameIsRefusedAndNothingIsSelected) {
  GrowTo(150);
  editor.SelectFrame(0, 149);
  model.Modified = false;
  ops.NewFrameAt(model.CurrentFrame + 1);
  EXPECT_EQ(model.FrameCount(), 150);
  EXPECT_EQ(model.CurrentFrame, 149);
  EXPECT_FALSE(model.Modified);
  EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{"The maximum of frames is 150!"}));
  EXPECT_FALSE(ops.InsertFrame(0));
}

TEST_F(FrameListTest, NewFramesGoBeforeOrAfterTheCurrentOneAndAreSelected) {
  AddLogo(0, kRed);
  editor.SelectFrame(-1, 0);  // the control shows the logo
  ops.NewFrameAt(model.CurrentFrame + 1);  // Insert Frame
  EXPECT_EQ(model.FrameCount(), 2);
  EXPECT_EQ(model.CurrentFrame, 1);
  EXPECT_TRUE(model.Modified);
  EXPECT_EQ(labels.modifiedMark, "*File:");
  EXPECT_EQ(labels.position, "2/2");
  // The old frame's picture was kept: it shows the logo.
  EXPECT_EQ(model.Frame(0).Picture.pixel(geometry.EditorWidth / 2, 1), kRed);

  AddLogo(1, kGreen);
  editor.SelectFrame(-1, 1);
  ops.NewFrameAt(model.CurrentFrame);  // New Frame: before the current one
  EXPECT_EQ(model.FrameCount(), 3);
  EXPECT_EQ(model.CurrentFrame, 1);
  EXPECT_TRUE(model.Frame(1).LinesEmpty());
  EXPECT_EQ(LogoNumbers(2), (std::vector<int>{1}));
  // The new frame keeps its own black picture, not the one it pushed on.
  EXPECT_TRUE(AllBlack(model.Frame(1).Picture));
  EXPECT_EQ(model.Frame(2).Picture.pixel(geometry.EditorWidth / 2, 1), kGreen);
  EXPECT_EQ(labels.position, "2/3");
}

TEST_F(FrameListTest, PreviousAndNextStopWithABeepAtTheEnds) {
  GrowTo(3);
  ops.GotoPreviousFrame();
  EXPECT_EQ(model.CurrentFrame, 0);
  EXPECT_EQ(boxes->Beeps(), 1);
  ops.GotoNextFrame();
  ops.GotoNextFrame();
  EXPECT_EQ(model.CurrentFrame, 2);
  EXPECT_EQ(labels.position, "3/3");
  ops.GotoNextFrame();
  EXPECT_EQ(model.CurrentFrame, 2);
  EXPECT_EQ(boxes->Beeps(), 2);
  ops.GotoPreviousFrame();
  EXPECT_EQ(model.CurrentFrame, 1);
  EXPECT_FALSE(model.Modified);
}

TEST_F(FrameListTest, DeletingTheOnlyFrameEmptiesItWithABeep) {
  AddLogo(0, kRed);
  model.Frame(0).Modes = "ZU";
  ops.DeleteFrame();
  EXPECT_EQ(model.FrameCount(), 1);
  EXPECT_TRUE(model.Frame(0).LinesEmpty());
  EXPECT_EQ(model.Frame(0).Modes, "");
  EXPECT_EQ(model.LogoCount(), 0);
  EXPECT_EQ(boxes->Beeps(), 1);
  EXPECT_TRUE(model.Modified);
}

TEST_F(FrameListTest, DeletingTheLastFrameWhenItIsTheTopRowScrollsUp) {
  GrowTo(7);
  AddLogo(5, kGreen);
  AddLogo(6, kRed);
  // Frame 6 is both the last frame and the top visible row.
  model.FirstVisibleRow = 6;
  editor.SelectFrame(-1, 6);
  ASSERT_EQ(model.FirstVisibleRow, 6);
  ops.DeleteFrame();
  EXPECT_EQ(model.FrameCount(), 6);
  EXPECT_EQ(model.CurrentFrame, 5);
  EXPECT_EQ(model.FirstVisibleRow, 5);
  EXPECT_EQ(model.LogoCount(), 1);
  EXPECT_EQ(LogoColour(0), kGreen);
  EXPECT_EQ(labels.position, "6/6");
  // Row 0 holds frame 5; the row below it is the empty panel again.
  EXPECT_TRUE(painted[0]);
  EXPECT_FALSE(painted[1]);
  EXPECT_EQ(image.pixel(geometry.EditorLeft + 10, geometry.RowTop(1) + 10), kPanelGrey);
}

TEST_F(FrameListTest, DeletingAMiddleFrameSelectsTheOneAfterIt) {
  GrowTo(3);
  AddLogo(2, kBlue);
  editor.SelectFrame(-1, 1);
  ops.DeleteFrame();
  EXPECT_EQ(model.FrameCount(), 2);
  EXPECT_EQ(model.CurrentFrame, 1);
  EXPECT_EQ(LogoNumbers(1), (std::vector<int>{0}));
}

TEST_F(FrameListTest, DeletingAFixedFrameGivesTheFramesAfterItTheFixedPartBefore) {
  GrowTo(5);
  ASSERT_TRUE(model.MakeFixed(0, 10));
  ASSERT_TRUE(model.MakeFixed(2, 20));
  ASSERT_EQ(model.Frame(3).FixedWidth, 20);
  editor.SelectFrame(-1, 2);
  ops.DeleteFrame();
  ASSERT_EQ(model.FrameCount(), 4);
  for (int j = 1; j < 4; ++j) {
    EXPECT_TRUE(model.Frame(j).HasFixedPart) << j;
    EXPECT_EQ(model.Frame(j).FixedWidth, 10) << j;
  }
  // The pictures of the frames whose fixed part changed are drawn again: the
  // fixed part's place (10 sign pixels, 30 screen pixels) silver, the rest black.
  const QImage& picture = model.Frame(3).Picture;
  EXPECT_EQ(picture.pixel(29, 20), kSilver);
  EXPECT_EQ(picture.pixel(30, 20) & 0xFFFFFFu, 0u);

  // Deleting the only fixed frame ends the fixed part of the frames after it.
  editor.SelectFrame(-1, 0);
  ops.DeleteFrame();
  for (int j = 0; j < 3; ++j) {
    EXPECT_FALSE(model.Frame(j).HasFixedPart) << j;
    EXPECT_EQ(model.Frame(j).FixedWidth, 0) << j;
  }
  EXPECT_EQ(model.Frame(2).Picture.pixel(10, 20) & 0xFFFFFFu, 0u);
}

TEST_F(FrameListTest, PastedLogosGetNewNumbersAndPicturesOfTheirOwn) {
  GrowTo(2);
  AddLogo(0, kRed);
  AddLogo(0, kGreen);
  model.Frame(0).Speed = 1;
  model.Frame(0).Modes = "ZU";
  ops.CopyFrame();
  EXPECT_FALSE(model.Modified);
  editor.SelectFrame(0, 1);
  ops.PasteFrame();
  EXPECT_EQ(model.LogoCount(), 4);
  EXPECT_EQ(LogoNumbers(1), (std::vector<int>{2, 3}));
  EXPECT_EQ(LogoColour(2), kRed);
  EXPECT_EQ(LogoColour(3), kGreen);
  EXPECT_EQ(model.Frame(1).Modes, "ZU");
  EXPECT_TRUE(model.Modified);
  // The control shows the pasted logos: two logos of 4 x 5, centred.
  const int left = (geometry.EditorWidth - 2 * 4 * 3) / 2;
  EXPECT_EQ(editor.Canvas().pixel(left + 1, 1), kRed);
  EXPECT_EQ(editor.Canvas().pixel(left + 13, 1), kGreen);
}

TEST_F(FrameListTest, CutThenALogoDeletedThenPasteBringsBackTheCutPictures) {
  GrowTo(2);
  AddLogo(0, kRed);
  AddLogo(0, kGreen);
  AddLogo(1, kBlue);
  model.Modified = false;
  ops.CutFrame();
  EXPECT_TRUE(model.Frame(0).LinesEmpty());
  EXPECT_EQ(model.LogoCount(), 1);
  EXPECT_EQ(LogoNumbers(1), (std::vector<int>{0}));
  EXPECT_TRUE(model.Modified);

  // The last logo of the message goes too; the clipboard keeps its own.
  ASSERT_TRUE(model.DeleteCell(1, 1, 1));
  EXPECT_EQ(model.LogoCount(), 0);
  ops.PasteFrame();
  EXPECT_EQ(LogoNumbers(0), (std::vector<int>{0, 1}));
  EXPECT_EQ(model.LogoCount(), 2);
  EXPECT_EQ(LogoColour(0), kRed);
  EXPECT_EQ(LogoColour(1), kGreen);

  // A paste over a frame with a logo frees that logo; New keeps the clipboard.
  AddLogo(1, kBlue);
  editor.SelectFrame(0, 1);
  ops.PasteFrame();
  EXPECT_EQ(model.LogoCount(), 4);
  EXPECT_EQ(LogoNumbers(1), (std::vector<int>{2, 3}));
  for (int n = 0; n < 4; ++n) EXPECT_NE(LogoColour(n), kBlue) << n;
  model.NewMessage("/docs");
  editor.SelectFrame(-1, 0);
  ops.PasteFrame();
  EXPECT_EQ(model.LogoCount(), 2);
  EXPECT_EQ(LogoColour(1), kGreen);
}

TEST_F(FrameListTest, PasteBeforeAnyCopyDoesNothing) {
  AddLogo(0, kRed);
  ops.PasteFrame();
  EXPECT_EQ(LogoNumbers(0), (std::vector<int>{0}));
  EXPECT_FALSE(model.Modified);
}

TEST_F(FrameListTest, FileNameAndModifiedMark) {
  ops.SetFileName("/docs/SHOP.SML");
  EXPECT_EQ(model.DocFileName, "/docs/SHOP.SML");
  EXPECT_EQ(labels.fileName, "/docs/SHOP.SML");
  ops.SetModified(true);
  EXPECT_TRUE(model.Modified);
  EXPECT_EQ(labels.modifiedMark, "*File:");
  ops.SetModified(false);
  EXPECT_FALSE(model.Modified);
  EXPECT_EQ(labels.modifiedMark, "File:");
}

}  // namespace
