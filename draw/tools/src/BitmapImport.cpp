#include "draw/BitmapImport.h"

#include <QFileDialog>

namespace draw {

QString BitmapFileFilter() { return "BMP files (*.bmp *.BMP);;All files (*)"; }

void RunBitmapImport(ToolController& tools, QWidget* parent) {
  QFileDialog dialog(parent, "Load BMP files", QString(), BitmapFileFilter());
  dialog.setObjectName("OpenBMP");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix("BMP");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  tools.ImportBitmap(dialog.selectedFiles().front());
}

}  // namespace draw
