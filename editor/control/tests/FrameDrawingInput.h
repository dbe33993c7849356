#pragma once
// The message the control's drawing fuzzer makes of its input bytes: a sign
// size, the current font and colour, up to three logos and one frame of
// arbitrary state and column bytes. Only frames a frame file can bring are
// kept: the frame is stored and read back, and one the reader refuses (a trail
// cell without its lead, an unknown kind, cells in an undecided layout...) is
// no input for the control, since neither a file nor a key can make it.
// The current line, carets and first cells stay arbitrary: the control puts
// them inside the line and off trail cells itself.
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "editor/FrameFile.h"
#include "editor/MessageModel.h"

namespace editor::testsupport {

// The fuzzer takes no input shorter than this.
constexpr std::size_t kFrameDrawingHeaderSize = 8;

// Null when the bytes are too short or make a frame no file can give.
inline std::unique_ptr<MessageModel> FrameDrawingMessage(const std::uint8_t* data, std::size_t size,
                                                         const std::string& directory) {
  if (size < kFrameDrawingHeaderSize) return nullptr;
  const int heights[] = {7, 8, 16};
  const SignGeometry sign{8 + data[0] % 160, heights[data[1] % 3]};
  MessageModel built(sign);
  built.NewMessage(directory);
  for (int i = 0; i < data[4] % 4; ++i) {
    QImage logo(1 + i * 7, 1 + i * 3, QImage::Format_RGB32);
    logo.fill(Qt::red);
    built.AppendLogo(logo);
  }
  TFrame& f = built.Frame(0);
  f.Layout = data[6] % 3;
  f.FixedFrame = data[7] & 1;
  f.HasFixedPart = data[7] & 2;
  f.FixedWidth = static_cast<std::uint16_t>((data[7] >> 2) * 5);
  std::size_t k = kFrameDrawingHeaderSize;
  for (; k + 6 <= size; k += 6) {
    const int line = 1 + (data[k] & 1);
    f.InsertCellAt(line, f.Length(line) + 1,
                   {static_cast<char>(data[k + 1]), static_cast<char>(data[k + 2]), static_cast<char>(data[k + 3]),
                    static_cast<char>(data[k + 4]), static_cast<char>(data[k + 5])});
  }
  std::unique_ptr<MessageModel> model;
  try {
    const std::vector<std::uint8_t> bytes = EncodeFrameFile(built);
    model = DecodeFrameFile(bytes, sign);
  } catch (const BadFrameFile&) {
    return nullptr;
  } catch (const FrameFileNotWritable&) {
    return nullptr;
  }
  model->CurrentFont = data[2] % 10;
  model->CurrentColor = data[3] % 10;
  TFrame& g = model->Frame(0);
  g.CurLine = data[5] % 4;
  const int caret = k < size ? data[k] : 1;
  g.CaretCell = {caret - 3, caret};
  g.FirstCell = {caret / 2 - 1, caret / 3};
  return model;
}

}  // namespace editor::testsupport
