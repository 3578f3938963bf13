// An interrupt that comes just before a receive blocks must still end it at
// once, not when the peer sends or the receive time-out runs out.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "ChildProcess.h"
#include "platform/Interrupt.h"
#include "platform/Socket.h"

namespace {

using Clock = std::chrono::steady_clock;

// The receive time-out of every socket here; an interrupt must end a
// receive well before it.
const uint32_t kRecvTimeoutMs = 5000;
const auto kPromptly = std::chrono::milliseconds(2000);

// A listener on 127.0.0.1 that accepts (in the kernel) and never sends.
class CSilentListener {
 public:
  CSilentListener() {
    m_Fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_Fd < 0 || bind(m_Fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(m_Fd, 256) != 0 ||
        getsockname(m_Fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    m_Port = ntohs(address.sin_port);
  }
  ~CSilentListener() {
    if (m_Fd >= 0) close(m_Fd);
  }
  uint16_t Port() const { return m_Port; }

 private:
  int m_Fd = -1;
  uint16_t m_Port = 0;
};

// A socket connected to port through the socket layer, or INVALID_SOCKET_HANDLE.
SocketHandle ConnectSilent(uint16_t port) {
  SocketHandle socket = SocketCreateTcp();
  if (socket == INVALID_SOCKET_HANDLE) return socket;
  SocketSetRecvTimeout(socket, kRecvTimeoutMs);
  if (!SocketConnectIPv4(socket, htonl(INADDR_LOOPBACK), port)) {
    SocketClose(socket);
    return INVALID_SOCKET_HANDLE;
  }
  return socket;
}

// Each case runs in a child: the handler and the flag last for the process.

// The signal lands after the socket layer looked at the flag and before its
// receive starts: here the receive is made by hand once the signal is in.
TEST(InterruptSocket, AReceiveStartedAfterTheSignalReturnsAtOnce) {
  CSilentListener listener;
  ASSERT_NE(0, listener.Port());
  ChildResult child = RunInChild([&] {
    if (!InterruptCatch()) return 1;
    SocketHandle socket = ConnectSilent(listener.Port());
    if (socket == INVALID_SOCKET_HANDLE) return 2;
    raise(SIGINT);
    const Clock::time_point start = Clock::now();
    char byte = 0;
    const ssize_t got = recv(socket, &byte, 1, 0);
    if (Clock::now() - start > kPromptly) return 3;
    if (got != 0) return 4;
    // The socket layer tells this end from the peer's close.
    if (SocketReceive(socket, &byte, 1) != -1) return 5;
    SocketClose(socket);
    return 0;
  });
  ASSERT_TRUE(child.exited) << child.signal;
  EXPECT_EQ(0, child.exitCode);
}

// A closed socket is forgotten: the signal must not shut down whatever the
// descriptor is given to next.
TEST(InterruptSocket, AClosedSocketIsNotShutDown) {
  CSilentListener listener;
  ASSERT_NE(0, listener.Port());
  ChildResult child = RunInChild([&] {
    if (!InterruptCatch()) return 1;
    SocketHandle first = ConnectSilent(listener.Port());
    if (first == INVALID_SOCKET_HANDLE) return 2;
    SocketClose(first);
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return 3;
    raise(SIGINT);
    // Had the signal shut down the descriptor (reused by the pair), this
    // write would fail.
    if (write(pair[0], "k", 1) != 1 || write(pair[1], "k", 1) != 1) return 4;
    return 0;
  });
  ASSERT_TRUE(child.exited) << child.signal;
  EXPECT_EQ(0, child.exitCode);
}

// The real race, many times: a signal sent to the receiving thread at
// varied moments around the start of its receive, from within the socket
// layer's own look at the flag to the block itself.
TEST(InterruptSocket, ASignalAsTheReceiveBlocksEndsItEveryTime) {
  CSilentListener listener;
  ASSERT_NE(0, listener.Port());
  const int kRounds = 60;
  for (int round = 0; round < kRounds; ++round) {
    ChildResult child = RunInChild([&] {
      if (!InterruptCatch()) return 1;
      SocketHandle socket = ConnectSilent(listener.Port());
      if (socket == INVALID_SOCKET_HANDLE) return 2;
      const pthread_t receiver = pthread_self();
      std::thread sender([&] {
        // 0 to about 60 microseconds: most land just before or inside the
        // receive call.
        const auto until = Clock::now() + std::chrono::microseconds(round);
        while (Clock::now() < until) {
        }
        pthread_kill(receiver, SIGINT);
      });
      const Clock::time_point start = Clock::now();
      char byte = 0;
      const int got = SocketReceive(socket, &byte, 1);
      const bool prompt = Clock::now() - start <= kPromptly;
      sender.join();
      SocketClose(socket);
      if (!prompt) return 3;
      if (got != -1) return 4;
      return 0;
    });
    ASSERT_TRUE(child.exited) << "round " << round << " signal " << child.signal;
    ASSERT_EQ(0, child.exitCode) << "round " << round;
  }
}

}  // namespace
