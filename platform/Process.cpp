#include "platform/Process.h"

#include <unistd.h>

uint32_t ProcessGetExecutablePath(char* buffer, uint32_t size) {
  if (!buffer || size == 0) return 0;
  ssize_t n = readlink("/proc/self/exe", buffer, size);
  // readlink fills the whole buffer when the path is cut; a path that fits
  // leaves room for the terminator.
  if (n <= 0 || static_cast<uint64_t>(n) >= size) {
    buffer[0] = '\0';
    return 0;
  }
  buffer[n] = '\0';
  return static_cast<uint32_t>(n);
}
