#include "support/ScriptedServer.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <utility>

#include "support/ServerConnection.h"

namespace {

// What a TLS_HANDSHAKE_GARBAGE server answers to a client hello.
const char kNotTls[] = "HTTP/1.1 400 Bad Request\r\n\r\nthis is not TLS\r\n";

int OpenListener(unsigned short* port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  struct sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof(address);
  if (bind(fd, reinterpret_cast<struct sockaddr*>(&address), sizeof(address)) != 0 || listen(fd, 64) != 0 ||
      getsockname(fd, reinterpret_cast<struct sockaddr*>(&address), &length) != 0) {
    close(fd);
    return -1;
  }
  *port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

CScriptedServer::CScriptedServer(CServerScript script) : m_Script(std::move(script)) { Start(); }

CScriptedServer::CScriptedServer(CServerScript script, SSL_CTX* tlsContext, ETlsHandshake handshake)
    : m_Script(std::move(script)), m_TlsContext(tlsContext), m_Handshake(handshake), m_Scheme("https") {
  // Without a context there is no TLS server to be: stay closed.
  if (!m_TlsContext) return;
  SSL_CTX_up_ref(m_TlsContext);
  Start();
}

CScriptedServer::~CScriptedServer() {
  Stop();
  if (m_TlsContext) SSL_CTX_free(m_TlsContext);
}

void CScriptedServer::Start() {
  // TLS writes go through write(2), which would end the test program with
  // SIGPIPE when a client has gone.
  signal(SIGPIPE, SIG_IGN);
  m_ListenFd = OpenListener(&m_Port);
  if (m_ListenFd < 0) return;
  m_AcceptThread = std::thread(&CScriptedServer::AcceptLoop, this);
}

void CScriptedServer::Stop() {
  m_Stop.store(true);
  if (m_AcceptThread.joinable()) m_AcceptThread.join();
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(m_Mutex);
    threads.swap(m_ConnectionThreads);
  }
  for (std::thread& thread : threads) thread.join();
  if (m_ListenFd >= 0) close(m_ListenFd);
  m_ListenFd = -1;
}

std::string CScriptedServer::Url(const std::string& path) const {
  return m_Scheme + "://127.0.0.1:" + std::to_string(m_Port) + path;
}

void CScriptedServer::AcceptLoop() {
  while (!m_Stop.load()) {
    struct pollfd entry = {m_ListenFd, POLLIN, 0};
    if (poll(&entry, 1, 20) <= 0) continue;
    int fd = accept4(m_ListenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) continue;
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    std::lock_guard<std::mutex> lock(m_Mutex);
    int index = static_cast<int>(m_Records.size());
    m_Records.emplace_back();
    m_ConnectionThreads.emplace_back(&CScriptedServer::Serve, this, index, fd);
    m_Changed.notify_all();
  }
}

int CScriptedServer::Record(int index, const std::string& request) {
  std::lock_guard<std::mutex> lock(m_Mutex);
  m_Records[static_cast<size_t>(index)].m_Requests.push_back(request);
  m_Requests.push_back(request);
  m_Changed.notify_all();
  return 1;
}

void CScriptedServer::Finish(int index, const CServerConnection& connection) {
  std::lock_guard<std::mutex> lock(m_Mutex);
  m_Records[static_cast<size_t>(index)].m_PeerClosed = connection.PeerClosed();
  m_Records[static_cast<size_t>(index)].m_Finished = true;
  m_Changed.notify_all();
}

int CScriptedServer::Play(int index, CServerConnection& connection, const CExchange& exchange) {
  std::string request;
  EConnRead read = connection.ReadFor(exchange.m_ReadMode, exchange.m_ReadCount, &request);
  // A request cut short by the peer is still worth seeing in a test.
  if (exchange.m_ReadMode != READ_NOTHING && (read == CONN_READ_OK || !request.empty())) Record(index, request);
  if (read != CONN_READ_OK) return 0;
  for (const CServerAction& action : exchange.m_Actions) {
    switch (action.m_Kind) {
      case SERVER_ACTION_SEND:
        for (size_t i = 0; i < action.m_Times; ++i) {
          if (!connection.SendAll(action.m_Bytes)) return 0;
        }
        break;
      case SERVER_ACTION_PAUSE:
        if (!connection.Pause(action.m_Ms)) return 0;
        break;
      case SERVER_ACTION_CLOSE:
        connection.Close();
        break;
      case SERVER_ACTION_CLOSE_NO_NOTIFY:
        connection.CloseWithoutNotify();
        break;
      case SERVER_ACTION_RESET:
        connection.Reset();
        break;
      case SERVER_ACTION_SHUTDOWN_WRITE:
        connection.ShutdownWrite();
        break;
      case SERVER_ACTION_HOLD:
        connection.HoldSends(true);
        break;
      case SERVER_ACTION_FLUSH:
        connection.HoldSends(false);
        break;
    }
    if (!connection.IsOpen()) return 0;
  }
  return 1;
}

void CScriptedServer::Serve(int index, int fd) {
  CServerConnection connection(fd, m_Stop, m_Script.m_IoLimitMs);
  if (m_TlsContext) {
    if (m_Handshake != TLS_HANDSHAKE_COMPLETE) {
      std::string hello;
      connection.ReadSome(&hello);
      if (m_Handshake == TLS_HANDSHAKE_GARBAGE) connection.SendAll(kNotTls);
      connection.Close();
      Finish(index, connection);
      return;
    }
    int done = connection.AcceptTls(m_TlsContext);
    {
      std::lock_guard<std::mutex> lock(m_Mutex);
      m_Records[static_cast<size_t>(index)].m_HandshakeDone = done != 0;
      m_Records[static_cast<size_t>(index)].m_ServerName = connection.ServerName();
    }
    if (!done) {
      connection.CloseWithoutNotify();
      Finish(index, connection);
      return;
    }
  }

  if (m_Script.m_Repeat) {
    for (;;) {
      if (m_Script.m_Responder) {
        std::string request;
        EConnRead read = connection.ReadFor(READ_REQUEST, 0, &request);
        if (read == CONN_READ_OK || !request.empty()) Record(index, request);
        if (read != CONN_READ_OK) break;
        CExchange answer = m_Script.m_Responder(request);
        answer.m_ReadMode = READ_NOTHING;
        if (!Play(index, connection, answer)) break;
      } else if (!Play(index, connection, m_Script.m_Each)) {
        break;
      }
    }
  } else {
    int open = 1;
    if (static_cast<size_t>(index) < m_Script.m_Connections.size()) {
      for (const CExchange& exchange : m_Script.m_Connections[static_cast<size_t>(index)]) {
        open = Play(index, connection, exchange);
        if (!open) break;
      }
    }
    if (open && connection.IsOpen()) {
      // Off the script: wait for the peer to close; a request it sends
      // instead is recorded and ends the connection.
      std::string extra;
      EConnRead read = connection.ReadFor(READ_REQUEST, 0, &extra);
      if (read == CONN_READ_OK || !extra.empty()) Record(index, extra);
    }
  }
  connection.Close();
  Finish(index, connection);
}

std::vector<std::string> CScriptedServer::Requests() const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  return m_Requests;
}

std::string CScriptedServer::Request(size_t i) const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  return i < m_Requests.size() ? m_Requests[i] : std::string();
}

size_t CScriptedServer::RequestCount() const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  return m_Requests.size();
}

int CScriptedServer::ConnectionCount() const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  return static_cast<int>(m_Records.size());
}

std::vector<CConnectionRecord> CScriptedServer::Connections() const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  return m_Records;
}

int CScriptedServer::WaitForRequests(size_t n, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_Mutex);
  return m_Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_Requests.size() >= n; }) ? 1 : 0;
}

int CScriptedServer::WaitForConnections(int n, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_Mutex);
  return m_Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return static_cast<int>(m_Records.size()) >= n; })
             ? 1
             : 0;
}

int CScriptedServer::WaitForIdle(int timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_Mutex);
  return m_Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] {
                              for (const CConnectionRecord& record : m_Records) {
                                if (!record.m_Finished) return false;
                              }
                              return true;
                            })
             ? 1
             : 0;
}
