#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "ByteCursor.h"
#include "FrameChecks.h"
#include "common/LogoFile.h"
#include "common/LogoRle.h"
#include "common/Util.h"
#include "editor/FrameFile.h"
#include "platform/BinaryFile.h"
#include "platform/InOutError.h"

namespace editor {

using framefile_detail::ByteCursor;
using framefile_detail::CheckFrame;

namespace {

bool LogoSizeAllowed(std::int64_t width, std::int64_t height) {
  return width >= 1 && height >= 1 && width <= logofile::kMaxLogoSide && height <= logofile::kMaxLogoSide &&
         width * height <= logofile::kMaxLogoPixels;
}

void ReadLine(ByteCursor& in, TFrame& f, int line, const std::string& where) {
  const std::size_t n = in.U16(where);
  for (auto* column : {&f.Kinds, &f.Codes, &f.Fonts, &f.Colors, &f.Attrs}) (*column)[line] = in.Text(n, where);
}

void ReadFrame(ByteCursor& in, TFrame& f, int number) {
  const std::string where = "frame " + std::to_string(number);
  f.Speed = in.U8(where);
  const std::size_t modes = in.U8(where);
  f.Modes = in.Text(modes, where);
  f.Layout = in.U8(where);
  f.FixedFrame = in.U8(where) == 'Y';
  f.HasFixedPart = in.U8(where) == 'Y';
  f.FixedWidth = in.U16(where);
  ReadLine(in, f, 1, where);
  ReadLine(in, f, 2, where);
  // Not kept in the file: a frame opens on line 1 with the carets at the start.
  f.CurLine = 1;
  f.CaretCell = {1, 1};
  f.FirstCell = {1, 1};
}

std::string LogoLimitText(int count) {
  return "It holds " + std::to_string(count) + " logos. " + kTooManyMessageLogosText;
}

// A logo cell owns its picture: a second cell naming the same logo gets a copy
// of its own, so deleting one never frees or renumbers the other's.
void GiveEachLogoCellItsOwnPicture(MessageModel& model) {
  std::vector<bool> taken(static_cast<std::size_t>(model.LogoCount()), false);
  for (int i = 0; i < model.FrameCount(); ++i) {
    TFrame& f = model.Frame(i);
    for (int line = 1; line <= 2; ++line)
      for (int pos = 1; pos <= f.Length(line); ++pos) {
        const std::optional<int> n = f.LogoNumberAt(line, pos);
        if (!n) continue;
        const auto k = static_cast<std::size_t>(*n);
        if (!taken[k]) {
          taken[k] = true;
          continue;
        }
        const QImage copy = model.LogoList()[k];
        if (!model.AppendLogo(copy)) throw BadFrameFile(LogoLimitText(model.LogoCount() + 1));
        f.SetLogoNumberAt(line, pos, model.LogoCount() - 1);
        taken.push_back(true);
      }
  }
}

// `to` takes the frames and logos of `from`; its clipboard and settings stay.
void TakeMessage(MessageModel& to, const MessageModel& from, const std::string& path) {
  to.NewMessage(std::filesystem::path(path).parent_path().string());
  for (int i = 0; i < from.FrameCount(); ++i) {
    if (i > 0) to.InsertFrame(i);
    to.Frame(i) = from.Frame(i);
  }
  for (const QImage& logo : from.LogoList()) to.AppendLogo(logo);
  to.DocFileName = path;
}

std::vector<std::uint8_t> ReadBoundedFile(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (!error && size > kMaxFrameFileBytes) {
    throw BadFrameFile("It is " + std::to_string(size) + " bytes long, larger than any message.");
  }
  return platform::ReadWholeFile(path, kMaxFrameFileBytes);
}

}  // namespace

void ReadFrameLogos(std::span<const std::uint8_t> bytes, std::size_t& offset, MessageModel& model) {
  ByteCursor in(bytes, offset);
  const std::string where = "logo " + std::to_string(model.LogoCount());
  const int width = in.U16(where);
  const int height = in.U16(where);
  if (!LogoSizeAllowed(width, height)) {
    throw BadFrameFile("Logo " + std::to_string(model.LogoCount()) + " is " + std::to_string(width) + " x " +
                       std::to_string(height) + " pixels, outside 1 x 1 to " + std::to_string(logofile::kMaxLogoSide) +
                       " x " + std::to_string(logofile::kMaxLogoSide) + " and " +
                       std::to_string(logofile::kMaxLogoPixels) + " pixels.");
  }
  // Two bytes of packet stand for at most 127 pixels: a record that needs more
  // bytes than are left is cut off, whatever its packets say.
  const std::int64_t reachable = static_cast<std::int64_t>((in.Left() + 1) / 2) * logorle::kMaxPacketCount;
  if (static_cast<std::int64_t>(width) * height > reachable) throw BadFrameFile("The file ends inside " + where + ".");
  const logorle::DecodedLogo decoded = logorle::DecodeLogoPixels(in.Rest(), width, height);
  if (!decoded.complete) throw BadFrameFile("The file ends inside " + where + ".");
  if (!model.AppendLogo(logorle::DecodedToImage(decoded, colorcode::Expansion::kExact))) {
    throw BadFrameFile(LogoLimitText(model.LogoCount() + 1));
  }
  in.Skip(decoded.consumed);
  offset = in.Offset();
}

std::unique_ptr<MessageModel> DecodeFrameFile(std::span<const std::uint8_t> bytes, SignGeometry sign) {
  ByteCursor in(bytes);
  const int frames = in.U16("the header");
  const int logos = in.U16("the header");
  const std::uint8_t* magic = in.Take(kFrameFileMagicSize, "the header");
  if (std::memcmp(magic, kFrameFileMagic, kFrameFileMagicSize) != 0) {
    throw BadFrameFile("It does not begin with a frame file's header.");
  }
  if (frames == 0) throw BadFrameFile("It holds no frame.");
  if (frames > kMaxFrames) throw BadFrameFile("It holds " + std::to_string(frames) + " frames. " + kTooManyFramesText);
  if (logos > kMaxMessageLogos) throw BadFrameFile(LogoLimitText(logos));

  auto model = std::make_unique<MessageModel>(sign);
  model->NewMessage("");
  for (int i = 0; i < frames; ++i) {
    if (i > 0) model->InsertFrame(i);
    ReadFrame(in, model->Frame(i), i + 1);
    CheckFrame(model->Frame(i), i + 1, sign, logos);
  }
  std::size_t offset = in.Offset();
  for (int n = 0; n < logos; ++n) ReadFrameLogos(bytes, offset, *model);
  // Bytes after the last logo are not the message's; they are left unread.
  GiveEachLogoCellItsOwnPicture(*model);
  return model;
}

bool LoadFrameFile(MessageModel& model, const std::string& path, const RedrawPicture& redraw) {
  const std::string name = std::filesystem::path(path).filename().string();
  std::unique_ptr<MessageModel> read;
  try {
    read = DecodeFrameFile(ReadBoundedFile(path), model.Sign());
  } catch (const BadFrameFile& e) {
    util::ShowWarning(name + " is not a valid frame file!\n" + e.what());
    return false;
  } catch (const platform::InOutError& e) {
    util::ShowWarning(name + " cannot be read!\n" + e.what());
    return false;
  }
  TakeMessage(model, *read, path);
  // Drawn in place: the control that draws works on the open message.
  if (redraw)
    for (int i = 0; i < model.FrameCount(); ++i) redraw(model, i);
  return true;
}

}  // namespace editor
