// TLS transport failures that need no TLS server: a peer that does not speak
// TLS, no client context, no session.
#include <gtest/gtest.h>

#include <string>

#include "engine/HttpClient.h"
#include "engine/Network.h"
#include "support/CallbackLog.h"
#include "support/ScriptedServer.h"
#include "support/StdioCapture.h"

namespace {

class TlsTransportTest : public ::testing::Test {
 protected:
  void SetUp() override { StartNetworkOnce(); }
};

// "https://127.0.0.1:<port>/" for a plain server.
std::string TlsUrl(const CScriptedServer& server) {
  return "https://127.0.0.1:" + std::to_string(server.Port()) + "/";
}

int CountOf(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::string::size_type at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

TEST_F(TlsTransportTest, HandshakeFailurePrintsOneLineAndRecordsNoCode) {
  CScriptedServer server({{Exchange().ReadNothing().Send("HTTP/1.1 400 Bad Request\r\n\r\n").Close()}});
  CHttpClient client;
  std::string response = "untouched";
  const std::string printed = RunWithStdio([&] {
    EXPECT_EQ(0, client.Request(HTTP_METHOD_GET, TlsUrl(server).c_str(), response, nullptr, 0));
  }).m_Output;
  EXPECT_EQ(HTTP_ERR_NONE, client.m_ErrorCode);
  EXPECT_EQ(1, CountOf(printed, "SSL: "));
  ASSERT_EQ(0u, printed.find("SSL: "));
  EXPECT_EQ("\r\n", printed.substr(printed.size() - 2));
  // The text names the library's reason, not just a classification number
  // (which would read "error:0000000N:lib(0)::reason(N)").
  EXPECT_NE(std::string::npos, printed.find("error:")) << printed;
  EXPECT_EQ(std::string::npos, printed.find("lib(0)")) << printed;
  EXPECT_EQ(INVALID_SOCKET_HANDLE, client.m_Connection.m_Socket);
  EXPECT_EQ(nullptr, client.m_Connection.m_Ssl);
  EXPECT_EQ("untouched", response);
}

TEST_F(TlsTransportTest, NoContextIsASessionFailure) {
  CScriptedServer server({{Exchange().ReadNothing().Pause(200).Close()}});
  // As after a failed start-up: no context, and none can be made.
  SSL_CTX* saved = g_SslCtx;
  const int savedInited = g_SslInited;
  g_SslCtx = nullptr;
  g_SslInited = 0;
  CHttpClient client;
  std::string response;
  const std::string printed = RunWithStdio([&] {
    EXPECT_EQ(0, client.Request(HTTP_METHOD_GET, TlsUrl(server).c_str(), response, nullptr, 0));
  }).m_Output;
  g_SslCtx = saved;
  g_SslInited = savedInited;
  EXPECT_EQ(HTTP_ERR_SSL_SESSION, client.m_ErrorCode);
  EXPECT_EQ("", printed);
  EXPECT_EQ(INVALID_SOCKET_HANDLE, client.m_Connection.m_Socket);
}

TEST_F(TlsTransportTest, AnotherSchemeGetsItsOwnConnection) {
  // The first connection answers over plain HTTP and would stay; the second
  // one meets the TLS hello with bytes that are not TLS.
  CScriptedServer server(
      {{Exchange().Reply("HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 0\r\n\r\n")},
       {Exchange().ReadNothing().Send("not tls at all\r\n\r\n").Close()}});
  CHttpClient client;
  std::string response;
  ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, server.Url("/").c_str(), response, nullptr, 0));
  ASSERT_NE(INVALID_SOCKET_HANDLE, client.m_Connection.m_Socket);
  const std::string printed = RunWithStdio([&] {
    EXPECT_EQ(0, client.Request(HTTP_METHOD_GET, TlsUrl(server).c_str(), response, nullptr, 0));
  }).m_Output;
  EXPECT_EQ(2, server.ConnectionCount());
  EXPECT_EQ(1, CountOf(printed, "SSL: "));
  EXPECT_EQ(1u, server.RequestCount());
}

// A connection made for TLS whose session is missing (its handshake never
// began) sends and takes nothing in plain.
TEST_F(TlsTransportTest, MissingSessionIsNeverUsed) {
  CHttpClient client;
  client.m_Connection.m_Tls = 1;
  EXPECT_EQ(0, client.Send("x", 1));
  EXPECT_EQ(HTTP_ERR_SSL_SESSION, client.m_ErrorCode);
  client.m_ErrorCode = HTTP_ERR_NONE;
  char buffer[8192];
  int received = 99;
  EXPECT_EQ(0, client.Receive(buffer, &received));
  EXPECT_EQ(HTTP_ERR_SSL_SESSION, client.m_ErrorCode);
  EXPECT_EQ(0, received);
}

TEST_F(TlsTransportTest, PlainTransportWithoutSocket) {
  CHttpClient client;
  char buffer[8192];
  int received = 99;
  EXPECT_EQ(0, client.Send("x", 1));
  EXPECT_EQ(0, client.Receive(buffer, &received));
  EXPECT_EQ(HTTP_ERR_NONE, client.m_ErrorCode);
  EXPECT_EQ(99, received);
}

}  // namespace
