// The plain transport reads the socket ahead in large blocks; what callers see
// must stay as if every receive read at most one 8 KiB block from the socket.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/HttpClient.h"
#include "fakesocket/FakeSocket.h"
#include "support/CallbackLog.h"

namespace {

const char kUrl[] = "http://127.0.0.1/";

class ReadAheadTest : public ::testing::Test {
 protected:
  void SetUp() override { StartNetworkOnce(); }
};

// A whole response of exactly size bytes with a Content-Length body.
std::string ResponseOfSize(size_t size, const std::string& connection) {
  const std::string start = "HTTP/1.1 200 OK\r\nConnection: " + connection + "\r\nContent-Length: ";
  // The length field has 4 digits for every size used here.
  const size_t body = size - start.size() - 4 - 4;
  const std::string head = start + std::to_string(body) + "\r\n\r\n";
  return head + std::string(size - head.size(), 'b');
}

TEST_F(ReadAheadTest, NoPieceIsLargerThanOneReceiveBlock) {
  const std::string body(300000, 'x');
  // One receive from the socket carries more than a read-ahead block.
  FakeSocketScript(
      {CFakeConnection().Receive("HTTP/1.1 200 OK\r\nContent-Length: 300000\r\n\r\n" + body)});
  CHttpClient client;
  CallbackLog log;
  log.Attach(client);
  std::string response;
  ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
  EXPECT_EQ(body, log.m_Data);
  size_t pieces = 0;
  for (const std::string& event : log.m_Events) {
    if (event.compare(0, 5, "data ") != 0) continue;
    ++pieces;
    EXPECT_LE(std::stoi(event.substr(5)), kReceiveBlock) << event;
  }
  EXPECT_GE(pieces, body.size() / kReceiveBlock);
}

TEST_F(ReadAheadTest, HeadLimitCountsReceivesOfOneBlock) {
  // The whole head comes in one receive, read ahead whole; the limit is
  // the head's own: 8192 bytes pass, one more fails.
  struct Case {
    size_t size;
    int result;
    HttpError error;
  } cases[] = {{8192, 1, HTTP_ERR_NONE},
               {8193, 0, HTTP_ERR_RESPONSE_FORMAT},
               {20000, 0, HTTP_ERR_RESPONSE_FORMAT}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const std::string start = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nX-Pad: ";
    const std::string head = start + std::string(c.size - start.size() - 4, 'p') + "\r\n\r\n";
    FakeSocketScript({CFakeConnection().Receive(head)});
    CHttpClient client;
    CallbackLog log;
    log.Attach(client);
    std::string response;
    EXPECT_EQ(c.result, client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
    EXPECT_EQ(c.error, client.m_ErrorCode);
    EXPECT_EQ(c.result ? head : "", log.m_Head);
  }
}

// Bytes after a whole answer were asked for by no request: wherever they
// wait (in the receive block that ended the body, read ahead beyond it, or
// still on the socket), the next request goes out on a new connection and
// gets its own answer. So does one after the server's close of the idle
// connection. Only a connection with nothing left on it is used again.
TEST_F(ReadAheadTest, BytesPastAResponseNeverAnswerTheNextRequest) {
  const std::string evil = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nEVIL";
  const std::string fresh = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfresh";
  const std::string kept = "Keep-Alive";
  const std::string exact = ResponseOfSize(kReceiveBlock, kept);
  ASSERT_EQ(static_cast<size_t>(kReceiveBlock), exact.size());
  const std::string small = ResponseOfSize(1000, kept);
  // A chunked answer of exactly one receive block: one chunk whose size
  // text has four digits.
  const std::string chunkedHead =
      "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::string chunkedEnd = "\r\n0\r\n\r\n";
  const size_t data = kReceiveBlock - chunkedHead.size() - 6 - chunkedEnd.size();
  char sizeText[8];
  snprintf(sizeText, sizeof(sizeText), "%04zx", data);
  const std::string chunked = chunkedHead + sizeText + "\r\n" + std::string(data, 'c') + chunkedEnd;
  ASSERT_EQ(static_cast<size_t>(kReceiveBlock), chunked.size());
  struct Case {
    const char* name;
    CFakeConnection first;
    int connections;
  } cases[] = {
      {"in the block that ended the body", CFakeConnection().Receive(small + evil), 2},
      {"read ahead beyond that block", CFakeConnection().Receive(exact + evil), 2},
      {"chunked, read ahead beyond that block", CFakeConnection().Receive(chunked + evil), 2},
      {"waiting on the socket", CFakeConnection().Receive(exact).Unasked(evil), 2},
      {"the server closed the idle connection", CFakeConnection().Receive(exact).EndUnasked(), 2},
      {"nothing left: the connection is used again",
       CFakeConnection().Receive(exact).Receive(fresh), 1},
      {"closed by its answer",
       CFakeConnection().Receive(ResponseOfSize(kReceiveBlock, "close") + evil), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSocketScript({c.first, CFakeConnection().Receive(fresh)});
    CHttpClient client;
    std::string response;
    ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
    EXPECT_EQ(std::string::npos, response.find("EVIL"));
    ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
    EXPECT_EQ("fresh", response);
    EXPECT_EQ(c.connections, FakeSocketConnects());
  }
}

}  // namespace
