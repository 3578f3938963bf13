#include "support/RequestText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kRequest =
    "POST /up HTTP/1.1\r\n"
    "Host: a\r\n"
    "range:  bytes=5-  \r\n"
    "X-Twice: 1\r\n"
    "X-Twice: 2\r\n"
    "\r\n"
    "Range: in the body\r\n";

TEST(RequestTextTest, SplitsLineHeadBodyAndFindsHeaders) {
  EXPECT_EQ(RequestLine(kRequest), "POST /up HTTP/1.1");
  EXPECT_EQ(RequestBody(kRequest), "Range: in the body\r\n");
  EXPECT_EQ(RequestHead(kRequest) + RequestBody(kRequest), kRequest);
  EXPECT_EQ(RequestHeader(kRequest, "Range"), "bytes=5-");
  EXPECT_EQ(RequestHeaders(kRequest, "x-twice"), (std::vector<std::string>{"1", "2"}));
  // Neither a prefix of a name nor a line of the body counts.
  EXPECT_FALSE(RequestHasHeader(kRequest, "X-Tw"));
  EXPECT_EQ(RequestHeaders(kRequest, "Range").size(), 1u);
}

}  // namespace
