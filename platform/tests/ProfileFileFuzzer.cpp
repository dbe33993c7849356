// The profile-string file on arbitrary content. A write of one or more keys
// must change only those keys: each reads back as last written, and every
// other key of every section reads back as it did before. The write of all
// keys at once must leave exactly the bytes of one write per key (each
// starting from the file the one before it wrote), and so must the same
// changes made in memory.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
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

// Every key of the file with the value a reader gets for it, found by a plain
// reading of the lines: names in lower case, the first of a name counts, and
// keys before the first section belong to none.
using Keys = std::map<std::pair<std::string, std::string>, std::string>;
Keys AllKeys(const std::string& text) {
  Keys keys;
  std::optional<std::string> current;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    const std::string line = Trim(text.substr(start, nl - start));
    start = nl + 1;
    if (line.size() >= 2 && line[0] == '[' && line.find(']') != std::string::npos) {
      current = Lower(Trim(line.substr(1, line.find(']') - 1)));
      continue;
    }
    const std::size_t eq = line.find('=');
    if (!current || line.empty() || line[0] == ';' || eq == std::string::npos) continue;
    std::string value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
      value = value.substr(1, value.size() - 2);
    }
    keys.emplace(std::make_pair(*current, Lower(Trim(line.substr(0, eq)))), value);
  }
  return keys;
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);  // no sync: the write under test syncs
  file << text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // In memory where the system has it: every write syncs, and a run makes several.
  static const std::string folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  static const std::string one = folder + "/profile_file_fuzzer." + std::to_string(::getpid()) + ".ini";
  static const std::string whole = folder + "/profile_file_fuzzer." + std::to_string(::getpid()) + ".whole.ini";
  FuzzedDataProvider in(data, size);
  std::vector<platform::ProfileEntry> entries;
  {
    const std::string section = Name(in, "[]");
    const std::string key = Name(in, "=[;");
    std::string value = Value(in);
    if (in.ConsumeBool()) value = value.substr(0, value.size() / 2);  // an empty value too
    entries.push_back({section, key, value});
  }
  // More keys for one save: in the same section, or in one of their own.
  const int more = in.ConsumeIntegralInRange(0, 6);
  for (int i = 0; i < more; ++i) {
    const std::string section = in.ConsumeBool() ? entries.back().section : Name(in, "[]");
    const std::string key = Name(in, "=[;");
    entries.push_back({section, key, Value(in)});
  }
  const std::string text = in.ConsumeRemainingBytesAsString();
  Put(one, text);
  Put(whole, text);

  const Keys before = AllKeys(text);
  if (platform::ReadProfileString(one, entries[0].section, entries[0].key) !=
      platform::ProfileText(text).Get(entries[0].section, entries[0].key)) {
    std::abort();
  }

  // One write per key, as a reader of each written file would go on from it;
  // then all keys in one write, and all in one text in memory. The first key
  // is also written alone to disk.
  std::string oneByOne = text;
  for (const auto& e : entries) {
    platform::ProfileText file(oneByOne);
    file.Set(e.section, e.key, e.value);
    oneByOne = file.Text();
    if (&e == &entries.front()) {
      if (!platform::WriteProfileString(one, e.section, e.key, e.value) || FileBytes(one) != oneByOne) std::abort();
    }
  }
  std::string reason;
  if (!platform::WriteProfileStrings(whole, entries, &reason)) std::abort();
  platform::ProfileText inMemory(text);
  for (const auto& e : entries) inMemory.Set(e.section, e.key, e.value);
  const std::string bytes = FileBytes(whole);
  if (bytes != oneByOne || inMemory.Text() != bytes) std::abort();

  // The last value written for each key reads back; nothing else changed,
  // neither as the reader sees it nor as the lines hold it.
  Keys written;
  for (const auto& e : entries) written[{Lower(e.section), Lower(e.key)}] = e.value;
  const platform::ProfileText after = platform::LoadProfile(whole);
  for (const auto& e : entries) {
    const std::string& last = written[{Lower(e.section), Lower(e.key)}];
    if (after.Get(e.section, e.key) != last || inMemory.Get(e.section, e.key) != last) std::abort();
  }
  if (platform::ReadProfileString(whole, entries.back().section, entries.back().key) !=
      written[{Lower(entries.back().section), Lower(entries.back().key)}]) {
    std::abort();
  }
  Keys expected = before;
  for (const auto& [name, value] : written) expected[name] = value;
  if (AllKeys(bytes) != expected) std::abort();
  // The reader agrees with the plain reading, for a few keys of the file.
  int checked = 0;
  for (const auto& [name, value] : expected) {
    if (++checked > 8) break;
    if (after.Get(name.first, name.second) != value) std::abort();
  }
  ::unlink(one.c_str());
  ::unlink(whole.c_str());
  return 0;
}
