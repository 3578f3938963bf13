// Linked into a copy of zelvora built for the terminal tests only: a change
// of the terminal's mode that turns echo or line editing off takes effect
// only a while after it was asked for. A prompt that shows before its key
// mode is in place then stands in the old mode long enough for a test to
// see it, on every run, not in one run of hundreds.
#include <dlfcn.h>
#include <errno.h>
#include <termios.h>
#include <time.h>

namespace {

const long kDelayMs = 500;

typedef int (*SetModeFunction)(int, int, const struct termios*);

void Delay() {
  struct timespec left = {kDelayMs / 1000, (kDelayMs % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace

// Stands in for the C library's own for every call the program makes.
extern "C" int tcsetattr(int fd, int optionalActions, const struct termios* mode) noexcept {
  static const SetModeFunction real =
      reinterpret_cast<SetModeFunction>(dlsym(RTLD_NEXT, "tcsetattr"));
  if (!real) {
    errno = ENOSYS;
    return -1;
  }
  const tcflag_t keyBits = ICANON | ECHO;
  struct termios now;
  if (mode && tcgetattr(fd, &now) == 0 && (now.c_lflag & ~mode->c_lflag & keyBits) != 0) {
    const int savedErrno = errno;
    Delay();
    errno = savedErrno;
  }
  return real(fd, optionalActions, mode);
}
