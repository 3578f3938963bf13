#include "fakesocket/FakeSocket.h"

#include <cstring>

#include "platform/Socket.h"

namespace {

// Sockets are numbered from here in the order they are made; in serve mode
// any handle but the invalid one reaches the one stream.
const SocketHandle kFirstHandle = 100;

struct CLiveConnection {
  CFakeConnection m_Script;
  size_t m_Piece = 0;   // the piece the next receive takes from
  size_t m_Offset = 0;  // bytes of it already handed out
  uint64_t m_Round = 0;  // times the piece was handed out whole
  bool m_Connected = false;
  bool m_Closed = false;
  // A close or reset has been received: like a real socket's, it stays
  // visible to SocketHasInput (a time-out leaves nothing there).
  bool m_EndSeen = false;
  std::string m_Sent;
  size_t m_Received = 0;
};

std::vector<CFakeConnection> g_Script;
std::vector<CLiveConnection> g_Live;  // one per socket made
int g_Connects = 0;

bool g_Serving = false;
const uint8_t* g_Data = nullptr;
size_t g_Size = 0;
size_t g_Offset = 0;
const uint8_t* g_PieceSizes = nullptr;
size_t g_PieceCount = 0;
size_t g_NextPiece = 0;
int g_EndWithError = 0;

// The scripted connection behind a handle, or null.
CLiveConnection* Find(SocketHandle socket) {
  if (socket < kFirstHandle) return nullptr;
  const size_t index = static_cast<size_t>(socket - kFirstHandle);
  return index < g_Live.size() ? &g_Live[index] : nullptr;
}

const CLiveConnection* Recorded(size_t connection) {
  return connection < g_Live.size() ? &g_Live[connection] : nullptr;
}

int ServeReceive(char* buffer, int length) {
  if (g_Offset >= g_Size) return g_EndWithError ? -1 : 0;
  size_t piece = static_cast<size_t>(length);
  if (g_PieceCount > 0) {
    const size_t wanted = g_PieceSizes[g_NextPiece++ % g_PieceCount];
    if (wanted != 0 && wanted < piece) piece = wanted;
  }
  if (piece > g_Size - g_Offset) piece = g_Size - g_Offset;
  memcpy(buffer, g_Data + g_Offset, piece);
  g_Offset += piece;
  return static_cast<int>(piece);
}

int ScriptReceive(CLiveConnection& live, char* buffer, int length) {
  if (!live.m_Connected || live.m_Closed) return -1;
  const std::vector<std::string>& pieces = live.m_Script.m_Pieces;
  if (live.m_Piece >= pieces.size()) {
    switch (live.m_Script.m_End) {
      case FAKE_END_RESET:
        live.m_EndSeen = true;
        return -1;
      case FAKE_END_TIME_OUT:
        return -1;
      case FAKE_END_CLOSE:
        break;
    }
    live.m_EndSeen = true;
    return 0;
  }
  const std::string& piece = pieces[live.m_Piece];
  size_t count = piece.size() - live.m_Offset;
  if (count > static_cast<size_t>(length)) count = static_cast<size_t>(length);
  memcpy(buffer, piece.data() + live.m_Offset, count);
  live.m_Offset += count;
  live.m_Received += count;
  if (live.m_Offset == piece.size()) {
    live.m_Offset = 0;
    const std::vector<uint64_t>& repeats = live.m_Script.m_Repeats;
    const uint64_t times = live.m_Piece < repeats.size() ? repeats[live.m_Piece] : 1;
    if (++live.m_Round >= times) {
      ++live.m_Piece;
      live.m_Round = 0;
    }
  }
  return static_cast<int>(count);
}

}  // namespace

CFakeConnection& CFakeConnection::Receive(const std::string& bytes) {
  if (bytes.empty()) return *this;
  m_Pieces.push_back(bytes);
  m_Unasked.push_back(false);
  m_Repeats.resize(m_Pieces.size() - 1, 1);
  m_Repeats.push_back(1);
  return *this;
}

CFakeConnection& CFakeConnection::ReceiveRepeated(const std::string& bytes, uint64_t times) {
  if (bytes.empty() || times == 0) return *this;
  Receive(bytes);
  m_Repeats.back() = times;
  return *this;
}

CFakeConnection& CFakeConnection::Unasked(const std::string& bytes) {
  if (bytes.empty()) return *this;
  m_Pieces.push_back(bytes);
  m_Unasked.push_back(true);
  return *this;
}

CFakeConnection& CFakeConnection::ReceiveInPieces(const std::string& bytes, size_t pieceSize) {
  if (pieceSize == 0) return Receive(bytes);
  for (size_t at = 0; at < bytes.size(); at += pieceSize) Receive(bytes.substr(at, pieceSize));
  return *this;
}

CFakeConnection& CFakeConnection::Close() {
  m_End = FAKE_END_CLOSE;
  return *this;
}

CFakeConnection& CFakeConnection::Reset() {
  m_End = FAKE_END_RESET;
  return *this;
}

CFakeConnection& CFakeConnection::TimeOut() {
  m_End = FAKE_END_TIME_OUT;
  return *this;
}

CFakeConnection& CFakeConnection::EndUnasked() {
  m_EndUnasked = true;
  return *this;
}

void FakeSocketScript(const std::vector<CFakeConnection>& connections) {
  g_Serving = false;
  g_Script = connections;
  g_Live.clear();
  g_Connects = 0;
}

int FakeSocketConnects() { return g_Connects; }

std::string FakeSocketSent(size_t connection) {
  const CLiveConnection* live = Recorded(connection);
  return live ? live->m_Sent : std::string();
}

size_t FakeSocketReceived(size_t connection) {
  const CLiveConnection* live = Recorded(connection);
  return live ? live->m_Received : 0;
}

bool FakeSocketClosed(size_t connection) {
  const CLiveConnection* live = Recorded(connection);
  return live && live->m_Closed;
}

void FakeSocketServe(const uint8_t* data, size_t size, const uint8_t* pieceSizes, size_t pieceCount,
                     int endWithError) {
  FakeSocketScript({});
  g_Serving = true;
  g_Data = data;
  g_Size = size;
  g_Offset = 0;
  g_PieceSizes = pieceSizes;
  g_PieceCount = pieceCount;
  g_NextPiece = 0;
  g_EndWithError = endWithError;
}

size_t FakeSocketServed() { return g_Offset; }

int NetStartup(uint16_t wantVersion, uint16_t* gotVersion) {
  (void)wantVersion;
  if (gotVersion) *gotVersion = 0x0202;
  return 1;
}

void NetCleanup() {}

SocketHandle SocketCreateTcp() {
  if (g_Serving) return kFirstHandle;
  CLiveConnection live;
  if (g_Live.size() < g_Script.size()) live.m_Script = g_Script[g_Live.size()];
  g_Live.push_back(live);
  return kFirstHandle + static_cast<SocketHandle>(g_Live.size() - 1);
}

int SocketSetSendTimeout(SocketHandle socket, uint32_t milliseconds) {
  (void)milliseconds;
  return socket != INVALID_SOCKET_HANDLE;
}

int SocketSetRecvTimeout(SocketHandle socket, uint32_t milliseconds) {
  (void)milliseconds;
  return socket != INVALID_SOCKET_HANDLE;
}

int SocketSetNoDelay(SocketHandle socket) { return socket != INVALID_SOCKET_HANDLE; }

int ResolveHostIPv4(const char* host, uint32_t* address, int* addressLength) {
  if (!host || !*host) return 0;
  if (address) *address = 0x0100007f;
  if (addressLength) *addressLength = 4;
  return 1;
}

int SocketConnectIPv4(SocketHandle socket, uint32_t address, uint16_t port) {
  (void)address;
  (void)port;
  if (g_Serving) return socket != INVALID_SOCKET_HANDLE;
  CLiveConnection* live = Find(socket);
  const size_t index = static_cast<size_t>(socket - kFirstHandle);
  if (!live || index >= g_Script.size() || live->m_Connected || live->m_Closed) return 0;
  live->m_Connected = true;
  ++g_Connects;
  return 1;
}

int SocketSend(SocketHandle socket, const char* data, int length) {
  if (socket == INVALID_SOCKET_HANDLE || !data || length < 0) return -1;
  if (g_Serving) return length;
  CLiveConnection* live = Find(socket);
  if (!live || !live->m_Connected || live->m_Closed) return -1;
  live->m_Sent.append(data, static_cast<size_t>(length));
  return length;
}

int SocketReceive(SocketHandle socket, char* buffer, int length) {
  if (socket == INVALID_SOCKET_HANDLE || !buffer || length < 0) return -1;
  if (g_Serving) return ServeReceive(buffer, length);
  CLiveConnection* live = Find(socket);
  if (!live) return -1;
  return ScriptReceive(*live, buffer, length);
}

int SocketHasInput(SocketHandle socket) {
  if (socket == INVALID_SOCKET_HANDLE) return 1;
  if (g_Serving) return g_Offset < g_Size || !g_EndWithError;
  const CLiveConnection* live = Find(socket);
  // A receive on a socket that is not connected fails at once.
  if (!live || !live->m_Connected || live->m_Closed) return 1;
  if (live->m_Offset > 0) return 1;
  const CFakeConnection& script = live->m_Script;
  if (live->m_Piece < script.m_Pieces.size())
    return live->m_Piece < script.m_Unasked.size() && script.m_Unasked[live->m_Piece];
  return script.m_EndUnasked || live->m_EndSeen;
}

void SocketClose(SocketHandle socket) {
  CLiveConnection* live = g_Serving ? nullptr : Find(socket);
  if (live) live->m_Closed = true;
}
