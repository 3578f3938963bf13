// Runs a built executable from a copy in a fresh temporary directory, the way
// a user would run it from its own folder: files named without a directory
// land next to the copy. Captures standard output and standard error bytes
// exactly, and the exit value.
//
//   CProgramRun run = RunProgram(ZELVORA_EXE, {"http://127.0.0.1:8080/", "-o", "out.bin"});
//   EXPECT_EQ(run.m_ExitCode, 0);
//   EXPECT_EQ(TempDir::ReadFile(run.m_Dir + "/out.bin"), "...");
//
// Or, to place files first and run several times in one directory:
//
//   CProgramSandbox sandbox(ZELVORA_EXE);
//   sandbox.WriteFile("headers.txt", "X-A: 1\r\n");
//   CProgramResult first = sandbox.Run({...});
#ifndef ZELVORA_TESTS_SUPPORT_PROGRAMRUNNER_H
#define ZELVORA_TESTS_SUPPORT_PROGRAMRUNNER_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/TempDir.h"

// Default limit of one run; the run is killed after it.
const int PROGRAM_TIME_LIMIT_MS = 30000;

struct CProgramResult {
  int m_ExitCode = -1;      // the exit value; 128 + signal number when a signal ended it
  int m_Signal = 0;         // the signal that ended it, 0 when it exited
  bool m_TimedOut = false;  // killed at the time limit
  bool m_Started = false;   // false when it could not be started at all
  std::string m_Out;        // standard output, byte for byte
  std::string m_Err;        // standard error
  std::string m_Dir;        // the directory of the copy
};

class CProgramSandbox {
 public:
  // Copies `executable` (keeping its file name) into a fresh temporary
  // directory, removed with everything in it when the sandbox goes.
  explicit CProgramSandbox(const std::string& executable);
  CProgramSandbox(const CProgramSandbox&) = delete;
  CProgramSandbox& operator=(const CProgramSandbox&) = delete;

  // 1 when the copy is in place.
  int IsReady() const { return m_Ready; }
  const std::string& Dir() const { return m_Dir.Path(); }
  const std::string& ExePath() const { return m_ExePath; }
  std::string File(const std::string& name) const { return m_Dir.File(name); }
  void WriteFile(const std::string& name, const std::string& bytes) const;
  std::string ReadFile(const std::string& name) const;
  bool Exists(const std::string& name) const;
  // Names in the directory (the copy included), sorted.
  std::vector<std::string> Files() const;

  // Working directory of later runs; the sandbox directory when empty.
  void SetWorkDir(const std::string& path) { m_WorkDir = path; }
  // When on, standard output of later runs is a terminal (a pseudo-terminal
  // in raw mode, so m_Out still holds the bytes exactly as written);
  // standard error stays a pipe.
  void SetTerminalOutput(bool on) { m_TerminalOutput = on; }

  // When set, later runs send `signalNumber` to the program once, as soon
  // as `ready` says yes to the standard output read so far.
  void SetSignalWhen(int signalNumber, std::function<bool(const std::string&)> ready) {
    m_SignalNumber = signalNumber;
    m_SignalReady = std::move(ready);
  }
  // When set with SetSignalWhen, `signalNumber` follows the first signal
  // `microseconds` later (0: at once).
  void SetSecondSignal(int signalNumber, int microseconds) {
    m_SecondSignalNumber = signalNumber;
    m_SecondSignalDelayUs = microseconds;
  }
  // When not 0, later runs may write files of at most this many bytes; a
  // write past it fails (as on a full disk) instead of ending the program.
  void SetFileSizeLimit(unsigned long bytes) { m_FileSizeLimit = bytes; }
  // When not 0, later runs may map at most this many bytes of memory, code
  // and libraries included; an allocation past it fails.
  void SetAddressSpaceLimit(unsigned long bytes) { m_AddressSpaceLimit = bytes; }

  // Runs the copy with `args` (not counting the program name). Standard
  // input gets `input` and is then closed.
  CProgramResult Run(const std::vector<std::string>& args, const std::string& input = std::string(),
                     int timeLimitMs = PROGRAM_TIME_LIMIT_MS) const;

 private:
  TempDir m_Dir;
  std::string m_ExePath;
  std::string m_WorkDir;
  bool m_TerminalOutput = false;
  int m_SignalNumber = 0;
  std::function<bool(const std::string&)> m_SignalReady;
  int m_SecondSignalNumber = 0;
  int m_SecondSignalDelayUs = 0;
  unsigned long m_FileSizeLimit = 0;
  unsigned long m_AddressSpaceLimit = 0;
  int m_Ready = 0;
};

// The result of one run in a sandbox of its own; the sandbox, with the files
// the run left there, lives as long as this object.
struct CProgramRun : CProgramResult {
  std::shared_ptr<CProgramSandbox> m_Sandbox;
};

CProgramRun RunProgram(const std::string& executable, const std::vector<std::string>& args,
                       const std::string& input = std::string(), int timeLimitMs = PROGRAM_TIME_LIMIT_MS);

#endif
