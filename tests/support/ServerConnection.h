// One accepted connection of a test server, plain TCP or TLS over it. Every
// wait is a poll in short slices that also watches a stop flag, so a silent
// or vanished peer never holds a test up for longer than the I/O limit.
#ifndef ZELVORA_TESTS_SUPPORT_SERVERCONNECTION_H
#define ZELVORA_TESTS_SUPPORT_SERVERCONNECTION_H

#include <openssl/ssl.h>

#include <atomic>
#include <cstddef>
#include <string>

#include "support/ServerScript.h"

// Results of the reading operations.
enum EConnRead {
  CONN_READ_OK = 1,
  CONN_READ_CLOSED = 0,     // orderly end of the peer's data (FIN, close_notify)
  CONN_READ_ERROR = -1,     // reset or other failure
  CONN_READ_TIMED_OUT = -2  // I/O limit reached or server stopping
};

// Length of the first complete request in `bytes` for READ_REQUEST/READ_HEAD
// (head up to and with the empty line, plus Content-Length bytes for
// READ_REQUEST), or 0 while it is incomplete.
size_t CompleteRequestLength(const std::string& bytes, bool withBody);

// Makes every handshake of `ctx` record the client's server name in its
// CServerConnection.
void InstallServerNameRecorder(SSL_CTX* ctx);

class CServerConnection {
 public:
  CServerConnection(int fd, const std::atomic<bool>& stop, int ioLimitMs);
  ~CServerConnection();
  CServerConnection(const CServerConnection&) = delete;
  CServerConnection& operator=(const CServerConnection&) = delete;

  // Runs the server side of a TLS handshake with a fresh SSL of `ctx`.
  // Returns 1, or 0 when the handshake failed.
  int AcceptTls(SSL_CTX* ctx);
  SSL* Ssl() const { return m_Ssl; }
  // The server name (SNI) the client sent, empty without one. Filled during
  // AcceptTls when `ctx` went through InstallServerNameRecorder.
  const std::string& ServerName() const { return m_ServerName; }
  void SetServerName(const std::string& name) { m_ServerName = name; }
  // True once the peer's data ended in an orderly way.
  bool PeerClosed() const { return m_PeerClosed; }

  // Reads what `mode` asks for into *request. READ_UNTIL_CLOSE gives
  // CONN_READ_OK when the peer's data ended. On CONN_READ_CLOSED,
  // CONN_READ_ERROR and CONN_READ_TIMED_OUT, *request holds what arrived.
  EConnRead ReadFor(EReadMode mode, size_t count, std::string* request);
  // Waits for and takes whatever arrives next (at least one byte).
  EConnRead ReadSome(std::string* bytes);

  // Returns 1 when every byte went out, 0 otherwise.
  int SendAll(const std::string& bytes);
  // Sleeps, cut short by a stop. Returns 0 when stopping.
  int Pause(int ms);

  void Close();
  void CloseWithoutNotify();
  void Reset();
  void ShutdownWrite();
  // On: what is sent stays in the kernel until it is turned off again.
  void HoldSends(bool hold);
  bool IsOpen() const { return m_Fd >= 0; }

 private:
  // Waits for `events` on the socket until the I/O limit. 1 ready, 0 not.
  int WaitFor(short events, int limitMs);
  // One read into m_Pending: CONN_READ_OK or the end reached.
  EConnRead Fill();
  void SendTlsCloseNotify();
  void DrainAndClose();
  void FreeSsl();

  int m_Fd;
  SSL* m_Ssl = nullptr;
  const std::atomic<bool>& m_Stop;
  int m_IoLimitMs;
  bool m_WriteShut = false;
  bool m_PeerClosed = false;
  std::string m_ServerName;
  std::string m_Pending;  // received, not yet handed to an exchange
};

#endif
