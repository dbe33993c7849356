// The frames the drawing fuzzer gives the control are those a frame file can
// bring. Its finding of a line of nothing but trail cells, on which typing
// made the model refuse "a cell cannot go before a trail cell", is such a
// frame no file can bring (the reader refuses a trail without its lead) and
// no key can make (a pair goes in and out whole).
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <string>
#include <vector>

#include "EditorFixture.h"
#include "FrameDrawingInput.h"
#include "editor/FrameFile.h"

namespace editor {
namespace {

using testsupport::FrameDrawingMessage;

// The fuzzer's header: a 48 x 16 sign, font 3, colour 0, two logos, line 2
// current, layout undecided, not fixed; then cells of six bytes each.
const std::vector<std::uint8_t> kHeader{0x28, 0x02, 0x7B, 0x00, 0x72, 0x72, 0x00, 0x58};

std::vector<std::uint8_t> WithCells(const std::vector<std::string>& cells) {
  std::vector<std::uint8_t> bytes = kHeader;
  for (const std::string& c : cells) bytes.insert(bytes.end(), c.begin(), c.end());
  return bytes;
}

TEST(FrameDrawingInput, TheLineOfTrailCellsFoundIsNoFrameAFileCanBring) {
  QTemporaryDir dir;
  // Nine cells on line 1 of 'X' in every column: trail cells of an unknown kind.
  const std::vector<std::uint8_t> found = WithCells(std::vector<std::string>(9, "XXXXXX"));
  EXPECT_EQ(FrameDrawingMessage(found.data(), found.size(), dir.path().toStdString()), nullptr);

  // The same line as a file: the reader refuses it at its first cell.
  MessageModel model({48, 16});
  model.NewMessage(dir.path().toStdString());
  model.Frame(0).Layout = 1;
  for (int pos = 1; pos <= 9; ++pos) model.Frame(0).InsertCellAt(1, pos, {kKindCharacter, 'X', kTrailFont, '0', '0'});
  try {
    DecodeFrameFile(EncodeFrameFile(model), model.Sign());
    ADD_FAILURE() << "a line of trail cells was read";
  } catch (const BadFrameFile& e) {
    EXPECT_EQ(std::string(e.what()), "Frame 1, line 1, cell 1: a trail byte does not follow a lead byte.");
  }
}

TEST(FrameDrawingInput, FramesAFileCanBringAreKeptWithTheirState) {
  QTemporaryDir dir;
  // A one-line frame of 'A', a double-byte pair of font 8 and a logo, then the caret byte.
  std::vector<std::uint8_t> bytes =
      WithCells({std::string("\x00NA30", 5) + "0", std::string("\x00N\xA4" "80", 5) + "0",
                 std::string("\x00N@X0", 5) + "0", std::string("\x00@000", 5) + "0"});
  bytes[6] = 0x01;  // layout 1
  bytes[7] = 0x00;  // no fixed width: the reader refuses one wider than the sign
  bytes.push_back(4);
  const auto model = FrameDrawingMessage(bytes.data(), bytes.size(), dir.path().toStdString());
  ASSERT_NE(model, nullptr);
  const TFrame& f = model->Frame(0);
  EXPECT_EQ(f.Kinds[1], "NNN@");
  EXPECT_EQ(f.Fonts[1], "38X0");
  EXPECT_EQ(model->LogoCount(), 2);
  EXPECT_EQ(model->CurrentFont, 3);
  EXPECT_EQ(f.CurLine, 2);
  EXPECT_EQ(f.CaretCell, (PerLine<std::int32_t>{1, 4}));
  EXPECT_EQ(f.FirstCell, (PerLine<std::int32_t>{1, 1}));
}

// Every caret key on lines of pairs leaves the caret off the trail cells, so
// typing after any of them goes in.
TEST(FrameDrawingInput, CaretKeysNeverRestOnATrailOfAPairLine) {
  const EditorKey keys[] = {EditorKey::End,  EditorKey::Left,  EditorKey::Backspace, EditorKey::Home,
                            EditorKey::Right, EditorKey::Delete, EditorKey::Left,      EditorKey::Right};
  for (int start = 1; start <= 7; ++start) {
    SCOPED_TRACE(start);
    testsupport::EditorFixture fx({160, 16});
    fx.model.CurrentFont = 1;  // 8 rows: the pairs of font 8 go with it
    for (int i = 0; i < 3; ++i) fx.editor->TypeCharacter(U'\u4E00');
    ASSERT_EQ(fx.Fonts(), "8X8X8X");
    fx.Frame().CaretCell[1] = start;
    for (const EditorKey key : keys) {
      fx.editor->KeyDown(key);
      EXPECT_FALSE(fx.Frame().IsTrail(1, fx.Caret())) << static_cast<int>(key);
      fx.editor->TypeCharacter(U'B');
    }
    EXPECT_TRUE(fx.boxes->Texts().empty());
  }
}

}  // namespace
}  // namespace editor
