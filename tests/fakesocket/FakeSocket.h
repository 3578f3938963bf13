// A stand-in for the platform socket layer (platform/Socket.h) that plays
// connections from memory, so a test decides exactly what every receive
// hands out: no server, no sleeps, no guessing where the kernel cuts.
//
// A program links it in place of platform/Socket.cpp: the fuzz targets, and
// the test program in tests/exchange/ (everything there runs on this fake).
//
// Scripting connections:
//
//   FakeSocketScript({
//       CFakeConnection()                      // first socket
//           .Receive("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabcd")
//           .Receive("efghij"),                // ends with a close by default
//       CFakeConnection().Receive("HTTP/1.1 200").Reset()});  // second socket
//
// Every socket made takes the next connection of the script; connecting one
// made past its end fails as a refused connect would. Each Receive(bytes) is
// what exactly one SocketReceive hands out (fewer only when the caller's
// buffer is smaller; the rest then comes with the next receive). After the
// last piece the connection ends as its script says: Close() (receive gives
// 0, the default), Reset() (-1) or TimeOut() (-1).
//
// SocketHasInput sees what the peer sent before the client asked: the rest
// of a piece a receive did not take whole, a piece scripted with
// Unasked(bytes) once the pieces before it are taken, and, once every piece
// is taken, an end scripted with EndUnasked(). Receive pieces and other ends
// count as answers to what the client sends next: the check does not see them
// until a receive has met them; a close or reset then stays visible, as on a
// real socket, and a time-out does not.
//
// What it records, until the next FakeSocketScript: FakeSocketConnects()
// (successful connects), FakeSocketSent(i) (every byte sent on connection i,
// in order), FakeSocketReceived(i) (how many bytes receives on it handed
// out) and FakeSocketClosed(i) (the client closed connection i).
//
// Serving one stream (the fuzz targets): FakeSocketServe plays a single run
// of bytes cut by a cycle of piece sizes, to every socket alike.
//
// Name resolution gives 127.0.0.1 for any non-empty host. Sends on a
// connected socket always take every byte. One thread at a time.
// A test that wants the fake goes into tests/exchange/.
#ifndef ZELVORA_TESTS_FAKESOCKET_FAKESOCKET_H
#define ZELVORA_TESTS_FAKESOCKET_FAKESOCKET_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum EFakeEnd {
  FAKE_END_CLOSE,     // the peer closed: receive returns 0
  FAKE_END_RESET,     // receive fails (-1) as after a reset
  FAKE_END_TIME_OUT,  // receive fails (-1) as after a time-out
};

class CFakeConnection {
 public:
  // One receive's worth of bytes (an empty piece is ignored).
  CFakeConnection& Receive(const std::string& bytes);
  // The bytes as receives of pieceSize each (the last may be shorter).
  CFakeConnection& ReceiveInPieces(const std::string& bytes, size_t pieceSize);
  // A piece that is already waiting when the client checks the socket.
  CFakeConnection& Unasked(const std::string& bytes);
  // The bytes times times over, each time as one receive's worth, with no
  // copy made: a stream of many GiB costs only its piece.
  CFakeConnection& ReceiveRepeated(const std::string& bytes, uint64_t times);
  CFakeConnection& Close();
  CFakeConnection& Reset();
  CFakeConnection& TimeOut();
  // The end is already waiting once every piece is taken.
  CFakeConnection& EndUnasked();

  std::vector<std::string> m_Pieces;
  // Per piece: sent before the client asked (see Unasked).
  std::vector<bool> m_Unasked;
  // Per piece: how many times it is handed out in a row.
  std::vector<uint64_t> m_Repeats;
  EFakeEnd m_End = FAKE_END_CLOSE;
  bool m_EndUnasked = false;
};

// Replaces the script and clears what was recorded.
void FakeSocketScript(const std::vector<CFakeConnection>& connections);

int FakeSocketConnects();
// Empty / false for a connection that was never made.
std::string FakeSocketSent(size_t connection);
size_t FakeSocketReceived(size_t connection);
bool FakeSocketClosed(size_t connection);

// Makes the next receives on any socket serve data (not copied: it must
// outlive them). Piece sizes are taken in turn from pieceSizes (0 means as
// much as the caller's buffer takes); no sizes means whole buffers. When the
// data is used up a receive reports a closed peer, or a time-out when
// endWithError. Replaces any script.
void FakeSocketServe(const uint8_t* data, size_t size, const uint8_t* pieceSizes, size_t pieceCount,
                     int endWithError);

// Bytes handed out since the last FakeSocketServe.
size_t FakeSocketServed();

#endif
