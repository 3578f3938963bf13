#include "platform/Process.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <string>

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

static std::string ReadWholeFile(const char* path) {
  std::string all;
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return all;
  char chunk[4096];
  for (;;) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (n == 0) break;
    all.append(chunk, static_cast<size_t>(n));
  }
  close(fd);
  return all;
}

static std::string JoinArguments(const std::string& raw) {
  std::string line;
  size_t start = 0;
  bool first = true;
  while (start < raw.size()) {
    size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    std::string arg = raw.substr(start, end - start);
    if (!first) line += ' ';
    first = false;
    if (arg.empty() || arg.find_first_of(" \t") != std::string::npos) {
      line += '"';
      line += arg;
      line += '"';
    } else {
      line += arg;
    }
    start = end + 1;
  }
  return line;
}

// Built once, on first use; the text stays valid until the process ends.
const char* ProcessGetCommandLine() {
  static const std::string* s_CommandLine =
      new std::string(JoinArguments(ReadWholeFile("/proc/self/cmdline")));
  return s_CommandLine->c_str();
}

