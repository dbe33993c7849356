#pragma once
// The editor's message files: the message in memory turned into command
// records of the sign's language, for the sign (a direct send) or beside the
// saved frame file (for the controller to send later).
//
// A file is written to a temporary file and renamed over the old one, so a
// failure (platform::InOutError, cmdfile::RecordTooLong) leaves the old file whole.
#include <QImage>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editor/MessageModel.h"
#include "platform/Clock.h"

namespace editor {

// What the wake-up record depends on, from "SML_WIN.INI" section "Communication".
struct MessageFileSettings {
  int signId = 0;      // "Sign ID", 0..99
  int timeFormat = 1;  // "Time Format": 0 = 12H, 1 = 24H
  bool crcCheck = false;  // "CRC Check"
  const platform::Clock* clock = &platform::DefaultClock();
};

// The editor's wake-up record carries one at-sign more than the controller's.
constexpr int kEditorWakeUpAtSigns = 23;
// Bytes written with a '/' in front inside frame texts and logo data.
constexpr std::string_view kEscapeChars = "@{}/^#";

// Caret codes of the speeds and font indices; colours use colorcode::ColorIndexCaretCode.
extern const std::array<const char*, 3> SpeedCaretCodes;
extern const std::array<const char*, 10> FontCaretCodes;

// "{N<id>,M=AML,D=<12|24> <month> <day> <weekday> <hour> <minute>}" with ",S"
// before the brace when the ID is not 0 and CRC checking is on.
std::string BuildWakeUpCommand(const MessageFileSettings& settings);
// Whether the sign answers each record of a file sent with these settings.
inline bool RepliesAwaited(const MessageFileSettings& s) { return s.crcCheck && s.signId != 0; }

// 'A'..'Z' for 0..25, 'a'..'z' for 26..51, empty from 52 on.
std::string LogoLetter(int n);
// The sign has no letter for the logos of a message from kMaxLogos on, so a
// message file leaves them out: their cells in the frame texts and their
// records. What the user is told about them at a save or a send, e.g. "Logos
// 53 to 60 are not sent: a sign shows at most 52 logos."; empty when the
// message has no such logo.
std::string UnsentLogosText(int logoCount);
// The plane class 1..8 of a red-green code (palette codes 0..7), 0 for any other.
int ColorClass(std::uint8_t redGreenCode);
// Bytes per plane column: 1 on 7- and 8-row signs, 2 on 16-row signs.
constexpr int PlaneBytesPerColumn(int signHeight) { return (signHeight + 7) / 8; }
// The four bit planes of a logo, W * 4 * c bytes: byte x*4*c + p*c + y/8, bit
// y%8, for the rows the sign has; every other bit is clear.
// Pixels are classed by colorcode::ColorToRedGreenCode.
std::vector<std::uint8_t> LogoBitPlanes(const QImage& logo, int signHeight);
// `bytes` with a '/' in front of each escape character.
std::string EscapeLogoData(const std::vector<std::uint8_t>& bytes);

// The companion message file of a frame file: its extension changed to ".MSG".
std::string CompanionMessagePath(const std::string& framePath);
// "_LOCAL.MSG" in the program directory, the file a direct send goes through.
std::string LocalSendPath();

// The "{T,...}" text of one frame (layout 1 or 2). A logo cell numbered
// kMaxLogos or above, or not below logoCount, sends nothing.
std::string FrameCommand(const TFrame& frame, int logoCount);
// The "{L...}" text of logo n, 0..kMaxLogos-1; std::out_of_range for any other,
// std::invalid_argument (the reason) for a logo wider than its record holds.
std::string LogoCommand(int n, const QImage& logo, int signHeight);

// The texts and CRCs of a message file, in file order: the file record names
// the message by signname::ShortName of `path` (the run record of a send by
// its UpperName), and a name those records cannot carry (the 8 bytes of the
// file record, the whole name of a send's run record) raises
// signname::NameRefused before anything is built. Logos from kMaxLogos on are left out.
struct CommandText {
  std::string text;
  std::uint16_t crc = 0;
};
std::vector<CommandText> CommandFileTexts(const MessageModel& model, const std::string& path, bool header,
                                          const MessageFileSettings& settings);

// The message file of `model` at `path`; with `header` framed by the wake-up,
// run and end records of a direct send.
void BuildCommandFile(const MessageModel& model, const std::string& path, bool header,
                      const MessageFileSettings& settings);
// The wake-up record, "{CA}" and "{E}".
void BuildClearSignFile(const std::string& path, const MessageFileSettings& settings);

}  // namespace editor
