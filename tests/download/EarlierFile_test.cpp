// The keeper of what the output path held before: it finds a regular file
// only, moves it aside under the one aside name (never over anything there)
// and holds it locked there, brings it back only to a free path, and drops
// it only while a file stands at the path. Each case starts from a small
// fixture in a fresh directory.
#include "engine/EarlierFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace {

bool IsDir(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST(EarlierFile, MovesAsideLockedAndBack) {
  TempDir dir;
  const std::string out = dir.File("page.html");
  TempDir::WriteFile(out, "earlier");
  CEarlierFile earlier;
  ASSERT_EQ(1, earlier.Find(out));
  EXPECT_EQ(1, earlier.IsAtPath());
  ASSERT_EQ(1, earlier.MoveAside());
  EXPECT_EQ(out + "_zelvor.bk", earlier.Aside());
  EXPECT_FALSE(TempDir::Exists(out));
  EXPECT_EQ("earlier", TempDir::ReadFile(earlier.Aside()));
  EXPECT_EQ(1, PathIsLockedByAnother(earlier.Aside().c_str()));
  ASSERT_EQ(1, earlier.BringBack());
  EXPECT_EQ("earlier", TempDir::ReadFile(out));
  EXPECT_EQ(0, PathIsLockedByAnother(out.c_str()));
  EXPECT_EQ(1u, dir.Names().size());
}

TEST(EarlierFile, NothingToKeep) {
  TempDir dir;
  mkdir(dir.File("sub").c_str(), 0755);
  const std::string paths[] = {dir.File("missing.html"), dir.File("sub"), "/dev/null"};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    CEarlierFile earlier;
    EXPECT_EQ(0, earlier.Find(path));
    EXPECT_EQ(0, earlier.MoveAside());
    EXPECT_EQ(1, earlier.BringBack());
    EXPECT_EQ(1, earlier.Drop());
  }
  EXPECT_TRUE(IsDir(dir.File("sub")));
  EXPECT_FALSE(TempDir::Exists(dir.File("sub_zelvor.bk")));
  EXPECT_FALSE(TempDir::Exists("/dev/null_zelvor.bk"));
}

// Whatever stands under the aside name may be the only copy of the user's
// file: the earlier file never goes over it, and stays at its path.
TEST(EarlierFile, NeverMovesOverWhatStandsAside) {
  TempDir dir;
  const std::string out = dir.File("page.html");
  TempDir::WriteFile(out, "earlier");
  const std::string aside = out + "_zelvor.bk";
  const std::string kinds[] = {"file", "folder"};
  for (const std::string& kind : kinds) {
    SCOPED_TRACE(kind);
    if (kind == "file") {
      TempDir::WriteFile(aside, "only copy");
    } else {
      ASSERT_EQ(0, remove(aside.c_str()));
      ASSERT_EQ(0, mkdir(aside.c_str(), 0755));
    }
    CEarlierFile earlier;
    ASSERT_EQ(1, earlier.Find(out));
    EXPECT_EQ(0, earlier.MoveAside());
    EXPECT_EQ(1, earlier.IsAtPath());
    EXPECT_EQ("earlier", TempDir::ReadFile(out));
    if (kind == "file") {
      EXPECT_EQ("only copy", TempDir::ReadFile(aside));
    } else {
      EXPECT_TRUE(IsDir(aside));
    }
  }
}

// Back only to a free path; dropped only while a file holds the path.
TEST(EarlierFile, BringsBackOnlyToAFreePathAndDropsOnlyBehindAFile) {
  struct Case {
    const char* name;
    bool drop;         // Drop rather than BringBack
    const char* path;  // what stands at the path then: "file", "folder" or ""
    int result;
    bool aside;        // the earlier bytes still stand aside after
    std::string atPath;  // the file at the path after ("" for none or a folder)
  } cases[] = {
      {"back to a free path", false, "", 1, false, "earlier"},
      {"back to a taken path", false, "file", 0, true, "new"},
      {"back to a folder", false, "folder", 0, true, ""},
      {"dropped behind a file", true, "file", 1, false, "new"},
      // Nothing holds the body: the earlier file is all there is.
      {"dropped with nothing at the path", true, "", -1, false, "earlier"},
      {"dropped behind a folder", true, "folder", -1, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string out = dir.File("page.html");
    TempDir::WriteFile(out, "earlier");
    CEarlierFile earlier;
    ASSERT_EQ(1, earlier.Find(out));
    ASSERT_EQ(1, earlier.MoveAside());
    if (std::string(c.path) == "file") TempDir::WriteFile(out, "new");
    if (std::string(c.path) == "folder") {
      ASSERT_EQ(0, mkdir(out.c_str(), 0755));
    }
    EXPECT_EQ(c.result, c.drop ? earlier.Drop() : earlier.BringBack());
    EXPECT_EQ(c.aside, earlier.IsAside() == 1);
    EXPECT_EQ(c.aside, TempDir::Exists(out + "_zelvor.bk"));
    if (c.aside) {
      EXPECT_EQ("earlier", TempDir::ReadFile(out + "_zelvor.bk"));
    }
    if (!c.atPath.empty()) {
      EXPECT_EQ(c.atPath, TempDir::ReadFile(out));
    }
  }
}

}  // namespace
