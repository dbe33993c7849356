// Saving a message as its frame file and its message file together, on the
// folders and file systems users have: no hard links, a rename refused half-way,
// odd links, names as long as the system allows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "editor/FrameFile.h"
#include "editor/MessageFile.h"
#include "platform/BinaryFile.h"
#include "platform/FileCalls.h"
#include "platform/InOutError.h"
#include "testsupport/TempDir.h"

namespace fs = std::filesystem;
using namespace editor;

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kOldFrames = {'o', 'l', 'd'};
const Bytes kOldMessage = {0x05, 0x00, '{', 'A', '}', 0x12, 0x34};

// A call that fails as the system would, with `error`.
int Fail(int error) {
  errno = error;
  return -1;
}

// A FAT stick: no hard links at all.
int NoHardLinks(const char*, const char*) { return Fail(EPERM); }

class MessageSave : public ::testing::Test {
 protected:
  void SetUp() override {
    model_.NewMessage(dir_.path());
    model_.Frame(0).Layout = 1;
    ASSERT_TRUE(model_.InsertCharacter(0, 1, 1, 'H', 0, 2, '1'));
  }

  std::string Path(const std::string& name) const { return dir_.File(name); }
  Bytes Read(const std::string& name) const { return platform::ReadWholeFile(Path(name)); }
  void Put(const std::string& name, const Bytes& bytes) const { dir_.Write(name, bytes); }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // The message file a save of `name` (a frame file's name) must write.
  Bytes ExpectedMessage(const std::string& name) const {
    testsupport::TempDir other;
    const std::string companion = CompanionMessagePath(other.File(name));
    BuildCommandFile(model_, companion, false, MessageFileSettings{});
    return platform::ReadWholeFile(companion);
  }
  // Saves as `name`; the failure's text, "" when it saved.
  std::string Save(const std::string& name) {
    try {
      SaveMessage(model_, Path(name), MessageFileSettings{});
    } catch (const platform::InOutError& e) {
      return e.what();
    }
    return "";
  }

  testsupport::TempDir dir_;
  MessageModel model_{SignGeometry{160, 16}};
};

// On a file system without hard links the old message file is kept as bytes:
// a save goes through, and one whose frame file is then refused puts the old
// message file back byte for byte (or takes the new one away when there was none).
TEST_F(MessageSave, WithoutHardLinksTheOldMessageFileIsKeptAsItsBytes) {
  const std::string frame = Path("DOC.SML");
  platform::ScopedFileCalls fat({NoHardLinks, nullptr});
  Put("DOC.SML", kOldFrames);
  Put("DOC.MSG", kOldMessage);
  EXPECT_EQ(Save("DOC.SML"), "");
  EXPECT_EQ(Read("DOC.SML"), EncodeFrameFile(model_));
  EXPECT_EQ(Read("DOC.MSG"), ExpectedMessage("DOC.SML"));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"DOC.MSG", "DOC.SML"}));

  for (const bool hadMessage : {true, false}) {
    SCOPED_TRACE(hadMessage ? "an old message file" : "no message file");
    Put("DOC.SML", kOldFrames);
    if (hadMessage) {
      Put("DOC.MSG", kOldMessage);
    } else {
      fs::remove(Path("DOC.MSG"));
    }
    platform::ScopedFileCalls refused({NoHardLinks, [&](const char* from, const char* to) {
                                         return to == frame ? Fail(EIO) : std::rename(from, to);
                                       }});
    EXPECT_EQ(Save("DOC.SML"), frame + ": " + std::strerror(EIO));
    EXPECT_EQ(Read("DOC.SML"), kOldFrames);
    if (hadMessage) {
      EXPECT_EQ(Read("DOC.MSG"), kOldMessage);
      EXPECT_EQ(Entries(), (std::vector<std::string>{"DOC.MSG", "DOC.SML"})) << "no temporary left";
    } else {
      EXPECT_EQ(Entries(), std::vector<std::string>{"DOC.SML"}) << "no temporary left";
    }
  }
}

// The old message file cannot be put back after the frame file was refused:
// it is never deleted, but stays under a name of its own beside it, and the
// failure names that file. With and without hard links.
TEST_F(MessageSave, AnOldMessageFileThatCannotBePutBackStaysAndIsNamed) {
  const std::string frame = Path("DOC.SML");
  const std::string message = Path("DOC.MSG");
  for (const bool hardLinks : {true, false}) {
    SCOPED_TRACE(hardLinks ? "hard links" : "no hard links");
    for (const std::string& name : Entries()) fs::remove(Path(name));
    Put("DOC.SML", kOldFrames);
    Put("DOC.MSG", kOldMessage);
    int renamesToMessage = 0;
    platform::ScopedFileCalls refused(
        {hardLinks ? nullptr : NoHardLinks, [&](const char* from, const char* to) {
           if (to == frame) return Fail(EIO);
           // The new message file goes in; nothing after it.
           if (to == message && ++renamesToMessage > 1) return Fail(EIO);
           return std::rename(from, to);
         }});
    const std::string failure = Save("DOC.SML");
    EXPECT_EQ(Read("DOC.SML"), kOldFrames);
    EXPECT_EQ(Read("DOC.MSG"), ExpectedMessage("DOC.SML"));
    const std::vector<std::string> entries = Entries();
    ASSERT_EQ(entries.size(), 3u) << "the old message file is gone";
    std::string kept;
    for (const std::string& e : entries) {
      if (e != "DOC.MSG" && e != "DOC.SML") kept = Path(e);
    }
    EXPECT_EQ(platform::ReadWholeFile(kept), kOldMessage);
    EXPECT_EQ(failure, frame + ": " + std::strerror(EIO) + "\nThe old message file " + message +
                           " could not be put back: it is kept as " + kept + ".");
  }
}

// A save onto a loop of links replaces no link: it is refused with the
// system's reason, and neither file changes.
TEST_F(MessageSave, ASaveOntoALoopOfLinksIsRefused) {
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, const char*>> links;  // name, target
    const char* refused;                                     // whose name the failure gives
  } cases[] = {
      {"frame file in a loop of two", {{"DOC.SML", "LOOP.SML"}, {"LOOP.SML", "DOC.SML"}}, "DOC.SML"},
      {"frame file linked to itself", {{"DOC.SML", "DOC.SML"}}, "DOC.SML"},
      {"message file in a loop of two", {{"DOC.MSG", "LOOP.MSG"}, {"LOOP.MSG", "DOC.MSG"}}, "DOC.MSG"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& name : Entries()) fs::remove(Path(name));
    Put("DOC.SML", kOldFrames);
    Put("DOC.MSG", kOldMessage);
    for (const auto& [name, target] : c.links) {
      fs::remove(Path(name));
      fs::create_symlink(target, Path(name));
    }
    EXPECT_EQ(Save("DOC.SML"), Path(c.refused) + ": Too many levels of symbolic links");
    for (const auto& [name, target] : c.links) {
      EXPECT_TRUE(fs::is_symlink(Path(name))) << name << " was replaced";
    }
    if (!fs::is_symlink(Path("DOC.SML"))) {
      EXPECT_EQ(Read("DOC.SML"), kOldFrames);
    }
    if (!fs::is_symlink(Path("DOC.MSG"))) {
      EXPECT_EQ(Read("DOC.MSG"), kOldMessage);
    }
    EXPECT_EQ(Entries().size(), c.links.size() == 1 ? 2u : 3u) << "no temporary left";
  }
}

// A frame file that is its own message file (B.SML a link to B.MSG, however
// spelt, or one file under both names) would lose the message file: refused
// before anything is written.
TEST_F(MessageSave, AFrameFileThatIsItsOwnMessageFileIsRefused) {
  const std::string folderName = fs::path(dir_.path()).filename().string();
  struct Case {
    const char* what;
    std::string target;  // of the link B.SML; empty: a hard link
    bool messageExists;
  } cases[] = {
      {"a link to B.MSG", "B.MSG", true},
      {"a link to a B.MSG not made yet", "B.MSG", false},
      {"a link spelt ./B.MSG", "./B.MSG", true},
      {"a link through the folder's own name", "../" + folderName + "/B.MSG", true},
      {"a hard link", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& name : Entries()) fs::remove(Path(name));
    if (c.messageExists) Put("B.MSG", kOldMessage);
    if (c.target.empty()) {
      fs::create_hard_link(Path("B.MSG"), Path("B.SML"));
    } else {
      fs::create_symlink(c.target, Path("B.SML"));
    }
    EXPECT_EQ(Save("B.SML"), Path("B.SML") + ": names the same file as " + Path("B.MSG") +
                                 "; the frame file and its message file must be two files");
    if (c.messageExists) {
      EXPECT_EQ(Read("B.MSG"), kOldMessage);
    } else {
      EXPECT_FALSE(fs::exists(Path("B.MSG")));
    }
    EXPECT_EQ(Entries().size(), c.messageExists ? 2u : 1u) << "no temporary left";
  }
}

// A name as long as the folder allows saves, new and over an old one.
TEST_F(MessageSave, ANameOfUpTo255BytesSaves) {
  for (std::size_t length = 249; length <= 255; ++length) {
    SCOPED_TRACE(length);
    for (const std::string& name : Entries()) fs::remove(Path(name));
    const std::string name = std::string(length - 4, 'W') + ".SML";
    const std::string messageName = std::string(length - 4, 'W') + ".MSG";
    for (int pass = 0; pass < 2; ++pass) {
      EXPECT_EQ(Save(name), "");
      EXPECT_EQ(Read(name), EncodeFrameFile(model_));
      EXPECT_EQ(Read(messageName), ExpectedMessage(name));
      EXPECT_EQ(Entries().size(), 2u) << "no temporary left";
    }
  }
}

}  // namespace
