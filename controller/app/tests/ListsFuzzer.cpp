// The sequence and schedule files on arbitrary input. Any file read as a list
// and saved reads back as the same list; any list a user can build (entries
// without line ends, schedule cells without the field separator) saved and
// loaded is the same list again.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "controllerapp/Lists.h"
#include "platform/BinaryFile.h"

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

// Entries split at line ends; schedule cells split at 0x1F, with the field
// separator left out (a cell cannot hold it).
void FromParts(const std::string& input, std::vector<std::string>& entries, std::vector<cmdfile::ScheduleRow>& rows) {
  std::size_t start = 0;
  while (start <= input.size()) {
    std::size_t nl = input.find('\n', start);
    if (nl == std::string::npos) nl = input.size();
    const std::string line = input.substr(start, nl - start);
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
  ctlapp::SequenceList list;
  list.Load(TempPath(".in"));
  SequenceRoundTrip(list.Entries());
  ctlapp::ScheduleGrid grid;
  grid.Load(TempPath(".in"));
  if (grid.Rows().empty()) std::abort();
  ScheduleRoundTrip(grid.Rows());

  // The input as the lists a user builds.
  std::vector<std::string> entries;
  std::vector<cmdfile::ScheduleRow> rows;
  FromParts(std::string(data, data + size), entries, rows);
  SequenceRoundTrip(entries);
  ScheduleRoundTrip(rows);
  return 0;
}
