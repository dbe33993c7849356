#include "platform/ProfileFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <sys/stat.h>

#include "platform/BinaryFile.h"
#include "platform/FileLock.h"
#include "platform/InOutError.h"

namespace platform {
namespace {

bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string Trim(const std::string& s) {
  auto isBlank = IsBlank;
  std::size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The section name of a "[name]" line, or nullopt for any other line.
std::optional<std::string> SectionOf(const std::string& line) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  std::size_t close = t.find(']');
  if (close == std::string::npos) return std::nullopt;
  return Trim(t.substr(1, close - 1));
}

// The key of a "key=value" line, or nullopt for comments and other lines.
std::optional<std::string> KeyOf(const std::string& line, std::string* value = nullptr) {
  std::string t = Trim(line);
  if (t.empty() || t.front() == ';') return std::nullopt;
  std::size_t eq = t.find('=');
  if (eq == std::string::npos) return std::nullopt;
  if (value) *value = Trim(t.substr(eq + 1));
  return Trim(t.substr(0, eq));
}

std::string Unquote(const std::string& v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

// The value as the line holds it: one the reader would trim or unquote goes
// inside a pair of quotes, which the reader takes off again.
std::string Quoted(const std::string& v) {
  if (v.empty()) return v;
  const bool blankEnd = IsBlank(static_cast<unsigned char>(v.front())) || IsBlank(static_cast<unsigned char>(v.back()));
  if (blankEnd || Unquote(v) != v) return '"' + v + '"';
  return v;
}

}  // namespace

ProfileText::ProfileText(std::string_view text) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    byteOrderMark_ = true;
    text.remove_prefix(kByteOrderMark.size());
  }
  bool sawEol = false;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t at = text.find_first_of("\r\n", start);
    Line line{std::string(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start)), ""};
    if (at == std::string_view::npos) {
      lines_.push_back(std::move(line));
      break;
    }
    line.end = text.substr(at, text.compare(at, 2, "\r\n") == 0 ? 2 : 1);
    if (!sawEol) {
      eol_ = line.end;
      sawEol = true;
    }
    start = at + line.end.size();
    lines_.push_back(std::move(line));
  }
}

const std::string& ProfileText::EndAfter(std::ptrdiff_t index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= lines_.size()) return eol_;
  const std::string& end = lines_[static_cast<std::size_t>(index)].end;
  return end.empty() ? eol_ : end;
}

std::optional<std::string> ProfileText::Get(const std::string& section, const std::string& key) const {
  // After a change, the lines as a reader of the written file would see them.
  if (changed_) return ProfileText(Text()).Get(section, key);
  bool inSection = false;
  for (const Line& line : lines_) {
    if (auto s = SectionOf(line.text)) {
      inSection = SameName(*s, Trim(section));
      continue;
    }
    std::string value;
    if (inSection) {
      if (auto k = KeyOf(line.text, &value); k && SameName(*k, Trim(key))) return Unquote(value);
    }
  }
  return std::nullopt;
}

void ProfileText::Set(const std::string& section, const std::string& key, const std::string& value) {
  // Each change starts from the text the one before it would have written,
  // read back: so a whole save leaves the bytes of one write per key.
  if (changed_) *this = ProfileText(Text());
  const std::string newLine = key + "=" + Quoted(value);
  std::ptrdiff_t sectionLine = -1;  // the "[section]" line
  std::ptrdiff_t lastEntry = -1;    // the last key line of the section
  bool replaced = false;
  bool inSection = false;
  for (std::size_t i = 0; i < lines_.size() && !replaced; ++i) {
    if (auto s = SectionOf(lines_[i].text)) {
      if (inSection) break;  // the section ended without the key
      inSection = SameName(*s, Trim(section));
      if (inSection) {
        sectionLine = static_cast<std::ptrdiff_t>(i);
        lastEntry = sectionLine;
      }
      continue;
    }
    if (!inSection) continue;
    if (auto k = KeyOf(lines_[i].text)) {
      if (SameName(*k, Trim(key))) {
        lines_[i].text = newLine;
        replaced = true;
      } else {
        lastEntry = static_cast<std::ptrdiff_t>(i);
      }
    }
  }
  if (!replaced) {
    const auto append = [this](std::string text) {
      lines_.push_back({std::move(text), EndAfter(static_cast<std::ptrdiff_t>(lines_.size()) - 1)});
    };
    if (sectionLine < 0) {
      if (!lines_.empty() && !Trim(lines_.back().text).empty()) append("");
      append("[" + section + "]");
      append(newLine);
    } else {
      lines_.insert(lines_.begin() + lastEntry + 1, Line{newLine, EndAfter(lastEntry)});
    }
  }
  while (!lines_.empty() && lines_.back().text.empty()) lines_.pop_back();
  changed_ = true;
}

std::string ProfileText::Text() const {
  std::string text = byteOrderMark_ ? "\xEF\xBB\xBF" : "";
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const bool last = i + 1 == lines_.size();
    text += lines_[i].text + (last ? lines_[i].end : EndAfter(static_cast<std::ptrdiff_t>(i)));
  }
  return text;
}

ProfileText LoadProfile(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  try {
    bytes = ReadWholeFile(path, kMaxProfileFileBytes);
  } catch (const InOutError& e) {
    if (e.error() == ENOENT) return ProfileText();
    throw;
  }
  return ProfileText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::optional<std::string> ReadProfileString(const std::string& path, const std::string& section,
                                             const std::string& key) {
  try {
    return LoadProfile(path).Get(section, key);
  } catch (const InOutError&) {
    return std::nullopt;  // read as missing: the caller takes its default
  }
}

void ProfileKeysRead::Take(const std::vector<ProfileEntry>& keys) {
  for (const ProfileEntry& k : keys) {
    const auto same = [&k](const ProfileEntry& t) { return SameName(t.section, k.section) && SameName(t.key, k.key); };
    if (auto at = std::find_if(taken_.begin(), taken_.end(), same); at != taken_.end()) {
      at->value = k.value;
    } else {
      taken_.push_back({k.section, k.key, k.value});
    }
  }
}

std::vector<ProfileEntry> ProfileKeysRead::Changed(const std::vector<ProfileEntry>& now) const {
  std::vector<ProfileEntry> changed;
  for (const ProfileEntry& k : now) {
    const auto same = [&k](const ProfileEntry& t) { return SameName(t.section, k.section) && SameName(t.key, k.key); };
    const auto at = std::find_if(taken_.begin(), taken_.end(), same);
    if (at == taken_.end() || at->value != k.value) changed.push_back(k);
  }
  return changed;
}

std::string ProfileLockPath(const std::string& path) { return path + ".lock"; }

bool WriteProfileStrings(const std::string& path, const std::vector<ProfileEntry>& entries, std::string* reason) {
  if (reason) reason->clear();
  try {
    // A path that can never be saved is refused before its lock file is made.
    if (struct stat st {}; ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      throw InOutError(path, kNotARegularFile);
    }
    const FileLock lock(ProfileLockPath(path), kProfileLockWaitMs);
    ProfileText file = LoadProfile(path);
    for (const ProfileEntry& e : entries) {
      if (!e.onlyWhereMissing || !file.Get(e.section, e.key)) file.Set(e.section, e.key, e.value);
    }
    AtomicFileWriter out(path);
    out.Write(file.Text());
    out.Commit();
  } catch (const InOutError& e) {
    if (reason) *reason = e.reason();
    return false;
  }
  return true;
}

bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value, std::string* reason) {
  return WriteProfileStrings(path, {{section, key, value}}, reason);
}

}  // namespace platform
