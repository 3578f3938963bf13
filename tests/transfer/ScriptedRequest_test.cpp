// Requests into memory against a scripted server on 127.0.0.1: the bytes on
// the wire, response reading, result codes, callbacks and connection reuse.
// Receives cut at chosen places are in tests/exchange/PiecedRequest_test.cpp.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/HttpClient.h"
#include "support/CallbackLog.h"
#include "support/RequestText.h"
#include "support/ScriptedServer.h"

namespace {

const char kEmptyOk[] = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";

class RequestTest : public ::testing::Test {
 protected:
  void SetUp() override { StartNetworkOnce(); }
};

// ---------------------------------------------------------------------------
// What goes out on the wire.

struct WireCase {
  const char* name;
  int method;
  const char* path;
  const char* body;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string expected;  // with {D} standing for the default headers
};

std::string Expand(std::string text) {
  const std::string::size_type at = text.find("{D}");
  if (at != std::string::npos) text.replace(at, 3, DefaultRequestHeaders());
  return text;
}

TEST_F(RequestTest, RequestBytesOnTheWire) {
  const std::vector<WireCase> cases = {
      {"get", HTTP_METHOD_GET, "/x?a=1", nullptr, {},
       "GET /x?a=1 HTTP/1.1\r\n{D}Content-Length: 0\r\n\r\n"},
      {"head carries a zero length", HTTP_METHOD_HEAD, "/", nullptr, {},
       "HEAD / HTTP/1.1\r\n{D}Content-Length: 0\r\n\r\n"},
      {"post with body", HTTP_METHOD_POST, "/form", "a=1&b=2", {},
       "POST /form HTTP/1.1\r\n{D}Content-Length: 7\r\n\r\na=1&b=2"},
      {"unknown method", 7, "/", nullptr, {},
       "GET / HTTP/1.1\r\n{D}Content-Length: 0\r\n\r\n"},
      {"user headers in byte order", HTTP_METHOD_GET, "/", nullptr,
       {{"accept", "x/y"}, {"Zeta", "1"}, {"Connection", "Keep-Alive"}},
       "GET / HTTP/1.1\r\nConnection: Keep-Alive\r\nZeta: 1\r\naccept: x/y\r\n"
       "Host: 127.0.0.1\r\nAccept-Encoding: identity, gzip, deflate\r\nUser-Agent: \r\n"
       "Content-Length: 0\r\n\r\n"},
  };
  for (const WireCase& c : cases) {
    SCOPED_TRACE(c.name);
    CScriptedServer server(CServerScript::OneReply(kEmptyOk));
    ASSERT_TRUE(server.IsListening());
    CHttpClient client;
    for (const auto& h : c.headers) client.AddHeader(h.first, h.second);
    std::string response;
    const int bodyLen = c.body ? static_cast<int>(strlen(c.body)) : 0;
    ASSERT_EQ(1, client.Request(static_cast<HttpMethod>(c.method), server.Url(c.path).c_str(),
                                response, c.body, bodyLen));
    ASSERT_TRUE(server.WaitForRequests(1));
    EXPECT_EQ(Expand(c.expected), server.Request(0));
  }
}

// ---------------------------------------------------------------------------
// Bodies into memory.

TEST_F(RequestTest, BodyFillingTheWholeBufferHasNoTerminator) {
  const std::string body(65536, 'q');
  CScriptedServer server(
      CServerScript::OneReply("HTTP/1.1 200 OK\r\nContent-Length: 65536\r\n\r\n" + body));
  CHttpClient client;
  std::string response;
  ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, server.Url("/").c_str(), response, nullptr, 0));
  EXPECT_EQ(body, response);
  unsigned int length = 0;
  client.GetBody(&length);
  EXPECT_EQ(65536u, length);
}

TEST_F(RequestTest, StatusOutsideSuccessIsNoFailure) {
  CScriptedServer server(
      CServerScript::OneReply("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here!"));
  CHttpClient client;
  std::string response;
  ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, server.Url("/").c_str(), response, nullptr, 0));
  EXPECT_EQ(404, client.m_StatusCode);
  EXPECT_EQ("Not Found", client.m_ReasonPhrase);
  EXPECT_EQ(0, client.IsSuccess());
  EXPECT_EQ(HTTP_ERR_NONE, client.m_ErrorCode);
  EXPECT_EQ("not here!", response);
}

TEST_F(RequestTest, HeadReadsNoBody) {
  struct Case {
    const char* name;
    const char* reply;
  } cases[] = {
      {"announced length", "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n"},
      {"beyond the memory limit", "HTTP/1.1 200 OK\r\nContent-Length: 67108865\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CScriptedServer server(CServerScript::OneReply(c.reply));
    CHttpClient client;
    CallbackLog log;
    log.Attach(client);
    std::string response;
    ASSERT_EQ(1, client.Request(HTTP_METHOD_HEAD, server.Url("/").c_str(), response, nullptr, 0));
    EXPECT_EQ(HTTP_ERR_NONE, client.m_ErrorCode);
    EXPECT_EQ(std::vector<std::string>{"head"}, log.m_Events);
    EXPECT_EQ("", response);
  }
}

// ---------------------------------------------------------------------------
// Failures and their codes.

TEST_F(RequestTest, FailuresRecordTheirCode) {
  unsigned short closedPort = 0;
  {
    CScriptedServer gone(CServerScript::OneReply(kEmptyOk));
    closedPort = gone.Port();
  }
  struct Case {
    const char* name;
    std::unique_ptr<CScriptedServer> server;  // null: the URL says where
    std::string url;
    HttpError code;
    bool headSeen;
  };
  std::vector<Case> cases;
  auto scripted = [](CExchange e) { return std::unique_ptr<CScriptedServer>(new CScriptedServer({{e}})); };
  cases.push_back({"refused connect", nullptr,
                   "http://127.0.0.1:" + std::to_string(closedPort) + "/", HTTP_ERR_CONNECT, false});
  cases.push_back({"port 0", nullptr, "http://127.0.0.1:0/", HTTP_ERR_URL_FORMAT, false});
  cases.push_back({"port 65535", nullptr, "http://127.0.0.1:65535/", HTTP_ERR_CONNECT, false});
  cases.push_back({"scheme not http", nullptr, "ftp://127.0.0.1/", HTTP_ERR_URL_FORMAT, false});
  cases.push_back({"line end in the path", nullptr,
                   "http://127.0.0.1:" + std::to_string(closedPort) + "/a\r\nX: 1",
                   HTTP_ERR_URL_FORMAT, false});
  cases.push_back({"status line without a blank",
                   scripted(Exchange().Reply("HTTP/1.1-200-OK\r\nContent-Length: 0\r\n\r\n")), "",
                   HTTP_ERR_RESPONSE_FORMAT, true});
  cases.push_back({"memory body over 64 MiB",
                   scripted(Exchange().Reply("HTTP/1.1 200 OK\r\nContent-Length: 67108865\r\n\r\n")), "",
                   HTTP_ERR_BODY_TOO_LARGE, true});
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string url = c.server ? c.server->Url("/") : c.url;
    CHttpClient client;
    CallbackLog log;
    log.Attach(client);
    std::string response = "untouched";
    EXPECT_EQ(0, client.Request(HTTP_METHOD_GET, url.c_str(), response, nullptr, 0));
    EXPECT_EQ(c.code, client.m_ErrorCode);
    EXPECT_EQ("untouched", response);
    EXPECT_EQ(INVALID_SOCKET_HANDLE, client.m_Connection.m_Socket);
    EXPECT_EQ(nullptr, client.m_Connection.m_Ssl);
    EXPECT_EQ(c.headSeen, !log.m_Events.empty() && log.m_Events[0] == "head");
  }
}

TEST_F(RequestTest, MemoryBodyOfExactly64MiBIsAccepted) {
  // The body never comes; the head alone must pass the limit, so the failure
  // is the closed connection, not the size.
  CScriptedServer server(
      {{Exchange().Send("HTTP/1.1 200 OK\r\nContent-Length: 67108864\r\n\r\n").Close()}});
  CHttpClient client;
  std::string response;
  EXPECT_EQ(0, client.Request(HTTP_METHOD_GET, server.Url("/").c_str(), response, nullptr, 0));
  EXPECT_EQ(HTTP_ERR_DISCONNECTED, client.m_ErrorCode);
  EXPECT_EQ(200, client.m_StatusCode);
}

TEST_F(RequestTest, ErrorCodeStartsClearAfterAFailure) {
  CScriptedServer server(CServerScript::OneReply(kEmptyOk));
  CHttpClient client;
  std::string response;
  EXPECT_EQ(0, client.Request(HTTP_METHOD_GET, "http://127.0.0.1:0/", response, nullptr, 0));
  EXPECT_EQ(HTTP_ERR_URL_FORMAT, client.m_ErrorCode);
  EXPECT_EQ(1, client.Request(HTTP_METHOD_GET, server.Url("/").c_str(), response, nullptr, 0));
  EXPECT_EQ(HTTP_ERR_NONE, client.m_ErrorCode);
}

TEST_F(RequestTest, ClientWithoutStreamsSendsNothing) {
  CScriptedServer server(CServerScript::OneReply(kEmptyOk));
  CHttpClient client;
  client.m_StreamsReady = 0;
  std::string response;
  EXPECT_EQ(0, client.Request(HTTP_METHOD_GET, server.Url("/").c_str(), response, nullptr, 0));
  EXPECT_EQ(HTTP_ERR_NETWORK, client.m_ErrorCode);
  server.Stop();
  EXPECT_EQ(0, server.ConnectionCount());
}

void* NoGrowth(void*, unsigned int) { return nullptr; }

TEST_F(RequestTest, BodyThatCannotBeHeldFails) {
  // 70000 bytes outgrow the 64 KiB block; the growth is refused.
  const std::string body(70000, 'b');
  struct Case {
    const char* name;
    std::string reply;
  } cases[] = {
      {"by length", "HTTP/1.1 200 OK\r\nContent-Length: 70000\r\n\r\n" + body},
      {"by chunks", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n11170\r\n" + body + "\r\n0\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CScriptedServer server(CServerScript::OneReply(c.reply));
    CHttpClient client;
    client.m_RawStream.m_ReallocHook = NoGrowth;
    client.m_DechunkedStream.m_ReallocHook = NoGrowth;
    std::string response;
    EXPECT_EQ(0, client.Request(HTTP_METHOD_GET, server.Url("/").c_str(), response, nullptr, 0));
    EXPECT_EQ(HTTP_ERR_BODY_TOO_LARGE, client.m_ErrorCode);
    EXPECT_LE(client.m_RawStream.m_Length, client.m_RawStream.m_Capacity);
  }
}

TEST_F(RequestTest, NewSocketsSendSmallSegmentsAtOnce) {
  CScriptedServer server(
      CServerScript::AlwaysReply("HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 0\r\n\r\n"));
  CHttpClient client;
  std::string response;
  ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, server.Url("/").c_str(), response, nullptr, 0));
  ASSERT_NE(INVALID_SOCKET_HANDLE, client.m_Connection.m_Socket);
  int on = 0;
  socklen_t size = sizeof(on);
  ASSERT_EQ(0, getsockopt(client.m_Connection.m_Socket, IPPROTO_TCP, TCP_NODELAY, &on, &size));
  EXPECT_NE(0, on);
}

// ---------------------------------------------------------------------------
// Callbacks.

TEST_F(RequestTest, DataCallbackSeesChunkFraming) {
  const std::string framed = "4\r\nwiki\r\n0\r\n\r\n";
  CScriptedServer server(
      CServerScript::OneReply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + framed));
  CHttpClient client;
  CallbackLog log;
  log.Attach(client);
  std::string response;
  ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, server.Url("/").c_str(), response, nullptr, 0));
  EXPECT_EQ(framed, log.m_Data);
  EXPECT_EQ("wiki", response);
}

TEST_F(RequestTest, HeadCallbackSeesARefusedHead) {
  const std::string head = "garbage\r\n\r\n";
  CScriptedServer server(CServerScript::OneReply(head));
  CHttpClient client;
  CallbackLog log;
  log.Attach(client);
  std::string response;
  EXPECT_EQ(0, client.Request(HTTP_METHOD_GET, server.Url("/").c_str(), response, nullptr, 0));
  EXPECT_EQ(std::vector<std::string>{"head"}, log.m_Events);
  EXPECT_EQ(head, log.m_Head);
}

// ---------------------------------------------------------------------------
// Keeping the connection.

struct ReuseCase {
  const char* name;
  std::string reply;
  int connections;  // accepted for two requests
};

TEST_F(RequestTest, ConnectionReuse) {
  const std::vector<ReuseCase> cases = {
      {"Keep-Alive", "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 2\r\n\r\nok", 1},
      {"keep-alive in lower case", "HTTP/1.1 200 OK\r\nConnection: keep-alive\r\nContent-Length: 2\r\n\r\nok", 1},
      {"chunked that ends exactly",
       "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n", 1},
      {"no Connection header", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", 2},
      {"Connection: close", "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2\r\n\r\nok", 2},
      {"keep-alive among tokens", "HTTP/1.1 200 OK\r\nConnection: Keep-Alive, Upgrade\r\nContent-Length: 2\r\n\r\nok", 1},
      {"close among tokens", "HTTP/1.1 200 OK\r\nConnection: keep-alive, Close\r\nContent-Length: 2\r\n\r\nok", 2},
      {"no keep-alive among tokens", "HTTP/1.1 200 OK\r\nConnection: Upgrade\r\nContent-Length: 2\r\n\r\nok", 2},
      {"redirect with Location",
       "HTTP/1.1 301 Moved\r\nConnection: Keep-Alive\r\nLocation: /b\r\nContent-Length: 0\r\n\r\n", 2},
      {"surplus beyond the length",
       "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 2\r\n\r\nokXX", 2},
      {"surplus with no length", "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\n\r\nXX", 2},
      // Its body may still be on its way, whatever the status.
      {"no length and nothing after the head", "HTTP/1.1 404 Not Found\r\nConnection: Keep-Alive\r\n\r\n", 2},
      {"chunked with a trailer",
       "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\nT: 1\r\n\r\n", 1},
      {"chunked with bytes after its end",
       "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\n\r\nXX", 2},
  };
  for (const ReuseCase& c : cases) {
    SCOPED_TRACE(c.name);
    CScriptedServer server(CServerScript::AlwaysReply(c.reply));
    CHttpClient client;
    for (int i = 0; i < 2; ++i) {
      std::string response;
      ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, server.Url("/").c_str(), response, nullptr, 0)) << i;
    }
    EXPECT_EQ(c.connections, server.ConnectionCount());
    EXPECT_EQ(c.connections == 1, client.m_Connection.m_Socket != INVALID_SOCKET_HANDLE);
    ASSERT_TRUE(server.WaitForRequests(2));
    EXPECT_EQ(server.Request(0), server.Request(1));
  }
}

TEST_F(RequestTest, RedirectIsReportedNotFollowed) {
  CScriptedServer server(CServerScript::AlwaysReply(
      "HTTP/1.1 301 Moved\r\nConnection: Keep-Alive\r\nLocation: /b\r\nContent-Length: 0\r\n\r\n"));
  CHttpClient client;
  std::string response;
  ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, server.Url("/a").c_str(), response, nullptr, 0));
  EXPECT_EQ(301, client.m_StatusCode);
  EXPECT_EQ("/b", client.m_Location);
  EXPECT_EQ(1u, server.RequestCount());
}

TEST_F(RequestTest, AnotherPortGetsItsOwnConnection) {
  const std::string keep = "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 1\r\n\r\n";
  CScriptedServer first(CServerScript::AlwaysReply(keep + "1"));
  CScriptedServer second(CServerScript::AlwaysReply(keep + "2"));
  CHttpClient client;
  std::string response;
  ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, first.Url("/").c_str(), response, nullptr, 0));
  EXPECT_EQ("1", response);
  ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, second.Url("/").c_str(), response, nullptr, 0));
  EXPECT_EQ("2", response);
  ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, second.Url("/").c_str(), response, nullptr, 0));
  EXPECT_EQ(1, first.ConnectionCount());
  EXPECT_EQ(1, second.ConnectionCount());
  ASSERT_TRUE(first.WaitForIdle());
  // The first server saw its connection end when the client moved on.
  EXPECT_TRUE(first.Connections()[0].m_PeerClosed);
  EXPECT_EQ(2u, second.RequestCount());
}

}  // namespace
