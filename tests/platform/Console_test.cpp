#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "ChildProcess.h"
#include "platform/Console.h"

namespace {

TEST(ConsoleWrite, KeepsOrderWithPrintfOnAPipe) {
  ChildResult child = RunInChild([] {
    // On a pipe printf is fully buffered: without the flush its bytes would come last.
    printf("head ");
    if (!ConsoleWrite("body ", 5)) return 1;
    printf("tail");
    if (!ConsoleWrite("!", 1)) return 2;
    if (!ConsoleWrite("", 0)) return 3;
    printf("\n");
    return ConsoleFlush() ? 0 : 4;
  });
  ASSERT_TRUE(child.exited);
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.output, "head body tail!\n");
}

TEST(ConsoleWrite, WritesLargeBlocksWhole) {
  // More than a pipe holds at once, so the write has to go out in parts; a
  // non-blocking standard output must not lose the rest.
  const std::string big(1 << 20, 'q');
  for (bool nonBlocking : {false, true}) {
    ChildResult child = RunInChild([&big, nonBlocking] {
      if (nonBlocking) fcntl(STDOUT_FILENO, F_SETFL, fcntl(STDOUT_FILENO, F_GETFL) | O_NONBLOCK);
      return ConsoleWrite(big.data(), static_cast<uint32_t>(big.size())) ? 0 : 1;
    });
    ASSERT_TRUE(child.exited);
    EXPECT_EQ(child.exitCode, 0) << nonBlocking;
    EXPECT_EQ(child.output.size(), big.size()) << nonBlocking;
    EXPECT_TRUE(child.output == big) << nonBlocking;
  }
}

TEST(ConsoleCursor, DoesNothingWhenNotATerminal) {
  ChildResult child = RunInChild([] {
    int code = 0;
    if (ConsoleSaveCursor()) code |= 2;
    if (ConsoleRestoreCursor()) code |= 4;
    if (ConsoleClearToLineEnd()) code |= 8;
    ConsoleWrite("end", 3);
    return code;
  });
  ASSERT_TRUE(child.exited);
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.output, "end");
}

TEST(ConsoleCursor, SendsEscapesToATerminal) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  ChildResult child = RunInChild(
      [] {
        int code = 0;
        if (!ConsoleSaveCursor()) code |= 2;
        if (!ConsoleClearToLineEnd()) code |= 4;
        if (!ConsoleRestoreCursor()) code |= 8;
        return code;
      },
      "", slave);
  close(slave);
  ASSERT_TRUE(child.exited);
  EXPECT_EQ(child.exitCode, 0);
  char buffer[64];
  std::string got;
  int flags = fcntl(master, F_GETFL);
  fcntl(master, F_SETFL, flags | O_NONBLOCK);
  for (;;) {
    ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  close(master);
  EXPECT_EQ(got, "\0337\033[K\0338");
}

TEST(ConsoleReadChar, ReadsBytesThenEndsWithoutWaiting) {
  ChildResult child = RunInChild(
      [] {
        printf("prompt");  // must show before the read
        int a = ConsoleReadChar();
        int b = ConsoleReadChar();
        int c = ConsoleReadChar();
        int d = ConsoleReadChar();
        printf("|%d %d %d %d", a, b, c, d);
        return 0;
      },
      "x\xff");
  ASSERT_TRUE(child.exited);
  EXPECT_EQ(child.output, "prompt|120 255 -1 -1");
}

}  // namespace
