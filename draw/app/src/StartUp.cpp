#include "drawapp/StartUp.h"

#include <QBuffer>
#include <QByteArray>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "common/LinkSettings.h"
#include "common/LogoFile.h"
#include "common/Raster.h"
#include "common/Util.h"
#include "draw/BitmapFile.h"
#include "platform/BinaryFile.h"
#include "platform/InOutError.h"

namespace drawapp {

namespace {

// A drawing wider than a logo can be is of no use.
constexpr int kMaxSignSide = logofile::kMaxLogoSide;

int ReadSize(const settings::SettingsReader& file, const char* key, int defaultValue) {
  const std::string text = file.Read("System", key, std::to_string(defaultValue));
  int value = defaultValue;
  if (settings::ParseSetting(text, 1, kMaxSignSide, value)) return value;
  util::ShowWarning("\"" + std::string(key) + "\" in " + file.path() + " is not a sign size: \"" + text + "\". " +
                    std::to_string(defaultValue) + " is used.");
  return defaultValue;
}

}  // namespace

SignSize ReadSignSize(const std::string& settingsPath) {
  const settings::SettingsReader file(settingsPath);
  file.ReportProblem();
  SignSize size;
  size.width = ReadSize(file, "Sign Width", 160);
  size.height = ReadSize(file, "Sign Height", 16);
  return size;
}

std::string SignSizeText(int height, int width) {
  char text[48];
  std::snprintf(text, sizeof text, "%d(H)x%d(W)", height, width);
  return text;
}

namespace {
// A 24-bit bitmap of a view far larger than any screen shows.
constexpr std::size_t kMaxSysCanvasBytes = std::size_t{64} << 20;
}  // namespace

std::string SysCanvasPath(const std::string& programDir) { return util::JoinPath(programDir, kSysCanvasName); }

bool LoadSysCanvas(const std::string& path, QImage& view) {
  const std::string cannotRead = "The working picture " + path + " cannot be read; the drawing starts black.";
  QImage picture;
  std::string cutShort;
  try {
    const std::vector<std::uint8_t> bytes = platform::ReadWholeFile(path, kMaxSysCanvasBytes);
    picture = draw::DecodeWholeBitmap(bytes, cutShort);
  } catch (const platform::InOutError& e) {
    if (e.error() == ENOENT) return false;  // the first start: nothing to draw back
    util::ShowWarning(cannotRead + "\n" + e.what());
    return false;
  }
  if (picture.isNull()) {
    util::ShowWarning(cutShort.empty() ? cannotRead : cannotRead + "\n" + cutShort);
    return false;
  }
  raster::MakeRgb32(picture);
  view = std::move(picture);
  return true;
}

void SaveSysCanvas(const std::string& path, const QImage& view) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  // A 32-bit image is written as a 24-bit bitmap.
  if (!view.convertToFormat(QImage::Format_RGB32).save(&buffer, "BMP")) throw platform::InOutError(path, EIO);
  platform::AtomicFileWriter file(path);
  file.Write(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  file.Commit();
}

}  // namespace drawapp
