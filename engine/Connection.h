// One connection to a server: its socket, its TLS session and the bytes read
// ahead on it, held from open to close by one object.
#ifndef ZELVORA_ENGINE_CONNECTION_H
#define ZELVORA_ENGINE_CONNECTION_H

#include <cstdint>
#include <memory>
#include <string>

#include "engine/HttpTypes.h"
#include "platform/Socket.h"

// The TLS session type, declared as the TLS library declares it, so that
// users of the client need not see the library's headers.
struct ssl_st;
typedef struct ssl_st SSL;

// Most bytes one Receive hands out; its callers' buffers hold this many.
const int kReceiveBlock = 8192;

// 1 when *socket is connected to the first IPv4 address of host at port
// (ports 1 to 65534 only), 0 otherwise; the socket stays the caller's.
int ConnectToHost(const char* host, unsigned short port, SocketHandle* socket);

// Where a connection goes and how long its sends and receives may wait.
struct CConnectionTarget {
  const std::string& m_Host;
  unsigned short m_Port;
  int m_UseTls;
  uint32_t m_SendTimeout;
  uint32_t m_RecvTimeout;
};

class CConnection {
 public:
  CConnection() = default;
  // Closes what is open.
  ~CConnection() { Close(); }
  CConnection(const CConnection&) = delete;
  CConnection& operator=(const CConnection&) = delete;

  // 1 when a connection to target is ready: the open one when it goes there
  // with the same scheme and NothingLeftUnread (m_Reused then 1), else a new
  // one (handshake done for TLS). 0 with *error set, except after a failed
  // handshake, which prints "SSL: ..." and records nothing; a half-made
  // connection stays for Close.
  int Connect(const CConnectionTarget& target, HttpError* error);
  // Send and Receive go through the TLS session of a connection made for
  // TLS (m_Tls: without a session they fail, never fall back to plain).
  // 1 when all length bytes were handed to the connection, 0 with *error
  // set (plain: 0 without a code when there is no socket, no data or no
  // length).
  int Send(const char* data, int length, HttpError* error);
  // 1 with 1 to kReceiveBlock bytes copied into buffer and their count in
  // *received; 0 with *error set (closed by the peer, socket or TLS failure,
  // time-out), or without a code when there is no plain socket. On a plain
  // connection bytes are read ahead in larger blocks: a call returns at once
  // while any are buffered; Close drops them.
  int Receive(char* buffer, int* received, HttpError* error);
  // 1 when nothing waits unread: no bytes read ahead, none left in the TLS
  // session, and neither bytes nor the peer's close on the socket. Does not
  // wait.
  int NothingLeftUnread();
  // Ends the connection (a TLS session is shut down first), forgets where it
  // went and drops what was read ahead; the read-ahead block stays for the
  // next one. Safe when nothing is open.
  void Close();

  // Starts a try of a request: what it meets is recorded anew.
  void BeginTry();
  // 1 when the try went out on a kept connection that the peer then closed
  // or reset before any byte of the answer arrived.
  int LostBeforeAnswer() const;

  SocketHandle m_Socket = INVALID_SOCKET_HANDLE;
  SSL* m_Ssl = nullptr;
  // Where the open connection goes, and whether it was made for TLS (from
  // the moment its socket connects, before the handshake); a request
  // elsewhere connects anew.
  std::string m_Host;
  unsigned short m_Port = 0;
  int m_Tls = 0;
  // What the try under way met. Connect: 1 when it took the kept connection
  // (Connect sets it anew). Receive: 1 once a byte arrived. Send and
  // Receive: 1 when one failed because the peer closed or reset the
  // connection (a time-out is not that); BeginTry clears these two.
  int m_Reused = 0;
  int m_AnswerBegun = 0;
  int m_PeerEnded = 0;

 private:
  // The TCP connection, recorded as the open one; 0 with HTTP_ERR_CONNECT.
  int OpenSocket(const CConnectionTarget& target, HttpError* error);
  // The session on it and its handshake; 0 with HTTP_ERR_SSL_SESSION, or
  // printed and without a code for the handshake.
  int StartTls(const std::string& host, HttpError* error);
  int SendAll(const char* data, int length, HttpError* error);
  // One read of the session, at most kReceiveBlock.
  int ReceiveTls(char* buffer, int* received, HttpError* error);
  // One read of the plain socket into the read-ahead block.
  int ReceivePlain(char* buffer, int* received, HttpError* error);
  // After a failed send or receive: sets m_PeerEnded when the peer closed or
  // reset the connection (peerClosed, or its end waits on the socket; a
  // time-out leaves nothing there). Returns 0, the failure's result.
  int NotePeerEnd(int peerClosed);

  // Plain-socket read-ahead: a block made on the first plain receive and
  // kept for every later connection (never filled with zeros), and the bytes
  // in it from m_ReadAheadStart to m_ReadAheadEnd that no Receive has handed
  // out yet.
  std::unique_ptr<char[]> m_ReadAhead;
  unsigned int m_ReadAheadStart = 0;
  unsigned int m_ReadAheadEnd = 0;
};

#endif
