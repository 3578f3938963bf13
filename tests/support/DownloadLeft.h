// For tests of Download into a file: what a finished call left behind.
#ifndef ZELVORA_TESTS_SUPPORT_DOWNLOADLEFT_H
#define ZELVORA_TESTS_SUPPORT_DOWNLOADLEFT_H

#include <gtest/gtest.h>

#include <string>

#include "engine/HttpClient.h"
#include "support/TempDir.h"

// Names for the flag columns of download case tables: whether a file stands
// at the output path before the call, and whether one is left after it.
const bool kFileThere = true;
const bool kNoFile = false;
const bool kLeft = true;
const bool kGone = false;

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
  EXPECT_EQ(nullptr, client.m_Target.Get());
}

#endif
