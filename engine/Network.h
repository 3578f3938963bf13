// Process-wide network start-up and clean-up, and the one TLS client context.
#ifndef ZELVORA_ENGINE_NETWORK_H
#define ZELVORA_ENGINE_NETWORK_H

// The context type, declared as the TLS library declares it.
struct ssl_ctx_st;
typedef struct ssl_ctx_st SSL_CTX;

// The TLS client context, NULL until the first TLS connection makes it.
extern SSL_CTX* g_SslCtx;
// 1 between a successful InitNetwork and CleanupNetwork: TLS may be set up.
extern int g_SslInited;

// 1 when the socket layer started at the interface level the engine is
// written for (2.2, see NetStartup), else 0. Sets up no TLS: a plain run
// never pays for it.
int InitNetwork();
// Frees the TLS context when there is one and shuts the socket library down.
void CleanupNetwork();
// The TLS client context, made on the first call after InitNetwork (library
// defaults: no verification, no protocol bounds, no cipher lists). NULL when
// the network was not started or the context could not be made.
SSL_CTX* TlsClientContext();

#endif
