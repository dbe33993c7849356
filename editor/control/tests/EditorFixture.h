#pragma once
// A control on a fresh message for a sign of a given size, with the tagged
// fixture fonts open and the message boxes recorded.
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "RecordingHost.h"
#include "common/SignFont.h"
#include "editor/BillEditor.h"
#include "editor/MessageModel.h"
#include "platform/MessageBoxes.h"
#include "signfontmaker/SignFontMaker.h"

namespace editor::testsupport {

// The work area the editor's geometry examples use.
constexpr int kPanelWidth = 790;
constexpr int kPanelHeight = 441;

// A new message for the sign, its host and the tagged fonts; no control yet.
struct SignSetup {
  explicit SignSetup(SignGeometry sign) : model(sign), host(ComputeGeometry(kPanelWidth, kPanelHeight, sign)) {
    signfontmaker::WriteTaggedFonts(fontDir.path().toStdString());
    fonts.Open(fontDir.path().toStdString());
    model.NewMessage(fontDir.path().toStdString());
  }

  TFrame& Frame() { return model.Frame(model.CurrentFrame); }
  const std::string& Codes() { return Frame().Codes[Frame().CurLine]; }
  const std::string& Fonts() { return Frame().Fonts[Frame().CurLine]; }
  int Caret() { return Frame().CaretCell[Frame().CurLine]; }

  platform::ScopedRecordingBoxes boxes;
  QTemporaryDir fontDir;
  signfont::SignFontTable fonts;
  MessageModel model;
  RecordingHost host;
};

struct EditorFixture : SignSetup {
  explicit EditorFixture(SignGeometry sign) : SignSetup(sign) {
    editor = std::make_unique<TBillEditor>(model, host, fonts);
    editor->SelectFrame(-1, 0);
    host.frameListDraws = 0;
  }

  // Types `count` characters of font `font` (ASCII letters).
  void TypeIn(int font, int count, char32_t letter = U'A') {
    model.CurrentFont = font;
    for (int i = 0; i < count; ++i) editor->TypeCharacter(letter);
  }

  std::unique_ptr<TBillEditor> editor;
};

}  // namespace editor::testsupport
