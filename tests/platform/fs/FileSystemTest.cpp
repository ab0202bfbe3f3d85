#include "platform/fs/FileSystem.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FileSystemTest : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/hm_fs_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root = tmpl;
    mkdir((root + "/Data").c_str(), 0755);
    mkdir((root + "/Data/Scripts").c_str(), 0755);
    Write(root + "/Data/Scripts/Zombie.LUA", "a\r\nb\nc");
  }
  void TearDown() override { std::system(("rm -rf " + root).c_str()); }
  static void Write(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  std::string root;
};

TEST_F(FileSystemTest, ResolvesAnyLetterCaseAndBackslashes) {
  EXPECT_EQ(plat::fs::Resolve(root + "\\data\\scripts\\zombie.lua"),
            root + "/Data/Scripts/Zombie.LUA");
  EXPECT_TRUE(plat::fs::Exists(root + "/DATA/scripts/ZOMBIE.lua"));
  EXPECT_FALSE(plat::fs::Exists(root + "/Data/scripts/missing.lua"));
}

TEST_F(FileSystemTest, TwoFoldersThatDifferOnlyInCaseAreBothSearched) {
  mkdir((root + "/Data/scripts").c_str(), 0755);
  Write(root + "/Data/scripts/walker.lua", "x");
  // "Scripts" exists exactly but holds no walker.lua: the other spelling does.
  EXPECT_EQ(plat::fs::Resolve(root + "/Data/Scripts/walker.lua"), root + "/Data/scripts/walker.lua");
  EXPECT_EQ(plat::fs::Resolve(root + "/data/SCRIPTS/zombie.lua"), root + "/Data/Scripts/Zombie.LUA");
  EXPECT_FALSE(plat::fs::Exists(root + "/Data/Scripts/nothing.lua"));
}

TEST_F(FileSystemTest, ReadsLinesWithoutBreaks) {
  std::vector<std::string> lines;
  ASSERT_TRUE(plat::fs::ReadLines(root + "/data/scripts/zombie.lua", lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(FileSystemTest, MissingFilesAreEmptyResults) {
  std::vector<char> bytes{'x'};
  std::vector<std::string> lines{"x"};
  EXPECT_FALSE(plat::fs::ReadFile(root + "/nothing", bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(plat::fs::ReadLines(root + "/nothing/deeper", lines));
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(plat::fs::Open(root + "/nothing", "rb"), nullptr);
  plat::fs::FileSource source(root + "/nothing");
  char c;
  EXPECT_FALSE(source.IsOpen());
  EXPECT_EQ(source.Read(&c, 1), 0u);
}

// A texture entry naming a folder once made a loader allocate what ftell said of it
// (2^63 - 1); a device or a FIFO never ends or blocks the read.
TEST_F(FileSystemTest, OnlyRegularFilesOfASaneSizeAreRead) {
  using plat::fs::FileStatus;
  ASSERT_EQ(mkfifo((root + "/pipe").c_str(), 0644), 0);
  // Sparse: past the limit without taking the disk space.
  Write(root + "/huge", "");
  ASSERT_EQ(truncate((root + "/huge").c_str(),
                     static_cast<off_t>(plat::fs::kMaxDataFileSize + 1)), 0);
  Write(root + "/empty", "");
  struct SCase {
    std::string path;
    FileStatus status;
    size_t size;
  };
  const SCase cases[] = {
      {root + "/Data/Scripts", FileStatus::kNotRegular, 0},
      {root + "/pipe", FileStatus::kNotRegular, 0},
      {"/dev/zero", FileStatus::kNotRegular, 0},
      {root + "/huge", FileStatus::kTooLarge, 0},
      {root + "/nothing", FileStatus::kMissing, 0},
      {root + "/empty", FileStatus::kOk, 0},
      {root + "/data/scripts/zombie.lua", FileStatus::kOk, 6},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.path);
    std::vector<char> bytes{'x'};
    FileStatus status = FileStatus::kUnreadable;
    EXPECT_EQ(plat::fs::ReadFile(c.path, bytes, &status), c.status == FileStatus::kOk);
    EXPECT_EQ(status, c.status) << plat::fs::Describe(status);
    EXPECT_EQ(bytes.size(), c.size);
    plat::fs::FileSource source(c.path);
    EXPECT_EQ(source.IsOpen(), c.status == FileStatus::kOk);
    EXPECT_EQ(source.Status(), c.status);
    EXPECT_EQ(source.Size(), c.size);
  }
}

TEST_F(FileSystemTest, RelativePathsResolveFromTheWorkingDirectory) {
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(root.c_str()), 0);
  std::vector<char> bytes;
  EXPECT_TRUE(plat::fs::ReadFile("data\\SCRIPTS\\zombie.lua", bytes));
  EXPECT_EQ(bytes.size(), 6u);
  ASSERT_EQ(chdir(old), 0);
}

}  // namespace
