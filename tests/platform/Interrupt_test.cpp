#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "platform/Console.h"
#include "platform/Interrupt.h"

namespace {

// Each case runs in a child: the handler and the flag last for the process.
TEST(InterruptWaitForInput, ReportsInputAndAnInterruptThatCameBefore) {
  ChildResult child = RunInChild([] {
    if (!InterruptCatch()) return 1;
    int quiet[2];
    int ready[2];
    if (pipe(quiet) != 0 || pipe(ready) != 0 || write(ready[1], "k", 1) != 1) return 2;
    if (InterruptWaitForInput(ready[0]) != 1) return 3;
    raise(SIGINT);
    if (!InterruptRequested()) return 4;
    // Nothing will ever come on quiet: only the interrupt can end this wait,
    // though it came before the wait began.
    if (InterruptWaitForInput(quiet[0]) != 0) return 5;
    return 0;
  });
  ASSERT_TRUE(child.exited) << child.signal;
  EXPECT_EQ(0, child.exitCode);
}

TEST(ConsoleReadChar, GivesNothingOnceInterrupted) {
  ChildResult child = RunInChild(
      [] {
        InterruptCatch();
        raise(SIGINT);
        return ConsoleReadChar() == -1 ? 0 : 1;
      },
      "x");
  ASSERT_TRUE(child.exited) << child.signal;
  EXPECT_EQ(0, child.exitCode);
}

// The first signal is only noted; the second ends the process as if it had
// not been caught.
TEST(InterruptCatch, SecondSignalEndsTheProcess) {
  ChildResult child = RunInChild([] {
    InterruptCatch();
    raise(SIGTERM);
    if (!InterruptRequested()) return 1;
    raise(SIGTERM);
    return 2;
  });
  EXPECT_FALSE(child.exited);
  EXPECT_EQ(SIGTERM, child.signal);
}

}  // namespace
