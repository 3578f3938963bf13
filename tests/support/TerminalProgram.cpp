#include "support/TerminalProgram.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <chrono>
#include <thread>

#include "support/Deadline.h"

namespace {

int ExitValueOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

CTerminalProgram::CTerminalProgram(const std::string& executable,
                                   const std::vector<std::string>& args,
                                   const std::string& workDir) {
  int slave = -1;
  if (openpty(&m_Master, &slave, nullptr, nullptr, nullptr) != 0) {
    m_Master = -1;
    return;
  }
  struct termios mode;
  if (tcgetattr(slave, &mode) == 0) {
    mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tcsetattr(slave, TCSANOW, &mode);
  }
  // Made before fork: between fork and exec only async-signal-safe calls.
  std::vector<std::string> argvText;
  argvText.push_back(executable);
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& text : argvText) argv.push_back(&text[0]);
  argv.push_back(nullptr);

  m_Pid = fork();
  if (m_Pid == 0) {
    close(m_Master);
    // A new session whose controlling terminal is the slave, on 0, 1 and 2.
    if (login_tty(slave) != 0) _exit(125);
    // The test program may ignore some of these; the program must see them.
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) signal(signalNumber, SIG_DFL);
    if (chdir(workDir.c_str()) != 0) _exit(126);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(slave);
  if (m_Pid < 0) {
    close(m_Master);
    m_Master = -1;
    return;
  }
  fcntl(m_Master, F_SETFL, fcntl(m_Master, F_GETFL) | O_NONBLOCK);
}

CTerminalProgram::~CTerminalProgram() {
  if (m_Pid > 0 && !m_Ended) {
    kill(m_Pid, SIGKILL);
    waitpid(m_Pid, nullptr, 0);
  }
  if (m_Master >= 0) close(m_Master);
}

bool CTerminalProgram::ReadSome(int ms) {
  if (m_Master < 0) return false;
  struct pollfd entry = {m_Master, POLLIN, 0};
  if (poll(&entry, 1, ms) <= 0) return false;
  char buffer[4096];
  ssize_t got = read(m_Master, buffer, sizeof(buffer));
  // EIO: every end of the slave side is closed, the program is gone.
  if (got <= 0) return false;
  m_Output.append(buffer, static_cast<size_t>(got));
  return true;
}

bool CTerminalProgram::ReadUntil(const std::string& text, int timeLimitMs) {
  CClock::time_point deadline = CClock::now() + std::chrono::milliseconds(timeLimitMs);
  while (m_Output.find(text) == std::string::npos) {
    int left = MillisecondsLeft(deadline);
    if (left == 0) return false;
    if (!ReadSome(left)) {
      // Nothing more to read: either the time is up or the program ended.
      struct pollfd entry = {m_Master, POLLIN, 0};
      if (poll(&entry, 1, 0) == 1 && (entry.revents & (POLLHUP | POLLERR))) return false;
    }
  }
  return true;
}

bool CTerminalProgram::ReadFor(int ms) {
  CClock::time_point deadline = CClock::now() + std::chrono::milliseconds(ms);
  bool any = false;
  for (int left = ms; left > 0; left = MillisecondsLeft(deadline)) {
    if (ReadSome(left)) any = true;
  }
  return any;
}

void CTerminalProgram::Type(const std::string& keys) {
  size_t done = 0;
  while (m_Master >= 0 && done < keys.size()) {
    ssize_t n = write(m_Master, keys.data() + done, keys.size() - done);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

int CTerminalProgram::Wait(int timeLimitMs) {
  if (m_Pid <= 0) return -1;
  CClock::time_point deadline = CClock::now() + std::chrono::milliseconds(timeLimitMs);
  while (!m_Ended) {
    int status = 0;
    if (waitpid(m_Pid, &status, WNOHANG) == m_Pid) {
      m_Ended = true;
      m_ExitValue = ExitValueOf(status);
      break;
    }
    if (MillisecondsLeft(deadline) == 0) {
      kill(m_Pid, SIGKILL);
      waitpid(m_Pid, nullptr, 0);
      m_Ended = true;
      m_ExitValue = -1;
      break;
    }
    if (!ReadSome(5)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // What it wrote last is still in the terminal.
  while (ReadSome(0)) {
  }
  return m_ExitValue;
}

// The mode of a pseudo-terminal is read through its master side.
bool CTerminalProgram::LineEditing() const {
  struct termios mode;
  return m_Master >= 0 && tcgetattr(m_Master, &mode) == 0 && (mode.c_lflag & ICANON) != 0;
}

bool CTerminalProgram::Echo() const {
  struct termios mode;
  return m_Master >= 0 && tcgetattr(m_Master, &mode) == 0 && (mode.c_lflag & ECHO) != 0;
}

bool CTerminalProgram::ReadsWithinTimeLimit() const {
  struct termios mode;
  return m_Master >= 0 && tcgetattr(m_Master, &mode) == 0 && (mode.c_lflag & ICANON) == 0 &&
         mode.c_cc[VMIN] == 0 && mode.c_cc[VTIME] != 0;
}
