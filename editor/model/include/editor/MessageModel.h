#pragma once
// The message being edited: an ordered list of frames of character cells, the
// logos its cells own, and the editor's document state. Everything here runs
// on the user-interface thread.
//
// A frame line is five parallel columns of one byte per cell (kinds, codes,
// fonts, colours, attributes); digits are stored as the characters '0'..'9'.
//   character   'N'  byte 32..255   font '0'..'9'      colour '0'..'9'   attrs '0'..'3'
//   pair lead   'N'  lead byte      class + 7 digit    colour            attrs
//   pair trail  'N'  trail byte     'X'                colour            attrs
//   beep        'B'  'x'            font (unused)      colour (unused)   '0'
//   logo        '@'  3 digits of the logo number over codes, fonts, colours; '0'
// Each logo cell owns one LogoList entry, so the numbers in use are always
// 0 .. LogoCount()-1; removing a logo lowers every higher number in all frames.
#include <QImage>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace editor {

constexpr int kMaxFrames = 150;
constexpr int kMaxLineCells = 100;  // a pair counts once
// The sign names logos by one letter, 'A'..'Z' then 'a'..'z': the editor
// inserts and pastes no logo beyond these.
constexpr int kMaxLogos = 52;
// What a message holds at most: a frame file counts its logos in one byte.
// A file made elsewhere may bring more than the sign names; those are kept,
// saved and sent without a letter.
constexpr int kMaxMessageLogos = 255;
// Screen pixels per sign pixel in the frame pictures.
constexpr int kPictureScale = 3;

constexpr char kKindCharacter = 'N';
constexpr char kKindBeep = 'B';
constexpr char kKindLogo = '@';
constexpr char kTrailFont = 'X';
constexpr char kBeepCode = 'x';

inline constexpr const char* kTooManyFramesText = "The maximum of frames is 150!";
inline constexpr const char* kTooManyLogosText = "The maximum of logos is 52!";
inline constexpr const char* kTooManyMessageLogosText = "The maximum of logos is 255!";
inline constexpr const char* kFontUnacceptableText = "Font is unacceptable.";
inline constexpr const char* kHalfLengthText = "Half length of message can be fixed frame!";

// Something kept once per line, indexed by line number 1 or 2.
template <typename T>
class PerLine {
 public:
  PerLine() = default;
  PerLine(T line1, T line2) : v_{std::move(line1), std::move(line2)} {}
  T& operator[](int line) { return v_.at(static_cast<std::size_t>(line - 1)); }
  const T& operator[](int line) const { return v_.at(static_cast<std::size_t>(line - 1)); }
  friend bool operator==(const PerLine&, const PerLine&) = default;

 private:
  std::array<T, 2> v_{};
};

// One cell as its five column characters.
struct Cell {
  char kind = kKindCharacter;
  char code = ' ';
  char font = '0';
  char color = '0';
  char attr = '0';
  friend bool operator==(const Cell&, const Cell&) = default;
};

// The three digits of a logo number ("%.3d"); n must be 0..999.
std::string LogoNumberText(int n);
// The attribute digit of a character cell.
constexpr char AttrDigit(bool bold, bool reverse) { return static_cast<char>('0' + (bold ? 1 : 0) + (reverse ? 2 : 0)); }

struct TFrame {
  std::uint8_t Speed = 0;  // 0 Fast, 1 Medium, 2 Slow
  std::string Modes;       // presentation function letters in the order chosen
  std::uint8_t CurLine = 1;
  std::uint8_t Layout = 0;  // 0 undecided, 1 one full-height line, 2 two half lines
  PerLine<std::int32_t> CaretCell{1, 1};
  PerLine<std::int32_t> FirstCell{1, 1};
  PerLine<std::string> Kinds;
  PerLine<std::string> Codes;
  PerLine<std::string> Fonts;
  PerLine<std::string> Colors;
  PerLine<std::string> Attrs;
  bool FixedFrame = false;
  bool HasFixedPart = false;
  std::uint16_t FixedWidth = 0;  // sign pixels
  QImage Picture;  // RGB32, 3 screen pixels a sign pixel, black when new

  // Cells of the line, trail cells included.
  int Length(int line) const { return static_cast<int>(Codes[line].size()); }
  // Cells of the line that are not trail cells (a pair counts once).
  int CellCount(int line) const;
  bool LinesEmpty() const { return Codes[1].empty() && Codes[2].empty(); }
  // Cell `pos` (1-based) of the line; out_of_range outside 1..Length.
  Cell CellAt(int line, int pos) const;
  bool IsTrail(int line, int pos) const;
  // The number of a logo cell; nullopt for other cells or digits that are not digits.
  std::optional<int> LogoNumberAt(int line, int pos) const;
  void SetLogoNumberAt(int line, int pos, int n);
  // Raw column edits, no checks: insert before cell `pos` (1..Length+1), erase cell `pos`.
  void InsertCellAt(int line, int pos, const Cell& cell);
  void EraseCellAt(int line, int pos);
  // All five columns of both lines emptied.
  void EraseAllCells();
};

struct SignGeometry {
  int width = 160;   // sign pixels
  int height = 16;   // 7, 8 or 16
};

class MessageModel {
 public:
  // An empty model (no frames, CurrentFrame -1) for a sign of this size; NewMessage sets up a message.
  explicit MessageModel(SignGeometry sign = {});
  MessageModel(const MessageModel&) = delete;
  MessageModel& operator=(const MessageModel&) = delete;

  const SignGeometry& Sign() const { return sign_; }
  // The layout a new or emptied frame gets: 0 (undecided) on a 16-row sign, else 1.
  std::uint8_t EmptyLayout() const { return sign_.height == 16 ? 0 : 1; }

  // Frees every frame and logo and starts a message of one empty frame named
  // "NEW.SML" in `directory`; CurrentFrame and FirstVisibleRow 0, not modified.
  void NewMessage(const std::string& directory);

  // --- frames ---
  const std::vector<std::unique_ptr<TFrame>>& FrameList() const { return frames_; }
  int FrameCount() const { return static_cast<int>(frames_.size()); }
  TFrame& Frame(int index) { return *frames_.at(static_cast<std::size_t>(index)); }
  const TFrame& Frame(int index) const { return *frames_.at(static_cast<std::size_t>(index)); }
  // A new empty frame at `index` (0..FrameCount()), taking the fixed part in
  // force from the frame before it. Refused with a warning at 150 frames.
  // Selects nothing.
  bool InsertFrame(int index);
  // Removes frame `index` with its logos (the other numbers move down). When it
  // was a fixed frame, the frames after it up to the next fixed frame take the
  // fixed part of the frame before it. The only frame is never removed (false).
  // CurrentFrame is left to the caller.
  bool RemoveFrame(int index);
  // Empties the frame: frees its logos, resets speed, modes, line, layout, caret
  // and first cell. Its fixed-frame fields stay.
  void ClearFrame(int index);

  // Fixed part. `textWidth` is the frame's text width in sign pixels. Refused
  // with a warning when it is more than half the sign width.
  bool MakeFixed(int index, int textWidth);
  // The frame and those after it up to the next fixed frame lose their fixed
  // part; a fixed frame gives them the part of the frame before it instead.
  void ReleaseFixed(int index);

  // --- logos: RGB32 images at one pixel a sign pixel ---
  const std::vector<QImage>& LogoList() const { return logos_; }
  int LogoCount() const { return static_cast<int>(logos_.size()); }
  // Whether `count` new logos still leave the sign a letter for each.
  bool HasRoomForLogos(int count) const { return LogoCount() + count <= kMaxLogos; }
  // Appends a logo whose cells are already in the frames (a frame file being
  // read); false, showing nothing, when the message holds kMaxMessageLogos already.
  bool AppendLogo(const QImage& logo);
  // Frees logo n and lowers every higher logo number in all frames. The cells
  // that referred to n are the caller's (DeleteCell, ClearFrame remove them).
  void RemoveLogo(int n);
  // Every logo cell of every frame numbered above n gets its number minus one.
  void RenumberLogos(int n);

  // --- cells (line 1 or 2, pos 1..Length+1: before cell pos) ---
  // A limit refusal (a line of 100 cells) beeps; the others warn. Refusals
  // change nothing and return false. Layout, font height and the width of a
  // fixed frame are checked by the editor control before these are called.
  bool InsertCharacter(int frame, int line, int pos, std::uint8_t code, int font, int color, char attr);
  // A double-byte pair as one unit: the lead takes DoubleByteClass + 7 as its
  // font digit, the trail 'X'. A pair of no font (class 4) is refused with
  // "Font is unacceptable.".
  bool InsertPair(int frame, int line, int pos, std::uint8_t lead, std::uint8_t trail, int color, char attr);
  bool InsertBeep(int frame, int line, int pos, int font, int color);
  // Appends a copy of `logo` to LogoList and inserts its cell; the 53rd logo is
  // refused with "The maximum of logos is 52!". Returns the new logo's number.
  std::optional<int> InsertLogo(int frame, int line, int pos, const QImage& logo);
  // Deletes cell `pos` with the trail cells that follow it, freeing a logo.
  // When both lines end up empty a 16-row frame's layout returns to 0. Beeps
  // and returns false when pos is after the last cell.
  bool DeleteCell(int frame, int line, int pos);

  // --- one-frame clipboard ---
  // Copies speed, modes, line, layout, carets and cells; the clipboard keeps its
  // own copies of the logos the frame shows, so later deletions, New or Open
  // never change what a paste brings.
  void CopyFrame(int index);
  // Replaces the frame's cells by the clipboard's (its fixed-frame fields and
  // picture stay); its old logos are freed and every pasted logo cell gets a
  // new copy. Refused with the logo warning when it would add logos beyond
  // kMaxLogos;
  // false and nothing changed then, or when the clipboard is empty.
  bool PasteFrame(int index);
  bool ClipFilled() const { return clipFilled_; }
  const TFrame& ClipFrame() const { return clip_; }
  const std::vector<QImage>& ClipLogos() const { return clipLogos_; }

  // --- document state, kept here for the forms ---
  int CurrentFrame = -1;
  int FirstVisibleRow = 0;
  int VisibleRows = 0;
  std::string DocFileName;
  bool Modified = false;
  int CurrentFont = 0;   // 0..9
  int CurrentColor = 0;  // 0..9

 private:
  std::unique_ptr<TFrame> MakeFrame(int index) const;
  bool HasRoomInLine(const TFrame& f, int line) const;
  void CheckCellPosition(const TFrame& f, int line, int pos) const;
  int FrameLogoCells(const TFrame& f) const;
  void ReleaseLogos(TFrame& f);
  void SpreadFixedPart(int from, bool has, std::uint16_t width);

  SignGeometry sign_;
  std::vector<std::unique_ptr<TFrame>> frames_;
  std::vector<QImage> logos_;
  TFrame clip_;
  std::vector<QImage> clipLogos_;
  bool clipFilled_ = false;
};

}  // namespace editor
