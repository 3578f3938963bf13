// How large a body may be, by where it goes: one kept in memory is bounded
// (as announced, and as it grows), one for a file is not, past 4 GiB
// included, and none of a file's body is held in memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/HttpClient.h"
#include "fakesocket/FakeSocket.h"
#include "frontend/Inflater.h"
#include "support/BodyCoding.h"
#include "support/CallbackLog.h"
#include "support/TempDir.h"

namespace {

const char kUrl[] = "http://127.0.0.1/f";
const uint64_t kFourGiB = 4294967296ull;

class BodySizeTest : public ::testing::Test {
 protected:
  void SetUp() override { StartNetworkOnce(); }
  TempDir m_Dir;
};

TEST_F(BodySizeTest, MemoryBoundHoldsForBodiesKeptInMemoryOnly) {
  const std::string tooLarge = "HTTP/1.1 404 Not Found\r\nContent-Length: 67108865\r\n\r\n";
  const std::string threeGiB = "HTTP/1.1 200 OK\r\nContent-Length: 3221225472\r\n\r\n";
  struct Case {
    const char* name;
    bool download;
    std::string head;
    HttpError code;
  } cases[] = {
      {"request over 64 MiB", false, "HTTP/1.1 200 OK\r\nContent-Length: 67108865\r\n\r\n",
       HTTP_ERR_BODY_TOO_LARGE},
      {"request of 3 GiB, not cut to 32 bits", false, threeGiB, HTTP_ERR_BODY_TOO_LARGE},
      // The answer of another status goes to memory, a download's too.
      {"download of a 404 over 64 MiB", true, tooLarge, HTTP_ERR_BODY_TOO_LARGE},
      // A 2xx body for the file is read until the peer's close cuts it.
      {"download of 3 GiB", true, threeGiB, HTTP_ERR_DISCONNECTED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSocketScript({CFakeConnection().Receive(c.head).Close()});
    CHttpClient client;
    std::string response = "untouched";
    const std::string path = m_Dir.File("out.bin");
    const int ok = c.download ? client.Download(kUrl, path.c_str(), response, nullptr, 0, 0)
                              : client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0);
    EXPECT_EQ(0, ok);
    EXPECT_EQ(c.code, client.m_ErrorCode);
    EXPECT_EQ("untouched", response);
    EXPECT_FALSE(TempDir::Exists(path));
  }
}

// Counts the body's bytes and writes none of them.
class CCountingDecoder : public CBodyDecoder {
 public:
  int Begin(const std::vector<ContentCoding>&) override { return 1; }
  int Decode(const char*, size_t length, BodyWriter, void*) override {
    m_Bytes += length;
    return 1;
  }
  int End() override { return 1; }
  int Failed() const override { return 0; }
  uint64_t m_Bytes = 0;
};

void LastDone(CHttpClient*, uint64_t, uint64_t done, void* param) {
  *static_cast<uint64_t*>(param) = done;
}

// 4 GiB and a little more in 1 MiB chunks, played from one chunk: the count
// of bytes must not wrap at 32 bits anywhere on the way to the file.
TEST_F(BodySizeTest, ChunkedBodyPastFourGiBReachesItsFileWhole) {
  const size_t chunkSize = 1 << 20;
  const uint64_t chunks = kFourGiB / chunkSize + 3;
  const std::string chunk = "100000\r\n" + std::string(chunkSize, 'c') + "\r\n";
  // A coding is named, so the body is offered to the decoder.
  FakeSocketScript({CFakeConnection()
                        .Receive("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n")
                        .ReceiveRepeated(chunk, chunks)
                        .Receive("0\r\n\r\n")});
  CCountingDecoder counter;
  uint64_t done = 0;
  CHttpClient client;
  client.m_BodyDecoder = &counter;
  client.m_ProgressCallback = LastDone;
  client.m_CallbackParam = &done;
  std::string response;
  const std::string path = m_Dir.File("big.bin");
  ASSERT_EQ(1, client.Download(kUrl, path.c_str(), response, nullptr, 0, 0));
  EXPECT_EQ(chunks * chunkSize, counter.m_Bytes);
  EXPECT_EQ(chunks * chunk.size() + 5, done);
  unsigned int held = 0;
  client.GetBody(&held);
  EXPECT_EQ(0u, held);
}

int CountBytes(void* param, const char*, size_t length) {
  *static_cast<uint64_t*>(param) += length;
  return 1;
}

// A gzip body of many members that decodes to more than 4 GiB. The members
// are made at the fastest level: its matches reach back far, and decode
// many times faster than the one-byte-back matches of the best level, which
// wait on each byte just written.
TEST_F(BodySizeTest, GzipPastFourGiBDecodesWhole) {
  const size_t memberSize = 4 << 20;
  const std::string member = Deflate(std::string(memberSize, '\0'), 31, 1);
  const uint64_t members = kFourGiB / memberSize + 2;
  CInflater inflater;
  inflater.Begin(CODING_GZIP);
  uint64_t decoded = 0;
  for (uint64_t i = 0; i < members; ++i) {
    ASSERT_EQ(INFLATE_OK, inflater.Feed(member.data(), member.size(), CountBytes, &decoded));
  }
  EXPECT_EQ(INFLATE_OK, inflater.Finish());
  EXPECT_EQ(members * memberSize, decoded);
}

}  // namespace
