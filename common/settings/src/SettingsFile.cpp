#include "common/SettingsFile.h"

#include <cerrno>
#include <mutex>
#include <set>

#include "common/LinkSettings.h"
#include "common/Util.h"
#include "platform/BinaryFile.h"
#include "platform/InOutError.h"

namespace settings {

namespace {

// The files this run could not read at its start.
std::mutex keptMutex;
std::set<std::string>& KeptFiles() {
  static std::set<std::string> files;
  return files;
}

std::string ReasonOf(const platform::InOutError& e) {
  if (e.error() == EFBIG) return e.reason() + ", more than 1 MiB";
  return e.reason();
}

}  // namespace

SettingsReader::SettingsReader(std::string path) : path_(std::move(path)) {
  try {
    file_ = platform::LoadProfile(path_);
    exists_ = platform::FileExists(path_);
  } catch (const platform::InOutError& e) {
    exists_ = true;
    problem_ = ReasonOf(e);
    std::lock_guard lock(keptMutex);
    KeptFiles().insert(path_);
  }
}

std::string SettingsReader::Read(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  return util::ReadIniString(section, key, defaultValue, file_);
}

int SettingsReader::ReadNumber(const std::string& section, const std::string& key, int defaultValue, int min,
                               int max) const {
  int value = defaultValue;
  if (!ParseSetting(Read(section, key, std::to_string(defaultValue)), min, max, value)) value = defaultValue;
  return value;
}

bool SettingsReader::ReportProblem() const {
  if (problem_.empty()) return true;
  util::ShowWarning(UnreadableText(path_, problem_));
  return false;
}

std::string UnreadableText(const std::string& path, const std::string& reason) {
  return "The settings file " + path + " cannot be read (" + reason +
         "). The default settings are used, and the file is not written until the program is started again.";
}

bool KeptFromSaves(const std::string& path) {
  std::lock_guard lock(keptMutex);
  return KeptFiles().count(path) != 0;
}

void SettingsWriter::Write(const std::string& section, const std::string& key, const std::string& value) {
  entries_.push_back({section, key, value});
}

bool SettingsWriter::Finish() {
  if (finished_) return saved_;
  finished_ = true;
  std::string reason;
  if (KeptFromSaves(path_)) {
    reason = "it could not be read when the program started";
  } else {
    saved_ = util::WriteIniStrings(entries_, path_, &reason);
  }
  if (!saved_) util::ShowWarning(SaveFailureText(path_, reason));
  return saved_;
}

bool SaveChangedKeys(const std::string& path, platform::ProfileKeysRead& read,
                     const std::vector<platform::ProfileEntry>& now) {
  const std::vector<platform::ProfileEntry> changed = read.Changed(now);
  if (changed.empty()) return true;
  SettingsWriter out(path);
  for (const platform::ProfileEntry& e : changed) out.Write(e);
  if (!out.Finish()) return false;
  read.Take(changed);
  return true;
}

bool SaveMissingKeys(const std::string& path, platform::ProfileKeysRead& read,
                     const std::vector<platform::ProfileEntry>& keys) {
  SettingsWriter out(path);
  for (platform::ProfileEntry e : keys) {
    e.onlyWhereMissing = true;
    out.Write(e);
  }
  read.Take(keys);
  return out.Finish();
}

void TakeReadKeys(const SettingsReader& file, platform::ProfileKeysRead* read,
                  const std::vector<platform::ProfileEntry>& keys) {
  platform::ProfileKeysRead ownRecord;
  platform::ProfileKeysRead& record = read ? *read : ownRecord;
  if (file.Exists()) {
    record.Take(keys);
  } else {
    SaveMissingKeys(file.path(), record, keys);
  }
}

std::string SaveFailureText(const std::string& path, const std::string& reason) {
  return "The settings could not be saved to " + path + " (" + reason + ")!";
}

}  // namespace settings
