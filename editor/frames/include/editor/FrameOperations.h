#pragma once
// The operations on whole frames of the main window's Frame menu and tool
// bar: new and inserted frames, previous and next, delete, and the one-frame
// clipboard's copy, cut and paste; with the file name and modified mark of
// the status bar. They change the model through its own frame operations and
// have the line editor control select and draw.
#include <string>

#include "editor/BillEditor.h"
#include "editor/FrameListPainter.h"
#include "editor/MessageModel.h"

namespace editor {

inline constexpr const char* kModifiedMark = "*File:";
inline constexpr const char* kUnmodifiedMark = "File:";

// Draws frame `frame` into its own picture as the control would show it,
// leaving the control's centring of the current frame as it was.
void RedrawFramePicture(TBillEditor& editor, MessageModel& model, int frame);

class FrameOperations {
 public:
  FrameOperations(MessageModel& model, TBillEditor& editor, FrameListPainter& painter, FrameListLabels& labels)
      : model_(model), editor_(editor), painter_(painter), labels_(labels) {}

  // A new empty frame at `index`; the 151st is refused with a warning. Selects nothing.
  bool InsertFrame(int index);
  // Keeps the current frame's picture, inserts a frame at `index` and makes it
  // current. "&New Frame" gives CurrentFrame, "Insert Frame" CurrentFrame + 1.
  void NewFrameAt(int index);
  // The frame before or after the current one; a beep at either end.
  void GotoPreviousFrame();
  void GotoNextFrame();
  // Removes the current frame with its logos and selects the frame now in its
  // place (the one before it when it was the last; the list scrolls up when
  // that last frame was also the top row). The only frame is emptied instead,
  // with a beep.
  void DeleteFrame();
  // The current frame to the clipboard, with copies of its logos.
  void CopyFrame();
  // Copy, then empty the current frame (its logos are freed).
  void CutFrame();
  // The clipboard's frame over the current frame's cells; the logos of the
  // cells it replaces are freed and every pasted logo cell gets a picture of
  // its own. Nothing without a copied frame.
  void PasteFrame();

  void SetFileName(const std::string& path);
  void SetModified(bool modified);

 private:
  MessageModel& model_;
  TBillEditor& editor_;
  FrameListPainter& painter_;
  FrameListLabels& labels_;
};

}  // namespace editor
