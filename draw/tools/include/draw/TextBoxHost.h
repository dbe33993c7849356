#pragma once
// What the Text tool asks of the floating text box. The box itself lives in
// its own library; an adapter there (or in the main window) implements this.
#include <QPoint>

namespace draw {

class TextBoxHost {
 public:
  virtual ~TextBoxHost() = default;
  virtual bool IsShown() const = 0;
  // Places the box's top left at the snapped view point, empties it, shows it
  // and gives it the focus.
  virtual void OpenAt(QPoint p) = 0;
  // Copies the box's text into the picture (the view follows) and hides it.
  virtual void CommitAndHide() = 0;
};

}  // namespace draw
