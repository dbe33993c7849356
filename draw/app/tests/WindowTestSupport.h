#pragma once
// Shared by the tests of the drawing program's window: a temporary program
// directory with fixture sign fonts and a working directory, the window
// started up on a drawing area of 740 x 351, and the mouse as a user moves it.
#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QToolButton>
#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "draw/DrawModel.h"
#include "draw/ToolWidgets.h"
#include "drawapp/Main.h"
#include "signfontmaker/SignFontMaker.h"

namespace drawapptest {

namespace fs = std::filesystem;

// Made for one test and removed after it; the current directory is the
// working directory meanwhile. The program directory's name is of mixed case
// on purpose: the program keeps it.
class TryOutDirs {
 public:
  TryOutDirs() {
    char tmpl[] = "/tmp/drawmain_test.XXXXXX";
    root = ::mkdtemp(tmpl);
    programDir = root / "Program Dir";
    workDir = root / "work";
    fs::create_directories(programDir);
    fs::create_directories(workDir);
    signfontmaker::WriteTaggedFonts(programDir.string());
    ::setenv("LEDSIGN_PROGRAM_DIR", programDir.c_str(), 1);
    QDir::setCurrent(QString::fromStdString(workDir.string()));
  }
  ~TryOutDirs() {
    QDir::setCurrent("/tmp");
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  TryOutDirs(const TryOutDirs&) = delete;
  TryOutDirs& operator=(const TryOutDirs&) = delete;

  fs::path root;
  fs::path programDir;
  fs::path workDir;
};

// A window shown and started up (its first activation) on a drawing area of 740 x 351.
inline std::unique_ptr<drawapp::TfrmMain> StartWindow() {
  auto w = std::make_unique<drawapp::TfrmMain>();
  w->palImg->setFixedSize(740, 351);
  w->show();
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(w.get(), &activate);
  return w;
}

inline void ChooseTool(drawapp::TfrmMain& w, draw::DrawTool tool) {
  w.spdTools->Button(static_cast<int>(tool))->click();
}

inline void Click(QWidget* widget, QPoint at) { QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at); }

// A press at `from`, moves in `steps` even steps with the left button held, and
// the release at `to`.
inline void Drag(QWidget* widget, QPoint from, QPoint to, int steps = 4) {
  QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, from);
  for (int i = 1; i <= steps; ++i) {
    const QPointF at = QPointF(from) + QPointF(to - from) * (double(i) / steps);
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
  }
  QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, to);
}

// The view point in the middle of sign pixel (x, y) while the view is shown.
inline QPoint SignPoint(int x, int y) {
  return QPoint(x * draw::kViewScale + 1, y * draw::kViewScale + 1);
}

}  // namespace drawapptest
