// A bare blocking TCP client for the server self-tests: it sends and reads raw
// bytes so the tests see exactly what the servers put on the wire.
#ifndef ZELVORA_TESTS_HARNESS_RAWCLIENT_H
#define ZELVORA_TESTS_HARNESS_RAWCLIENT_H

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <string>

class CRawClient {
 public:
  // Connects to 127.0.0.1:port; reads give up after five seconds.
  explicit CRawClient(unsigned short port) {
    m_Fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct timeval limit = {5, 0};
    setsockopt(m_Fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    setsockopt(m_Fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    struct sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (connect(m_Fd, reinterpret_cast<struct sockaddr*>(&address), sizeof(address)) != 0) {
      close(m_Fd);
      m_Fd = -1;
    }
  }
  ~CRawClient() {
    if (m_Fd >= 0) close(m_Fd);
  }
  CRawClient(const CRawClient&) = delete;
  CRawClient& operator=(const CRawClient&) = delete;

  bool IsConnected() const { return m_Fd >= 0; }
  int Fd() const { return m_Fd; }

  bool Send(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      ssize_t wrote = send(m_Fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (wrote <= 0) return false;
      sent += static_cast<size_t>(wrote);
    }
    return true;
  }
  void ShutdownWrite() { shutdown(m_Fd, SHUT_WR); }

  // Reads exactly n bytes, or fewer when the stream ends first.
  std::string ReadExactly(size_t n) {
    std::string bytes;
    char buffer[4096];
    while (bytes.size() < n) {
      size_t want = n - bytes.size() < sizeof(buffer) ? n - bytes.size() : sizeof(buffer);
      ssize_t got = recv(m_Fd, buffer, want, 0);
      if (got <= 0) break;
      bytes.append(buffer, static_cast<size_t>(got));
    }
    return bytes;
  }

  // Reads to the end of the stream. *end becomes 0 after an orderly close,
  // else the errno of the failed read (ECONNRESET, EAGAIN on the time-out).
  std::string ReadToEnd(int* end) {
    std::string bytes;
    char buffer[4096];
    for (;;) {
      ssize_t got = recv(m_Fd, buffer, sizeof(buffer), 0);
      if (got > 0) {
        bytes.append(buffer, static_cast<size_t>(got));
        continue;
      }
      if (got < 0 && errno == EINTR) continue;
      *end = got == 0 ? 0 : errno;
      return bytes;
    }
  }

  // True when something (data or the end) is readable within `ms`.
  bool Readable(int ms) {
    struct pollfd entry = {m_Fd, POLLIN, 0};
    return poll(&entry, 1, ms) > 0;
  }

 private:
  int m_Fd = -1;
};

#endif
