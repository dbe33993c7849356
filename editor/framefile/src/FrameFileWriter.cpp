#include <limits>
#include <string>

#include "common/CommandRecord.h"
#include "common/LogoFile.h"
#include "common/LogoRle.h"
#include "editor/FrameFile.h"
#include "platform/BinaryFile.h"
#include "platform/InOutError.h"

namespace editor {
namespace {

void PutU16(std::vector<std::uint8_t>& out, std::size_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void PutText(std::vector<std::uint8_t>& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

char YesNo(bool flag) { return flag ? 'Y' : 'N'; }

// The limits the reader holds a file to: whatever is written here reads back.
void CheckWritable(const MessageModel& model) {
  if (model.FrameCount() < 1 || model.FrameCount() > kMaxFrames) {
    throw FrameFileNotWritable("a frame file holds 1 to " + std::to_string(kMaxFrames) + " frames, not " +
                               std::to_string(model.FrameCount()));
  }
  if (model.LogoCount() > kMaxMessageLogos) {
    throw FrameFileNotWritable("a frame file holds at most " + std::to_string(kMaxMessageLogos) + " logos, not " +
                               std::to_string(model.LogoCount()));
  }
  for (int i = 0; i < model.FrameCount(); ++i) {
    const TFrame& f = model.Frame(i);
    if (f.Modes.size() > std::numeric_limits<std::uint8_t>::max()) {
      throw FrameFileNotWritable("frame " + std::to_string(i + 1) + " has more than 255 presentation functions");
    }
    for (int line = 1; line <= 2; ++line)
      if (f.Length(line) > std::numeric_limits<std::uint16_t>::max()) {
        throw FrameFileNotWritable("frame " + std::to_string(i + 1) + " has too many cells to be stored");
      }
  }
  for (int n = 0; n < model.LogoCount(); ++n) {
    const QImage& logo = model.LogoList()[static_cast<std::size_t>(n)];
    const std::int64_t pixels = static_cast<std::int64_t>(logo.width()) * logo.height();
    if (logo.width() < 1 || logo.height() < 1 || logo.width() > logofile::kMaxLogoSide ||
        logo.height() > logofile::kMaxLogoSide || pixels > logofile::kMaxLogoPixels) {
      throw FrameFileNotWritable("logo " + std::to_string(n) + " of " + std::to_string(logo.width()) + " x " +
                                 std::to_string(logo.height()) + " pixels cannot be stored");
    }
  }
}

void PutLine(std::vector<std::uint8_t>& out, const TFrame& f, int line) {
  PutU16(out, static_cast<std::size_t>(f.Length(line)));
  for (const auto* column : {&f.Kinds, &f.Codes, &f.Fonts, &f.Colors, &f.Attrs}) PutText(out, (*column)[line]);
}

void PutFrame(std::vector<std::uint8_t>& out, const TFrame& f) {
  out.push_back(f.Speed);
  out.push_back(static_cast<std::uint8_t>(f.Modes.size()));
  PutText(out, f.Modes);
  out.push_back(f.Layout);
  out.push_back(static_cast<std::uint8_t>(YesNo(f.FixedFrame)));
  out.push_back(static_cast<std::uint8_t>(YesNo(f.HasFixedPart)));
  PutU16(out, f.FixedWidth);
  PutLine(out, f, 1);
  PutLine(out, f, 2);
}

}  // namespace

std::vector<std::uint8_t> EncodeFrameFile(const MessageModel& model) {
  CheckWritable(model);
  std::vector<std::uint8_t> out;
  // Every frame and every logo is written, so the counts are always true.
  PutU16(out, static_cast<std::size_t>(model.FrameCount()));
  PutU16(out, static_cast<std::size_t>(model.LogoCount()));
  out.insert(out.end(), kFrameFileMagic, kFrameFileMagic + kFrameFileMagicSize);
  for (const auto& frame : model.FrameList()) PutFrame(out, *frame);
  for (const QImage& logo : model.LogoList()) {
    PutU16(out, static_cast<std::size_t>(logo.width()));
    PutU16(out, static_cast<std::size_t>(logo.height()));
    const std::vector<std::uint8_t> packets = logorle::EncodeLogoPixels(logo);
    out.insert(out.end(), packets.begin(), packets.end());
  }
  return out;
}

void SaveFrameFile(const MessageModel& model, const std::string& path) {
  // All bytes first: a message the file cannot hold writes nothing at all.
  const std::vector<std::uint8_t> bytes = EncodeFrameFile(model);
  platform::AtomicFileWriter file(path);
  file.Write(bytes.data(), bytes.size());
  file.Commit();
}

void SaveMessage(const MessageModel& model, const std::string& path, const MessageFileSettings& settings) {
  const std::vector<std::uint8_t> frameBytes = EncodeFrameFile(model);
  const std::string messagePath = CompanionMessagePath(path);
  // Saved one over the other, one of the two would be lost.
  if (platform::AreOneFile(path, messagePath)) {
    throw platform::InOutError(path, "names the same file as " + messagePath +
                                         "; the frame file and its message file must be two files");
  }
  const std::vector<CommandText> records = CommandFileTexts(model, messagePath, false, settings);
  platform::AtomicFileWriter frameFile(path);
  frameFile.Write(frameBytes.data(), frameBytes.size());
  platform::AtomicFileWriter messageFile(messagePath);
  for (const CommandText& r : records) cmdfile::WriteRecord(messageFile, r.text, r.crc);
  frameFile.Finish();
  messageFile.Finish();
  // The message file goes in first: were the frame file replaced and the
  // message file then refused, the document would stand on disk without the
  // file the sign is sent. Should the frame file be refused after it, the old
  // message file is put back, so the two never part.
  platform::KeptFile oldMessageFile(messagePath);
  messageFile.Commit();
  try {
    frameFile.Commit();
  } catch (const platform::InOutError& e) {
    if (oldMessageFile.PutBack()) throw;
    // The old message file is never thrown away: the user is told where it is.
    std::string note = "\nThe old message file " + messagePath + " could not be put back";
    note += oldMessageFile.KeptAt().empty() ? "." : ": it is kept as " + oldMessageFile.KeptAt() + ".";
    throw platform::InOutError(e.path(), e.reason() + note);
  } catch (...) {
    oldMessageFile.PutBack();
    throw;
  }
}

}  // namespace editor
