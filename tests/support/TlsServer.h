// The scripted server over TLS: the same scripts and records as
// CScriptedServer (ScriptedServer.h), with a key and self-signed certificate
// made at start (TestCertificate.h).
//
//   CTlsServer server(CServerScript::OneReply("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"));
//   ... client connects to server.Url("/") with server name "example.test" ...
//   EXPECT_EQ(server.ServerName(0), "example.test");
//
// Close() in a script sends close_notify before the TCP close,
// CloseWithoutNotify() ends the TCP connection without it, Reset() sends a
// reset. A client closing without close_notify counts as an orderly close.
#ifndef ZELVORA_TESTS_SUPPORT_TLSSERVER_H
#define ZELVORA_TESTS_SUPPORT_TLSSERVER_H

#include <openssl/ssl.h>

#include <cstddef>
#include <string>

#include "support/ScriptedServer.h"
#include "support/ServerScript.h"
#include "support/TestCertificate.h"

// Made before the server base class so that the context exists when the
// server starts listening.
class CTlsServerContext {
 public:
  CTlsServerContext();
  virtual ~CTlsServerContext();
  CTlsServerContext(const CTlsServerContext&) = delete;
  CTlsServerContext& operator=(const CTlsServerContext&) = delete;

 protected:
  CTestCertificate m_Certificate;
  SSL_CTX* m_Context = nullptr;
};

class CTlsServer : private CTlsServerContext, public CScriptedServer {
 public:
  // `handshake` chooses a normal handshake or one that fails on purpose
  // (TLS_HANDSHAKE_GARBAGE, TLS_HANDSHAKE_CLOSE; see ScriptedServer.h).
  explicit CTlsServer(CServerScript script, ETlsHandshake handshake = TLS_HANDSHAKE_COMPLETE);
  ~CTlsServer() override;

  // 1 when the certificate was made and the server listens.
  int IsReady() const { return m_Context && IsListening() ? 1 : 0; }
  // The server name (SNI) connection i sent, "" without one.
  std::string ServerName(size_t i = 0) const;
  // The certificate, for clients that verify the server.
  std::string CertificatePem() const { return m_Certificate.CertificatePem(); }
  X509* Certificate() const { return m_Certificate.Certificate(); }
  // The server's context, for a test that narrows protocol versions or
  // ciphers before its client connects.
  SSL_CTX* Context() const { return m_Context; }
};

#endif
