#pragma once
// "European": characters 128 to 175 of sign font 0 in four columns and twelve
// rows; a click inserts the character under it at the line editor's caret
// and the dialog stays open.
#include <QDialog>
#include <QImage>
#include <cstdint>
#include <functional>

class QLabel;
class QPushButton;

namespace signfont {
class SignFontTable;
}

namespace editor {

class TfrmEuropean : public QDialog {
  Q_OBJECT
 public:
  // Receives the clicked character; the main window inserts it as a text cell.
  using InsertCharFn = std::function<void(std::uint8_t code)>;

  // `fonts` (not owned, may be null: the cells stay black) outlives the dialog.
  explicit TfrmEuropean(const signfont::SignFontTable* fonts, QWidget* parent = nullptr);

  void SetInsertChar(InsertCharFn insert) { insertChar_ = std::move(insert); }
  const QImage& Picture() const { return picture_; }

  QWidget* pal = nullptr;
  QLabel* ImgU = nullptr;
  QPushButton* btnDone = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormActivate();
  void ImgUMouseDown(int x, int y);

  const signfont::SignFontTable* fonts_;
  InsertCharFn insertChar_;
  QImage picture_;
  bool drawn_ = false;  // the characters are drawn at the first showing only
};

}  // namespace editor
