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

TEST(DownloadPiecesTest, ContentRangeOfTheWholeResource) {
  const struct {
    const char* text;
    int whole;
  } cases[] = {
      {"bytes 0-19999/20000", 1}, {"BYTES 0-0/1", 1},           {" bytes 0-2/* ", 1},
      {"bytes 1000-19999/20000", 0}, {"bytes 0-999/20000", 0}, {"bytes 0-2/2", 0},
      {"bytes 0-18446744073709551615/0", 0}, {"bytes */20000", 0}, {"bytes 0-2/3x", 0},
      {"bytes 0-/3", 0},          {"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.whole, IsWholeContentRange(c.text)) << c.text;
}

}  // namespace
