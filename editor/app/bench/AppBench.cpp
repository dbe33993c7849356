// Opening a large frame file, and the main window's start-up to its first
// paint beside a minimal window's, in the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>

#include "EditorSamples.h"
#include "editor/FrameFile.h"
#include "editorapp/Main.h"
#include "platform/MessageBoxes.h"
#include "signfontmaker/SignFontMaker.h"

namespace {

// 150 frames of 50 cells with 52 logos, read back whole (pictures left black).
void BM_OpenLargeFrameFile(benchmark::State& state) {
  const int variant = static_cast<int>(state.range(0));
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/LARGE.SML";
  auto large = variant == 0 ? editorsamples::LargeMessage(150, 50, 52) : variant == 1 ? editorsamples::LargeMessage(150, 50, 0) : editorsamples::LargeMessage(150, 10, 52);
  editor::SaveFrameFile(*large, path);
  editor::MessageModel model({160, 16});
  model.NewMessage(dir.path().toStdString());
  platform::ScopedRecordingBoxes boxes;
  for (auto _ : state) {
    if (!editor::LoadFrameFile(model, path, [](editor::MessageModel&, int) {})) {
      state.SkipWithError(boxes->Texts().empty() ? "refused" : boxes->Texts().back().c_str());
      break;
    }
    benchmark::DoNotOptimize(model.FrameCount());
  }
}
BENCHMARK(BM_OpenLargeFrameFile)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_MinimalWindowFirstPaint(benchmark::State& state) {
  for (auto _ : state) {
    QLabel window("x");
    window.resize(1000, 700);
    window.show();
    benchmark::DoNotOptimize(window.grab());
  }
}
BENCHMARK(BM_MinimalWindowFirstPaint)->Unit(benchmark::kMillisecond);

void BM_MainWindowStartUpFirstPaint(benchmark::State& state) {
  QTemporaryDir dir;
  qputenv("LEDSIGN_PROGRAM_DIR", dir.path().toLocal8Bit());
  qputenv("LEDSIGN_COM1", QByteArray("/nonexistent-tty"));
  signfontmaker::WriteTaggedFonts(dir.path().toStdString());
  QDir::setCurrent(dir.path());
  platform::ScopedRecordingBoxes boxes;
  for (auto _ : state) {
    editorapp::TfrmMain window;
    window.resize(1000, 700);
    window.show();
    window.FormActivate();
    benchmark::DoNotOptimize(window.grab());
  }
}
BENCHMARK(BM_MainWindowStartUpFirstPaint)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
