#include "platform/FileOwner.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "support/TempDir.h"

namespace {

// An exclusive open of a regular file fails while another handle has it
// open, so a second open tells whether a file was closed.
class FileOwnerTest : public ::testing::Test {
 protected:
  FileOwnerTest() : m_Path(m_Dir.File("owned")) { TempDir::WriteFile(m_Path, "x"); }

  FileHandle Open() const {
    return FileOpen(m_Path.c_str(), FILE_OPEN_WRITE_EXISTING, FILE_SHARE_EXCLUSIVE);
  }

  bool IsOpenElsewhere() const {
    FileHandle probe = Open();
    if (!probe) return true;
    FileClose(probe);
    return false;
  }

  TempDir m_Dir;
  std::string m_Path;
};

TEST_F(FileOwnerTest, ClosesTheFileWhenItGoes) {
  {
    CFileOwner owner(Open());
    ASSERT_NE(owner.get(), nullptr);
    EXPECT_TRUE(IsOpenElsewhere());
  }
  EXPECT_FALSE(IsOpenElsewhere());
}

TEST_F(FileOwnerTest, ReleasedFileStaysOpenForTheCaller) {
  FileHandle file = nullptr;
  {
    CFileOwner owner(Open());
    file = owner.release();
    EXPECT_EQ(owner.get(), nullptr);
  }
  EXPECT_TRUE(IsOpenElsewhere());
  EXPECT_EQ(FileClose(file), 1);
}

// Under the sanitizers a second close of the same handle is a double free.
TEST_F(FileOwnerTest, MoveHandsTheFileOnAndClosesItOnce) {
  CFileOwner second;
  {
    CFileOwner first(Open());
    FileHandle file = first.get();
    CFileOwner moved(std::move(first));
    EXPECT_EQ(first.get(), nullptr);
    second = std::move(moved);
    EXPECT_EQ(second.get(), file);
  }
  EXPECT_TRUE(IsOpenElsewhere());
  EXPECT_EQ(second.Close(), 1);
  EXPECT_FALSE(IsOpenElsewhere());
}

TEST_F(FileOwnerTest, CloseAndResetEndTheFileHeld) {
  CFileOwner owner(Open());
  EXPECT_EQ(owner.Close(), 1);
  EXPECT_EQ(owner.get(), nullptr);
  EXPECT_EQ(owner.Close(), 0);
  EXPECT_FALSE(IsOpenElsewhere());

  owner.reset(Open());
  EXPECT_TRUE(IsOpenElsewhere());
  owner.reset();
  EXPECT_FALSE(IsOpenElsewhere());
}

}  // namespace
