// The files the main window's file list shows, read from the directory by
// the system's own calls: the mask ignoring case, regular files and links to
// them only, names that are not UTF-8 included, sorted as they are shown.
#include "controllerapp/SourceFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "testsupport/TempDir.h"

namespace fs = std::filesystem;

namespace {

TEST(SourceFiles, RegularFilesOfTheMaskAnyNameSortedAsShown) {
  testsupport::TempDir dir;
  for (const char* name : {"b.MSG", "A.msg", "caf\xE9.MSG", "Zo\xC3\xAB.MSG", "notes.txt", ".hidden.Msg"}) {
    std::ofstream(dir.File(name)) << "x";
  }
  fs::create_directory(dir.File("folder.MSG"));
  ASSERT_EQ(::mkfifo(dir.File("pipe.MSG").c_str(), 0644), 0);
  fs::create_symlink(dir.File("b.MSG"), dir.File("link.MSG"));
  fs::create_symlink(dir.File("gone"), dir.File("broken.MSG"));

  EXPECT_EQ(ctlapp::ListSourceFiles(dir.path(), "*.MSG"),
            (std::vector<std::string>{".hidden.Msg", "A.msg", "b.MSG", "caf\xE9.MSG", "link.MSG", "Zo\xC3\xAB.MSG"}));
  EXPECT_EQ(ctlapp::ListSourceFiles(dir.path() + "/", "*.msg").size(), 6u);
  EXPECT_EQ(ctlapp::ListSourceFiles(dir.path(), "*"),
            (std::vector<std::string>{".hidden.Msg", "A.msg", "b.MSG", "caf\xE9.MSG", "link.MSG", "notes.txt",
                                      "Zo\xC3\xAB.MSG"}));
  EXPECT_TRUE(ctlapp::ListSourceFiles(dir.File("no such folder"), "*").empty());
  EXPECT_TRUE(ctlapp::ListSourceFiles(dir.File("notes.txt"), "*").empty());
}

// Two names that show alike (the same letters from UTF-8 and from Latin-1)
// keep one order, so a refreshed list selects the same file again.
TEST(SourceFiles, NamesThatShowAlikeKeepOneOrder) {
  testsupport::TempDir dir;
  for (const char* name : {"caf\xC3\xA9.MSG", "caf\xE9.MSG", "CAF\xC3\x89.MSG"}) std::ofstream(dir.File(name)) << "x";
  const std::vector<std::string> listed = ctlapp::ListSourceFiles(dir.path(), "*.MSG");
  EXPECT_EQ(listed, (std::vector<std::string>{"CAF\xC3\x89.MSG", "caf\xC3\xA9.MSG", "caf\xE9.MSG"}));
  EXPECT_EQ(ctlapp::ListSourceFiles(dir.path(), "*.MSG"), listed);
}

// A folder's name keeps its trailing blank: "msgs " is another folder than
// "msgs", and its files are listed by their own test.
TEST(SourceFiles, AFolderWhoseNameEndsInABlankIsListedAsItself) {
  testsupport::TempDir dir;
  fs::create_directory(dir.File("msgs"));
  fs::create_directory(dir.File("msgs "));
  std::ofstream(dir.File("msgs/NEWS.MSG")) << "x";
  std::ofstream(dir.File("msgs /NEWS.MSG")) << "y";
  std::ofstream(dir.File("msgs /ONLYHERE.MSG")) << "z";
  fs::create_directory(dir.File("msgs/FOLDER.MSG"));
  std::ofstream(dir.File("msgs /FOLDER.MSG")) << "a file here";
  EXPECT_EQ(ctlapp::ListSourceFiles(dir.File("msgs "), "*.MSG"),
            (std::vector<std::string>{"FOLDER.MSG", "NEWS.MSG", "ONLYHERE.MSG"}));
  EXPECT_EQ(ctlapp::ListSourceFiles(dir.File("msgs"), "*.MSG"), std::vector<std::string>{"NEWS.MSG"});
}

}  // namespace
