#include "platform/ProfileFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <vector>

#include "platform/BinaryFile.h"
#include "platform/InOutError.h"

namespace platform {
namespace {

// Far more than the fifty signs and a few settings need.
constexpr std::size_t kMaxProfileFileBytes = std::size_t{1} << 20;

struct Lines {
  std::vector<std::string> lines;  // without their line ends
  std::string eol = "\r\n";        // kept from the file when it has one
};

// The file's lines; a missing file has none. A file that exists but cannot
// be read raises InOutError.
Lines Load(const std::string& path) {
  Lines result;
  std::string text;
  try {
    const std::vector<std::uint8_t> bytes = ReadWholeFile(path, kMaxProfileFileBytes);
    text.assign(bytes.begin(), bytes.end());
  } catch (const InOutError& e) {
    if (e.error() == ENOENT) return result;
    throw;
  }
  std::size_t start = 0;
  bool sawEol = false;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
    bool crlf = !line.empty() && line.back() == '\r';
    if (crlf) line.pop_back();
    if (nl != std::string::npos && !sawEol) {
      result.eol = crlf ? "\r\n" : "\n";
      sawEol = true;
    }
    result.lines.push_back(std::move(line));
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  return result;
}

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

std::optional<std::string> ReadProfileString(const std::string& path, const std::string& section,
                                             const std::string& key) {
  Lines file;
  try {
    file = Load(path);
  } catch (const InOutError&) {
    return std::nullopt;  // read as missing: the caller takes its default
  }
  bool inSection = false;
  for (const std::string& line : file.lines) {
    if (auto s = SectionOf(line)) {
      inSection = SameName(*s, Trim(section));
      continue;
    }
    std::string value;
    if (inSection) {
      if (auto k = KeyOf(line, &value); k && SameName(*k, Trim(key))) return Unquote(value);
    }
  }
  return std::nullopt;
}

bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value, std::string* reason) {
  auto fail = [reason](const InOutError& e) {
    if (reason) *reason = e.reason();
    return false;
  };
  if (reason) reason->clear();
  Lines file;
  try {
    file = Load(path);
  } catch (const InOutError& e) {
    return fail(e);
  }
  const std::string newLine = key + "=" + Quoted(value);
  std::ptrdiff_t sectionLine = -1;  // the "[section]" line
  std::ptrdiff_t lastEntry = -1;    // the last key line of the section
  bool replaced = false;
  bool inSection = false;
  for (std::size_t i = 0; i < file.lines.size() && !replaced; ++i) {
    if (auto s = SectionOf(file.lines[i])) {
      if (inSection) break;  // the section ended without the key
      inSection = SameName(*s, Trim(section));
      if (inSection) {
        sectionLine = static_cast<std::ptrdiff_t>(i);
        lastEntry = sectionLine;
      }
      continue;
    }
    if (!inSection) continue;
    if (auto k = KeyOf(file.lines[i])) {
      if (SameName(*k, Trim(key))) {
        file.lines[i] = newLine;
        replaced = true;
      } else {
        lastEntry = static_cast<std::ptrdiff_t>(i);
      }
    }
  }
  if (!replaced) {
    if (sectionLine < 0) {
      if (!file.lines.empty() && !Trim(file.lines.back()).empty()) file.lines.push_back("");
      file.lines.push_back("[" + section + "]");
      file.lines.push_back(newLine);
    } else {
      file.lines.insert(file.lines.begin() + lastEntry + 1, newLine);
    }
  }
  while (!file.lines.empty() && file.lines.back().empty()) file.lines.pop_back();
  std::string text;
  for (const std::string& line : file.lines) text += line + file.eol;
  try {
    AtomicFileWriter out(path);
    out.Write(text);
    out.Commit();
  } catch (const InOutError& e) {
    return fail(e);
  }
  return true;
}

}  // namespace platform
