// Start-up of the drawing program to its first painted window, beside a
// minimal Qt Widgets window, in the same run. Each iteration starts this
// program afresh as a child (so the application, the platform plugin and the
// fonts are set up every time, as when a user starts the program), which
// builds the window, shows and activates it, paints it once and exits.
// Run offscreen: QT_QPA_PLATFORM=offscreen draw_app_startup_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QPixmap>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "drawapp/Main.h"
#include "platform/MessageBoxes.h"
#include "signfontmaker/SignFontMaker.h"

namespace {

std::string gSelf;

template <typename Window>
int ShowAndPaint(Window& w) {
  w.resize(1024, 700);
  w.show();
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(&w, &activate);
  const QPixmap painted = w.grab();
  return painted.isNull() ? 1 : 0;
}

// The child: one window to its first paint.
int Child(int argc, char** argv, const char* which) {
  QApplication app(argc, argv);
  if (std::strcmp(which, "main") == 0) {
    platform::ScopedRecordingBoxes boxes;
    drawapp::TfrmMain w;
    return ShowAndPaint(w);
  }
  QMainWindow w;
  w.setCentralWidget(new QLabel("minimal"));
  return ShowAndPaint(w);
}

void RunChild(benchmark::State& state, const char* which) {
  for (auto _ : state) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::execl(gSelf.c_str(), gSelf.c_str(), "--child", which, static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("the child failed");
  }
}

void MainWindowToFirstPaint(benchmark::State& state) { RunChild(state, "main"); }
BENCHMARK(MainWindowToFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

void MinimalWindowToFirstPaint(benchmark::State& state) { RunChild(state, "minimal"); }
BENCHMARK(MinimalWindowToFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--child") == 0) return Child(1, argv, argv[2]);
  gSelf = std::filesystem::canonical("/proc/self/exe").string();
  // A program directory of its own with the sign fonts the window opens.
  char tmpl[] = "/tmp/pictanex_bench.XXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  signfontmaker::WriteTaggedFonts(dir);
  ::setenv("LEDSIGN_PROGRAM_DIR", dir.c_str(), 1);
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(dir);
  return 0;
}
