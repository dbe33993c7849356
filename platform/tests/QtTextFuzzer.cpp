// The texts between the programs and Qt on arbitrary bytes. What the validity
// test calls UTF-8 is exactly what Qt's own decoder takes back unchanged; a
// valid text goes to Qt and back as it was; any text shown and taken back
// untouched keeps its bytes; a path keeps its slashes; and a path offered to
// a dialog and given back as shown is the offered one.
#include <cstdint>
#include <cstdlib>
#include <string>

#include <QByteArray>
#include <QStringDecoder>

#include "platform/QtText.h"

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const bool valid = platform::IsValidUtf8(bytes);
  QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
  const QString byQt = decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  Check(valid == (byQt.toUtf8() == QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()))));

  const QString shown = platform::ToQt(bytes);
  if (valid) Check(platform::FromQt(shown) == bytes);
  Check(platform::FromQt(shown, bytes) == bytes);
  qsizetype slashes = 0;
  for (char c : bytes) slashes += c == '/' ? 1 : 0;
  Check(shown.count(u'/') == slashes);

  // Under a folder that does not exist, so nothing on disk can match.
  if (bytes.find('\0') == std::string::npos) {
    const std::string offered = "/no-such-folder-of-the-text-fuzzer/" + bytes;
    Check(platform::PathFromQt(platform::ToQt(offered), offered) == offered);
  }
  return 0;
}
