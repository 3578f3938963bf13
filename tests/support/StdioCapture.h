// Runs a piece of code with standard output going to a temporary file and
// standard input coming from a pipe, and hands back what was written.
#ifndef ZELVORA_TESTS_SUPPORT_STDIOCAPTURE_H
#define ZELVORA_TESTS_SUPPORT_STDIOCAPTURE_H

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

struct CapturedStdio {
  std::string m_Output;    // every byte written to standard output
  std::string m_Leftover;  // the part of the input that was not read
};

// input is fed through a pipe that is closed after it, so reads past it see
// the end of input at once. Keep it below the pipe's capacity.
inline CapturedStdio RunWithStdio(const std::function<void()>& body, const std::string& input = "") {
  CapturedStdio result;
  char name[] = "/tmp/zelvora-stdout-XXXXXX";
  int outFd = mkstemp(name);
  if (outFd < 0) abort();
  unlink(name);
  int pipeFds[2];
  if (pipe(pipeFds) != 0) abort();
  if (!input.empty() && write(pipeFds[1], input.data(), input.size()) != (ssize_t)input.size()) {
    abort();
  }
  close(pipeFds[1]);

  fflush(stdout);
  int savedOut = dup(STDOUT_FILENO);
  int savedIn = dup(STDIN_FILENO);
  dup2(outFd, STDOUT_FILENO);
  dup2(pipeFds[0], STDIN_FILENO);
  close(pipeFds[0]);
  clearerr(stdin);

  body();

  fflush(stdout);
  int c;
  while ((c = getchar()) != EOF) result.m_Leftover += (char)c;
  clearerr(stdin);
  dup2(savedOut, STDOUT_FILENO);
  dup2(savedIn, STDIN_FILENO);
  close(savedOut);
  close(savedIn);

  lseek(outFd, 0, SEEK_SET);
  char buffer[4096];
  ssize_t got;
  while ((got = read(outFd, buffer, sizeof(buffer))) > 0)
    result.m_Output.append(buffer, static_cast<size_t>(got));
  close(outFd);
  return result;
}

#endif
