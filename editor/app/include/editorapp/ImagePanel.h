#pragma once
// Shows the frame list panel's image at its own size and reports where the
// mouse was pressed on it.
#include <QImage>
#include <QWidget>

#include <functional>

namespace editorapp {

class ImagePanel : public QWidget {
  Q_OBJECT
 public:
  explicit ImagePanel(const QImage& image, QWidget* parent = nullptr) : QWidget(parent), image_(image) {}
  std::function<void(int x, int y)> mousePressed;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  const QImage& image_;
};

}  // namespace editorapp
