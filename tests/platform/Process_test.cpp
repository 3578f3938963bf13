#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/Process.h"
#include "support/TempDir.h"

namespace {

const char kReportVariable[] = "ZELVORA_TEST_COMMAND_LINE_OUT";

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

// Run by the test below in a fresh copy of this program: writes the command
// line it sees to the file named in the environment. Run on its own it would
// check nothing, so it exists only in a child run, the variable set: the test
// list that ctest reads never holds it.
class ProcessCommandLineChild : public ::testing::Test {
 public:
  void TestBody() override { TempDir::WriteFile(getenv(kReportVariable), ProcessGetCommandLine()); }
};

const bool g_ChildReportRegistered =
    getenv(kReportVariable) != nullptr &&
    ::testing::RegisterTest(
        "ProcessCommandLineChild", "Report", nullptr, nullptr, __FILE__, __LINE__,
        []() -> ::testing::Test* { return new ProcessCommandLineChild; }) != nullptr;

TEST(ProcessGetCommandLine, JoinsArgumentsQuotingThoseWithBlanks) {
  char exe[4096];
  ASSERT_GT(ProcessGetExecutablePath(exe, sizeof exe), 0u);
  TempDir dir;
  const std::string report = dir.File("line");
  const std::string filter = "--gtest_filter=ProcessCommandLineChild.Report";
  std::vector<std::string> args = {exe, filter, "two words", "plain", "tab\there"};
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    alarm(20);
    setenv(kReportVariable, report.c_str(), 1);
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, STDOUT_FILENO);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(exe, argv.data());
    _exit(127);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(TempDir::ReadFile(report),
            std::string(exe) + " " + filter + " \"two words\" plain \"tab\there\"");

  // Our own line is stable for the life of the process.
  const char* line = ProcessGetCommandLine();
  EXPECT_EQ(line, ProcessGetCommandLine());
  EXPECT_NE(std::string(line).find("platform_tests"), std::string::npos);
}

}  // namespace
