#include "FrameChecks.h"

#include <string>

#include "editor/FrameFile.h"

namespace editor::framefile_detail {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAttr(char c) { return c >= '0' && c <= '3'; }
int Byte(char c) { return static_cast<unsigned char>(c); }

std::string Where(int number, int line, int pos) {
  return "Frame " + std::to_string(number) + ", line " + std::to_string(line) + ", cell " + std::to_string(pos);
}

[[noreturn]] void Refuse(const std::string& where, const std::string& what) { throw BadFrameFile(where + ": " + what + "."); }

bool LayoutFits(const TFrame& f, const SignGeometry& sign) {
  if (sign.height != 16) return f.Layout == 1;
  // An undecided layout belongs to a frame that has no cell yet.
  return f.Layout == 1 || f.Layout == 2 || (f.Layout == 0 && f.LinesEmpty());
}

void CheckCharacter(const TFrame& f, int line, int pos, const std::string& where) {
  const Cell c = f.CellAt(line, pos);
  if (Byte(c.code) < 32) Refuse(where, "the character code " + std::to_string(Byte(c.code)) + " is below 32");
  if (!IsDigit(c.color)) Refuse(where, "the colour is not a digit");
  if (c.font == kTrailFont) {
    const bool afterLead = pos > 1 && f.Kinds[line][static_cast<std::size_t>(pos - 2)] == kKindCharacter &&
                           !f.IsTrail(line, pos - 1) && Byte(f.Codes[line][static_cast<std::size_t>(pos - 2)]) >= 0x80;
    if (!afterLead) Refuse(where, "a trail byte does not follow a lead byte");
    return;
  }
  if (!IsDigit(c.font)) Refuse(where, "the font is not a digit");
  // Fonts 8 and 9 draw double-byte characters only, so their lead has a trail.
  const bool pairFont = c.font == '8' || c.font == '9';
  if (pairFont && !(f.IsTrail(line, pos + 1) && f.Kinds[line][static_cast<std::size_t>(pos)] == kKindCharacter)) {
    Refuse(where, "a lead byte of font " + std::string(1, c.font) + " has no trail byte");
  }
}

void CheckLogo(const TFrame& f, int line, int pos, int logoCount, const std::string& where) {
  const std::optional<int> n = f.LogoNumberAt(line, pos);
  if (!n) Refuse(where, "a logo cell has no three-digit number");
  if (*n >= logoCount) {
    Refuse(where, "logo " + std::to_string(*n) + " is named, but the file holds " + std::to_string(logoCount) + " logos");
  }
}

void CheckLine(const TFrame& f, int number, int line, int logoCount) {
  if (f.CellCount(line) > kMaxLineCells) {
    throw BadFrameFile("Frame " + std::to_string(number) + ", line " + std::to_string(line) + ": " +
                       std::to_string(f.CellCount(line)) + " cells, more than the " + std::to_string(kMaxLineCells) +
                       " a line holds.");
  }
  for (int pos = 1; pos <= f.Length(line); ++pos) {
    const std::string where = Where(number, line, pos);
    const Cell c = f.CellAt(line, pos);
    if (!IsAttr(c.attr)) Refuse(where, "the attribute is not '0' to '3'");
    switch (c.kind) {
      case kKindCharacter:
        CheckCharacter(f, line, pos, where);
        break;
      case kKindLogo:
        CheckLogo(f, line, pos, logoCount, where);
        break;
      case kKindBeep:
        break;
      default:
        Refuse(where, "the cell kind " + std::to_string(Byte(c.kind)) + " is unknown");
    }
  }
}

}  // namespace

void CheckFrame(const TFrame& f, int number, const SignGeometry& sign, int logoCount) {
  const std::string frame = "Frame " + std::to_string(number);
  if (f.Speed > 2) Refuse(frame, "the speed " + std::to_string(f.Speed) + " is not 0, 1 or 2");
  if (!LayoutFits(f, sign)) {
    Refuse(frame, "the layout " + std::to_string(f.Layout) + " does not suit a sign of " + std::to_string(sign.height) +
                      " rows");
  }
  if (f.FixedWidth > sign.width) {
    Refuse(frame, "the fixed part of " + std::to_string(f.FixedWidth) + " pixels is wider than the sign's " +
                      std::to_string(sign.width));
  }
  // A one-line frame has no second line to show or send.
  if (f.Layout != 2 && f.Length(2) > 0) Refuse(frame, "a one-line frame has cells on a second line");
  for (int line = 1; line <= 2; ++line) {
    CheckLine(f, number, line, logoCount);
    // Logos are as high as the sign: they stand only in one-line frames.
    if (f.Layout == 2 && f.Kinds[line].find(kKindLogo) != std::string::npos) {
      Refuse(frame, "a two-line frame holds a logo");
    }
  }
}

}  // namespace editor::framefile_detail
