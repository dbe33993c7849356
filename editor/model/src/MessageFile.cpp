#include "editor/MessageFile.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "common/ColorCode.h"
#include "common/CommandRecord.h"
#include "common/SignName.h"
#include "common/Util.h"
#include "editor/LogoRecordLimits.h"
#include "platform/BinaryFile.h"
#include "platform/Directories.h"

namespace editor {
namespace {

constexpr int kPlanes = 4;

// Plane bits of each class 1..8, plane 0 in bit 0.
constexpr std::array<std::uint8_t, 9> kClassPlanes = {0b0000, 0b0101, 0b0001, 0b1010, 0b0010,
                                                     0b1011, 0b0011, 0b1111, 0b0111};

bool IsEscapeChar(char c) { return kEscapeChars.find(c) != std::string_view::npos; }

void AppendEscaped(std::string& out, char c) {
  if (IsEscapeChar(c)) out.push_back('/');
  out.push_back(c);
}

// The value of a column digit, or -1 when the byte is not a digit.
int DigitValue(char c) { return c >= '0' && c <= '9' ? c - '0' : -1; }

std::string Formatted(const char* format, int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, format, value);
  return buf;
}

CommandText Command(std::string text) {
  const std::uint16_t crc = cmdfile::CalcCRC(text);
  return {std::move(text), crc};
}

CommandText WakeUpRecord(const MessageFileSettings& settings) {
  const std::string command = BuildWakeUpCommand(settings);
  // The at-sign run wakes the sign; the CRC covers the command alone.
  return {std::string(kEditorWakeUpAtSigns, '@') + command, cmdfile::CalcCRC(command)};
}

void WriteTexts(const std::string& path, const std::vector<CommandText>& texts) {
  platform::AtomicFileWriter file(path);
  for (const CommandText& t : texts) cmdfile::WriteRecord(file, t.text, t.crc);
  file.Commit();
}

// The caret codes of one frame line, appended to `out`.
struct LineWriter {
  std::string& out;
  int logoCount;
  int lastColor = -1;
  int lastAttr = 0;
  int lastFont = -1;

  void Character(const TFrame& f, int line, int pos) {
    const Cell c = f.CellAt(line, pos);
    if (int k = DigitValue(c.color); k >= 0 && k != lastColor) {
      out += colorcode::ColorIndexCaretCode(k);
      lastColor = k;
    }
    const int a = std::max(DigitValue(c.attr), 0);
    if ((a & 1) != (lastAttr & 1)) out += (a & 1) ? "^BD" : "^NO";
    if ((a & 2) != (lastAttr & 2)) out += (a & 2) ? "^BG" : "^FG";
    lastAttr = a;
    if (int font = DigitValue(c.font); font >= 0 && font != lastFont) {
      out += FontCaretCodes[static_cast<std::size_t>(font)];
      lastFont = font;
    }
    AppendEscaped(out, c.code);
    // A pair goes out whole whenever its trail follows, whatever the lead byte.
    if (f.IsTrail(line, pos + 1)) AppendEscaped(out, f.CellAt(line, pos + 1).code);
  }

  void Line(const TFrame& f, int line) {
    if (f.Codes[line].empty()) return;
    out += line == 2 ? "^UL" : (f.Layout == 2 ? "^DL" : "^FL");
    for (int pos = 1; pos <= f.Length(line); ++pos) {
      const Cell c = f.CellAt(line, pos);
      if (c.kind == kKindLogo) {
        // A logo the sign has no letter for is left out: "^L" alone would
        // make the sign take the next character for a logo letter.
        auto n = f.LogoNumberAt(line, pos);
        if (n && *n < logoCount && *n < kMaxLogos) out += "^L" + LogoLetter(*n);
      } else if (c.kind == kKindBeep) {
        out += "^BP";
      } else if (c.font != kTrailFont) {
        Character(f, line, pos);
      }
    }
  }
};

}  // namespace

const std::array<const char*, 3> SpeedCaretCodes = {"~f", "~m", "~s"};
const std::array<const char*, 10> FontCaretCodes = {"^T5", "^T7", "^TB", "^TC", "^TD",
                                                    "^TA", "^TE", "^TD", "^TL", "^TL"};

std::string BuildWakeUpCommand(const MessageFileSettings& settings) {
  const platform::LocalTime t = settings.clock->Now();
  char buf[80];
  std::snprintf(buf, sizeof buf, "{N%.2d,M=AML,D=%.2d %.2d %.2d %.2d %.2d %.2d%s}", settings.signId,
                12 + 12 * settings.timeFormat, t.month, t.day, t.weekday, t.hour, t.minute,
                RepliesAwaited(settings) ? ",S" : "");
  return buf;
}

std::string LogoLetter(int n) {
  if (n >= 0 && n < 26) return std::string(1, static_cast<char>('A' + n));
  if (n >= 26 && n < kMaxLogos) return std::string(1, static_cast<char>('a' + n - 26));
  return {};
}

std::string UnsentLogosText(int logoCount) {
  if (logoCount <= kMaxLogos) return {};
  const std::string first = std::to_string(kMaxLogos + 1);
  const std::string last = std::to_string(logoCount);
  const std::string which = logoCount == kMaxLogos + 1   ? "Logo " + first + " is"
                            : logoCount == kMaxLogos + 2 ? "Logos " + first + " and " + last + " are"
                                                         : "Logos " + first + " to " + last + " are";
  return which + " not sent: a sign shows at most " + std::to_string(kMaxLogos) + " logos.";
}

int ColorClass(std::uint8_t redGreenCode) {
  switch (redGreenCode) {
    case 224: return 1;
    case 160: return 2;
    case 28: return 3;
    case 20: return 4;
    case 252: return 5;
    case 216: return 6;
    case 232: return 7;
    case 200: return 8;
    default: return 0;
  }
}

std::vector<std::uint8_t> LogoBitPlanes(const QImage& logo, int signHeight) {
  const QImage image = logo.format() == QImage::Format_RGB32 ? logo : logo.convertToFormat(QImage::Format_RGB32);
  const int c = PlaneBytesPerColumn(signHeight);
  std::vector<std::uint8_t> planes(static_cast<std::size_t>(image.width()) * kPlanes * c, 0);
  // Rows below the sign's last row have nowhere to go.
  const int rows = std::min(image.height(), signHeight);
  for (int y = 0; y < rows; ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const std::uint8_t bits = kClassPlanes[static_cast<std::size_t>(ColorClass(colorcode::ColorToRedGreenCode(line[x])))];
      for (int p = 0; p < kPlanes; ++p)
        if (bits & (1 << p))
          planes[static_cast<std::size_t>(x * kPlanes * c + p * c + y / 8)] |= static_cast<std::uint8_t>(1 << (y % 8));
    }
  }
  return planes;
}

std::string EscapeLogoData(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) AppendEscaped(out, static_cast<char>(b));
  return out;
}

std::string CompanionMessagePath(const std::string& framePath) {
  const std::size_t slash = framePath.find_last_of('/');
  const std::size_t dot = framePath.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? framePath.substr(0, dot) : framePath) + ".MSG";
}

std::string LocalSendPath() { return util::JoinPath(platform::ProgramDirectory(), "_LOCAL.MSG"); }

std::string FrameCommand(const TFrame& frame, int logoCount) {
  std::string out = "{T,";
  if (frame.Speed < SpeedCaretCodes.size()) out += SpeedCaretCodes[frame.Speed];
  for (char m : frame.Modes) {
    out.push_back('~');
    // Mode letters never need it; a damaged frame file must still not break the record.
    AppendEscaped(out, m);
  }
  out.push_back(',');
  // Colour, attribute and font carry on from line 2 into line 1.
  LineWriter writer{out, logoCount};
  writer.Line(frame, 2);
  writer.Line(frame, 1);
  out.push_back('}');
  return out;
}

std::string LogoCommand(int n, const QImage& logo, int signHeight) {
  if (n < 0 || n >= kMaxLogos) throw std::out_of_range("the sign has no letter for logo " + std::to_string(n));
  const std::string letter = LogoLetter(n);
  const int height = std::min(logo.height(), signHeight);
  // A logo a file brought may be wider than the record's three digits hold.
  if (const std::string why = LogoRecordSizeProblem(logo.width(), height); !why.empty())
    throw std::invalid_argument("Logo " + std::to_string(n + 1) + " cannot be sent: " + why);
  return "{L" + letter + "," + Formatted("%.2d", height) + "," + Formatted("%.3d", logo.width()) + ",C,#" +
         EscapeLogoData(LogoBitPlanes(logo, signHeight)) + "#}";
}

std::vector<CommandText> CommandFileTexts(const MessageModel& model, const std::string& path, bool header,
                                          const MessageFileSettings& settings) {
  signname::CheckName(path);
  // The send file's "{RX,...}" names the message in full.
  if (header) signname::CheckFullName(path);
  std::vector<CommandText> texts;
  const std::string name = signname::UpperName(path);
  if (header) texts.push_back(WakeUpRecord(settings));
  texts.push_back(Command("{F," + signname::ShortName(path) + "}"));
  for (const auto& frame : model.FrameList())
    if (frame->Layout != 0) texts.push_back(Command(FrameCommand(*frame, model.LogoCount())));
  // The frame texts leave out the logos the sign has no letter for; so do the records.
  const int sent = std::min(model.LogoCount(), kMaxLogos);
  for (int n = 0; n < sent; ++n)
    texts.push_back(Command(LogoCommand(n, model.LogoList()[static_cast<std::size_t>(n)], model.Sign().height)));
  if (header) {
    texts.push_back(Command("{RX," + name + "}"));
    texts.push_back(Command("{E}"));
  }
  return texts;
}

void BuildCommandFile(const MessageModel& model, const std::string& path, bool header,
                      const MessageFileSettings& settings) {
  WriteTexts(path, CommandFileTexts(model, path, header, settings));
}

void BuildClearSignFile(const std::string& path, const MessageFileSettings& settings) {
  WriteTexts(path, {WakeUpRecord(settings), Command("{CA}"), Command("{E}")});
}

}  // namespace editor
