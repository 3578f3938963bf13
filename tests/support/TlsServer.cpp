#include "support/TlsServer.h"

#include <utility>
#include <vector>

#include "support/ServerConnection.h"

CTlsServerContext::CTlsServerContext() {
  if (!m_Certificate.IsValid()) return;
  m_Context = SSL_CTX_new(TLS_server_method());
  if (!m_Context) return;
  // A client that drops the TCP connection without close_notify reads as a
  // plain end of the request stream, as with the plain server.
  SSL_CTX_set_options(m_Context, SSL_OP_IGNORE_UNEXPECTED_EOF);
  InstallServerNameRecorder(m_Context);
  if (SSL_CTX_use_certificate(m_Context, m_Certificate.Certificate()) != 1 ||
      SSL_CTX_use_PrivateKey(m_Context, m_Certificate.Key()) != 1 || SSL_CTX_check_private_key(m_Context) != 1) {
    SSL_CTX_free(m_Context);
    m_Context = nullptr;
  }
}

CTlsServerContext::~CTlsServerContext() { SSL_CTX_free(m_Context); }

CTlsServer::CTlsServer(CServerScript script, ETlsHandshake handshake)
    : CTlsServerContext(), CScriptedServer(std::move(script), m_Context, handshake) {}

// The base class stops the threads before the context goes.
CTlsServer::~CTlsServer() { Stop(); }

std::string CTlsServer::ServerName(size_t i) const {
  std::vector<CConnectionRecord> connections = Connections();
  return i < connections.size() ? connections[i].m_ServerName : std::string();
}
