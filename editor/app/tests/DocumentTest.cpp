// New, Open, Save and Save As below the window: the files written byte for
// byte, the question before unsaved work is lost, and the refusals.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <deque>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/CommandRecord.h"
#include "editor/EditorSettings.h"
#include "editor/MessageModel.h"
#include "editorapp/Document.h"
#include "platform/MessageBoxes.h"

namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
void WriteBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// A record as the sign reads it: length word (text + 2), text, CRC high, CRC low.
std::string Record(const std::string& text) {
  const std::uint16_t crc = cmdfile::CalcCRC(text);
  const auto length = static_cast<std::uint16_t>(text.size() + 2);
  std::string r;
  r += static_cast<char>(length & 0xFF);
  r += static_cast<char>(length >> 8);
  r += text;
  r += static_cast<char>(crc >> 8);
  r += static_cast<char>(crc & 0xFF);
  return r;
}

// The frame file of one frame holding "AB" in font 2, colour 0, on line 1.
std::string AbFrameFile() {
  std::string b;
  b += std::string("\x01\x00", 2);  // frames
  b += std::string("\x00\x00", 2);  // logos
  b += "-FRAME-";
  b += std::string("\x00\x00\x01", 3);  // speed, modes length, layout 1
  b += "NN";                            // not fixed, no fixed part
  b += std::string("\x00\x00", 2);      // fixed width
  b += std::string("\x02\x00", 2) + "NN" + "AB" + "22" + "00" + "00";  // line 1
  b += std::string("\x00\x00", 2);                                     // line 2
  return b;
}

class ScriptedView : public editorapp::DocumentView {
 public:
  explicit ScriptedView(editor::MessageModel& model) : model_(model) {}
  void NewMessage() override {
    model_.NewMessage(QDir::currentPath().toStdString());
    ++newMessages;
  }
  void ShowOpenedMessage() override { ++shownOpened; }
  void SetFileName(const std::string& path) override { model_.DocFileName = path; }
  void SetModified(bool modified) override { model_.Modified = modified; }
  std::string ChooseOpenFile(const std::string& initial) override {
    openInitial.push_back(initial);
    return Next();
  }
  std::string ChooseSaveFile(const std::string& current) override {
    saveCurrent.push_back(current);
    return Next();
  }
  std::deque<std::string> chosen;  // "" cancels
  std::vector<std::string> openInitial, saveCurrent;
  int newMessages = 0;
  int shownOpened = 0;

 private:
  std::string Next() {
    if (chosen.empty()) return {};
    std::string c = chosen.front();
    chosen.pop_front();
    return c;
  }
  editor::MessageModel& model_;
};

class DocumentTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    document.NewMessage();
  }
  void TearDown() override { QDir::setCurrent(previous); }
  std::string Path(const std::string& name) const { return dir.path().toStdString() + "/" + name; }
  void TypeAb() {
    model.Frame(0).Layout = 1;
    ASSERT_TRUE(model.InsertCharacter(0, 1, 1, 'A', 2, 0, '0'));
    ASSERT_TRUE(model.InsertCharacter(0, 1, 2, 'B', 2, 0, '0'));
    model.Modified = true;
  }

  QTemporaryDir dir;
  QString previous;
  platform::ScopedRecordingBoxes boxes;
  editor::EditorSettings settings;
  editor::MessageModel model{{160, 16}};
  ScriptedView view{model};
  std::vector<int> redrawn;
  editorapp::Document document{model, settings, view, [this](editor::MessageModel&, int f) { redrawn.push_back(f); }};
};

TEST_F(DocumentTest, SaveWritesNewSmlAndItsMessageFileInTheCurrentDirectory) {
  TypeAb();
  ASSERT_TRUE(document.Save());
  EXPECT_EQ(ReadBytes(Path("NEW.SML")), AbFrameFile());
  EXPECT_EQ(ReadBytes(Path("NEW.MSG")), Record("{F,NEW}") + Record("{T,~f,^FL^RH^TBAB}"));
  EXPECT_FALSE(model.Modified);
  EXPECT_TRUE(boxes->Texts().empty());
}

TEST_F(DocumentTest, ANeverSavedMessageAsksBeforeReplacingNewSml) {
  WriteBytes(Path("NEW.SML"), "old");
  TypeAb();
  boxes->QueueAnswer(platform::kResultNo);
  EXPECT_FALSE(document.Save());
  EXPECT_EQ(ReadBytes(Path("NEW.SML")), "old");
  EXPECT_TRUE(model.Modified);
  ASSERT_EQ(boxes->Texts().size(), 1u);
  EXPECT_EQ(boxes->Texts()[0], "NEW.SML already exists. Replace it?");
  boxes->QueueAnswer(platform::kResultYes);
  EXPECT_TRUE(document.Save());
  EXPECT_EQ(ReadBytes(Path("NEW.SML")), AbFrameFile());
  // Saved once: the next save goes without the question.
  boxes->Clear();
  EXPECT_TRUE(document.Save());
  EXPECT_TRUE(boxes->Texts().empty());
}

TEST_F(DocumentTest, AskSaveChanges) {
  // Nothing modified: Yes at once, no question.
  EXPECT_EQ(document.AskSaveChanges(), platform::kResultYes);
  EXPECT_TRUE(boxes->Texts().empty());
  TypeAb();
  for (int answer : {platform::kResultNo, platform::kResultCancel}) {
    boxes->QueueAnswer(answer);
    EXPECT_EQ(document.AskSaveChanges(), answer);
  }
  EXPECT_EQ(boxes->Texts(), (std::vector<std::string>(2, editorapp::kAskSaveText)));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("NEW.SML"))));
  // Yes saves; a save that fails counts as Cancel and keeps the mark.
  QDir(dir.path()).mkdir("NEW.SML");
  boxes->QueueAnswer(platform::kResultYes);
  boxes->QueueAnswer(platform::kResultYes);  // replace the "existing" NEW.SML
  EXPECT_EQ(document.AskSaveChanges(), platform::kResultCancel);
  EXPECT_TRUE(model.Modified);
  QDir(dir.path()).rmdir("NEW.SML");
  boxes->QueueAnswer(platform::kResultYes);
  EXPECT_EQ(document.AskSaveChanges(), platform::kResultYes);
  EXPECT_FALSE(model.Modified);
  EXPECT_EQ(ReadBytes(Path("NEW.SML")), AbFrameFile());
}

TEST_F(DocumentTest, SaveAsNamesTheMessageOnlyWhenTheSaveSucceeded) {
  TypeAb();
  const std::string before = model.DocFileName;
  view.chosen = {Path("WEEKLYSPECIALS.MSG")};
  EXPECT_FALSE(document.SaveAs());
  EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{editorapp::kMessageFileNameText}));
  EXPECT_EQ(model.DocFileName, before);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("WEEKLYSPECIALS.MSG"))));

  QDir(dir.path()).mkdir("sub");
  view.chosen = {Path("sub/missing/X.SML")};
  EXPECT_FALSE(document.SaveAs());
  EXPECT_EQ(model.DocFileName, before);
  EXPECT_TRUE(model.Modified);

  view.chosen = {Path("sub/WeeklySpecials.sml")};
  EXPECT_TRUE(document.SaveAs());
  EXPECT_EQ(model.DocFileName, Path("sub/WeeklySpecials.sml"));
  EXPECT_EQ(view.saveCurrent.back(), before);
  EXPECT_FALSE(model.Modified);
  EXPECT_EQ(ReadBytes(Path("sub/WeeklySpecials.sml")), AbFrameFile());
  EXPECT_EQ(ReadBytes(Path("sub/WeeklySpecials.MSG")), Record("{F,WEEKLYSP}") + Record("{T,~f,^FL^RH^TBAB}"));
  // The working directory followed the dialog: a new message is named there.
  EXPECT_EQ(QDir::currentPath(), QDir(dir.path() + "/sub").absolutePath());
  document.NewMessage();
  EXPECT_EQ(model.DocFileName, QDir(dir.path() + "/sub").absolutePath().toStdString() + "/NEW.SML");
  EXPECT_TRUE(document.Untitled());
}

TEST_F(DocumentTest, OpenReadsTheFileAndACancelOrABadFileChangesNothing) {
  WriteBytes(Path("AB.SML"), AbFrameFile());
  WriteBytes(Path("BAD.SML"), "-FRAMX-" + std::string(15, '\0'));
  // Cancel in the save question: no dialog.
  TypeAb();
  boxes->QueueAnswer(platform::kResultCancel);
  document.Open();
  EXPECT_TRUE(view.openInitial.empty());
  // No, then Cancel in the dialog: the message stays.
  boxes->QueueAnswer(platform::kResultNo);
  document.Open();
  ASSERT_EQ(view.openInitial.size(), 1u);
  EXPECT_EQ(view.openInitial[0], Path("*.SML"));
  EXPECT_EQ(model.Frame(0).Codes[1], "AB");
  EXPECT_TRUE(model.Modified);

  model.Frame(0).Codes[1] = "AB";
  model.Modified = false;
  model.ClearFrame(0);
  view.chosen = {Path("AB.SML")};
  document.Open();
  EXPECT_EQ(model.FrameCount(), 1);
  EXPECT_EQ(model.Frame(0).Codes[1], "AB");
  EXPECT_EQ(model.Frame(0).Fonts[1], "22");
  EXPECT_EQ(model.DocFileName, Path("AB.SML"));
  EXPECT_FALSE(model.Modified);
  EXPECT_FALSE(document.Untitled());
  EXPECT_EQ(view.shownOpened, 1);
  EXPECT_EQ(redrawn, (std::vector<int>{0}));

  // Wrong magic: a warning names the file, the open message stays.
  boxes->Clear();
  view.chosen = {Path("BAD.SML")};
  document.Open();
  EXPECT_EQ(model.DocFileName, Path("AB.SML"));
  EXPECT_EQ(model.Frame(0).Codes[1], "AB");
  ASSERT_EQ(boxes->Texts().size(), 1u);
  EXPECT_NE(boxes->Texts()[0].find("BAD.SML"), std::string::npos) << boxes->Texts()[0];
  EXPECT_EQ(view.shownOpened, 1);
}

TEST_F(DocumentTest, NewAsksFirstAndCancelKeepsTheMessage) {
  TypeAb();
  const int before = view.newMessages;
  boxes->QueueAnswer(platform::kResultCancel);
  document.New();
  EXPECT_EQ(view.newMessages, before);
  EXPECT_EQ(model.Frame(0).Codes[1], "AB");
  boxes->QueueAnswer(platform::kResultNo);
  document.New();
  EXPECT_EQ(view.newMessages, before + 1);
  EXPECT_TRUE(model.Frame(0).LinesEmpty());
}

// A name the sign cannot take is refused before either file is written, and
// the message keeps its name and its modified mark.
TEST_F(DocumentTest, SaveAndSaveAsRefuseANameTheSignCannotTake) {
  TypeAb();
  const std::string before = model.DocFileName;
  const std::string braces = "The sign cannot take the name \"A}{CA}\": a name may not hold { } , ; or blanks.";
  struct Case {
    const char* name;
    std::string refusal;
  } cases[] = {
      {"A}{CA}.SML", braces},
      {"two words.SML", "The sign cannot take the name \"two words\": a name may not hold { } , ; or blanks."},
      {"caf\xC3\xA9 x.SML", "The sign cannot take the name \"caf\xC3\xA9 x\": a name may not hold { } , ; or blanks."},
      {"tab\there.SML",
       "The sign cannot take the name \"tab\there\": a name may not hold control characters such as tabs or line "
       "breaks."},
      {".SML", "The sign cannot take the name of \".SML\": a name may not be empty."},
  };
  for (const Case& c : cases) {
    boxes->Clear();
    view.chosen = {Path(c.name)};
    EXPECT_FALSE(document.SaveAs()) << c.name;
    EXPECT_EQ(boxes->Texts(), std::vector<std::string>{c.refusal}) << c.name;
    EXPECT_EQ(boxes->Shown().at(0).type, platform::BoxType::Warning);
    EXPECT_EQ(model.DocFileName, before);
    EXPECT_TRUE(model.Modified);
  }
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});

  // A message opened under such a name keeps both old files at Save, and the
  // close's question counts the refusal as Cancel.
  WriteBytes(Path("A}{CA}.SML"), "old frames");
  WriteBytes(Path("A}{CA}.MSG"), "old records");
  model.DocFileName = Path("A}{CA}.SML");
  boxes->Clear();
  EXPECT_FALSE(document.Save());
  boxes->QueueAnswer(platform::kResultYes);
  EXPECT_EQ(document.AskSaveChanges(), platform::kResultCancel);
  EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{braces, editorapp::kAskSaveText, braces}));
  EXPECT_EQ(ReadBytes(Path("A}{CA}.SML")), "old frames");
  EXPECT_EQ(ReadBytes(Path("A}{CA}.MSG")), "old records");
  EXPECT_TRUE(model.Modified);

  // The folder may be named anything.
  QDir(dir.path()).mkdir("Schilder f\xC3\xBCr Zo\xC3\xAB; {1}");
  view.chosen = {Path("Schilder f\xC3\xBCr Zo\xC3\xAB; {1}/shop.sml")};
  boxes->Clear();
  EXPECT_TRUE(document.SaveAs());
  EXPECT_EQ(ReadBytes(Path("Schilder f\xC3\xBCr Zo\xC3\xAB; {1}/shop.MSG")),
            Record("{F,SHOP}") + Record("{T,~f,^FL^RH^TBAB}"));
  EXPECT_TRUE(boxes->Texts().empty());
}

// "{F,...}" carries the first 8 bytes of the name, upper-cased: a blank
// beyond them is taken at Save As and Save, and the record is what it was.
TEST_F(DocumentTest, SaveAndSaveAsTakeANameWhoseEightBytesTheSignTakes) {
  TypeAb();
  view.chosen = {Path("Specials for June.SML")};
  ASSERT_TRUE(document.SaveAs());
  EXPECT_TRUE(boxes->Texts().empty());
  EXPECT_EQ(model.DocFileName, Path("Specials for June.SML"));
  EXPECT_EQ(ReadBytes(Path("Specials for June.MSG")), Record("{F,SPECIALS}") + Record("{T,~f,^FL^RH^TBAB}"));
  std::remove(Path("Specials for June.MSG").c_str());
  model.Modified = true;
  ASSERT_TRUE(document.Save());
  EXPECT_TRUE(boxes->Texts().empty());
  EXPECT_EQ(ReadBytes(Path("Specials for June.MSG")), Record("{F,SPECIALS}") + Record("{T,~f,^FL^RH^TBAB}"));
}

// A message opened with more logos than the sign has letters for: the frame
// file keeps them all, the message file leaves out those from 52 on, and the
// save says so once.
TEST_F(DocumentTest, ASaveSaysOnceWhichLogosTheMessageFileLeavesOut) {
  editor::TFrame& f = model.Frame(0);
  f.Layout = 1;
  std::string kinds, codes, fonts, colors, logos;
  for (int n = 0; n < 54; ++n) {
    QImage logo(1, 1, QImage::Format_RGB32);
    logo.fill(qRgb(0, 0, 0));
    ASSERT_TRUE(model.AppendLogo(logo));
    f.InsertCellAt(1, f.Length(1) + 1, editor::Cell{'@', '0', '0', '0', '0'});
    f.SetLogoNumberAt(1, f.Length(1), 53 - n);  // the last logo first
    char digits[4];
    std::snprintf(digits, sizeof digits, "%.3d", 53 - n);
    kinds += '@';
    codes += digits[0];
    fonts += digits[1];
    colors += digits[2];
    logos += std::string("\x01\x00\x01\x00\x01\x00", 6);  // 1 x 1, a literal of one dark pixel
  }
  model.Modified = true;
  view.chosen = {Path("MANY.SML")};
  ASSERT_TRUE(document.SaveAs());
  EXPECT_EQ(boxes->Texts(), std::vector<std::string>{"Logos 53 and 54 are not sent: a sign shows at most 52 logos."});
  EXPECT_EQ(boxes->Shown().at(0).type, platform::BoxType::Information);
  const std::string frames = std::string("\x01\x00\x36\x00", 4) + "-FRAME-" + std::string("\x00\x00\x01", 3) + "NN" +
                             std::string("\x00\x00\x36\x00", 4) + kinds + codes + fonts + colors +
                             std::string(54, '0') + std::string("\x00\x00", 2) + logos;
  EXPECT_EQ(ReadBytes(Path("MANY.SML")), frames);
  const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::string cells;
  for (auto it = letters.rbegin(); it != letters.rend(); ++it) cells += std::string("^L") + *it;
  std::string records = Record("{F,MANY}") + Record("{T,~f,^FL" + cells + "}");
  // One column on a 16-row sign: four planes of two bytes, all dark.
  for (char letter : letters) records += Record(std::string("{L") + letter + ",01,001,C,#" + std::string(8, '\0') + "#}");
  EXPECT_EQ(ReadBytes(Path("MANY.MSG")), records);
  // Every save says it again, once.
  model.Modified = true;
  ASSERT_TRUE(document.Save());
  EXPECT_EQ(boxes->Texts().size(), 2u);
  EXPECT_EQ(ReadBytes(Path("MANY.SML")), frames);
  EXPECT_EQ(ReadBytes(Path("MANY.MSG")), records);
}

TEST(MessageExtension, AnyCase) {
  for (const char* name : {"A.MSG", "a.msg", "/x/y.Msg"}) EXPECT_TRUE(editorapp::HasMessageExtension(name)) << name;
  for (const char* name : {"A.SML", "MSG", "a.msg.sml", "/x.MSG/y"}) {
    EXPECT_FALSE(editorapp::HasMessageExtension(name)) << name;
  }
}

}  // namespace
