#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "frontend/ImpBroxCmd.h"
#include "frontend/RequestData.h"
#include "support/TempDir.h"

namespace {

typedef std::vector<std::pair<std::string, std::string>> Headers;

Headers HeadersOf(const CImpBroxCmd& cmd) {
  return Headers(cmd.m_RequestHeaders.begin(), cmd.m_RequestHeaders.end());
}

struct HeadCase {
  const char* what;
  std::string text;
  Headers expected;
};

TEST(ParseHeadDataTest, SplitsLinesIntoTrimmedNamesAndValues) {
  const HeadCase cases[] = {
      {"one header", "Content-Type: text/html", {{"Content-Type", "text/html"}}},
      {"stops at the first empty line", "A: 1\r\nB: 2\r\n\r\nC: 3\r\n", {{"A", "1"}, {"B", "2"}}},
      {"leading empty line", "\nA: 1", {}},
      {"empty text", "", {}},
      {"colon inside the value", "X-Where: a:8080", {{"X-Where", "a:8080"}}},
      {"blanks trimmed, tabs kept", "   Accept  :   text/plain  \n\tX:\tv\t",
       {{"\tX", "\tv\t"}, {"Accept", "text/plain"}}},
      {"line without a colon kept as written", "  bare line ", {{"  bare line ", ""}}},
      {"line of blanks", "   ", {{"   ", ""}}},
      {"first value wins, case makes a second entry", "Accept: a\nAccept: b\naccept: c",
       {{"Accept", "a"}, {"accept", "c"}}},
      {"carriage return inside a line removed", "X-A: b\rc", {{"X-A", "bc"}}},
      {"empty name", "  : v", {{"", "v"}}},
  };
  for (const HeadCase& c : cases) {
    CImpBroxCmd cmd;
    cmd.m_HeadDataString = c.text;
    cmd.ParseHeadData();
    EXPECT_EQ(c.expected, HeadersOf(cmd)) << c.what;
    // Parsing again starts from an empty map and gives the same result.
    cmd.ParseHeadData();
    EXPECT_EQ(c.expected, HeadersOf(cmd)) << c.what;
    EXPECT_EQ(std::string::npos, cmd.m_HeadDataString.find('\r')) << c.what;
  }
}

class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Files named without a directory are looked up here.
    m_Cmd.m_ArgParse.m_ModuleDir = m_Dir.Path();
  }
  TempDir m_Dir;
  CImpBroxCmd m_Cmd;
};

TEST_F(LoaderTest, PostDataFileIsLoadedByteForByte) {
  const std::string bytes("a=1\0b=2\r\n\0", 10);
  TempDir::WriteFile(m_Dir.File("post.bin"), bytes);
  m_Cmd.m_PostDataString = m_Dir.File("post.bin");
  ASSERT_EQ(1, m_Cmd.LoadPostDataFile());
  EXPECT_EQ(bytes.size(), m_Cmd.m_PostDataLength);
  EXPECT_EQ(bytes, m_Cmd.m_PostDataBuffer);
}

TEST_F(LoaderTest, BareNamesAreFoundOnlyInTheProgramDirectory) {
  TempDir::WriteFile(m_Dir.File("post.txt"), "user=a");
  m_Cmd.m_PostDataString = "post.txt";
  ASSERT_EQ(1, m_Cmd.LoadPostDataFile());
  EXPECT_EQ("user=a", m_Cmd.m_PostDataBuffer);

  // A file that lies only in the current directory is not found.
  TempDir cwd;
  TempDir::WriteFile(cwd.File("only-here.txt"), "x");
  char saved[4096];
  ASSERT_NE(nullptr, getcwd(saved, sizeof(saved)));
  ASSERT_EQ(0, chdir(cwd.Path().c_str()));
  m_Cmd.m_PostDataString = "only-here.txt";
  int postResult = m_Cmd.LoadPostDataFile();
  m_Cmd.m_HeadDataString = "only-here.txt";
  int headResult = m_Cmd.LoadHeadDataFile();
  ASSERT_EQ(0, chdir(saved));
  EXPECT_EQ(0, postResult);
  EXPECT_EQ(0, headResult);
  EXPECT_TRUE(m_Cmd.m_PostDataBuffer.empty());
}

TEST_F(LoaderTest, EmptyPostDataFileGivesNoBody) {
  TempDir::WriteFile(m_Dir.File("empty"), "");
  m_Cmd.m_PostDataString = m_Dir.File("empty");
  EXPECT_EQ(1, m_Cmd.LoadPostDataFile());
  EXPECT_TRUE(m_Cmd.m_PostDataBuffer.empty());
  EXPECT_EQ(0u, m_Cmd.m_PostDataLength);
  m_Cmd.m_PostData = 1;
  m_Cmd.m_PostDataIsFile = 1;
  const char* data = "unset";
  int length = -1;
  GetPostData(m_Cmd, &data, &length);
  EXPECT_EQ(nullptr, data);
  EXPECT_EQ(0, length);
}

TEST_F(LoaderTest, UnloadableFilesFailAndLeaveNoPostData) {
  TempDir::WriteFile(m_Dir.File("ok"), "data");
  const std::vector<std::string> bad = {
      m_Dir.Path(),                  // a directory
      m_Dir.File("missing.txt"),     // no such file
      m_Dir.File("nodir/post.txt"),  // missing directory part
      m_Dir.File("a?.txt"),          // reserved character in the name
      "a:b",                         // reserved character in a bare name
      "missing-bare-name.txt",
  };
  for (const std::string& path : bad) {
    m_Cmd.m_PostDataString = m_Dir.File("ok");
    ASSERT_EQ(1, m_Cmd.LoadPostDataFile());
    ASSERT_FALSE(m_Cmd.m_PostDataBuffer.empty());
    // A failed load also drops what an earlier one loaded.
    m_Cmd.m_PostDataString = path;
    EXPECT_EQ(0, m_Cmd.LoadPostDataFile()) << path;
    EXPECT_TRUE(m_Cmd.m_PostDataBuffer.empty()) << path;
    EXPECT_EQ(0u, m_Cmd.m_PostDataLength) << path;

    m_Cmd.m_HeadDataString = path;
    EXPECT_EQ(0, m_Cmd.LoadHeadDataFile()) << path;
    EXPECT_EQ(path, m_Cmd.m_HeadDataString) << "the path stays on failure";
  }
}

TEST_F(LoaderTest, FilesBeyondTheLargestBodyAreRefused) {
  // Sparse files: no disk space used. 4 GiB + 5 would look like 5 bytes to a
  // 32-bit size, 2 GiB is one byte above the largest int length.
  const struct {
    const char* name;
    off_t size;
  } cases[] = {{"huge", (off_t(1) << 32) + 5}, {"big", off_t(1) << 31}};
  for (const auto& c : cases) {
    const std::string path = m_Dir.File(c.name);
    int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(0, ftruncate(fd, c.size));
    close(fd);
    m_Cmd.m_PostDataString = path;
    EXPECT_EQ(0, m_Cmd.LoadPostDataFile()) << c.name;
    EXPECT_TRUE(m_Cmd.m_PostDataBuffer.empty());
    m_Cmd.m_HeadDataString = path;
    EXPECT_EQ(0, m_Cmd.LoadHeadDataFile()) << c.name;
  }
}

TEST_F(LoaderTest, HeaderFileTextReplacesThePathAndIsParsed) {
  TempDir::WriteFile(m_Dir.File("head.txt"), "A: 1\r\nB: 2\r\n\r\nC: 3\r\n");
  m_Cmd.m_HeadDataString = "head.txt";
  ASSERT_EQ(1, m_Cmd.LoadHeadDataFile());
  EXPECT_EQ("A: 1\nB: 2\n\nC: 3\n", m_Cmd.m_HeadDataString);
  EXPECT_EQ((Headers{{"A", "1"}, {"B", "2"}}), HeadersOf(m_Cmd));
}

TEST_F(LoaderTest, HeaderFileEndsAtAZeroByteAndMayBeEmpty) {
  TempDir::WriteFile(m_Dir.File("zero.txt"), std::string("A: 1\nB: 2\0C: 3\n", 15));
  m_Cmd.m_HeadDataString = m_Dir.File("zero.txt");
  ASSERT_EQ(1, m_Cmd.LoadHeadDataFile());
  EXPECT_EQ("A: 1\nB: 2", m_Cmd.m_HeadDataString);
  EXPECT_EQ((Headers{{"A", "1"}, {"B", "2"}}), HeadersOf(m_Cmd));

  TempDir::WriteFile(m_Dir.File("empty.txt"), "");
  m_Cmd.m_HeadDataString = m_Dir.File("empty.txt");
  ASSERT_EQ(1, m_Cmd.LoadHeadDataFile());
  EXPECT_EQ("", m_Cmd.m_HeadDataString);
}

TEST(CommandDriverTest, NewDriverHoldsTheDefaults) {
  CImpBroxCmd cmd;
  EXPECT_EQ(1024, cmd.m_StepSize);
  EXPECT_TRUE(cmd.m_PostDataBuffer.empty());
  EXPECT_EQ(0u, cmd.m_PostDataLength);
  EXPECT_EQ(0, cmd.m_PostDataIsFile);
  EXPECT_EQ(0, cmd.m_HeadDataIsFile);
  EXPECT_EQ(0, cmd.m_Append);
  EXPECT_TRUE(cmd.m_OutputPath.empty() && cmd.m_UploadPath.empty() && cmd.m_PostDataString.empty() &&
              cmd.m_HeadDataString.empty() && cmd.m_Url.empty() && cmd.m_Host.empty() &&
              cmd.m_Path.empty() && cmd.m_Answer == NULL && cmd.m_MediaType.empty() &&
              cmd.m_DispositionName.empty() && cmd.m_DispositionFileName.empty() &&
              cmd.m_BatchDir.empty());
  EXPECT_TRUE(cmd.m_RequestHeaders.empty());
  EXPECT_TRUE(cmd.m_BatchUrls.empty());
  EXPECT_EQ(NULL, cmd.m_ArgParse.m_Classifier);
  EXPECT_TRUE(cmd.m_ArgParse.m_Options.empty());
}

}  // namespace
