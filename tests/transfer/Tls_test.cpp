// Requests over TLS against the in-process TLS server on 127.0.0.1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/HttpClient.h"
#include "support/CallbackLog.h"
#include "support/StdioCapture.h"
#include "support/TlsServer.h"

namespace {

const std::string kKeep = "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 5\r\n\r\nhello";

class TlsTest : public ::testing::Test {
 protected:
  void SetUp() override { StartNetworkOnce(); }
};

std::string NamedUrl(const CTlsServer& server, const std::string& host) {
  return "https://" + host + ":" + std::to_string(server.Port()) + "/secure";
}

TEST_F(TlsTest, GetSendsTheHostAsServerName) {
  for (const std::string host : {"localhost", "127.0.0.1"}) {
    SCOPED_TRACE(host);
    CTlsServer server(CServerScript::OneReply(kKeep));
    ASSERT_TRUE(server.IsReady());
    CHttpClient client;
    std::string response;
    ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, NamedUrl(server, host).c_str(), response, nullptr, 0));
    EXPECT_EQ("hello", response);
    EXPECT_EQ(200, client.m_StatusCode);
    EXPECT_NE(nullptr, client.m_Connection.m_Ssl);
    ASSERT_TRUE(server.WaitForRequests(1));
    EXPECT_EQ(host, server.ServerName(0));
    EXPECT_EQ(0u, server.Request(0).find("GET /secure HTTP/1.1\r\n"));
    EXPECT_NE(std::string::npos, server.Request(0).find("\r\nHost: " + host + "\r\n"));
  }
}

TEST_F(TlsTest, KeptConnectionNeedsNoSecondHandshake) {
  CTlsServer server(CServerScript::AlwaysReply(kKeep));
  ASSERT_TRUE(server.IsReady());
  CHttpClient client;
  std::string response;
  for (int i = 0; i < 3; ++i)
    ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, server.Url("/").c_str(), response, nullptr, 0)) << i;
  EXPECT_EQ(1, server.ConnectionCount());
  EXPECT_EQ(3u, server.RequestCount());
  client.Close();
  EXPECT_EQ(nullptr, client.m_Connection.m_Ssl);
}

TEST_F(TlsTest, ChunkedBodyOverTls) {
  CTlsServer server(CServerScript::OneReply(
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n"));
  ASSERT_TRUE(server.IsReady());
  CHttpClient client;
  std::string response;
  ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, server.Url("/").c_str(), response, nullptr, 0));
  EXPECT_EQ("abcde", response);
}

TEST_F(TlsTest, HandshakeFailurePrintsOneLine) {
  for (ETlsHandshake mode : {TLS_HANDSHAKE_GARBAGE, TLS_HANDSHAKE_CLOSE}) {
    SCOPED_TRACE(static_cast<int>(mode));
    CTlsServer server(CServerScript::OneReply(kKeep), mode);
    ASSERT_TRUE(server.IsReady());
    CHttpClient client;
    std::string response;
    const std::string printed = RunWithStdio([&] {
      EXPECT_EQ(0, client.Request(HTTP_METHOD_GET, server.Url("/").c_str(), response, nullptr, 0));
    }).m_Output;
    EXPECT_EQ(HTTP_ERR_NONE, client.m_ErrorCode);
    EXPECT_EQ(0u, printed.find("SSL: ")) << printed;
    EXPECT_EQ(printed.size() - 2, printed.find("\r\n")) << printed;
    EXPECT_EQ(INVALID_SOCKET_HANDLE, client.m_Connection.m_Socket);
    EXPECT_EQ(nullptr, client.m_Connection.m_Ssl);
  }
}

TEST_F(TlsTest, EndOfTheConnectionMidBody) {
  const std::string partial = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart";
  struct Case {
    const char* name;
    CExchange exchange;
    HttpError code;
  } cases[] = {
      {"clean close", Exchange().Send(partial).Pause(50).Close(), HTTP_ERR_DISCONNECTED},
      {"close without notify", Exchange().Send(partial).Pause(50).CloseWithoutNotify(), HTTP_ERR_SSL_SESSION},
      {"reset", Exchange().Send(partial).Pause(50).Reset(), HTTP_ERR_SSL_SESSION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTlsServer server({{c.exchange}});
    ASSERT_TRUE(server.IsReady());
    CHttpClient client;
    CallbackLog log;
    log.Attach(client);
    std::string response;
    EXPECT_EQ(0, client.Request(HTTP_METHOD_GET, server.Url("/").c_str(), response, nullptr, 0));
    EXPECT_EQ(c.code, client.m_ErrorCode);
    EXPECT_EQ("part", log.m_Data);
    EXPECT_EQ(INVALID_SOCKET_HANDLE, client.m_Connection.m_Socket);
  }
}

}  // namespace
