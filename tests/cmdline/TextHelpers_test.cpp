#include "frontend/TextHelpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct TrimCase {
  const char* text;
  char ch;
  const char* expected;
};

TEST(TrimCharTest, RemovesWholeRunsAtBothEndsOnly) {
  const TrimCase cases[] = {
      {"  a b  ", ' ', "a b"},
      {"a", ' ', "a"},
      {"", ' ', ""},
      {"   ", ' ', ""},
      {"ab  c", ' ', "ab  c"},
      {"a  b ", ' ', "a  b"},
      {"  ab", ' ', "ab"},
      {"\tab\t", ' ', "\tab\t"},
      {"\"\"v\"\"", '"', "v"},
      {"\"a\"b\"", '"', "a\"b"},
      {"xaxx", 'x', "a"},
  };
  for (const TrimCase& c : cases) {
    std::vector<char> buffer(c.text, c.text + strlen(c.text) + 1);
    TrimChar(buffer.data(), c.ch);
    EXPECT_STREQ(c.expected, buffer.data()) << "text '" << c.text << "'";
  }
  TrimChar(NULL, ' ');
}

struct ReplaceCase {
  std::string text;
  std::string pattern;
  std::string replacement;
  std::string expected;
};

TEST(ReplaceAllTest, ReplacesLeftToRightWithoutRescanningInsertedText) {
  const ReplaceCase cases[] = {
      {"one\r\ntwo\r\n", "\r", "", "one\ntwo\n"},
      {"c:\\a\\b", "\\", "/", "c:/a/b"},
      {"aaa", "a", "aa", "aaaaaa"},
      {"abcabc", "bc", "x", "axax"},
      {"abc", "x", "y", "abc"},
      {"", "a", "b", ""},
      {"abc", "", "x", "abc"},
  };
  for (const ReplaceCase& c : cases) {
    std::string text = c.text;
    ReplaceAll(text, c.pattern, c.replacement);
    EXPECT_EQ(c.expected, text) << "pattern '" << c.pattern << "'";
  }
}

}  // namespace
