// The backup of an earlier output file: moved aside before a download, never
// over a backup an earlier run left, nothing kept for a missing file, a folder
// or a device; and put back when the download fails. Each case starts from a
// small fixture in a fresh directory.
#include "frontend/OutputBackup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "support/TempDir.h"

namespace {

bool IsDir(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST(OutputBackup, MovesAnExistingFileAside) {
  TempDir dir;
  std::string out = dir.File("page.html");
  TempDir::WriteFile(out, "earlier");
  EXPECT_EQ(0, HasLeftBackup(out));
  std::string backup;
  ASSERT_EQ(1, MakeOutputBackup(out, backup));
  EXPECT_EQ(out + "_zelvor.bk", backup);
  EXPECT_FALSE(TempDir::Exists(out));
  EXPECT_EQ("earlier", TempDir::ReadFile(backup));
  EXPECT_EQ(1, HasLeftBackup(out));
}

// A backup left by a killed run may be the only copy of the user's file.
TEST(OutputBackup, NeverReplacesALeftBackup) {
  TempDir dir;
  std::string out = dir.File("page.html");
  TempDir::WriteFile(out, "newer");
  TempDir::WriteFile(out + "_zelvor.bk", "only copy");
  EXPECT_EQ(1, HasLeftBackup(out));
  std::string backup;
  EXPECT_EQ(0, MakeOutputBackup(out, backup));
  EXPECT_TRUE(backup.empty());
  EXPECT_EQ("newer", TempDir::ReadFile(out));
  EXPECT_EQ("only copy", TempDir::ReadFile(out + "_zelvor.bk"));
}

TEST(OutputBackup, NothingToKeep) {
  TempDir dir;
  mkdir(dir.File("sub").c_str(), 0755);
  const std::string paths[] = {dir.File("missing.html"), dir.File("sub"), "/dev/null"};
  for (const std::string& path : paths) {
    std::string backup = "x";
    EXPECT_EQ(1, MakeOutputBackup(path, backup)) << path;
    EXPECT_TRUE(backup.empty()) << path;
  }
  EXPECT_TRUE(IsDir(dir.File("sub")));
  EXPECT_FALSE(TempDir::Exists(dir.File("sub_zelvor.bk")));
  EXPECT_FALSE(TempDir::Exists("/dev/null_zelvor.bk"));
}

TEST(OutputBackup, FailsWithoutTouchingTheFileWhenTheBackupNameIsTaken) {
  TempDir dir;
  std::string out = dir.File("page.html");
  TempDir::WriteFile(out, "earlier");
  ASSERT_EQ(0, mkdir((out + "_zelvor.bk").c_str(), 0755));
  std::string backup;
  EXPECT_EQ(0, MakeOutputBackup(out, backup));
  EXPECT_TRUE(backup.empty());
  EXPECT_EQ("earlier", TempDir::ReadFile(out));
  EXPECT_TRUE(IsDir(out + "_zelvor.bk"));
}

TEST(OutputRestore, PutsTheBackupBackAndDropsTheNewFile) {
  TempDir dir;
  std::string out = dir.File("page.html");
  TempDir::WriteFile(out, "partial");
  TempDir::WriteFile(out + "_zelvor.bk", "earlier");
  RestoreOutputBackup(out, out + "_zelvor.bk");
  EXPECT_EQ("earlier", TempDir::ReadFile(out));
  EXPECT_FALSE(TempDir::Exists(out + "_zelvor.bk"));

  RestoreOutputBackup(out, "");
  EXPECT_FALSE(TempDir::Exists(out));
}

TEST(OutputRestore, LeavesADeviceAlone) {
  RestoreOutputBackup("/dev/null", "");
  struct stat st;
  ASSERT_EQ(0, stat("/dev/null", &st));
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

}  // namespace
