#include "editor/European.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>

#include "common/Raster.h"
#include "common/SignFont.h"
#include "editor/DialogRules.h"
#include "platform/ExceptionReport.h"

namespace editor {

namespace {
constexpr int kCellWidth = 24;
constexpr int kCellHeight = 32;
constexpr int kFirstChar = 128;
constexpr int kChars = 48;
}  // namespace

TfrmEuropean::TfrmEuropean(const signfont::SignFontTable* fonts, QWidget* parent)
    : QDialog(parent), fonts_(fonts) {
  setWindowTitle("European");
  pal = new QWidget(this);
  pal->setGeometry(15, 20, 4 * kCellWidth, 12 * kCellHeight);
  ImgU = new QLabel(pal);
  ImgU->setGeometry(0, 0, pal->width(), pal->height());
  picture_ = raster::NewImage(pal->width(), pal->height());
  ImgU->setPixmap(QPixmap::fromImage(picture_));
  ImgU->installEventFilter(this);
  btnDone = new QPushButton(".Done.", this);
  btnDone->adjustSize();
  btnDone->move((136 - btnDone->width()) / 2, pal->y() + pal->height() + 5);
  setFixedSize(136, btnDone->height() + 444);
  connect(btnDone, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmEuropean::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!drawn_) platform::Guarded([this] { FormActivate(); });
}

void TfrmEuropean::FormActivate() {
  drawn_ = true;
  if (fonts_ == nullptr) return;
  for (int i = 0; i < kChars; ++i) {
    const QImage glyph = fonts_->RenderGlyph(0, static_cast<std::uint16_t>(kFirstChar + i), raster::kWhite, false);
    const int x = kCellWidth * (i % 4);
    const int y = kCellHeight * (i / 4);
    raster::StretchCopy(glyph, {0, 0, glyph.width(), glyph.height()}, picture_, {x, y, x + 21, y + 29},
                        raster::CopyMode::kSrcCopy);
  }
  ImgU->setPixmap(QPixmap::fromImage(picture_));
}

bool TfrmEuropean::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ImgU && event->type() == QEvent::MouseButtonPress) {
    const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
    platform::Guarded([&] { ImgUMouseDown(at.x(), at.y()); });
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TfrmEuropean::ImgUMouseDown(int x, int y) {
  const std::optional<std::uint8_t> code = EuropeanCharAt(x, y);
  if (code && insertChar_) insertChar_(*code);
}

}  // namespace editor
