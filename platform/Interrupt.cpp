#include "platform/Interrupt.h"

#include <errno.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>

#include "platform/FileSystem.h"

namespace {

volatile sig_atomic_t g_Interrupted = 0;

const int kCaught[] = {SIGINT, SIGTERM, SIGHUP};

void (*volatile g_LastAction)() = nullptr;

// The file under way. The handler reads it only while g_UnderWayKept is 1,
// and it is written only while that flag is 0.
char g_UnderWay[PATH_MAX];
volatile sig_atomic_t g_UnderWayKept = 0;

// The socket the first signal shuts down; -1 for none.
volatile sig_atomic_t g_SocketUnderWay = -1;

// Only async-signal-safe calls here: the flag and the shutdown of the socket
// under way, and for a second signal the last action, the removal of the file
// under way and the default action taken again.
void OnInterrupt(int signalNumber) {
  if (g_Interrupted) {
    void (*action)() = g_LastAction;
    if (action) action();
    if (g_UnderWayKept) unlink(g_UnderWay);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
    return;
  }
  g_Interrupted = 1;
  // The flag alone is seen only by the next look at it: a send or receive
  // that had passed that look would block until the peer moves. With the
  // socket shut down it returns at once; the code it interrupted may be
  // reading errno.
  const int socketUnderWay = g_SocketUnderWay;
  if (socketUnderWay >= 0) {
    const int savedErrno = errno;
    shutdown(socketUnderWay, SHUT_RDWR);
    errno = savedErrno;
  }
}

}  // namespace

void InterruptSetLastAction(void (*action)()) { g_LastAction = action; }

int InterruptSetFileUnderWay(const char* path) {
  g_UnderWayKept = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  if (!path || !*path) return 1;
  // Spelt as the file system layer spelt it when it made the file.
  const std::string spelt = PathForSystem(path);
  const size_t length = spelt.size();
  if (length >= sizeof(g_UnderWay)) return 0;
  memcpy(g_UnderWay, spelt.c_str(), length + 1);
  // The whole path is in place before the handler may use it.
  std::atomic_signal_fence(std::memory_order_seq_cst);
  g_UnderWayKept = 1;
  return 1;
}

void InterruptSetSocketUnderWay(int descriptor) { g_SocketUnderWay = descriptor; }

void InterruptForgetSocket(int descriptor) {
  if (g_SocketUnderWay == descriptor) g_SocketUnderWay = -1;
}

int InterruptCatch() {
  struct sigaction action;
  memset(&action, 0, sizeof(action));
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a receive that waits for the server must return with
  // EINTR so the transfer can stop.
  action.sa_flags = 0;
  int ok = 1;
  for (int signalNumber : kCaught) {
    struct sigaction old;
    // A signal ignored by whoever started us (nohup) stays ignored.
    if (sigaction(signalNumber, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    if (sigaction(signalNumber, &action, nullptr) != 0) ok = 0;
  }
  return ok;
}

int InterruptRequested() { return g_Interrupted ? 1 : 0; }

int InterruptWaitForInput(int descriptor) {
  sigset_t caught;
  sigemptyset(&caught);
  for (int signalNumber : kCaught) sigaddset(&caught, signalNumber);
  // Held back between the look at the flag and the wait; the wait itself lets
  // them in, so one that comes in between ends the wait instead of being lost.
  sigset_t before;
  if (sigprocmask(SIG_BLOCK, &caught, &before) != 0) return -1;
  sigset_t during = before;
  for (int signalNumber : kCaught) sigdelset(&during, signalNumber);
  struct pollfd entry = {descriptor, POLLIN, 0};
  int ready = 0;
  while (!g_Interrupted) {
    ready = ppoll(&entry, 1, nullptr, &during);
    if (ready >= 0 || errno != EINTR) break;
  }
  const int result = g_Interrupted ? 0 : ready > 0 ? 1 : -1;
  sigprocmask(SIG_SETMASK, &before, nullptr);
  return result;
}
