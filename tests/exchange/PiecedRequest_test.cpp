// Requests into memory where the test decides what every receive hands out:
// bodies and heads split across receives, failures after part of a body,
// a kept connection the server closed. The callbacks per receive, in memory
// and in a file, are one table in PiecedDownload_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/HttpClient.h"
#include "fakesocket/FakeSocket.h"
#include "support/CallbackLog.h"
#include "support/Responses.h"
#include "support/TempDir.h"

namespace {

const char kUrl[] = "http://127.0.0.1/";

class PiecedRequestTest : public ::testing::Test {
 protected:
  void SetUp() override { StartNetworkOnce(); }
};

struct BodyCase {
  const char* name;
  CFakeConnection reply;
  std::string response;  // what Request hands back
  std::string body;      // what GetBody gives
  int chunked;
};

TEST_F(PiecedRequestTest, BodiesIntoMemory) {
  const std::string zeroInside("ab\0de", 5);
  const std::vector<BodyCase> cases = {
      {"by length in one receive",
       CFakeConnection().Receive("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789"),
       "0123456789", "0123456789", 0},
      {"by length over several receives",
       CFakeConnection()
           .Receive("HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\nhel")
           .Receive("lo wo")
           .Receive("rld!"),
       "hello world!", "hello world!", 0},
      {"by chunks",
       CFakeConnection()
           .Receive("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel")
           .Receive("lo\r\n6\r\n world\r\n0\r\n\r\n"),
       "hello world", "hello world", 1},
      {"chunks all in the head's receive",
       CFakeConnection().Receive(
           "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n"),
       "abc", "abc", 1},
      {"a zero byte cuts the text, not the body",
       CFakeConnection().Receive(std::string("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n") +
                                 zeroInside),
       "ab", zeroInside, 0},
      {"bytes beyond the length are no body",
       CFakeConnection().Receive("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcEXTRA"), "abc",
       "abc", 0},
      {"bytes beyond the length in a later receive",
       CFakeConnection()
           .Receive("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nab")
           .Receive("cdEXTRA"),
       "abcd", "abcd", 0},
      {"no length and no chunks is an empty body",
       CFakeConnection().Receive("HTTP/1.1 200 OK\r\n\r\nnot a body"), "", "", 0},
  };
  for (const BodyCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSocketScript({c.reply});
    CHttpClient client;
    std::string response = "untouched";
    ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
    EXPECT_EQ(c.response, response);
    unsigned int length = 0;
    const char* body = client.GetBody(&length);
    EXPECT_EQ(c.body, std::string(body, length));
    EXPECT_EQ(c.chunked, client.m_Chunked);
    EXPECT_EQ(HTTP_ERR_NONE, client.m_ErrorCode);
    EXPECT_EQ(200, client.m_StatusCode);
  }
}

TEST_F(PiecedRequestTest, HeadFoundAcrossSplitReceives) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n";
  // One byte per receive: the blank line is found across four of them.
  FakeSocketScript({CFakeConnection().ReceiveInPieces(head, 1).Receive("ok")});
  CHttpClient client;
  std::string response;
  ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
  EXPECT_EQ(head, client.m_ResponseHead);
  EXPECT_EQ("ok", response);
}

// A head is taken when its empty line ends within 8192 bytes, and refused
// otherwise, however its bytes are cut into receives.
TEST_F(PiecedRequestTest, HeadLimit) {
  const size_t sizes[] = {8192, 8193, 9000, 13000};
  const size_t pieces[] = {1, 500, 4096, 8192, 20000};
  for (size_t size : sizes) {
    for (size_t piece : pieces) {
      SCOPED_TRACE(std::to_string(size) + " bytes in pieces of " + std::to_string(piece));
      FakeSocketScript({CFakeConnection().ReceiveInPieces(LongHead(size), piece)});
      CHttpClient client;
      CallbackLog log;
      log.Attach(client);
      std::string response;
      if (size <= 8192) {
        EXPECT_EQ(1, client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
        EXPECT_EQ(200, client.m_StatusCode);
        EXPECT_EQ(size, client.m_ResponseHead.size());
        continue;
      }
      EXPECT_EQ(0, client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
      EXPECT_EQ(HTTP_ERR_RESPONSE_FORMAT, client.m_ErrorCode);
      EXPECT_TRUE(log.m_Events.empty());
      EXPECT_EQ(INVALID_SOCKET_HANDLE, client.m_Connection.m_Socket);
      EXPECT_TRUE(FakeSocketClosed(0));
    }
  }
}

std::string ChunksOf(const std::vector<size_t>& sizes) {
  std::string framed;
  char line[32];
  for (size_t size : sizes) {
    snprintf(line, sizeof(line), "%zx\r\n", size);
    framed += line + std::string(size, 'c') + "\r\n";
  }
  return framed + "0\r\n\r\n";
}

// What an answer is taken for, and why it is refused, never depends on how
// its bytes are cut into receives. The connection closes after the bytes,
// so an answer taken as unfinished fails as cut off instead.
TEST_F(PiecedRequestTest, VerdictDoesNotDependOnHowBytesAreCut) {
  const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::string big1 = ChunksOf({1000, 8388000, 1000});
  const std::string big2 = ChunksOf({8388500, 5000});
  const struct {
    const char* name;
    std::string reply;
    int result;
    HttpError error;
    size_t bodySize;
    std::vector<size_t> pieces;
  } cases[] = {
      {"lines ending in LF alone", "HTTP/1.1 200 OK\nContent-Length: 5\n\nhello", 1,
       HTTP_ERR_NONE, 5, {1, 2, 3, 7}},
      {"mixed line ends", "HTTP/1.1 200 OK\r\nContent-Length: 5\n\r\nhello", 1, HTTP_ERR_NONE, 5,
       {1, 2, 3, 7}},
      {"304 with a length", "HTTP/1.1 304 Not Modified\r\nContent-Length: 1234\r\n\r\n", 1,
       HTTP_ERR_NONE, 0, {1, 2, 3, 7}},
      {"204 with chunks", "HTTP/1.1 204 No Content\r\nTransfer-Encoding: chunked\r\n\r\n", 1,
       HTTP_ERR_NONE, 0, {1, 2, 3, 7}},
      {"204 with bytes after it", "HTTP/1.1 204 No Content\r\nContent-Length: 6\r\n\r\nhello\n",
       1, HTTP_ERR_NONE, 0, {1, 2, 3, 7}},
      {"leading zeros", chunked + "00000005\r\nhello\r\n0000\r\n\r\n", 1, HTTP_ERR_NONE, 5,
       {1, 2, 3, 7}},
      {"data longer than its size", chunked + "3\r\nabcd\r\n0\r\n\r\n", 0,
       HTTP_ERR_RESPONSE_FORMAT, 0, {1, 2, 3, 7}},
      {"no line end after data", chunked + "5\r\nabcdeXY0\r\n\r\n", 0, HTTP_ERR_RESPONSE_FORMAT,
       0, {1, 2, 3, 7}},
      {"stray line end for a size", chunked + "5\r\nhello\r\n\r\n0\r\n\r\n", 0,
       HTTP_ERR_RESPONSE_FORMAT, 0, {1, 2, 3, 7}},
      {"size beyond 63 bits", chunked + "ffffffffffffffff0\r\n", 0, HTTP_ERR_CHUNK_TOO_LARGE, 0,
       {1, 2, 3, 7}},
      {"two spaces in the status line", "HTTP/1.1  200 OK\r\nContent-Length: 0\r\n\r\n", 0,
       HTTP_ERR_RESPONSE_FORMAT, 0, {1, 2, 3, 7}},
      {"chunks of 1000, 8388000, 1000", chunked + big1, 1, HTTP_ERR_NONE, 8390000,
       {1000, 8192, 100000}},
      {"chunks of 8388500, 5000", chunked + big2, 1, HTTP_ERR_NONE, 8393500, {1000, 8192, 100000}},
  };
  for (const auto& c : cases) {
    std::vector<size_t> pieces = c.pieces;
    pieces.push_back(c.reply.size());
    for (size_t piece : pieces) {
      SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
      FakeSocketScript({CFakeConnection().ReceiveInPieces(c.reply, piece)});
      CHttpClient client;
      std::string response;
      EXPECT_EQ(c.result, client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
      EXPECT_EQ(c.error, client.m_ErrorCode);
      if (c.result) {
        unsigned int length = 0;
        client.GetBody(&length);
        EXPECT_EQ(c.bodySize, length);
      }
    }
  }
}

TEST_F(PiecedRequestTest, FailuresAfterPartOfTheAnswer) {
  const std::string partial = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart";
  struct Case {
    const char* name;
    CFakeConnection connection;
    HttpError code;
    bool headSeen;
  } cases[] = {
      {"close before any answer", CFakeConnection().Close(), HTTP_ERR_DISCONNECTED, false},
      {"close mid-head", CFakeConnection().Receive("HTTP/1.1 200 OK\r\n").Close(),
       HTTP_ERR_DISCONNECTED, false},
      {"close mid-body", CFakeConnection().Receive(partial).Close(), HTTP_ERR_DISCONNECTED, true},
      {"reset mid-body", CFakeConnection().Receive(partial).Reset(), HTTP_ERR_NETWORK, true},
      {"time-out mid-body", CFakeConnection().Receive(partial).TimeOut(), HTTP_ERR_NETWORK, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSocketScript({c.connection});
    CHttpClient client;
    CallbackLog log;
    log.Attach(client);
    std::string response = "untouched";
    EXPECT_EQ(0, client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
    EXPECT_EQ(c.code, client.m_ErrorCode);
    EXPECT_EQ("untouched", response);
    EXPECT_EQ(INVALID_SOCKET_HANDLE, client.m_Connection.m_Socket);
    EXPECT_TRUE(FakeSocketClosed(0));
    EXPECT_EQ(c.headSeen, !log.m_Events.empty() && log.m_Events[0] == "head");
  }
}

// A request on a kept connection that the server ended before any byte of
// the answer came goes once more on a new connection; nothing else does.
TEST_F(PiecedRequestTest, KeptConnectionEndedByTheServer) {
  const std::string kept = "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 0\r\n\r\n";
  const std::string fresh = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfresh";
  const CFakeConnection answers = CFakeConnection().Receive(fresh);
  struct Case {
    const char* name;
    HttpMethod method;  // of the second request
    std::vector<CFakeConnection> connections;
    int result;
    HttpError code;
    int connects;
  } cases[] = {
      {"closed: sent again", HTTP_METHOD_GET, {CFakeConnection().Receive(kept).Close(), answers}, 1,
       HTTP_ERR_NONE, 2},
      {"reset: sent again", HTTP_METHOD_GET, {CFakeConnection().Receive(kept).Reset(), answers}, 1,
       HTTP_ERR_NONE, 2},
      {"a HEAD too", HTTP_METHOD_HEAD, {CFakeConnection().Receive(kept).Close(), answers}, 1,
       HTTP_ERR_NONE, 2},
      {"a POST is never sent twice", HTTP_METHOD_POST,
       {CFakeConnection().Receive(kept).Close(), answers}, 0, HTTP_ERR_DISCONNECTED, 1},
      {"a time-out is no close", HTTP_METHOD_GET, {CFakeConnection().Receive(kept).TimeOut(), answers},
       0, HTTP_ERR_NETWORK, 1},
      {"part of the answer came", HTTP_METHOD_GET,
       {CFakeConnection().Receive(kept).Receive("HTTP/1.1 2").Close(), answers}, 0,
       HTTP_ERR_DISCONNECTED, 1},
      {"only once", HTTP_METHOD_GET,
       {CFakeConnection().Receive(kept).Close(), CFakeConnection().Close(), answers}, 0,
       HTTP_ERR_DISCONNECTED, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSocketScript(c.connections);
    CHttpClient client;
    std::string response = "untouched";
    ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
    const char* body = c.method == HTTP_METHOD_POST ? "data" : nullptr;
    EXPECT_EQ(c.result, client.Request(c.method, kUrl, response, body, body ? 4 : 0));
    EXPECT_EQ(c.code, client.m_ErrorCode);
    EXPECT_EQ(c.connects, FakeSocketConnects());
    // The second request went out on the kept connection first.
    const std::string sent = FakeSocketSent(0);
    const std::string second = sent.substr(sent.find("\r\n\r\n") + 4);
    EXPECT_EQ(c.method == HTTP_METHOD_POST ? "POST" : c.method == HTTP_METHOD_HEAD ? "HEAD" : "GET",
              second.substr(0, second.find(' ')));
    if (c.connects == 2) {
      EXPECT_EQ(second, FakeSocketSent(1));
    }
    if (c.result && c.method == HTTP_METHOD_GET) {
      EXPECT_EQ("fresh", response);
    }
  }
}

// An upload takes the road of every request: on a kept connection that the
// server ended it is, as a POST, never sent twice, and what went out is the
// one multipart body.
TEST_F(PiecedRequestTest, UploadOnAKeptConnectionEndedByTheServerIsNotSentAgain) {
  const std::string kept = "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 0\r\n\r\n";
  FakeSocketScript({CFakeConnection().Receive(kept).Close(),
                    CFakeConnection().Receive("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n")});
  TempDir dir;
  const std::string path = dir.File("a.txt");
  TempDir::WriteFile(path, "file bytes");
  CHttpClient client;
  std::string response;
  ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
  EXPECT_EQ(0, client.Upload(kUrl, path.c_str(), response));
  EXPECT_EQ(HTTP_ERR_DISCONNECTED, client.m_ErrorCode);
  EXPECT_EQ(1, FakeSocketConnects());
  const std::string sent = FakeSocketSent(0);
  const std::string upload = sent.substr(sent.find("\r\n\r\n") + 4);
  EXPECT_EQ(0u, upload.find("POST / HTTP/1.1\r\n"));
  EXPECT_NE(std::string::npos, upload.find("file bytes"));
}

// A request on a connection of its own that ends before any answer fails
// at once: nothing says that the server did not take it.
TEST_F(PiecedRequestTest, NewConnectionEndedByTheServerIsNotSentAgain) {
  FakeSocketScript({CFakeConnection().Close(), CFakeConnection().Receive("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n")});
  CHttpClient client;
  std::string response;
  EXPECT_EQ(0, client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
  EXPECT_EQ(HTTP_ERR_DISCONNECTED, client.m_ErrorCode);
  EXPECT_EQ(1, FakeSocketConnects());
}

// Interim answers come before the final one, in any cut of receives; only
// the final head is parsed and reported, its body read. A 101 is an answer
// of its own, and a zero byte fails an interim head like any other.
TEST_F(PiecedRequestTest, InterimAnswersBeforeTheFinalOne) {
  const std::string final = "HTTP/1.1 200\r\nContent-Length: 5\r\n\r\nhello";
  const std::string interims =
      "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a.css>\r\n\r\n";
  struct Case {
    const char* name;
    CFakeConnection reply;
    HttpMethod method;
    int result;
    int status;
    std::string head;
    std::string response;
  } cases[] = {
      {"in one receive", CFakeConnection().Receive(interims + final), HTTP_METHOD_GET, 1, 200,
       "HTTP/1.1 200\r\nContent-Length: 5\r\n\r\n", "hello"},
      {"a byte per receive", CFakeConnection().ReceiveInPieces(interims + final, 1),
       HTTP_METHOD_GET, 1, 200, "HTTP/1.1 200\r\nContent-Length: 5\r\n\r\n", "hello"},
      {"to a HEAD request",
       CFakeConnection().Receive(interims).Receive("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n"),
       HTTP_METHOD_HEAD, 1, 200, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n", ""},
      {"101 is the answer",
       CFakeConnection().Receive("HTTP/1.1 101 Switching Protocols\r\n\r\n" + final),
       HTTP_METHOD_GET, 1, 101, "HTTP/1.1 101 Switching Protocols\r\n\r\n", ""},
      {"zero byte in an interim head",
       CFakeConnection().Receive(std::string("HTTP/1.1 100 \0\r\n\r\n", 18) + final),
       HTTP_METHOD_GET, 0, 0, "", "untouched"},
      {"no final answer", CFakeConnection().Receive(interims), HTTP_METHOD_GET, 0, 0, "",
       "untouched"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSocketScript({c.reply});
    CHttpClient client;
    CallbackLog log;
    log.Attach(client);
    std::string response = "untouched";
    EXPECT_EQ(c.result, client.Request(c.method, kUrl, response, nullptr, 0));
    EXPECT_EQ(c.status, client.m_StatusCode);
    EXPECT_EQ(c.head, log.m_Head);
    EXPECT_EQ(c.response, response);
    EXPECT_EQ(c.head.empty() ? 0 : 1, std::count(log.m_Events.begin(), log.m_Events.end(), "head"));
    // The final status line has no reason; none of an interim one stays.
    if (c.status == 200 && c.method == HTTP_METHOD_GET) {
      EXPECT_EQ("", client.m_ReasonPhrase);
    }
  }
}

}  // namespace
