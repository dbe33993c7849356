#include "editor/MessageModel.h"

#include <cstdio>
#include <stdexcept>

#include "common/DoubleByteClass.h"
#include "common/Util.h"
#include "editor/LogoRecordLimits.h"

namespace editor {
namespace {

char Digit(int value, const char* what) {
  if (value < 0 || value > 9) throw std::invalid_argument(std::string(what) + " must be 0..9");
  return static_cast<char>('0' + value);
}

void CheckAttr(char attr) {
  if (attr < '0' || attr > '3') throw std::invalid_argument("attribute digit must be '0'..'3'");
}

void CheckLine(int line) {
  if (line != 1 && line != 2) throw std::out_of_range("line must be 1 or 2");
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Logos are kept at 24 bits a pixel whatever they came as.
QImage Rgb32(const QImage& image) {
  return image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

std::string LogoNumberText(int n) {
  if (n < 0 || n > 999) throw std::out_of_range("a logo number has three digits");
  char buf[8];
  std::snprintf(buf, sizeof buf, "%.3d", n);
  return buf;
}

// --- TFrame ---

int TFrame::CellCount(int line) const {
  int count = 0;
  for (char f : Fonts[line]) count += f != kTrailFont;
  return count;
}

Cell TFrame::CellAt(int line, int pos) const {
  if (pos < 1 || pos > Length(line)) throw std::out_of_range("no such cell");
  const auto k = static_cast<std::size_t>(pos - 1);
  return {Kinds[line][k], Codes[line][k], Fonts[line][k], Colors[line][k], Attrs[line][k]};
}

bool TFrame::IsTrail(int line, int pos) const {
  return pos >= 1 && pos <= Length(line) && Fonts[line][static_cast<std::size_t>(pos - 1)] == kTrailFont;
}

std::optional<int> TFrame::LogoNumberAt(int line, int pos) const {
  if (pos < 1 || pos > Length(line)) return std::nullopt;
  const Cell c = CellAt(line, pos);
  if (c.kind != kKindLogo || !IsDigit(c.code) || !IsDigit(c.font) || !IsDigit(c.color)) return std::nullopt;
  return (c.code - '0') * 100 + (c.font - '0') * 10 + (c.color - '0');
}

void TFrame::SetLogoNumberAt(int line, int pos, int n) {
  if (pos < 1 || pos > Length(line)) throw std::out_of_range("no such cell");
  const std::string digits = LogoNumberText(n);
  const auto k = static_cast<std::size_t>(pos - 1);
  Codes[line][k] = digits[0];
  Fonts[line][k] = digits[1];
  Colors[line][k] = digits[2];
}

void TFrame::InsertCellAt(int line, int pos, const Cell& cell) {
  if (pos < 1 || pos > Length(line) + 1) throw std::out_of_range("no such cell position");
  const auto k = static_cast<std::size_t>(pos - 1);
  Kinds[line].insert(k, 1, cell.kind);
  Codes[line].insert(k, 1, cell.code);
  Fonts[line].insert(k, 1, cell.font);
  Colors[line].insert(k, 1, cell.color);
  Attrs[line].insert(k, 1, cell.attr);
}

void TFrame::EraseCellAt(int line, int pos) {
  if (pos < 1 || pos > Length(line)) throw std::out_of_range("no such cell");
  const auto k = static_cast<std::size_t>(pos - 1);
  for (auto* column : {&Kinds, &Codes, &Fonts, &Colors, &Attrs}) (*column)[line].erase(k, 1);
}

void TFrame::EraseAllCells() {
  for (int line = 1; line <= 2; ++line)
    for (auto* column : {&Kinds, &Codes, &Fonts, &Colors, &Attrs}) (*column)[line].clear();
}

// --- MessageModel ---

MessageModel::MessageModel(SignGeometry sign) : sign_(sign) {}

void MessageModel::NewMessage(const std::string& directory) {
  frames_.clear();
  logos_.clear();
  frames_.push_back(MakeFrame(0));
  CurrentFrame = 0;
  FirstVisibleRow = 0;
  DocFileName = util::JoinPath(directory, "NEW.SML");
  Modified = false;
}

std::unique_ptr<TFrame> MessageModel::MakeFrame(int index) const {
  auto f = std::make_unique<TFrame>();
  f->Layout = EmptyLayout();
  f->Picture = QImage(kPictureScale * sign_.width, kPictureScale * sign_.height, QImage::Format_RGB32);
  f->Picture.fill(qRgb(0, 0, 0));
  if (index > 0) {
    const TFrame& before = *frames_[static_cast<std::size_t>(index - 1)];
    f->HasFixedPart = before.HasFixedPart;
    f->FixedWidth = before.FixedWidth;
  }
  return f;
}

bool MessageModel::InsertFrame(int index) {
  if (index < 0 || index > FrameCount()) throw std::out_of_range("frame index");
  if (FrameCount() >= kMaxFrames) {
    util::ShowWarning(kTooManyFramesText);
    return false;
  }
  frames_.insert(frames_.begin() + index, MakeFrame(index));
  return true;
}

bool MessageModel::RemoveFrame(int index) {
  TFrame& f = Frame(index);
  if (FrameCount() <= 1) return false;
  if (f.FixedFrame) {
    const bool has = index > 0 && Frame(index - 1).HasFixedPart;
    const std::uint16_t width = index > 0 ? Frame(index - 1).FixedWidth : 0;
    SpreadFixedPart(index + 1, has, has ? width : 0);
  }
  ReleaseLogos(f);
  frames_.erase(frames_.begin() + index);
  return true;
}

void MessageModel::ClearFrame(int index) {
  TFrame& f = Frame(index);
  ReleaseLogos(f);
  f.Speed = 0;
  f.Modes.clear();
  f.CurLine = 1;
  f.Layout = EmptyLayout();
  f.EraseAllCells();
  f.CaretCell = {1, 1};
  f.FirstCell = {1, 1};
}

bool MessageModel::MakeFixed(int index, int textWidth) {
  TFrame& f = Frame(index);
  if (textWidth > sign_.width / 2) {
    util::ShowWarning(kHalfLengthText);
    return false;
  }
  const auto width = static_cast<std::uint16_t>(textWidth < 0 ? 0 : textWidth);
  f.FixedFrame = true;
  f.HasFixedPart = true;
  f.FixedWidth = width;
  SpreadFixedPart(index + 1, true, width);
  return true;
}

void MessageModel::ReleaseFixed(int index) {
  TFrame& f = Frame(index);
  // Only a fixed frame hands back the part in force before it; a frame that
  // merely follows one ends the fixed part there.
  const bool has = f.FixedFrame && index > 0 && Frame(index - 1).HasFixedPart;
  const std::uint16_t width = has ? Frame(index - 1).FixedWidth : 0;
  f.FixedFrame = false;
  f.HasFixedPart = has;
  f.FixedWidth = width;
  SpreadFixedPart(index + 1, has, width);
}

void MessageModel::SpreadFixedPart(int from, bool has, std::uint16_t width) {
  for (int j = from; j < FrameCount() && !Frame(j).FixedFrame; ++j) {
    Frame(j).HasFixedPart = has;
    Frame(j).FixedWidth = width;
  }
}

bool MessageModel::AppendLogo(const QImage& logo) {
  if (LogoCount() >= kMaxMessageLogos) return false;
  logos_.push_back(Rgb32(logo));
  return true;
}

void MessageModel::RemoveLogo(int n) {
  if (n < 0 || n >= LogoCount()) throw std::out_of_range("no such logo");
  logos_.erase(logos_.begin() + n);
  RenumberLogos(n);
}

void MessageModel::RenumberLogos(int n) {
  for (auto& f : frames_)
    for (int line = 1; line <= 2; ++line)
      for (int pos = 1; pos <= f->Length(line); ++pos)
        if (auto m = f->LogoNumberAt(line, pos); m && *m > n) f->SetLogoNumberAt(line, pos, *m - 1);
}

void MessageModel::ReleaseLogos(TFrame& f) {
  for (int line = 1; line <= 2; ++line)
    for (int pos = 1; pos <= f.Length(line); ++pos) {
      // Read afresh each time: removing a logo lowers the later cells of this frame too.
      auto n = f.LogoNumberAt(line, pos);
      if (!n) continue;
      if (*n < LogoCount()) RemoveLogo(*n);
      f.Kinds[line][static_cast<std::size_t>(pos - 1)] = kKindCharacter;
    }
}

int MessageModel::FrameLogoCells(const TFrame& f) const {
  int count = 0;
  for (int line = 1; line <= 2; ++line)
    for (int pos = 1; pos <= f.Length(line); ++pos)
      if (auto n = f.LogoNumberAt(line, pos); n && *n < LogoCount()) ++count;
  return count;
}

bool MessageModel::HasRoomInLine(const TFrame& f, int line) const {
  if (f.CellCount(line) < kMaxLineCells) return true;
  util::Beep();
  return false;
}

void MessageModel::CheckCellPosition(const TFrame& f, int line, int pos) const {
  CheckLine(line);
  if (pos < 1 || pos > f.Length(line) + 1) throw std::out_of_range("no such cell position");
  // Never between a lead and its trail: that would hand the trail to another cell.
  if (f.IsTrail(line, pos)) throw std::invalid_argument("a cell cannot go before a trail cell");
}

bool MessageModel::InsertCharacter(int frame, int line, int pos, std::uint8_t code, int font, int color, char attr) {
  TFrame& f = Frame(frame);
  CheckCellPosition(f, line, pos);
  if (code < 32) throw std::invalid_argument("a character code is 32..255");
  const Cell cell{kKindCharacter, static_cast<char>(code), Digit(font, "font"), Digit(color, "colour"), attr};
  CheckAttr(attr);
  if (!HasRoomInLine(f, line)) return false;
  f.InsertCellAt(line, pos, cell);
  return true;
}

bool MessageModel::InsertPair(int frame, int line, int pos, std::uint8_t lead, std::uint8_t trail, int color,
                              char attr) {
  TFrame& f = Frame(frame);
  CheckCellPosition(f, line, pos);
  if (lead < 0x80 || trail < 32) throw std::invalid_argument("a pair is a lead byte from 0x80 and a trail from 32");
  const char colorDigit = Digit(color, "colour");
  CheckAttr(attr);
  const std::optional<int> font = signfont::PairFont(lead, trail);
  if (!font) {
    // No font draws it, and its class digit would name no font.
    util::ShowWarning(kFontUnacceptableText);
    return false;
  }
  if (!HasRoomInLine(f, line)) return false;
  f.InsertCellAt(line, pos, {kKindCharacter, static_cast<char>(lead), Digit(*font, "font"), colorDigit, attr});
  f.InsertCellAt(line, pos + 1, {kKindCharacter, static_cast<char>(trail), kTrailFont, colorDigit, attr});
  return true;
}

bool MessageModel::InsertBeep(int frame, int line, int pos, int font, int color) {
  TFrame& f = Frame(frame);
  CheckCellPosition(f, line, pos);
  const Cell cell{kKindBeep, kBeepCode, Digit(font, "font"), Digit(color, "colour"), '0'};
  if (!HasRoomInLine(f, line)) return false;
  f.InsertCellAt(line, pos, cell);
  return true;
}

std::optional<int> MessageModel::InsertLogo(int frame, int line, int pos, const QImage& logo) {
  TFrame& f = Frame(frame);
  CheckCellPosition(f, line, pos);
  if (!HasRoomInLine(f, line)) return std::nullopt;
  if (!HasRoomForLogos(1)) {
    util::ShowWarning(kTooManyLogosText);
    return std::nullopt;
  }
  const int n = LogoCount();
  logos_.push_back(Rgb32(logo));
  f.InsertCellAt(line, pos, {kKindLogo, '0', '0', '0', '0'});
  f.SetLogoNumberAt(line, pos, n);
  return n;
}

bool MessageModel::DeleteCell(int frame, int line, int pos) {
  TFrame& f = Frame(frame);
  CheckLine(line);
  if (pos < 1) throw std::out_of_range("no such cell");
  if (pos > f.Length(line)) {
    util::Beep();
    return false;
  }
  if (auto n = f.LogoNumberAt(line, pos); n && *n < LogoCount()) RemoveLogo(*n);
  const bool wasTrail = f.IsTrail(line, pos);
  f.EraseCellAt(line, pos);
  // A lead goes with its trail whatever its class, so no trail is left behind.
  if (!wasTrail)
    while (f.IsTrail(line, pos)) f.EraseCellAt(line, pos);
  if (f.LinesEmpty() && sign_.height == 16) f.Layout = 0;
  return true;
}

void MessageModel::CopyFrame(int index) {
  const TFrame& f = Frame(index);
  TFrame clip;
  clip.Speed = f.Speed;
  clip.Modes = f.Modes;
  clip.CurLine = f.CurLine;
  clip.Layout = f.Layout;
  clip.CaretCell = f.CaretCell;
  clip.FirstCell = f.FirstCell;
  clip.Kinds = f.Kinds;
  clip.Codes = f.Codes;
  clip.Fonts = f.Fonts;
  clip.Colors = f.Colors;
  clip.Attrs = f.Attrs;
  std::vector<QImage> logos;
  for (int line = 1; line <= 2; ++line)
    for (int pos = 1; pos <= clip.Length(line); ++pos) {
      if (clip.Kinds[line][static_cast<std::size_t>(pos - 1)] != kKindLogo) continue;
      auto n = clip.LogoNumberAt(line, pos);
      if (n && *n < LogoCount()) {
        clip.SetLogoNumberAt(line, pos, static_cast<int>(logos.size()));
        logos.push_back(logos_[static_cast<std::size_t>(*n)]);
      } else {
        // A logo the message no longer has: an 'X' of font 1 stands in for it.
        const auto k = static_cast<std::size_t>(pos - 1);
        clip.Kinds[line][k] = kKindCharacter;
        clip.Codes[line][k] = 'X';
        clip.Fonts[line][k] = '1';
        clip.Colors[line][k] = '0';
      }
    }
  clip_ = std::move(clip);
  clipLogos_ = std::move(logos);
  clipFilled_ = true;
}

bool MessageModel::PasteFrame(int index) {
  TFrame& f = Frame(index);
  if (!clipFilled_) return false;
  const int after = LogoCount() - FrameLogoCells(f) + static_cast<int>(clipLogos_.size());
  // A message opened with more logos than the sign names may still take a
  // paste that adds none.
  if (after > kMaxLogos && after > LogoCount()) {
    util::ShowWarning(kTooManyLogosText);
    return false;
  }
  for (const QImage& logo : clipLogos_)
    if (!AcceptLogoSize(logo)) return false;
  // The frame's old cells go, so their logos go with them rather than linger unnamed.
  ReleaseLogos(f);
  f.Speed = clip_.Speed;
  f.Modes = clip_.Modes;
  f.CurLine = clip_.CurLine;
  f.Layout = clip_.Layout;
  f.CaretCell = clip_.CaretCell;
  f.FirstCell = clip_.FirstCell;
  f.Kinds = clip_.Kinds;
  f.Codes = clip_.Codes;
  f.Fonts = clip_.Fonts;
  f.Colors = clip_.Colors;
  f.Attrs = clip_.Attrs;
  for (int line = 1; line <= 2; ++line)
    for (int pos = 1; pos <= f.Length(line); ++pos)
      if (auto m = f.LogoNumberAt(line, pos)) {
        f.SetLogoNumberAt(line, pos, LogoCount());
        logos_.push_back(clipLogos_.at(static_cast<std::size_t>(*m)));
      }
  return true;
}

}  // namespace editor
