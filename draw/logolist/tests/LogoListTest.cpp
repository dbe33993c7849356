#include "draw/LogoList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "platform/BinaryFile.h"
#include "platform/MessageBoxes.h"
#include "testsupport/HostilePaths.h"
#include "testsupport/TempDir.h"

using namespace draw;
using platform::kResultCancel;
using platform::kResultNo;
using platform::kResultYes;
using raster::Box;

namespace {

constexpr QRgb kRed = 0xFFFF1F3Fu;
constexpr QRgb kGreen = 0xFF1FFF3Fu;

using testsupport::TempDir;

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  platform::AtomicFileWriter file(path);
  file.Write(bytes.data(), bytes.size());
  file.Commit();
}

// A 480 x 24 view: sign pixel column x of colour red when x is even, green otherwise.
QImage StripedView() {
  QImage view = raster::NewImage(600, 60, raster::kBlack);
  for (int x = 0; x < 160; ++x) raster::FillBox(view, Box{3 * x, 0, 3 * x + 3, 24}, x % 2 ? kGreen : kRed);
  return view;
}

struct Fixture {
  TempDir dir;
  platform::ScopedRecordingBoxes boxes;
  LogoList list;
  QImage view = StripedView();
  Fixture() {
    list.currentDirectory = [this] { return dir.path(); };
    list.NewLogoFile();
  }
  // Inserts a logo of `columns` sign pixels from the view's left.
  void Insert(int columns) { ASSERT_TRUE(list.Insert(view, Box{0, 0, 3 * columns, 24}, 160, 8)); }
};

}  // namespace

TEST(CaptureLogo, IsAlwaysEightRowsHighAndBlackBeyondTheSign) {
  const QImage view = StripedView();
  // A box of 600 screen pixels on a sign of 160 columns: 200 wide, black from 480 on.
  const QImage wide = CaptureLogo(view, Box{0, 0, 600, 24}, 160, 8);
  ASSERT_EQ(wide.size(), QSize(600, 24));
  EXPECT_EQ(wide.pixel(479, 10), kGreen);
  EXPECT_EQ(wide.pixel(480, 10), raster::kBlack);
  EXPECT_EQ(wide.pixel(599, 0), raster::kBlack);
  // Three rows high: rows 3 to 7 are black.
  const QImage low = CaptureLogo(view, Box{3, 3, 33, 12}, 160, 8);
  ASSERT_EQ(low.size(), QSize(30, 24));
  EXPECT_EQ(low.pixel(0, 0), kGreen);  // view column 3 is sign pixel 1
  EXPECT_EQ(low.pixel(3, 8), kRed);
  EXPECT_EQ(low.pixel(3, 9), raster::kBlack);
  EXPECT_EQ(low.pixel(29, 23), raster::kBlack);
  // Taller than the sign: cut to eight rows.
  const QImage tall = CaptureLogo(view, Box{0, 0, 6, 60}, 160, 8);
  EXPECT_EQ(tall.size(), QSize(6, 24));
  EXPECT_EQ(tall.pixel(0, 23), kRed);
}

TEST(LogoList, StartsEmptyAsNewLogInTheCurrentDirectory) {
  Fixture f;
  EXPECT_EQ(f.list.Document().FileName(), f.dir.File("NEW.LOG"));
  EXPECT_FALSE(f.list.Document().Modified());
  EXPECT_EQ(f.list.InfoText(), "0/0  0 X 0");
  EXPECT_EQ(f.list.Buttons(), LogoButtons{});
}

TEST(LogoList, TheIndexFollowsInsertDeleteAndSteppingWithItsButtons) {
  struct Step {
    const char* what;
    std::function<void(Fixture&)> act;
    const char* info;
    LogoButtons buttons;  // delete, clear, edit, previous, next
  };
  const Step steps[] = {
      {"insert into the empty list", [](Fixture& f) { f.Insert(40); }, "1/1  8 X 40", {true, true, true, false, false}},
      {"insert after it", [](Fixture& f) { f.Insert(10); }, "2/2  8 X 10", {true, true, true, true, false}},
      {"insert a third", [](Fixture& f) { f.Insert(20); }, "3/3  8 X 20", {true, true, true, true, false}},
      {"previous", [](Fixture& f) { f.list.Previous(); }, "2/3  8 X 10", {true, true, true, true, true}},
      {"insert while 2 of 3 is current", [](Fixture& f) { f.Insert(5); }, "3/4  8 X 5", {true, true, true, true, true}},
      {"choose the first", [](Fixture& f) { f.list.Choose(0); }, "1/4  8 X 40", {true, true, true, false, true}},
      {"previous at the first", [](Fixture& f) { f.list.Previous(); }, "1/4  8 X 40", {true, true, true, false, true}},
      {"delete the first", [](Fixture& f) { f.boxes->QueueAnswer(kResultYes); f.list.Delete(); },
       "1/3  8 X 10", {true, true, true, false, true}},
      {"next twice", [](Fixture& f) { f.list.Next(); f.list.Next(); f.list.Next(); }, "3/3  8 X 20",
       {true, true, true, true, false}},
      {"delete the last", [](Fixture& f) { f.boxes->QueueAnswer(kResultYes); f.list.Delete(); },
       "2/2  8 X 5", {true, true, true, true, false}},
      {"delete answered No", [](Fixture& f) { f.boxes->QueueAnswer(kResultNo); f.list.Delete(); },
       "2/2  8 X 5", {true, true, true, true, false}},
      {"delete twice more", [](Fixture& f) {
         f.boxes->QueueAnswer(kResultYes);
         f.boxes->QueueAnswer(kResultYes);
         f.list.Delete();
         f.list.Delete();
       },
       "0/0  0 X 0", {false, false, false, false, false}},
  };
  Fixture f;
  for (const Step& s : steps) {
    s.act(f);
    EXPECT_EQ(f.list.InfoText(), s.info) << s.what;
    EXPECT_EQ(f.list.Buttons(), s.buttons) << s.what;
  }
  EXPECT_EQ(f.boxes->Texts(), std::vector<std::string>(5, "Are you sure to delete ?"));
  EXPECT_TRUE(f.list.Document().Modified());
}

TEST(LogoList, ReplaceClearAndEditWorkOnTheCurrentLogo) {
  Fixture f;
  // Replace with no logo inserts one.
  ASSERT_TRUE(f.list.Replace(f.view, Box{0, 0, 6, 24}, 160, 8));
  EXPECT_EQ(f.list.InfoText(), "1/1  8 X 2");
  ASSERT_TRUE(f.list.Replace(f.view, Box{3, 0, 12, 24}, 160, 8));
  EXPECT_EQ(f.list.InfoText(), "1/1  8 X 3");
  EXPECT_EQ(f.list.CurrentLogo()->pixel(0, 0), kGreen);

  // Edit draws it at the view's top left and leaves the rest.
  QImage view = raster::NewImage(60, 30, kRed);
  ASSERT_EQ(f.list.Edit(view), QRect(0, 0, 9, 24));
  EXPECT_EQ(view.pixel(0, 0), kGreen);
  EXPECT_EQ(view.pixel(3, 0), kRed);
  EXPECT_EQ(view.pixel(9, 0), kRed);
  EXPECT_EQ(view.pixel(0, 24), kRed);

  f.list.Document().SetModified(false);
  f.list.Clear();
  EXPECT_TRUE(f.list.Document().Modified());
  EXPECT_EQ(f.list.CurrentLogo()->pixel(0, 0), raster::kBlack);
  EXPECT_TRUE(f.boxes->Texts().empty());
}

TEST(LogoList, The256thInsertWarnsAndInsertsNothing) {
  Fixture f;
  for (int i = 0; i < 255; ++i) f.Insert(1);
  EXPECT_EQ(f.list.InfoText(), "255/255  8 X 1");
  EXPECT_FALSE(f.list.Insert(f.view, Box{0, 0, 3, 24}, 160, 8));
  EXPECT_EQ(f.list.Count(), 255);
  EXPECT_EQ(f.boxes->Texts(), std::vector<std::string>{"The maximum of logos is 255!"});
  // The list still saves whole.
  EXPECT_FALSE(f.list.SaveAs());  // no dialog set: cancelled
  f.list.saveDialog = [&](const std::string&) { return f.dir.File("FULL.LOG"); };
  EXPECT_TRUE(f.list.SaveAs());
  EXPECT_EQ(platform::ReadWholeFile(f.dir.File("FULL.LOG"))[0], 255);
}

// Answers of the save question and what they lead to.
TEST(LogoList, TheSaveQuestionMatrix) {
  struct Case {
    const char* what;
    bool modified;
    bool withLogo;
    bool saveFails;
    int answer;  // to the question, when one is asked
    int result;
    bool asked;
    bool written;
  };
  const Case cases[] = {
      {"unmodified asks nothing", false, true, false, kResultNo, kResultYes, false, false},
      {"Yes saves", true, true, false, kResultYes, kResultYes, true, true},
      {"No leaves the file", true, true, false, kResultNo, kResultNo, true, false},
      {"Cancel", true, true, false, kResultCancel, kResultCancel, true, false},
      {"Yes with an empty list saves nothing", true, false, false, kResultYes, kResultYes, true, false},
      {"Yes with a failed save counts as Cancel", true, true, true, kResultYes, kResultCancel, true, false},
  };
  for (const Case& c : cases) {
    Fixture f;
    if (c.withLogo) f.Insert(4);
    f.list.Document().SetModified(c.modified);
    const std::string target = c.saveFails ? f.dir.File("missing/dir/X.LOG") : f.dir.File("X.LOG");
    f.list.Document().SetFileName(target);
    f.boxes->QueueAnswer(c.answer);
    EXPECT_EQ(f.list.AskSaveChanges(), c.result) << c.what;
    const auto texts = f.boxes->Texts();
    EXPECT_EQ(!texts.empty() && texts[0] == kSaveChangesQuestion, c.asked) << c.what;
    EXPECT_EQ(platform::FileExists(target), c.written) << c.what;
    if (c.saveFails) {
      EXPECT_EQ(texts.size(), 2u) << "the failure is reported";
      EXPECT_TRUE(f.list.Document().Modified());
    }
    if (c.written) {
      EXPECT_FALSE(f.list.Document().Modified());
    }
  }
}

TEST(LogoList, TheFirstSaveOverAnExistingNewLogAsksFirst) {
  Fixture f;
  const std::vector<std::uint8_t> old = {1, 2, 3};
  WriteBytes(f.dir.File("NEW.LOG"), old);
  f.Insert(1);  // 1 x 8 sign pixels of red
  f.boxes->QueueAnswer(kResultNo);
  EXPECT_FALSE(f.list.Save());
  EXPECT_EQ(platform::ReadWholeFile(f.dir.File("NEW.LOG")), old);
  EXPECT_TRUE(f.list.Document().Modified());
  ASSERT_EQ(f.boxes->Texts().size(), 1u);
  EXPECT_NE(f.boxes->Texts()[0].find("NEW.LOG already exists"), std::string::npos);

  f.boxes->QueueAnswer(kResultYes);
  EXPECT_TRUE(f.list.Save());
  const std::vector<std::uint8_t> oneRedColumn = {0x01, 0x00, '-', 'L', 'O', 'G', 'O', '-',
                                                   0x01, 0x00, 0x08, 0x00, 0x88, 0xE0};
  EXPECT_EQ(platform::ReadWholeFile(f.dir.File("NEW.LOG")), oneRedColumn);
  // Saved once, the file is the list's own: no more questions.
  f.Insert(3);
  EXPECT_TRUE(f.list.Save());
  EXPECT_EQ(f.boxes->Texts().size(), 2u);
  EXPECT_FALSE(f.list.Document().Modified());
}

TEST(LogoList, SaveWithoutALogoWritesNothing) {
  Fixture f;
  f.list.Document().SetModified(true);
  EXPECT_FALSE(f.list.Save());
  f.list.saveDialog = [&](const std::string&) { return f.dir.File("EMPTY.LOG"); };
  EXPECT_FALSE(f.list.SaveAs());
  EXPECT_FALSE(platform::FileExists(f.dir.File("NEW.LOG")));
  EXPECT_FALSE(platform::FileExists(f.dir.File("EMPTY.LOG")));
  EXPECT_TRUE(f.list.Document().Modified());
  EXPECT_EQ(f.list.Document().FileName(), f.dir.File("EMPTY.LOG"));
}

// A Save As that cannot write reports it and leaves the list under its old
// name, still modified: the next Save goes to the old file.
TEST(LogoList, AFailedSaveAsKeepsTheOldName) {
  Fixture f;
  f.Insert(4);
  f.list.saveDialog = [&](const std::string&) { return f.dir.File("MINE.LOG"); };
  ASSERT_TRUE(f.list.SaveAs());
  f.Insert(6);
  // A folder that cannot be written into: a file stands where it would be.
  f.list.saveDialog = [&](const std::string&) { return f.dir.File("MINE.LOG") + "/RO.LOG"; };
  EXPECT_FALSE(f.list.SaveAs());
  ASSERT_EQ(f.boxes->Texts().size(), 1u);
  EXPECT_EQ(f.list.Document().FileName(), f.dir.File("MINE.LOG"));
  EXPECT_TRUE(f.list.Document().Modified());
  EXPECT_TRUE(f.list.Save());
  EXPECT_EQ(f.boxes->Texts().size(), 1u) << "a chosen name is saved over without asking";
  EXPECT_FALSE(f.list.Document().Modified());
  LogoDocument back;
  back.LoadLogoFile(f.dir.File("MINE.LOG"));
  EXPECT_EQ(back.Count(), 2);
}

TEST(LogoList, OpenOfABadFileKeepsTheListAndItsName) {
  Fixture f;
  f.Insert(4);
  f.Insert(6);
  f.list.saveDialog = [&](const std::string&) { return f.dir.File("MINE.LOG"); };
  ASSERT_TRUE(f.list.SaveAs());
  // A file cut off inside its second record.
  WriteBytes(f.dir.File("BAD.LOG"), {0x02, 0x00, '-', 'L', 'O', 'G', 'O', '-', 0x01, 0x00, 0x01, 0x00, 0x01, 0x1C,
                                     0x02, 0x00, 0x01, 0x00});
  std::string initial;
  f.list.openDialog = [&](const std::string& start) {
    initial = start;
    return f.dir.File("BAD.LOG");
  };
  EXPECT_FALSE(f.list.Open());
  EXPECT_EQ(initial, f.dir.File("*.LOG"));
  EXPECT_EQ(f.list.Count(), 2);
  EXPECT_EQ(f.list.InfoText(), "2/2  8 X 6");
  EXPECT_EQ(f.list.Document().FileName(), f.dir.File("MINE.LOG"));
  ASSERT_EQ(f.boxes->Texts().size(), 1u);  // the error, no save question

  // A good file replaces the list.
  WriteBytes(f.dir.File("ONE.LOG"), {0x01, 0x00, 'x', 'x', 'x', 'x', 'x', 'x', 0x02, 0x00, 0x01, 0x00, 0x82, 0x1C});
  f.list.openDialog = [&](const std::string&) { return f.dir.File("ONE.LOG"); };
  EXPECT_TRUE(f.list.Open());
  EXPECT_EQ(f.list.InfoText(), "1/1  1 X 2");
  EXPECT_EQ(f.list.Document().FileName(), f.dir.File("ONE.LOG"));
  EXPECT_FALSE(f.list.Document().Modified());
}

// A file that is not a logo file is named as such, with the fault in plain
// words on the line below; the open list stays.
TEST(LogoList, OpenOfAFileThatIsNoLogoFileSaysSoInPlainWords) {
  // A message of one frame as the editor saves it: 1 frame, 0 logos, "-FRAME-", the frame.
  std::vector<std::uint8_t> message = {0x01, 0x00, 0x00, 0x00, '-', 'F', 'R', 'A', 'M', 'E', '-',
                                       0x01, 0x01, 'A',  0x01, 'N', 'N', 0x00, 0x00, 0x05, 0x00};
  for (const char* cells : {"NNNNN", "HELLO", "00000", "12345", "01230"}) message.insert(message.end(), cells, cells + 5);
  message.insert(message.end(), {0x00, 0x00});
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"DOC.SML", message, "Logo 1 is 17741 x 301 pixels, a size no logo has."},
      {"CUT.LOG",
       {0x02, 0x00, '-', 'L', 'O', 'G', 'O', '-', 0x01, 0x00, 0x01, 0x00, 0x01, 0x1C, 0x02, 0x00, 0x01, 0x00, 0x01, 0x1C},
       "It ends in the middle of logo 2."},
      {"FEW.LOG", {0x02, 0x00, '-', 'L', 'O', 'G', 'O', '-', 0x01, 0x00, 0x01, 0x00, 0x01, 0x1C, 0x02, 0x00, 0x01, 0x00},
       "It is too short for the 2 logos it counts."},
      {"SHORT.LOG", {0x01, 0x00, '-', 'L', 'O'}, "It is too short to be a logo file."},
      {"MANY.LOG", {0x00, 0x01, '-', 'L', 'O', 'G', 'O', '-'}, "It counts 256 logos; a logo file holds at most 255."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    f.Insert(4);
    WriteBytes(f.dir.File(c.name), c.bytes);
    f.list.openDialog = [&](const std::string&) { return f.dir.File(c.name); };
    f.boxes->QueueAnswer(kResultNo);  // no save of the list
    EXPECT_FALSE(f.list.Open());
    EXPECT_EQ(f.list.InfoText(), "1/1  8 X 4");
    const std::vector<std::string> texts = f.boxes->Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1], f.dir.File(c.name) + " is not a valid logo file!\n" + c.reason);
  }
}

// A path that is no regular file is refused at once with its reason.
TEST(LogoList, OpenOfAPathThatIsNoRegularFileIsRefusedAtOnce) {
  for (testsupport::HostileKind kind : testsupport::AllHostileKinds()) {
    SCOPED_TRACE(testsupport::HostileKindName(kind));
    Fixture f;
    const std::string path = f.dir.File("A.LOG");
    const auto fifo = testsupport::MakeHostilePath(kind, path);
    f.list.openDialog = [&](const std::string&) { return path; };
    EXPECT_FALSE(f.list.Open());
    EXPECT_EQ(f.boxes->Texts(), std::vector<std::string>{path + " cannot be read!\n" + path + ": is not a regular file"});
    if (fifo) {
      EXPECT_FALSE(fifo->Released()) << "the open waited for a writer";
    }
    EXPECT_EQ(f.list.Document().FileName(), f.dir.File("NEW.LOG"));
  }
}

TEST(LogoList, NewAndOpenAnsweredCancelChangeNothing) {
  Fixture f;
  f.Insert(4);
  f.boxes->SetFallback(kResultCancel);
  bool dialogShown = false;
  f.list.openDialog = [&](const std::string&) {
    dialogShown = true;
    return std::string();
  };
  EXPECT_FALSE(f.list.New());
  EXPECT_FALSE(f.list.Open());
  EXPECT_FALSE(dialogShown);
  EXPECT_EQ(f.list.Count(), 1);
  EXPECT_TRUE(f.list.Document().Modified());
  // No: a new empty list without saving.
  f.boxes->QueueAnswer(kResultNo);
  EXPECT_TRUE(f.list.New());
  EXPECT_EQ(f.list.Count(), 0);
  EXPECT_FALSE(f.list.Document().Modified());
  EXPECT_FALSE(platform::FileExists(f.dir.File("NEW.LOG")));
}
