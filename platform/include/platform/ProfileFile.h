#pragma once
// Initialisation files of "[section]" and "key=value" lines. Section and key
// names compare ignoring case; a line ends in CRLF, LF or a lone CR, and a
// UTF-8 byte-order mark at the start is no part of the first line. Comments,
// unknown sections and unknown keys are kept as they are, and so are the mark
// and each line's end. Every write re-reads the file and replaces it
// atomically, once, so it is on disk when the call returns and a concurrent
// reader sees the old file or the new one, never a part of a save.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Far more than the fifty signs and a few settings need; a larger file is
// refused as one that cannot be read.
inline constexpr std::size_t kMaxProfileFileBytes = std::size_t{1} << 20;

// How long a save waits for a save of another program to end (milliseconds).
inline constexpr int kProfileLockWaitMs = 3000;
// The file whose lock (platform::FileLock) every save of `path` holds from
// its reading to its rename: "<path>.lock", beside it.
std::string ProfileLockPath(const std::string& path);

// The lines of one file, read and changed in memory.
class ProfileText {
 public:
  ProfileText() = default;  // an empty file
  explicit ProfileText(std::string_view text);

  // The value of `key` in `section`, with blanks around it and one pair of
  // enclosing quotes removed; nullopt when the section or key is missing.
  std::optional<std::string> Get(const std::string& section, const std::string& key) const;
  // Sets `key` in `section` to `value`, adding the section or key when
  // missing. A value with a blank at either end, or one its own quotes
  // enclose, goes inside a pair of quotes, so that it reads back as it was.
  void Set(const std::string& section, const std::string& key, const std::string& value);
  // The file's bytes: the mark if it had one, every line with its own end. A
  // new line takes the end of the line before it; a last line without an end
  // gets the file's first end once another line follows it.
  std::string Text() const;

 private:
  struct Line {
    std::string text;  // without its end
    std::string end;   // "\r\n", "\n", "\r", or "" for a last line without one
  };
  // The end a line put after `index` takes.
  const std::string& EndAfter(std::ptrdiff_t index) const;
  std::vector<Line> lines_;
  std::string eol_ = "\r\n";  // the file's first line end, when it has one
  bool byteOrderMark_ = false;
  bool changed_ = false;      // Set since the lines were read
};

// The file as it is now; a missing file is an empty one. Raises InOutError
// when it exists but cannot be read, is no regular file or is larger than
// kMaxProfileFileBytes.
ProfileText LoadProfile(const std::string& path);

// Reads one key; a file that is missing or cannot be read gives nullopt.
std::optional<std::string> ReadProfileString(const std::string& path, const std::string& section,
                                             const std::string& key);

struct ProfileEntry {
  std::string section;
  std::string key;
  std::string value;
  // Written only when the file holds no such key at the save: the defaults a
  // program writes into a file it found missing never replace what another
  // program wrote there meanwhile.
  bool onlyWhereMissing = false;
};

// The keys one program keeps in a shared file, with the values it held when
// it read them or last saved them. A save writes only the keys whose value
// the program changed since, so every other key stays as the file holds it at
// that moment, whatever another program did to it meanwhile.
class ProfileKeysRead {
 public:
  // Takes the values of `keys` as the file's, replacing what was taken for them.
  void Take(const std::vector<ProfileEntry>& keys);
  // The entries of `now`, in order, whose value differs from the one taken;
  // a key never taken counts as changed.
  std::vector<ProfileEntry> Changed(const std::vector<ProfileEntry>& now) const;

 private:
  std::vector<ProfileEntry> taken_;  // names as the program spells them
};

// Sets every entry, in order (one marked onlyWhereMissing only where the file
// holds no such key), as one replacement of the file: the bytes are
// those that writing the entries one at a time would leave, but either all
// of them are on disk or the file is as it was. The file's lock is held from
// the reading to the rename, so a save of another program at the same time
// comes before or after this one, and neither loses the other's keys; one
// that cannot have the lock within kProfileLockWaitMs writes nothing.
// Returns false when the file cannot be written, and also when it exists but
// cannot be read: rewriting it from nothing would lose every other key. The
// system's reason then goes to `reason` (emptied on success).
bool WriteProfileStrings(const std::string& path, const std::vector<ProfileEntry>& entries,
                         std::string* reason = nullptr);
bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value, std::string* reason = nullptr);

}  // namespace platform
