#pragma once
// One offscreen QApplication for the controller's core tests, and a scratch directory.
#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace coretest {

inline QApplication& GuiApp() {
  static int argc = 1;
  static char name[] = "controller_core_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return new QApplication(argc, argv);
  }();
  return *app;
}

class TempDir {
 public:
  TempDir() {
    char templ[] = "/tmp/controllertest.XXXXXX";
    path_ = mkdtemp(templ);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }
  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    std::string p = path_ + "/" + name;
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<std::streamsize>(bytes.size()));
    return p;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(path_ + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  std::string path_;
};

}  // namespace coretest
