#include "support/ProgramRunner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A copy of the shell stands in for the program: it can print, read, exit
// with any value and hang on demand.
const char kShell[] = "/bin/sh";

TEST(ProgramRunnerTest, CapturesOutputErrorInputAndExitValue) {
  CProgramRun run = RunProgram(kShell, {"-c", "printf 'a\\r\\n\\000b'; printf oops >&2; cat; exit 3"}, "typed");
  EXPECT_TRUE(run.m_Started);
  EXPECT_FALSE(run.m_TimedOut);
  EXPECT_EQ(run.m_ExitCode, 3);
  EXPECT_EQ(run.m_Out, std::string("a\r\n\0btyped", 10));
  EXPECT_EQ(run.m_Err, "oops");
}

TEST(ProgramRunnerTest, RunsTheCopyInsideItsOwnDirectory) {
  CProgramSandbox sandbox(kShell);
  ASSERT_TRUE(sandbox.IsReady());
  sandbox.WriteFile("given.txt", "from the test");
  CProgramResult first = sandbox.Run({"-c", "readlink /proc/$$/exe; pwd; cat given.txt > made.txt"});
  EXPECT_EQ(first.m_ExitCode, 0);
  EXPECT_EQ(first.m_Out, sandbox.ExePath() + "\n" + sandbox.Dir() + "\n");
  // A second run in the same sandbox sees what the first left.
  CProgramResult second = sandbox.Run({"-c", "cat made.txt"});
  EXPECT_EQ(second.m_Out, "from the test");
  EXPECT_EQ(sandbox.Files(), (std::vector<std::string>{"given.txt", "made.txt", "sh"}));
}

TEST(ProgramRunnerTest, TerminalOutputIsATerminalThatKeepsTheBytes) {
  CProgramSandbox sandbox(kShell);
  const std::vector<std::string> probe = {"-c", "test -t 1 && printf 'tty\\n\\033[K'; test -t 2 || printf pipe >&2"};
  EXPECT_EQ(sandbox.Run(probe).m_Out, "");
  sandbox.SetTerminalOutput(true);
  CProgramResult run = sandbox.Run(probe);
  EXPECT_EQ(run.m_Out, "tty\n\033[K");
  EXPECT_EQ(run.m_Err, "pipe");
  EXPECT_EQ(run.m_ExitCode, 0);
}

TEST(ProgramRunnerTest, KillsARunThatOutlivesItsLimit) {
  // The shell's child sleeps too and holds the output pipe: the run must
  // still end at its limit, with what was printed before.
  CProgramRun run = RunProgram(kShell, {"-c", "echo started; sleep 30; echo never"}, "", 300);
  EXPECT_TRUE(run.m_TimedOut);
  EXPECT_EQ(run.m_Signal, 9);
  EXPECT_EQ(run.m_Out, "started\n");
}

TEST(ProgramRunnerTest, SandboxOfARunLivesAsLongAsItsResult) {
  std::string dir;
  {
    CProgramRun run = RunProgram(ZELVORA_EXE, {});
    EXPECT_TRUE(run.m_Started);
    EXPECT_FALSE(run.m_TimedOut);
    dir = run.m_Dir;
    EXPECT_TRUE(TempDir::Exists(dir + "/zelvora"));
  }
  EXPECT_FALSE(TempDir::Exists(dir));
}

}  // namespace
