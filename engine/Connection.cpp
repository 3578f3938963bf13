// Opening the connection (plain TCP or TLS), moving bytes over it and
// closing it.
#include "engine/Connection.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "engine/Network.h"
#include "platform/Interrupt.h"

namespace {

// One read of the plain socket. Large reads cut the system calls of a bulk
// body sixteen- to thirty-fold; Receive still hands out kReceiveBlock at most.
const unsigned int kReadAheadBlock = 262144;

// Prints the reason of a failed handshake. The first queued library error
// names the real cause; SSL_get_error's classification is only the fallback
// when the queue holds nothing.
void PrintHandshakeFailure(SSL* ssl, int connectResult) {
  char text[1024];
  memset(text, 0, sizeof(text));
  unsigned long code = ERR_get_error();
  if (code == 0) code = static_cast<unsigned long>(SSL_get_error(ssl, connectResult));
  const char* message = ERR_error_string(code, text);
  printf("SSL: %s\r\n", message);
}

}  // namespace

int ConnectToHost(const char* host, unsigned short port, SocketHandle* socket) {
  if (!host || !socket) return 0;
  // Port 65535 is refused like port 0, before any name lookup.
  if (port < 1 || port > 65534) return 0;
  uint32_t address = 0;
  int addressLength = 0;
  if (!ResolveHostIPv4(host, &address, &addressLength)) return 0;
  // Only a 4-byte IPv4 address fits the address record.
  if (addressLength != 4) return 0;
  return SocketConnectIPv4(*socket, address, port);
}

int CConnection::Connect(const CConnectionTarget& target, HttpError* error) {
  m_Reused = 0;
  if (m_Socket != INVALID_SOCKET_HANDLE) {
    // The open connection serves only the scheme, host and port it was made
    // for; a request elsewhere gets a fresh one. So does one after bytes
    // that no request of ours asked for: they would be read as its answer.
    const int tls = target.m_UseTls ? 1 : 0;
    if (m_Host == target.m_Host && m_Port == target.m_Port && m_Tls == tls && (!tls || m_Ssl) &&
        NothingLeftUnread()) {
      m_Reused = 1;
      return 1;
    }
    Close();
  }
  if (!OpenSocket(target, error)) return 0;
  return target.m_UseTls ? StartTls(target.m_Host, error) : 1;
}

int CConnection::NothingLeftUnread() {
  if (m_ReadAheadStart != m_ReadAheadEnd) return 0;
  if (m_Ssl && SSL_pending(m_Ssl) > 0) return 0;
  // Bytes the server sent after its answer, or its close of the idle
  // connection, wait on the socket.
  return SocketHasInput(m_Socket) ? 0 : 1;
}

void CConnection::Close() {
  if (m_Ssl) {
    SSL_shutdown(m_Ssl);
    SSL_free(m_Ssl);
    m_Ssl = nullptr;
  }
  if (m_Socket != INVALID_SOCKET_HANDLE) {
    SocketClose(m_Socket);
    m_Socket = INVALID_SOCKET_HANDLE;
  }
  m_Host.clear();
  m_Port = 0;
  m_Tls = 0;
  // Bytes read ahead belong to the connection just closed.
  m_ReadAheadStart = 0;
  m_ReadAheadEnd = 0;
}

void CConnection::BeginTry() {
  m_AnswerBegun = 0;
  m_PeerEnded = 0;
}

int CConnection::LostBeforeAnswer() const { return m_Reused && m_PeerEnded && !m_AnswerBegun; }

int CConnection::OpenSocket(const CConnectionTarget& target, HttpError* error) {
  m_Socket = SocketCreateTcp();
  SocketSetSendTimeout(m_Socket, target.m_SendTimeout);
  SocketSetRecvTimeout(m_Socket, target.m_RecvTimeout);
  // The head and the body go out in separate sends; do not let the second
  // wait for the acknowledgement of the first.
  SocketSetNoDelay(m_Socket);

  if (!ConnectToHost(target.m_Host.c_str(), target.m_Port, &m_Socket)) {
    *error = HTTP_ERR_CONNECT;
    return 0;
  }
  m_Host = target.m_Host;
  m_Port = target.m_Port;
  m_Tls = target.m_UseTls ? 1 : 0;
  return 1;
}

int CConnection::StartTls(const std::string& host, HttpError* error) {
  SSL_CTX* context = TlsClientContext();
  if (!context) {
    *error = HTTP_ERR_SSL_SESSION;
    return 0;
  }
  m_Ssl = SSL_new(context);
  if (!m_Ssl) {
    *error = HTTP_ERR_SSL_SESSION;
    return 0;
  }
  SSL_set_fd(m_Ssl, m_Socket);
  SSL_set_tlsext_host_name(m_Ssl, host.c_str());

  // Errors left from earlier calls must not be taken for this handshake's.
  ERR_clear_error();
  const int result = SSL_connect(m_Ssl);
  if (result > 0) return 1;
  PrintHandshakeFailure(m_Ssl, result);
  return 0;
}

int CConnection::Send(const char* data, int length, HttpError* error) {
  if (InterruptRequested()) {
    *error = HTTP_ERR_NETWORK;
    return 0;
  }
  if (!m_Tls) return SendAll(data, length, error);
  if (!m_Ssl) {
    *error = HTTP_ERR_SSL_SESSION;
    return 0;
  }
  ERR_clear_error();
  const int result = SSL_write(m_Ssl, data, length);
  if (result > 0) return 1;
  const int closed = SSL_get_error(m_Ssl, result) == SSL_ERROR_ZERO_RETURN;
  *error = closed ? HTTP_ERR_DISCONNECTED : HTTP_ERR_SSL_SESSION;
  return NotePeerEnd(closed);
}

int CConnection::NotePeerEnd(int peerClosed) {
  // A failure does not say why; the peer's close or reset stays visible on
  // the socket, a time-out leaves nothing waiting there.
  if (peerClosed || SocketHasInput(m_Socket)) m_PeerEnded = 1;
  return 0;
}

int CConnection::SendAll(const char* data, int length, HttpError* error) {
  if (m_Socket == INVALID_SOCKET_HANDLE || !data || length <= 0) return 0;
  int sent = 0;
  while (sent < length) {
    // The socket blocks, so a failed send is never a would-block to retry.
    const int result = SocketSend(m_Socket, data + sent, length - sent);
    if (result < 0) {
      *error = HTTP_ERR_NETWORK;
      return NotePeerEnd(0);
    }
    if (result == 0) {
      *error = HTTP_ERR_DISCONNECTED;
      return NotePeerEnd(1);
    }
    sent += result;
  }
  return 1;
}

int CConnection::ReceiveTls(char* buffer, int* received, HttpError* error) {
  if (received) *received = 0;
  if (!m_Ssl || !buffer) {
    *error = HTTP_ERR_SSL_SESSION;
    return 0;
  }
  ERR_clear_error();
  const int result = SSL_read(m_Ssl, buffer, kReceiveBlock);
  if (result > 0) {
    if (received) *received = result;
    m_AnswerBegun = 1;
    return 1;
  }
  const int closed = SSL_get_error(m_Ssl, result) == SSL_ERROR_ZERO_RETURN;
  *error = closed ? HTTP_ERR_DISCONNECTED : HTTP_ERR_SSL_SESSION;
  return NotePeerEnd(closed);
}

int CConnection::Receive(char* buffer, int* received, HttpError* error) {
  // An interrupted run takes nothing more, not even bytes already read ahead
  // or a TLS record already decrypted.
  if (InterruptRequested()) {
    if (received) *received = 0;
    *error = HTTP_ERR_NETWORK;
    return 0;
  }
  if (m_Tls) return ReceiveTls(buffer, received, error);
  return ReceivePlain(buffer, received, error);
}

int CConnection::ReceivePlain(char* buffer, int* received, HttpError* error) {
  if (m_Socket == INVALID_SOCKET_HANDLE || !buffer) return 0;
  if (m_ReadAheadStart == m_ReadAheadEnd) {
    // Made once and never zero-filled: the socket writes it first.
    if (!m_ReadAhead) m_ReadAhead.reset(new (std::nothrow) char[kReadAheadBlock]);
    // Without the block, read straight into the caller's buffer.
    char* target = m_ReadAhead ? m_ReadAhead.get() : buffer;
    const int capacity = m_ReadAhead ? static_cast<int>(kReadAheadBlock) : kReceiveBlock;
    const int result = SocketReceive(m_Socket, target, capacity);
    if (result == 0) {
      *error = HTTP_ERR_DISCONNECTED;
      return NotePeerEnd(1);
    }
    if (result < 0) {
      *error = HTTP_ERR_NETWORK;
      return NotePeerEnd(0);
    }
    m_AnswerBegun = 1;
    if (!m_ReadAhead) {
      if (received) *received = result;
      return 1;
    }
    m_ReadAheadStart = 0;
    m_ReadAheadEnd = static_cast<unsigned int>(result);
  }
  unsigned int count = m_ReadAheadEnd - m_ReadAheadStart;
  if (count > static_cast<unsigned int>(kReceiveBlock)) count = kReceiveBlock;
  memcpy(buffer, m_ReadAhead.get() + m_ReadAheadStart, count);
  m_ReadAheadStart += count;
  if (received) *received = static_cast<int>(count);
  return 1;
}
