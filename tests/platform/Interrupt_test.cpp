#include <gtest/gtest.h>

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

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

// The second signal removes the file under way before the process ends,
// spelt with "\" or "/" as the file system layer takes either; a cleared
// one, and any other file, stay.
TEST(InterruptCatch, SecondSignalRemovesTheFileUnderWay) {
  char dir[] = "/tmp/zelvora-underway-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(dir));
  const std::string underWay = std::string(dir) + "/part";
  const std::string other = std::string(dir) + "/other";
  const struct {
    bool cleared;
    std::string spelt;
  } cases[] = {
      {false, underWay}, {true, underWay}, {false, std::string(dir) + "\\part"}};
  for (const auto& c : cases) {
    const bool cleared = c.cleared;
    const std::string& spelt = c.spelt;
    SCOPED_TRACE(std::string(cleared ? "cleared " : "kept ") + spelt);
    for (const std::string& path : {underWay, other}) {
      FILE* file = fopen(path.c_str(), "w");
      ASSERT_NE(nullptr, file);
      fclose(file);
    }
    ChildResult child = RunInChild([&] {
      InterruptCatch();
      if (!InterruptSetFileUnderWay(spelt.c_str())) return 1;
      if (cleared) InterruptSetFileUnderWay(nullptr);
      raise(SIGINT);
      raise(SIGINT);
      return 2;
    });
    EXPECT_EQ(SIGINT, child.signal);
    EXPECT_EQ(cleared, access(underWay.c_str(), F_OK) == 0);
    EXPECT_EQ(0, access(other.c_str(), F_OK));
    unlink(underWay.c_str());
    unlink(other.c_str());
  }
  EXPECT_EQ(0, InterruptSetFileUnderWay(std::string(5000, 'p').c_str()));
  EXPECT_EQ(1, InterruptSetFileUnderWay(nullptr));
  rmdir(dir);
}

}  // namespace
