#include "support/ProgramRunner.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "support/Deadline.h"

namespace {

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Copies with close-on-exec descriptors, so that no child started meanwhile
// keeps the copy open for writing (exec of it would then fail with ETXTBSY).
int CopyExecutable(const std::string& from, const std::string& to) {
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return 0;
  int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0755);
  if (out < 0) {
    close(in);
    return 0;
  }
  int ok = 1;
  char buffer[65536];
  for (;;) {
    ssize_t got = read(in, buffer, sizeof(buffer));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    for (ssize_t done = 0; done < got && ok;) {
      ssize_t wrote = write(out, buffer + done, static_cast<size_t>(got - done));
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) ok = 0;
      else done += wrote;
    }
    if (!ok) break;
  }
  close(in);
  if (fchmod(out, 0755) != 0) ok = 0;
  if (close(out) != 0) ok = 0;
  return ok;
}

// Reads what is there; closes the descriptor at its end (for a terminal,
// EIO once the child side is closed). Returns 0 once closed.
int Drain(int* fd, std::string* into) {
  char buffer[65536];
  for (;;) {
    ssize_t got = read(*fd, buffer, sizeof(buffer));
    if (got > 0) {
      into->append(buffer, static_cast<size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 1;
    close(*fd);
    *fd = -1;
    return 0;
  }
}

// A pseudo-terminal pair standing in for pipe2: [0] the side we read, [1]
// the terminal the child writes to. Raw mode keeps "\n" from becoming "\r\n".
int OpenTerminalPair(int ends[2]) {
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0) return -1;
  char name[128];
  int slave = -1;
  if (grantpt(master) == 0 && unlockpt(master) == 0 && ptsname_r(master, name, sizeof(name)) == 0) {
    slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
  struct termios mode;
  if (slave < 0 || tcgetattr(slave, &mode) != 0) {
    if (slave >= 0) close(slave);
    close(master);
    return -1;
  }
  cfmakeraw(&mode);
  tcsetattr(slave, TCSANOW, &mode);
  ends[0] = master;
  ends[1] = slave;
  return 0;
}

void CloseIfOpen(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

}  // namespace

CProgramSandbox::CProgramSandbox(const std::string& executable) {
  m_ExePath = m_Dir.File(BaseName(executable));
  m_Ready = CopyExecutable(executable, m_ExePath);
}

void CProgramSandbox::WriteFile(const std::string& name, const std::string& bytes) const {
  TempDir::WriteFile(File(name), bytes);
}

std::string CProgramSandbox::ReadFile(const std::string& name) const { return TempDir::ReadFile(File(name)); }

bool CProgramSandbox::Exists(const std::string& name) const { return TempDir::Exists(File(name)); }

std::vector<std::string> CProgramSandbox::Files() const {
  std::vector<std::string> names;
  DIR* dir = opendir(Dir().c_str());
  if (!dir) return names;
  while (struct dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

CProgramResult CProgramSandbox::Run(const std::vector<std::string>& args, const std::string& input,
                                    int timeLimitMs) const {
  CProgramResult result;
  result.m_Dir = Dir();
  if (!m_Ready) return result;
  // A program that exits without reading its input must not end the test
  // program with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);

  int inPipe[2], outPipe[2], errPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) != 0) return result;
  if ((m_TerminalOutput ? OpenTerminalPair(outPipe) : pipe2(outPipe, O_CLOEXEC)) != 0) {
    close(inPipe[0]);
    close(inPipe[1]);
    return result;
  }
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    close(inPipe[0]);
    close(inPipe[1]);
    close(outPipe[0]);
    close(outPipe[1]);
    return result;
  }

  // Everything the child needs is made before fork: between fork and exec
  // only async-signal-safe calls are allowed.
  std::vector<std::string> argvText;
  argvText.push_back(m_ExePath);
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& text : argvText) argv.push_back(&text[0]);
  argv.push_back(nullptr);
  const std::string workDir = m_WorkDir.empty() ? Dir() : m_WorkDir;

  pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    // A suite started in the background has these ignored, and the program
    // keeps an ignored one ignored: the signals a test sends must arrive.
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) signal(signalNumber, SIG_DFL);
    if (m_FileSizeLimit != 0) {
      struct rlimit limit = {m_FileSizeLimit, m_FileSizeLimit};
      signal(SIGXFSZ, SIG_IGN);
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (m_AddressSpaceLimit != 0) {
      struct rlimit limit = {m_AddressSpaceLimit, m_AddressSpaceLimit};
      setrlimit(RLIMIT_AS, &limit);
    }
    dup2(inPipe[0], 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    if (chdir(workDir.c_str()) != 0) _exit(126);
    execv(m_ExePath.c_str(), argv.data());
    _exit(127);
  }
  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  int inFd = inPipe[1], outFd = outPipe[0], errFd = errPipe[0];
  if (pid < 0) {
    CloseIfOpen(&inFd);
    CloseIfOpen(&outFd);
    CloseIfOpen(&errFd);
    return result;
  }
  result.m_Started = true;
  for (int fd : {inFd, outFd, errFd}) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);

  CClock::time_point deadline = CClock::now() + std::chrono::milliseconds(timeLimitMs);
  size_t written = 0;
  if (input.empty()) CloseIfOpen(&inFd);
  int status = 0;
  bool reaped = false;
  bool signalled = false;
  bool secondPending = false;
  CClock::time_point secondAt;
  while (outFd >= 0 || errFd >= 0 || !reaped) {
    if (secondPending && !reaped && CClock::now() >= secondAt) {
      kill(pid, m_SecondSignalNumber);
      secondPending = false;
    }
    if (!result.m_TimedOut && MillisecondsLeft(deadline) == 0) {
      result.m_TimedOut = true;
      kill(-pid, SIGKILL);
      kill(pid, SIGKILL);
      CloseIfOpen(&inFd);
    }
    if (!reaped && waitpid(pid, &status, WNOHANG) == pid) reaped = true;
    struct pollfd entries[3];
    int count = 0;
    if (inFd >= 0) entries[count++] = {inFd, POLLOUT, 0};
    if (outFd >= 0) entries[count++] = {outFd, POLLIN, 0};
    if (errFd >= 0) entries[count++] = {errFd, POLLIN, 0};
    if (count == 0) {
      // Only the exit is missing.
      if (!reaped) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    int waitMs = 20;
    if (secondPending) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(secondAt - CClock::now()).count();
      waitMs = left <= 0 ? 0 : left < waitMs ? static_cast<int>(left) : waitMs;
    }
    poll(entries, static_cast<nfds_t>(count), waitMs);
    if (inFd >= 0) {
      ssize_t wrote = write(inFd, input.data() + written, input.size() - written);
      if (wrote > 0) written += static_cast<size_t>(wrote);
      if ((wrote < 0 && errno != EAGAIN && errno != EINTR) || written == input.size()) CloseIfOpen(&inFd);
    }
    if (outFd >= 0) Drain(&outFd, &result.m_Out);
    if (errFd >= 0) Drain(&errFd, &result.m_Err);
    if (!signalled && !reaped && m_SignalNumber != 0 && m_SignalReady &&
        m_SignalReady(result.m_Out)) {
      kill(pid, m_SignalNumber);
      signalled = true;
      if (m_SecondSignalNumber != 0) {
        if (m_SecondSignalDelayUs <= 0) {
          kill(pid, m_SecondSignalNumber);
        } else {
          secondPending = true;
          secondAt = CClock::now() + std::chrono::microseconds(m_SecondSignalDelayUs);
        }
      }
    }
    // After a kill, whatever still holds the pipes open must not keep us.
    if (result.m_TimedOut && reaped) {
      CloseIfOpen(&outFd);
      CloseIfOpen(&errFd);
    }
  }
  CloseIfOpen(&inFd);
  if (WIFEXITED(status)) {
    result.m_ExitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.m_Signal = WTERMSIG(status);
    result.m_ExitCode = 128 + result.m_Signal;
  }
  return result;
}

CProgramRun RunProgram(const std::string& executable, const std::vector<std::string>& args, const std::string& input,
                       int timeLimitMs) {
  CProgramRun run;
  run.m_Sandbox = std::make_shared<CProgramSandbox>(executable);
  static_cast<CProgramResult&>(run) = run.m_Sandbox->Run(args, input, timeLimitMs);
  return run;
}
