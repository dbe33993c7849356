// The sequence list, the schedule grid, their files and the schedule's validation.
#include "controllerapp/Lists.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sys/stat.h>

#include "common/ControllerCommandFiles.h"
#include "platform/InOutError.h"
#include "testsupport/AsPlainUser.h"
#include "testsupport/HostilePaths.h"
#include "testsupport/TempDir.h"

namespace fs = std::filesystem;
using cmdfile::ScheduleRow;

namespace {

using testsupport::TempDir;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

TEST(ParseTimeOfDay, AcceptsTimesOfDayAndRefusesTheRest) {
  struct Case {
    const char* text;
    bool ok;
    int hour;
    int minute;
  };
  const Case cases[] = {
      {"09:05", true, 9, 5},   {"9:05:30", true, 9, 5}, {"23:59", true, 23, 59}, {"0:00", true, 0, 0},
      {" 7 :30", true, 7, 30}, {"25:00", false, 0, 0},  {"12:60", false, 0, 0},  {"12:30:61", false, 0, 0},
      {"  :  ", false, 0, 0},  {"12", false, 0, 0},     {"1a:00", false, 0, 0},  {"1:2:3:4", false, 0, 0},
      {"", false, 0, 0},       {"9 :  ", false, 0, 0},
  };
  for (const Case& c : cases) {
    int h = -1;
    int m = -1;
    EXPECT_EQ(ctlapp::ParseTimeOfDay(c.text, h, m), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(h, c.hour) << c.text;
      EXPECT_EQ(m, c.minute) << c.text;
    }
  }
}

TEST(ValidateSchedule, ReportsTheFirstFailingRowWithItsMessage) {
  struct Case {
    std::vector<ScheduleRow> rows;
    int row;
    const char* message;
  };
  const Case cases[] = {
      {{{"/m/a.msg", "", "10:00"}}, 0, "Both date and time are necessary!"},
      {{{"/m/a.msg", "  /  ", "10:00"}}, 0, "Both date and time are necessary!"},
      {{{"/m/a.msg", "12/25", "  :  "}}, 0, "Both date and time are necessary!"},
      {{{"/m/a.msg", "12/25", "10:00"}, {"/m/b.msg", "DLY", "  :  "}}, 1, "Time is necessary!"},
      {{{"/m/a.msg", "12/25", "10:00"}, {"/m/b.msg", "MON", ""}}, 1, "Time is necessary!"},
      {{{"/m/a.msg", "12/25", "10:00"}, {"/m/b.msg", "", ""}, {"/m/c.msg", "SUN", "25:00"}}, 2,
       "Time format error!"},
  };
  for (const Case& c : cases) {
    std::vector<ScheduleRow> rows = c.rows;
    const ctlapp::ValidationResult r = ctlapp::ValidateSchedule(rows);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.row, c.row) << c.message;
    EXPECT_EQ(r.message, c.message);
  }
}

TEST(ValidateSchedule, NormalisesTimesAndKeepsRewritesBeforeAFailure) {
  std::vector<ScheduleRow> rows = {
      {"/m/hello.msg", "12/25", "9:05:30"},
      {"/m/world.msg", "  /  ", "11:11"},
      {"/m/third.msg", "DLY", " 8:00"},
      {"/m/bad.msg", "FRI", "24:00"},
  };
  const ctlapp::ValidationResult r = ctlapp::ValidateSchedule(rows);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.row, 3);
  EXPECT_EQ(rows[0].time, "09:05");
  EXPECT_EQ(rows[1].date, "");
  EXPECT_EQ(rows[1].time, "  :  ");
  EXPECT_EQ(rows[2].time, "08:00");
  EXPECT_EQ(rows[3].time, "24:00");

  rows.pop_back();
  EXPECT_TRUE(ctlapp::ValidateSchedule(rows).ok);
  // What the sign is told to run from these rows.
  EXPECT_EQ(cmdfile::ScheduleCommand(rows), "{RJ,12/25 09:05 HELLO WORLD; DLY 08:00 THIRD}");

  std::vector<ScheduleRow> none;
  EXPECT_TRUE(ctlapp::ValidateSchedule(none).ok);
}

// The date cell goes into "{RJ,...}" as it stands: a date that would end the
// record or split its entry is refused at Run, on its row, and every day word
// and typed date passes unchanged.
TEST(ScheduleDates, ADateTheRecordCannotCarryIsRefusedOnItsRow) {
  const char* refused[] = {"12/25},{Z", "12/25}", "{12/25", "12,25", "12;25", "a b/c\x01", "12/25 ",
                           " 12/25", "12\t25", "12/25\x7F", "12/2\n"};
  for (const char* date : refused) {
    const std::vector<ScheduleRow> rows = {{"/m/a.msg", "DLY", "08:00"}, {"/m/b.msg", "", "  :  "},
                                           {"/m/c.msg", date, "10:00"}};
    const ctlapp::ValidationResult r = ctlapp::CheckScheduleDates(rows);
    EXPECT_FALSE(r.ok) << date;
    EXPECT_EQ(r.row, 2) << date;
    EXPECT_EQ(r.message, "Date format error!") << date;
  }
  std::vector<ScheduleRow> sound = {{"/m/a.msg", "12/25", "10:30"}, {"/m/b.msg", "", "  :  "},
                                    {"/m/c.msg", "12-25", "10:30"}, {"/m/d.msg", "\xE9t\xE9", "10:30"}};
  for (const ctlapp::DayWord& w : ctlapp::DayWords()) {
    if (w.tag != 1) sound.push_back({"/m/e.msg", w.word, "08:00"});
  }
  const std::vector<ScheduleRow> before = sound;
  EXPECT_TRUE(ctlapp::CheckScheduleDates(sound).ok);
  for (std::size_t i = 0; i < sound.size(); ++i) EXPECT_EQ(sound[i].date, before[i].date);
  EXPECT_EQ(cmdfile::ScheduleCommand({sound[0], sound[1], sound[4]}), "{RJ,12/25 10:30 A B; DLY 08:00 E}");
}

TEST(ListHelpers, ExtensionsIgnoreCaseAndPathsKeepIt) {
  EXPECT_TRUE(ctlapp::HasExtension("/Msgs/Hello.MsG", ".msg"));
  EXPECT_TRUE(ctlapp::HasExtension("a.seq", ".SEQ"));
  EXPECT_FALSE(ctlapp::HasExtension("/dir.msg/readme", ".msg"));
  EXPECT_FALSE(ctlapp::HasExtension("a.msgx", ".msg"));
  EXPECT_EQ(ctlapp::TitleText("/Home/Me/Week.seq", true), "Week.seq *");
  EXPECT_EQ(ctlapp::TitleText("new.sch", false), "new.sch");
  EXPECT_EQ(ctlapp::WithDefaultExtension("/d/plan", "sch"), "/d/plan.sch");
  EXPECT_EQ(ctlapp::WithDefaultExtension("/d.x/plan.Seq", "sch"), "/d.x/plan.Seq");
  EXPECT_EQ(ctlapp::WithDefaultExtension("/d.x/plan", "sch"), "/d.x/plan.sch");
  EXPECT_EQ(ctlapp::AbsolutePath("/w", "new.seq"), "/w/new.seq");
  EXPECT_EQ(ctlapp::AbsolutePath("/w", "/x/Y.seq"), "/x/Y.seq");
  EXPECT_TRUE(ctlapp::IsTypedDate("12/25"));
  EXPECT_FALSE(ctlapp::IsTypedDate("12-25"));
  EXPECT_TRUE(ctlapp::IsDayWord("M-F"));
  EXPECT_FALSE(ctlapp::IsDayWord("12/25"));
}

TEST(SequenceList, EditingKeepsTheSelectionWhereTheOperatorExpectsIt) {
  ctlapp::SequenceList s;
  EXPECT_EQ(s.Selected(), -1);
  EXPECT_TRUE(s.Replace("/m/a.msg"));  // no selection: acts as Insert
  s.Insert("/m/b.msg");
  s.Insert("/m/c.msg");
  EXPECT_EQ(s.Entries(), (std::vector<std::string>{"/m/a.msg", "/m/b.msg", "/m/c.msg"}));
  EXPECT_EQ(s.Selected(), 0);
  EXPECT_FALSE(s.MoveUp());
  EXPECT_TRUE(s.MoveDown());
  EXPECT_EQ(s.Entries(), (std::vector<std::string>{"/m/b.msg", "/m/a.msg", "/m/c.msg"}));
  EXPECT_EQ(s.Selected(), 1);
  s.Replace("/m/D.msg");
  EXPECT_EQ(s.Entries()[1], "/m/D.msg");
  EXPECT_EQ(s.Selected(), 1);
  s.Select(2);
  EXPECT_FALSE(s.MoveDown());
  EXPECT_TRUE(s.Remove());  // the last: the selection moves to the new last
  EXPECT_EQ(s.Selected(), 1);
  s.Select(0);
  EXPECT_TRUE(s.Remove());  // the selection stays in place
  EXPECT_EQ(s.Entries(), (std::vector<std::string>{"/m/D.msg"}));
  EXPECT_EQ(s.Selected(), 0);
  EXPECT_TRUE(s.Clear());
  EXPECT_FALSE(s.Remove());
}

TEST(SequenceFile, IsOneCrLfLinePerEntryAndReadsEveryLineBack) {
  TempDir dir;
  ctlapp::SequenceList s;
  EXPECT_FALSE(s.Save(dir.File("empty.seq")));
  EXPECT_FALSE(fs::exists(dir.File("empty.seq")));

  s.Insert("/Work/Hello.msg");
  s.Insert("");
  s.Insert("/work/b.msg");
  ASSERT_TRUE(s.Save(dir.File("a.seq")));
  EXPECT_EQ(ReadBytes(dir.File("a.seq")), "/Work/Hello.msg\r\n\r\n/work/b.msg\r\n");

  ctlapp::SequenceList t;
  t.Load(dir.File("a.seq"));
  EXPECT_EQ(t.Entries(), s.Entries());
  EXPECT_EQ(t.Selected(), 0);

  WriteBytes(dir.File("lf.seq"), "x.msg\n\ny.msg");
  t.Load(dir.File("lf.seq"));
  EXPECT_EQ(t.Entries(), (std::vector<std::string>{"x.msg", "", "y.msg"}));

  EXPECT_THROW(t.Load(dir.File("missing.seq")), platform::InOutError);
  EXPECT_EQ(t.Entries().size(), 3u);  // a failed open leaves the list as it was
}

TEST(ScheduleGrid, EditingFillsTheEmptyRowThenAppends) {
  ctlapp::ScheduleGrid g;
  ASSERT_EQ(g.Rows().size(), 1u);
  EXPECT_FALSE(g.HasEntries());
  g.Insert("/m/a.msg");
  ASSERT_EQ(g.Rows().size(), 1u);
  EXPECT_EQ(g.Rows()[0].file, "/m/a.msg");
  EXPECT_EQ(g.Rows()[0].time, "  :  ");
  g.Insert("/m/b.msg");
  g.Insert("/m/c.msg");
  ASSERT_EQ(g.Rows().size(), 3u);
  EXPECT_EQ(g.Current(), 0);
  g.SetDateTime(0, "12/25", "10:30");
  g.SetDateTime(1, "  /  ", "  :  ");
  EXPECT_EQ(g.Rows()[1].date, "");
  g.SetCurrent(2);
  g.Replace("/m/C2.msg");
  EXPECT_EQ(g.Rows()[2].file, "/m/C2.msg");
  EXPECT_FALSE(g.MoveDown());
  EXPECT_TRUE(g.MoveUp());
  EXPECT_EQ(g.Current(), 1);
  EXPECT_EQ(g.Rows()[1].file, "/m/C2.msg");
  EXPECT_TRUE(g.MoveRow(1, 0));
  EXPECT_EQ(g.Rows()[0].file, "/m/C2.msg");
  EXPECT_EQ(g.Rows()[1].file, "/m/a.msg");
  EXPECT_EQ(g.Rows()[1].date, "12/25");
  g.SetCurrent(2);
  g.RemoveCurrent();
  EXPECT_EQ(g.Rows().size(), 2u);
  EXPECT_EQ(g.Current(), 1);
  g.RemoveCurrent();
  g.RemoveCurrent();  // the only row: cleared, not removed
  ASSERT_EQ(g.Rows().size(), 1u);
  EXPECT_EQ(g.Rows()[0].file, "");
}

// Insert fills the current row only when its file cell is empty; otherwise
// the entry goes into a new row at the end. A filled row is never written over.
TEST(ScheduleGrid, InsertNeverWritesOverAFilledRow) {
  struct Case {
    const char* name;
    std::vector<ScheduleRow> rows;
    int current;
    std::vector<ScheduleRow> expected;
  };
  const ScheduleRow b{"/m/b.msg", "MON", "08:00"};
  const ScheduleRow c{"/m/c.msg", "", "  :  "};
  const std::vector<Case> cases = {
      {"empty current row before a filled one", {{}, b}, 0, {c, b}},
      {"empty current row after a filled one", {b, {}}, 1, {b, c}},
      {"filled current row before an empty one", {b, {}}, 0, {b, {}, c}},
      {"filled current row, empty row between", {b, {}, b}, 2, {b, {}, b, c}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    ctlapp::ScheduleGrid g;
    g.MutableRows() = k.rows;
    g.SetCurrent(k.current);
    g.Insert("/m/c.msg");
    ASSERT_EQ(g.Rows().size(), k.expected.size());
    for (std::size_t i = 0; i < k.expected.size(); ++i) {
      EXPECT_EQ(g.Rows()[i].file, k.expected[i].file) << "row " << i;
      EXPECT_EQ(g.Rows()[i].date, k.expected[i].date) << "row " << i;
      EXPECT_EQ(g.Rows()[i].time, k.expected[i].time) << "row " << i;
    }
  }
}

TEST(ScheduleFile, IsFileDateTimeLinesAndShortLinesLeaveCellsEmpty) {
  TempDir dir;
  ctlapp::ScheduleGrid g;
  g.Insert("/m/hello.msg");
  g.Insert("/m/world.msg");
  g.SetDateTime(0, "12/25", "10:30");
  g.Save(dir.File("a.sch"));
  EXPECT_EQ(ReadBytes(dir.File("a.sch")), "/m/hello.msg;12/25;10:30\r\n/m/world.msg;;  :  \r\n");

  ctlapp::ScheduleGrid h;
  h.Load(dir.File("a.sch"));
  ASSERT_EQ(h.Rows().size(), 2u);
  EXPECT_EQ(h.Rows()[0].date, "12/25");
  EXPECT_EQ(h.Rows()[1].time, "  :  ");

  WriteBytes(dir.File("short.sch"), "/m/x.msg;DLY\n/m/y.msg\n;;\n");
  h.SetCurrent(1);
  h.Load(dir.File("short.sch"));
  ASSERT_EQ(h.Rows().size(), 3u);
  EXPECT_EQ(h.Rows()[0].date, "DLY");
  EXPECT_EQ(h.Rows()[0].time, "");
  EXPECT_EQ(h.Rows()[1].file, "/m/y.msg");
  EXPECT_EQ(h.Rows()[1].date, "");
  EXPECT_EQ(h.Rows()[2].file, "");
  EXPECT_EQ(h.Current(), 0);  // loading starts on row 1

  WriteBytes(dir.File("empty.sch"), "");
  h.Load(dir.File("empty.sch"));
  EXPECT_EQ(h.Rows().size(), 1u);
}

// A sequence or schedule path that is no regular file is refused at once with
// the reason, never waited on, and the list stays as it was.
TEST(ListFiles, PathThatIsNoRegularFileIsRefusedAtOnce) {
  for (const char* name : {"a.seq", "a.sch"}) {
    for (testsupport::HostileKind kind : testsupport::AllHostileKinds()) {
      SCOPED_TRACE(std::string(name) + ": " + testsupport::HostileKindName(kind));
      TempDir dir;
      const std::string path = dir.File(name);
      const auto fifo = testsupport::MakeHostilePath(kind, path);
      ctlapp::SequenceList seq;
      seq.Insert("kept.msg");
      ctlapp::ScheduleGrid sch;
      sch.MutableRows().front().file = "kept.msg";
      try {
        if (std::string(name) == "a.seq") {
          seq.Load(path);
        } else {
          sch.Load(path);
        }
        ADD_FAILURE() << "read as a list";
      } catch (const platform::InOutError& e) {
        EXPECT_EQ(std::string(e.what()), path + ": is not a regular file");
      }
      if (fifo) {
        EXPECT_FALSE(fifo->Released()) << "the open waited for a writer";
      }
      EXPECT_EQ(seq.Entries(), std::vector<std::string>{"kept.msg"});
      EXPECT_EQ(sch.Rows().front().file, "kept.msg");
    }
  }
}

// A list file its owner made read-only is not replaced by a save.
TEST(ListFiles, SaveNeverReplacesAReadOnlyFile) {
  for (const char* name : {"a.seq", "a.sch"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    const std::string path = dir.File(name);
    WriteBytes(path, "old.msg\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    const int result = testsupport::RunAsPlainUser(dir.path(), [&] {
      try {
        if (std::string(name) == "a.seq") {
          ctlapp::SequenceList s;
          s.Insert("new.msg");
          s.Save(path);
        } else {
          ctlapp::ScheduleGrid h;
          h.MutableRows().front().file = "new.msg";
          h.Save(path);
        }
      } catch (const platform::InOutError& e) {
        return std::string(e.what()) == path + ": Permission denied" ? 0 : 2;
      }
      return 1;
    });
    EXPECT_EQ(result, 0) << "1: replaced, 2: another reason";
    EXPECT_EQ(ReadBytes(path), "old.msg\r\n");
  }
}

// A .seq keeps one path a line and a .sch row splits at ";": a path holding
// what the file uses to part its entries would come back as other entries,
// so Insert and Replace refuse it and the list stays as it was. Every path
// they take comes back whole from the file.
TEST(ListFiles, APathTheFileCannotKeepIsRefusedAtInsertAndReplace) {
  const std::string seqReason = "a path in it may not hold a line break.";
  const std::string schReason = "a path in it may not hold a line break or \";\".";
  struct Case {
    std::string path;
    std::string seqRefusal;  // empty: taken
    std::string schRefusal;
  } cases[] = {
      {"/m/two\nlines/a.msg", "The sequence file cannot keep the path \"/m/two\nlines/a.msg\": " + seqReason,
       "The schedule file cannot keep the path \"/m/two\nlines/a.msg\": " + schReason},
      {"/m/cr\r/a.msg", "The sequence file cannot keep the path \"/m/cr\r/a.msg\": " + seqReason,
       "The schedule file cannot keep the path \"/m/cr\r/a.msg\": " + schReason},
      {"/m/x;y/a.msg", "", "The schedule file cannot keep the path \"/m/x;y/a.msg\": " + schReason},
      {"/m/x;y.SML", "", "The schedule file cannot keep the path \"/m/x;y.SML\": " + schReason},
      {"/m/Zo\xC3\xAB {1}, two/a.msg", "", ""},
      {std::string("/m/B.MSG\0/../A.MSG", 18),
       "The sequence file cannot keep the path \"/m/B.MSG\": a path in it may not hold a NUL byte.",
       "The schedule file cannot keep the path \"/m/B.MSG\": a path in it may not hold a NUL byte."},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(ctlapp::PathRefusal(ctlapp::ListKind::Sequence, c.path), c.seqRefusal);
    EXPECT_EQ(ctlapp::PathRefusal(ctlapp::ListKind::Schedule, c.path), c.schRefusal);

    ctlapp::SequenceList seq;
    seq.Insert("/m/kept.msg");
    const bool seqTakes = c.seqRefusal.empty();
    EXPECT_EQ(seq.Insert(c.path), seqTakes);
    EXPECT_EQ(seq.Replace(c.path), seqTakes);  // the first entry is selected
    const std::vector<std::string> expected =
        seqTakes ? std::vector<std::string>{c.path, c.path} : std::vector<std::string>{"/m/kept.msg"};
    EXPECT_EQ(seq.Entries(), expected);
    ASSERT_TRUE(seq.Save(dir.File("a.seq")));
    ctlapp::SequenceList seqAgain;
    seqAgain.Load(dir.File("a.seq"));
    EXPECT_EQ(seqAgain.Entries(), expected);

    ctlapp::ScheduleGrid sch;
    sch.Insert("/m/kept.msg");
    sch.SetDateTime(0, "DLY", "08:00");
    const bool schTakes = c.schRefusal.empty();
    EXPECT_EQ(sch.Insert(c.path), schTakes);
    EXPECT_EQ(sch.Replace(c.path), schTakes);  // row 1 is current
    ASSERT_EQ(sch.Rows().size(), schTakes ? 2u : 1u);
    EXPECT_EQ(sch.Rows()[0].file, schTakes ? c.path : "/m/kept.msg");
    EXPECT_EQ(sch.Rows()[0].date, "DLY");
    sch.Save(dir.File("a.sch"));
    ctlapp::ScheduleGrid schAgain;
    schAgain.Load(dir.File("a.sch"));
    ASSERT_EQ(schAgain.Rows().size(), sch.Rows().size());
    for (std::size_t r = 0; r < sch.Rows().size(); ++r) {
      EXPECT_EQ(schAgain.Rows()[r].file, sch.Rows()[r].file);
      EXPECT_EQ(schAgain.Rows()[r].date, sch.Rows()[r].date);
      EXPECT_EQ(schAgain.Rows()[r].time, sch.Rows()[r].time);
    }
  }
}

// The system ends a path at a NUL: a line "B.MSG\0/../A.MSG" would name A in
// the run record and send B. A file with such a path is refused whole, with
// the line, and the list stays as it was; the same file without the NUL loads.
TEST(ListFiles, APathWithANulByteReadFromAListFileIsRefused) {
  TempDir dir;
  const std::string nul = dir.File("B.MSG") + std::string(1, '\0') + "/../A.MSG";
  struct Case {
    const char* file;
    std::string bytes;
    std::string sound;
  } cases[] = {
      {"nul.seq", dir.File("C.MSG") + "\r\n" + nul + "\r\n", dir.File("C.MSG") + "\r\n" + dir.File("A.MSG") + "\r\n"},
      {"nul.sch", dir.File("C.MSG") + ";DLY;08:00\r\n" + nul + ";;  :  \r\n",
       dir.File("C.MSG") + ";DLY;08:00\r\n" + dir.File("A.MSG") + ";;  :  \r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    WriteBytes(dir.File(c.file), c.bytes);
    ctlapp::SequenceList seq;
    seq.Insert("/m/kept.msg");
    ctlapp::ScheduleGrid sch;
    sch.Insert("/m/kept.msg");
    const std::string reason = "line 2 names a path with a NUL byte, which no file name can hold.";
    for (const auto& load : std::vector<std::function<void()>>{[&] { seq.Load(dir.File(c.file)); },
                                                                [&] { sch.Load(dir.File(c.file)); }}) {
      try {
        load();
        ADD_FAILURE() << "loaded";
      } catch (const platform::InOutError& e) {
        EXPECT_EQ(e.path(), dir.File(c.file));
        EXPECT_EQ(e.reason(), reason);
      }
    }
    EXPECT_EQ(seq.Entries(), std::vector<std::string>{"/m/kept.msg"});
    ASSERT_EQ(sch.Rows().size(), 1u);
    EXPECT_EQ(sch.Rows()[0].file, "/m/kept.msg");

    WriteBytes(dir.File(c.file), c.sound);
    seq.Load(dir.File(c.file));
    sch.Load(dir.File(c.file));
    ASSERT_EQ(seq.Entries().size(), 2u);
    ASSERT_EQ(sch.Rows().size(), 2u);
    EXPECT_EQ(sch.Rows()[1].file, dir.File("A.MSG"));
  }
}

// What the page's Insert and Replace refuse: a path the list file cannot
// keep, then a name the sign cannot take.
TEST(ListFiles, EntriesRefusedForTheirPathOrTheirName) {
  const std::string braces = "The sign cannot take the name \"A}{CA}\": a name may not hold { } , ; or blanks.";
  struct Case {
    const char* path;
    ctlapp::ListKind kind;
    std::string refusal;
  } cases[] = {
      {"/m/hello.msg", ctlapp::ListKind::Sequence, ""},
      {"/m/hello.msg", ctlapp::ListKind::Schedule, ""},
      {"/m/A}{CA}.MSG", ctlapp::ListKind::Sequence, braces},
      {"/m/A}{CA}.MSG", ctlapp::ListKind::Schedule, braces},
      {"/m/x;y.MSG", ctlapp::ListKind::Sequence,
       "The sign cannot take the name \"x;y\": a name may not hold { } , ; or blanks."},
      {"/m/x;y.MSG", ctlapp::ListKind::Schedule,
       "The schedule file cannot keep the path \"/m/x;y.MSG\": a path in it may not hold a line break or \";\"."},
      {"/m/two\nlines.MSG", ctlapp::ListKind::Sequence,
       "The sequence file cannot keep the path \"/m/two\nlines.MSG\": a path in it may not hold a line break."},
      {"/m/caf\xE9.msg", ctlapp::ListKind::Schedule, ""},
      {"/m/\xE5\xA4\xA7\xE9\x96\x80.msg", ctlapp::ListKind::Sequence, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ctlapp::EntryRefusal(c.kind, c.path), c.refusal) << c.path;
}

// A list opened from a file may name files the sign cannot take: the run
// finds the first of them.
TEST(ListFiles, TheFirstEntryWhoseNameTheSignCannotTake) {
  const ctlapp::ValidationResult fine = ctlapp::CheckSignNames(std::vector<std::string>{"/m/a.msg", "/m/b.msg"});
  EXPECT_TRUE(fine.ok);
  const ctlapp::ValidationResult seq =
      ctlapp::CheckSignNames(std::vector<std::string>{"/m/a.msg", "/m/two words.msg", "/m/A}{CA}.MSG"});
  EXPECT_FALSE(seq.ok);
  EXPECT_EQ(seq.row, 1);
  EXPECT_EQ(seq.message, "The sign cannot take the name \"two words\": a name may not hold { } , ; or blanks.");
  const ctlapp::ValidationResult sch = ctlapp::CheckSignNames(
      std::vector<ScheduleRow>{{"/m/a.msg", "DLY", "08:00"}, {"/m/b.msg", "", "  :  "}, {"/m/c,d.msg", "", "  :  "}});
  EXPECT_FALSE(sch.ok);
  EXPECT_EQ(sch.row, 2);
  EXPECT_EQ(sch.message, "The sign cannot take the name \"c,d\": a name may not hold { } , ; or blanks.");
  EXPECT_TRUE(ctlapp::CheckSignNames(std::vector<ScheduleRow>{{"/m/a.msg", "DLY", "08:00"}}).ok);
}
