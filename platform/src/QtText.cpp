#include "platform/QtText.h"

#include <cstdint>
#include <sys/stat.h>

#include <QFileInfo>
#include <QStringDecoder>

namespace platform {
namespace {

// The length of the UTF-8 sequence that starts at `at`, or 0 when none does.
std::size_t SequenceAt(std::string_view s, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
  const std::uint8_t lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint8_t low = 0x80;  // the range of the second byte, which rules out
  std::uint8_t high = 0xBF;  // overlong forms, surrogates and past U+10FFFF
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > s.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// Valid UTF-8 as it is: a byte order mark at the start stays a character
// (QString::fromUtf8 would drop it, and a name would lose it).
QString FromUtf8(std::string_view valid) {
  QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
  return decode(QByteArrayView(valid.data(), static_cast<qsizetype>(valid.size())));
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t n = SequenceAt(bytes, at);
    if (n == 0) return false;
    at += n;
  }
  return true;
}

QString ToQt(std::string_view text) {
  if (IsValidUtf8(text)) return FromUtf8(text);
  // Name by name: a file from another system in a folder of this one keeps
  // its folder's letters.
  QString shown;
  for (std::size_t at = 0;;) {
    const std::size_t slash = text.find('/', at);
    const std::string_view piece = text.substr(at, slash == std::string_view::npos ? slash : slash - at);
    const auto size = static_cast<qsizetype>(piece.size());
    shown += IsValidUtf8(piece) ? FromUtf8(piece) : QString::fromLatin1(piece.data(), size);
    if (slash == std::string_view::npos) return shown;
    shown += u'/';
    at = slash + 1;
  }
}

std::string FromQt(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

std::string FromQt(const QString& shown, std::string_view original) {
  if (shown == ToQt(original)) return std::string(original);
  return FromQt(shown);
}

std::string PathFromQt(const QString& chosen, std::string_view offered) {
  const std::string utf8 = FromQt(chosen);
  std::string base(offered);
  // From the offered path up through its folders, as long as they hold bytes
  // that Qt could not have kept.
  while (!base.empty() && !IsValidUtf8(base)) {
    const QString shown = ToQt(base);
    const std::string shownUtf8 = FromQt(shown);
    if (!Exists(shownUtf8)) {
      if (chosen == shown) return base;
      if (chosen.startsWith(shown + u'/')) return base + utf8.substr(shownUtf8.size());
    }
    const std::size_t slash = base.find_last_of('/');
    if (slash == std::string::npos || slash == 0) break;
    base.resize(slash);
  }
  return utf8;
}

QString DialogFolder(std::string_view folder) {
  QString dir = ToQt(folder);
  while (!dir.isEmpty() && !QFileInfo(dir).isDir()) {
    const QString above = QFileInfo(dir).path();
    if (above == dir) break;
    dir = above;
  }
  return dir;
}

}  // namespace platform
