#pragma once
// The logo picker "SELECT A LOGO OF <file>": reads a logo file afresh at
// every showing, shows one logo at a time at twice its size and hands the
// chosen one to the line editor control's InsertLogo.
#include <QDialog>
#include <QImage>
#include <QTimer>
#include <functional>
#include <string>

#include "editor/LogoList.h"

class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;

namespace editor {

class TfrmSelLOG : public QDialog {
  Q_OBJECT
 public:
  // Receives the current logo on Insert (the control copies it).
  using InsertLogoFn = std::function<void(const QImage& logo)>;

  explicit TfrmSelLOG(QWidget* parent = nullptr);

  void SetInsertLogo(InsertLogoFn insert) { insertLogo_ = std::move(insert); }
  // The editor's "Sign Width" and "Sign Height".
  void SetSign(int width, int height);

  std::string LogoFileName;  // set by the caller before showing
  const LogoList& Logos() const { return logos_; }

  QToolButton* spdPrev = nullptr;
  QComboBox* cboFrame = nullptr;
  QToolButton* spdNext = nullptr;
  QWidget* palSign = nullptr;
  QLabel* ImgF = nullptr;
  QLabel* palFrameInfo = nullptr;
  QPushButton* BitBtn1 = nullptr;  // "Insert"
  QPushButton* BitBtn2 = nullptr;  // "Down": cancel
  QTimer tmrClose;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void FormActivate();
  void cboFrameChange(int index);
  void spdPrevClick();
  void spdNextClick();
  void BitBtn1Click();
  void tmrCloseTimer();
  void Refresh();
  // Closes the picker 100 ms after `text` has been shown.
  void RefuseFile(const std::string& text);

  InsertLogoFn insertLogo_;
  int signWidth_ = 160;
  int signHeight_ = 16;
  LogoList logos_;
  bool filling_ = false;  // cboFrame being filled: not a choice of the user
};

}  // namespace editor
