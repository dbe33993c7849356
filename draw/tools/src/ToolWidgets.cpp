#include "draw/ToolWidgets.h"

#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "draw/ToolIcons.h"
#include "platform/ExceptionReport.h"

namespace draw {

using platform::Guarded;

namespace {

QPoint At(const QMouseEvent* event) { return event->position().toPoint(); }

// A drag is one press and one release, whichever buttons take part.
bool FirstButtonDown(const QMouseEvent* event) { return event->buttons() == event->button(); }
bool LastButtonUp(const QMouseEvent* event) { return event->buttons() == Qt::NoButton; }

}  // namespace

ViewWidget::ViewWidget(ToolController& tools, QWidget* parent) : QWidget(parent), tools_(tools) {
  setObjectName("Img");
  setMouseTracking(true);  // the position read-out follows the pointer
  setAttribute(Qt::WA_OpaquePaintEvent);
  connect(&tools_, &ToolController::viewChanged, this, &ViewWidget::Follow);
  Follow();
}

void ViewWidget::Follow() {
  resize(tools_.Model().ViewControl());
  update();
}

void ViewWidget::paintEvent(QPaintEvent*) {
  // The bitmap from the top left, cut at the control's edge; where it is
  // smaller than the control the drawing area's own colour shows.
  QPainter painter(this);
  const QImage& view = tools_.Model().View();
  if (view.width() < width() || view.height() < height()) {
    const QWidget* area = parentWidget() ? parentWidget() : this;
    painter.fillRect(rect(), area->palette().brush(area->backgroundRole()));
  }
  painter.drawImage(0, 0, view);
}

void ViewWidget::mousePressEvent(QMouseEvent* event) {
  if (FirstButtonDown(event)) Guarded([&] { tools_.ViewPress(At(event)); });
}

void ViewWidget::mouseMoveEvent(QMouseEvent* event) {
  Guarded([&] { tools_.ViewMove(At(event)); });
}

void ViewWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (LastButtonUp(event)) Guarded([&] { tools_.ViewRelease(At(event)); });
}

SaveBoxWidget::SaveBoxWidget(ToolController& tools, QWidget* parent) : QWidget(parent), tools_(tools) {
  setObjectName("SaveBox");
  setMouseTracking(true);
  connect(&tools_, &ToolController::clippingBoxChanged, this, &SaveBoxWidget::Follow);
  // The frame shows the view's pixels under it inverted.
  connect(&tools_, &ToolController::viewChanged, this, qOverload<>(&QWidget::update));
  Follow();
}

void SaveBoxWidget::Follow() {
  const ClippingBox& box = tools_.Box();
  setGeometry(box.Rect());
  setVisible(box.Shown());
  if (box.Shown()) raise();
  update();
}

void SaveBoxWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, ClippingFrameImage(tools_.Model().View(), tools_.Box(), tools_.Model().Scale()));
}

void SaveBoxWidget::mousePressEvent(QMouseEvent* event) {
  Guarded([&] { tools_.BoxPress(At(event), event->button() == Qt::LeftButton); });
}

void SaveBoxWidget::mouseMoveEvent(QMouseEvent* event) {
  Guarded([&] { tools_.BoxMove(At(event)); });
}

void SaveBoxWidget::mouseReleaseEvent(QMouseEvent*) {
  Guarded([&] { tools_.BoxRelease(); });
}

ToolButtons::ToolButtons(ToolController& tools, QWidget* parent) : QWidget(parent) {
  // The hints as the program has always spelled them.
  static constexpr const char* kHints[kTools] = {"Custome Frame", "Sign Frame", "Pencil", "Eraser", "Text",
                                                  "Line",          "Rectangle",  "Ellipse", "Fill",  "Zoom"};
  setObjectName("palTools");
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(2, 2, 2, 2);
  group_.setExclusive(true);
  for (int tag = 0; tag < kTools; ++tag) {
    auto* b = new QToolButton(this);
    b->setObjectName(QString("spdTool%1").arg(tag));
    b->setIcon(ToolIcon(static_cast<DrawTool>(tag)));
    b->setIconSize(QSize(kToolIconSize, kToolIconSize));
    b->setToolTip(kHints[tag]);
    b->setAccessibleName(kHints[tag]);
    b->setCheckable(true);
    b->setFixedSize(40, 32);
    group_.addButton(b, tag);
    column->addWidget(b);
    buttons_[static_cast<std::size_t>(tag)] = b;
    // An exclusive group keeps a pressed button pressed and still reports its click.
    connect(b, &QToolButton::clicked, this,
            [&tools, tag] { Guarded([&] { tools.ChooseTool(static_cast<DrawTool>(tag)); }); });
  }
  column->addStretch();
  connect(&tools, &ToolController::toolButtonShown, this, [this](int tag) {
    if (tag >= 0 && tag < kTools) Button(tag)->setChecked(true);
  });
}

void PaintColorItem(QPainter& painter, const QRect& rect, int index, QColor pen) {
  painter.fillRect(rect, Qt::white);
  painter.setPen(pen);
  painter.setBrush(QColor::fromRgb(ColorIndexToColor(index)));
  // An outline drawn on a QRect covers one pixel past its right and bottom,
  // which is where the canvas's exclusive edge lies.
  painter.drawRect(QRect(QPoint(rect.left() + 3, rect.top() + 2), QPoint(rect.right() - 4, rect.bottom() - 3)));
}

namespace {

class ColorItemDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    painter->save();
    PaintColorItem(*painter, option.rect, index.row());
    if (option.state & QStyle::State_Selected) {
      painter->setBrush(Qt::NoBrush);
      painter->setPen(QPen(Qt::blue, 1, Qt::DotLine));
      painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
    painter->restore();
  }
  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return QSize(60, 20); }
};

}  // namespace

ColorBox::ColorBox(DrawModel& model, QWidget* parent) : QComboBox(parent) {
  setObjectName("cboColor");
  for (int i = 1; i <= kPaletteSize; ++i) addItem(QString::number(i));
  setItemDelegate(new ColorItemDelegate(this));
  setFixedWidth(80);
  setCurrentIndex(-1);
  model.SetColorIndex(-1);
  connect(this, &QComboBox::currentIndexChanged, this, [&model](int index) { model.SetColorIndex(index); });
}

void ColorBox::paintEvent(QPaintEvent*) {
  // The closed box shows the chosen item as the list does, and an arrow.
  QPainter painter(this);
  painter.fillRect(rect(), palette().button());
  const QRect item = rect().adjusted(3, 3, -20, -3);
  if (currentIndex() >= 0) {
    PaintColorItem(painter, item, currentIndex());
  } else {
    painter.fillRect(item, Qt::white);
  }
  painter.setPen(Qt::black);
  painter.drawText(QRect(item.right() + 2, 0, 18, height()), Qt::AlignCenter, "v");
}

}  // namespace draw
