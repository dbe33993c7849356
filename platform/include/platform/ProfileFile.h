#pragma once
// Initialisation files of "[section]" and "key=value" lines, read and written a
// key at a time. Section and key names compare ignoring case; LF and CRLF files
// both read; comments, unknown sections and unknown keys are kept as they are.
// Each write re-reads the file and replaces it atomically, so it is on disk when
// the call returns and a concurrent reader sees the old file or the new one.
#include <optional>
#include <string>

namespace platform {

// The value of `key` in `section`, with blanks around it and one pair of
// enclosing quotes removed; nullopt when the file, section or key is missing.
std::optional<std::string> ReadProfileString(const std::string& path, const std::string& section,
                                             const std::string& key);

// Sets `key` in `section` to `value`, adding the section or key when missing.
// A value with a blank at either end, or one its own quotes enclose, is
// written inside a pair of quotes, so that it reads back as it was.
// Returns false when the file cannot be written, and also when it exists but
// cannot be read: rewriting it from nothing would lose every other key. The
// system's reason then goes to `reason` (emptied on success).
bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value, std::string* reason = nullptr);

}  // namespace platform
