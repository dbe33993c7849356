#pragma once
// The sequence list and the schedule grid of the main window, their files
// (*.seq, *.sch) and the schedule's validation, kept apart from the widgets so
// that they can be tested without a window. The forms show these models and
// hand every edit to them.
#include <cstddef>
#include <string>
#include <vector>

#include "common/ControllerCommandFiles.h"

namespace ctlapp {

// The kinds of list the page commands work on (the components' tags).
enum class ListKind : int { Sequence = 1, Schedule = 2 };

// The time cell's empty mask text and the date field's empty mask text.
inline const std::string kEmptyTime = "  :  ";
inline const std::string kEmptyDate = "  /  ";
// The one separator of typed dates and the date field's mask.
constexpr char kDateSeparator = '/';
inline const std::string kDateMask = "!99/99;1;_";
inline const std::string kTimeMask = "!99:99;1;_";

// The day words of the schedule's date column, by the date menu's tag (2..11);
// tag 1 is a typed date.
struct DayWord {
  int tag;
  const char* caption;  // the date menu item
  const char* word;     // what the date column holds ("" for tag 1)
};
const std::vector<DayWord>& DayWords();
bool IsDayWord(const std::string& cell);
// A date cell holds a typed date when it contains the date separator.
bool IsTypedDate(const std::string& cell);
// A date cell that holds nothing: empty, blanks, or the empty date mask.
bool IsEmptyDate(const std::string& cell);
// A time cell that holds nothing: empty, blanks, or the empty time mask.
bool IsEmptyTime(const std::string& cell);

// Extension comparison ignoring case ("x.MsG" has ".msg").
bool HasExtension(const std::string& path, const std::string& extension);
// The last component of a path.
std::string FileNameOf(const std::string& path);
// The title panel text: the name without directory, " *" while modified.
std::string TitleText(const std::string& fileName, bool modified);
// `name` joined to `directory` unless it is absolute already.
std::string AbsolutePath(const std::string& directory, const std::string& name);
// A name typed without an extension gets `.extension`.
std::string WithDefaultExtension(const std::string& name, const std::string& extension);

// Thousands of message paths; no sequence or schedule comes near it.
inline constexpr std::size_t kMaxListFileBytes = std::size_t{4} << 20;

// Lines of a text file (CRLF or LF); a last line without its line end counts,
// a final line end adds no empty line. Raises platform::InOutError, also for a
// path that is no regular file and for a file above kMaxListFileBytes.
std::vector<std::string> ReadTextLines(const std::string& path);
// Writes the lines, each ended by CR LF, replacing the file atomically.
void WriteTextLines(const std::string& path, const std::vector<std::string>& lines);

// Why a list file of `kind` cannot keep `path`, a sentence for the user; empty
// when it can. A .seq keeps one path a line; a .sch row is also split at ";";
// neither keeps a NUL, where the system would end the path.
std::string PathRefusal(ListKind kind, const std::string& path);
// What the pages' Insert and Replace refuse: PathRefusal, then a name the sign
// cannot take (signname::NameRefusal).
std::string EntryRefusal(ListKind kind, const std::string& path);

// The outcome of ValidateSchedule and CheckSignNames: on failure the 0-based row and the warning.
struct ValidationResult {
  bool ok = true;
  int row = -1;
  std::string message;
};

// The first entry (or row) whose file has a name the sign cannot take; a list
// opened from a file may hold one.
ValidationResult CheckSignNames(const std::vector<std::string>& paths);
ValidationResult CheckSignNames(const std::vector<cmdfile::ScheduleRow>& rows);

// The first dated row whose date cell "{RJ,...}" cannot carry as it stands:
// a brace or a comma would end the record or its parameter, a ';' or a blank
// would split its entry, and a control byte is no text. "Date format error!"
ValidationResult CheckScheduleDates(const std::vector<cmdfile::ScheduleRow>& rows);

class SequenceList {
 public:
  const std::vector<std::string>& Entries() const { return entries_; }
  int Selected() const { return selected_; }  // -1: none
  void Select(int index);
  bool Empty() const { return entries_.empty(); }

  std::string fileName = "new.seq";
  bool modified = false;

  // The editing commands; each returns whether the list changed. Insert and
  // Replace refuse a path the file cannot keep (PathRefusal).
  bool Insert(const std::string& path);   // append; select the first when nothing was selected
  bool Replace(const std::string& path);  // the selected entry, or Insert when none is selected
  bool Remove();                          // the selected entry; the selection stays in place
  bool Clear();
  bool MoveUp();
  bool MoveDown();

  // Loads every line of a .seq file (empty ones too) and selects the first
  // entry. The list changes only when the whole file has been read; a line
  // with a NUL byte refuses the file (platform::InOutError), since the system
  // would cut its path there and send another file than the one it names.
  void Load(const std::string& path);
  // Writes the list; an empty list writes nothing (false).
  bool Save(const std::string& path) const;
  void SetEntries(std::vector<std::string> entries);

 private:
  std::vector<std::string> entries_;
  int selected_ = -1;
};

// Checks the rows in order and normalises them: a dated row's time becomes
// "HH:MM" (seconds dropped), an undated row's time the empty mask, and a date
// left at its empty mask becomes no date. Rows before a failure keep what was
// rewritten.
ValidationResult ValidateSchedule(std::vector<cmdfile::ScheduleRow>& rows);
// A time of day as hours, minutes and optional seconds ("9:05", "09:05:30",
// blanks around the numbers allowed); false when it is no valid time.
bool ParseTimeOfDay(const std::string& text, int& hour, int& minute);

class ScheduleGrid {
 public:
  ScheduleGrid() { Clear(); }
  const std::vector<cmdfile::ScheduleRow>& Rows() const { return rows_; }
  std::vector<cmdfile::ScheduleRow>& MutableRows() { return rows_; }
  int Current() const { return current_; }
  void SetCurrent(int row);
  // True when row 1's file cell is filled (what the buttons depend on).
  bool HasEntries() const { return !rows_.empty() && !rows_[0].file.empty(); }

  std::string fileName = "new.sch";
  bool modified = false;

  // One empty entry row, current.
  void Clear();
  // Fills the current row when its file cell is empty, else adds a row at the
  // end; the new entry has no date and the empty time. Insert and Replace
  // refuse a path the file cannot keep (PathRefusal) and return false.
  bool Insert(const std::string& path);
  bool Replace(const std::string& path);
  // Removes the current row, or clears the grid when it is the only one.
  void RemoveCurrent();
  bool MoveUp();
  bool MoveDown();
  // Moves a row to another place (a drag in the grid).
  bool MoveRow(int from, int to);
  void SetDateTime(int row, const std::string& date, const std::string& time);

  // Loads a .sch file: fields 1..3 of each line; the current row is kept
  // (bounded by the new rows). The grid changes only when the file was read;
  // a file field with a NUL byte refuses the file, as a .seq line does.
  void Load(const std::string& path);
  // Writes one "file;date;time" line per row.
  void Save(const std::string& path) const;

 private:
  std::vector<cmdfile::ScheduleRow> rows_;
  int current_ = 0;
};

}  // namespace ctlapp
