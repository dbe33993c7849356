// The sequence and schedule files on arbitrary input. Any file read as a list
// and saved reads back as the same list; any list a user can build saved and
// loaded is the same list again: Insert and Replace take exactly the paths
// the file can keep, and schedule cells come without the field separator.
// The run records of the entries whose names the sign can take name each of
// them by one word, inside one pair of braces. A file with a NUL in a path
// (where the system would end it) is refused whole, and only such a file.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/SignName.h"
#include "common/Util.h"
#include "controllerapp/Lists.h"
#include "platform/BinaryFile.h"
#include "platform/InOutError.h"

namespace {

const std::string& TempPath(const char* extension) {
  static const std::string base = "/tmp/lists_fuzzer." + std::to_string(::getpid());
  static const std::string seq = base + ".seq", sch = base + ".sch", in = base + ".in";
  return extension[1] == 'e' ? seq : extension[1] == 'c' ? sch : in;
}

void WriteRaw(const std::string& path, const std::uint8_t* data, std::size_t size) {
  platform::AtomicFileWriter file(path);
  file.Write(std::string_view(reinterpret_cast<const char*>(data), size));
  file.Commit();
}

bool SameRows(const std::vector<cmdfile::ScheduleRow>& a, const std::vector<cmdfile::ScheduleRow>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].file != b[i].file || a[i].date != b[i].date || a[i].time != b[i].time) return false;
  }
  return true;
}

void SequenceRoundTrip(const std::vector<std::string>& entries) {
  ctlapp::SequenceList list;
  list.SetEntries(entries);
  const bool saved = list.Save(TempPath(".seq"));
  if (saved != !entries.empty()) std::abort();
  if (!saved) return;
  ctlapp::SequenceList again;
  again.Load(TempPath(".seq"));
  if (again.Entries() != entries) std::abort();
}

void ScheduleRoundTrip(const std::vector<cmdfile::ScheduleRow>& rows) {
  ctlapp::ScheduleGrid grid;
  grid.MutableRows() = rows;
  grid.Save(TempPath(".sch"));
  ctlapp::ScheduleGrid again;
  again.Load(TempPath(".sch"));
  if (!SameRows(again.Rows(), rows)) std::abort();
}

// Paths offered to Insert and Replace, split at 0x1E: they may hold line
// ends and the field separator. Each list must take those the file can keep
// and leave itself as it was for the rest.
void ThroughTheCommands(const std::string& input) {
  ctlapp::SequenceList list;
  ctlapp::ScheduleGrid grid;
  std::vector<std::string> named;  // taken, and a name the sign can take
  std::size_t start = 0;
  bool replace = false;
  while (start <= input.size()) {
    std::size_t end = input.find('\x1E', start);
    if (end == std::string::npos) end = input.size();
    const std::string path = input.substr(start, end - start);
    start = end + 1;
    const bool seqKeeps = ctlapp::PathRefusal(ctlapp::ListKind::Sequence, path).empty();
    const bool schKeeps = ctlapp::PathRefusal(ctlapp::ListKind::Schedule, path).empty();
    if (schKeeps && !seqKeeps) std::abort();
    const bool nul = path.find('\0') != std::string::npos;
    if ((path.find_first_of("\r\n") == std::string::npos && !nul) != seqKeeps) std::abort();
    if ((path.find_first_of("\r\n;") == std::string::npos && !nul) != schKeeps) std::abort();
    const std::vector<std::string> before = list.Entries();
    const std::size_t rowsBefore = grid.Rows().size();
    const std::string fileBefore = grid.Rows()[static_cast<std::size_t>(grid.Current())].file;
    // Replace once a list has entries, every other time.
    replace = !replace;
    const bool seqTook = replace && !list.Empty() ? list.Replace(path) : list.Insert(path);
    const bool schTook = replace && grid.HasEntries() ? grid.Replace(path) : grid.Insert(path);
    if (seqTook != seqKeeps || schTook != schKeeps) std::abort();
    if (!seqTook && list.Entries() != before) std::abort();
    if (!schTook && (grid.Rows().size() != rowsBefore ||
                     grid.Rows()[static_cast<std::size_t>(grid.Current())].file != fileBefore)) {
      std::abort();
    }
    // The pages refuse what the file cannot keep first, then the sign's name.
    const std::string expected =
        seqKeeps ? signname::NameRefusal(path) : ctlapp::PathRefusal(ctlapp::ListKind::Sequence, path);
    if (ctlapp::EntryRefusal(ctlapp::ListKind::Sequence, path) != expected) std::abort();
    if (schKeeps && signname::NameRefusal(path).empty()) named.push_back(path);
  }
  SequenceRoundTrip(list.Entries());
  ScheduleRoundTrip(grid.Rows());

  // The names the sign can take, one word each in "{RX,...}" and "{RJ,...}".
  if (named.empty()) return;
  std::string words;
  std::vector<cmdfile::ScheduleRow> rows;
  for (const std::string& p : named) {
    const std::string name = signname::ShortName(p);
    if (name.empty() || name.size() > signname::kSignNameLength) std::abort();
    for (char c : name) {
      const auto b = static_cast<unsigned char>(c);
      if (b <= 0x20 || b == 0x7F || c == '{' || c == '}' || c == ',' || c == ';') std::abort();
    }
    words += (words.empty() ? "" : " ") + name;
    rows.push_back({p, rows.empty() ? "DLY" : "", rows.empty() ? "08:00" : ctlapp::kEmptyTime});
  }
  if (cmdfile::SequenceCommand(named) != "{RX," + words + "}") std::abort();
  if (cmdfile::ScheduleCommand(rows) != "{RJ,DLY 08:00 " + words + "}") std::abort();
  if (ctlapp::CheckSignNames(named).ok != true) std::abort();
}

// Entries split at line ends; schedule cells split at 0x1F, with the field
// separator left out (a cell cannot hold it). A NUL is left out too: Insert
// and Replace never take a path with one.
void FromParts(const std::string& input, std::vector<std::string>& entries, std::vector<cmdfile::ScheduleRow>& rows) {
  std::size_t start = 0;
  while (start <= input.size()) {
    std::size_t nl = input.find('\n', start);
    if (nl == std::string::npos) nl = input.size();
    std::string line = input.substr(start, nl - start);
    std::erase(line, '\0');
    entries.push_back(line);
    cmdfile::ScheduleRow row;
    std::string* cells[3] = {&row.file, &row.date, &row.time};
    int cell = 0;
    for (char c : line) {
      if (c == '\x1F') {
        if (++cell == 3) break;
      } else if (c != ';') {
        cells[cell]->push_back(c);
      }
    }
    rows.push_back(row);
    start = nl + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The input as a file of either kind.
  WriteRaw(TempPath(".in"), data, size);
  const std::vector<std::string> lines = ctlapp::ReadTextLines(TempPath(".in"));
  bool seqNul = false;
  bool schNul = false;
  for (const std::string& line : lines) {
    seqNul = seqNul || line.find('\0') != std::string::npos;
    schNul = schNul || util::GetField(line, 1, "", ";").find('\0') != std::string::npos;
  }
  ctlapp::SequenceList list;
  list.Insert("/kept.MSG");
  try {
    list.Load(TempPath(".in"));
    if (seqNul) std::abort();
    SequenceRoundTrip(list.Entries());
  } catch (const platform::InOutError&) {
    if (!seqNul || list.Entries() != std::vector<std::string>{"/kept.MSG"}) std::abort();
  }
  ctlapp::ScheduleGrid grid;
  grid.Insert("/kept.MSG");
  try {
    grid.Load(TempPath(".in"));
    if (schNul) std::abort();
    if (grid.Rows().empty()) std::abort();
    ScheduleRoundTrip(grid.Rows());
  } catch (const platform::InOutError&) {
    if (!schNul || grid.Rows().size() != 1 || grid.Rows()[0].file != "/kept.MSG") std::abort();
  }

  // The input as the lists a user builds.
  std::vector<std::string> entries;
  std::vector<cmdfile::ScheduleRow> rows;
  FromParts(std::string(data, data + size), entries, rows);
  SequenceRoundTrip(entries);
  ScheduleRoundTrip(rows);
  ThroughTheCommands(std::string(data, data + size));
  return 0;
}
