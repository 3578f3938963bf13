#include <gtest/gtest.h>

#include <cstdint>

#include "platform/CRuntime.h"

namespace {

struct AtoiCase {
  const char* text;
  int expected;
};

TEST(AtoiSaturating, StopsAtTheFirstNonDigitAndSaturates) {
  const AtoiCase cases[] = {
      {"0", 0},           {"42", 42},           {"  17x", 17},       {"+5", 5},
      {"-5", -5},         {"abc", 0},           {"", 0},             {"2147483647", 2147483647},
      {"2147483648", 2147483647},               {"99999999999", 2147483647},
      {"-2147483648", INT32_MIN},               {"-2147483649", INT32_MIN},
      {"-99999999999999999999999", INT32_MIN},  {"00000000000000000000000012", 12},
      {"\t\n 8", 8},      {"- 8", 0},           {"65536", 65536},
  };
  for (const AtoiCase& c : cases) EXPECT_EQ(AtoiSaturating(c.text), c.expected) << c.text;
}

TEST(StrICmp, IgnoresAsciiCaseOnly) {
  EXPECT_EQ(StrICmp("Keep-Alive", "keep-alive"), 0);
  EXPECT_LT(StrICmp("abc", "abd"), 0);
  EXPECT_GT(StrICmp("abcd", "ABC"), 0);
  EXPECT_NE(StrICmp("\xC4", "\xE4"), 0);
  EXPECT_EQ(StrNICmp("GZIPped", "gzip", 4), 0);
}

}  // namespace
