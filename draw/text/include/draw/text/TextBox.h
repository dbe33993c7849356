#pragma once
// The Text tool's floating text box: lines of typed characters, each with its
// own font (a sign font or a screen font), colour and point size, shown at the
// view scale s and copied into the picture when the user is done.
//
// A character's glyph is rendered once, when it is typed; the box lays itself
// out and paints into its own image after every edit, so a paint of the
// window only shows that image, and the commit reads it rather than the
// screen. Positions and sizes are in screen pixels of the drawing
// area; content sizes are in sign pixels.
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>
#include <QSize>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace signfont {
class SignFontTable;
}

namespace draw {

class DrawModel;

// One typed character.
struct TextChar {
  // A single byte (32..255), or lead * 256 + trail for a double-byte character.
  std::uint16_t code = 0;
  // The font box's item when the character was typed: a sign-font caption or
  // a screen font's face name.
  std::string fontName;
  QRgb colour = 0;
  // Points, for screen fonts only.
  int pointSize = 0;

  bool IsPair() const { return code > 0xFF; }
  std::uint8_t Lead() const { return static_cast<std::uint8_t>(code >> 8); }
  std::uint8_t Trail() const { return static_cast<std::uint8_t>(code & 0xFF); }
};

using TextLine = std::vector<TextChar>;

// What the font and size boxes hold at the moment a character is typed.
struct TextStyle {
  std::string fontName;
  int pointSize = 0;
};

class TextStyleSource {
 public:
  virtual ~TextStyleSource() = default;
  virtual TextStyle CurrentStyle() const = 0;
};

// The keys the box acts on; every other key does nothing.
enum class TextKey { kBackspace, kEnter, kEnd, kHome, kLeft, kUp, kRight, kDown, kDelete };

// An empty line counts this many sign pixels high, and the box keeps this
// many sign pixels of margin to the right of its text.
inline constexpr int kEmptyLineHeight = 10;
inline constexpr int kBoxMargin = 10;
inline constexpr int kCaretWidth = 3;

class TextBox {
 public:
  // The colour and the scale come from `model`, the font and size from
  // `style`, sign-font glyphs from `fonts` (opened by the main window).
  // `dpiY` turns a screen font's points into pixels.
  TextBox(const DrawModel& model, const signfont::SignFontTable& fonts, const TextStyleSource& style, int dpiY = 96);

  // --- Showing (the Text tool) -------------------------------------------
  // Places the box's top left at `at` (drawing-area pixels), clears it and
  // shows it.
  void Open(QPoint at);
  void Hide();
  bool IsShown() const { return shown_; }
  QPoint Position() const { return position_; }
  void SetPosition(QPoint at);

  // --- Editing -----------------------------------------------------------
  // One empty line, caret at its start.
  void ClearText();
  // Typed text as Unicode. Control characters are ignored; a character that
  // cannot be written beeps and is not inserted (see TypeCharacter).
  void TypeText(const std::u32string& text);
  // A character is encoded in code page 950: one byte, or a pair inserted as
  // one character. A pair while a sign font is chosen beeps (the sign fonts
  // are single-byte), as does a character the code page lacks. A sign-font
  // glyph beyond the end of its file shows "Font not found!" here, once.
  void TypeCharacter(char32_t character);
  void KeyDown(TextKey key);

  const std::vector<TextLine>& Lines() const { return lines_; }
  int CurrentLine() const { return currentLine_; }
  int CaretColumn() const { return caretColumn_; }

  // --- Layout (sign pixels unless stated) ----------------------------------
  int ContentWidth() const { return contentWidth_; }
  int ContentHeight() const { return contentHeight_; }
  int LineHeight(int line) const;
  // Screen pixels.
  int LineTop(int line) const;
  // The box's size in screen pixels: (content width + 10) x s by content height x s.
  QSize Size() const { return image_.size(); }
  // The caret's rectangle in box pixels: 3 wide, the current line's height x s.
  QRect CaretRect() const;
  int Scale() const { return scale_; }
  // Lays the box out again and repaints its image (after a change of scale).
  void Relayout();

  // The box's painted pixels: black, with each character standing on its
  // line's bottom edge. No frame, no caret.
  const QImage& Image() const { return image_; }
  // The image as the window shows it, with the dotted inverted frame.
  QImage FramedImage() const;

  // --- Dragging (box-relative points) --------------------------------------
  void PressAt(QPoint point);
  // Moves the box in whole sign pixels; true when it moved.
  bool DragTo(QPoint point);
  void Release();
  bool Dragging() const { return dragging_; }

  // Called after every change of text, layout, position or visibility.
  void SetChangeListener(std::function<void()> listener) { listener_ = std::move(listener); }

 private:
  // Measures the lines and paints the image.
  void Layout();
  bool MoveCaretRight();
  void DeleteAtCaret();
  void Changed();

  const DrawModel& model_;
  const signfont::SignFontTable& fonts_;
  const TextStyleSource& style_;
  int dpiY_;

  std::vector<TextLine> lines_;
  // Each character's glyph, rendered once when it is typed.
  std::vector<std::vector<QImage>> glyphs_;
  std::vector<int> lineHeights_;
  int currentLine_ = 0;
  int caretColumn_ = 0;
  int contentWidth_ = 0;
  int contentHeight_ = 0;
  int scale_ = 3;
  QImage image_;

  bool shown_ = false;
  QPoint position_;
  bool dragging_ = false;
  QPoint dragOrigin_;
  std::function<void()> listener_;
};

// The box's frame: every other pixel of its outline inverted (a dotted black
// NOT-XOR pen), so that drawing it again removes it.
void DrawDottedFrame(QImage& image);

// Copies the shown box into the picture: its text without the right margin,
// shrunk by s, at (left div s, top div s); OR-ed in when `transparent`, so its
// black background leaves the picture as it was, else copied over it. The
// picture is first brought up to date with the view, and the view redrawn from
// it after. An empty box changes nothing. The caller hides the box.
void CommitTextBox(DrawModel& model, const TextBox& box, bool transparent);

}  // namespace draw
