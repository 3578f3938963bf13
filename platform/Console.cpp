#include "platform/Console.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>

#include "platform/Interrupt.h"

namespace {

// The terminal's mode from before a key wait, while the wait has it changed.
struct termios g_SavedMode;
volatile sig_atomic_t g_ModeChanged = 0;

}  // namespace

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

void ConsoleRestoreTerminalMode() {
  if (!g_ModeChanged) return;
  tcsetattr(STDIN_FILENO, TCSANOW, &g_SavedMode);
  g_ModeChanged = 0;
}

// The bytes of one key press arrive together (an arrow sends ESC [ A); a
// press that is only its ESC so far gets this long for the rest of it.
static const cc_t kKeyRestTenths = 1;

// Line editing and echo are off only while the wait lasts; signals stay on,
// so Ctrl-C still interrupts. The key's first byte is the result; the rest
// of what that press sent is read and dropped, so one press is one key.
static int ReadKey() {
  struct termios oneKey;
  if (tcgetattr(STDIN_FILENO, &g_SavedMode) != 0) return -1;
  oneKey = g_SavedMode;
  oneKey.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  oneKey.c_cc[VMIN] = 1;
  oneKey.c_cc[VTIME] = 0;
  // The saved mode must be complete before a signal handler may use it.
  std::atomic_signal_fence(std::memory_order_seq_cst);
  g_ModeChanged = 1;
  int c = -1;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &oneKey) == 0 && InterruptWaitForInput(STDIN_FILENO) == 1) {
    unsigned char press[64];
    ssize_t n;
    do {
      n = read(STDIN_FILENO, press, sizeof(press));
    } while (n < 0 && errno == EINTR && !InterruptRequested());
    if (n >= 1 && !InterruptRequested()) {
      c = press[0];
      if (n == 1 && press[0] == 0x1B) {
        // What follows a lone ESC within a moment is the rest of its press.
        oneKey.c_cc[VMIN] = 0;
        oneKey.c_cc[VTIME] = kKeyRestTenths;
        if (tcsetattr(STDIN_FILENO, TCSANOW, &oneKey) == 0) {
          n = read(STDIN_FILENO, press, sizeof(press));
          (void)n;
        }
      }
    }
  }
  ConsoleRestoreTerminalMode();
  return c;
}

// Pending output (a prompt) is flushed first so it shows before the wait.
int ConsoleReadChar() {
  fflush(stdout);
  if (InterruptRequested()) return -1;
  if (isatty(STDIN_FILENO)) return ReadKey();
  int c = getchar();
  return c == EOF || InterruptRequested() ? -1 : c;
}
