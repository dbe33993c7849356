// The profile-string file on arbitrary content. A write of one or more keys
// must change only those keys: each reads back as last written (a key to be
// written only where missing keeps a value the file holds), and every other
// key of every section reads back as it did before. The write of all keys at
// once must leave exactly the bytes of one write per key (each starting from
// the file the one before it wrote), and so must the same changes made in
// memory. Lines end in CRLF, LF or a lone CR and a byte-order mark may lead;
// a text read and not changed gives back its bytes exactly.
// Then a program that read some keys, while another program changed the file,
// saves what it changed since: only those keys differ afterwards.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
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

// The lines of a text: a leading byte-order mark is no part of them; each
// ends at CRLF, LF or a lone CR.
std::vector<std::string> Lines(std::string text) {
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') {
      line.push_back(text[i]);
      continue;
    }
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    lines.push_back(line);
    line.clear();
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// Every key of the file with the value a reader gets for it, found by a plain
// reading of the lines: names in lower case, the first of a name counts, and
// keys before the first section belong to none.
using Name2 = std::pair<std::string, std::string>;
using Keys = std::map<Name2, std::string>;
Keys AllKeys(const std::string& text) {
  Keys keys;
  std::optional<std::string> current;
  for (const std::string& raw : Lines(text)) {
    const std::string line = Trim(raw);
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
  file.close();
  // What the harness itself could not write would be blamed on the code.
  if (!file || FileBytes(path) != text) std::abort();
}

// A write the system refused (a full /dev/shm: all the machine's programs
// share it) must leave the file as it was, and says nothing more of the
// code: the input is dropped. True when the write was done.
bool WroteOrKept(bool written, const std::string& path, const std::string& before) {
  if (written) return true;
  if (FileBytes(path) != before) std::abort();
  std::fprintf(stderr, "profile_file_fuzzer: the system refused a write to %s; input skipped\n", path.c_str());
  return false;
}

Name2 Lowered(const platform::ProfileEntry& e) { return {Lower(e.section), Lower(e.key)}; }

// The keys after `entries` were written in order to a file that held `keys`.
Keys Written(Keys keys, const std::vector<platform::ProfileEntry>& entries) {
  for (const auto& e : entries) {
    if (!e.onlyWhereMissing || keys.count(Lowered(e)) == 0) keys[Lowered(e)] = e.value;
  }
  return keys;
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
    entries.push_back({section, key, value, in.ConsumeBool()});
  }
  // More keys for one save: in the same section, or in one of their own.
  const int more = in.ConsumeIntegralInRange(0, 6);
  for (int i = 0; i < more; ++i) {
    const std::string section = in.ConsumeBool() ? entries.back().section : Name(in, "[]");
    const std::string key = Name(in, "=[;");
    entries.push_back({section, key, Value(in), in.ConsumeBool()});
  }
  // What the program of the last part changes, and what the other one does.
  std::vector<bool> programChanges, otherChanges;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    programChanges.push_back(in.ConsumeBool());
    otherChanges.push_back(in.ConsumeBool());
  }
  const std::string text = in.ConsumeRemainingBytesAsString();
  Put(one, text);
  Put(whole, text);

  const Keys before = AllKeys(text);
  if (platform::ReadProfileString(one, entries[0].section, entries[0].key) !=
      platform::ProfileText(text).Get(entries[0].section, entries[0].key)) {
    std::abort();
  }
  // Read and not changed: the same bytes.
  if (platform::ProfileText(text).Text() != text || platform::LoadProfile(one).Text() != text) std::abort();

  // One write per key, as a reader of each written file would go on from it;
  // then all keys in one write, and all in one text in memory. The first key
  // is also written alone to disk.
  std::string oneByOne = text;
  for (const auto& e : entries) {
    platform::ProfileText file(oneByOne);
    if (!e.onlyWhereMissing || !file.Get(e.section, e.key)) file.Set(e.section, e.key, e.value);
    oneByOne = file.Text();
    if (&e == &entries.front()) {
      if (!WroteOrKept(platform::WriteProfileStrings(one, {e}), one, text)) return -1;
      if (FileBytes(one) != oneByOne) std::abort();
    }
  }
  std::string reason;
  if (!WroteOrKept(platform::WriteProfileStrings(whole, entries, &reason), whole, text)) return -1;
  platform::ProfileText inMemory(text);
  for (const auto& e : entries) {
    if (!e.onlyWhereMissing || !inMemory.Get(e.section, e.key)) inMemory.Set(e.section, e.key, e.value);
  }
  const std::string bytes = FileBytes(whole);
  if (bytes != oneByOne || inMemory.Text() != bytes) std::abort();

  // The last value written for each key reads back; nothing else changed,
  // neither as the reader sees it nor as the lines hold it.
  const Keys expected = Written(before, entries);
  const platform::ProfileText after = platform::LoadProfile(whole);
  for (const auto& e : entries) {
    const std::string& last = expected.at(Lowered(e));
    if (after.Get(e.section, e.key) != last || inMemory.Get(e.section, e.key) != last) std::abort();
  }
  if (platform::ReadProfileString(whole, entries.back().section, entries.back().key) !=
      expected.at(Lowered(entries.back()))) {
    std::abort();
  }
  if (AllKeys(bytes) != expected) std::abort();
  // The reader agrees with the plain reading, for a few keys of the file.
  int checked = 0;
  for (const auto& [name, value] : expected) {
    if (++checked > 8) break;
    if (after.Get(name.first, name.second) != value) std::abort();
  }

  // A program keeps the entries' keys (the first of a name) and reads them
  // from the original text; the other program then writes some of them, and
  // this one changes some (to the entry's value) and saves what it changed.
  std::vector<platform::ProfileEntry> asRead, now, byTheOther;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& e = entries[i];
    const auto same = [&e](const platform::ProfileEntry& k) { return Lowered(k) == Lowered(e); };
    if (std::any_of(asRead.begin(), asRead.end(), same)) continue;
    const std::string read = platform::ProfileText(text).Get(e.section, e.key).value_or("");
    asRead.push_back({e.section, e.key, read});
    now.push_back({e.section, e.key, programChanges[i] ? e.value : read});
    if (otherChanges[i]) byTheOther.push_back({e.section, e.key, read + "#"});
  }
  platform::ProfileKeysRead record;
  record.Take(asRead);
  platform::ProfileText other(text);
  for (const auto& e : byTheOther) other.Set(e.section, e.key, e.value);
  const std::string atSave = other.Text();
  Put(one, atSave);
  const std::vector<platform::ProfileEntry> changed = record.Changed(now);
  std::vector<platform::ProfileEntry> differing;
  for (std::size_t i = 0; i < now.size(); ++i) {
    if (now[i].value != asRead[i].value) differing.push_back(now[i]);
  }
  if (changed.size() != differing.size()) std::abort();
  for (std::size_t i = 0; i < changed.size(); ++i) {
    if (Lowered(changed[i]) != Lowered(differing[i]) || changed[i].value != differing[i].value) std::abort();
  }
  if (!changed.empty() && !WroteOrKept(platform::WriteProfileStrings(one, changed), one, atSave)) return -1;
  // What the program changed is its; every other key is as the other left it.
  if (AllKeys(FileBytes(one)) != Written(AllKeys(atSave), changed)) std::abort();
  if (changed.empty() && FileBytes(one) != atSave) std::abort();
  record.Take(changed);
  if (!record.Changed(now).empty()) std::abort();

  ::unlink(one.c_str());
  ::unlink(whole.c_str());
  ::unlink(platform::ProfileLockPath(one).c_str());
  ::unlink(platform::ProfileLockPath(whole).c_str());
  return 0;
}
