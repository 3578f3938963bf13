#include "frontend/DecodeToFile.h"

#include <gtest/gtest.h>

#include <string>

#include "frontend/ImpBroxCmd.h"
#include "platform/FileSystem.h"
#include "support/BodyCoding.h"
#include "support/TempDir.h"

namespace {

// Text of any size that compresses far beyond what a fixed room would take.
std::string Repetitive(size_t size) {
  std::string text;
  while (text.size() < size) text += "the same line again and again\n";
  text.resize(size);
  return text;
}

struct DecodeCase {
  const char* name;
  const char* encoding;
  std::string body;
  DecodeToFileResult want;
  std::string text;  // what the file holds on success
};

}  // namespace

TEST(DecodeBodyToFile, DecodesOrRefusesByEncoding) {
  const std::string big = Repetitive(3 * 1024 * 1024 + 17);  // many blocks, ratio far above 15
  const std::string small = "hello, decoded world\n";
  std::string truncated = Gzip(big);
  truncated.resize(truncated.size() / 2);
  std::string corrupt = Gzip(small);
  corrupt[12] ^= 0x55;
  std::string twoMembers = Gzip(small) + Gzip("second member\n");
  const DecodeCase cases[] = {
      {"gzip", "gzip", Gzip(big), DECODED_TO_FILE, big},
      {"gzip any case", "GZip", Gzip(small), DECODED_TO_FILE, small},
      {"gzip first member only", "gzip", twoMembers, DECODED_TO_FILE, small},
      {"raw deflate", "deflate", RawDeflate(big), DECODED_TO_FILE, big},
      {"zlib deflate", "deflate", ZlibDeflate(big), DECODED_TO_FILE, big},
      {"truncated gzip", "gzip", truncated, DECODE_BAD_DATA, ""},
      {"corrupt gzip", "gzip", corrupt, DECODE_BAD_DATA, ""},
      {"not compressed", "gzip", small, DECODE_BAD_DATA, ""},
      {"unknown encoding", "br", Gzip(small), DECODE_BAD_DATA, ""},
  };
  TempDir dir;
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    CImpBroxCmd cmd;
    cmd.m_ContentEncoding = c.encoding;
    std::string path = dir.File("out");
    FileHandle file = FileOpen(path.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(DecodeBodyToFile(cmd, c.body.data(), static_cast<unsigned int>(c.body.size()), file),
              c.want);
    ASSERT_TRUE(FileClose(file));
    if (c.want == DECODED_TO_FILE) {
      EXPECT_TRUE(TempDir::ReadFile(path) == c.text);
    }
  }
}

TEST(DecodeBodyToFile, FullDiskIsAWriteFailure) {
  if (PathGetKind("/dev/full") == PATH_MISSING) GTEST_SKIP() << "no /dev/full";
  CImpBroxCmd cmd;
  cmd.m_ContentEncoding = "gzip";
  std::string body = Gzip(Repetitive(1024 * 1024));
  FileHandle file = FileOpen("/dev/full", FILE_OPEN_WRITE_EXISTING, FILE_SHARE_EXCLUSIVE);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(DecodeBodyToFile(cmd, body.data(), static_cast<unsigned int>(body.size()), file),
            DECODE_WRITE_FAILED);
  FileClose(file);
}
