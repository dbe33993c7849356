#include "draw/TextBoxTool.h"

namespace draw {

void TextBoxTool::CommitAndHide() {
  CommitTextBox(model_, box_, tools_.Transparent());
  box_.Hide();
}

}  // namespace draw
