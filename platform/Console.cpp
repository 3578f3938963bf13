#include "platform/Console.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>

#include "platform/Interrupt.h"

namespace {

// The terminal's mode from before key mode, while key mode lasts.
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

// Bytes read from the terminal that belong to key presses not taken yet
// (keys typed ahead of the prompt), in order.
static unsigned char g_Typed[64];
static size_t g_TypedCount = 0;

// A press whose bytes have not all come yet (an ESC alone, say) gets this
// long for the rest of them.
static const cc_t kKeyRestTenths = 1;

// How many of `count` bytes make the first key press: an escape sequence
// (ESC [ ... final byte, ESC O and one byte, ESC and one byte), a UTF-8
// character, else one byte. `whole` is 0 when the bytes end inside it.
static size_t KeyPressLength(const unsigned char* bytes, size_t count, int* whole) {
  *whole = 1;
  size_t length = 1;
  if (bytes[0] == 0x1B) {
    if (count < 2) {
      *whole = 0;
      return 1;
    }
    length = 2;
    if (bytes[1] == '[') {
      while (length < count && bytes[length] >= 0x20 && bytes[length] <= 0x3F) ++length;
      if (length < count && bytes[length] >= 0x40 && bytes[length] <= 0x7E) return length + 1;
      if (length == count) *whole = 0;
      return length;
    }
    if (bytes[1] == 'O') {
      if (count < 3) *whole = 0;
      return count < 3 ? count : 3;
    }
    return length;
  }
  size_t expected = 1;
  if (bytes[0] >= 0xC2 && bytes[0] <= 0xDF) expected = 2;
  if (bytes[0] >= 0xE0 && bytes[0] <= 0xEF) expected = 3;
  if (bytes[0] >= 0xF0 && bytes[0] <= 0xF4) expected = 4;
  while (length < expected && length < count && (bytes[length] & 0xC0) == 0x80) ++length;
  if (length < expected && length == count) *whole = 0;
  return length;
}

// Reads what the terminal holds into g_Typed; 1 when anything came.
static int ReadTyped() {
  ssize_t n;
  do {
    n = read(STDIN_FILENO, g_Typed + g_TypedCount, sizeof(g_Typed) - g_TypedCount);
  } while (n < 0 && errno == EINTR && !InterruptRequested());
  if (n <= 0) return 0;
  g_TypedCount += static_cast<size_t>(n);
  return 1;
}

// Key mode: line editing and echo off, signals on. `minimum` and `tenths`
// say when a read returns: after that many bytes, or that long after the
// last one.
static int SetKeyMode(cc_t minimum, cc_t tenths) {
  struct termios oneKey = g_SavedMode;
  oneKey.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  oneKey.c_cc[VMIN] = minimum;
  oneKey.c_cc[VTIME] = tenths;
  return tcsetattr(STDIN_FILENO, TCSANOW, &oneKey) == 0 ? 1 : 0;
}

int ConsoleEnterKeyMode() {
  if (g_ModeChanged) return 1;
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &g_SavedMode) != 0) return 0;
  // A second interrupt in key mode ends the process: the mode goes back first.
  InterruptSetLastAction(ConsoleRestoreTerminalMode);
  // The saved mode must be complete before a signal handler may use it.
  std::atomic_signal_fence(std::memory_order_seq_cst);
  g_ModeChanged = 1;
  if (SetKeyMode(1, 0)) return 1;
  ConsoleRestoreTerminalMode();
  return 0;
}

// Takes one key press in key mode. The result is its first byte; the rest
// of that press (an arrow's ESC [ A) is dropped, so one press is one key,
// while keys typed ahead stay for the next prompts.
static int ReadKey() {
  if (g_TypedCount == 0 && !(InterruptWaitForInput(STDIN_FILENO) == 1 && ReadTyped())) return -1;
  if (InterruptRequested()) return -1;
  int whole = 0;
  size_t length = KeyPressLength(g_Typed, g_TypedCount, &whole);
  if (!whole && g_TypedCount < sizeof(g_Typed) && SetKeyMode(0, kKeyRestTenths)) {
    if (ReadTyped()) length = KeyPressLength(g_Typed, g_TypedCount, &whole);
    // Back to one byte at a time for the prompts that follow.
    SetKeyMode(1, 0);
  }
  if (InterruptRequested()) return -1;
  int c = g_Typed[0];
  g_TypedCount -= length;
  memmove(g_Typed, g_Typed + length, g_TypedCount);
  return c;
}

// Pending output (a prompt) is flushed first so it shows before the wait.
int ConsoleReadChar() {
  fflush(stdout);
  if (InterruptRequested()) return -1;
  if (!isatty(STDIN_FILENO)) {
    int c = getchar();
    return c == EOF || InterruptRequested() ? -1 : c;
  }
  CConsoleKeyMode forThisRead(true);
  return g_ModeChanged ? ReadKey() : -1;
}

CConsoleKeyMode::CConsoleKeyMode(bool wanted)
    : m_Entered(wanted && !g_ModeChanged && ConsoleEnterKeyMode() == 1) {}
