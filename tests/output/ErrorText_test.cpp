// The message printed for every failure code, and the one for a code that
// has none.
#include "frontend/ErrorText.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorText, EveryCode) {
  struct Case {
    int code;
    const char* text;
  } cases[] = {
      {1, "URL format error"},
      {2, "Can't connect remote host"},
      {3, "Remote host disconnected"},
      {4, "Network failed"},
      {6, "Response format error"},
      {7, "Response body size too large"},
      {8, "Chunk size too large"},
      {10, "SSL session failed"},
      {15, "File operation failed"},
      {16, "Response gave no body length"},
  };
  for (const Case& c : cases) EXPECT_STREQ(c.text, GetErrorText(c.code)) << c.code;
  const int unknown[] = {0, 5, 9, 11, 12, 13, 14, 17, -1, 1000};
  for (int code : unknown) {
    EXPECT_STREQ("Unknown failed: maybe system error", GetErrorText(code)) << code;
  }
}

}  // namespace
