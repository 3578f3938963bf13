#include "platform/Guid.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/random.h>
#include <unistd.h>

#include <mutex>

namespace {
std::mutex g_GuidHookLock;
bool g_GuidFixedSet = false;
PlatformGuid g_GuidFixed;
bool g_GuidFail = false;
}  // namespace

// Kernels without getrandom still offer the same pool as a device.
static int ReadUrandom(uint8_t* out, size_t length) {
  int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  size_t done = 0;
  while (done < length) {
    ssize_t n = read(fd, out + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(fd);
  return done == length;
}

static int RandomBytes(uint8_t* out, size_t length) {
  size_t done = 0;
  while (done < length) {
    ssize_t n = getrandom(out + done, length - done, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == ENOSYS) return ReadUrandom(out, length);
      return 0;
    }
    done += static_cast<size_t>(n);
  }
  return 1;
}

// The fields are read from the bytes most significant first, so the printed
// form of the identifier shows the version digit 4 and the variant bits.
int GuidCreate(PlatformGuid* guid) {
  if (!guid) return 0;
  {
    std::lock_guard<std::mutex> hold(g_GuidHookLock);
    if (g_GuidFail) {
      memset(guid, 0, sizeof *guid);
      return 0;
    }
    if (g_GuidFixedSet) {
      *guid = g_GuidFixed;
      return 1;
    }
  }
  uint8_t b[16];
  if (!RandomBytes(b, sizeof b)) {
    memset(guid, 0, sizeof *guid);
    return 0;
  }
  b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);
  b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);
  guid->Data1 = (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
                (static_cast<uint32_t>(b[2]) << 8) | b[3];
  guid->Data2 = static_cast<uint16_t>((b[4] << 8) | b[5]);
  guid->Data3 = static_cast<uint16_t>((b[6] << 8) | b[7]);
  memcpy(guid->Data4, b + 8, 8);
  return 1;
}

void GuidSetFixedForTest(const PlatformGuid* guid) {
  std::lock_guard<std::mutex> hold(g_GuidHookLock);
  g_GuidFixedSet = guid != nullptr;
  if (guid) g_GuidFixed = *guid;
}

// Failing wins over a fixed value while both are set.
void GuidSetFailForTest(int fail) {
  std::lock_guard<std::mutex> hold(g_GuidHookLock);
  g_GuidFail = fail != 0;
}
