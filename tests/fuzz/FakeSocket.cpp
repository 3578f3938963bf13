#include "FakeSocket.h"

#include <cstring>

#include "platform/Socket.h"

namespace {

// The one fake connection; any handle but the invalid one reaches it.
const SocketHandle kFakeHandle = 3;

const uint8_t* g_Data = nullptr;
size_t g_Size = 0;
size_t g_Offset = 0;
const uint8_t* g_Pieces = nullptr;
size_t g_PieceCount = 0;
size_t g_NextPiece = 0;
int g_EndWithError = 0;
SocketError g_LastError = SOCKET_ERR_NONE;

}  // namespace

void FakeSocketServe(const uint8_t* data, size_t size, const uint8_t* pieceSizes,
                     size_t pieceCount, int endWithError) {
  g_Data = data;
  g_Size = size;
  g_Offset = 0;
  g_Pieces = pieceSizes;
  g_PieceCount = pieceCount;
  g_NextPiece = 0;
  g_EndWithError = endWithError;
  g_LastError = SOCKET_ERR_NONE;
}

size_t FakeSocketServed() { return g_Offset; }

int NetStartup(uint16_t wantVersion, uint16_t* gotVersion) {
  (void)wantVersion;
  if (gotVersion) *gotVersion = 0x0202;
  return 1;
}

void NetCleanup() {}

SocketHandle SocketCreateTcp() { return kFakeHandle; }

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
  return socket != INVALID_SOCKET_HANDLE;
}

int SocketSend(SocketHandle socket, const char* data, int length) {
  if (socket == INVALID_SOCKET_HANDLE || !data || length < 0) {
    g_LastError = SOCKET_ERR_OTHER;
    return -1;
  }
  return length;
}

int SocketReceive(SocketHandle socket, char* buffer, int length) {
  if (socket == INVALID_SOCKET_HANDLE || !buffer || length < 0) {
    g_LastError = SOCKET_ERR_OTHER;
    return -1;
  }
  if (g_Offset >= g_Size) {
    if (g_EndWithError) {
      g_LastError = SOCKET_ERR_TIMED_OUT;
      return -1;
    }
    return 0;
  }
  size_t piece = static_cast<size_t>(length);
  if (g_PieceCount > 0) {
    const size_t wanted = g_Pieces[g_NextPiece++ % g_PieceCount];
    if (wanted != 0 && wanted < piece) piece = wanted;
  }
  if (piece > g_Size - g_Offset) piece = g_Size - g_Offset;
  memcpy(buffer, g_Data + g_Offset, piece);
  g_Offset += piece;
  return static_cast<int>(piece);
}

void SocketClose(SocketHandle socket) { (void)socket; }

SocketError SocketLastError() { return g_LastError; }
