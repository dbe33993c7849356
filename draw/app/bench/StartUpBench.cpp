// Start-up of the main window to its first paint, beside a minimal Qt
// Widgets window shown and painted the same way, in the same run.
// Run offscreen: QT_QPA_PLATFORM=offscreen draw_app_startup_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QPixmap>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "drawapp/Main.h"
#include "platform/MessageBoxes.h"
#include "signfontmaker/SignFontMaker.h"

namespace {

// Shows the window, activates it and paints it once into a pixmap.
template <typename Window>
void ShowAndPaint(Window& w) {
  w.resize(1024, 700);
  w.show();
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(&w, &activate);
  QPixmap painted = w.grab();
  benchmark::DoNotOptimize(painted.cacheKey());
}

void MainWindowToFirstPaint(benchmark::State& state) {
  platform::ScopedRecordingBoxes boxes;
  for (auto _ : state) {
    drawapp::TfrmMain w;
    ShowAndPaint(w);
  }
}
BENCHMARK(MainWindowToFirstPaint)->Unit(benchmark::kMillisecond);

void MinimalWindowToFirstPaint(benchmark::State& state) {
  for (auto _ : state) {
    QMainWindow w;
    w.setCentralWidget(new QLabel("minimal"));
    ShowAndPaint(w);
  }
}
BENCHMARK(MinimalWindowToFirstPaint)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // A program directory of its own with the sign fonts the window opens.
  char tmpl[] = "/tmp/pictanex_bench.XXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  signfontmaker::WriteTaggedFonts(dir);
  ::setenv("LEDSIGN_PROGRAM_DIR", dir.c_str(), 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(dir);
  return 0;
}
