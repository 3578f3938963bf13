// TCP sockets and name resolution for the engine: start-up, socket, options,
// resolve, connect, send, receive, waiting input and close.
#ifndef ZELVORA_PLATFORM_SOCKET_H
#define ZELVORA_PLATFORM_SOCKET_H

#include <cstdint>

typedef int SocketHandle;
const SocketHandle INVALID_SOCKET_HANDLE = -1;

// Starts the socket layer. wantVersion is the level of this interface that
// the caller is written for, the major number in the low byte and the minor
// in the high one; this layer offers one level, 2.2 (0x0202), and always
// reports that in *gotVersion, whatever was asked, so a caller that needs
// another level sees the mismatch. Returns 1, 0 on failure. Also makes
// writes to a closed connection fail with an error instead of ending the
// process (SIGPIPE ignored). May be called again.
int NetStartup(uint16_t wantVersion, uint16_t* gotVersion);

// Shuts the socket library down. Always safe.
void NetCleanup();

// A new blocking TCP socket, or INVALID_SOCKET_HANDLE.
SocketHandle SocketCreateTcp();

// Send and receive time-outs in milliseconds. After the time-out a blocked
// send or receive fails (-1); it is not tried again. Returns 1, or 0 on failure.
int SocketSetSendTimeout(SocketHandle socket, uint32_t milliseconds);
int SocketSetRecvTimeout(SocketHandle socket, uint32_t milliseconds);

// Turns off the delay of small segments (TCP_NODELAY). Returns 1, or 0 on failure.
int SocketSetNoDelay(SocketHandle socket);

// Resolves a host name to its first IPv4 address. A dotted IPv4 text
// resolves to itself. Returns 1 with *address (network byte order) and
// *addressLength (4) set, 0 when there is no IPv4 answer (an empty host
// included).
int ResolveHostIPv4(const char* host, uint32_t* address, int* addressLength);

// Connects to an IPv4 address (network byte order) and port. Waits as long
// as the system lets it. Returns 1, or 0 on failure.
int SocketConnectIPv4(SocketHandle socket, uint32_t address, uint16_t port);

// Sends up to length bytes once (never raises SIGPIPE). Returns the count
// sent, or -1 on failure.
int SocketSend(SocketHandle socket, const char* data, int length);

// Receives up to length bytes once. Returns the count, 0 when the peer closed
// the connection, or -1 on failure (a reset or a time-out included).
int SocketReceive(SocketHandle socket, char* buffer, int length);

// 1 when a receive would not wait: bytes, the peer's close or a failure are
// waiting on the socket; 0 when nothing is. Never waits. A socket that cannot
// be asked counts as one with something waiting.
int SocketHasInput(SocketHandle socket);

// Once an interrupt has come (InterruptRequested, platform/Interrupt.h),
// connect, send and receive fail at once, and a blocked one returns failed;
// so does one just starting on the socket last connected, which the
// interrupt shuts down (InterruptSetSocketUnderWay).

// Closes the socket. Safe on INVALID_SOCKET_HANDLE.
void SocketClose(SocketHandle socket);

#endif
