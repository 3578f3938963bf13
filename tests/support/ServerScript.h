// What a scripted test server does on its connections, written as plain data.
//
//   CServerScript script = {
//       {  // first connection: two requests answered on it, then a clean close
//           Exchange().Reply("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"),
//           Exchange().Reply("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n").ThenClose()},
//       {  // second connection: half a head, a pause, then a reset
//           Exchange().Send("HTTP/1.1 200").Pause(200).Reset()}};
//
// Each exchange first reads (by default one request: the head up to the empty
// line, then Content-Length bytes of body when the head has one), records what
// it read, then runs its actions in order.
#ifndef ZELVORA_TESTS_SUPPORT_SERVERSCRIPT_H
#define ZELVORA_TESTS_SUPPORT_SERVERSCRIPT_H

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

enum EReadMode {
  READ_REQUEST,      // head, then Content-Length bytes of body if the head names a length
  READ_HEAD,         // head only; any body stays unread for the next exchange
  READ_BYTES,        // exactly m_ReadCount bytes
  READ_UNTIL_CLOSE,  // everything until the peer closes or shuts down its sending side
  READ_NOTHING,      // act at once (nothing is recorded)
};

enum EServerActionKind {
  SERVER_ACTION_SEND,
  SERVER_ACTION_PAUSE,
  // Orderly close: TLS close_notify, FIN, then unread input is drained for a
  // moment so the peer gets the FIN rather than a reset.
  SERVER_ACTION_CLOSE,
  // TLS: TCP close without close_notify (a truncated stream). Plain: as CLOSE.
  SERVER_ACTION_CLOSE_NO_NOTIFY,
  SERVER_ACTION_RESET,           // SO_LINGER 0 and close: the peer sees ECONNRESET
  SERVER_ACTION_SHUTDOWN_WRITE,  // TLS close_notify and FIN, connection kept for reading
  // Later sends wait in the server until SERVER_ACTION_FLUSH, then leave
  // together: the peer finds them all at once (two TLS records, say).
  SERVER_ACTION_HOLD,
  SERVER_ACTION_FLUSH,
};

struct CServerAction {
  EServerActionKind m_Kind;
  std::string m_Bytes;  // SEND
  int m_Ms;             // PAUSE
  size_t m_Times = 1;   // SEND: m_Bytes this many times in a row
};

class CExchange {
 public:
  // How the request of this exchange is read (default READ_REQUEST).
  CExchange& ReadRequest();
  CExchange& ReadHeadOnly();
  CExchange& ReadBytes(size_t count);
  CExchange& ReadUntilClose();
  CExchange& ReadNothing();

  // Actions, run in the order given, after the read.
  CExchange& Send(const std::string& bytes);
  CExchange& Reply(const std::string& bytes) { return Send(bytes); }
  // The bytes `times` times in a row, held once: a body of any size from
  // one block of it.
  CExchange& SendRepeated(const std::string& bytes, size_t times);
  // The bytes in pieces of `pieceSize` with `ms` between pieces.
  CExchange& SendInPieces(const std::string& bytes, size_t pieceSize, int ms);
  CExchange& Pause(int ms);
  CExchange& Close();
  CExchange& ThenClose() { return Close(); }
  CExchange& CloseWithoutNotify();
  CExchange& Reset();
  CExchange& ThenReset() { return Reset(); }
  CExchange& ShutdownWrite();
  CExchange& Hold();
  CExchange& Flush();
  CExchange& SendAndClose(const std::string& bytes) { return Send(bytes).Close(); }

  // True when an action ends the connection (CLOSE, CLOSE_NO_NOTIFY, RESET).
  bool EndsConnection() const;

  EReadMode m_ReadMode = READ_REQUEST;
  size_t m_ReadCount = 0;
  std::vector<CServerAction> m_Actions;
};

// Reads nicely at the start of a chain: Exchange().Reply(...).ThenClose().
inline CExchange Exchange() { return CExchange(); }

typedef std::vector<CExchange> CConnectionScript;

// Computes the answer to a request from its raw bytes (head and body). Runs on
// a server thread: anything it touches outside must be safe for that.
typedef std::function<CExchange(const std::string& request)> CResponder;
typedef std::function<std::string(const std::string& request)> CReplyMaker;

// How long the server waits for the peer before it gives up on a read or a
// send; a test never hangs longer than this on a silent client.
const int SCRIPT_IO_LIMIT_MS = 10000;

class CServerScript {
 public:
  // No connection scripted: every connection reads one request and is closed.
  CServerScript() = default;
  // One script per connection, in the order the connections are accepted.
  // Connections beyond the list behave as unscripted ones. After the last
  // exchange of a connection that is still open, the server waits for the
  // peer to close; a further request is recorded and answered by a close.
  CServerScript(std::initializer_list<CConnectionScript> connections);
  explicit CServerScript(std::vector<CConnectionScript> connections);

  // One connection, one request, this reply; the connection then stays until
  // the peer closes it.
  static CServerScript OneReply(const std::string& reply);
  // Every request on every connection is answered by `each` (its read mode
  // is used too) until the peer closes or an action ends the connection.
  static CServerScript Always(const CExchange& each);
  static CServerScript AlwaysReply(const std::string& reply);
  // Every request (read as READ_REQUEST) on every connection is answered by
  // what the responder makes of it.
  static CServerScript Computed(CResponder responder);
  static CServerScript ComputedReply(CReplyMaker maker);

  // Changes the read/send limit (milliseconds).
  CServerScript& IoLimit(int ms);

  std::vector<CConnectionScript> m_Connections;
  bool m_Repeat = false;
  CExchange m_Each;
  CResponder m_Responder;
  int m_IoLimitMs = SCRIPT_IO_LIMIT_MS;
};

#endif
