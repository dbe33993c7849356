#include <QColor>

#include "common/Raster.h"
#include "editor/EditorHost.h"

namespace editor {

QImage MakeBeepPicture() {
  constexpr QRgb kSpeaker = 0xFFFFFF00u;  // yellow on black, as lit sign pixels
  QImage picture = raster::NewImage(20, 20, raster::kBlack);
  // The speaker's magnet and its cone widening to the right.
  raster::FillBox(picture, {2, 7, 6, 13}, kSpeaker);
  for (int x = 6; x < 11; ++x) {
    const int spread = x - 4;
    raster::FillBox(picture, {x, 9 - spread, x + 1, 11 + spread}, kSpeaker);
  }
  // Two arcs of sound.
  for (int y = 6; y < 14; ++y) raster::SetPixel(picture, (y == 6 || y == 13) ? 13 : 14, y, kSpeaker);
  for (int y = 3; y < 17; ++y) raster::SetPixel(picture, (y < 5 || y > 14) ? 16 : 17, y, kSpeaker);
  return picture;
}

}  // namespace editor
