#pragma once
// The font box "cboFonts" and the size box "cboFontSizes" that the main window
// places, kept in step with a FontChoice.
#include <QComboBox>
#include <QObject>

#include "draw/text/FontChoice.h"

namespace draw {

class TextFontBoxes : public QObject {
  Q_OBJECT

 public:
  // Makes both boxes as children of `parent` (the main window places them)
  // and fills them from `choice`, which must outlive this object.
  TextFontBoxes(FontChoice& choice, QWidget* parent);

  QComboBox* Fonts() const { return fonts_; }
  QComboBox* Sizes() const { return sizes_; }
  // Fills the boxes again from the choice (after SetScreenFonts).
  void Refresh();

 private:
  void FontClicked(int index);
  void SizeChosen(int index);
  void RefreshSizes();

  FontChoice& choice_;
  QComboBox* fonts_;
  QComboBox* sizes_;
  bool filling_ = false;
};

}  // namespace draw
