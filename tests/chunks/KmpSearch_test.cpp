#include "engine/KmpSearch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<int> Table(const std::string& pattern) {
  return BuildKmpTable(pattern.data(), static_cast<int>(pattern.size()));
}

TEST(KmpTable, EnginePatternsAndImprovedEntries) {
  EXPECT_EQ(Table("\r\n\r\n"), (std::vector<int>{-1, 0, -1, 0}));
  EXPECT_EQ(Table("\r\n"), (std::vector<int>{-1, 0}));
  EXPECT_EQ(Table("a"), (std::vector<int>{-1}));
  // Improved form: a fallback that would compare the same byte again skips on.
  EXPECT_EQ(Table("aaaa"), (std::vector<int>{-1, -1, -1, -1}));
  EXPECT_EQ(Table("abab"), (std::vector<int>{-1, 0, -1, 0}));
  EXPECT_EQ(Table("abac"), (std::vector<int>{-1, 0, -1, 1}));
  EXPECT_EQ(Table("aabaaab"), (std::vector<int>{-1, -1, 1, -1, -1, 2, 1}));
}

TEST(KmpSearch, AgreesWithPlainFind) {
  struct Case {
    std::string text;
    std::string pattern;
  };
  const Case cases[] = {
      {"HTTP/1.1 200 OK\r\nA: b\r\n\r\nbody", "\r\n\r\n"},
      {"\r\n\r\r\n\r\n", "\r\n\r\n"},
      {"\r\r\n", "\r\n"},
      {"5\r\nhello", "\r\n"},
      {"abc", "\r\n"},
      {"aabaabaaab", "aabaaab"},
      {"abababac", "ababac"},
      {"aaaaab", "aab"},
      {"xyz", "xyzw"},
      {"\r\n", "\r\n"},
  };
  for (const Case& c : cases) {
    size_t at = c.text.find(c.pattern);
    int expected = at == std::string::npos ? -1 : static_cast<int>(at + c.pattern.size());
    EXPECT_EQ(KmpSearch(c.text.data(), static_cast<int>(c.text.size()), c.pattern.data(),
                        static_cast<int>(c.pattern.size())),
              expected)
        << c.text;
  }
}

TEST(KmpSearch, NeverLooksPastTheLimit) {
  const std::string text = "12345678\r\nrest";
  EXPECT_EQ(KmpSearch(text.data(), 10, "\r\n", 2), 10);
  EXPECT_EQ(KmpSearch(text.data(), 9, "\r\n", 2), -1);
  EXPECT_EQ(KmpSearch(text.data(), 0, "\r\n", 2), -1);
}

}  // namespace
