#include <gtest/gtest.h>

#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/Process.h"

namespace {

TEST(ProcessGetExecutablePath, GivesTheWholePathOrNothing) {
  char path[4096];
  uint32_t length = ProcessGetExecutablePath(path, sizeof path);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(strlen(path), length);
  EXPECT_EQ(path[0], '/');
  std::string text(path);
  const std::string name = "/platform_tests";
  ASSERT_GE(text.size(), name.size());
  EXPECT_EQ(text.substr(text.size() - name.size()), name);
  struct stat st;
  EXPECT_EQ(stat(path, &st), 0);

  std::vector<char> exact(length + 1, 'x');
  EXPECT_EQ(ProcessGetExecutablePath(exact.data(), length + 1), length);
  EXPECT_EQ(std::string(exact.data()), text);

  // One byte short: refused, never cut.
  std::vector<char> tight(length, 'x');
  EXPECT_EQ(ProcessGetExecutablePath(tight.data(), length), 0u);
  EXPECT_EQ(tight[0], '\0');
  EXPECT_EQ(ProcessGetExecutablePath(path, 0), 0u);
}

}  // namespace
