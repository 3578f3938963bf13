// Ctrl-C, a hang-up of the terminal and a request to terminate: how a run is
// stopped from outside and still puts the user's files back.
#ifndef ZELVORA_PLATFORM_INTERRUPT_H
#define ZELVORA_PLATFORM_INTERRUPT_H

// From now on the first Ctrl-C (SIGINT), SIGTERM or SIGHUP only marks the
// run as interrupted: a blocked socket call then fails at once instead of
// going on, and so does every later one, so the run ends the way a failed
// transfer ends and puts the user's files back. A second one ends the
// process at once, as if it had not been caught, after the last action
// (InterruptSetLastAction) has run and the file under way
// (InterruptSetFileUnderWay) is removed. Returns 1, or 0 when the handler
// could not be set.
int InterruptCatch();

// What the second interrupt does first, inside the signal handler: action
// may only make calls that are safe there. NULL for none. (The console puts
// back a terminal mode that a key wait changed.)
void InterruptSetLastAction(void (*action)());

// The file a transfer writes that this run created: a second interrupt
// removes it, so that no half-written file is left for a later run to take
// for a whole one. The path is copied now, spelt as the file system layer
// gives it to the system ("\" as "/"), so that the removal needs nothing but
// the signal-safe unlink and meets the very file that was made; a path too
// long to copy is not kept. NULL (or "") for none. Returns 1 when the path is
// kept (or cleared), 0 when not.
int InterruptSetFileUnderWay(const char* path);

// The socket a transfer is using (the socket layer sets it when it connects
// one): the first interrupt shuts it down, so a send or receive that was
// about to block on it returns at once instead of waiting for the peer.
// InterruptForgetSocket clears it when it is descriptor (before the socket
// is closed, so the handler never shuts down a reused descriptor).
void InterruptSetSocketUnderWay(int descriptor);
void InterruptForgetSocket(int descriptor);

// 1 once an interrupt has come, else 0. Safe to call at any time.
int InterruptRequested();

// Waits until descriptor has input to read or an interrupt has come, with no
// moment in which an interrupt could come unseen and leave the wait blocked.
// Returns 1 when input (or its end) is there, 0 once an interrupt has come
// (also one that came before the call), -1 when the wait failed.
int InterruptWaitForInput(int descriptor);

#endif
