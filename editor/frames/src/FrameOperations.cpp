#include "editor/FrameOperations.h"

#include "common/Util.h"

namespace editor {

void RedrawFramePicture(TBillEditor& editor, MessageModel& model, int frame) {
  const int offset = editor.TextOffset();
  editor.DrawFrame(model.Frame(frame).Picture, frame, true);
  editor.SetTextOffset(offset);
}

bool FrameOperations::InsertFrame(int index) { return model_.InsertFrame(index); }

void FrameOperations::NewFrameAt(int index) {
  editor_.SaveFramePicture(model_.CurrentFrame);
  if (!InsertFrame(index)) return;
  // The old frame's picture is kept already; selecting with it again would
  // store it under the new frame's index when the new frame goes before it.
  editor_.SelectFrame(-1, index);
  SetModified(true);
}

void FrameOperations::GotoPreviousFrame() {
  if (model_.CurrentFrame > 0) {
    editor_.SelectFrame(model_.CurrentFrame, model_.CurrentFrame - 1);
  } else {
    util::Beep();
  }
}

void FrameOperations::GotoNextFrame() {
  if (model_.CurrentFrame < model_.FrameCount() - 1) {
    editor_.SelectFrame(model_.CurrentFrame, model_.CurrentFrame + 1);
  } else {
    util::Beep();
  }
}

void FrameOperations::DeleteFrame() {
  SetModified(true);
  editor_.ClearFrame();
  const int a = model_.CurrentFrame;
  if (model_.FrameCount() == 1) {
    painter_.DrawFrameLabel(a);
    util::Beep();
    return;
  }
  if (a == model_.FrameCount() - 1) {
    if (a == model_.FirstVisibleRow) --model_.FirstVisibleRow;
    --model_.CurrentFrame;
  }
  const bool wasFixed = model_.Frame(a).FixedFrame;
  // The model hands the frames after a fixed frame the fixed part before it.
  model_.RemoveFrame(a);
  if (wasFixed)
    for (int j = a; j < model_.FrameCount() && !model_.Frame(j).FixedFrame; ++j) RedrawFramePicture(editor_, model_, j);
  editor_.SelectFrame(-1, model_.CurrentFrame);
  painter_.DrawFrameList();
}

void FrameOperations::CopyFrame() { model_.CopyFrame(model_.CurrentFrame); }

void FrameOperations::CutFrame() {
  CopyFrame();
  editor_.ClearFrame();
  painter_.DrawFrameLabel(model_.CurrentFrame);
  // The frame's cells are gone from the message: closing now must ask to save.
  SetModified(true);
}

void FrameOperations::PasteFrame() {
  const int current = model_.CurrentFrame;
  if (!model_.PasteFrame(current)) return;  // no copy yet, or the logos would not fit (warned)
  // Drawn afresh on the control, the caret placed within the pasted lines.
  editor_.SelectFrame(-1, current);
  painter_.DrawFrameLabel(current);
  SetModified(true);
}

void FrameOperations::SetFileName(const std::string& path) {
  model_.DocFileName = path;
  labels_.ShowFileName(path);
}

void FrameOperations::SetModified(bool modified) {
  model_.Modified = modified;
  labels_.ShowModifiedMark(modified ? kModifiedMark : kUnmodifiedMark);
}

}  // namespace editor
