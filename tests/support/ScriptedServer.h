// A test HTTP server on 127.0.0.1 that plays a CServerScript (see
// ServerScript.h) and records what it received.
//
//   CScriptedServer server({{Exchange().Reply("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi")}});
//   ... client talks to server.Url("/file") ...
//   EXPECT_EQ(server.Request(0), "GET /file HTTP/1.1\r\n...\r\n\r\n");
//
// It listens before the constructor returns, on an ephemeral port, and plays
// every connection on a thread of its own (connections are given their scripts
// in the order they are accepted). The destructor stops and joins everything;
// no wait inside takes longer than the script's I/O limit.
#ifndef ZELVORA_TESTS_SUPPORT_SCRIPTEDSERVER_H
#define ZELVORA_TESTS_SUPPORT_SCRIPTEDSERVER_H

#include <openssl/ssl.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/ServerScript.h"

// What one accepted connection brought.
struct CConnectionRecord {
  std::vector<std::string> m_Requests;  // raw bytes of each read, head and body
  std::string m_ServerName;             // TLS: the SNI name, empty without one
  bool m_HandshakeDone = false;         // TLS: the handshake completed
  bool m_PeerClosed = false;            // the peer's data ended in an orderly way
  bool m_Finished = false;              // the server is done with it
};

// How a TLS server treats a new connection.
enum ETlsHandshake {
  TLS_HANDSHAKE_COMPLETE,  // a normal handshake, then the script
  TLS_HANDSHAKE_GARBAGE,   // answers the client hello with bytes that are not TLS, then closes
  TLS_HANDSHAKE_CLOSE,     // closes as soon as the client hello arrived
};

class CScriptedServer {
 public:
  explicit CScriptedServer(CServerScript script);
  virtual ~CScriptedServer();
  CScriptedServer(const CScriptedServer&) = delete;
  CScriptedServer& operator=(const CScriptedServer&) = delete;

  // 1 when the server listens (Port() is then valid), 0 when it could not start.
  int IsListening() const { return m_ListenFd >= 0 ? 1 : 0; }
  unsigned short Port() const { return m_Port; }
  // "http://127.0.0.1:<port>" + path ("https://" for the TLS server).
  std::string Url(const std::string& path = "/") const;

  // Stops accepting, ends every connection and joins the threads. After it the
  // records are final. Safe to call more than once.
  void Stop();

  // Every recorded request over all connections, in the order they completed.
  std::vector<std::string> Requests() const;
  // Request i, or "" when there is none.
  std::string Request(size_t i) const;
  size_t RequestCount() const;
  int ConnectionCount() const;
  std::vector<CConnectionRecord> Connections() const;

  // Wait until at least n requests (connections) were recorded, or until
  // the time-out. Return 1 when reached, 0 on time-out.
  int WaitForRequests(size_t n, int timeoutMs = 5000) const;
  int WaitForConnections(int n, int timeoutMs = 5000) const;
  // Waits until every connection accepted so far is finished.
  int WaitForIdle(int timeoutMs = 5000) const;

 protected:
  // For the TLS server: `tlsContext` (a reference is taken) makes each
  // connection start with the handshake that `handshake` asks for.
  CScriptedServer(CServerScript script, SSL_CTX* tlsContext, ETlsHandshake handshake);

 private:
  void Start();
  void AcceptLoop();
  void Serve(int index, int fd);
  // Plays one exchange. Returns 1 when the connection is still open.
  int Play(int index, class CServerConnection& connection, const CExchange& exchange);
  int Record(int index, const std::string& request);
  void Finish(int index, const class CServerConnection& connection);

  CServerScript m_Script;
  SSL_CTX* m_TlsContext = nullptr;
  ETlsHandshake m_Handshake = TLS_HANDSHAKE_COMPLETE;
  std::string m_Scheme = "http";
  int m_ListenFd = -1;
  unsigned short m_Port = 0;
  std::atomic<bool> m_Stop{false};
  std::thread m_AcceptThread;

  mutable std::mutex m_Mutex;
  mutable std::condition_variable m_Changed;
  std::vector<std::thread> m_ConnectionThreads;
  std::vector<CConnectionRecord> m_Records;
  std::vector<std::string> m_Requests;
};

#endif
