#include "frontend/EngineCallbacks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/HttpClient.h"
#include "frontend/ImpBroxCmd.h"
#include "support/StdioCapture.h"

namespace {

const char kHead[] = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n\r\n";

class CallbackTest : public ::testing::Test {
 protected:
  void SetUp() override { g_ConsoleInfo.m_Saved = 0; }
  CHttpClient m_Client;
  CImpBroxCmd m_Cmd;
};

TEST_F(CallbackTest, HeadRecordsTypeDispositionAndEncoding) {
  m_Client.m_ResponseHeaders["content-type"] = "text/html; charset=utf-8";
  m_Client.m_ResponseHeaders["CONTENT-DISPOSITION"] = "attachment; name=n; filename=\"f.txt\"";
  m_Client.m_ContentEncoding = "gzip";
  CapturedStdio got = RunWithStdio([&] { OnResponseHead(&m_Client, kHead, &m_Cmd); });
  EXPECT_EQ("text/html", m_Cmd.m_MediaType);
  EXPECT_EQ("n", m_Cmd.m_DispositionName);
  EXPECT_EQ("f.txt", m_Cmd.m_DispositionFileName);
  EXPECT_EQ(&m_Client, m_Cmd.m_Answer);
  EXPECT_EQ("gzip", m_Cmd.AnswerEncoding());
  EXPECT_EQ(kHead, got.m_Output);
}

TEST_F(CallbackTest, MissingHeadersKeepEarlierValuesButEncodingIsReplaced) {
  m_Cmd.m_MediaType = "image/png";
  m_Cmd.m_DispositionName = "old";
  m_Cmd.m_DispositionFileName = "old.bin";
  CHttpClient earlier;
  earlier.m_ContentEncoding = "gzip";
  m_Cmd.m_Answer = &earlier;
  m_Cmd.m_BatchUrls.push_back("http://h/1");
  CapturedStdio got = RunWithStdio([&] { OnResponseHead(&m_Client, kHead, &m_Cmd); });
  EXPECT_EQ("image/png", m_Cmd.m_MediaType);
  EXPECT_EQ("old", m_Cmd.m_DispositionName);
  EXPECT_EQ("old.bin", m_Cmd.m_DispositionFileName);
  EXPECT_EQ("", m_Cmd.AnswerEncoding());
  // Batch runs print no heads.
  EXPECT_EQ("", got.m_Output);
}

TEST_F(CallbackTest, HeadPrinting) {
  const struct {
    const char* m_Label;
    int m_Progress;
    int m_Upload;
    std::string m_Expected;
  } cases[] = {
      {"plain", 0, 0, kHead},
      {"progress", 1, 0, kHead},
      {"upload without progress", 0, 1, kHead},
      {"upload with progress ends the progress line", 1, 1, std::string("\r\n") + kHead},
  };
  for (const auto& c : cases) {
    CImpBroxCmd cmd;
    cmd.m_Progress = c.m_Progress;
    cmd.m_Upload = c.m_Upload;
    CapturedStdio got = RunWithStdio([&] { OnResponseHead(&m_Client, kHead, &cmd); });
    EXPECT_EQ(c.m_Expected, got.m_Output) << c.m_Label;
  }
}

TEST_F(CallbackTest, DataIsStreamedOnlyUnderOriginToTheConsole) {
  const struct {
    const char* m_Label;
    int m_Origin;
    int m_OutputToFile;
    bool m_Batch;
    int m_Step;
    std::string m_Expected;
  } cases[] = {
      {"origin to the console", 1, 0, false, 0, "5\r\nhello"},
      {"origin paged", 1, 0, false, 1,
       "\r\n====================\r\npress any key continue (4) .....\r\n====================\r\n"
       "5\r\nh"
       "\r\n====================\r\npress any key continue (4) .....\r\n====================\r\n"
       "ello"},
      {"origin to a file", 1, 1, false, 0, ""},
      {"origin in a batch", 1, 0, true, 0, ""},
      {"no origin", 0, 0, false, 0, ""},
  };
  for (const auto& c : cases) {
    CImpBroxCmd cmd;
    cmd.m_Origin = c.m_Origin;
    cmd.m_OutputToFile = c.m_OutputToFile;
    cmd.m_Step = c.m_Step;
    cmd.m_StepSize = 4;
    if (c.m_Batch) cmd.m_BatchUrls.push_back("http://h/1");
    CapturedStdio got = RunWithStdio([&] { OnResponseData(&m_Client, "5\r\nhello", 8, &cmd); });
    EXPECT_EQ(c.m_Expected, got.m_Output) << c.m_Label;
  }
}

TEST(ProgressText, Formats) {
  const struct {
    int m_Chunked;
    uint64_t m_Total;
    uint64_t m_Done;
    const char* m_Expected;
  } cases[] = {
      {0, 1000, 400, "40.00%"},
      {0, 1000, 1000, "100.00%"},
      {0, 3, 1, "33.33%"},
      {0, 1000, 0, "0.00%"},
      {1, 0, 8192, "chunked bytes 8192 "},
      {1, 5000, 10, "chunked bytes 10 "},
      {1, 0, UINT64_MAX, "chunked bytes 18446744073709551615 "},
      // No length announced for a body that is not chunked.
      {0, 0, 0, "bytes 0 "},
      {0, 0, 1234, "bytes 1234 "},
  };
  for (const auto& c : cases) {
    char text[64];
    FormatProgressText(text, sizeof(text), c.m_Chunked, c.m_Total, c.m_Done);
    EXPECT_STREQ(c.m_Expected, text);
  }
}

struct ProgressCase {
  const char* m_Label;
  int m_OutputToFile;
  int m_Upload;
  int m_Progress;
  int m_Chunked;
  uint64_t m_Total;
  std::vector<uint64_t> m_Done;
  std::string m_Expected;
};

TEST_F(CallbackTest, ProgressTextsFollowOneAnotherOffATerminal) {
  const ProgressCase cases[] = {
      {"download", 1, 0, 1, 0, 1000, {400, 800, 1000}, "40.00%80.00%100.00%"},
      {"upload", 0, 1, 1, 0, 200, {100, 200}, "50.00%100.00%"},
      {"chunked", 1, 0, 1, 1, 0, {8192, 16384}, "chunked bytes 8192 chunked bytes 16384 "},
      {"no length", 1, 0, 1, 0, 0, {7}, "bytes 7 "},
      {"without -progress", 1, 0, 0, 0, 1000, {400}, ""},
      {"progress without a file", 0, 0, 1, 0, 1000, {400}, ""},
  };
  for (const ProgressCase& c : cases) {
    CImpBroxCmd cmd;
    cmd.m_OutputToFile = c.m_OutputToFile;
    cmd.m_Upload = c.m_Upload;
    cmd.m_Progress = c.m_Progress;
    m_Client.m_Chunked = c.m_Chunked;
    CapturedStdio got = RunWithStdio([&] {
      SaveConsolePosition();
      for (uint64_t done : c.m_Done) OnProgress(&m_Client, c.m_Total, done, &cmd);
    });
    EXPECT_EQ(c.m_Expected, got.m_Output) << c.m_Label;
    EXPECT_EQ(0, g_ConsoleInfo.m_Saved) << c.m_Label;
  }
}

TEST_F(CallbackTest, HeadUnderProgressInAPipeWritesNoEscapes) {
  m_Cmd.m_OutputToFile = 1;
  m_Cmd.m_Progress = 1;
  CapturedStdio got = RunWithStdio([&] {
    OnResponseHead(&m_Client, kHead, &m_Cmd);
    OnProgress(&m_Client, 10, 5, &m_Cmd);
  });
  EXPECT_EQ(std::string(kHead) + "50.00%", got.m_Output);
}

}  // namespace
