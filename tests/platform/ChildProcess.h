// Runs a piece of test code in a forked child with its standard input and
// output on pipes, so tests can see exactly what reached the descriptors.
#ifndef ZELVORA_TESTS_PLATFORM_CHILDPROCESS_H
#define ZELVORA_TESTS_PLATFORM_CHILDPROCESS_H

#include <signal.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

struct ChildResult {
  bool exited = false;  // ended through exit, not a signal
  int exitCode = -1;
  int signal = 0;
  std::string output;  // everything written to standard output
};

// body's return value is the child's exit code. The child is killed by an
// alarm after ten seconds so a hang cannot stall the suite. When stdoutFd is
// not -1 it becomes the child's standard output instead of the capture pipe.
inline ChildResult RunInChild(const std::function<int()>& body, const std::string& input = "",
                              int stdoutFd = -1) {
  ChildResult result;
  int out[2];
  int in[2];
  if (pipe(out) != 0) return result;
  if (pipe(in) != 0) {
    close(out[0]);
    close(out[1]);
    return result;
  }
  fflush(stdout);
  fflush(stderr);
  pid_t pid = fork();
  if (pid == 0) {
    alarm(10);
    dup2(stdoutFd != -1 ? stdoutFd : out[1], STDOUT_FILENO);
    dup2(in[0], STDIN_FILENO);
    close(out[0]);
    close(out[1]);
    close(in[0]);
    close(in[1]);
    int code = body();
    fflush(stdout);
    _exit(code);
  }
  close(out[1]);
  close(in[0]);
  if (pid < 0) {
    close(out[0]);
    close(in[1]);
    return result;
  }
  // Small inputs fit the pipe, so writing before reading cannot deadlock. A
  // child that ends without reading its input closes the pipe first: the
  // write must then fail, not end this process.
  signal(SIGPIPE, SIG_IGN);
  size_t done = 0;
  while (done < input.size()) {
    ssize_t n = write(in[1], input.data() + done, input.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(in[1]);
  char chunk[4096];
  for (;;) {
    ssize_t n = read(out[0], chunk, sizeof chunk);
    if (n <= 0) break;
    result.output.append(chunk, static_cast<size_t>(n));
  }
  close(out[0]);
  int status = 0;
  if (waitpid(pid, &status, 0) == pid) {
    if (WIFEXITED(status)) {
      result.exited = true;
      result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
      result.signal = WTERMSIG(status);
    }
  }
  return result;
}

#endif
