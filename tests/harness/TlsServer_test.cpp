#include "support/TlsServer.h"

#include <gtest/gtest.h>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <string>

#include "harness/RawClient.h"

namespace {

const std::string kOk = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello";
const std::string kGet = "GET / HTTP/1.1\r\nHost: example.test\r\n\r\n";

// A blocking OpenSSL client on a raw TCP connection.
class CTlsTestClient {
 public:
  explicit CTlsTestClient(unsigned short port) : m_Tcp(port) {
    m_Context = SSL_CTX_new(TLS_client_method());
    m_Ssl = SSL_new(m_Context);
    SSL_set_fd(m_Ssl, m_Tcp.Fd());
  }
  ~CTlsTestClient() {
    SSL_free(m_Ssl);
    SSL_CTX_free(m_Context);
  }

  // Trusts only `certificate` and wants it to name "localhost".
  void Verify(X509* certificate) {
    X509_STORE_add_cert(SSL_CTX_get_cert_store(m_Context), certificate);
    SSL_set_verify(m_Ssl, SSL_VERIFY_PEER, nullptr);
    SSL_set1_host(m_Ssl, "localhost");
  }
  bool Connect(const char* serverName) {
    if (serverName) SSL_set_tlsext_host_name(m_Ssl, serverName);
    ERR_clear_error();
    return SSL_connect(m_Ssl) == 1;
  }
  bool Write(const std::string& bytes) {
    return SSL_write(m_Ssl, bytes.data(), static_cast<int>(bytes.size())) == static_cast<int>(bytes.size());
  }
  // Reads until the stream ends; *endError is the SSL_get_error of the end.
  std::string ReadToEnd(int* endError) {
    std::string bytes;
    char buffer[4096];
    for (;;) {
      int got = SSL_read(m_Ssl, buffer, sizeof(buffer));
      if (got <= 0) {
        *endError = SSL_get_error(m_Ssl, got);
        return bytes;
      }
      bytes.append(buffer, static_cast<size_t>(got));
    }
  }
  std::string ReadExactly(size_t n) {
    std::string bytes;
    char buffer[4096];
    while (bytes.size() < n) {
      int got = SSL_read(m_Ssl, buffer, static_cast<int>(std::min(sizeof(buffer), n - bytes.size())));
      if (got <= 0) break;
      bytes.append(buffer, static_cast<size_t>(got));
    }
    return bytes;
  }
  SSL* Ssl() const { return m_Ssl; }

 private:
  CRawClient m_Tcp;
  SSL_CTX* m_Context;
  SSL* m_Ssl;
};

TEST(TlsServerTest, VerifiedHandshakeCarriesExactBytesAndRecordsServerName) {
  CTlsServer server({{Exchange().Reply(kOk)}, {Exchange().Reply(kOk)}});
  ASSERT_TRUE(server.IsReady());
  EXPECT_EQ(server.Url("/a"), "https://127.0.0.1:" + std::to_string(server.Port()) + "/a");
  EXPECT_EQ(server.CertificatePem().rfind("-----BEGIN CERTIFICATE-----", 0), 0u);
  {
    CTlsTestClient client(server.Port());
    client.Verify(server.Certificate());
    ASSERT_TRUE(client.Connect("example.test"));
    EXPECT_EQ(SSL_get_verify_result(client.Ssl()), X509_V_OK);
    ASSERT_TRUE(client.Write(kGet));
    EXPECT_EQ(client.ReadExactly(kOk.size()), kOk);
  }
  {
    CTlsTestClient client(server.Port());
    ASSERT_TRUE(client.Connect(nullptr));
    ASSERT_TRUE(client.Write(kGet));
    EXPECT_EQ(client.ReadExactly(kOk.size()), kOk);
  }
  server.Stop();
  EXPECT_EQ(server.RequestCount(), 2u);
  EXPECT_EQ(server.Request(0), kGet);
  EXPECT_EQ(server.ServerName(0), "example.test");
  EXPECT_EQ(server.ServerName(1), "");
  EXPECT_TRUE(server.Connections()[0].m_HandshakeDone);
}

TEST(TlsServerTest, ClientSeesHowTheConnectionEnds) {
  struct {
    const char* name;
    CExchange exchange;
    int expectedError;
  } cases[] = {
      {"close_notify", Exchange().Send("bye").Close(), SSL_ERROR_ZERO_RETURN},
      // The client's context does not forgive a missing close_notify.
      {"no close_notify", Exchange().Send("bye").CloseWithoutNotify(), SSL_ERROR_SSL},
      {"reset", Exchange().Send("bye").Reset(), SSL_ERROR_SYSCALL},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    CTlsServer server({{c.exchange}});
    CTlsTestClient client(server.Port());
    ASSERT_TRUE(client.Connect("localhost"));
    ASSERT_TRUE(client.Write(kGet));
    int error = -1;
    client.ReadToEnd(&error);
    EXPECT_EQ(error, c.expectedError);
  }
}

TEST(TlsServerTest, HandshakeFailsOnPurpose) {
  for (ETlsHandshake mode : {TLS_HANDSHAKE_GARBAGE, TLS_HANDSHAKE_CLOSE}) {
    SCOPED_TRACE(mode);
    CTlsServer server(CServerScript::OneReply(kOk), mode);
    {
      CTlsTestClient client(server.Port());
      EXPECT_FALSE(client.Connect("localhost"));
    }
    ASSERT_TRUE(server.WaitForIdle());
    EXPECT_EQ(server.ConnectionCount(), 1);
    EXPECT_FALSE(server.Connections()[0].m_HandshakeDone);
    EXPECT_EQ(server.RequestCount(), 0u);
  }
}

}  // namespace
