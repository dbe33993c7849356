#pragma once
// The widgets through which the main window shows the drawing tools: the
// working view `Img`, the clipping box `SaveBox`, the ten tool buttons and the
// colour box `cboColor`. Each only shows the tool logic's state and hands it
// the mouse; every rule lives in ToolController.
#include <QButtonGroup>
#include <QComboBox>
#include <QPainter>
#include <QToolButton>
#include <QWidget>
#include <array>

#include "draw/ToolController.h"

namespace draw {

// The view: the model's view image; every mouse button goes to the tools.
class ViewWidget : public QWidget {
  Q_OBJECT
 public:
  ViewWidget(ToolController& tools, QWidget* parent);
  // Takes the view image's size (also done on every change of the view).
  void Follow();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  ToolController& tools_;
};

// The clipping box over the view: its inverted frame; the left button drags it.
class SaveBoxWidget : public QWidget {
  Q_OBJECT
 public:
  SaveBoxWidget(ToolController& tools, QWidget* parent);
  // Takes the box's place, size and visibility (also done on every change).
  void Follow();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  ToolController& tools_;
};

// The tool buttons spdTool0 .. spdTool9 in one exclusive group, each with its
// hint; a click chooses the tool of its Tag, also when the button is pressed
// already. The button the tools ask for (toolButtonShown) is shown pressed.
class ToolButtons : public QWidget {
  Q_OBJECT
 public:
  ToolButtons(ToolController& tools, QWidget* parent);
  QToolButton* Button(int tag) const { return buttons_[static_cast<std::size_t>(tag)]; }
  static constexpr int kTools = 10;

 private:
  std::array<QToolButton*, kTools> buttons_{};
  QButtonGroup group_;
};

// The colour box: items "1" to "9", each painted as a rectangle of its colour.
// Nothing happens on a change: the tools read the index when they draw.
class ColorBox : public QComboBox {
  Q_OBJECT
 public:
  ColorBox(DrawModel& model, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent*) override;
};

// One item of the colour box in `rect`: white, and inside it from (left + 3,
// top + 2) to (right - 3, bottom - 2), edges as the canvas excludes them, a
// rectangle filled with the item's colour and outlined in the pen's colour.
void PaintColorItem(QPainter& painter, const QRect& rect, int index, QColor pen = Qt::black);

}  // namespace draw
