#include "support/ServerConnection.h"

#include <errno.h>
#include <poll.h>
#include <strings.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>

#include "support/Deadline.h"

namespace {

// How long a closing connection keeps reading what the peer still sends, so
// that unread input does not turn the close into a reset: at most the limit,
// and it stops after a quiet spell (a keep-alive client that says nothing
// more must not hold the close up).
const int DRAIN_LIMIT_MS = 2000;
const int DRAIN_QUIET_MS = 100;
// Longest single sleep in a wait, so a stop is noticed quickly.
const int SLICE_MS = 20;

// Content-Length of a head, or 0 without one.
size_t HeadContentLength(const std::string& head) {
  static const char kName[] = "content-length:";
  const size_t nameLength = sizeof(kName) - 1;
  size_t lineStart = 0;
  while (lineStart < head.size()) {
    size_t lineEnd = head.find("\r\n", lineStart);
    if (lineEnd == std::string::npos) lineEnd = head.size();
    if (lineEnd - lineStart > nameLength && strncasecmp(head.c_str() + lineStart, kName, nameLength) == 0) {
      return static_cast<size_t>(strtoull(head.c_str() + lineStart + nameLength, nullptr, 10));
    }
    lineStart = lineEnd + 2;
  }
  return 0;
}

int RecordServerName(SSL* ssl, int* /*alert*/, void* /*arg*/) {
  auto* connection = static_cast<CServerConnection*>(SSL_get_app_data(ssl));
  const char* name = SSL_get_servername(ssl, TLSEXT_NAMETYPE_host_name);
  if (connection && name) connection->SetServerName(name);
  return SSL_TLSEXT_ERR_OK;
}

}  // namespace

size_t CompleteRequestLength(const std::string& bytes, bool withBody) {
  size_t headEnd = bytes.find("\r\n\r\n");
  if (headEnd == std::string::npos) return 0;
  size_t headLength = headEnd + 4;
  if (!withBody) return headLength;
  size_t total = headLength + HeadContentLength(bytes.substr(0, headLength));
  return bytes.size() >= total ? total : 0;
}

void InstallServerNameRecorder(SSL_CTX* ctx) {
  SSL_CTX_set_tlsext_servername_callback(ctx, RecordServerName);
}

CServerConnection::CServerConnection(int fd, const std::atomic<bool>& stop, int ioLimitMs)
    : m_Fd(fd), m_Stop(stop), m_IoLimitMs(ioLimitMs) {}

CServerConnection::~CServerConnection() {
  FreeSsl();
  if (m_Fd >= 0) close(m_Fd);
}

void CServerConnection::FreeSsl() {
  if (m_Ssl) SSL_free(m_Ssl);
  m_Ssl = nullptr;
}

int CServerConnection::WaitFor(short events, int limitMs) {
  CClock::time_point deadline = CClock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    if (m_Stop.load()) return 0;
    struct pollfd entry = {m_Fd, events, 0};
    int slice = std::min(SLICE_MS, MillisecondsLeft(deadline));
    int ready = poll(&entry, 1, slice);
    if (ready > 0) return 1;
    if (ready < 0 && errno != EINTR) return 1;  // let the next call report the failure
    if (MillisecondsLeft(deadline) == 0) return 0;
  }
}

int CServerConnection::AcceptTls(SSL_CTX* ctx) {
  m_Ssl = SSL_new(ctx);
  if (!m_Ssl) return 0;
  SSL_set_app_data(m_Ssl, this);
  SSL_set_fd(m_Ssl, m_Fd);
  for (;;) {
    ERR_clear_error();
    int result = SSL_accept(m_Ssl);
    if (result == 1) return 1;
    int error = SSL_get_error(m_Ssl, result);
    if (error == SSL_ERROR_WANT_READ && WaitFor(POLLIN, m_IoLimitMs)) continue;
    if (error == SSL_ERROR_WANT_WRITE && WaitFor(POLLOUT, m_IoLimitMs)) continue;
    return 0;
  }
}

EConnRead CServerConnection::Fill() {
  char buffer[16384];
  for (;;) {
    if (m_Stop.load()) return CONN_READ_TIMED_OUT;
    if (m_Ssl) {
      ERR_clear_error();
      int got = SSL_read(m_Ssl, buffer, sizeof(buffer));
      if (got > 0) {
        m_Pending.append(buffer, static_cast<size_t>(got));
        return CONN_READ_OK;
      }
      int error = SSL_get_error(m_Ssl, got);
      // The context ignores a missing close_notify, so a bare TCP close
      // lands here too.
      if (error == SSL_ERROR_ZERO_RETURN) {
        m_PeerClosed = true;
        return CONN_READ_CLOSED;
      }
      if (error == SSL_ERROR_WANT_READ) {
        if (!WaitFor(POLLIN, m_IoLimitMs)) return CONN_READ_TIMED_OUT;
        continue;
      }
      if (error == SSL_ERROR_WANT_WRITE) {
        if (!WaitFor(POLLOUT, m_IoLimitMs)) return CONN_READ_TIMED_OUT;
        continue;
      }
      return CONN_READ_ERROR;
    }
    ssize_t got = recv(m_Fd, buffer, sizeof(buffer), 0);
    if (got > 0) {
      m_Pending.append(buffer, static_cast<size_t>(got));
      return CONN_READ_OK;
    }
    if (got == 0) {
      m_PeerClosed = true;
      return CONN_READ_CLOSED;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!WaitFor(POLLIN, m_IoLimitMs)) return CONN_READ_TIMED_OUT;
      continue;
    }
    return CONN_READ_ERROR;
  }
}

EConnRead CServerConnection::ReadFor(EReadMode mode, size_t count, std::string* request) {
  request->clear();
  if (mode == READ_NOTHING) return CONN_READ_OK;
  for (;;) {
    size_t length = 0;
    if (mode == READ_REQUEST || mode == READ_HEAD) {
      length = CompleteRequestLength(m_Pending, mode == READ_REQUEST);
    } else if (mode == READ_BYTES && m_Pending.size() >= count) {
      length = count;
    }
    if (length > 0 || (mode == READ_BYTES && count == 0)) {
      *request = m_Pending.substr(0, length);
      m_Pending.erase(0, length);
      return CONN_READ_OK;
    }
    EConnRead result = m_PeerClosed ? CONN_READ_CLOSED : Fill();
    if (result != CONN_READ_OK) {
      request->swap(m_Pending);
      m_Pending.clear();
      return mode == READ_UNTIL_CLOSE && result == CONN_READ_CLOSED ? CONN_READ_OK : result;
    }
  }
}

EConnRead CServerConnection::ReadSome(std::string* bytes) {
  EConnRead result = m_Pending.empty() ? (m_PeerClosed ? CONN_READ_CLOSED : Fill()) : CONN_READ_OK;
  bytes->swap(m_Pending);
  m_Pending.clear();
  return result;
}

int CServerConnection::SendAll(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    if (m_Fd < 0 || m_Stop.load()) return 0;
    size_t piece = std::min<size_t>(bytes.size() - sent, INT_MAX);
    if (m_Ssl) {
      ERR_clear_error();
      int wrote = SSL_write(m_Ssl, bytes.data() + sent, static_cast<int>(piece));
      if (wrote > 0) {
        sent += static_cast<size_t>(wrote);
        continue;
      }
      int error = SSL_get_error(m_Ssl, wrote);
      if (error == SSL_ERROR_WANT_WRITE && WaitFor(POLLOUT, m_IoLimitMs)) continue;
      if (error == SSL_ERROR_WANT_READ && WaitFor(POLLIN, m_IoLimitMs)) continue;
      return 0;
    }
    ssize_t wrote = send(m_Fd, bytes.data() + sent, piece, MSG_NOSIGNAL);
    if (wrote > 0) {
      sent += static_cast<size_t>(wrote);
      continue;
    }
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(POLLOUT, m_IoLimitMs)) continue;
    return 0;
  }
  return 1;
}

int CServerConnection::Pause(int ms) {
  CClock::time_point deadline = CClock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (m_Stop.load()) return 0;
    int left = MillisecondsLeft(deadline);
    if (left == 0) return 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, SLICE_MS)));
  }
}

void CServerConnection::SendTlsCloseNotify() {
  if (!m_Ssl || m_WriteShut) return;
  for (;;) {
    ERR_clear_error();
    int result = SSL_shutdown(m_Ssl);
    if (result >= 0) return;  // close_notify is out
    if (SSL_get_error(m_Ssl, result) == SSL_ERROR_WANT_WRITE && WaitFor(POLLOUT, m_IoLimitMs)) continue;
    return;
  }
}

void CServerConnection::DrainAndClose() {
  if (m_Fd < 0) return;
  if (!m_WriteShut) shutdown(m_Fd, SHUT_WR);
  m_WriteShut = true;
  CClock::time_point deadline = CClock::now() + std::chrono::milliseconds(DRAIN_LIMIT_MS);
  char buffer[16384];
  while (!m_PeerClosed && MillisecondsLeft(deadline) > 0) {
    ssize_t got = recv(m_Fd, buffer, sizeof(buffer), 0);
    if (got > 0) continue;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitFor(POLLIN, std::min(DRAIN_QUIET_MS, MillisecondsLeft(deadline)))) break;
      continue;
    }
    break;  // end of data or a failure: nothing left to protect
  }
  FreeSsl();
  close(m_Fd);
  m_Fd = -1;
}

void CServerConnection::Close() {
  if (m_Fd < 0) return;
  SendTlsCloseNotify();
  DrainAndClose();
}

void CServerConnection::CloseWithoutNotify() {
  if (m_Fd < 0) return;
  DrainAndClose();
}

void CServerConnection::Reset() {
  if (m_Fd < 0) return;
  FreeSsl();
  struct linger hard = {1, 0};
  setsockopt(m_Fd, SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
  close(m_Fd);
  m_Fd = -1;
}

void CServerConnection::HoldSends(bool hold) {
  const int on = hold ? 1 : 0;
  if (m_Fd >= 0) setsockopt(m_Fd, IPPROTO_TCP, TCP_CORK, &on, sizeof(on));
}

void CServerConnection::ShutdownWrite() {
  if (m_Fd < 0 || m_WriteShut) return;
  SendTlsCloseNotify();
  shutdown(m_Fd, SHUT_WR);
  m_WriteShut = true;
}
