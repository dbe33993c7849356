#pragma once
// The Text tool's hold on the text box: opens it where the view was pressed
// and commits it into the picture, transparently when the Transparent toggle
// is down.
#include "draw/TextBoxHost.h"
#include "draw/ToolController.h"
#include "draw/text/TextBox.h"

namespace draw {

class TextBoxTool : public TextBoxHost {
 public:
  // All three must outlive this; the box's widget shows it and takes the focus.
  TextBoxTool(DrawModel& model, TextBox& box, const ToolController& tools)
      : model_(model), box_(box), tools_(tools) {}

  bool IsShown() const override { return box_.IsShown(); }
  void OpenAt(QPoint p) override { box_.Open(p); }
  void CommitAndHide() override;

 private:
  DrawModel& model_;
  TextBox& box_;
  const ToolController& tools_;
};

}  // namespace draw
