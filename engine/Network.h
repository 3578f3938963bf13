// Process-wide network start-up and clean-up, and the one TLS client context.
#ifndef ZELVORA_ENGINE_NETWORK_H
#define ZELVORA_ENGINE_NETWORK_H

#include <openssl/ssl.h>

extern SSL_CTX* g_SslCtx;
extern int g_SslInited;

// 1 when the socket library runs at version 2.2, else 0.
int InitNetwork();
void CleanupNetwork();

#endif
