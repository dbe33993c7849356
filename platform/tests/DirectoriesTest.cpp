// The per-user folder the programs keep their files in when their own folder
// may not be written: never one that another user may change.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/Directories.h"
#include "testsupport/AsPlainUser.h"
#include "testsupport/ScopedEnv.h"
#include "testsupport/TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kNobody = 65534;
constexpr unsigned kUserWithoutEntry = 43210;  // in no password database

using testsupport::ScopedEnv;

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

class PerUserDirectory : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::mkdir(home_.c_str(), 0755), 0); }

  testsupport::TempDir dir_;
  const std::string home_ = dir_.File("home");
  const std::string perUser_ = home_ + "/.local/share/ledsigns";
  ScopedEnv xdg_{"XDG_DATA_HOME", std::nullopt};
  ScopedEnv homeEnv_{"HOME", home_};
  ScopedEnv override_{"LEDSIGN_PROGRAM_DIR", std::nullopt};
  ScopedEnv system_{"LEDSIGN_SYSTEM_DIR", std::nullopt};
};

// Made owner-only, with the folders above it that were missing, as a user's
// own data folders are; found again as it is the next time.
TEST_F(PerUserDirectory, IsMadeForItsOwnerOnlyWithItsMissingParents) {
  for (int time = 0; time < 2; ++time) {
    const platform::PerUserFolder found = platform::FindPerUserDirectory();
    EXPECT_EQ(found.path, perUser_);
    EXPECT_EQ(found.problem, "");
  }
  for (const std::string& folder : {home_ + "/.local", home_ + "/.local/share", perUser_}) {
    EXPECT_EQ(ModeOf(folder), 0700u) << folder;
  }
  EXPECT_EQ(ModeOf(home_), 0755u) << "a folder that was there is left as it was";
}

// A folder of another user is refused, with the reason; this user's own is
// closed to others and used.
TEST_F(PerUserDirectory, RefusesAFolderOfAnotherUserAndClosesItsOwn) {
  struct Case {
    const char* what;
    mode_t mode;
    unsigned owner;
    const char* problem;
    mode_t after;
  } cases[] = {
      {"another user's", 0700, kNobody, " belongs to another user", 0700},
      {"another user's, open to all", 0777, kNobody, " belongs to another user", 0777},
      {"the owner's own, writable by everyone", 0777, 0, "", 0700},
      {"the owner's own, writable by its group", 0770, 0, "", 0700},
      {"the owner's own", 0755, 0, "", 0755},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(perUser_);
    fs::create_directories(perUser_);
    ASSERT_EQ(::chown(perUser_.c_str(), c.owner, c.owner), 0);
    ASSERT_EQ(::chmod(perUser_.c_str(), c.mode), 0);
    const platform::PerUserFolder found = platform::FindPerUserDirectory();
    EXPECT_EQ(found.path, perUser_);
    EXPECT_EQ(found.problem, *c.problem ? perUser_ + c.problem : "");
    EXPECT_EQ(ModeOf(perUser_), c.after);
  }
  fs::remove_all(perUser_);
  fs::create_directories(home_ + "/.local/share");
  dir_.Write("home/.local/share/ledsigns", {1});
  EXPECT_EQ(platform::FindPerUserDirectory().problem, perUser_ + " is not a folder");
}

// XDG_DATA_HOME holds the folder when it is an absolute path, and is ignored
// when it is not.
TEST_F(PerUserDirectory, TakesOnlyAbsolutePathsFromTheEnvironment) {
  {
    ScopedEnv xdg("XDG_DATA_HOME", dir_.File("data"));
    EXPECT_EQ(platform::FindPerUserDirectory().path, dir_.File("data") + "/ledsigns");
    EXPECT_EQ(ModeOf(dir_.File("data")), 0700u);
  }
  {
    ScopedEnv xdg("XDG_DATA_HOME", "data");
    EXPECT_EQ(platform::FindPerUserDirectory().path, perUser_);
  }
}

// A relative HOME is ignored as a relative XDG_DATA_HOME is: the home comes
// from the password database, not from a folder that moves with the current
// directory. Run as a user whose home cannot be made, in a folder where the
// relative one could.
TEST_F(PerUserDirectory, ARelativeHomeIsIgnored) {
  if (::geteuid() != 0) GTEST_SKIP() << "the user is played by root, which gives its rights up in a child";
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
  const passwd* entry = ::getpwuid(kNobody);
  ASSERT_NE(entry, nullptr);
  const std::string expected = std::string(entry->pw_dir) + "/.local/share/ledsigns";
  const std::string work = dir_.File("work");
  ASSERT_EQ(::mkdir(work.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(work.c_str(), 0777), 0);
  for (const char* relative : {"home", "./home", "home/"}) {
    SCOPED_TRACE(relative);
    ScopedEnv home("HOME", relative);
    const std::string found = testsupport::AskAsUser(kNobody, [&] {
      if (::chdir(work.c_str()) != 0) return std::string("(no working directory)");
      return platform::FindPerUserDirectory().path;
    });
    EXPECT_EQ(found, expected);
    EXPECT_FALSE(fs::exists(work + "/home")) << "made below the working directory";
    fs::remove_all(work + "/home");
  }
}

// Without HOME the home comes from the password database, never from a
// folder any user may make first; with no home at all the reason is given.
// Run as users whose homes cannot be written, so nothing is made.
TEST_F(PerUserDirectory, WithoutHomeTakesTheHomeOfThePasswordDatabase) {
  const bool tmpHadOne = fs::exists("/tmp/.local");
  ScopedEnv noHome("HOME", std::nullopt);
  const passwd* entry = ::getpwuid(kNobody);
  ASSERT_NE(entry, nullptr);
  const std::string expected = std::string(entry->pw_dir) + "/.local/share/ledsigns";
  const int nobody = testsupport::RunAsUser(kNobody, dir_.path(), [&] {
    const platform::PerUserFolder found = platform::FindPerUserDirectory();
    if (found.path != expected) return 1;
    if (found.problem.rfind(expected + " cannot be made (", 0) != 0) return 2;
    return 0;
  });
  EXPECT_EQ(nobody, 0) << "1: another folder, 2: another reason";
  const int stranger = testsupport::RunAsUser(kUserWithoutEntry, dir_.path(), [] {
    const platform::PerUserFolder found = platform::FindPerUserDirectory();
    if (!found.path.empty()) return 1;
    if (found.problem != "HOME is not set and the password database has no home folder for user 43210") return 2;
    return 0;
  });
  EXPECT_EQ(stranger, 0) << "1: a folder all the same, 2: another reason";
  if (!tmpHadOne) {
    EXPECT_FALSE(fs::exists("/tmp/.local")) << "made in the shared temporary folder";
    std::error_code ignored;
    fs::remove_all("/tmp/.local", ignored);
  }
}

// A user the program's own folder is closed to gets the per-user folder as
// the program directory, or, when that is refused, a warning and a folder
// nothing can be written to.
TEST_F(PerUserDirectory, TheProgramDirectoryIsThePerUserOneOrAWarning) {
  if (::geteuid() != 0) GTEST_SKIP() << "the user is played by root, which gives its rights up in a child";
  // The way to the home is closed to other users, as a home's is.
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
  ASSERT_EQ(::chown(home_.c_str(), kNobody, kNobody), 0);
  const std::string exe = fs::read_symlink("/proc/self/exe").parent_path().string();
  const std::string perUser = perUser_;
  const int sound = testsupport::RunAsUser(kNobody, "", [&] {
    if (::access(exe.c_str(), W_OK) == 0) return 9;
    if (platform::ProgramDirectory() != perUser) return 1;
    if (platform::SystemDirectory() != perUser) return 2;
    if (platform::ProgramDirectoryWarning() != "") return 3;
    return 0;
  });
  EXPECT_EQ(sound, 0) << "1, 2: another folder, 3: a warning, 9: the program's folder may be written";

  // A home other users may write: any folder below it may be swapped.
  ASSERT_EQ(::chmod(home_.c_str(), 0777), 0);
  const std::string home = home_;
  const int refused = testsupport::RunAsUser(kNobody, "", [&] {
    if (platform::ProgramDirectory() != exe) return 1;
    if (platform::ProgramDirectoryWarning() !=
        "The program's files cannot be kept: " + home + " may be written by other users.") {
      return 2;
    }
    return 0;
  });
  EXPECT_EQ(refused, 0) << "1: another folder, 2: another warning";

  // LEDSIGN_PROGRAM_DIR is the user's own choice: taken as it is.
  ScopedEnv chosen("LEDSIGN_PROGRAM_DIR", dir_.path());
  EXPECT_EQ(platform::ProgramDirectory(), dir_.path());
  EXPECT_EQ(platform::ProgramDirectoryWarning(), "");
}

// The same as seen by the programs' tests, which run as root: the per-user
// folder stands in for an executable's folder closed to the user.
TEST_F(PerUserDirectory, AnExecutableFolderClosedToTheUserGivesThePerUserOne) {
  const std::string install = dir_.File("install");
  ASSERT_EQ(::mkdir(install.c_str(), 0755), 0);
  {
    platform::ScopedExecutableDirectory open(install, true);
    EXPECT_EQ(platform::ProgramDirectory(), install);
    EXPECT_FALSE(fs::exists(home_ + "/.local")) << "no per-user folder is made when none is needed";
  }
  platform::ScopedExecutableDirectory closed(install, false);
  EXPECT_EQ(platform::ProgramDirectory(), perUser_);
  EXPECT_EQ(platform::ProgramDirectoryWarning(), "");
  ASSERT_EQ(::chown(perUser_.c_str(), kNobody, kNobody), 0);
  EXPECT_EQ(platform::ProgramDirectory(), install);
  EXPECT_EQ(platform::SystemDirectory(), install);
  EXPECT_EQ(platform::ProgramDirectoryWarning(),
            "The program's files cannot be kept: " + perUser_ + " belongs to another user.");
}

}  // namespace
