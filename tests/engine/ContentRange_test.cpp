// The start of a resumed part as the Content-Range of a 206 gives it.
#include "engine/ContentRange.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(DownloadPiecesTest, ContentRangeStart) {
  struct Case {
    const char* text;
    int ok;
    uint64_t first;
  } cases[] = {
      {"bytes 1000-1999/2000", 1, 1000},
      {"BYTES 0-0/1", 1, 0},
      {"  bytes   5-9/*", 1, 5},
      {"bytes 18446744073709551615-", 1, UINT64_MAX},
      {"bytes 18446744073709551616-1/2", 0, 0},
      {"bytes */2000", 0, 0},
      {"bytes=5-9/10", 0, 0},
      {"items 5-9/10", 0, 0},
      {"bytes 5", 0, 0},
      {"", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    uint64_t first = 12345;
    EXPECT_EQ(c.ok, ParseContentRangeStart(c.text, &first));
    if (c.ok) {
      EXPECT_EQ(c.first, first);
    }
  }
}

}  // namespace
