// Opening a TCP connection to a host.
#ifndef ZELVORA_ENGINE_TRANSPORT_H
#define ZELVORA_ENGINE_TRANSPORT_H

#include "platform/Socket.h"

// 1 when *socket is connected to the first IPv4 address of host at port.
int ConnectToHost(const char* host, unsigned short port, SocketHandle* socket);

#endif
