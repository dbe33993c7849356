// Opening a large frame file, below the window and through the window's Open.
// The start-up to the first paint is measured afresh in each process by
// editor_app_startup_bench.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <string>

#include "EditorSamples.h"
#include "editor/FrameFile.h"
#include "editorapp/Main.h"
#include "platform/MessageBoxes.h"
#include "signfontmaker/SignFontMaker.h"

namespace {

// The large messages opened, each 150 frames on a 160 x 16 sign.
struct LargeCase {
  const char* label;
  int cellsPerFrame;
  int logos;
};
constexpr LargeCase kLargeCases[] = {
    {"50 cells a frame, 52 logos", 50, 52},
    {"50 cells a frame, no logos", 50, 0},
    {"10 cells a frame, 52 logos", 10, 52},
};
constexpr int kLargeFrames = 150;

int CellsOf(const editor::MessageModel& model) {
  int cells = 0;
  for (int i = 0; i < model.FrameCount(); ++i) cells += model.Frame(i).Length(1) + model.Frame(i).Length(2);
  return cells;
}

// How a message falls short of the case's; empty when it holds all of it.
std::string Shortfall(const editor::MessageModel& model, const LargeCase& c) {
  const auto differs = [](const char* what, int has, int wanted) {
    return std::to_string(has) + " " + what + ", not " + std::to_string(wanted);
  };
  if (model.FrameCount() != kLargeFrames) return differs("frames", model.FrameCount(), kLargeFrames);
  if (model.LogoCount() != c.logos) return differs("logos", model.LogoCount(), c.logos);
  if (CellsOf(model) != kLargeFrames * c.cellsPerFrame) return differs("cells", CellsOf(model), kLargeFrames * c.cellsPerFrame);
  return {};
}

// Writes the case's message as a frame file in `dir`; its path, or "" with
// the reason in `why` when the message made is not the one asked for.
std::string WriteLarge(const QTemporaryDir& dir, const LargeCase& c, std::string& why) {
  const auto large = editorsamples::LargeMessage(kLargeFrames, c.cellsPerFrame, c.logos);
  why = Shortfall(*large, c);
  if (!why.empty()) return {};
  const std::string path = dir.path().toStdString() + "/LARGE.SML";
  editor::SaveFrameFile(*large, path);
  return path;
}

// Names the benchmark after the case and writes its file into `dir`; "" once
// the benchmark is skipped because the message made is not the one asked for.
std::string PrepareLarge(benchmark::State& state, const QTemporaryDir& dir, const LargeCase& c) {
  state.SetLabel(c.label);
  std::string why;
  const std::string path = WriteLarge(dir, c, why);
  if (path.empty()) state.SkipWithError(("the message made has " + why).c_str());
  return path;
}

// Reading the file into the model, pictures left black. Every open must take
// the whole message: a refused or short file is an error, never a figure.
void BM_OpenLargeFrameFile(benchmark::State& state) {
  const LargeCase& c = kLargeCases[state.range(0)];
  QTemporaryDir dir;
  const std::string path = PrepareLarge(state, dir, c);
  if (path.empty()) return;
  std::string why;
  editor::MessageModel model({160, 16});
  model.NewMessage(dir.path().toStdString());
  platform::ScopedRecordingBoxes boxes;
  // One open first, untimed, as in the window's figure below.
  static_cast<void>(editor::LoadFrameFile(model, path, [](editor::MessageModel&, int) {}));
  for (auto _ : state) {
    if (!editor::LoadFrameFile(model, path, [](editor::MessageModel&, int) {})) {
      state.SkipWithError(boxes->Texts().empty() ? "refused" : boxes->Texts().back().c_str());
      return;
    }
    if (model.FrameCount() != kLargeFrames || model.LogoCount() != c.logos) {
      state.SkipWithError(("the message opened has " + Shortfall(model, c)).c_str());
      return;
    }
  }
  why = Shortfall(model, c);
  if (!why.empty()) state.SkipWithError(("the message opened has " + why).c_str());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(QFileInfo(QString::fromStdString(path)).size()));
}
BENCHMARK(BM_OpenLargeFrameFile)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The window's Open: the file read, every frame's picture drawn, the first
// frame selected and the list redrawn, as the operator waits for it.
void BM_WindowOpenLargeFrameFile(benchmark::State& state) {
  const LargeCase& c = kLargeCases[state.range(0)];
  QTemporaryDir dir;
  const std::string path = PrepareLarge(state, dir, c);
  if (path.empty()) return;
  std::string why;
  qputenv("LEDSIGN_PROGRAM_DIR", dir.path().toLocal8Bit());
  qputenv("LEDSIGN_COM1", QByteArray("/nonexistent-tty"));
  signfontmaker::WriteTaggedFonts(dir.path().toStdString());
  QDir::setCurrent(dir.path());
  platform::ScopedRecordingBoxes boxes;
  editorapp::TfrmMain window;
  window.resize(1000, 700);
  window.show();
  window.FormActivate();
  if (!window.StartedUp()) {
    state.SkipWithError("the window did not start");
    return;
  }
  window.fileChoosers.openFrameFile = [&path](QWidget*, const std::string&) { return path; };
  // One open first, untimed: the first one also makes the pictures' memory,
  // and would weigh on a figure of few iterations. Each timed open replaces
  // the open 150-frame message.
  window.Load1Click();
  boxes->Clear();
  for (auto _ : state) {
    window.Load1Click();
    if (window.Model()->FrameCount() != kLargeFrames || window.Model()->LogoCount() != c.logos) {
      why = boxes->Texts().empty() ? "the message opened has " + Shortfall(*window.Model(), c) : boxes->Texts().back();
      state.SkipWithError(why.c_str());
      return;
    }
  }
  why = Shortfall(*window.Model(), c);
  if (!why.empty()) state.SkipWithError(("the message opened has " + why).c_str());
}
BENCHMARK(BM_WindowOpenLargeFrameFile)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
