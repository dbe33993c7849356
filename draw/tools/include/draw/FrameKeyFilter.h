#pragma once
// The main window sees every key before the focused control: while a frame
// tool is current, the arrow keys move and Ctrl+arrows size the clipping box
// and go no further; with any other tool every key goes on unchanged, so the
// text box and the other controls get their arrows.
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "draw/ToolController.h"

namespace draw {

class FrameKeyFilter : public QObject {
  Q_OBJECT
 public:
  // Watches the application's key presses meant for `window` or a control in
  // it; removes itself when destroyed.
  FrameKeyFilter(ToolController& tools, QWidget* window);
  ~FrameKeyFilter() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ToolController& tools_;
  QPointer<QWidget> window_;
};

}  // namespace draw
