#include "engine/ChunkDecoder.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/HttpClient.h"
#include "platform/FileSystem.h"

namespace {

struct Decoder {
  CHttpClient client;
  int pending = -1;

  Decoder() { client.m_Chunked = 1; }

  void Feed(const std::string& bytes) {
    unsigned int written = 0;
    ASSERT_EQ(client.m_RawStream.Write(bytes.data(), static_cast<unsigned int>(bytes.size()), &written), 1);
  }
  int FeedAndDecode(const std::string& bytes) {
    Feed(bytes);
    return client.DecodeChunks(&pending);
  }
  std::string Body() const {
    return std::string(client.m_DechunkedStream.m_Data, client.m_DechunkedStream.m_Length);
  }
  std::string Raw() const { return std::string(client.m_RawStream.m_Data, client.m_RawStream.m_Length); }
};

TEST(ChunkDecoder, WholeBodyInOneBlock) {
  Decoder d;
  EXPECT_EQ(d.FeedAndDecode("5\r\nhello\r\n0\r\n\r\n"), 1);
  EXPECT_EQ(d.Body(), "hello");
  // The closing CRLF is left behind, and nothing else.
  EXPECT_EQ(d.Raw(), "\r\n");
  EXPECT_EQ(ChunkedBodyEndedExactly(d.client.m_RawStream), 1);
  EXPECT_EQ(d.client.m_ErrorCode, HTTP_ERR_NONE);
}

TEST(ChunkDecoder, NotChunkedIsDoneAndEmptyWaits) {
  Decoder d;
  EXPECT_EQ(d.client.DecodeChunks(&d.pending), 0);
  d.client.m_Chunked = 0;
  d.Feed("garbage");
  EXPECT_EQ(d.client.DecodeChunks(&d.pending), 1);
  EXPECT_EQ(d.Raw(), "garbage");
}

const std::string kFramed = "5\r\nhello\r\n3;ab\r\nxyz\r\n10\r\n0123456789abcdef\r\n0\r\n\r\n";
const std::string kDecoded = "helloxyz0123456789abcdef";

// Every way of cutting the body into two or three receives decodes alike.
TEST(ChunkDecoder, EverySplitPoint) {
  for (size_t a = 0; a <= kFramed.size(); ++a) {
    for (size_t b = a; b <= kFramed.size(); ++b) {
      Decoder d;
      const std::string pieces[] = {kFramed.substr(0, a), kFramed.substr(a, b - a), kFramed.substr(b)};
      int result = 0;
      for (int i = 0; i < 3; ++i) {
        result = d.FeedAndDecode(pieces[i]);
        if (i < 2 && result != 0) {
          // Only the last byte of the closing CRLF can finish the body.
          ASSERT_EQ(result, 1) << a << "," << b;
          ASSERT_EQ(i == 0 ? a : b, kFramed.size()) << a << "," << b;
        }
        if (result == 1) break;
      }
      ASSERT_EQ(result, 1) << a << "," << b;
      ASSERT_EQ(d.Body(), kDecoded) << a << "," << b;
      ASSERT_EQ(d.client.m_ErrorCode, HTTP_ERR_NONE);
    }
  }
}

// A size line with a long extension split anywhere, even between its CR
// and LF, decodes alike.
TEST(ChunkDecoder, LongExtensionSplitAnywhere) {
  const std::string framed = "5;" + std::string(20000, 'e') + "\r\nhello\r\n0;end\r\n\r\n";
  for (size_t cut : {size_t(1), size_t(2), size_t(9), size_t(10), size_t(11), size_t(8192), size_t(20001),
                     size_t(20002), size_t(20003), framed.size() - 1}) {
    Decoder d;
    EXPECT_EQ(d.FeedAndDecode(framed.substr(0, cut)), 0) << cut;
    EXPECT_EQ(d.FeedAndDecode(framed.substr(cut)), 1) << cut;
    EXPECT_EQ(d.Body(), "hello") << cut;
    EXPECT_EQ(d.Raw(), "\r\n") << cut;
  }
}

TEST(ChunkDecoder, OneByteAtATime) {
  Decoder d;
  int result = 0;
  size_t i = 0;
  for (; i < kFramed.size() && result == 0; ++i) result = d.FeedAndDecode(kFramed.substr(i, 1));
  EXPECT_EQ(result, 1);
  EXPECT_EQ(i, kFramed.size());
  EXPECT_EQ(d.Body(), kDecoded);
  EXPECT_EQ(d.Raw(), "\r\n");
}

TEST(ChunkDecoder, KeepsPendingSizeWhileDataIsMissing) {
  Decoder d;
  EXPECT_EQ(d.FeedAndDecode("5\r\nhel"), 0);
  EXPECT_EQ(d.pending, 5);
  EXPECT_EQ(d.Raw(), "hel");
  EXPECT_EQ(d.FeedAndDecode("lo\r"), 0);
  EXPECT_EQ(d.pending, 5);
  EXPECT_EQ(d.FeedAndDecode("\n"), 0);
  EXPECT_EQ(d.pending, -1);
  EXPECT_EQ(d.Body(), "hello");
  EXPECT_EQ(d.FeedAndDecode("0\r\n"), 0);
  EXPECT_EQ(d.pending, 0);
  EXPECT_EQ(d.FeedAndDecode("\r\n"), 1);
}

TEST(ChunkDecoder, SizeTexts) {
  struct Case {
    const char* size;
    int result;  // with ten data bytes and a last chunk behind it
  };
  const Case cases[] = {
      {"a", 1},      {"A", 1},      {"0xa", 1},      {"0XA", 1},    {"00000a", 1},
      {"a;x=1", 1},  {"a ;y", 1},   {" a", 1},       {"+a", 1},
      // an extension of any length after the size is ignored
      {"a;name=value", 1}, {"00000a;", 1}, {"a;\r", 1},
      {"a;a-very-long-extension-name=\"and a quoted value; with more\"", 1},
      // not a non-negative hexadecimal number: refused, never used as a length
      {"-1", -1},    {"-a", -1},    {"zz", -1},      {";ext", -1},  {"-0", -1},
      {"ffffff", 0},  // a valid size whose data has not come: waits
      {"1234567", -1}, {"abcdefab", -1},  // 7 and 8 characters
      {"1234567;x=1", -1}, {";long-extension=1", -1},  // too long or no digit before ";"
      {"123456789", 0}, {"1234567890", 0},  // CRLF beyond the search: waits for good
  };
  for (const Case& c : cases) {
    Decoder d;
    int result = d.FeedAndDecode(std::string(c.size) + "\r\n0123456789\r\n0\r\n\r\n");
    EXPECT_EQ(result, c.result) << c.size;
    if (c.result == 1) {
      EXPECT_EQ(d.Body(), "0123456789") << c.size;
    }
    if (c.result == -1) {
      EXPECT_EQ(d.client.m_ErrorCode, HTTP_ERR_NONE) << c.size;
      EXPECT_EQ(d.client.m_DechunkedStream.m_Length, 0u) << c.size;
    }
  }
}

TEST(ChunkDecoder, ParseChunkSizeLimits) {
  int size = 77;
  EXPECT_EQ(ParseChunkSize("7fffffff", &size), 1);
  EXPECT_EQ(size, 0x7fffffff);
  size = 77;
  EXPECT_EQ(ParseChunkSize("80000000", &size), 0);
  EXPECT_EQ(ParseChunkSize("ffffffffffffffffffff", &size), 0);
  EXPECT_EQ(ParseChunkSize("", &size), 0);
  EXPECT_EQ(ParseChunkSize("0x", &size), 1);
  EXPECT_EQ(size, 0);
}

TEST(ChunkDecoder, FramingQuirksAreTolerated) {
  {
    // The two bytes after the data are dropped unread.
    Decoder d;
    EXPECT_EQ(d.FeedAndDecode("5\r\nhelloXY0\r\n\r\n"), 1);
    EXPECT_EQ(d.Body(), "hello");
  }
  {
    // An empty size line takes nothing and keeps waiting.
    Decoder d;
    EXPECT_EQ(d.FeedAndDecode("\r\n5\r\nhello\r\n0\r\n\r\n"), 0);
    EXPECT_EQ(d.client.DecodeChunks(&d.pending), 0);
    EXPECT_EQ(d.Raw(), "\r\n5\r\nhello\r\n0\r\n\r\n");
  }
}

TEST(ChunkDecoder, WhatIsLeftAfterTheLastChunk) {
  struct Case {
    const char* tail;
    int exact;
  };
  const Case cases[] = {
      {"\r\n", 1},
      {"X-Trailer: 1\r\n\r\n", 0},
      {"\r\nHTTP/1.1 200 OK\r\n", 0},
      {"ab", 0},
  };
  for (const Case& c : cases) {
    Decoder d;
    EXPECT_EQ(d.FeedAndDecode(std::string("2\r\nok\r\n0\r\n") + c.tail), 1) << c.tail;
    EXPECT_EQ(d.Raw(), c.tail);
    EXPECT_EQ(ChunkedBodyEndedExactly(d.client.m_RawStream), c.exact) << c.tail;
  }
}

TEST(ChunkDecoder, EightMebibytesBufferedIsRefused) {
  const std::string head = "5\r\nhello\r\n";
  {
    Decoder d;
    d.Feed(head + std::string(kChunkBufferLimit - head.size() - 1, 'x'));
    // Just below the limit: the complete chunk is decoded, the filler waits.
    EXPECT_EQ(d.client.DecodeChunks(&d.pending), 0);
    EXPECT_EQ(d.Body(), "hello");
  }
  {
    Decoder d;
    d.Feed(head + std::string(kChunkBufferLimit - head.size(), 'x'));
    EXPECT_EQ(d.client.DecodeChunks(&d.pending), -1);
    EXPECT_EQ(d.client.m_DechunkedStream.m_Length, 0u);
    EXPECT_EQ(d.client.m_ErrorCode, HTTP_ERR_NONE);
  }
}

std::string Chunk(unsigned int size, char fill) {
  char line[16];
  snprintf(line, sizeof(line), "%x\r\n", size);
  return line + std::string(size, fill) + "\r\n";
}

// 16 chunks of 4 MiB make exactly the 64 MiB a body in memory may hold.
int FeedSixtyFourMebibytes(Decoder& d) {
  const unsigned int piece = 4 * 1024 * 1024;
  for (int i = 0; i < 16; ++i) {
    int result = d.FeedAndDecode(Chunk(piece, static_cast<char>('a' + i)));
    if (result != 0) return result;
  }
  return 0;
}

TEST(ChunkDecoder, MemoryBodyLimitAppliesAsItGrows) {
  Decoder d;
  ASSERT_EQ(FeedSixtyFourMebibytes(d), 0);
  EXPECT_EQ(d.client.m_DechunkedStream.m_Length, kMemoryBodyLimit);
  EXPECT_EQ(d.FeedAndDecode("1\r\nz\r\n"), -1);
  EXPECT_EQ(d.client.m_ErrorCode, HTTP_ERR_BODY_TOO_LARGE);
  EXPECT_EQ(d.client.m_DechunkedStream.m_Length, kMemoryBodyLimit);
}

void* RefuseGrowth(void*, unsigned int) { return NULL; }

TEST(ChunkDecoder, FailedGrowthIsReportedNotOverrun) {
  Decoder d;
  d.client.m_DechunkedStream.m_ReallocHook = RefuseGrowth;
  const unsigned int size = d.client.m_DechunkedStream.m_Capacity + 100;
  EXPECT_EQ(d.FeedAndDecode(Chunk(size, 'q') + "0\r\n\r\n"), -1);
  EXPECT_EQ(d.client.m_ErrorCode, HTTP_ERR_BODY_TOO_LARGE);
  EXPECT_EQ(d.client.m_DechunkedStream.m_Length, 0u);
}

}  // namespace
