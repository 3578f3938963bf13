#include "engine/ChunkDecoder.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/HttpClient.h"
#include "platform/FileSystem.h"

namespace {

struct Decoder {
  CHttpClient client;

  Decoder() { client.m_Chunked = 1; }

  void Feed(const std::string& bytes) {
    unsigned int written = 0;
    ASSERT_EQ(client.m_RawStream.Write(bytes.data(), static_cast<unsigned int>(bytes.size()), &written), 1);
  }
  int FeedAndDecode(const std::string& bytes) {
    Feed(bytes);
    return client.DecodeChunks();
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
  EXPECT_EQ(d.client.DecodeChunks(), 0);
  d.client.m_Chunked = 0;
  d.Feed("garbage");
  EXPECT_EQ(d.client.DecodeChunks(), 1);
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
  const std::string framed = "5;" + std::string(4000, 'e') + "\r\nhello\r\n0;end\r\n\r\n";
  for (size_t cut : {size_t(1), size_t(2), size_t(9), size_t(10), size_t(11), size_t(4001),
                     size_t(4002), size_t(4003), framed.size() - 1}) {
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

// Chunk data goes on as it arrives: nothing of it waits for the rest of
// its chunk, and only an unfinished line or line end stays buffered.
TEST(ChunkDecoder, DataGoesOnAsItArrives) {
  Decoder d;
  EXPECT_EQ(d.FeedAndDecode("5\r\nhel"), 0);
  EXPECT_EQ(d.Body(), "hel");
  EXPECT_EQ(d.Raw(), "");
  EXPECT_EQ(d.FeedAndDecode("lo\r"), 0);
  EXPECT_EQ(d.Body(), "hello");
  EXPECT_EQ(d.Raw(), "\r");
  EXPECT_EQ(d.FeedAndDecode("\n0"), 0);
  EXPECT_EQ(d.Raw(), "0");
  EXPECT_EQ(d.FeedAndDecode("\r\n"), 0);
  EXPECT_EQ(d.FeedAndDecode("\r\n"), 1);
  EXPECT_EQ(d.Body(), "hello");
}

// Feeds bytes whole and one at a time: the verdict, the code and the body
// must be the same both ways.
struct Verdict {
  int result;
  HttpError error;
  std::string body;
};

Verdict DecodeWhole(const std::string& bytes) {
  Decoder d;
  const int result = d.FeedAndDecode(bytes);
  return {result, d.client.m_ErrorCode, d.Body()};
}

Verdict DecodeByteByByte(const std::string& bytes) {
  Decoder d;
  int result = 0;
  for (size_t i = 0; i < bytes.size() && result == 0; ++i) result = d.FeedAndDecode(bytes.substr(i, 1));
  return {result, d.client.m_ErrorCode, d.Body()};
}

TEST(ChunkDecoder, SizeLines) {
  const HttpError kNone = HTTP_ERR_NONE;
  const HttpError kFormat = HTTP_ERR_RESPONSE_FORMAT;
  struct Case {
    std::string size;
    int result;  // with ten data bytes and a last chunk behind it
    HttpError error;
  };
  const Case cases[] = {
      {"a", 1, kNone}, {"A", 1, kNone}, {"00000a", 1, kNone}, {"0000000a", 1, kNone},
      {std::string(100, '0') + "a", 1, kNone},
      {"a;x=1", 1, kNone}, {"a ;y", 1, kNone}, {"a\t;y", 1, kNone}, {"a ", 1, kNone},
      {"a;name=value", 1, kNone}, {"00000a;", 1, kNone},
      {"a;a-very-long-extension-name=\"and a quoted value; with more\"", 1, kNone},
      // Anything else is refused at once, with a reason.
      {"0xa", -1, kFormat}, {"0XA", -1, kFormat}, {"+a", -1, kFormat}, {" a", -1, kFormat},
      {"-1", -1, kFormat}, {"1g", -1, kFormat}, {"zz", -1, kFormat}, {";ext", -1, kFormat},
      {"", -1, kFormat},  // a stray CR LF where a size line belongs
      {"a b", -1, kFormat}, {"a;\r", -1, kFormat}, {"a\n", -1, kFormat},
      // Beyond 63 bits, or a line too long to be meant.
      {"8000000000000000", -1, HTTP_ERR_CHUNK_TOO_LARGE},
      {"ffffffffffffffffffff", -1, HTTP_ERR_CHUNK_TOO_LARGE},
      {"a;" + std::string(kChunkLineLimit, 'e'), -1, kFormat},
      {std::string(kChunkLineLimit, '0') + "a", -1, kFormat},
  };
  for (const Case& c : cases) {
    const std::string bytes = c.size + "\r\n0123456789\r\n0\r\n\r\n";
    for (const Verdict& v : {DecodeWhole(bytes), DecodeByteByByte(bytes)}) {
      EXPECT_EQ(v.result, c.result) << c.size;
      EXPECT_EQ(v.error, c.error) << c.size;
      EXPECT_EQ(v.body, c.result == 1 ? "0123456789" : "") << c.size;
    }
  }
}

// The data is followed by CR LF, or the sizes did not count what was sent.
TEST(ChunkDecoder, DataMustEndWithItsLineEnd) {
  const struct {
    const char* framed;
    const char* bodyBefore;  // what went on before the fault showed
  } cases[] = {
      {"3\r\nabcd\r\n0\r\n\r\n", "abc"},
      {"5\r\nabcdeXY0\r\n\r\n", "abcde"},
      {"5\r\nabcde\r0\r\n\r\n", "abcde"},
      {"5\r\nabcde\n0\r\n\r\n", "abcde"},
      // a size that counts characters, not bytes
      {"5\r\nh\xc3\xa9llo\r\n5\r\nworld\r\n0\r\n\r\n", "h\xc3\xa9ll"},
  };
  for (const auto& c : cases) {
    for (const Verdict& v : {DecodeWhole(c.framed), DecodeByteByByte(c.framed)}) {
      EXPECT_EQ(v.result, -1) << c.framed;
      EXPECT_EQ(v.error, HTTP_ERR_RESPONSE_FORMAT) << c.framed;
      EXPECT_EQ(v.body, c.bodyBefore) << c.framed;
    }
  }
}

TEST(ChunkDecoder, ReadChunkSizeLineLimits) {
  uint64_t size = 77;
  size_t used = 0;
  HttpError error = HTTP_ERR_NONE;
  EXPECT_EQ(ReadChunkSizeLine("7fffffffffffffff\r\n", 18, &size, &used, &error), 1);
  EXPECT_EQ(size, 0x7fffffffffffffffull);
  EXPECT_EQ(used, 18u);
  // Still a beginning: more bytes may end the line well.
  EXPECT_EQ(ReadChunkSizeLine("7f", 2, &size, &used, &error), 0);
  EXPECT_EQ(ReadChunkSizeLine("7f\r", 3, &size, &used, &error), 0);
  EXPECT_EQ(ReadChunkSizeLine("", 0, &size, &used, &error), 0);
  const std::string longest = "1;" + std::string(kChunkLineLimit - 4, 'e') + "\r\n";
  EXPECT_EQ(ReadChunkSizeLine(longest.data(), longest.size(), &size, &used, &error), 1);
  EXPECT_EQ(used, kChunkLineLimit);
  const std::string tooLong = "1;" + std::string(kChunkLineLimit - 3, 'e') + "\r\n";
  EXPECT_EQ(ReadChunkSizeLine(tooLong.data(), tooLong.size(), &size, &used, &error), -1);
  EXPECT_EQ(error, HTTP_ERR_RESPONSE_FORMAT);
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

// A chunk larger than any buffer passes through in the pieces it came in;
// what stays buffered never grows with it.
TEST(ChunkDecoder, ChunkOfAnySizeStreams) {
  Decoder d;
  const unsigned int size = 20 * 1024 * 1024;
  char line[32];
  snprintf(line, sizeof(line), "%x\r\n", size);
  ASSERT_EQ(d.FeedAndDecode(line), 0);
  const std::string piece(8192, 'p');
  unsigned int fed = 0;
  unsigned int mostBuffered = 0;
  while (fed < size) {
    ASSERT_EQ(d.FeedAndDecode(piece), 0);
    fed += static_cast<unsigned int>(piece.size());
    if (d.client.m_RawStream.m_Length > mostBuffered) mostBuffered = d.client.m_RawStream.m_Length;
  }
  EXPECT_EQ(d.FeedAndDecode("\r\n0\r\n\r\n"), 1);
  EXPECT_EQ(mostBuffered, 0u);
  EXPECT_EQ(d.client.m_DechunkedStream.m_Length, size);
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
