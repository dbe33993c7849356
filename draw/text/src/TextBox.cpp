#include "draw/text/TextBox.h"

#include <algorithm>

#include "common/DoubleByteClass.h"
#include "common/Raster.h"
#include "common/SignFont.h"
#include "common/Util.h"
#include "draw/DrawModel.h"
#include "ScreenFontText.h"

namespace draw {

TextBox::TextBox(const DrawModel& model, const signfont::SignFontTable& fonts, const TextStyleSource& style, int dpiY)
    : model_(model), fonts_(fonts), style_(style), dpiY_(dpiY) {
  ClearText();
}

void TextBox::Open(QPoint at) {
  position_ = at;
  dragging_ = false;
  shown_ = true;
  ClearText();
}

void TextBox::Hide() {
  shown_ = false;
  dragging_ = false;
  Changed();
}

void TextBox::SetPosition(QPoint at) {
  position_ = at;
  Changed();
}

void TextBox::ClearText() {
  lines_.assign(1, TextLine{});
  glyphs_.assign(1, {});
  currentLine_ = 0;
  caretColumn_ = 0;
  Layout();
  Changed();
}

void TextBox::TypeText(const std::u32string& text) {
  for (char32_t c : text) TypeCharacter(c);
}

void TextBox::TypeCharacter(char32_t character) {
  if (character < 32) return;  // control characters, Backspace, Enter and Escape among them
  const std::optional<std::string> bytes = signfont::UnicodeToBig5(character);
  if (!bytes || bytes->empty() || bytes->size() > 2) {
    util::Beep();
    return;
  }
  const TextStyle style = style_.CurrentStyle();
  const std::optional<int> signFont = signfont::FindSignFont(style.fontName);
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>((*bytes)[i]); };
  TextChar c;
  if (bytes->size() == 2) {
    // A sign font would paint the trail byte's glyph in place of the pair.
    if (signFont) {
      util::Beep();
      return;
    }
    c.code = static_cast<std::uint16_t>(byte(0) * 256 + byte(1));
  } else {
    c.code = byte(0);
  }
  c.fontName = style.fontName;
  c.colour = model_.CurrentColor();
  if (!signFont) c.pointSize = style.pointSize;

  // Rendered once, now: a glyph the font file lacks warns here, once, and
  // never from a paint of the box.
  signfont::GlyphStatus status = signfont::GlyphStatus::kNoGlyph;
  QImage glyph = signFont ? fonts_.RenderGlyph(*signFont, c.code, c.colour, false, &status) : RenderScreenChar(c, dpiY_);
  signfont::FontWarning warning;
  warning.Note(status);
  warning.ShowIfPending();

  const auto line = static_cast<std::size_t>(currentLine_);
  lines_[line].insert(lines_[line].begin() + caretColumn_, std::move(c));
  glyphs_[line].insert(glyphs_[line].begin() + caretColumn_, std::move(glyph));
  Layout();
  MoveCaretRight();
  Changed();
}

void TextBox::KeyDown(TextKey key) {
  const int length = static_cast<int>(lines_[static_cast<std::size_t>(currentLine_)].size());
  const int lastLine = static_cast<int>(lines_.size()) - 1;
  switch (key) {
    case TextKey::kBackspace:
      if (caretColumn_ == 0) {
        util::Beep();
        return;
      }
      --caretColumn_;
      DeleteAtCaret();
      return;
    case TextKey::kEnter:
      // The text after the caret stays on its line: lines are never split.
      lines_.insert(lines_.begin() + currentLine_ + 1, TextLine{});
      glyphs_.insert(glyphs_.begin() + currentLine_ + 1, std::vector<QImage>{});
      ++currentLine_;
      caretColumn_ = 0;
      Layout();
      break;
    case TextKey::kEnd:
      if (caretColumn_ == length) {
        util::Beep();
        return;
      }
      caretColumn_ = length;
      break;
    case TextKey::kHome:
    case TextKey::kLeft:
      if (caretColumn_ == 0) {
        util::Beep();
        return;
      }
      caretColumn_ = key == TextKey::kHome ? 0 : caretColumn_ - 1;
      break;
    case TextKey::kUp:
    case TextKey::kDown:
      if (key == TextKey::kUp ? currentLine_ == 0 : currentLine_ == lastLine) {
        util::Beep();
        return;
      }
      currentLine_ += key == TextKey::kUp ? -1 : 1;
      caretColumn_ = 0;
      break;
    case TextKey::kRight:
      if (!MoveCaretRight()) return;
      break;
    case TextKey::kDelete:
      DeleteAtCaret();
      return;
  }
  Changed();
}

bool TextBox::MoveCaretRight() {
  if (caretColumn_ >= static_cast<int>(lines_[static_cast<std::size_t>(currentLine_)].size())) {
    util::Beep();
    return false;
  }
  ++caretColumn_;
  return true;
}

void TextBox::DeleteAtCaret() {
  TextLine& line = lines_[static_cast<std::size_t>(currentLine_)];
  if (!line.empty() || lines_.size() == 1) {
    if (caretColumn_ >= static_cast<int>(line.size())) {
      util::Beep();
    } else {
      line.erase(line.begin() + caretColumn_);
      std::vector<QImage>& glyphs = glyphs_[static_cast<std::size_t>(currentLine_)];
      glyphs.erase(glyphs.begin() + caretColumn_);
    }
  } else {
    // An empty line among several goes; lines are never joined.
    lines_.erase(lines_.begin() + currentLine_);
    glyphs_.erase(glyphs_.begin() + currentLine_);
    currentLine_ = std::min(currentLine_, static_cast<int>(lines_.size()) - 1);
    caretColumn_ = 0;
  }
  Layout();
  Changed();
}

void TextBox::Relayout() {
  Layout();
  Changed();
}

void TextBox::Layout() {
  scale_ = std::max(1, model_.Scale());
  lineHeights_.assign(lines_.size(), 0);
  contentWidth_ = 0;
  contentHeight_ = 0;
  for (std::size_t i = 0; i < glyphs_.size(); ++i) {
    int width = 0;
    int height = 0;
    for (const QImage& glyph : glyphs_[i]) {
      width += glyph.width();
      height = std::max(height, glyph.height());
    }
    lineHeights_[i] = height == 0 ? kEmptyLineHeight : height;
    contentWidth_ = std::max(contentWidth_, width);
    contentHeight_ += lineHeights_[i];
  }

  const int s = scale_;
  image_ = raster::NewImage((contentWidth_ + kBoxMargin) * s, contentHeight_ * s);
  for (std::size_t i = 0; i < glyphs_.size(); ++i) {
    const int bottom = LineTop(static_cast<int>(i)) + lineHeights_[i] * s;
    int x = 0;
    for (const QImage& glyph : glyphs_[i]) {
      // Characters stand on the line's bottom edge.
      const raster::Box to{x, bottom - glyph.height() * s, x + glyph.width() * s, bottom};
      raster::StretchCopy(glyph, raster::Box{0, 0, glyph.width(), glyph.height()}, image_, to,
                          raster::CopyMode::kSrcCopy);
      x += glyph.width() * s;
    }
  }
}

int TextBox::LineHeight(int line) const {
  if (line < 0 || line >= static_cast<int>(lineHeights_.size())) return 0;
  return lineHeights_[static_cast<std::size_t>(line)];
}

int TextBox::LineTop(int line) const {
  int top = 0;
  for (int i = 0; i < line && i < static_cast<int>(lineHeights_.size()); ++i) {
    top += lineHeights_[static_cast<std::size_t>(i)] * scale_;
  }
  return top;
}

QRect TextBox::CaretRect() const {
  int x = 0;
  const std::vector<QImage>& line = glyphs_[static_cast<std::size_t>(currentLine_)];
  for (int i = 0; i < caretColumn_ && i < static_cast<int>(line.size()); ++i) {
    x += line[static_cast<std::size_t>(i)].width() * scale_;
  }
  return QRect(x, LineTop(currentLine_), kCaretWidth, LineHeight(currentLine_) * scale_);
}

QImage TextBox::FramedImage() const {
  QImage framed = image_;
  DrawDottedFrame(framed);
  return framed;
}

void TextBox::PressAt(QPoint point) {
  dragging_ = true;
  dragOrigin_ = point;
}

bool TextBox::DragTo(QPoint point) {
  if (!dragging_) return false;
  // Whole sign pixels only; the division truncates toward zero.
  const int dx = (point.x() - dragOrigin_.x()) / scale_ * scale_;
  const int dy = (point.y() - dragOrigin_.y()) / scale_ * scale_;
  if (dx == 0 && dy == 0) return false;
  position_ += QPoint(dx, dy);
  Changed();
  return true;
}

void TextBox::Release() {
  dragging_ = false;
  Changed();
}

void TextBox::Changed() {
  if (listener_) listener_();
}

void DrawDottedFrame(QImage& image) {
  const raster::Box box{0, 0, image.width(), image.height()};
  for (const QPoint& p : raster::RectanglePixels(box)) {
    // Every other pixel, in a black NOT-XOR pen: it inverts, and drawing the
    // frame again takes it away.
    if ((p.x() + p.y()) % 2 == 0) raster::PenPixel(image, p.x(), p.y(), raster::kBlack, raster::PenMode::kNotXor);
  }
}

void CommitTextBox(DrawModel& model, const TextBox& box, bool transparent) {
  model.CopyViewToPicture();
  const int s = box.Scale();
  const QSize size = box.Size();
  if (size.width() == kBoxMargin * s) return;  // no character on any line
  const int left = box.Position().x() / s;
  const int top = box.Position().y() / s;
  const raster::Box from{0, 0, size.width() - kBoxMargin * s, size.height()};
  const raster::Box to{left, top, left + size.width() / s - kBoxMargin, top + size.height() / s};
  raster::StretchCopy(box.Image(), from, model.Picture(), to,
                      transparent ? raster::CopyMode::kSrcPaint : raster::CopyMode::kSrcCopy);
  model.CopyPictureToView();
}

}  // namespace draw
