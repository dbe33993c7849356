// Frames a frame file can bring, in any state of the current line, carets and
// first cells, must draw, measure and take caret keys and typing without
// reading outside a table, a line or the logo list, and without a refusal of
// the model escaping (FrameDrawingInput.h makes the frames).
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "FrameDrawingInput.h"
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
  Setup& setup = Shared();
  platform::InstallBoxes(&setup.boxes);
  std::unique_ptr<editor::MessageModel> message =
      editor::testsupport::FrameDrawingMessage(data, size, setup.dir.path().toStdString());
  if (!message) {
    platform::InstallBoxes(nullptr);
    return 0;
  }
  editor::MessageModel& model = *message;
  editor::testsupport::RecordingHost host(editor::ComputeGeometry(790, 441, model.Sign()));
  editor::TFrame& f = model.Frame(0);

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
