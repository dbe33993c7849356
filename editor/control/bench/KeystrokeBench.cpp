// A keystroke's work on a 160 x 16 sign: one character typed into a line of
// 25 cells of a 16-row font, and the whole frame redrawn at three times its
// size, beside a plain redraw of the same 25 glyphs at the same scale: the
// image cleared, each glyph read from its font and stretched into place.
#include <benchmark/benchmark.h>

#include <QPainter>
#include <QTemporaryDir>

#include "RecordingHost.h"
#include "editor/BillEditor.h"
#include "signfontmaker/SignFontMaker.h"

namespace {

constexpr int kXmi8x16 = 2;

struct TypingSetup {
  TypingSetup() : model({160, 16}), host(editor::ComputeGeometry(790, 441, {160, 16})) {
    signfontmaker::WriteTaggedFonts(fontDir.path().toStdString());
    fonts.Open(fontDir.path().toStdString());
    model.NewMessage(fontDir.path().toStdString());
    model.CurrentFont = kXmi8x16;
    editor = std::make_unique<editor::TBillEditor>(model, host, fonts);
    editor->SelectFrame(-1, 0);
    for (int i = 0; i < 25; ++i) editor->TypeCharacter(U'A' + static_cast<char32_t>(i));
  }

  QTemporaryDir fontDir;
  signfont::SignFontTable fonts;
  editor::MessageModel model;
  editor::testsupport::RecordingHost host;
  std::unique_ptr<editor::TBillEditor> editor;
};

void BM_KeystrokeInsertAndRedraw(benchmark::State& state) {
  TypingSetup s;
  QImage& picture = s.model.Frame(0).Picture;
  for (auto _ : state) {
    s.editor->TypeCharacter(U'Z');
    s.editor->DrawFrame(picture, 0, true);
    benchmark::DoNotOptimize(picture.constBits());
    state.PauseTiming();
    s.editor->BackspaceCell();  // back to 25 cells for the next keystroke
    state.ResumeTiming();
  }
  if (s.model.Frame(0).CellCount(1) != 25) state.SkipWithError("the line did not keep 25 cells");
}
BENCHMARK(BM_KeystrokeInsertAndRedraw)->Unit(benchmark::kMicrosecond);

void BM_PlainRedrawOfTheSameGlyphs(benchmark::State& state) {
  TypingSetup s;
  const editor::TFrame& frame = s.model.Frame(0);
  if (frame.CellCount(1) != 25) state.SkipWithError("the line does not hold 25 cells");
  const signfont::SignFontInfo& info = signfont::FontInfo(kXmi8x16);
  QImage image(480, 48, QImage::Format_RGB32);
  for (auto _ : state) {
    image.fill(qRgb(0, 0, 0));
    QPainter painter(&image);
    for (int i = 0; i < 25; ++i) {
      const QImage glyph = s.fonts.RenderGlyph(kXmi8x16, static_cast<std::uint16_t>('A' + i), qRgb(255, 0, 0), false);
      painter.drawImage(QRect(i * info.cellWidth * editor::kPictureScale, 0, info.cellWidth * editor::kPictureScale,
                              info.cellHeight * editor::kPictureScale),
                        glyph);
    }
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_PlainRedrawOfTheSameGlyphs)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
