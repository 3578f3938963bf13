// The connection's owner: whichever way a client goes, its kept connection
// ends in an orderly way, a TLS session with its close.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/HttpClient.h"
#include "support/CallbackLog.h"
#include "support/ScriptedServer.h"
#include "support/TlsServer.h"

namespace {

const std::string kKeep = "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 2\r\n\r\nhi";

class ConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override { StartNetworkOnce(); }
};

// A kept connection, then the client goes: by its destructor or by Close.
void RequestThenEnd(CScriptedServer& server, bool byDestructor) {
  std::unique_ptr<CHttpClient> client(new CHttpClient());
  std::string response;
  ASSERT_EQ(1, client->Request(HTTP_METHOD_GET, server.Url("/").c_str(), response, nullptr, 0));
  ASSERT_EQ("hi", response);
  ASSERT_NE(INVALID_SOCKET_HANDLE, client->m_Connection.m_Socket);
  if (!byDestructor) {
    client->Close();
    EXPECT_EQ(INVALID_SOCKET_HANDLE, client->m_Connection.m_Socket);
    EXPECT_EQ(nullptr, client->m_Connection.m_Ssl);
  }
  client.reset();
  ASSERT_TRUE(server.WaitForIdle());
  ASSERT_EQ(1, server.ConnectionCount());
  EXPECT_TRUE(server.Connections()[0].m_PeerClosed);
}

TEST_F(ConnectionTest, AKeptConnectionEndsInOrderWhicheverWayTheClientGoes) {
  for (const bool tls : {false, true}) {
    for (const bool byDestructor : {false, true}) {
      SCOPED_TRACE(std::string(tls ? "tls" : "plain") + (byDestructor ? ", destructor" : ", Close"));
      std::unique_ptr<CScriptedServer> server;
      if (tls) {
        server.reset(new CTlsServer(CServerScript::AlwaysReply(kKeep)));
      } else {
        server.reset(new CScriptedServer(CServerScript::AlwaysReply(kKeep)));
      }
      ASSERT_TRUE(server->IsListening());
      RequestThenEnd(*server, byDestructor);
    }
  }
}

}  // namespace
