// Helpers shared by the command-line tests: argument vectors, captured
// standard output and the test program's own directory.
#ifndef ZELVORA_TESTS_CMDLINE_CMDLINESUPPORT_H
#define ZELVORA_TESTS_CMDLINE_CMDLINESUPPORT_H

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/Process.h"
#include "support/StdioCapture.h"

// An argv with "zelvora" in front of the given arguments; the strings live
// as long as the object.
class ArgVector {
 public:
  explicit ArgVector(const std::vector<std::string>& args) : m_Strings(args) {
    m_Strings.insert(m_Strings.begin(), "zelvora");
    for (std::string& s : m_Strings) m_Pointers.push_back(&s[0]);
    m_Pointers.push_back(NULL);
  }
  int Argc() const { return static_cast<int>(m_Strings.size()); }
  char** Argv() { return m_Pointers.data(); }

 private:
  std::vector<std::string> m_Strings;
  std::vector<char*> m_Pointers;
};

// Everything body() writes to standard output, byte for byte.
inline std::string CaptureStdout(const std::function<void()>& body) {
  return RunWithStdio(body).m_Output;
}

// Full path of the running test program, and its directory: the place where
// the parser looks up files named without a directory.
inline std::string ExecutablePath() {
  std::vector<char> buffer(1 << 16, '\0');
  uint32_t length = ProcessGetExecutablePath(buffer.data(), static_cast<uint32_t>(buffer.size()));
  return std::string(buffer.data(), length);
}

inline std::string ExecutableDir() {
  std::string path = ExecutablePath();
  return path.substr(0, path.find_last_of('/'));
}

// A file in the test program's directory, removed at the end of the scope.
class ModuleDirFile {
 public:
  ModuleDirFile(const std::string& stem, const std::string& bytes) {
    m_Name = stem + "-" + std::to_string(getpid()) + ".txt";
    m_Path = ExecutableDir() + "/" + m_Name;
    std::ofstream out(m_Path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  ~ModuleDirFile() { unlink(m_Path.c_str()); }
  ModuleDirFile(const ModuleDirFile&) = delete;
  ModuleDirFile& operator=(const ModuleDirFile&) = delete;
  const std::string& Name() const { return m_Name; }
  const std::string& Path() const { return m_Path; }

 private:
  std::string m_Name;
  std::string m_Path;
};

#endif
