#include "draw/BitmapImport.h"

namespace draw {

QString BitmapFileFilter() { return "BMP files (*.bmp *.BMP);;All files (*)"; }

std::unique_ptr<QFileDialog> BitmapFileDialog(QWidget* parent) {
  auto dialog = std::make_unique<QFileDialog>(parent, "Load BMP files", QString(), BitmapFileFilter());
  dialog->setObjectName("OpenBMP");
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setDefaultSuffix("BMP");
  return dialog;
}

}  // namespace draw
