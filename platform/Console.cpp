#include "platform/Console.h"

#include <errno.h>
#include <poll.h>
#include <stdio.h>
#include <unistd.h>

// A standard output left non-blocking by another program is waited on, not dropped.
static int WriteAll(int fd, const char* data, size_t length) {
  size_t done = 0;
  while (done < length) {
    ssize_t n = write(fd, data + done, length - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        struct pollfd p = {fd, POLLOUT, 0};
        if (poll(&p, 1, -1) >= 0 || errno == EINTR) continue;
      }
      return 0;
    }
    if (n == 0) return 0;
    done += static_cast<size_t>(n);
  }
  return 1;
}

int ConsoleWrite(const void* data, uint32_t length) {
  int flushed = fflush(stdout) == 0;
  if (length == 0) return flushed ? 1 : 0;
  if (!data) return 0;
  return WriteAll(STDOUT_FILENO, static_cast<const char*>(data), length) && flushed ? 1 : 0;
}

// Our writes go straight to the descriptor, so only the C library holds buffered bytes.
int ConsoleFlush() {
  return fflush(stdout) == 0 ? 1 : 0;
}

static int WriteTerminalSequence(const char* sequence, size_t length) {
  if (!isatty(STDOUT_FILENO)) return 0;
  fflush(stdout);
  return WriteAll(STDOUT_FILENO, sequence, length);
}

// The terminal keeps the saved position (ESC 7), not this process.
int ConsoleSaveCursor() {
  return WriteTerminalSequence("\0337", 2);
}

int ConsoleRestoreCursor() {
  return WriteTerminalSequence("\0338", 2);
}

int ConsoleClearToLineEnd() {
  return WriteTerminalSequence("\033[K", 3);
}

// Pending output (a prompt) is flushed first so it shows before the wait.
int ConsoleReadChar() {
  fflush(stdout);
  int c = getchar();
  return c == EOF ? -1 : c;
}
