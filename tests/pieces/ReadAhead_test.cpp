// The plain transport reads the socket ahead in large blocks; what callers see
// must stay as if every receive read at most one 8 KiB block from the socket.
#include <gtest/gtest.h>

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
  // The whole head comes in one receive; the reader still sees it 8 KiB at a
  // time, so 9000 bytes are found after the second piece and 20000 bytes
  // fail once more than 8192 are buffered without the blank line.
  struct Case {
    size_t size;
    int result;
    HttpError error;
  } cases[] = {{9000, 1, HTTP_ERR_NONE}, {20000, 0, HTTP_ERR_RESPONSE_FORMAT}};
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

TEST_F(ReadAheadTest, BytesPastAResponseStayWithTheConnection) {
  // The first response fills exactly one receive block; what follows it in
  // the same receive is read ahead. A kept connection serves it to the next
  // request; a closed one drops it and the next request gets a fresh answer.
  const std::string second = "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nsecond";
  struct Case {
    const char* connection;
    const char* body;
    int connections;
  } cases[] = {{"Keep-Alive", "second", 1}, {"close", "fresh", 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.connection);
    const std::string first = ResponseOfSize(kReceiveBlock, c.connection);
    ASSERT_EQ(static_cast<size_t>(kReceiveBlock), first.size());
    FakeSocketScript(
        {CFakeConnection().Receive(first + second),
         CFakeConnection().Receive("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfresh")});
    CHttpClient client;
    std::string response;
    ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
    EXPECT_EQ(first.substr(first.size() - 10), response.substr(response.size() - 10));
    ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
    EXPECT_EQ(c.body, response);
    EXPECT_EQ(c.connections, FakeSocketConnects());
  }
}

}  // namespace
