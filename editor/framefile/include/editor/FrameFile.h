#pragma once
// The editor's own document (*.SML): the whole message with its logos, so it
// can be opened and edited again. The sign never sees it.
//
// Layout, integers unsigned little-endian, fields back to back:
//   frame count u16 (1..150), logo count u16, "-FRAME-" (7 bytes, no terminator)
//   frames, in showing order:
//     speed u8, modes length u8, modes, layout u8, fixed frame 'Y'/'N',
//     fixed part 'Y'/'N', fixed width u16, then line 1 and line 2, each a
//     cell count u16 n and n bytes of kinds, codes, fonts, colours, attributes
//   logos, number 0 first: width u16, height u16, then the run-length packets
//     of the width x height colour codes
// Carets, the line being edited and the pictures are not kept: a frame read
// back is on line 1 with both carets and first cells at 1, and is redrawn.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include <QImage>

#include "editor/MessageFile.h"
#include "editor/MessageModel.h"

namespace editor {

inline constexpr char kFrameFileMagic[] = "-FRAME-";
inline constexpr std::size_t kFrameFileMagicSize = 7;
// No message the editor can hold comes near this (255 logos of the largest
// size, each a little over 1 MB of packets at worst, are some 258 MB); a
// bigger file is refused before it is read into memory.
inline constexpr std::uintmax_t kMaxFrameFileBytes = std::uintmax_t{272} << 20;

// A file the reader cannot trust. what() is the reason, a sentence for the user.
class BadFrameFile : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A message the file cannot hold as it is (a modes text over 255 letters, a
// logo the reader would refuse...). Raised before anything is written.
class FrameFileNotWritable : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// The bytes of the model's message. FrameFileNotWritable when it cannot be stored faithfully.
std::vector<std::uint8_t> EncodeFrameFile(const MessageModel& model);
// Writes the message to `path` through a temporary file and a rename, so a
// failure leaves the old file whole. FrameFileNotWritable or platform::InOutError.
// The frame file alone: the editor saves a document with SaveMessage below,
// which puts its companion message file in place with it.
void SaveFrameFile(const MessageModel& model, const std::string& path);

// Saves the message as the frame file `path` and its companion message file
// (CompanionMessagePath) as one: both are written whole before either old file
// is replaced, the message file first, so a failure at any step before the
// last leaves the frame file as it was. FrameFileNotWritable or
// platform::InOutError. The caller clears Modified.
void SaveMessage(const MessageModel& model, const std::string& path, const MessageFileSettings& settings);

// Reads one logo record at `offset` (advanced past it), painting each pixel
// with the exact expansion of its code, and appends the bitmap to the model's
// logos. BadFrameFile when the record is cut off, of size 0 or past the logo
// file's bounds, or the model holds the most logos already.
void ReadFrameLogos(std::span<const std::uint8_t> bytes, std::size_t& offset, MessageModel& model);

// The message of a frame file's bytes as a new model for a sign of `sign`:
// frame 0 current, carets at 1, pictures black (not drawn yet). Two logo cells
// naming one logo get a picture each. BadFrameFile for any file it cannot trust.
std::unique_ptr<MessageModel> DecodeFrameFile(std::span<const std::uint8_t> bytes, SignGeometry sign);

// Draws frame `frame`'s picture from its cells (the editor control's drawing).
using RedrawPicture = std::function<void(MessageModel& model, int frame)>;

// Opens the frame file at `path` into `model`. The file is read whole into a
// model of its own; only when all of it was read and found sound does `model`
// take its frames and logos (frame 0 current, `path` as its name, not
// modified; the clipboard stays), and then every picture is redrawn. Otherwise
// `model` is left exactly as it was, a warning names the file and the reason,
// and the result is false. The caller then selects the current frame and
// redraws the frame list.
bool LoadFrameFile(MessageModel& model, const std::string& path, const RedrawPicture& redraw);

}  // namespace editor
