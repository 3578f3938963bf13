#include "engine/Network.h"

#include <gtest/gtest.h>

namespace {

TEST(NetworkTest, TlsStartsOncePerProcessAndCleanupReleasesIt) {
  const int wasInited = g_SslInited;

  ASSERT_EQ(1, InitNetwork());
  EXPECT_EQ(1, g_SslInited);
  // The context waits for the first TLS connection, then stays.
  if (!wasInited) {
    EXPECT_EQ(nullptr, g_SslCtx);
  }
  SSL_CTX* context = TlsClientContext();
  ASSERT_NE(nullptr, context);
  EXPECT_EQ(context, g_SslCtx);
  EXPECT_EQ(context, TlsClientContext());

  // A second start-up keeps the one context.
  ASSERT_EQ(1, InitNetwork());
  EXPECT_EQ(context, g_SslCtx);

  CleanupNetwork();
  EXPECT_EQ(0, g_SslInited);
  EXPECT_EQ(nullptr, g_SslCtx);  // never a freed context for a later connect
  EXPECT_EQ(nullptr, TlsClientContext());  // nor a new one before the next start-up
  CleanupNetwork();              // nothing left to free: only the socket library
  EXPECT_EQ(0, g_SslInited);

  // A new start-up after clean-up makes a fresh context.
  ASSERT_EQ(1, InitNetwork());
  EXPECT_EQ(1, g_SslInited);
  EXPECT_NE(nullptr, TlsClientContext());
  if (!wasInited) CleanupNetwork();
}

}  // namespace
