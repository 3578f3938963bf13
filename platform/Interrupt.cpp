#include "platform/Interrupt.h"

#include <signal.h>

#include <cstring>

namespace {

volatile sig_atomic_t g_Interrupted = 0;

const int kCaught[] = {SIGINT, SIGTERM, SIGHUP};

// Only async-signal-safe calls here: the flag, and for a second signal the
// default action taken again.
void OnInterrupt(int signalNumber) {
  if (g_Interrupted) {
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
    return;
  }
  g_Interrupted = 1;
}

}  // namespace

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
