#pragma once
// The bitmap-import dialog of "Load BMP files".
#include <QString>
#include <QWidget>

#include "draw/ToolController.h"

namespace draw {

// The open dialog's filter: bitmap files whatever the case of their
// extension, or all files.
QString BitmapFileFilter();

// Asks for a bitmap file and imports it (ToolController::ImportBitmap);
// Cancel does nothing.
void RunBitmapImport(ToolController& tools, QWidget* parent);

}  // namespace draw
