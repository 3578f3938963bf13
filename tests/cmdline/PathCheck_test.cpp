#include "frontend/PathCheck.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/TempDir.h"

namespace {

TEST(IsValidFileNameTest, RefusesEachReservedCharacter) {
  EXPECT_EQ(1, IsValidFileName("report.pdf"));
  EXPECT_EQ(1, IsValidFileName(""));
  EXPECT_EQ(1, IsValidFileName("a b.tar.gz"));
  EXPECT_EQ(9u, strlen(g_ReservedFileChars));
  for (const char* c = g_ReservedFileChars; *c != '\0'; ++c) {
    std::string name = std::string("a") + *c + "b";
    EXPECT_EQ(0, IsValidFileName(name.c_str())) << name;
  }
}

TEST(CheckPathFileTest, TestsTheDirectoryPartOnDiskAndTheNameByItsCharacters) {
  TempDir dir;
  const std::string tmp = dir.Path();
  TempDir::WriteFile(dir.File("plain"), "x");
  struct Case {
    std::string path;
    int result;
    int hasDir;
  };
  const Case cases[] = {
      {"a.txt", 1, 0},  // a bare name is not looked up
      {"c:a.txt", 0, 0},
      {"", 1, 0},
      {tmp + "/a.txt", 1, 1},
      {tmp + "\\a.txt", 1, 1},
      {tmp + "/", 1, 1},  // empty name part
      {tmp + "/a?.txt", 0, 1},
      {tmp + "/a:b", 0, 1},
      {tmp + "/missing/a.txt", 0, 1},
      {tmp + "/plain/a.txt", 0, 1},  // the directory part is a file
      {"/a.txt", 0, 1},             // empty directory part
      {"\\a.txt", 0, 1},
  };
  for (const Case& c : cases) {
    int hasDir = 77;
    const std::string before = c.path;
    EXPECT_EQ(c.result, CheckPathFile(c.path, &hasDir)) << c.path;
    EXPECT_EQ(c.hasDir, hasDir) << c.path;
    EXPECT_EQ(before, c.path);
  }
}

// A bare name lands in the program's directory, a path with a directory part
// stays as the user wrote it (backslashes included), a failing path leaves
// the result alone.
TEST(ResolvePathFileTest, BareNamesGoToTheProgramDirectory) {
  TempDir dir;
  const std::string tmp = dir.Path();
  const struct {
    std::string path;
    int result;
    std::string resolved;
  } cases[] = {
      {"post.txt", 1, "/prog/post.txt"},
      {"", 1, "/prog/"},
      {tmp + "/post.txt", 1, tmp + "/post.txt"},
      {tmp + "\\post.txt", 1, tmp + "\\post.txt"},
      {"a:b", 0, "unset"},
      {tmp + "/missing/post.txt", 0, "unset"},
  };
  for (const auto& c : cases) {
    std::string resolved = "unset";
    EXPECT_EQ(c.result, ResolvePathFile(c.path, "/prog", &resolved)) << c.path;
    EXPECT_EQ(c.resolved, resolved) << c.path;
  }
}

TEST(ExistenceTest, TellsFilesFromDirectoriesAndMissingPaths) {
  TempDir dir;
  TempDir::WriteFile(dir.File("f.txt"), "");
  const std::string file = dir.File("f.txt");
  const std::string missing = dir.File("none");
  EXPECT_EQ(1, IsFileExist(file.c_str()));
  EXPECT_EQ(0, IsDirExist(file.c_str()));
  EXPECT_EQ(0, IsFileExist(dir.Path().c_str()));
  EXPECT_EQ(1, IsDirExist(dir.Path().c_str()));
  EXPECT_EQ(0, IsFileExist(missing.c_str()));
  EXPECT_EQ(0, IsDirExist(missing.c_str()));
  EXPECT_EQ(1, IsFileExist("/dev/null"));
}

}  // namespace
