#include <gtest/gtest.h>

#include "TextTestSupport.h"
#include "common/Raster.h"
#include "draw/text/TextBox.h"
#include "platform/MessageBoxes.h"

using raster::kBlack;
using raster::PixelAt;
using namespace texttest;

namespace {

class CommitTest : public testing::Test, public TextBoxFixture {
 protected:
  CommitTest() {
    // A grey picture, shown on the view.
    model.Picture().fill(kGrey);
    model.CopyPictureToView();
  }
  // Every picture pixel: `inside` gives it for the box's area, the rest grey.
  template <typename Inside>
  void ExpectPicture(QRect area, Inside inside) {
    for (int y = 0; y < model.Picture().height(); ++y) {
      for (int x = 0; x < model.Picture().width(); ++x) {
        const QRgb want = area.contains(x, y) ? inside(x - area.left(), y - area.top()) : kGrey;
        ASSERT_EQ(PixelAt(model.Picture(), x, y), want) << x << "," << y;
      }
    }
    for (int y = 0; y < model.View().height(); ++y)
      for (int x = 0; x < model.View().width(); ++x)
        ASSERT_EQ(PixelAt(model.View(), x, y), PixelAt(model.Picture(), x / 3, y / 3)) << "view " << x << "," << y;
  }
  platform::ScopedRecordingBoxes boxes;
};

TEST_F(CommitTest, TwelveByEightAtThirtySixty) {
  box.Open({30, 60});
  Type(kCur6x8, U"AB");
  draw::CommitTextBox(model, box, false);
  ExpectPicture(QRect(10, 20, 12, 8), [](int x, int y) {
    return x < 6 ? TaggedColour(0, 'A', x, y, kRed) : TaggedColour(0, 'B', x - 6, y, kRed);
  });
}

TEST_F(CommitTest, APositionOffTheGridIsCutDown) {
  box.Open({32, 61});
  Type(kCur6x8, U"A");
  draw::CommitTextBox(model, box, false);
  ExpectPicture(QRect(10, 20, 6, 8), [](int x, int y) { return TaggedColour(0, 'A', x, y, kRed); });
}

TEST_F(CommitTest, AnEmptyBoxChangesNothing) {
  box.Open({30, 60});
  box.KeyDown(draw::TextKey::kEnter);  // empty lines only
  const QImage picture = model.Picture();
  const QImage view = model.View();
  draw::CommitTextBox(model, box, false);
  EXPECT_EQ(model.Picture(), picture);
  EXPECT_EQ(model.View(), view);
}

TEST_F(CommitTest, TransparentOrsOpaqueCopies) {
  for (bool transparent : {false, true}) {
    SCOPED_TRACE(transparent ? "transparent" : "opaque");
    model.Picture().fill(kGrey);
    model.CopyPictureToView();
    box.Open({0, 3});
    Type(kXmi8x16, U"Z");
    draw::CommitTextBox(model, box, transparent);
    ExpectPicture(QRect(0, 1, 8, 16), [&](int x, int y) {
      const bool lit = TaggedLit(2, 'Z', x, y);
      if (transparent) return lit ? (kRed | kGrey) : kGrey;  // black leaves the picture
      return lit ? kRed : kBlack;
    });
  }
}

TEST_F(CommitTest, TheTwelfthColumnOfTheWideItalicNeverShows) {
  // Row 0 of the tagged 'A' holds ~'A' in its second byte, whose column 11 is lit.
  ASSERT_TRUE(TaggedLit(6, 'A', 11, 0));
  box.Open({0, 0});
  Type(kCuri11x16, U"A");
  EXPECT_EQ(box.ContentWidth(), 11);
  for (bool transparent : {false, true}) {
    draw::CommitTextBox(model, box, transparent);
    for (int y = 0; y < 16; ++y) ASSERT_EQ(PixelAt(model.Picture(), 11, y), kGrey) << y;
    EXPECT_EQ(PixelAt(model.Picture(), 10, 0), TaggedColour(6, 'A', 10, 0, kRed));
  }
}

TEST_F(CommitTest, ThePictureIsFirstBroughtUpToDateWithTheView) {
  // A stroke on the view only, as the pencil leaves it.
  raster::FillBox(model.View(), raster::Box{300, 0, 303, 3}, kGreen);
  box.Open({0, 0});
  Type(kCur6x8, U"A");
  draw::CommitTextBox(model, box, false);
  EXPECT_EQ(PixelAt(model.Picture(), 100, 0), kGreen);
  EXPECT_EQ(PixelAt(model.View(), 301, 1), kGreen);
}

}  // namespace
