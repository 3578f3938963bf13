// Ctrl-C, a hang-up of the terminal and a request to terminate: how a run is
// stopped from outside and still puts the user's files back.
#ifndef ZELVORA_PLATFORM_INTERRUPT_H
#define ZELVORA_PLATFORM_INTERRUPT_H

// From now on the first Ctrl-C (SIGINT), SIGTERM or SIGHUP only marks the
// run as interrupted: a blocked socket call then fails at once instead of
// going on, and so does every later one, so the run ends the way a failed
// transfer ends and puts the user's files back. A second one ends the
// process at once, as if it had not been caught. Returns 1, or 0 when the
// handler could not be set.
int InterruptCatch();

// 1 once an interrupt has come, else 0. Safe to call at any time.
int InterruptRequested();

#endif
