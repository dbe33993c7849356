#include "controllerapp/Lists.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>

#include "common/SignName.h"
#include "common/Util.h"
#include "platform/BinaryFile.h"
#include "platform/InOutError.h"

namespace ctlapp {
namespace {

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

}  // namespace

const std::vector<DayWord>& DayWords() {
  static const std::vector<DayWord> words = {
      {1, "Date", ""},         {2, "Daily", "DLY"},     {3, "Sunday", "SUN"},   {4, "Monday", "MON"},
      {5, "Tuesday", "TUE"},   {6, "Wednesday", "WED"}, {7, "Thursday", "THU"}, {8, "Friday", "FRI"},
      {9, "Saturday", "SAT"},  {10, "Mon - Fri", "M-F"}, {11, "WeekEnd", "WKD"},
  };
  return words;
}

bool IsDayWord(const std::string& cell) {
  const std::string t = util::TrimBlanks(cell);
  for (const DayWord& w : DayWords()) {
    if (w.tag != 1 && t == w.word) return true;
  }
  return false;
}

bool IsTypedDate(const std::string& cell) { return cell.find(kDateSeparator) != std::string::npos; }

bool IsEmptyDate(const std::string& cell) {
  const std::string t = util::TrimBlanks(cell);
  return t.empty() || t == std::string(1, kDateSeparator);
}

bool IsEmptyTime(const std::string& cell) {
  const std::string t = util::TrimBlanks(cell);
  return t.empty() || t == ":";
}

bool HasExtension(const std::string& path, const std::string& extension) {
  const std::string name = FileNameOf(path);
  const std::size_t dot = name.find_last_of('.');
  return dot != std::string::npos && Upper(name.substr(dot)) == Upper(extension);
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TitleText(const std::string& fileName, bool modified) {
  return FileNameOf(fileName) + (modified ? " *" : "");
}

std::string AbsolutePath(const std::string& directory, const std::string& name) {
  if (!name.empty() && name.front() == '/') return name;
  return util::JoinPath(directory, name);
}

std::string WithDefaultExtension(const std::string& name, const std::string& extension) {
  if (FileNameOf(name).find('.') != std::string::npos) return name;
  return name + "." + extension;
}

std::vector<std::string> ReadTextLines(const std::string& path) {
  const std::vector<std::uint8_t> bytes = platform::ReadWholeFile(path, kMaxListFileBytes);
  std::vector<std::string> lines;
  std::string line;
  for (std::uint8_t b : bytes) {
    if (b == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(std::move(line));
      line.clear();
    } else {
      line.push_back(static_cast<char>(b));
    }
  }
  if (!line.empty()) {
    if (line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

void WriteTextLines(const std::string& path, const std::vector<std::string>& lines) {
  platform::AtomicFileWriter file(path);
  for (const std::string& l : lines) {
    file.Write(l);
    file.Write(std::string_view("\r\n"));
  }
  file.Commit();
}

// --- what the lists take ---

std::string PathRefusal(ListKind kind, const std::string& path) {
  // The system ends a path at a NUL: the entry would name one file and send another.
  if (path.find('\0') != std::string::npos) {
    return std::string("The ") + (kind == ListKind::Sequence ? "sequence" : "schedule") +
           " file cannot keep the path \"" + path.substr(0, path.find('\0')) + "\": a path in it may not hold a NUL byte.";
  }
  if (kind == ListKind::Sequence) {
    if (path.find_first_of("\r\n") == std::string::npos) return {};
    return "The sequence file cannot keep the path \"" + path + "\": a path in it may not hold a line break.";
  }
  if (path.find_first_of("\r\n;") == std::string::npos) return {};
  return "The schedule file cannot keep the path \"" + path + "\": a path in it may not hold a line break or \";\".";
}

std::string EntryRefusal(ListKind kind, const std::string& path) {
  if (std::string refusal = PathRefusal(kind, path); !refusal.empty()) return refusal;
  return signname::NameRefusal(path);
}

ValidationResult CheckSignNames(const std::vector<std::string>& paths) {
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (std::string refusal = signname::NameRefusal(paths[i]); !refusal.empty()) {
      return {false, static_cast<int>(i), std::move(refusal)};
    }
  }
  return {};
}

ValidationResult CheckSignNames(const std::vector<cmdfile::ScheduleRow>& rows) {
  std::vector<std::string> files;
  for (const cmdfile::ScheduleRow& r : rows) files.push_back(r.file);
  return CheckSignNames(files);
}

ValidationResult CheckScheduleDates(const std::vector<cmdfile::ScheduleRow>& rows) {
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::string& date = rows[r].date;
    // An undated row adds no date to the record.
    if (util::TrimBlanks(date).empty()) continue;
    if (signname::BreaksAListEntry(date)) return {false, static_cast<int>(r), "Date format error!"};
  }
  return {};
}

// --- sequence ---

void SequenceList::Select(int index) {
  selected_ = index >= 0 && index < static_cast<int>(entries_.size()) ? index : -1;
}

bool SequenceList::Insert(const std::string& path) {
  if (!PathRefusal(ListKind::Sequence, path).empty()) return false;
  entries_.push_back(path);
  if (selected_ < 0) selected_ = 0;
  return true;
}

bool SequenceList::Replace(const std::string& path) {
  if (selected_ < 0) return Insert(path);
  if (!PathRefusal(ListKind::Sequence, path).empty()) return false;
  entries_[static_cast<std::size_t>(selected_)] = path;
  return true;
}

bool SequenceList::Remove() {
  if (selected_ < 0) return false;
  entries_.erase(entries_.begin() + selected_);
  if (selected_ >= static_cast<int>(entries_.size())) selected_ = static_cast<int>(entries_.size()) - 1;
  return true;
}

bool SequenceList::Clear() {
  const bool changed = !entries_.empty();
  entries_.clear();
  selected_ = -1;
  return changed;
}

bool SequenceList::MoveUp() {
  if (selected_ <= 0) return false;
  std::swap(entries_[static_cast<std::size_t>(selected_)], entries_[static_cast<std::size_t>(selected_ - 1)]);
  --selected_;
  return true;
}

bool SequenceList::MoveDown() {
  if (selected_ < 0 || selected_ + 1 >= static_cast<int>(entries_.size())) return false;
  std::swap(entries_[static_cast<std::size_t>(selected_)], entries_[static_cast<std::size_t>(selected_ + 1)]);
  ++selected_;
  return true;
}

void SequenceList::SetEntries(std::vector<std::string> entries) {
  entries_ = std::move(entries);
  selected_ = entries_.empty() ? -1 : 0;
}

namespace {

// A path read from a list file that the list could not have kept: the file is
// refused whole, and the list stays as it was.
void CheckReadPath(const std::string& file, std::size_t line, const std::string& path) {
  if (path.find('\0') == std::string::npos) return;
  throw platform::InOutError(file, "line " + std::to_string(line + 1) +
                                       " names a path with a NUL byte, which no file name can hold.");
}

}  // namespace

void SequenceList::Load(const std::string& path) {
  std::vector<std::string> lines = ReadTextLines(path);
  for (std::size_t i = 0; i < lines.size(); ++i) CheckReadPath(path, i, lines[i]);
  SetEntries(std::move(lines));
}

bool SequenceList::Save(const std::string& path) const {
  if (entries_.empty()) return false;
  WriteTextLines(path, entries_);
  return true;
}

// --- schedule ---

bool ParseTimeOfDay(const std::string& text, int& hour, int& minute) {
  int parts[3] = {0, 0, 0};
  int count = 0;
  std::size_t i = 0;
  auto skipBlanks = [&] {
    while (i < text.size() && text[i] == ' ') ++i;
  };
  while (true) {
    skipBlanks();
    int digits = 0;
    int value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 3) {
      value = value * 10 + (text[i] - '0');
      ++digits;
      ++i;
    }
    if (digits == 0 || count == 3) return false;
    parts[count++] = value;
    skipBlanks();
    if (i == text.size()) break;
    if (text[i] != ':') return false;
    ++i;
  }
  if (count < 2) return false;
  if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
  hour = parts[0];
  minute = parts[1];
  return true;
}

ValidationResult ValidateSchedule(std::vector<cmdfile::ScheduleRow>& rows) {
  for (std::size_t r = 0; r < rows.size(); ++r) {
    cmdfile::ScheduleRow& row = rows[r];
    const int at = static_cast<int>(r);
    if (IsEmptyDate(row.date)) row.date.clear();
    if (r == 0 && (row.date.empty() || IsEmptyTime(row.time))) {
      return {false, at, "Both date and time are necessary!"};
    }
    if (row.date.empty()) {
      row.time = kEmptyTime;
      continue;
    }
    if (IsEmptyTime(row.time)) return {false, at, "Time is necessary!"};
    int hour = 0;
    int minute = 0;
    if (!ParseTimeOfDay(row.time, hour, minute)) return {false, at, "Time format error!"};
    char buf[8];
    std::snprintf(buf, sizeof buf, "%2.2d:%2.2d", hour, minute);
    row.time = buf;
  }
  return {};
}

void ScheduleGrid::SetCurrent(int row) {
  current_ = std::clamp(row, 0, static_cast<int>(rows_.size()) - 1);
}

void ScheduleGrid::Clear() {
  rows_.assign(1, cmdfile::ScheduleRow{});
  current_ = 0;
}

bool ScheduleGrid::Insert(const std::string& path) {
  if (!PathRefusal(ListKind::Schedule, path).empty()) return false;
  // A filled row is never written over: the entry then goes to a new last row.
  cmdfile::ScheduleRow* row = &rows_[static_cast<std::size_t>(current_)];
  if (!row->file.empty()) row = &rows_.emplace_back();
  *row = {path, "", kEmptyTime};
  return true;
}

bool ScheduleGrid::Replace(const std::string& path) {
  if (!PathRefusal(ListKind::Schedule, path).empty()) return false;
  rows_[static_cast<std::size_t>(current_)].file = path;
  return true;
}

void ScheduleGrid::RemoveCurrent() {
  if (rows_.size() < 2) {
    Clear();
    return;
  }
  rows_.erase(rows_.begin() + current_);
  SetCurrent(current_);
}

bool ScheduleGrid::MoveUp() {
  if (current_ <= 0) return false;
  std::swap(rows_[static_cast<std::size_t>(current_)], rows_[static_cast<std::size_t>(current_ - 1)]);
  --current_;
  return true;
}

bool ScheduleGrid::MoveDown() {
  if (current_ + 1 >= static_cast<int>(rows_.size())) return false;
  std::swap(rows_[static_cast<std::size_t>(current_)], rows_[static_cast<std::size_t>(current_ + 1)]);
  ++current_;
  return true;
}

bool ScheduleGrid::MoveRow(int from, int to) {
  const int n = static_cast<int>(rows_.size());
  if (from < 0 || from >= n || to < 0 || to >= n || from == to) return false;
  cmdfile::ScheduleRow row = rows_[static_cast<std::size_t>(from)];
  rows_.erase(rows_.begin() + from);
  rows_.insert(rows_.begin() + to, std::move(row));
  current_ = to;
  return true;
}

void ScheduleGrid::SetDateTime(int row, const std::string& date, const std::string& time) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  rows_[static_cast<std::size_t>(row)].date = IsEmptyDate(date) ? std::string() : date;
  rows_[static_cast<std::size_t>(row)].time = time;
}

void ScheduleGrid::Load(const std::string& path) {
  const std::vector<std::string> lines = ReadTextLines(path);
  std::vector<cmdfile::ScheduleRow> rows;
  for (const std::string& line : lines) {
    rows.push_back({util::GetField(line, 1, "", ";"), util::GetField(line, 2, "", ";"),
                    util::GetField(line, 3, "", ";")});
    CheckReadPath(path, rows.size() - 1, rows.back().file);
  }
  if (rows.empty()) rows.push_back({});
  // Loading starts from a cleared grid, whose first row is current.
  rows_ = std::move(rows);
  current_ = 0;
}

void ScheduleGrid::Save(const std::string& path) const {
  std::vector<std::string> lines;
  for (const cmdfile::ScheduleRow& r : rows_) lines.push_back(r.file + ";" + r.date + ";" + r.time);
  WriteTextLines(path, lines);
}

}  // namespace ctlapp
