#pragma once
// What the drawing tools ask of the zoom window. The tools are built and
// tested without it, so every call does nothing until the zoom overrides it.
#include <QPoint>

namespace draw {

class ZoomHost {
 public:
  virtual ~ZoomHost() = default;
  // The Zoom tool's release on the view at the snapped view point `p`: open
  // the zoom window around it (the zoom sets the model's Zoomed and scale).
  virtual void ZoomIn(QPoint p) { (void)p; }
  // Close the zoom window, copying the picture back into the view. The tools
  // call it only while the model says Zoomed.
  virtual void ZoomOut() {}
};

}  // namespace draw
