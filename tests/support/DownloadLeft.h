// For tests of Download into a file: what a finished call left behind.
#ifndef ZELVORA_TESTS_SUPPORT_DOWNLOADLEFT_H
#define ZELVORA_TESTS_SUPPORT_DOWNLOADLEFT_H

#include <gtest/gtest.h>

#include <string>

#include "engine/HttpClient.h"
#include "support/TempDir.h"

// The file at path (in dir) is there when exists says so, and then holds
// after; nothing else is left in dir (no side file, no backup); the client
// holds no output file any more.
inline void ExpectDownloadLeft(const TempDir& dir, const std::string& path,
                               const CHttpClient& client, bool exists, const std::string& after) {
  EXPECT_EQ(exists, TempDir::Exists(path));
  if (exists) {
    EXPECT_EQ(after, TempDir::ReadFile(path));
  }
  EXPECT_EQ(exists ? 1u : 0u, dir.Names().size());
  EXPECT_EQ(nullptr, client.m_OutputFile.Get());
}

#endif
