#include "engine/Network.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cstdint>

#include "platform/Socket.h"

SSL_CTX* g_SslCtx = nullptr;
int g_SslInited = 0;

int InitNetwork() {
  uint16_t gotVersion = 0;
  if (!NetStartup(0x0202, &gotVersion)) return 0;
  // Another version leaves the library started; CleanupNetwork stops it.
  if (gotVersion != 0x0202) return 0;
  // The TLS library and its context cost milliseconds; they wait for the
  // first TLS connection.
  g_SslInited = 1;
  return 1;
}

SSL_CTX* TlsClientContext() {
  if (!g_SslInited) return nullptr;
  if (!g_SslCtx) {
    OPENSSL_init_ssl(OPENSSL_INIT_LOAD_CONFIG, nullptr);
    ERR_clear_error();
    // Library defaults: no verification, no protocol bounds, no cipher lists.
    g_SslCtx = SSL_CTX_new(TLS_client_method());
  }
  return g_SslCtx;
}

void CleanupNetwork() {
  if (g_SslInited) {
    // Connections made from the context keep their own reference to it.
    SSL_CTX_free(g_SslCtx);
    // A later TLS connect then finds no context instead of a freed one.
    g_SslCtx = nullptr;
    g_SslInited = 0;
  }
  NetCleanup();
}
