#include "engine/ChunkDecoder.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/HttpClient.h"
#include "platform/FileSystem.h"

namespace {

// The decoder on its own: bytes offered as response reading offers them,
// what it leaves offered again in front of the next piece.
struct Decoder {
  CChunkDecoder decoder;
  std::string raw;
  std::string body;
  HttpError error = HTTP_ERR_NONE;

  static int Keep(void* param, const char* data, unsigned int length) {
    static_cast<Decoder*>(param)->body.append(data, length);
    return 1;
  }
  int FeedAndDecode(const std::string& bytes) {
    raw += bytes;
    unsigned int used = 0;
    const int result = decoder.Decode(raw.data(), static_cast<unsigned int>(raw.size()), &used,
                                      Keep, this, &error);
    raw.erase(0, used);
    return result;
  }
  std::string Body() const { return body; }
  std::string Raw() const { return raw; }
};

// The client's adapter, with its streams and the memory limit.
struct ClientDecoder {
  CHttpClient client;

  ClientDecoder() { client.m_Chunked = 1; }

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
  // The body ends with the empty line: nothing of it is left over.
  EXPECT_EQ(d.Raw(), "");
  EXPECT_EQ(d.error, HTTP_ERR_NONE);
}

// The client's DecodeChunks takes what it decoded from m_RawStream and
// leaves what came after the body's end.
TEST(ChunkDecoder, ClientTakesDecodedBytesFromItsStream) {
  ClientDecoder d;
  EXPECT_EQ(d.client.DecodeChunks(), 0);
  EXPECT_EQ(d.FeedAndDecode("5\r\nhel"), 0);
  EXPECT_EQ(d.Raw(), "");
  EXPECT_EQ(d.FeedAndDecode("lo\r\n0\r\nX: 1\r\n\r\nnext"), 1);
  EXPECT_EQ(d.Body(), "hello");
  EXPECT_EQ(d.Raw(), "next");
  EXPECT_EQ(d.client.m_ErrorCode, HTTP_ERR_NONE);
  d.client.m_Chunked = 0;
  d.Feed("garbage");
  EXPECT_EQ(d.client.DecodeChunks(), 1);
  EXPECT_EQ(d.Raw(), "nextgarbage");
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
      ASSERT_EQ(d.error, HTTP_ERR_NONE);
    }
  }
}

// Where the body ends never depends on the cuts: with trailer lines and
// bytes of no answer behind them, every two-piece cut decodes alike and
// leaves exactly those bytes.
TEST(ChunkDecoder, EndIsTheSameForEverySplitPoint) {
  const std::string framed = "5\r\nhello\r\n0\r\nX-Sum: 1\r\nY: two\n\r\nJUNK";
  for (size_t a = 0; a <= framed.size(); ++a) {
    Decoder d;
    int result = d.FeedAndDecode(framed.substr(0, a));
    std::string unfed = framed.substr(a);
    if (result == 0) {
      result = d.FeedAndDecode(unfed);
      unfed.clear();
    }
    ASSERT_EQ(result, 1) << a;
    EXPECT_EQ(d.Body(), "hello") << a;
    EXPECT_EQ(d.Raw() + unfed, "JUNK") << a;
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
    EXPECT_EQ(d.Raw(), "") << cut;
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
  EXPECT_EQ(d.Raw(), "");
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
  return {result, d.error, d.Body()};
}

Verdict DecodeByteByByte(const std::string& bytes) {
  Decoder d;
  int result = 0;
  for (size_t i = 0; i < bytes.size() && result == 0; ++i) result = d.FeedAndDecode(bytes.substr(i, 1));
  return {result, d.error, d.Body()};
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
      // An extension ends with its line: an LF in it is a line end without its CR.
      {"a;\n", -1, kFormat}, {"a;x\ny", -1, kFormat}, {"a;x=\"\n\"", -1, kFormat},
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

// After the last chunk: trailer lines (ended like head lines), then the
// empty line that ends the body; bytes after it are left over.
TEST(ChunkDecoder, WhatFollowsTheLastChunk) {
  const std::string longest(kChunkLineLimit - 2, 't');  // with CR LF: the line limit
  struct Case {
    std::string tail;
    int result;
    HttpError error;
    std::string left;
  };
  const HttpError kNone = HTTP_ERR_NONE;
  const HttpError kFormat = HTTP_ERR_RESPONSE_FORMAT;
  const Case cases[] = {
      {"\r\n", 1, kNone, ""},
      {"\n", 1, kNone, ""},
      {"X-Trailer: 1\r\n\r\n", 1, kNone, ""},
      {"A: 1\r\nB: 2\n\n", 1, kNone, ""},
      {"\r\nHTTP/1.1 200 OK\r\n", 1, kNone, "HTTP/1.1 200 OK\r\n"},
      {"\r\nJUNK", 1, kNone, "JUNK"},
      {longest + "\r\n\r\n", 1, kNone, ""},
      // Not ended yet: more bytes may end it.
      {"", 0, kNone, ""},
      {"\r", 0, kNone, "\r"},
      {"ab", 0, kNone, "ab"},
      {"X: 1\r\n", 0, kNone, ""},
      // A trailer line, or all of them, beyond what a head may take.
      {longest + "t\r\n\r\n", -1, kFormat, ""},
      {std::string(kChunkLineLimit, 't'), -1, kFormat, ""},
  };
  for (const Case& c : cases) {
    for (int byByte = 0; byByte < 2; ++byByte) {
      Decoder d;
      const std::string bytes = "2\r\nok\r\n0\r\n" + c.tail;
      int result = 0;
      if (byByte) {
        for (size_t i = 0; i < bytes.size() && result == 0; ++i)
          result = d.FeedAndDecode(bytes.substr(i, 1));
        if (result == 1) d.raw += bytes.substr(bytes.size() - c.left.size());
      } else {
        result = d.FeedAndDecode(bytes);
      }
      EXPECT_EQ(result, c.result) << c.tail.substr(0, 40) << " " << byByte;
      EXPECT_EQ(d.error, c.error) << c.tail.substr(0, 40);
      if (result >= 0) {
        EXPECT_EQ(d.Raw(), c.left) << c.tail.substr(0, 40) << " " << byByte;
      }
    }
  }
  // The trailer lines together may take as many bytes as a head.
  const std::string line = std::string(1022, 'x') + "\r\n";  // 1024 bytes
  std::string trailer;
  for (int i = 0; i < 8; ++i) trailer += line;
  Decoder fits;
  EXPECT_EQ(fits.FeedAndDecode("0\r\n" + trailer + "\r\n"), 1);
  Decoder beyond;
  EXPECT_EQ(beyond.FeedAndDecode("0\r\n" + trailer + "y\n\r\n"), -1);
  EXPECT_EQ(beyond.error, HTTP_ERR_RESPONSE_FORMAT);
}

std::string Chunk(unsigned int size, char fill) {
  char line[16];
  snprintf(line, sizeof(line), "%x\r\n", size);
  return line + std::string(size, fill) + "\r\n";
}

// 16 chunks of 4 MiB make exactly the 64 MiB a body in memory may hold.
int FeedSixtyFourMebibytes(ClientDecoder& d) {
  const unsigned int piece = 4 * 1024 * 1024;
  for (int i = 0; i < 16; ++i) {
    int result = d.FeedAndDecode(Chunk(piece, static_cast<char>('a' + i)));
    if (result != 0) return result;
  }
  return 0;
}

TEST(ChunkDecoder, MemoryBodyLimitAppliesAsItGrows) {
  ClientDecoder d;
  ASSERT_EQ(FeedSixtyFourMebibytes(d), 0);
  EXPECT_EQ(d.client.m_DechunkedStream.m_Length, kMemoryBodyLimit);
  EXPECT_EQ(d.FeedAndDecode("1\r\nz\r\n"), -1);
  EXPECT_EQ(d.client.m_ErrorCode, HTTP_ERR_BODY_TOO_LARGE);
  EXPECT_EQ(d.client.m_DechunkedStream.m_Length, kMemoryBodyLimit);
}

// A chunk larger than any buffer passes through in the pieces it came in;
// what stays buffered never grows with it.
TEST(ChunkDecoder, ChunkOfAnySizeStreams) {
  ClientDecoder d;
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
  ClientDecoder d;
  d.client.m_DechunkedStream.m_ReallocHook = RefuseGrowth;
  const unsigned int size = d.client.m_DechunkedStream.m_Capacity + 100;
  EXPECT_EQ(d.FeedAndDecode(Chunk(size, 'q') + "0\r\n\r\n"), -1);
  EXPECT_EQ(d.client.m_ErrorCode, HTTP_ERR_BODY_TOO_LARGE);
  EXPECT_EQ(d.client.m_DechunkedStream.m_Length, 0u);
}

}  // namespace
