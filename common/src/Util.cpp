#include "common/Util.h"

#include <atomic>
#include <chrono>
#include <cstdio>

#include "platform/Directories.h"
#include "platform/InOutError.h"
#include "platform/MessageBoxes.h"
#include "platform/ProfileFile.h"
#include "platform/QtText.h"

namespace util {
namespace {

int Box(platform::BoxType type, platform::BoxButtons buttons, const char* caption, const std::string& text,
        int defaultResult = platform::kResultNone) {
  return platform::Boxes().Show({type, buttons, caption, text, defaultResult});
}

std::atomic<std::int64_t> tickStartMs{0};

std::int64_t MonotonicMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void ShowWarning(const std::string& text) {
  Box(platform::BoxType::Warning, platform::BoxButtons::Ok, "Warning", text);
}

void ShowInfo(const std::string& text) {
  Box(platform::BoxType::Information, platform::BoxButtons::Ok, "Information", text);
}

bool AskYesNo(const std::string& question, bool noByDefault) {
  return Box(platform::BoxType::Information, platform::BoxButtons::YesNo, "Information", question,
             noByDefault ? platform::kResultNo : platform::kResultNone) == platform::kResultYes;
}

int AskYesNoCancel(const std::string& question) {
  int r = Box(platform::BoxType::Information, platform::BoxButtons::YesNoCancel, "Information", question);
  return r == platform::kResultYes || r == platform::kResultNo ? r : platform::kResultCancel;
}

void Beep() { platform::Boxes().Beep(); }

int TickTimer(int command) {
  if (command == 0) {
    tickStartMs.store(MonotonicMs());
    return 0;
  }
  std::int64_t elapsed = MonotonicMs() - tickStartMs.load();
  return static_cast<int>(elapsed * 18 / 1000);
}

std::string TrimTrailingBlanks(const std::string& text) {
  std::size_t end = text.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::string TrimBlanks(const std::string& text) {
  std::size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return {};
  std::size_t end = text.find_last_not_of(' ');
  return text.substr(begin, end - begin + 1);
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  // Every byte of the folder's name counts: on Linux a name may end in a blank.
  std::string dir = directory.empty() ? platform::CurrentDirectory() : directory;
  if (!dir.empty() && dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

namespace {

bool TooLong(const std::string& text) { return text.size() > kIniArgumentLimit; }

}  // namespace

bool WriteIniStrings(const std::vector<platform::ProfileEntry>& entries, const std::string& path,
                     std::string* reason) {
  for (const platform::ProfileEntry& e : entries) {
    if (TooLong(e.section) || TooLong(e.key) || TooLong(e.value)) {
      if (reason) *reason = "a setting is longer than " + std::to_string(kIniArgumentLimit) + " bytes";
      return false;
    }
  }
  return platform::WriteProfileStrings(path, entries, reason);
}

bool WriteIniString(const std::string& section, const std::string& key, const std::string& value,
                    const std::string& path, std::string* reason) {
  return WriteIniStrings({{section, key, value}}, path, reason);
}

std::string ReadIniString(const std::string& section, const std::string& key, const std::string& defaultValue,
                          const platform::ProfileText& file) {
  if (TooLong(section) || TooLong(key) || TooLong(defaultValue)) return defaultValue.substr(0, kIniArgumentLimit - 1);
  std::string value = file.Get(section, key).value_or(defaultValue);
  if (value.size() > kIniArgumentLimit - 1) {
    // A UTF-8 value is cut before the character the limit would split.
    std::size_t cut = kIniArgumentLimit - 1;
    if (platform::IsValidUtf8(value)) {
      while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
    }
    value.resize(cut);
  }
  return value;
}

std::string ReadIniString(const std::string& section, const std::string& key, const std::string& defaultValue,
                          const std::string& path) {
  platform::ProfileText file;
  try {
    file = platform::LoadProfile(path);
  } catch (const platform::InOutError&) {
    // Read as missing; the start-up readers say why (settings::SettingsReader).
  }
  return ReadIniString(section, key, defaultValue, file);
}

std::string GetField(const std::string& text, int n, const std::string& defaultValue,
                     const std::string& delimiter) {
  if (n < 1) return defaultValue;
  if (delimiter.size() != 1) return n == 1 && !text.empty() ? text : defaultValue;
  std::size_t start = 0;
  for (int field = 1;; ++field) {
    std::size_t next = text.find(delimiter[0], start);
    if (field == n) {
      std::string f = text.substr(start, next == std::string::npos ? std::string::npos : next - start);
      return f.empty() ? defaultValue : f;
    }
    if (next == std::string::npos) return defaultValue;
    start = next + 1;
  }
}

std::string TimeText(const platform::Clock& clock) {
  platform::LocalTime t = clock.Now();
  char buf[16];
  std::snprintf(buf, sizeof buf, "%2.2d:%2.2d:%2.2d", t.hour, t.minute, t.second);
  return buf;
}

}  // namespace util
