#pragma once
// One offscreen QApplication for the controller's core tests, and a scratch directory.
#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TestBytes.h"
#include "testsupport/OffscreenApp.h"
#include "testsupport/TempDir.h"

namespace coretest {

// A Reset of sign "00" on the link, record by record, with the clock at
// 2024-12-09 03:10:05: the wake-up (22 '@', then the time record with its CRC),
// then "{Z}" and "{E}" as bytes with their CRCs and no length words.
inline std::vector<std::string> ResetRecordsOnTheLink() {
  const std::string wake = "{N00,M=AML,D=24 12 09 03 10 05}";
  const std::uint16_t crc = testbytes::BitwiseCrc(wake.substr(1, wake.size() - 2));
  return {std::string(22, '@') + wake + char(crc >> 8) + char(crc & 0xFF), std::string("\x7B\x5A\x7D\xFB\xBF"),
          std::string("\x7B\x45\x7D\x18\x61")};
}

inline QApplication& GuiApp() { return testsupport::OffscreenApp("controller_core_tests"); }

using testsupport::TempDir;

}  // namespace coretest
