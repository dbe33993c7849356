// Frames of arbitrary column bytes (as a damaged frame file could give) must
// still make one well-framed record: every brace inside it escaped, every logo
// the sign has a letter for referenced once by that letter, every other logo
// cell left out, and the planes sized W * 4 * c.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "editor/MessageFile.h"
#include "editor/MessageModel.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  editor::TFrame frame;
  frame.Speed = data[0] % 4;
  frame.Layout = static_cast<std::uint8_t>(1 + data[1] % 2);
  const int logoCount = data[2] % 60;
  std::size_t k = 3;
  // Five bytes a step: the first's top bit picks the line, its low seven bits
  // the cell's kind; a control byte there adds the next byte as a mode letter
  // instead, so every printable kind (characters, beeps, logos) can be a cell.
  for (; k + 5 <= size; k += 5) {
    const int line = 1 + (data[k] >> 7);
    const char kind = static_cast<char>(data[k] & 0x7F);
    if (kind < 0x20) {
      frame.Modes.push_back(static_cast<char>(data[k + 1]));
      continue;
    }
    const editor::Cell cell{kind, static_cast<char>(data[k + 1]), static_cast<char>(data[k + 2]),
                            static_cast<char>(data[k + 3]), static_cast<char>(data[k + 4])};
    frame.InsertCellAt(line, frame.Length(line) + 1, cell);
  }
  // The logo cells that name a logo of the message the sign has a letter for
  // go out with their letter; the rest (past the count, or from 52 on) not at all.
  int named = 0;
  for (int line = 1; line <= 2; ++line)
    for (int pos = 1; pos <= frame.Length(line); ++pos) {
      if (frame.CellAt(line, pos).kind != editor::kKindLogo) continue;
      const auto n = frame.LogoNumberAt(line, pos);
      if (n && *n < logoCount && *n < editor::kMaxLogos) ++named;
    }
  const std::string text = editor::FrameCommand(frame, logoCount);
  Check(text.size() >= 5 && text.front() == '{' && text.back() == '}');
  int references = 0;
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    if (text[i] == '/') {
      ++i;
      Check(i + 1 < text.size());  // the closing brace is never the escaped byte
      continue;
    }
    Check(text[i] != '{' && text[i] != '}');
    if (text[i] == '^' && i + 1 < text.size() - 1 && text[i + 1] == 'L') {
      // "^L" is always followed by the letter of a logo below the count: the
      // sign would take whatever follows for one.
      ++references;
      const char letter = text[i + 2];
      const int n = letter >= 'A' && letter <= 'Z' ? letter - 'A' : letter >= 'a' && letter <= 'z' ? letter - 'a' + 26 : -1;
      Check(n >= 0 && n < logoCount && n < editor::kMaxLogos);
    }
  }
  Check(references == named);

  QImage logo(static_cast<int>(size % 40), static_cast<int>(data[1] % 24), QImage::Format_RGB32);
  logo.fill(qRgb(data[0], data[1], data[2]));
  for (int signHeight : {7, 8, 16}) {
    const auto planes = editor::LogoBitPlanes(logo, signHeight);
    Check(planes.size() == static_cast<std::size_t>(logo.width()) * 4 * editor::PlaneBytesPerColumn(signHeight));
  }
  return 0;
}
