// The application server of tests/interop/app_server.py (Starlette on
// uvicorn, from Debian's packages) on a free loopback port: started by the
// test with the system's Python, its output kept in a log of its own, and
// stopped by its process id.
#ifndef ZELVORA_TESTS_INTEROP_APPSERVER_H
#define ZELVORA_TESTS_INTEROP_APPSERVER_H

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "interop/NginxServer.h"
#include "support/TempDir.h"

// The system's Python, where Debian installs the server's modules; not any
// other python3 that PATH may find first.
const char kSystemPython[] = "/usr/bin/python3";

// True when the system's Python has the modules the server needs.
inline bool HaveAppServer() {
  if (access(kSystemPython, X_OK) != 0) return false;
  const std::string check = std::string(kSystemPython) +
                            " -c 'import starlette, uvicorn, multipart' >/dev/null 2>&1";
  return std::system(check.c_str()) == 0;
}

class CAppServer {
 public:
  CAppServer() = default;
  ~CAppServer() { Stop(); }
  CAppServer(const CAppServer&) = delete;
  CAppServer& operator=(const CAppServer&) = delete;

  // Returns 1 once the server accepts connections: up to ten seconds for
  // each of three ports (one taken meanwhile makes the server exit).
  int Start() {
    const std::string script = std::string(ZELVORA_SOURCE_DIR) + "/tests/interop/app_server.py";
    const std::string log = Log();
    for (int attempt = 0; attempt < 3 && m_Pid < 0; ++attempt) {
      m_Port = FindFreePort();
      if (m_Port == 0) continue;
      const std::string port = std::to_string(m_Port);
      const char* argv[] = {kSystemPython, script.c_str(), port.c_str(), nullptr};
      posix_spawn_file_actions_t actions;
      posix_spawn_file_actions_init(&actions);
      posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                       O_WRONLY | O_CREAT | O_APPEND, 0644);
      posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
      pid_t pid;
      const int spawned = posix_spawn(&pid, kSystemPython, &actions, nullptr, (char**)argv, environ);
      posix_spawn_file_actions_destroy(&actions);
      if (spawned != 0) return 0;
      m_Pid = pid;
      if (WaitForListener(&m_Pid, m_Port, 1000)) return 1;
    }
    return 0;
  }

  void Stop() { StopServerProcess(&m_Pid, 500); }

  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_Port) + path;
  }
  std::string Log() const { return m_Dir.File("server.log"); }
  std::string LogText() const { return TempDir::ReadFile(Log()); }

 private:
  TempDir m_Dir;
  unsigned short m_Port = 0;
  int m_Pid = -1;
};

#endif
