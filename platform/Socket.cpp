#include "platform/Socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/types.h>
#include <unistd.h>

#include "platform/Interrupt.h"

// SIGPIPE is ignored process-wide because the TLS library writes to sockets
// itself, without MSG_NOSIGNAL.
int NetStartup(uint16_t wantVersion, uint16_t* gotVersion) {
  (void)wantVersion;
  signal(SIGPIPE, SIG_IGN);
  if (gotVersion) *gotVersion = 0x0202;
  return 1;
}

void NetCleanup() {}

SocketHandle SocketCreateTcp() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  return fd < 0 ? INVALID_SOCKET_HANDLE : fd;
}

// The kernel takes the time-out as a timeval; 0 means no time-out.
static int SetTimeout(SocketHandle socket, int option, uint32_t milliseconds) {
  struct timeval tv;
  tv.tv_sec = static_cast<time_t>(milliseconds / 1000);
  tv.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
  if (setsockopt(socket, SOL_SOCKET, option, &tv, sizeof tv) != 0) return 0;
  return 1;
}

int SocketSetSendTimeout(SocketHandle socket, uint32_t milliseconds) {
  return SetTimeout(socket, SO_SNDTIMEO, milliseconds);
}

int SocketSetRecvTimeout(SocketHandle socket, uint32_t milliseconds) {
  return SetTimeout(socket, SO_RCVTIMEO, milliseconds);
}

int SocketSetNoDelay(SocketHandle socket) {
  int on = 1;
  if (setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) return 0;
  return 1;
}

int ResolveHostIPv4(const char* host, uint32_t* address, int* addressLength) {
  if (!host || !*host || !address) return 0;
  struct addrinfo hints;
  memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  struct addrinfo* found = nullptr;
  int rc;
  do {
    rc = getaddrinfo(host, nullptr, &hints, &found);
  } while (rc == EAI_SYSTEM && errno == EINTR);
  if (rc != 0 || !found) {
    if (found) freeaddrinfo(found);
    return 0;
  }
  int ok = 0;
  for (struct addrinfo* it = found; it; it = it->ai_next) {
    if (it->ai_family == AF_INET && it->ai_addr &&
        it->ai_addrlen >= static_cast<socklen_t>(sizeof(struct sockaddr_in))) {
      const struct sockaddr_in* in = reinterpret_cast<const struct sockaddr_in*>(it->ai_addr);
      *address = in->sin_addr.s_addr;
      if (addressLength) *addressLength = 4;
      ok = 1;
      break;
    }
  }
  freeaddrinfo(found);
  return ok;
}

// An interrupted connect, or one cut short by the send time-out, goes on in
// the kernel: wait for it to finish and take its outcome.
static int FinishConnect(SocketHandle socket) {
  struct pollfd p;
  p.fd = socket;
  p.events = POLLOUT;
  p.revents = 0;
  for (;;) {
    int rc = poll(&p, 1, -1);
    if (rc > 0) break;
    if (rc < 0 && (errno != EINTR || InterruptRequested())) return 0;
  }
  int error = 0;
  socklen_t len = sizeof error;
  return getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0 ? 1 : 0;
}

int SocketConnectIPv4(SocketHandle socket, uint32_t address, uint16_t port) {
  struct sockaddr_in to;
  memset(&to, 0, sizeof to);
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  to.sin_port = htons(port);
  // From here an interrupt shuts this socket down (see TransferOnce).
  InterruptSetSocketUnderWay(socket);
  if (InterruptRequested()) return 0;
  if (connect(socket, reinterpret_cast<const struct sockaddr*>(&to), sizeof to) == 0) return 1;
  if (InterruptRequested()) return 0;
  if (errno == EINTR || errno == EINPROGRESS || errno == EALREADY) return FinishConnect(socket);
  return 0;
}

// One send or receive of up to length bytes, done by transfer(length): the
// count it moved, or -1 on failure. After an interrupt none goes on, even one
// that could; a signal that cut one short without an interrupt only starts
// it again. An interrupt that comes after the look at the flag shuts the
// connected socket down (platform/Interrupt.cpp), so the transfer returns at
// once and the look after it tells that end from the peer's.
template <typename Transfer>
static int TransferOnce(const void* buffer, int length, Transfer transfer) {
  if (length < 0 || (!buffer && length > 0)) return -1;
  for (;;) {
    if (InterruptRequested()) return -1;
    ssize_t n = transfer(static_cast<size_t>(length));
    if (n >= 0) return InterruptRequested() ? -1 : static_cast<int>(n);
    if (errno != EINTR) return -1;
  }
}

int SocketSend(SocketHandle socket, const char* data, int length) {
  return TransferOnce(data, length,
                      [&](size_t size) { return send(socket, data, size, MSG_NOSIGNAL); });
}

int SocketReceive(SocketHandle socket, char* buffer, int length) {
  return TransferOnce(buffer, length, [&](size_t size) { return recv(socket, buffer, size, 0); });
}

int SocketHasInput(SocketHandle socket) {
  // The system passes over a negative descriptor as one with nothing to read.
  if (socket == INVALID_SOCKET_HANDLE) return 1;
  struct pollfd p;
  p.fd = socket;
  p.events = POLLIN;
  p.revents = 0;
  for (;;) {
    const int rc = poll(&p, 1, 0);
    if (rc == 0) return 0;
    // A close, a reset or an invalid socket shows in revents as well.
    if (rc > 0) return 1;
    if (errno != EINTR) return 1;
  }
}

void SocketClose(SocketHandle socket) {
  if (socket == INVALID_SOCKET_HANDLE) return;
  InterruptForgetSocket(socket);
  close(socket);
}
