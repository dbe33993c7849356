// Any bytes at all: the reader either refuses them or gives a message that
// saves back to a file that reads to the same message.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "editor/FrameFile.h"
#include "platform/MessageBoxes.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool SameFrame(const editor::TFrame& a, const editor::TFrame& b) {
  return a.Speed == b.Speed && a.Modes == b.Modes && a.CurLine == b.CurLine && a.Layout == b.Layout &&
         a.CaretCell == b.CaretCell && a.FirstCell == b.FirstCell && a.Kinds == b.Kinds && a.Codes == b.Codes &&
         a.Fonts == b.Fonts && a.Colors == b.Colors && a.Attrs == b.Attrs && a.FixedFrame == b.FixedFrame &&
         a.HasFixedPart == b.HasFixedPart && a.FixedWidth == b.FixedWidth;
}

bool SameMessage(const editor::MessageModel& a, const editor::MessageModel& b) {
  if (a.FrameCount() != b.FrameCount() || a.LogoList() != b.LogoList()) return false;
  for (int i = 0; i < a.FrameCount(); ++i)
    if (!SameFrame(a.Frame(i), b.Frame(i))) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::ScopedRecordingBoxes boxes;
  // The first byte picks the sign, so every height's layout rules are tried.
  if (size < 1) return 0;
  const int heights[] = {7, 8, 16};
  const editor::SignGeometry sign{16 + data[0] % 200, heights[data[0] % 3]};
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);
  std::unique_ptr<editor::MessageModel> first;
  try {
    first = editor::DecodeFrameFile(bytes, sign);
  } catch (const editor::BadFrameFile&) {
    return 0;
  }
  const std::vector<std::uint8_t> saved = editor::EncodeFrameFile(*first);
  const std::unique_ptr<editor::MessageModel> second = editor::DecodeFrameFile(saved, sign);
  Check(SameMessage(*first, *second));
  Check(editor::EncodeFrameFile(*second) == saved);
  Check(boxes->Shown().empty());
  return 0;
}
