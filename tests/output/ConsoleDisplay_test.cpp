#include "frontend/ConsoleDisplay.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/HttpClient.h"
#include "frontend/ImpBroxCmd.h"
#include "support/BodyCoding.h"
#include "support/StdioCapture.h"
#include "support/TestBytes.h"

namespace {

std::string Banner(unsigned int piece) {
  return "\r\n====================\r\npress any key continue (" + std::to_string(piece) +
         ") .....\r\n====================\r\n";
}

TEST(Paging, PiecesBannersAndWaits) {
  const std::string body = Pattern(2500);
  const struct {
    const char* m_Label;
    std::string m_Body;
    int m_Step;
    unsigned short m_StepSize;
    std::string m_Expected;
    size_t m_KeysRead;
  } cases[] = {
      {"2500 bytes paged by 1024", body, 1, 1024,
       Banner(1024) + body.substr(0, 1024) + Banner(1024) + body.substr(1024, 1024) + Banner(452) +
           body.substr(2048),
       3},
      {"2500 bytes without step", body, 0, 1024, body, 0},
      {"exactly one step", body.substr(0, 1024), 1, 1024, Banner(1024) + body.substr(0, 1024), 1},
      {"one byte steps", "xyz", 1, 1, Banner(1) + "x" + Banner(1) + "y" + Banner(1) + "z", 3},
      {"largest step", body, 1, 65535, Banner(2500) + body, 1},
      {"empty body with step", "", 1, 1024, "", 0},
      {"empty body without step", "", 0, 1024, "", 0},
  };
  const std::string keys = "12345";
  for (const auto& c : cases) {
    CapturedStdio got = RunWithStdio(
        [&] {
          OutputStepByStep((unsigned int)c.m_Body.size(), c.m_Body.data(), c.m_Step, c.m_StepSize);
        },
        keys);
    EXPECT_EQ(c.m_Expected, got.m_Output) << c.m_Label;
    // One key is read per pause, and none without paging.
    EXPECT_EQ(keys.substr(c.m_KeysRead), got.m_Leftover) << c.m_Label;
  }
}

TEST(Paging, RunsThroughAtTheEndOfInput) {
  const std::string body = Pattern(2500);
  CapturedStdio got = RunWithStdio([&] { OutputStepByStep(2500, body.data(), 1, 1024); });
  EXPECT_EQ(Banner(1024) + body.substr(0, 1024) + Banner(1024) + body.substr(1024, 1024) +
                Banner(452) + body.substr(2048),
            got.m_Output);
}

TEST(Paging, KeepsOrderWithPrintf) {
  CapturedStdio got = RunWithStdio([] {
    printf("before ");
    OutputStepByStep(3, "abc", 0, 2);
    printf(" after");
  });
  EXPECT_EQ("before abc after", got.m_Output);
}

struct BodyCase {
  const char* m_Label;
  const char* m_Encoding;
  int m_Compress;
  int m_Chunked;
  std::string m_Raw;        // the bytes after the head
  std::string m_Dechunked;  // the body without its chunk framing
  std::string m_Expected;
};

TEST(ResponseBody, ShowsTheDecodedOrRawBody) {
  const std::string plain = Pattern(1500);
  const std::string packed = Gzip(plain);
  const BodyCase cases[] = {
      {"plain body", "", 0, 0, "hello", "", "hello"},
      {"gzip decoded", "gzip", 0, 0, packed, "", plain},
      {"gzip in capitals", "GZip", 0, 0, packed, "", plain},
      {"gzip kept under -compress", "gzip", 1, 0, packed, "", packed},
      {"broken gzip shows nothing", "gzip", 0, 0, packed.substr(0, 20), "", ""},
      {"other coding shown as it came", "br", 0, 0, "brbytes", "", "brbytes"},
      {"chunked shows the de-chunked body", "", 0, 1, "5\r\nhello\r\n0\r\n\r\n", "hello", "hello"},
      {"chunked gzip", "gzip", 0, 1, "framed", packed, plain},
      {"body with zero bytes", "", 0, 0, std::string("a\0b", 3), "", std::string("a\0b", 3)},
      {"empty body", "", 0, 0, "", "", ""},
  };
  for (const BodyCase& c : cases) {
    CHttpClient client;
    client.m_RawStream.Write(c.m_Raw.data(), (unsigned int)c.m_Raw.size(), NULL);
    client.m_DechunkedStream.Write(c.m_Dechunked.data(), (unsigned int)c.m_Dechunked.size(), NULL);
    client.m_Chunked = c.m_Chunked;
    CImpBroxCmd cmd;
    client.m_ContentEncoding = c.m_Encoding;
    cmd.m_Answer = &client;
    cmd.m_Compress = c.m_Compress;
    cmd.m_Step = 0;
    CapturedStdio got = RunWithStdio([&] { OutputResponseBody(client, cmd); });
    EXPECT_EQ(c.m_Expected, got.m_Output) << c.m_Label;
  }
}

TEST(ResponseBody, BannerCountsDecodedBytes) {
  const std::string plain = Pattern(1500);
  CHttpClient client;
  const std::string packed = Gzip(plain);
  client.m_RawStream.Write(packed.data(), (unsigned int)packed.size(), NULL);
  CImpBroxCmd cmd;
  client.m_ContentEncoding = "gzip";
  cmd.m_Answer = &client;
  cmd.m_Step = 1;
  cmd.m_StepSize = 1024;
  CapturedStdio got = RunWithStdio([&] { OutputResponseBody(client, cmd); });
  EXPECT_EQ(Banner(1024) + plain.substr(0, 1024) + Banner(476) + plain.substr(1024), got.m_Output);
}

}  // namespace
