#pragma once
// "SML_WIN.INI" as the programs read and save it: one reading at the start,
// and one replacement of the whole file at each save, so that a save is on
// disk whole or not at all. A file that is there but cannot be read is said
// at the start and never written over in that run: the defaults the program
// then works with must not replace the operator's settings.
#include <string>
#include <vector>

#include "platform/ProfileFile.h"

namespace settings {

class SettingsReader {
 public:
  // Reads the file once; a missing file reads as an empty one. A file that
  // cannot be read keeps every save of this run off it.
  explicit SettingsReader(std::string path);

  // As util::ReadIniString, from that one reading.
  std::string Read(const std::string& section, const std::string& key, const std::string& defaultValue) const;
  // A decimal integer within [min, max] (ParseSetting); the default for a
  // missing key, a text that is no such number, or one out of the range.
  int ReadNumber(const std::string& section, const std::string& key, int defaultValue, int min, int max) const;
  const std::string& path() const { return path_; }
  // False when there is no file: the controller and the editor then write one.
  bool Exists() const { return exists_; }
  // Why a file that is there could not be read; empty when it was read.
  const std::string& Problem() const { return problem_; }
  // Shows the warning of UnreadableText when the file could not be read.
  // True when it was read, or is missing.
  bool ReportProblem() const;

 private:
  std::string path_;
  platform::ProfileText file_;
  bool exists_ = false;
  std::string problem_;
};

// "The settings file <path> cannot be read (<reason>). The default settings
// are used, and the file is not written until the program is started again."
std::string UnreadableText(const std::string& path, const std::string& reason);

// True when this run found the file there but could not read it: its saves
// are refused until the next start.
bool KeptFromSaves(const std::string& path);

// Gathers the keys of one save, in order, and writes them in one replacement
// of the file. A failure leaves the old file whole and is shown in one
// warning that names the file and the system's reason, so a full disk or a
// read-only directory never loses the operator's settings without a word.
class SettingsWriter {
 public:
  explicit SettingsWriter(std::string path) : path_(std::move(path)) {}
  // Adds a key to the save; nothing is written before Finish().
  void Write(const std::string& section, const std::string& key, const std::string& value);
  void Write(const std::string& section, const std::string& key, int value) {
    Write(section, key, std::to_string(value));
  }
  void Write(const platform::ProfileEntry& entry) { entries_.push_back(entry); }
  // Writes the save. True when every key is on disk; otherwise none of them
  // is, and the warning is shown. A second call writes nothing again.
  bool Finish();

 private:
  std::string path_;
  std::vector<platform::ProfileEntry> entries_;
  bool finished_ = false;
  bool saved_ = false;
};

// A save of the program's keys `now`: only those whose value changed since
// `read` took them are written, in one replacement of the file under its
// lock, and `read` then takes them; every other key stays as the file holds
// it. When none changed, nothing is written: the file stays byte for byte.
// A failure is shown as SettingsWriter shows it, and `read` is kept.
bool SaveChangedKeys(const std::string& path, platform::ProfileKeysRead& read,
                     const std::vector<platform::ProfileEntry>& now);
// The file was missing when the program read it: writes each of `keys` that
// the file does not hold at the save (another program may have made it
// meanwhile), and `read` takes them.
bool SaveMissingKeys(const std::string& path, platform::ProfileKeysRead& read,
                     const std::vector<platform::ProfileEntry>& keys);

// The program's keys as it read them from `file`, taken by `read` (a null
// `read` keeps no record). A file that was missing gets each of them where it
// holds no such key at the save, as SaveMissingKeys writes them.
void TakeReadKeys(const SettingsReader& file, platform::ProfileKeysRead* read,
                  const std::vector<platform::ProfileEntry>& keys);

// "The settings could not be saved to <path> (<reason>)!"
std::string SaveFailureText(const std::string& path, const std::string& reason);

}  // namespace settings
