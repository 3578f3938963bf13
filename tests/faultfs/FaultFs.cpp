// Linked into a copy of zelvora built for the file-step tests only
// (tests/filesteps/): it counts the steps of the file-system layer
// (platform/FileStep.h) and, as the plan beside the copy asks, makes one of
// them fail or ends the program at it.
//
// Both files sit in the copy's own folder, so a test gives each copy its plan
// without touching the environment its runs share:
// - "faultfs.plan", read once as the program starts: "fail N" (step N fails
//   as on a broken or full disk: ENOSPC for a write, EIO for the rest),
//   "failfrom N" (step N and every later one fail: the disk stays broken) or
//   "kill N" (SIGKILL at step N, before it changes anything). Without it no
//   step is touched.
// - "faultfs.steps", made fresh by every run: one line per step, written
//   before the step is made, "N kind path [new name]". A run that reached
//   step N has at least N lines there, also when it was killed at it.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/FileStep.h"

namespace {

enum EFault { FAULT_NONE, FAULT_FAIL, FAULT_FAIL_FROM, FAULT_KILL };

EFault g_Fault = FAULT_NONE;
long g_FaultAt = 0;
long g_Steps = 0;
int g_LogFd = -1;

const char* KindName(FileStepKind kind) {
  switch (kind) {
    case FILE_STEP_OPEN: return "open";
    case FILE_STEP_SCRATCH: return "scratch";
    case FILE_STEP_WRITE: return "write";
    case FILE_STEP_TRUNCATE: return "truncate";
    case FILE_STEP_CLOSE: return "close";
    case FILE_STEP_DELETE: return "delete";
    case FILE_STEP_MOVE: return "move";
    case FILE_STEP_DIR_CREATE: return "mkdir";
  }
  return "?";
}

// One write per line: what was logged stays when the run is killed next.
void Log(const std::string& line) {
  if (g_LogFd < 0) return;
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = write(g_LogFd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

int OnStep(FileStepKind kind, const char* path, const char* to) {
  const int savedErrno = errno;
  ++g_Steps;
  std::string line = std::to_string(g_Steps) + " " + KindName(kind);
  if (path) line += std::string(" ") + path;
  if (to) line += std::string(" ") + to;
  Log(line + "\n");
  errno = savedErrno;
  const int failed = kind == FILE_STEP_WRITE ? ENOSPC : EIO;
  switch (g_Fault) {
    case FAULT_NONE:
      return 0;
    case FAULT_FAIL:
      return g_Steps == g_FaultAt ? failed : 0;
    case FAULT_FAIL_FROM:
      return g_Steps >= g_FaultAt ? failed : 0;
    case FAULT_KILL:
      if (g_Steps != g_FaultAt) return 0;
      kill(getpid(), SIGKILL);
      _exit(137);
  }
  return 0;
}

// The folder of the running copy, with its last "/".
std::string OwnFolder() {
  char exe[4096];
  const ssize_t length = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  if (length <= 0) return std::string();
  const std::string path(exe, static_cast<size_t>(length));
  return path.substr(0, path.rfind('/') + 1);
}

void ReadPlan(const std::string& file) {
  FILE* plan = fopen(file.c_str(), "r");
  if (!plan) return;
  char kind[16] = {0};
  long at = 0;
  if (fscanf(plan, "%15s %ld", kind, &at) == 2 && at > 0) {
    if (strcmp(kind, "fail") == 0) g_Fault = FAULT_FAIL;
    if (strcmp(kind, "failfrom") == 0) g_Fault = FAULT_FAIL_FROM;
    if (strcmp(kind, "kill") == 0) g_Fault = FAULT_KILL;
    g_FaultAt = at;
  }
  fclose(plan);
}

struct CInstall {
  CInstall() {
    const std::string folder = OwnFolder();
    if (folder.empty()) {
      fprintf(stderr, "faultfs: the program's own folder is unknown\n");
      abort();
    }
    ReadPlan(folder + "faultfs.plan");
    g_LogFd = open((folder + "faultfs.steps").c_str(),
                   O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    FileSetStepHook(OnStep);
  }
} g_Install;

}  // namespace
