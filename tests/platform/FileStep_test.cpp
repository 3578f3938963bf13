// The step seam of the file-system layer (platform/FileStep.h): which calls
// are steps, and that a step the hook fails changes nothing on the disk. The
// file-step tests (tests/filesteps/) count on both.
#include <gtest/gtest.h>

#include <errno.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/FileStep.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace {

std::vector<std::string> g_Steps;
int g_FailWith = 0;

int RecordStep(FileStepKind kind, const char* path, const char* to) {
  const char* names[] = {"open", "scratch", "write", "truncate", "close", "delete", "move", "mkdir"};
  std::string step = names[kind];
  if (path) step += std::string(" ") + path;
  if (to) step += std::string(" ") + to;
  g_Steps.push_back(step);
  return g_FailWith;
}

class FileStepTest : public ::testing::Test {
 protected:
  FileStepTest() {
    g_Steps.clear();
    g_FailWith = 0;
  }
  ~FileStepTest() override { FileSetStepHook(nullptr); }

  std::string Path(const std::string& name) const { return m_Dir.File(name); }

  TempDir m_Dir;
};

TEST_F(FileStepTest, EveryChangeToTheDiskIsOneStepAndNothingElseIs) {
  const std::string a = Path("a"), b = Path("b"), c = Path("c"), aside = Path("aside");
  TempDir::WriteFile(b, "bb");
  FileSetStepHook(RecordStep);

  FileHandle file = FileOpen(a.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE);
  ASSERT_NE(nullptr, file);
  EXPECT_EQ(1, FileWrite(file, "abc", 3, nullptr));
  EXPECT_EQ(1, FileTruncate(file, 2));
  EXPECT_EQ(1, FileClose(file));
  // Reading changes nothing, nor do the calls that refuse before they act.
  FileHandle reader = FileOpen(a.c_str(), FILE_OPEN_READ_EXISTING, FILE_SHARE_READERS);
  ASSERT_NE(nullptr, reader);
  char buffer[4];
  uint32_t got = 0;
  EXPECT_EQ(1, FileRead(reader, buffer, sizeof(buffer), &got));
  EXPECT_EQ(1, FileClose(reader));
  EXPECT_EQ(0, FileDelete(Path("missing").c_str()));
  EXPECT_EQ(0, FileMove(Path("missing").c_str(), c.c_str()));

  EXPECT_EQ(1, FileMove(a.c_str(), c.c_str()));
  EXPECT_EQ(1, FileReplace(c.c_str(), b.c_str(), aside.c_str()));
  EXPECT_EQ(1, FileDelete(c.c_str()));
  EXPECT_EQ(1, DirCreate(Path("d").c_str()));
  FileHandle scratch = FileOpenScratch();
  ASSERT_NE(nullptr, scratch);
  EXPECT_EQ(1, FileClose(scratch));

  const std::vector<std::string> expected = {
      "open " + a, "write", "truncate", "close", "move " + a + " " + c,
      // A replacement is its moves and the delete of what stood aside.
      "move " + c + " " + aside, "move " + b + " " + c, "delete " + aside, "delete " + c,
      "mkdir " + Path("d"), "scratch " + std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp"),
      "close"};
  EXPECT_EQ(expected, g_Steps);
}

TEST_F(FileStepTest, AFailedStepFailsItsCallAndChangesNothing) {
  const std::string kept = Path("kept"), fresh = Path("fresh");
  TempDir::WriteFile(kept, "earlier");
  FileHandle open = FileOpen(kept.c_str(), FILE_OPEN_WRITE_EXISTING, FILE_SHARE_EXCLUSIVE);
  ASSERT_NE(nullptr, open);
  FileSetStepHook(RecordStep);
  g_FailWith = EIO;

  errno = 0;
  EXPECT_EQ(nullptr, FileOpen(fresh.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE));
  EXPECT_EQ(EIO, errno);
  EXPECT_FALSE(TempDir::Exists(fresh));
  EXPECT_EQ(nullptr, FileOpen(kept.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_READERS));
  uint32_t written = 1;
  EXPECT_EQ(0, FileWrite(open, "new", 3, &written));
  EXPECT_EQ(0u, written);
  EXPECT_EQ(0, FileTruncate(open, 0));
  EXPECT_EQ(0, FileMove(kept.c_str(), fresh.c_str()));
  EXPECT_EQ(0, FileReplace(kept.c_str(), kept.c_str(), fresh.c_str()));
  EXPECT_EQ(0, FileDelete(kept.c_str()));
  EXPECT_EQ(0, DirCreate(Path("d").c_str()));
  EXPECT_FALSE(TempDir::Exists(Path("d")));
  EXPECT_EQ(nullptr, FileOpenScratch());
  // The handle is released all the same: the file can be locked again.
  errno = 0;
  EXPECT_EQ(0, FileClose(open));
  EXPECT_EQ(EIO, errno);

  FileSetStepHook(nullptr);
  EXPECT_EQ("earlier", TempDir::ReadFile(kept));
  EXPECT_EQ((std::vector<std::string>{"kept"}), m_Dir.Names());
  FileHandle again = FileOpen(kept.c_str(), FILE_OPEN_WRITE_EXISTING, FILE_SHARE_EXCLUSIVE);
  EXPECT_NE(nullptr, again);
  FileClose(again);
  EXPECT_EQ(10u, g_Steps.size());
}

}  // namespace
