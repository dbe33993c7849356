#pragma once
// What the line editor control needs from the rest of the editor: the frame
// list's steps and redraw, the status bar, the tool bar's toggle states, the
// beep picture and the screen geometry. The main window implements it; tests
// use a recording host, so the control is built and tested alone.
#include <QImage>

#include "editor/FrameGeometry.h"

namespace editor {

class EditorHost {
 public:
  virtual ~EditorHost() = default;

  // Page Up / Page Down in the control: the frame list's previous and next frame.
  virtual void GotoPreviousFrame() = 0;
  virtual void GotoNextFrame() = 0;
  // The message's modified mark (status bar and save question).
  virtual void SetModified(bool modified) = 0;
  // Redraws the frame list panel (after another frame became current).
  virtual void DrawFrameList() = 0;
  // The Fix button down or up.
  virtual void ShowFixState(bool down) = 0;
  // The status bar's column display: the caret's cell, 1-based.
  virtual void ShowColumn(int column) = 0;

  // The Bold and Reverse buttons: they apply to characters inserted afterwards.
  virtual bool BoldDown() const = 0;
  virtual bool ReverseDown() const = 0;

  // The picture a beep cell shows, stretched to 24 screen pixels across and
  // the band's height (MakeBeepPicture() gives the usual one).
  virtual const QImage& BeepPicture() const = 0;

  // The frame list's geometry from start-up (ComputeGeometry).
  virtual const FrameListGeometry& Geometry() const = 0;
  int EditorLeft() const { return Geometry().EditorLeft; }
  int EditorTop() const { return Geometry().EditorTop; }
  int RowGap() const { return Geometry().RowGap; }
};

// A 20 x 20 RGB32 picture of a beep: a small loudspeaker with sound waves.
QImage MakeBeepPicture();

}  // namespace editor
