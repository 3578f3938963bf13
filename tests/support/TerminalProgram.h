// Runs a program on a pseudo-terminal of its own, the way a user runs it in a
// terminal window: its standard input, output and error are the terminal,
// which is also its controlling terminal, so a typed Ctrl-C reaches it as
// SIGINT. The terminal starts in the usual mode (line editing, echo,
// signal keys), only with output processing off so the bytes read back are
// the bytes written.
//
//   CTerminalProgram run(sandbox.ExePath(), {url, "-step", "4"}, sandbox.Dir());
//   ASSERT_TRUE(run.ReadUntil("press any key"));
//   run.Type("x");
//   EXPECT_EQ(1, run.Wait());
//   EXPECT_TRUE(run.LineEditing() && run.Echo());
#ifndef ZELVORA_TESTS_SUPPORT_TERMINALPROGRAM_H
#define ZELVORA_TESTS_SUPPORT_TERMINALPROGRAM_H

#include <sys/types.h>

#include <string>
#include <vector>

// Default limit of each wait below.
const int TERMINAL_WAIT_LIMIT_MS = 10000;

class CTerminalProgram {
 public:
  // Starts `executable` with `args` (not counting its name) in `workDir`.
  CTerminalProgram(const std::string& executable, const std::vector<std::string>& args,
                   const std::string& workDir);
  // Kills the program when it still runs.
  ~CTerminalProgram();
  CTerminalProgram(const CTerminalProgram&) = delete;
  CTerminalProgram& operator=(const CTerminalProgram&) = delete;

  bool Started() const { return m_Pid > 0; }
  pid_t Pid() const { return m_Pid; }

  // Reads the terminal until what was read holds `text`; false when the
  // program ended or the time ran out first.
  bool ReadUntil(const std::string& text, int timeLimitMs = TERMINAL_WAIT_LIMIT_MS);
  // Reads what comes within `ms`; true when anything came.
  bool ReadFor(int ms);
  // Everything read from the terminal so far, byte for byte.
  const std::string& Output() const { return m_Output; }
  // Types `keys` on the terminal's keyboard.
  void Type(const std::string& keys);

  // Waits for the end of the program, reading what it still writes. Returns
  // its exit value (128 + the signal number when a signal ended it), or -1
  // when it was killed at the time limit.
  int Wait(int timeLimitMs = TERMINAL_WAIT_LIMIT_MS);

  // The terminal's mode as it stands now: line editing (canonical input) and
  // echo on, as the program left them or while it runs.
  bool LineEditing() const;
  bool Echo() const;
  // True when a read of the terminal without line editing returns after a
  // time even when no byte came (a minimum of 0 bytes and a time limit): a
  // program that set it is waiting, for that long at most, for more bytes.
  bool ReadsWithinTimeLimit() const;

 private:
  bool ReadSome(int ms);

  int m_Master = -1;
  pid_t m_Pid = -1;
  bool m_Ended = false;
  int m_ExitValue = -1;
  std::string m_Output;
};

#endif
