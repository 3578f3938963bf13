#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "platform/Guid.h"

namespace {

// The identifier text the upload boundary is built from.
std::string Format(const PlatformGuid& g) {
  char text[33];
  snprintf(text, sizeof text, "%08X%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X", g.Data1, g.Data2,
           g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5],
           g.Data4[6], g.Data4[7]);
  return text;
}

class GuidTest : public ::testing::Test {
 protected:
  void TearDown() override {
    GuidSetFailForTest(0);
    GuidSetFixedForTest(nullptr);
  }
};

TEST_F(GuidTest, RandomIdentifiersCarryVersionAndVariant) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    PlatformGuid g;
    ASSERT_EQ(GuidCreate(&g), 1);
    EXPECT_EQ(g.Data3 >> 12, 4);
    EXPECT_EQ(g.Data4[0] & 0xC0, 0x80);
    std::string text = Format(g);
    EXPECT_EQ(text.size(), 32u);
    EXPECT_EQ(text[12], '4');
    EXPECT_NE(std::string("89AB").find(text[16]), std::string::npos) << text;
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 200u);
}

TEST_F(GuidTest, FixedAndFailingHooks) {
  const PlatformGuid fixed = {0x01234567, 0x89AB, 0xCDEF, {1, 2, 3, 4, 5, 6, 7, 8}};
  GuidSetFixedForTest(&fixed);
  PlatformGuid g;
  ASSERT_EQ(GuidCreate(&g), 1);
  EXPECT_EQ(Format(g), "0123456789ABcdef0102030405060708");
  ASSERT_EQ(GuidCreate(&g), 1);
  EXPECT_EQ(Format(g), "0123456789ABcdef0102030405060708");

  GuidSetFailForTest(1);
  memset(&g, 0xAA, sizeof g);
  EXPECT_EQ(GuidCreate(&g), 0);
  EXPECT_EQ(Format(g), std::string(32, '0'));

  GuidSetFailForTest(0);
  GuidSetFixedForTest(nullptr);
  ASSERT_EQ(GuidCreate(&g), 1);
  EXPECT_NE(Format(g), "0123456789ABcdef0102030405060708");
  EXPECT_EQ(g.Data3 >> 12, 4);
}

}  // namespace
