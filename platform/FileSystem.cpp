#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include "platform/FileSystem.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdlib>
#include <new>
#include <string>

#include "platform/FileStep.h"

static_assert(sizeof(off_t) == 8, "file offsets must be 64-bit");

struct PlatformFile {
  int m_Fd;
  int m_Written;  // opened for writing: its close is a step
};

static FileStepHook g_StepHook = nullptr;

void FileSetStepHook(FileStepHook hook) { g_StepHook = hook; }

// 1 when the step may change the disk; 0, with errno set, when the hook
// fails it.
static int PassStep(FileStepKind kind, const char* path, const char* to = nullptr) {
  if (!g_StepHook) return 1;
  const int error = g_StepHook(kind, path, to);
  if (error == 0) return 1;
  errno = error;
  return 0;
}

// Both separators are accepted by callers; the system only knows "/".
std::string PathForSystem(const char* path) {
  std::string out(path ? path : "");
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

static int IsRegularFd(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

static int LockFd(int fd, FileShareMode share) {
  int op = (share == FILE_SHARE_EXCLUSIVE ? LOCK_EX : LOCK_SH) | LOCK_NB;
  for (;;) {
    if (flock(fd, op) == 0) return 1;
    if (errno != EINTR) return 0;
  }
}

static int IsStandardOutput(const struct stat& st) {
  struct stat out;
  return fstat(STDOUT_FILENO, &out) == 0 && out.st_dev == st.st_dev && out.st_ino == st.st_ino;
}

static FileHandle WrapFd(int fd, int written) {
  PlatformFile* file = new (std::nothrow) PlatformFile;
  if (!file) {
    close(fd);
    return nullptr;
  }
  file->m_Fd = fd;
  file->m_Written = written;
  return file;
}

// Closes a descriptor that FileOpen gives up and leaves error in errno, so a
// caller sees why the open failed rather than what close said.
static FileHandle CloseAndFail(int fd, int error) {
  close(fd);
  errno = error;
  return nullptr;
}

// A second opener of a locked file fails before anything is truncated, and
// only regular files are ever locked or truncated.
FileHandle FileOpen(const char* path, FileOpenMode mode, FileShareMode share) {
  if (!path || !*path) return nullptr;
  int flags = O_CLOEXEC | O_NOCTTY;
  switch (mode) {
    case FILE_OPEN_READ_EXISTING: flags |= O_RDONLY; break;
    case FILE_OPEN_WRITE_EXISTING: flags |= O_WRONLY; break;
    case FILE_CREATE_ALWAYS: flags |= O_WRONLY | O_CREAT; break;
    case FILE_CREATE_NEW: flags |= O_WRONLY | O_CREAT | O_EXCL; break;
    default: return nullptr;
  }
  const int written = mode != FILE_OPEN_READ_EXISTING;
  if (written && !PassStep(FILE_STEP_OPEN, path)) return nullptr;
  std::string sysPath = PathForSystem(path);
  int fd;
  do {
    fd = open(sysPath.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return nullptr;

  struct stat st;
  if (fstat(fd, &st) != 0) return CloseAndFail(fd, errno);
  if (mode != FILE_OPEN_READ_EXISTING && IsStandardOutput(st)) {
    // The file our own messages go to (-o /dev/stdout, say): a write of
    // ours must land after what was printed and before what is printed next,
    // so the handle shares the standard output's position. Nothing of it
    // is cut or locked.
    int shared = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    if (shared < 0) return CloseAndFail(fd, errno);
    close(fd);
    return WrapFd(shared, written);
  }
  if (S_ISDIR(st.st_mode)) return CloseAndFail(fd, EISDIR);
  if (S_ISREG(st.st_mode)) {
    if (!LockFd(fd, share)) return CloseAndFail(fd, errno);
    // An empty file is left alone: on ext4 a truncation to zero marks the
    // file for a write-back at close (its guard for rewrites in place), which
    // for a file just created costs a flush of everything written to it.
    // The size is read again under the lock.
    if (mode == FILE_CREATE_ALWAYS && (fstat(fd, &st) != 0 || st.st_size != 0) &&
        ftruncate(fd, 0) != 0) {
      return CloseAndFail(fd, errno);
    }
  }
  return WrapFd(fd, written);
}

// A shared lock is refused only while somebody holds the exclusive one, and
// is given up at once; a FIFO is never opened (its open could wait).
int PathIsLockedByAnother(const char* path) {
  if (!PathIsRegularFile(path)) return 0;
  int fd;
  do {
    fd = open(PathForSystem(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return 0;
  int held = 0;
  if (IsRegularFd(fd)) {
    for (;;) {
      if (flock(fd, LOCK_SH | LOCK_NB) == 0) break;
      if (errno == EINTR) continue;
      held = errno == EWOULDBLOCK;
      break;
    }
  }
  close(fd);
  return held;
}

// Linux releases the descriptor even when close reports EINTR, so it is never retried.
int FileClose(FileHandle file) {
  if (!file) return 0;
  // A close the hook fails still releases the handle, as a failed close does.
  const int passed = !file->m_Written || PassStep(FILE_STEP_CLOSE, nullptr);
  const int error = errno;
  int rc = close(file->m_Fd);
  delete file;
  if (!passed) errno = error;
  return rc == 0 && passed ? 1 : 0;
}

int FileGetSize(FileHandle file, uint64_t* size) {
  if (!file || !size) return 0;
  struct stat st;
  if (fstat(file->m_Fd, &st) != 0) return 0;
  *size = st.st_size < 0 ? 0 : static_cast<uint64_t>(st.st_size);
  return 1;
}

int FileSeek(FileHandle file, int64_t offset, FileSeekOrigin origin, uint64_t* newPosition) {
  if (!file) return 0;
  int whence;
  switch (origin) {
    case FILE_SEEK_BEGIN: whence = SEEK_SET; break;
    case FILE_SEEK_END: whence = SEEK_END; break;
    default: return 0;
  }
  off_t pos = lseek(file->m_Fd, static_cast<off_t>(offset), whence);
  if (pos < 0) return 0;
  if (newPosition) *newPosition = static_cast<uint64_t>(pos);
  return 1;
}

int FileRead(FileHandle file, void* buffer, uint32_t length, uint32_t* got) {
  uint32_t ignored = 0;
  if (!got) got = &ignored;
  *got = 0;
  if (!file || (!buffer && length)) return 0;
  char* out = static_cast<char*>(buffer);
  uint32_t total = 0;
  while (total < length) {
    ssize_t n = read(file->m_Fd, out + total, length - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      *got = total;
      return 0;
    }
    if (n == 0) break;
    total += static_cast<uint32_t>(n);
  }
  *got = total;
  return 1;
}

int FileReadWhole(FileHandle file, uint32_t most, std::string* contents) {
  contents->clear();
  uint64_t fileSize = 0;
  if (!FileGetSize(file, &fileSize) || fileSize > most) return 0;
  if (fileSize == 0) return 1;
  const uint32_t length = static_cast<uint32_t>(fileSize);
  try {
    contents->resize(length);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  uint32_t got = 0;
  if (!FileRead(file, &(*contents)[0], length, &got) || got != length) {
    contents->clear();
    return 0;
  }
  return 1;
}

int FileWrite(FileHandle file, const void* data, uint32_t length, uint32_t* written) {
  if (written) *written = 0;
  if (!file || (!data && length)) return 0;
  if (!PassStep(FILE_STEP_WRITE, nullptr)) return 0;
  const char* in = static_cast<const char*>(data);
  uint32_t total = 0;
  int ok = 1;
  while (total < length) {
    ssize_t n = write(file->m_Fd, in + total, length - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = 0;
      break;
    }
    if (n == 0) {  // no progress and no error: give up rather than spin
      ok = 0;
      break;
    }
    total += static_cast<uint32_t>(n);
  }
  if (written) *written = total;
  return ok;
}

int FileTruncate(FileHandle file, uint64_t size) {
  if (!file) return 0;
  if (!IsRegularFd(file->m_Fd)) return 1;
  if (size > static_cast<uint64_t>(INT64_MAX)) return 0;
  if (!PassStep(FILE_STEP_TRUNCATE, nullptr)) return 0;
  for (;;) {
    if (ftruncate(file->m_Fd, static_cast<off_t>(size)) == 0) return 1;
    if (errno != EINTR) return 0;
  }
}

int FileIsRegular(FileHandle file) {
  return file && IsRegularFd(file->m_Fd) ? 1 : 0;
}

PathKind PathGetKind(const char* path) {
  if (!path || !*path) return PATH_MISSING;
  struct stat st;
  if (stat(PathForSystem(path).c_str(), &st) != 0) return PATH_MISSING;
  return S_ISDIR(st.st_mode) ? PATH_DIRECTORY : PATH_FILE;
}

int PathIsRegularFile(const char* path) {
  if (!path || !*path) return 0;
  struct stat st;
  return stat(PathForSystem(path).c_str(), &st) == 0 && S_ISREG(st.st_mode) ? 1 : 0;
}

int PathIsLink(const char* path) {
  if (!path || !*path) return 0;
  struct stat st;
  return lstat(PathForSystem(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode) ? 1 : 0;
}

int PathIsStandardOutput(const char* path) {
  if (!path || !*path) return 0;
  struct stat st;
  return stat(PathForSystem(path).c_str(), &st) == 0 && IsStandardOutput(st);
}

// A link is never removed: it belongs to whoever made it, and the file it
// points to is not ours to lose either.
int FileDelete(const char* path) {
  if (!PathIsRegularFile(path) || PathIsLink(path)) return 0;
  if (!PassStep(FILE_STEP_DELETE, path)) return 0;
  return unlink(PathForSystem(path).c_str()) == 0 ? 1 : 0;
}

static int RenameNoReplace(const char* from, const char* to) {
#if defined(SYS_renameat2)
  const unsigned int kNoReplace = 1;  // RENAME_NOREPLACE
  if (syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, kNoReplace) == 0) return 1;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return 0;
#endif
  // The file system cannot rename without replacing: link refuses an
  // existing target, so link and unlink keep the guarantee.
  if (link(from, to) != 0) return 0;
  if (unlink(from) != 0) {
    int saved = errno;
    unlink(to);
    errno = saved;
    return 0;
  }
  return 1;
}

int FileMove(const char* from, const char* to) {
  if (!to || !*to || !PathIsRegularFile(from) || PathIsLink(from)) return 0;
  if (!PassStep(FILE_STEP_MOVE, from, to)) return 0;
  std::string sysFrom = PathForSystem(from);
  std::string sysTo = PathForSystem(to);
  return RenameNoReplace(sysFrom.c_str(), sysTo.c_str());
}

int FileReplace(const char* path, const char* fresh, const char* aside) {
  if (!FileMove(path, aside)) return 0;
  if (!FileMove(fresh, path)) {
    FileMove(aside, path);
    return 0;
  }
  FileDelete(aside);
  return 1;
}

int DirCreate(const char* path) {
  if (!path || !*path) return 0;
  if (!PassStep(FILE_STEP_DIR_CREATE, path)) return 0;
  return mkdir(PathForSystem(path).c_str(), 0777) == 0 ? 1 : 0;
}

// O_TMPFILE makes a file that never has a name; where the file system
// cannot, a named one is made and its name removed at once.
FileHandle FileOpenScratch() {
  const char* dir = getenv("TMPDIR");
  std::string folder = dir && *dir ? dir : "/tmp";
  if (!PassStep(FILE_STEP_SCRATCH, folder.c_str())) return nullptr;
  int fd;
  do {
    fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    std::string name = folder + "/zelvora-XXXXXX";
    fd = mkostemp(&name[0], O_CLOEXEC);
    if (fd < 0) return nullptr;
    unlink(name.c_str());
  }
  return WrapFd(fd, 1);
}
