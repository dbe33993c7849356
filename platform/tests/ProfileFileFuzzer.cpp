// The profile-string file on arbitrary content. One write of a key must change
// only that key: it reads back as written, and every other key of every
// section reads back as it did before the write.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/ProfileFile.h"

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r";
  const std::size_t b = s.find_first_not_of(blanks);
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

// A name a caller can pass: printable, no line end, no blanks at its ends, and
// none of the characters that end a name or make the line something else.
std::string Name(FuzzedDataProvider& in, const std::string& forbidden) {
  std::string raw = in.ConsumeRandomLengthString(24), name;
  for (char c : raw) {
    if (c >= 0x20 && c <= 0x7E && forbidden.find(c) == std::string::npos) name.push_back(c);
  }
  name = Trim(name);
  if (name.empty()) name = "Key";
  return name;
}

// A value a caller can pass: printable, no line end; blanks at its ends and
// quotes of its own read back as they were.
std::string Value(FuzzedDataProvider& in) {
  std::string raw = in.ConsumeRandomLengthString(24), value;
  for (char c : raw) {
    if (c >= 0x20 && c <= 0x7E) value.push_back(c);
  }
  return value;
}

// Every (section, key) the file may hold, found by a plain reading of the
// lines; a few names that are not there are added so that misses count too.
std::vector<std::pair<std::string, std::string>> Candidates(const std::string& text, const std::string& section,
                                                            const std::string& key) {
  std::set<std::pair<std::string, std::string>> seen;
  std::set<std::string> sections = {section, "Missing"}, keys = {key, "Missing"};
  std::string current;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    const std::string line = Trim(text.substr(start, nl - start));
    start = nl + 1;
    if (line.size() >= 2 && line[0] == '[' && line.find(']') != std::string::npos) {
      current = Trim(line.substr(1, line.find(']') - 1));
      sections.insert(current);
      continue;
    }
    const std::size_t eq = line.find('=');
    if (line.empty() || line[0] == ';' || eq == std::string::npos) continue;
    const std::string k = Trim(line.substr(0, eq));
    keys.insert(k);
    seen.insert({current, k});
  }
  // Keys met under a section, plus the written key in every section and every
  // key in the written section: where a faulty write would land.
  for (const auto& s : sections) seen.insert({s, key});
  for (const auto& k : keys) seen.insert({section, k});
  if (seen.size() > 100) seen.erase(std::next(seen.begin(), 100), seen.end());
  return {seen.begin(), seen.end()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/profile_file_fuzzer." + std::to_string(::getpid()) + ".ini";
  FuzzedDataProvider in(data, size);
  const std::string section = Name(in, "[]");
  const std::string key = Name(in, "=[;");
  std::string value = Value(in);
  if (in.ConsumeBool()) value = value.substr(0, value.size() / 2);  // an empty value too
  const std::string text = in.ConsumeRemainingBytesAsString();
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);  // no sync: the write under test syncs
    file << text;
  }

  const auto candidates = Candidates(text, section, key);
  std::vector<std::optional<std::string>> before;
  for (const auto& [s, k] : candidates) before.push_back(platform::ReadProfileString(path, s, k));

  std::string reason;
  if (!platform::WriteProfileString(path, section, key, value, &reason)) std::abort();
  if (platform::ReadProfileString(path, section, key) != value) std::abort();
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const auto& [s, k] = candidates[i];
    if (Lower(s) == Lower(section) && Lower(k) == Lower(key)) continue;
    if (platform::ReadProfileString(path, s, k) != before[i]) std::abort();
  }
  ::unlink(path.c_str());
  return 0;
}
