#include "benchsupport/FreshStartUp.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QPixmap>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace benchsupport {
namespace {

constexpr const char* kChildFlag = "--startup-child";

int ShowAndPaint(QWidget& w) {
  w.resize(1024, 700);
  w.show();
  // The programs run their start-up at the first activation.
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(&w, &activate);
  const QPixmap painted = w.grab();
  return painted.isNull() ? 1 : 0;
}

int Child(char* self, const char* which, const StartUpProgram& program) {
  int argc = 1;
  char* argv[] = {self, nullptr};
  QApplication app(argc, argv);
  if (std::strcmp(which, "program") == 0) {
    const std::unique_ptr<QWidget> w = program.makeWindow();
    return ShowAndPaint(*w);
  }
  QMainWindow w;
  w.setCentralWidget(new QLabel("minimal"));
  return ShowAndPaint(w);
}

void RunChildren(benchmark::State& state, const std::string& self, const char* which) {
  for (auto _ : state) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::execl(self.c_str(), self.c_str(), kChildFlag, which, static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("the child failed");
      break;
    }
  }
}

}  // namespace

int FreshStartUpMain(int argc, char** argv, const StartUpProgram& program) {
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (argc == 3 && std::strcmp(argv[1], kChildFlag) == 0) return Child(argv[0], argv[2], program);

  const std::string self = std::filesystem::canonical("/proc/self/exe").string();
  char pattern[] = "/tmp/startup_bench.XXXXXX";
  const char* made = ::mkdtemp(pattern);
  if (!made) return 1;
  const std::filesystem::path dir = made;
  if (program.prepare) program.prepare(dir.string());
  std::filesystem::current_path(dir);

  benchmark::RegisterBenchmark((program.name + "WindowToFirstPaint").c_str(),
                               [&](benchmark::State& s) { RunChildren(s, self, "program"); })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("MinimalWindowToFirstPaint",
                               [&](benchmark::State& s) { RunChildren(s, self, "minimal"); })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::current_path("/");
  std::filesystem::remove_all(dir);
  return 0;
}

}  // namespace benchsupport
