#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "platform/Socket.h"

namespace {

using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// A listening socket on 127.0.0.1 with a port of the system's choice.
class Listener {
 public:
  explicit Listener(int backlog = 4) {
    m_Fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_Fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(m_Fd, backlog);
    socklen_t len = sizeof addr;
    getsockname(m_Fd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_Port = ntohs(addr.sin_port);
  }
  ~Listener() { close(m_Fd); }
  uint16_t Port() const { return m_Port; }
  int Accept() { return accept(m_Fd, nullptr, nullptr); }

 private:
  int m_Fd = -1;
  uint16_t m_Port = 0;
};

// A connected pair: our client socket and the raw accepted peer.
struct Connection {
  SocketHandle client = INVALID_SOCKET_HANDLE;
  int peer = -1;
  ~Connection() {
    SocketClose(client);
    if (peer >= 0) close(peer);
  }
};

bool Connect(Listener& listener, Connection& conn) {
  conn.client = SocketCreateTcp();
  if (conn.client == INVALID_SOCKET_HANDLE) return false;
  if (!SocketConnectIPv4(conn.client, htonl(INADDR_LOOPBACK), listener.Port())) return false;
  conn.peer = listener.Accept();
  return conn.peer >= 0;
}

TEST(NetStartup, ReportsVersionAndIgnoresSigpipe) {
  uint16_t version = 0;
  EXPECT_EQ(NetStartup(0x0202, &version), 1);
  EXPECT_EQ(version, 0x0202);
  struct sigaction now;
  ASSERT_EQ(sigaction(SIGPIPE, nullptr, &now), 0);
  EXPECT_EQ(now.sa_handler, SIG_IGN);
  EXPECT_EQ(NetStartup(0x0202, &version), 1);  // again is fine
  NetCleanup();
}

TEST(ResolveHostIPv4, NamesAndDottedAddresses) {
  uint32_t address = 0;
  int length = 0;
  EXPECT_EQ(ResolveHostIPv4("127.0.0.1", &address, &length), 1);
  EXPECT_EQ(address, htonl(INADDR_LOOPBACK));
  EXPECT_EQ(length, 4);

  EXPECT_EQ(ResolveHostIPv4("10.1.2.3", &address, &length), 1);
  EXPECT_EQ(address, htonl(0x0A010203));

  address = 0;
  length = 0;
  EXPECT_EQ(ResolveHostIPv4("localhost", &address, &length), 1);
  EXPECT_EQ(ntohl(address) >> 24, 127u);
  EXPECT_EQ(length, 4);

  EXPECT_EQ(ResolveHostIPv4("", &address, &length), 0);
  EXPECT_EQ(ResolveHostIPv4(nullptr, &address, &length), 0);
}

TEST(Socket, ExchangesBytesAndSeesThePeerClose) {
  Listener listener;
  Connection conn;
  ASSERT_TRUE(Connect(listener, conn));
  EXPECT_EQ(SocketSetNoDelay(conn.client), 1);
  EXPECT_EQ(SocketSend(conn.client, "hello", 5), 5);
  char buffer[16];
  ASSERT_EQ(recv(conn.peer, buffer, 5, MSG_WAITALL), 5);
  EXPECT_EQ(std::string(buffer, 5), "hello");
  ASSERT_EQ(send(conn.peer, "world", 5, 0), 5);
  std::string got;
  while (got.size() < 5) {
    int n = SocketReceive(conn.client, buffer, sizeof buffer);
    ASSERT_GT(n, 0);
    got.append(buffer, static_cast<size_t>(n));
  }
  EXPECT_EQ(got, "world");
  close(conn.peer);
  conn.peer = -1;
  EXPECT_EQ(SocketReceive(conn.client, buffer, sizeof buffer), 0);
}

// Waits (bounded) until the socket has something to read, as a blocked
// receive would; the check under test itself never waits.
void AwaitInput(SocketHandle socket) {
  pollfd p{socket, POLLIN, 0};
  ASSERT_EQ(1, poll(&p, 1, 5000));
}

TEST(Socket, HasInputSeesBytesAndThePeerCloseWithoutWaiting) {
  Listener listener;
  Connection conn;
  ASSERT_TRUE(Connect(listener, conn));
  EXPECT_EQ(0, SocketHasInput(conn.client));
  ASSERT_EQ(send(conn.peer, "left", 4, 0), 4);
  AwaitInput(conn.client);
  EXPECT_EQ(1, SocketHasInput(conn.client));
  // Asking takes nothing.
  EXPECT_EQ(1, SocketHasInput(conn.client));
  char buffer[8];
  ASSERT_EQ(4, SocketReceive(conn.client, buffer, sizeof buffer));
  EXPECT_EQ(0, SocketHasInput(conn.client));
  close(conn.peer);
  conn.peer = -1;
  AwaitInput(conn.client);
  EXPECT_EQ(1, SocketHasInput(conn.client));
  EXPECT_EQ(0, SocketReceive(conn.client, buffer, sizeof buffer));
  EXPECT_EQ(1, SocketHasInput(INVALID_SOCKET_HANDLE));
}

TEST(Socket, ConnectToAClosedPortFails) {
  uint16_t port;
  {
    Listener gone;
    port = gone.Port();
  }
  SocketHandle s = SocketCreateTcp();
  ASSERT_NE(s, INVALID_SOCKET_HANDLE);
  EXPECT_EQ(SocketConnectIPv4(s, htonl(INADDR_LOOPBACK), port), 0);
  SocketClose(s);
  SocketClose(INVALID_SOCKET_HANDLE);
}

// The kernel's state of a TCP socket (TCP_CLOSE before a connect, TCP_SYN_SENT
// while its handshake waits for an answer), or -1.
int TcpState(int fd) {
  tcp_info info{};
  socklen_t length = sizeof info;
  return getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length) == 0 ? info.tcpi_state : -1;
}

// Why this holds on every run, whatever the scheduling: a listener with a
// backlog of 0 queues one connection, the filler's, and while that queue is
// full the kernel drops every handshake that comes in. The client's next try
// goes out only after the initial retransmission time-out, one second later.
// The acceptor empties the queue 400 ms after it has seen the connect under
// way, between the 100 ms send time-out and that retry, so the connect must
// outlast the time-out and then succeeds on the retry. A stalled acceptor
// only delays the retry that succeeds; the wait for the connect to be under
// way is bounded, so the test cannot hang.
TEST(Socket, ConnectOutlastsTheSendTimeOut) {
  Listener listener(0);
  int filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(listener.Port());
  ASSERT_EQ(connect(filler, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  SocketHandle s = SocketCreateTcp();
  ASSERT_NE(s, INVALID_SOCKET_HANDLE);
  ASSERT_EQ(SocketSetSendTimeout(s, 100), 1);
  std::vector<int> accepted;
  std::thread acceptor([&listener, &accepted, s] {
    for (int i = 0; i < 1000 && TcpState(s) == TCP_CLOSE; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    for (int i = 0; i < 2; ++i) accepted.push_back(listener.Accept());
  });
  Clock::time_point start = Clock::now();
  EXPECT_EQ(SocketConnectIPv4(s, htonl(INADDR_LOOPBACK), listener.Port()), 1);
  long elapsed = MillisecondsSince(start);
  acceptor.join();
  EXPECT_GE(elapsed, 100);
  EXPECT_EQ(SocketSend(s, "ok", 2), 2);
  SocketClose(s);
  close(filler);
  for (int fd : accepted)
    if (fd >= 0) close(fd);
}

TEST(Socket, ReceiveTimeOutFailsOnce) {
  Listener listener;
  Connection conn;
  ASSERT_TRUE(Connect(listener, conn));
  ASSERT_EQ(SocketSetRecvTimeout(conn.client, 200), 1);
  char buffer[16];
  Clock::time_point start = Clock::now();
  EXPECT_EQ(SocketReceive(conn.client, buffer, sizeof buffer), -1);
  long elapsed = MillisecondsSince(start);
  EXPECT_GE(elapsed, 150);
  EXPECT_LT(elapsed, 5000);
}

TEST(Socket, SendTimeOutFailsWhenThePeerDoesNotRead) {
  Listener listener;
  Connection conn;
  ASSERT_TRUE(Connect(listener, conn));
  int small = 4096;
  setsockopt(conn.client, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
  setsockopt(conn.peer, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  ASSERT_EQ(SocketSetSendTimeout(conn.client, 200), 1);
  std::vector<char> block(65536, 'x');
  Clock::time_point start = Clock::now();
  int result = 0;
  for (int i = 0; i < 2000 && result >= 0; ++i)
    result = SocketSend(conn.client, block.data(), static_cast<int>(block.size()));
  EXPECT_EQ(result, -1);
  EXPECT_LT(MillisecondsSince(start), 10000);
}

TEST(Socket, SendToAClosedPeerFailsWithoutSigpipe) {
  // In a child with SIGPIPE at its default, which would end the process.
  ChildResult child = RunInChild([] {
    signal(SIGPIPE, SIG_DFL);
    Listener listener;
    Connection conn;
    if (!Connect(listener, conn)) return 2;
    close(conn.peer);
    conn.peer = -1;
    int result = 0;
    for (int i = 0; i < 100 && result >= 0; ++i) {
      result = SocketSend(conn.client, "data", 4);
      usleep(2000);
    }
    return result == -1 ? 0 : 3;
  });
  EXPECT_TRUE(child.exited) << "signal " << child.signal;
  EXPECT_EQ(child.exitCode, 0);
}

TEST(Socket, ResetByThePeerIsReported) {
  Listener listener;
  Connection conn;
  ASSERT_TRUE(Connect(listener, conn));
  struct linger abort = {1, 0};  // close with a reset
  ASSERT_EQ(setsockopt(conn.peer, SOL_SOCKET, SO_LINGER, &abort, sizeof abort), 0);
  close(conn.peer);
  conn.peer = -1;
  ASSERT_EQ(SocketSetRecvTimeout(conn.client, 5000), 1);
  char buffer[16];
  EXPECT_EQ(SocketReceive(conn.client, buffer, sizeof buffer), -1);
}

}  // namespace
