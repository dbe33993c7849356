// Frames of arbitrary column bytes and state (as a damaged frame file or a
// paste could give) must draw, measure and take caret keys without reading
// outside a table, a line or the logo list.
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "RecordingHost.h"
#include "editor/BillEditor.h"
#include "platform/MessageBoxes.h"
#include "signfontmaker/SignFontMaker.h"

namespace {

struct Setup {
  Setup() {
    signfontmaker::WriteTaggedFonts(dir.path().toStdString());
    fonts.Open(dir.path().toStdString());
  }
  QTemporaryDir dir;
  signfont::SignFontTable fonts;
  platform::RecordingBoxes boxes;
};

Setup& Shared() {
  static Setup setup;
  return setup;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  Setup& setup = Shared();
  platform::InstallBoxes(&setup.boxes);
  const int heights[] = {7, 8, 16};
  const editor::SignGeometry sign{8 + data[0] % 160, heights[data[1] % 3]};
  editor::MessageModel model(sign);
  model.NewMessage(setup.dir.path().toStdString());
  editor::testsupport::RecordingHost host(editor::ComputeGeometry(790, 441, sign));
  model.CurrentFont = data[2] % 10;
  model.CurrentColor = data[3] % 10;
  for (int i = 0; i < data[4] % 4; ++i) {
    QImage logo(1 + i * 7, 1 + i * 3, QImage::Format_RGB32);
    logo.fill(Qt::red);
    model.AppendLogo(logo);
  }
  editor::TFrame& f = model.Frame(0);
  f.CurLine = data[5] % 4;
  f.Layout = data[6] % 4;
  f.FixedFrame = data[7] & 1;
  f.HasFixedPart = data[7] & 2;
  f.FixedWidth = static_cast<std::uint16_t>((data[7] >> 2) * 5);
  std::size_t k = 8;
  for (; k + 6 <= size; k += 6) {
    const int line = 1 + (data[k] & 1);
    f.InsertCellAt(line, f.Length(line) + 1,
                   {static_cast<char>(data[k + 1]), static_cast<char>(data[k + 2]), static_cast<char>(data[k + 3]),
                    static_cast<char>(data[k + 4]), static_cast<char>(data[k + 5])});
  }
  const int caret = k < size ? data[k] : 1;
  f.CaretCell = {caret - 3, caret};
  f.FirstCell = {caret / 2 - 1, caret / 3};

  editor::TBillEditor editor(model, host, setup.fonts);
  editor.SelectFrame(-1, 0);
  for (int p = 0; p <= f.Length(f.CurLine) + 1; ++p) editor.CellWidth(0, p);
  editor.FrameTextWidth(0);
  for (const editor::EditorKey key : {editor::EditorKey::End, editor::EditorKey::Left, editor::EditorKey::Up,
                                      editor::EditorKey::Home, editor::EditorKey::Right, editor::EditorKey::Delete,
                                      editor::EditorKey::Down, editor::EditorKey::Backspace}) {
    editor.KeyDown(key);
    editor.DrawFrame(f.Picture, 0, true);
  }
  editor.TypeCharacter(U'A');
  editor.TypeCharacter(U'\u4E00');
  editor.ClearFrame();
  platform::InstallBoxes(nullptr);
  return 0;
}
