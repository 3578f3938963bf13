// What the interop tests need to run a real server as a child: a free
// loopback port, a wait for its listener, and a stop by process id.
#ifndef ZELVORA_TESTS_INTEROP_SERVERPROCESS_H
#define ZELVORA_TESTS_INTEROP_SERVERPROCESS_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

// A free TCP port on 127.0.0.1 at the time of the call.
inline unsigned short FindFreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  unsigned short port = 0;
  socklen_t len = sizeof(addr);
  if (bind(fd, (sockaddr*)&addr, sizeof(addr)) == 0 && getsockname(fd, (sockaddr*)&addr, &len) == 0)
    port = ntohs(addr.sin_port);
  close(fd);
  return port;
}

inline bool CanConnect(unsigned short port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  bool ok = connect(fd, (sockaddr*)&addr, sizeof(addr)) == 0;
  close(fd);
  return ok;
}

// Ends the child *pid (none when -1): asked to stop, then killed after
// tries x 10 ms. *pid is -1 afterwards.
inline void StopServerProcess(pid_t* pid, int tries) {
  if (*pid < 0) return;
  kill(*pid, SIGTERM);
  int status;
  for (int i = 0; i < tries; ++i) {
    if (waitpid(*pid, &status, WNOHANG) == *pid) {
      *pid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(*pid, SIGKILL);
  waitpid(*pid, &status, 0);
  *pid = -1;
}

// Waits up to tries x 10 ms for the child *pid to accept on port: 1 then.
// 0 when it exited (a port taken meanwhile) or never listened; the child is
// gone then and *pid is -1.
inline int WaitForListener(pid_t* pid, unsigned short port, int tries) {
  for (int i = 0; i < tries; ++i) {
    if (CanConnect(port)) return 1;
    int status;
    if (waitpid(*pid, &status, WNOHANG) == *pid) {
      *pid = -1;
      return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  StopServerProcess(pid, 1);
  return 0;
}

#endif
