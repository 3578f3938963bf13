// The engine's writer of a downloaded body: every byte reaches the file, and
// a device that takes nothing fails the write.
#include "engine/OutputFile.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace {

// Gathered writes reach the file whole by Close; a device that takes
// nothing fails the write that reaches it, gathered or not.
TEST(DownloadPiecesTest, OutputFileWritesEveryByte) {
  TempDir dir;
  const std::string path = dir.File("r");
  COutputFile out;
  out.Adopt(FileOpen(path.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE));
  ASSERT_TRUE(static_cast<bool>(out));
  const std::string big(300000, 'b');
  EXPECT_EQ(1, out.Write("keep|", 5));
  EXPECT_EQ(1, out.Write(big.data(), big.size()));
  EXPECT_EQ(1, out.Write("|end", 4));
  EXPECT_EQ(1, out.Close());
  EXPECT_EQ("keep|" + big + "|end", TempDir::ReadFile(path));

  out.Adopt(FileOpen("/dev/full", FILE_OPEN_WRITE_EXISTING, FILE_SHARE_EXCLUSIVE));
  ASSERT_TRUE(static_cast<bool>(out));
  EXPECT_EQ(0, out.Write("body", 4));
  out.Close();
}


}  // namespace
