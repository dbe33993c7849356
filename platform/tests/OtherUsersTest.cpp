// Two users of one machine: the folders the programs keep their files in and
// the links they follow themselves must give another user no way to make
// them write this user's files. Root plays both users: it lays out the other
// user's folders and links, then a child gives its rights up and runs the
// real code as the first user.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/BinaryFile.h"
#include "platform/Directories.h"
#include "platform/InOutError.h"
#include "platform/PathWalk.h"
#include "testsupport/AsPlainUser.h"
#include "testsupport/ScopedEnv.h"
#include "testsupport/TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kUser = 60001;   // who runs the programs
constexpr unsigned kOther = 65534;  // another user of the machine

using testsupport::ScopedEnv;

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every "@" of `text` replaced by `root`.
std::string At(const std::string& root, std::string text) {
  for (std::size_t at = 0; (at = text.find('@', at)) != std::string::npos; at += root.size()) {
    text.replace(at, 1, root);
  }
  return text;
}

// One entry of a layout, under the case's own folder ("@").
struct Entry {
  const char* name;
  unsigned owner;
  mode_t mode;                  // a folder's, or a file's
  const char* link = nullptr;   // a link's target instead ("@" for the case's folder)
  unsigned group = ~0u;         // the owner's own group unless given
};

class TwoUsers : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "two users are played by root, which gives its rights up in a child";
    ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);  // the first user may reach what lies below
  }

  // A fresh folder of root's for one case, with `entries` made in their order.
  std::string Lay(const std::vector<Entry>& entries) {
    const std::string root = dir_.File("case" + std::to_string(++cases_));
    EXPECT_EQ(::mkdir(root.c_str(), 0755), 0);
    for (const Entry& e : entries) {
      const std::string path = root + "/" + e.name;
      const unsigned group = e.group == ~0u ? e.owner : e.group;
      if (e.link != nullptr) {
        EXPECT_EQ(::symlink(At(root, e.link).c_str(), path.c_str()), 0) << path;
        EXPECT_EQ(::lchown(path.c_str(), e.owner, group), 0) << path;
      } else if ((e.mode & S_IFMT) == S_IFREG) {
        std::ofstream(path) << "this user's own";
        EXPECT_EQ(::chown(path.c_str(), e.owner, group), 0) << path;
        EXPECT_EQ(::chmod(path.c_str(), e.mode & 07777), 0) << path;
      } else {
        EXPECT_EQ(::mkdir(path.c_str(), 0700), 0) << path;
        EXPECT_EQ(::chown(path.c_str(), e.owner, group), 0) << path;
        EXPECT_EQ(::chmod(path.c_str(), e.mode), 0) << path;
      }
    }
    return root;
  }

  testsupport::TempDir dir_;
  int cases_ = 0;
  ScopedEnv override_{"LEDSIGN_PROGRAM_DIR", std::nullopt};
  ScopedEnv system_{"LEDSIGN_SYSTEM_DIR", std::nullopt};
  ScopedEnv xdg_{"XDG_DATA_HOME", std::nullopt};
};

constexpr mode_t kFile = S_IFREG | 0644;

// The rule itself: every step this user's or root's, no folder another user
// may write, a sticky one only above a step of this user's or root's.
TEST_F(TwoUsers, AWayIsTakenOnlyWhenNoOtherUserCanChangeIt) {
  struct Case {
    const char* what;
    std::vector<Entry> layout;
    const char* walked;
    const char* problem;  // "" when the way is taken
  } cases[] = {
      {"this user's folder", {{"own", kUser, 0755}}, "@/own", ""},
      {"root's folder", {{"roots", 0, 0755}}, "@/roots", ""},
      {"another user's folder", {{"theirs", kOther, 0755}}, "@/theirs", "@/theirs belongs to another user"},
      {"below a folder all may write",
       {{"open", 0, 0777}, {"open/own", kUser, 0755}},
       "@/open/own",
       "@/open may be written by other users"},
      {"below a folder its group may write",
       {{"group", 0, 0775}, {"group/own", kUser, 0755}},
       "@/group/own",
       "@/group may be written by other users"},
      {"this user's own folder that its group may write", {{"own", kUser, 0770}}, "@/own", "@/own may be written by other users"},
      {"this user's folder below a sticky one", {{"tmp", 0, 01777}, {"tmp/own", kUser, 0700}}, "@/tmp/own", ""},
      {"another user's folder below a sticky one",
       {{"tmp", 0, 01777}, {"tmp/theirs", kOther, 0755}},
       "@/tmp/theirs",
       "@/tmp/theirs belongs to another user"},
      {"a sticky folder as the last step", {{"tmp", 0, 01777}}, "@/tmp", "@/tmp may be written by other users"},
      {"this user's link to this user's folder",
       {{"tmp", 0, 01777}, {"own", kUser, 0700}, {"tmp/ledsigns", kUser, 0, "@/own"}},
       "@/tmp/ledsigns",
       ""},
      {"another user's link to this user's folder",
       {{"tmp", 0, 01777}, {"own", kUser, 0700}, {"tmp/ledsigns", kOther, 0, "@/own"}},
       "@/tmp/ledsigns",
       "@/tmp/ledsigns belongs to another user"},
      {"this user's link into a folder all may write",
       {{"open", 0, 0777}, {"open/own", kUser, 0700}, {"ledsigns", kUser, 0, "open/own"}},
       "@/ledsigns",
       "@/open may be written by other users"},
      {"a step back up through a link",
       {{"own", kUser, 0755}, {"own/sub", kUser, 0755}, {"up", kUser, 0, "own/sub/.."}},
       "@/up/sub",
       ""},
      {"a step that is not there", {}, "@/none", "@/none cannot be used (No such file or directory)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string root = Lay(c.layout);
    const std::string path = At(root, c.walked);
    EXPECT_EQ(testsupport::AskAsUser(kUser, [&] { return platform::WalkPath(path, platform::StepRule::kOwnStepsOnly).Problem(); }),
              At(root, c.problem));
  }
}

// The executable's folder holds the files only where no other user can
// change it; otherwise the per-user folder does, and the start says why when
// the executable's folder could have been written.
TEST_F(TwoUsers, TheExecutablesFolderIsUsedOnlyWhenNoOtherUserCanChangeIt) {
  struct Case {
    const char* what;
    std::vector<Entry> layout;
    const char* install;
    bool used;
    const char* warning;
  } cases[] = {
      {"this user's own", {{"install", kUser, 0755}}, "@/install", true, ""},
      {"this user's own, below a sticky folder", {{"tmp", 0, 01777}, {"tmp/install", kUser, 0755}}, "@/tmp/install", true, ""},
      {"root's, closed to this user", {{"install", 0, 0755}}, "@/install", false, ""},
      {"open to all",
       {{"install", kUser, 0777}},
       "@/install",
       false,
       "The program's folder @/install is not used: @/install may be written by other users."},
      {"below a folder open to all",
       {{"open", 0, 0777}, {"open/install", kUser, 0755}},
       "@/open/install",
       false,
       "The program's folder @/open/install is not used: @/open may be written by other users."},
      {"a sticky folder itself",
       {{"tmp", 0, 01777}},
       "@/tmp",
       false,
       "The program's folder @/tmp is not used: @/tmp may be written by other users."},
      {"another user's that this user's group may write",
       {{"install", kOther, 0775, nullptr, kUser}},
       "@/install",
       false,
       "The program's folder @/install is not used: @/install belongs to another user."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string root = Lay(c.layout);
    const std::string home = Lay({{"home", kUser, 0755}}) + "/home";
    const std::string install = At(root, c.install);
    const ScopedEnv homeEnv("HOME", home);
    const std::string answer = testsupport::AskAsUser(kUser, [&] {
      platform::ScopedExecutableDirectory exe(install, ::access(install.c_str(), W_OK) == 0);
      return platform::ProgramDirectory() + "|" + platform::ProgramDirectoryWarning();
    });
    EXPECT_EQ(answer, (c.used ? install : home + "/.local/share/ledsigns") + "|" + At(root, c.warning));
  }
}

// The attack: in an executable's folder open to all, another user linked the
// controller's command file to this user's ~/.bashrc and left a dangling
// settings file link to a file of their choice. Neither is written through.
TEST_F(TwoUsers, AnotherUsersLinksInAnOpenExecutablesFolderAreNeverWrittenThrough) {
  const std::string root = Lay({
      {"home", kUser, 0755},
      {"home/.bashrc", kUser, kFile},
      {"theirs", kOther, 0777},
      {"install", kUser, 0777},
      {"install/Marvanex.MSG", kOther, 0, "@/home/.bashrc"},
      {"install/SML_WIN.INI", kOther, 0, "@/theirs/chosen"},
  });
  const ScopedEnv homeEnv("HOME", root + "/home");
  const std::string answer = testsupport::AskAsUser(kUser, [&] {
    platform::ScopedExecutableDirectory exe(root + "/install", true);
    for (const char* name : {"/Marvanex.MSG", "/SML_WIN.INI"}) {
      platform::AtomicFileWriter file(platform::SystemDirectory() + name);
      file.Write("{CA}");
      file.Commit();
    }
    return platform::ProgramDirectory();
  });
  EXPECT_EQ(answer, root + "/home/.local/share/ledsigns");
  EXPECT_EQ(Slurp(root + "/home/.bashrc"), "this user's own");
  EXPECT_FALSE(fs::exists(root + "/theirs/chosen"));
  EXPECT_EQ(Slurp(root + "/home/.local/share/ledsigns/Marvanex.MSG"), "{CA}");
}

// Where neither folder may be used, the programs keep nothing anywhere, and
// the start gives both reasons.
TEST_F(TwoUsers, WhereNeitherFolderIsSoundNothingIsKept) {
  const std::string root = Lay({{"home", kUser, 0777}, {"install", kUser, 0777}});
  const ScopedEnv homeEnv("HOME", root + "/home");
  const std::string answer = testsupport::AskAsUser(kUser, [&]() -> std::string {
    platform::ScopedExecutableDirectory exe(root + "/install", true);
    try {
      platform::AtomicFileWriter file(platform::ProgramDirectory() + "/SML_WIN.INI");
      file.Commit();
      return "written";
    } catch (const platform::InOutError& e) {
      if (e.error() != ENOTDIR) return e.what();
    }
    return platform::ProgramDirectory() + "|" + platform::ProgramDirectoryWarning();
  });
  EXPECT_EQ(answer, At(root,
                       "/dev/null/ledsigns|The program's folder @/install is not used: @/install may be written by other "
                       "users. The program's files cannot be kept: @/home may be written by other users."));
  EXPECT_FALSE(fs::exists(root + "/install/SML_WIN.INI"));
}

// The per-user folder is judged as a link and along its way, by the same rule.
TEST_F(TwoUsers, ThePerUserFolderIsRefusedWhereAnotherUserCanChangeIt) {
  struct Case {
    const char* what;
    std::vector<Entry> layout;
    const char* dataHome;
    const char* problem;
  } cases[] = {
      {"another user's link in a sticky folder",
       {{"shared", 0, 01777}, {"mine", kUser, 0700}, {"shared/ledsigns", kOther, 0, "@/mine"}},
       "@/shared",
       "@/shared/ledsigns belongs to another user"},
      {"this user's link in a sticky folder",
       {{"shared", 0, 01777}, {"mine", kUser, 0700}, {"shared/ledsigns", kUser, 0, "@/mine"}},
       "@/shared",
       ""},
      {"this user's folder in a sticky folder", {{"shared", 0, 01777}, {"shared/ledsigns", kUser, 0700}}, "@/shared", ""},
      {"made in a parent open to all", {{"open", 0, 0777}}, "@/open", "@/open may be written by other users"},
      {"made in another user's folder", {{"theirs", kOther, 0777}}, "@/theirs", "@/theirs belongs to another user"},
      {"a link to a folder in a parent open to all",
       {{"open", 0, 0777}, {"open/mine", kUser, 0700}, {"data", kUser, 0755}, {"data/ledsigns", kUser, 0, "@/open/mine"}},
       "@/data",
       "@/open may be written by other users"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string root = Lay(c.layout);
    const ScopedEnv data("XDG_DATA_HOME", At(root, c.dataHome));
    const std::string answer = testsupport::AskAsUser(kUser, [] {
      const platform::PerUserFolder found = platform::FindPerUserDirectory();
      return found.path + "|" + found.problem;
    });
    EXPECT_EQ(answer, At(root, c.dataHome) + "/ledsigns|" + At(root, c.problem));
  }
}

// The previous release made this user's folders under a umask of 002: they
// are made closed to others and used. Another user's folder is refused and
// left as it is, as is a folder of this user's in which another user already
// left a link.
TEST_F(TwoUsers, ThisUsersOwnFolderOthersMayWriteIsClosedAndUsed) {
  struct Case {
    const char* what;
    std::vector<Entry> layout;
    const char* problem;
    mode_t ledsigns, share, local;  // the modes after
  } cases[] = {
      {"this user's, made under umask 002",
       {{"home", kUser, 0755},
        {"home/.local", kUser, 0775},
        {"home/.local/share", kUser, 0775},
        {"home/.local/share/ledsigns", kUser, 0775}},
       "",
       0700,
       0755,
       0755},
      {"this user's, open to all",
       {{"home", kUser, 0755},
        {"home/.local", kUser, 0700},
        {"home/.local/share", kUser, 0700},
        {"home/.local/share/ledsigns", kUser, 0777}},
       "",
       0700,
       0700,
       0700},
      {"another user's",
       {{"home", kUser, 0755},
        {"home/.local", kUser, 0700},
        {"home/.local/share", kUser, 0700},
        {"home/.local/share/ledsigns", kOther, 0775}},
       "@/home/.local/share/ledsigns belongs to another user",
       0775,
       0700,
       0700},
      {"this user's, holding another user's link",
       {{"home", kUser, 0755},
        {"home/.profile", kUser, kFile},
        {"home/.local", kUser, 0700},
        {"home/.local/share", kUser, 0700},
        {"home/.local/share/ledsigns", kUser, 0777},
        {"home/.local/share/ledsigns/WAKEUP.MSG", kOther, 0, "@/home/.profile"}},
       "@/home/.local/share/ledsigns may be written by other users",
       0777,
       0700,
       0700},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string root = Lay(c.layout);
    const ScopedEnv home("HOME", root + "/home");
    const std::string answer = testsupport::AskAsUser(kUser, [] { return platform::FindPerUserDirectory().problem; });
    EXPECT_EQ(answer, At(root, c.problem));
    EXPECT_EQ(ModeOf(root + "/home/.local/share/ledsigns"), c.ledsigns);
    EXPECT_EQ(ModeOf(root + "/home/.local/share"), c.share);
    EXPECT_EQ(ModeOf(root + "/home/.local"), c.local);
    EXPECT_EQ(ModeOf(root + "/home"), 0755u) << "the home is left as it is";
  }
}

// A file written in a sticky folder that others may write (a working
// directory of /tmp) is not written through another user's link there, as
// the system would not open it; links the system follows still are.
TEST_F(TwoUsers, ALinkOfAnotherUserInASharedStickyFolderIsNotWrittenThrough) {
  struct Case {
    const char* what;
    std::vector<Entry> layout;
    const char* error;  // "" when written through
  } cases[] = {
      {"another user's link",
       {{"tmp", 0, 01777}, {"tmp/WAKEUP.MSG", kOther, 0, "@/mine/.profile"}},
       "WAKEUP.MSG: is a link of another user in a folder all users may write"},
      {"this user's link", {{"tmp", 0, 01777}, {"tmp/WAKEUP.MSG", kUser, 0, "@/mine/.profile"}}, ""},
      {"the folder's owner's link", {{"tmp", 0, 01777}, {"tmp/WAKEUP.MSG", 0, 0, "@/mine/.profile"}}, ""},
      {"the link of the user who owns the folder",
       {{"tmp", kOther, 01777}, {"tmp/WAKEUP.MSG", kOther, 0, "@/mine/.profile"}},
       ""},
      {"another user's link to a link of this user's",
       {{"tmp", 0, 01777}, {"tmp/A.MSG", kUser, 0, "@/mine/.profile"}, {"tmp/WAKEUP.MSG", kOther, 0, "A.MSG"}},
       "WAKEUP.MSG: is a link of another user in a folder all users may write"},
      {"this user's link to another user's link",
       {{"tmp", 0, 01777}, {"tmp/B.MSG", kOther, 0, "@/mine/.profile"}, {"tmp/WAKEUP.MSG", kUser, 0, "B.MSG"}},
       "WAKEUP.MSG: is a link of another user in a folder all users may write (@/tmp/B.MSG)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Entry> layout = {{"mine", kUser, 0755}, {"mine/.profile", kUser, kFile}};
    layout.insert(layout.end(), c.layout.begin(), c.layout.end());
    const std::string root = Lay(layout);
    const std::string answer = testsupport::AskAsUser(kUser, [&]() -> std::string {
      if (::chdir((root + "/tmp").c_str()) != 0) return "(no working directory)";
      try {
        platform::AtomicFileWriter file("WAKEUP.MSG");
        file.Write("{CA}");
        file.Commit();
      } catch (const platform::InOutError& e) {
        return e.what();
      }
      return "";
    });
    EXPECT_EQ(answer, At(root, c.error));
    EXPECT_EQ(Slurp(root + "/mine/.profile"), *c.error ? "this user's own" : "{CA}");
  }
}

}  // namespace
