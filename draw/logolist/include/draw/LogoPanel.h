#pragma once
// The logo panel at the bottom of the main window: previous, number, next,
// Insert, Replace, Delete, Clear, Edit, the preview of the current logo and
// its information line. The "&Logo" menu's items share its handlers.
#include <QImage>
#include <QRect>
#include <QWidget>
#include <functional>
#include <optional>

#include "common/Raster.h"
#include "draw/LogoList.h"

class QAction;
class QComboBox;
class QLabel;
class QToolButton;

namespace draw {

// Shows a logo at its own size.
class LogoPreview : public QWidget {
  Q_OBJECT
 public:
  explicit LogoPreview(QWidget* parent);
  void SetLogo(const QImage* logo);
  const QImage& Logo() const { return image_; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QImage image_;
};

class LogoPanel : public QWidget {
  Q_OBJECT
 public:
  LogoPanel(LogoList& list, QWidget* parent = nullptr);

  // What the panel needs of the window: the working view, the clipping box
  // while it is shown, the sign size in sign pixels, and Edit's framing of the
  // drawn logo (the Pencil, then Custom Frame with the box around it).
  std::function<QImage&()> view;
  std::function<std::optional<raster::Box>()> clippingBox;
  std::function<QSize()> signSize;
  std::function<void(QRect)> frameRegion;
  // Before Edit draws: the zoom window closes, so that the logo stays on the view.
  std::function<void()> beforeEdit;

  // The menu items that follow the buttons (Insert, Replace, Delete, Clear, Edit).
  void AttachMenu(QAction* insert, QAction* replace, QAction* deleteLogo, QAction* clear, QAction* edit);
  // Insert and Replace are usable only while the clipping box is shown.
  void SetClippingBoxShown(bool shown);
  // The preview area `palF`: sign width x 3 by sign height x 3.
  void SetPreviewArea(QSize size);

  // Number list, information line, preview and buttons from the list.
  void RefreshLogoView();

  // Handlers (buttons and menu items).
  void spdInsertClick();
  void spdReplaceClick();
  void spdDeleteClick();
  void spdClearClick();
  void spdPrevClick();
  void spdNextClick();
  void cboFrameChange(int index);
  void spdEditClick();

  QToolButton* spdPrev = nullptr;
  QComboBox* cboFrame = nullptr;
  QToolButton* spdNext = nullptr;
  QToolButton* spdInsert = nullptr;
  QToolButton* spdReplace = nullptr;
  QToolButton* spdDelete = nullptr;
  QToolButton* spdClear = nullptr;
  QToolButton* spdEdit = nullptr;
  QWidget* palF = nullptr;
  LogoPreview* ImgF = nullptr;
  QLabel* palFrameInfo = nullptr;

 private:
  void FillFrameList();
  void Capture(bool replace);

  LogoList& list_;
  bool boxShown_ = false;
  QAction* miInsert_ = nullptr;
  QAction* miReplace_ = nullptr;
  QAction* miDelete_ = nullptr;
  QAction* miClear_ = nullptr;
  QAction* miEdit_ = nullptr;
};

}  // namespace draw
