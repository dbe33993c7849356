#pragma once
// The bitmap-import dialog of "Load BMP files".
#include <QFileDialog>
#include <QString>
#include <QWidget>
#include <memory>

namespace draw {

// The open dialog's filter: bitmap files whatever the case of their
// extension, or all files.
QString BitmapFileFilter();

// The dialog `OpenBMP`: one existing file, default extension "BMP". The
// window runs it and hands the chosen file to ToolController::ImportBitmap.
std::unique_ptr<QFileDialog> BitmapFileDialog(QWidget* parent);

}  // namespace draw
