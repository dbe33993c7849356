// A keystroke's work on a 160 x 16 sign: one character typed into a line of
// 25 cells of a 16-row font, and the whole frame redrawn at three times its
// size, beside a plain fill of the same 480 x 48 image for scale.
#include <benchmark/benchmark.h>

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

void BM_PlainFillOfTheFrameImage(benchmark::State& state) {
  QImage image(480, 48, QImage::Format_RGB32);
  for (auto _ : state) {
    image.fill(qRgb(0, 0, 0));
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_PlainFillOfTheFrameImage)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
