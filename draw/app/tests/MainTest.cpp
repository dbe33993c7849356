// The drawing program's main window, offscreen, in a temporary program
// directory with fixture sign fonts: its menus, start-up, drawing into logos
// and saving them, closing and the working picture kept between runs.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "common/LogoFile.h"
#include "common/Raster.h"
#include "drawtest/BitmapBytes.h"
#include "draw/LogoPanel.h"
#include "draw/ToolController.h"
#include "draw/ZoomWidgets.h"
#include "draw/text/TextBox.h"
#include "draw/text/TextBoxWidget.h"
#include "drawapp/About.h"
#include "draw/ToolWidgets.h"
#include "drawapp/Main.h"
#include "platform/BinaryFile.h"
#include "platform/MessageBoxes.h"
#include "platform/QtMessageBoxes.h"
#include "WindowTestSupport.h"
#include "testsupport/OpenPerUserFolder.h"
#include "testsupport/WhenModal.h"

namespace fs = std::filesystem;
using drawapp::TfrmMain;
using draw::DrawTool;
using drawapptest::ChooseTool;
using drawapptest::Click;

namespace {

constexpr QRgb kRed = 0xFFFF1F3Fu;    // item "2", code 0xE0
constexpr QRgb kGreen = 0xFF1FFF3Fu;  // item "4", code 0x1C

std::string Utf8(const QString& s) { return s.toStdString(); }

}  // namespace

class DrawMainTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<drawapptest::TryOutDirs> dirs_;
  fs::path programDir_;
  fs::path workDir_;
  std::unique_ptr<platform::ScopedRecordingBoxes> boxes_;

  static std::unique_ptr<TfrmMain> Start() { return drawapptest::StartWindow(); }
  std::string SysCanvas() const { return (programDir_ / "SysCanvas.BMP").string(); }
  // Closes the window as the user does; true when it closed.
  bool Close(TfrmMain& w) {
    w.close();
    return !w.isVisible();
  }
  // A green view with one red sign pixel at (2, 0).
  void DrawGreenWithRed(TfrmMain& w) {
    w.cboColor->setCurrentIndex(3);
    ChooseTool(w, DrawTool::kFill);
    Click(w.Img, QPoint(100, 100));
    w.cboColor->setCurrentIndex(1);
    ChooseTool(w, DrawTool::kPencil);
    Click(w.Img, QPoint(7, 1));
  }

 private slots:
  void init() {
    dirs_ = std::make_unique<drawapptest::TryOutDirs>();
    programDir_ = dirs_->programDir;
    workDir_ = dirs_->workDir;
    boxes_ = std::make_unique<platform::ScopedRecordingBoxes>();
  }
  void cleanup() {
    boxes_.reset();
    dirs_.reset();
  }

  void menusAndShortcutsAreExactlyTheTable() {
    TfrmMain w;
    // menu | item | shortcut; "-" a separator.
    const std::vector<std::string> expected = {
        "&File|&New|",         "&File|&Open|Ctrl+L",      "&File|&Save|Ctrl+S",       "&File|Save As...|",
        "&File|-|",            "&File|&Exit|",            "&Logo|Insert|",            "&Logo|Replace|",
        "&Logo|&Delete|",      "&Logo|&Clear|",           "&Logo|&Edit|",             "Tools|&Cut|Ctrl+X",
        "Tools|C&opy|Ctrl+C",  "Tools|&Paste|Ctrl+V",     "Tools|-|",                 "Tools|&Transparent|",
        "Tools|Clear &Scratch|", "&Picture|Load &BMP files|", "&Help|&About Pictane...|",
    };
    std::vector<std::string> actual;
    for (QAction* menuAction : w.menuBar()->actions()) {
      for (QAction* item : menuAction->menu()->actions()) {
        actual.push_back(Utf8(menuAction->text()) + "|" + (item->isSeparator() ? "-" : Utf8(item->text())) + "|" +
                         Utf8(item->shortcut().toString()));
      }
    }
    QCOMPARE(actual, expected);
    QCOMPARE(w.windowTitle(), QString("Tessaly Signal Works, Inc."));
    QCOMPARE(w.frmAbout->windowTitle(), QString("About"));
  }

  void theLogoFilterListsLogoFilesInEitherCase() {
    for (const char* name : {"A.LOG", "b.log", "c.Log", "d.txt", "e.LOGX"}) std::ofstream(workDir_ / name) << "x";
    auto dialog = drawapp::LogoFileDialog(nullptr, false, (workDir_ / "*.LOG").string());
    QCOMPARE(dialog->directory().absolutePath(), QString::fromStdString(workDir_.string()));
    QCOMPARE(dialog->defaultSuffix(), QString("LOG"));
    auto* files = dialog->findChild<QFileSystemModel*>();
    QVERIFY(files);
    const QModelIndex root = files->index(QString::fromStdString(workDir_.string()));
    QTRY_COMPARE(files->rowCount(root), 3);
    QStringList listed;
    for (int row = 0; row < files->rowCount(root); ++row) listed << files->index(row, 0, root).data().toString();
    listed.sort();
    QCOMPARE(listed, (QStringList{"A.LOG", "b.log", "c.Log"}));
    QVERIFY(!drawapp::LogoFileDialog(nullptr, true, "x")->testOption(QFileDialog::DontConfirmOverwrite));
  }

  void startUpSetsTheViewsFromTheDrawingArea() {
    std::ofstream(programDir_ / "SML_WIN.INI") << "[System]\r\nSign Width=160\r\nSign Height=16\r\n";
    const auto before = fs::last_write_time(programDir_ / "SML_WIN.INI");
    auto w = Start();
    QVERIFY(w->StartedUp());
    QCOMPARE(w->Model().View().size(), QSize(738, 351));
    QCOMPARE(w->Model().Picture().size(), QSize(246, 117));
    QCOMPARE(w->Zoom().Logic().ZoomWidth(), 74);
    QCOMPARE(w->Zoom().Logic().ZoomHeight(), 36);
    QCOMPARE(w->Zoom().palZoomWin()->size(), QSize(82, 44));
    QCOMPARE(w->Model().View().pixel(737, 350), raster::kBlack);
    // Eight rows high whatever the file says.
    QCOMPARE(w->palSignSize->text(), QString("8(H)x160(W)"));
    QCOMPARE(w->Model().SignHeight(), 8);
    QCOMPARE(w->Model().CurrentTool(), DrawTool::kPencil);
    QVERIFY(w->spdTools->Button(2)->isChecked());
    QCOMPARE(w->cboColor->currentIndex(), 1);
    QCOMPARE(w->palLogo->palFrameInfo->text(), QString("0/0  0 X 0"));
    QCOMPARE(w->lblFN->text(), QString::fromStdString((workDir_ / "NEW.LOG").string()));
    QCOMPARE(w->lblFN_M->text(), QString("File:"));
    QCOMPARE(w->palLogo->palF->size(), QSize(480, 24));
    QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$").match(w->palTime->text()).hasMatch());
    QCOMPARE(w->ProgramDir(), programDir_.string());
    for (int font = 0; font < 7; ++font) QVERIFY(w->SignFonts().IsOpen(font));
    QVERIFY(!w->spdCut->isEnabled());
    QVERIFY(!w->palLogo->spdInsert->isEnabled());
    QVERIFY((*boxes_)->Texts().empty());
    QCOMPARE(fs::last_write_time(programDir_ / "SML_WIN.INI"), before);

    // The Sign Frame box is the sign's 160 x 8.
    ChooseTool(*w, DrawTool::kSignFrame);
    QCOMPARE(w->Tools().Box().Rect(), QRect(0, 0, 480, 24));
    QCOMPARE(w->lblClipping->text(), QString("8x160"));
    QVERIFY(w->SaveBox->isVisible());
    QVERIFY(w->palLogo->spdInsert->isEnabled());
    QVERIFY(w->MenuItem("miInsert")->isEnabled());
  }

  void aMissingSettingsFileIsNotWrittenAndABadValueTakesItsDefault() {
    {
      auto w = Start();
      QCOMPARE(w->palSignSize->text(), QString("8(H)x160(W)"));
    }
    QVERIFY(!fs::exists(programDir_ / "SML_WIN.INI"));
    std::ofstream(programDir_ / "SML_WIN.INI") << "[System]\nSign Width=big\n";
    auto w = Start();
    QCOMPARE((*boxes_)->Texts().size(), std::size_t{1});
    QCOMPARE(w->palSignSize->text(), QString("8(H)x160(W)"));
    // Start-up went on to the end.
    QCOMPARE(w->palLogo->palFrameInfo->text(), QString("0/0  0 X 0"));
    QVERIFY(w->SignFonts().IsOpen(6));
  }

  // A settings file over the size bound: said once, the default size used,
  // and start-up goes on to the end.
  void aSettingsFileThatCannotBeReadIsSaidAndStartUpGoesOn() {
    const std::string ini = (programDir_ / "SML_WIN.INI").string();
    std::ofstream(ini) << "[System]\nSign Width=96\n; " << std::string(std::size_t{1} << 20, 'x') << "\n";
    auto w = Start();
    QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{"The settings file " + ini +
                                                          " cannot be read (File too large, more than 1 MiB). The "
                                                          "default settings are used, and the file is not written "
                                                          "until the program is started again."});
    QCOMPARE(w->palSignSize->text(), QString("8(H)x160(W)"));
    QCOMPARE(w->palLogo->palFrameInfo->text(), QString("0/0  0 X 0"));
  }

  void aMissingFontIsReportedAndTheOthersOpen() {
    fs::remove(programDir_ / "CUR0707.PTN");
    auto w = Start();
    const auto texts = (*boxes_)->Texts();
    QCOMPARE(texts.size(), std::size_t{1});
    QVERIFY(texts[0].find("CUR0707.PTN") != std::string::npos);
    QVERIFY(w->SignFonts().IsOpen(0));
    QVERIFY(!w->SignFonts().IsOpen(1));
    for (int font = 2; font < 7; ++font) QVERIFY(w->SignFonts().IsOpen(font));
    QCOMPARE(w->palLogo->palFrameInfo->text(), QString("0/0  0 X 0"));
  }

  void startUpRunsOnceAndTheAboutBoxChangesNothing() {
    auto w = Start();
    DrawGreenWithRed(*w);
    ChooseTool(*w, DrawTool::kEraser);
    const QImage view = w->Model().View().copy();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(w.get(), &activate);
    bool shown = false;
    bool fixedSize = false;
    QTimer::singleShot(0, w.get(), [&] {
      shown = w->frmAbout->isVisible();
      // A dialog border: the box cannot be resized.
      fixedSize = w->frmAbout->minimumSize() == w->frmAbout->maximumSize();
      w->frmAbout->reject();
    });
    w->MenuItem("About1")->trigger();
    QVERIFY(shown);
    QVERIFY(fixedSize);
    QCOMPARE(w->frmAbout->result(), int(QDialog::Accepted));
    QApplication::sendEvent(w.get(), &activate);
    QCOMPARE(w->Model().View(), view);
    QCOMPARE(w->Model().CurrentTool(), DrawTool::kEraser);
    QCOMPARE(w->cboColor->currentIndex(), 1);
  }

  void drawingFramingInsertingAndSavingGiveTheLogoFile() {
    auto w = Start();
    DrawGreenWithRed(*w);
    ChooseTool(*w, DrawTool::kSignFrame);
    w->palLogo->spdInsert->click();
    QCOMPARE(w->palLogo->palFrameInfo->text(), QString("1/1  8 X 160"));
    QCOMPARE(w->lblFN_M->text(), QString("*File:"));
    QCOMPARE(w->palLogo->ImgF->Logo().pixel(7, 1), kRed);
    const std::string path = (workDir_ / "SIGN.LOG").string();
    w->fileDialogs.saveLogo = [&](QWidget*, const std::string& current) {
      [&] { QCOMPARE(current, (workDir_ / "NEW.LOG").string()); }();
      return path;
    };
    w->MenuItem("SaveAs1")->trigger();
    QCOMPARE(w->lblFN_M->text(), QString("File:"));
    QCOMPARE(w->lblFN->text(), QString::fromStdString(path));

    // One logo of 160 x 8: green, green, red, then 1277 green pixels: a
    // literal of three, ten runs of 127 and a run of 7.
    std::vector<std::uint8_t> expected = {0x01, 0x00, '-',  'L',  'O',  'G',  'O', '-',
                                          0xA0, 0x00, 0x08, 0x00, 0x03, 0x1C, 0x1C, 0xE0};
    for (int i = 0; i < 10; ++i) {
      expected.push_back(0xFF);
      expected.push_back(0x1C);
    }
    expected.push_back(0x87);
    expected.push_back(0x1C);
    QCOMPARE(platform::ReadWholeFile(path), expected);

    // The editor's logo picker reads it with its exact magic.
    const std::vector<QImage> picked = logofile::LoadLogoFile(path, logofile::MagicRule::kExactMagic);
    QCOMPARE(picked.size(), std::size_t{1});
    QCOMPARE(picked[0].size(), QSize(480, 24));
    QCOMPARE(picked[0].pixel(7, 1), kRed);
    QCOMPARE(picked[0].pixel(10, 1), kGreen);
    QVERIFY((*boxes_)->Texts().empty());

    // New empties the list without a question; Open (Ctrl+L) brings it back.
    w->MenuItem("New1")->trigger();
    QCOMPARE(w->palLogo->palFrameInfo->text(), QString("0/0  0 X 0"));
    QCOMPARE(w->MenuItem("Open1")->shortcut(), QKeySequence("Ctrl+L"));
    w->fileDialogs.openLogo = [&](QWidget*, const std::string&) { return path; };
    w->MenuItem("Open1")->trigger();
    QCOMPARE(w->palLogo->palFrameInfo->text(), QString("1/1  8 X 160"));
    QCOMPARE(w->palLogo->cboFrame->count(), 1);
    QCOMPARE(w->lblFN->text(), QString::fromStdString(path));
    QCOMPARE(w->palLogo->ImgF->Logo().pixel(7, 1), kRed);
    QVERIFY((*boxes_)->Texts().empty());

    // Kept as a test artifact: the window with its drawing.
    w->resize(1100, 560);
    QApplication::processEvents();
    const QString dir = SCREENSHOT_DIR;
    QDir().mkpath(dir);
    QVERIFY(w->grab().save(dir + "/pictanex_main.png"));
  }

  void closingKeepsTheViewAndTheNextStartShowsIt() {
    QImage view;
    {
      auto w = Start();
      DrawGreenWithRed(*w);
      view = w->Model().View().copy();
      QVERIFY(Close(*w));
      QVERIFY((*boxes_)->Texts().empty());  // nothing changed in the list: no question
    }
    QVERIFY(platform::FileExists(SysCanvas()));
    auto again = Start();
    QCOMPARE(again->Model().View(), view);
    QCOMPARE(again->Model().View().pixel(7, 1), kRed);
  }

  // A working picture saved on a larger screen keeps its own size: the view's
  // bitmap is the file's 1000 x 100 while its control is the drawing area's
  // 738 x 351. The control shows the bitmap's top left (the rest of the area
  // its white), the picture and the tools work on what the control shows, and
  // the close writes back every column and row of the file.
  void aWorkingPictureLargerThanTheAreaIsKeptWhole() {
    constexpr int kWidth = 1000, kHeight = 100;
    // Every pixel its own: red and green from the column, blue from the row.
    auto colour = [](int x, int y) -> QRgb { return qRgb(x % 256, x / 256 * 60 + 5, y * 2); };
    drawtest::BitmapLayout layout{kWidth, kHeight, 24, 0, {}, {}, {}};
    for (int y = kHeight - 1; y >= 0; --y)  // bottom-up, 3000 bytes a row: no padding
      for (int x = 0; x < kWidth; ++x) {
        const QRgb c = colour(x, y);
        layout.pixels.insert(layout.pixels.end(), {static_cast<std::uint8_t>(qBlue(c)),
                                                   static_cast<std::uint8_t>(qGreen(c)),
                                                   static_cast<std::uint8_t>(qRed(c))});
      }
    const std::vector<std::uint8_t> file = drawtest::BitmapFileBytes(layout);
    std::ofstream(SysCanvas(), std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));

    auto w = Start();
    QVERIFY((*boxes_)->Texts().empty());
    QCOMPARE(w->Model().View().size(), QSize(kWidth, kHeight));
    QCOMPARE(w->Img->size(), QSize(738, 351));
    QCOMPARE(w->Model().Picture().size(), QSize(246, 117));
    const QImage shown = w->Img->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), QSize(738, 351));
    QCOMPARE(shown.pixel(0, 0), colour(0, 0));
    QCOMPARE(shown.pixel(737, 99), colour(737, 99));
    QCOMPARE(shown.pixel(5, 100), raster::kWhite);  // below the bitmap: the area's white

    // A line on the picture brings the shown part of the view to the picture
    // and back; the columns beyond the control stay as the file had them.
    w->cboColor->setCurrentIndex(3);
    ChooseTool(*w, DrawTool::kLine);
    drawapptest::Drag(w->Img, drawapptest::SignPoint(1, 1), drawapptest::SignPoint(5, 1));
    QCOMPARE(w->Model().View().pixel(3 * 3 + 1, 3 + 1), kGreen);
    QCOMPARE(w->Model().Picture().pixel(100, 10), colour(301, 31));  // the middle of each block
    QCOMPARE(w->Model().Picture().pixel(100, 40), raster::kBlack);   // below the bitmap
    QVERIFY(Close(*w));

    QImage kept(QString::fromStdString(SysCanvas()));
    kept = kept.convertToFormat(QImage::Format_RGB32);
    QCOMPARE(kept.size(), QSize(kWidth, kHeight));
    for (int y = 0; y < kHeight; ++y)
      for (int x = 738; x < kWidth; ++x)
        if (kept.pixel(x, y) != colour(x, y)) QFAIL(qPrintable(QString("pixel (%1, %2) lost").arg(x).arg(y)));
    QCOMPARE(kept.pixel(3 * 3 + 1, 3 + 1), kGreen);

    // Started again on the same area, the whole picture is back.
    auto again = Start();
    QCOMPARE(again->Model().View(), kept);
  }

  void cancelKeepsTheWindowTheListAndTheView() {
    auto w = Start();
    DrawGreenWithRed(*w);
    ChooseTool(*w, DrawTool::kSignFrame);
    w->palLogo->spdInsert->click();
    const QImage view = w->Model().View().copy();
    (*boxes_)->QueueAnswer(platform::kResultCancel);
    QVERIFY(!Close(*w));
    QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{draw::kSaveChangesQuestion});
    QCOMPARE(w->Logos().Count(), 1);
    QVERIFY(w->Logos().Document().Modified());
    QCOMPARE(w->Model().View(), view);
    QVERIFY(!platform::FileExists(SysCanvas()));
    // No closes without saving, and keeps the view.
    (*boxes_)->QueueAnswer(platform::kResultNo);
    QVERIFY(Close(*w));
    QVERIFY(platform::FileExists(SysCanvas()));
    QVERIFY(!platform::FileExists((workDir_ / "NEW.LOG").string()));
  }

  void closingWhileZoomedKeepsTheCellEdits() {
    auto w = Start();
    ChooseTool(*w, DrawTool::kZoom);
    Click(w->Img, QPoint(1, 1));  // (0, 0) would be the widget's centre
    QVERIFY(w->Model().Zoomed());
    QVERIFY(w->Zoom().ZoomImg()->isVisible());
    QVERIFY(!w->Img->isVisible());
    QCOMPARE(w->lblClipping->text(), QString("36x74"));
    w->cboColor->setCurrentIndex(3);
    Click(w->Zoom().ZoomImg(), QPoint(45, 25));  // cell (4, 2)
    QCOMPARE(w->Model().Picture().pixel(4, 2), kGreen);
    QVERIFY(Close(*w));
    QImage kept(QString::fromStdString(SysCanvas()));
    QCOMPARE(kept.pixel(13, 7), kGreen);
    QCOMPARE(kept.pixel(15, 7), raster::kBlack);
  }

  // Clear Scratch from the menu while the zoom window is open: the window
  // closes first, so its closing copy of the picture cannot bring the drawing
  // back, and neither a new zoom nor closing the program does.
  void clearScratchWhileZoomedLasts() {
    auto w = Start();
    DrawGreenWithRed(*w);
    ChooseTool(*w, DrawTool::kZoom);
    Click(w->Img, QPoint(1, 1));
    QVERIFY(w->Model().Zoomed());
    w->cboColor->setCurrentIndex(5);
    Click(w->Zoom().ZoomImg(), QPoint(45, 25));  // a cell edit, on the picture only
    w->MenuItem("ClearScratch1")->trigger();
    const QImage black = raster::NewImage(738, 351, raster::kBlack);
    QVERIFY(!w->Model().Zoomed());
    QVERIFY(w->Img->isVisible());
    QVERIFY(!w->Zoom().ZoomImg()->isVisible());
    QVERIFY(!w->Zoom().palZoomWin()->isVisible());
    QCOMPARE(w->Model().View(), black);
    QCOMPARE(w->Img->grab().toImage().convertToFormat(QImage::Format_RGB32), black);

    // Zoomed again where it was: no cell is painted, the navigator shows black.
    Click(w->Img, QPoint(1, 1));
    QVERIFY(w->Model().Zoomed());
    QCOMPARE(w->Zoom().Logic().RefreshZoomCells(w->Model().Picture()), 0);
    const QImage grid = w->Zoom().ZoomImg()->grab().toImage();
    QCOMPARE(grid.pixel(15, 5), raster::kBlack);   // cell (1, 0): red before
    QCOMPARE(grid.pixel(45, 25), raster::kBlack);  // the edited cell
    const QImage navigator = w->Zoom().ImgS()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(navigator, raster::NewImage(246, 117, raster::kBlack));
    ChooseTool(*w, DrawTool::kPencil);
    QCOMPARE(w->Model().View(), black);
    QVERIFY(Close(*w));
    QCOMPARE(QImage(QString::fromStdString(SysCanvas())).convertToFormat(QImage::Format_RGB32), black);
  }

  void theNavigatorDragsThePictureAndTheGridFollowsOnRelease() {
    auto w = Start();
    ChooseTool(*w, DrawTool::kZoom);
    Click(w->Img, QPoint(1, 1));
    QWidget* picture = w->Zoom().ImgS();
    QVERIFY(w->Zoom().palZoomWin()->isVisible());
    QCOMPARE(picture->pos(), QPoint(0, 0));
    QTest::mousePress(picture, Qt::LeftButton, Qt::NoModifier, QPoint(50, 20));
    QMouseEvent move(QEvent::MouseMove, QPointF(40, 15), QPointF(), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(picture, &move);
    QCOMPARE(picture->pos(), QPoint(-10, -5));
    QCOMPARE(w->Zoom().Logic().ZoomRect().left, 0);  // the grid waits for the release
    QTest::mouseRelease(picture, Qt::LeftButton, Qt::NoModifier, QPoint(40, 15));
    QCOMPARE(w->Zoom().Logic().ZoomRect().left, 10);
    QCOMPARE(w->Zoom().Logic().ZoomRect().top, 5);
    // A tool choice closes the window and shows the view again.
    ChooseTool(*w, DrawTool::kPencil);
    QVERIFY(!w->Zoom().palZoomWin()->isVisible());
    QVERIFY(w->Img->isVisible());
    QCOMPARE(w->lblClipping->text(), QString());
  }

  void theLogoMenuFollowsTheButtons() {
    auto w = Start();
    for (const char* name : {"miInsert", "miReplace", "miDelete", "miClear", "miEdit"}) {
      QVERIFY2(!w->MenuItem(name)->isEnabled(), name);
    }
    ChooseTool(*w, DrawTool::kSignFrame);
    w->MenuItem("miInsert")->trigger();
    QCOMPARE(w->palLogo->palFrameInfo->text(), QString("1/1  8 X 160"));
    for (const char* name : {"miInsert", "miReplace", "miDelete", "miClear", "miEdit"}) {
      QVERIFY2(w->MenuItem(name)->isEnabled(), name);
    }
    // "&Edit" does nothing when chosen.
    ChooseTool(*w, DrawTool::kPencil);
    w->MenuItem("miEdit")->trigger();
    QCOMPARE(w->Model().CurrentTool(), DrawTool::kPencil);
    (*boxes_)->QueueAnswer(platform::kResultYes);
    w->MenuItem("miDelete")->trigger();
    QCOMPARE(w->palLogo->palFrameInfo->text(), QString("0/0  0 X 0"));
    QVERIFY(!w->MenuItem("miEdit")->isEnabled());
    QVERIFY(!w->palLogo->spdDelete->isEnabled());
  }

  void closingWithAnOpenTextBoxCommitsIt() {
    auto w = Start();
    ChooseTool(*w, DrawTool::kText);
    Click(w->Img, QPoint(30, 3));
    QVERIFY(w->TextBox().IsShown());
    QTest::keyClicks(w->textBoxWidget, "HI");
    QCOMPARE(w->TextBox().Lines()[0].size(), std::size_t{2});
    QVERIFY(Close(*w));
    QImage kept(QString::fromStdString(SysCanvas()));
    kept = kept.convertToFormat(QImage::Format_RGB32);
    // The tagged glyphs light pixels in the first rows of each character.
    int lit = 0;
    for (int y = 3; y < 3 + 24; ++y) {
      for (int x = 30; x < 30 + 36; ++x) lit += raster::SameColor(kept.pixel(x, y), raster::kBlack) ? 0 : 1;
    }
    QVERIFY(lit > 0);
  }

  // The working picture cannot be kept: the error is shown, then the question
  // whether to close without it; No (the default) keeps the window open with
  // the picture, so it can be saved elsewhere; once the way is clear the next
  // close keeps it and closes.
  void aFailedWriteOfTheWorkingPictureIsReportedAndTheWindowStaysOpen() {
    fs::create_directories(programDir_ / "SysCanvas.BMP" / "in the way");
    auto w = Start();
    DrawGreenWithRed(*w);
    const QImage drawn = w->Model().View();
    (*boxes_)->QueueAnswer(platform::kResultOk);
    (*boxes_)->QueueAnswer(platform::kResultNo);
    QVERIFY(!Close(*w));
    const auto shown = (*boxes_)->Shown();
    // The start says the folder is no picture; the close that it cannot be
    // written, then asks.
    QCOMPARE(shown.size(), std::size_t{3});
    QVERIFY2(shown[0].text.find("SysCanvas.BMP: is not a regular file") != std::string::npos, shown[0].text.c_str());
    QVERIFY(shown[1].text.find("SysCanvas.BMP") != std::string::npos);
    QCOMPARE(shown[2].text, std::string("The picture cannot be kept. Close without keeping it?"));
    QCOMPARE(shown[2].caption, std::string("Information"));
    QVERIFY(shown[2].buttons == platform::BoxButtons::YesNo);
    QCOMPARE(shown[2].defaultResult, int(platform::kResultNo));
    QCOMPARE(w->Model().View(), drawn);
    fs::remove_all(programDir_ / "SysCanvas.BMP");
    QVERIFY(Close(*w));
    QCOMPARE((*boxes_)->Texts().size(), std::size_t{3});
    QCOMPARE(QImage(QString::fromStdString(SysCanvas())).convertToFormat(QImage::Format_RGB32),
             drawn.convertToFormat(QImage::Format_RGB32));
  }

  // A picture that can never be kept does not trap the user: Yes to the
  // question closes the window, and nothing is written.
  void aPictureThatCannotBeKeptClosesWhenTheUserSaysSo() {
    fs::create_directories(programDir_ / "SysCanvas.BMP" / "in the way");
    auto w = Start();
    DrawGreenWithRed(*w);
    for (int refusal = 0; refusal < 2; ++refusal) {
      (*boxes_)->QueueAnswer(platform::kResultOk);
      (*boxes_)->QueueAnswer(platform::kResultNo);
      QVERIFY(!Close(*w));
    }
    (*boxes_)->QueueAnswer(platform::kResultOk);
    (*boxes_)->QueueAnswer(platform::kResultYes);
    QVERIFY(Close(*w));
    QCOMPARE((*boxes_)->Texts().size(), std::size_t{1 + 3 * 2});
    QVERIFY(fs::is_directory(programDir_ / "SysCanvas.BMP" / "in the way"));
  }

  // The same through the Qt boxes the program shows: the question's default
  // button is No, so Enter keeps the window open.
  void theQuestionAfterAFailedWriteDefaultsToNo() {
    fs::create_directories(programDir_ / "SysCanvas.BMP" / "in the way");
    auto w = Start();
    platform::QtMessageBoxes qtBoxes;
    platform::MessageBoxes* recording = platform::InstallBoxes(&qtBoxes);
    QString defaultButton;
    QStringList texts;
    std::function<void(QMessageBox*)> answer = [&](QMessageBox* box) {
      texts << box->text();
      if (box->buttons().size() == 1) {
        testsupport::WhenModal<QMessageBox>(answer);  // the question comes next
        box->buttons().first()->click();
        return;
      }
      defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
      QTest::keyClick(box, Qt::Key_Return);
    };
    testsupport::WhenModal<QMessageBox>(answer);
    const bool closed = Close(*w);
    platform::InstallBoxes(recording);
    QVERIFY(!closed);
    QCOMPARE(texts.size(), 2);
    QCOMPARE(texts[1], QString("The picture cannot be kept. Close without keeping it?"));
    QCOMPARE(defaultButton, QString("&No"));
    QVERIFY(w->isVisible());
  }

  // A per-user folder any user may write is not used: the start says why,
  // and goes on.
  void aPerUserFolderOthersMayWriteIsNamedAtStart() {
    const testsupport::OpenPerUserFolder open(programDir_.string(), (dirs_->root / "home").string());
    auto w = Start();
    const auto texts = (*boxes_)->Texts();
    QCOMPARE(texts, std::vector<std::string>{"The program's files cannot be kept: " + open.path() +
                                             " may be written by other users."});
    QCOMPARE((*boxes_)->Shown()[0].caption, std::string("Warning"));
    QCOMPARE(w->palSignSize->text(), QString("8(H)x160(W)"));
  }

  void anUnreadableWorkingPictureWarnsAndTheViewStaysBlack() {
    std::ofstream(programDir_ / "SysCanvas.BMP") << "not a bitmap";
    auto w = Start();
    QCOMPARE((*boxes_)->Texts().size(), std::size_t{1});
    QCOMPARE(w->Model().View(), raster::NewImage(738, 351, raster::kBlack));
  }

  // Open through the real dialog in a folder named beyond ASCII: the refusal
  // of a file that is no logo file, read from the Qt box itself, names it as
  // the file system has it.
  void aRefusedLogoFileIsNamedAsTheFileSystemHasIt() {
    const fs::path folder = workDir_ / "Schilder f\xC3\xBCr Zo\xC3\xAB";
    fs::create_directories(folder);
    std::ofstream(folder / "Caf\xC3\xA9.LOG") << "not a logo file";
    QVERIFY(QDir::setCurrent(QString::fromStdString(folder.string())));
    auto w = Start();
    w->fileDialogs = drawapp::QtFileDialogs();
    platform::QtMessageBoxes qtBoxes;
    platform::MessageBoxes* recording = platform::InstallBoxes(&qtBoxes);
    testsupport::WhenModal<QFileDialog>([](QFileDialog* d) {
      if (auto* edit = d->findChild<QLineEdit*>("fileNameEdit")) edit->setText(QString::fromUtf16(u"Caf\u00E9.LOG"));
      QMetaObject::invokeMethod(d, "accept");
    });
    QString boxText;
    testsupport::WhenModal<QMessageBox>([&](QMessageBox* box) {
      boxText = box->text();
      box->accept();
    });
    w->MenuItem("Open1")->trigger();
    platform::InstallBoxes(recording);
    const QString shown = QString::fromStdString(workDir_.string()) +
                          QString::fromUtf16(u"/Schilder f\u00FCr Zo\u00EB/Caf\u00E9.LOG is not a valid logo file!\n");
    QVERIFY2(boxText.startsWith(shown), qPrintable(boxText));
  }

  // A folder named on another system: the file name shows its Latin-1
  // letters, and a Save As through the real dialog, which cannot enter the
  // folder and offers "folder/NEW.LOG" from the one above, saves into it.
  void aFolderNamedOnAnotherSystemKeepsItsLogoFile() {
    const fs::path folder = workDir_ / "caf\xE9";
    fs::create_directories(folder);
    QVERIFY(::chdir(folder.c_str()) == 0);
    auto w = Start();
    w->fileDialogs = drawapp::QtFileDialogs();
    const QString shownFolder = QString::fromStdString(workDir_.string()) + QString::fromUtf16(u"/caf\u00E9");
    QCOMPARE(w->lblFN->text(), shownFolder + "/NEW.LOG");
    DrawGreenWithRed(*w);
    ChooseTool(*w, DrawTool::kSignFrame);
    w->palLogo->spdInsert->click();
    QString offered;
    testsupport::WhenModal<QFileDialog>([&](QFileDialog* d) {
      if (auto* edit = d->findChild<QLineEdit*>("fileNameEdit")) offered = edit->text();
      QMetaObject::invokeMethod(d, "accept");
    });
    w->MenuItem("SaveAs1")->trigger();
    QCOMPARE(offered, QString::fromUtf16(u"caf\u00E9/NEW.LOG"));
    QCOMPARE(w->lblFN->text(), shownFolder + "/NEW.LOG");
    QCOMPARE(logofile::LoadLogoFile((folder / "NEW.LOG").string(), logofile::MagicRule::kExactMagic).size(),
             std::size_t{1});
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(workDir_)) names.push_back(e.path().filename().string());
    QCOMPARE(names, std::vector<std::string>{"caf\xE9"});
    QVERIFY((*boxes_)->Texts().empty());
    QVERIFY(::chdir(workDir_.c_str()) == 0);
  }

  void editWhileZoomedKeepsTheLogoOnTheView() {
    auto w = Start();
    DrawGreenWithRed(*w);
    ChooseTool(*w, DrawTool::kSignFrame);
    w->palLogo->spdInsert->click();
    ChooseTool(*w, DrawTool::kCustomFrame);
    w->Tools().ClearScratch();
    ChooseTool(*w, DrawTool::kZoom);
    Click(w->Img, QPoint(1, 1));  // (0, 0) would be the widget's centre
    QVERIFY(w->Model().Zoomed());
    w->palLogo->spdEdit->click();
    QVERIFY(!w->Model().Zoomed());
    QCOMPARE(w->Model().View().pixel(7, 1), kRed);
    QCOMPARE(w->Model().View().pixel(20, 20), kGreen);
    QCOMPARE(w->Tools().Box().Rect(), QRect(0, 0, 480, 24));
    QVERIFY(w->Tools().Box().Shown());
  }
};

QTEST_MAIN(DrawMainTest)
#include "MainTest.moc"
