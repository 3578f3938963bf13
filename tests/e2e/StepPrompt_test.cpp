// The -step prompt in a terminal: a prompt stands only once a key will be
// taken unechoed, one key turns one page, and an interrupt ends the run; the
// terminal's mode is back however the program ends. The tests run the copy of
// the program whose terminal is slow to leave line editing and echo, so that a
// prompt shown before its key mode is caught on every run.
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <thread>

#include "e2e/E2e.h"
#include "support/TerminalProgram.h"

namespace {

std::string Banner(int size) {
  return "\r\n====================\r\npress any key continue (" + std::to_string(size) +
         ") .....\r\n====================\r\n";
}

bool InKeyMode(const CTerminalProgram& run) { return !run.LineEditing() && !run.Echo(); }

// Looks at the terminal every millisecond until `holds` is true of it.
template <typename Condition>
bool WaitForTerminal(const CTerminalProgram& run, Condition holds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!holds(run)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

bool WaitForKeyMode(const CTerminalProgram& run) { return WaitForTerminal(run, InKeyMode); }

// Reads until the output holds `shown`, which ends in a prompt, and looks at
// the terminal's mode the moment the prompt's last byte is read: a key
// pressed as the prompt appears must already be taken unechoed. Then waits
// for the key mode all the same, so that a test goes on typing only into it.
::testing::AssertionResult ReadPrompt(CTerminalProgram& run, const std::string& shown) {
  if (!run.ReadUntil(shown)) return ::testing::AssertionFailure() << "no prompt: " << run.Output();
  const bool keyModeAsShown = InKeyMode(run);
  if (!WaitForKeyMode(run)) return ::testing::AssertionFailure() << "no key mode at the prompt";
  if (!keyModeAsShown) {
    return ::testing::AssertionFailure()
           << "the prompt showed while the terminal still had line editing or echo on";
  }
  return ::testing::AssertionSuccess();
}

// The run ended as a whole one, having shown exactly `shown`, and gave the
// terminal its usual mode back.
void ExpectEndedWithModeBack(CTerminalProgram& run, const std::string& shown) {
  EXPECT_EQ(1, run.Wait());
  EXPECT_EQ(shown, run.Output());
  EXPECT_TRUE(run.LineEditing());
  EXPECT_TRUE(run.Echo());
}

class StepPrompt : public ::testing::Test {
 protected:
  StepPrompt() : m_Sandbox(ZELVORA_SLOWKEYMODE_EXE) {}
  CProgramSandbox m_Sandbox;
};

// Each key is typed the moment its prompt is read, as a user who presses
// Enter when the prompt's last line appears. The program itself and its copy
// with the slow terminal both take every key unechoed.
TEST_F(StepPrompt, OneKeyTurnsOnePageWithoutEnterOrEcho) {
  for (const char* program : {ZELVORA_EXE, ZELVORA_SLOWKEYMODE_EXE}) {
    SCOPED_TRACE(program);
    CProgramSandbox sandbox(program);
    const std::string reply = Ok("abcdefghij");
    CScriptedServer server(CServerScript::OneReply(reply));
    CTerminalProgram run(sandbox.ExePath(), {server.Url("/p"), "-step", "4"}, sandbox.Dir());
    ASSERT_TRUE(run.Started());
    std::string shown = HeadOf(reply) + Banner(4);
    ASSERT_TRUE(ReadPrompt(run, shown));
    // No Enter: the key alone turns the page, and it is not shown.
    run.Type("a");
    shown += "abcd" + Banner(4);
    ASSERT_TRUE(ReadPrompt(run, shown));
    // Enter is a key like any other.
    run.Type("\r");
    shown += "efgh" + Banner(2);
    ASSERT_TRUE(ReadPrompt(run, shown));
    run.Type("b");
    ExpectEndedWithModeBack(run, shown + "ij");
  }
}

// Keys typed ahead, all at once, turn one page each, unechoed; the prompt
// after them waits for a key of its own.
TEST_F(StepPrompt, KeysTypedAheadTurnOnePageEach) {
  const std::string reply = Ok("abcdefghijkl");
  CScriptedServer server(CServerScript::OneReply(reply));
  CTerminalProgram run(m_Sandbox.ExePath(), {server.Url("/p"), "-step", "4"}, m_Sandbox.Dir());
  ASSERT_TRUE(run.Started());
  std::string shown = HeadOf(reply) + Banner(4);
  ASSERT_TRUE(ReadPrompt(run, shown));
  run.Type("xy");
  shown += "abcd" + Banner(4) + "efgh" + Banner(4);
  ASSERT_TRUE(ReadPrompt(run, shown));
  run.ReadFor(300);
  ASSERT_EQ(shown, run.Output());
  run.Type("z");
  ExpectEndedWithModeBack(run, shown + "ijkl");
}

// A key that sends several bytes (an arrow, a function key) is one press:
// it turns one page, and nothing of it is left for the next prompt.
TEST_F(StepPrompt, KeyThatSendsSeveralBytesTurnsOnePage) {
  const std::string reply = Ok("abcdefghijkl");
  CScriptedServer server(CServerScript::OneReply(reply));
  CTerminalProgram run(m_Sandbox.ExePath(), {server.Url("/p"), "-step", "2"}, m_Sandbox.Dir());
  ASSERT_TRUE(run.Started());
  std::string shown = HeadOf(reply) + Banner(2);
  ASSERT_TRUE(ReadPrompt(run, shown));
  const struct {
    const char* name;
    std::string first;  // typed at once
    std::string rest;   // typed a moment later, as a slow terminal may send it
    std::string page;
  } presses[] = {
      {"arrow up", "\x1b[A", "", "ab"},
      {"F5", "\x1b[15~", "", "cd"},
      {"arrow in two writes", "\x1b", "[B", "ef"},
      {"a letter", "x", "", "gh"},
      {"a letter of two UTF-8 bytes", "\xc3\xa9", "", "ij"},
  };
  for (const auto& press : presses) {
    SCOPED_TRACE(press.name);
    run.Type(press.first);
    if (!press.rest.empty()) {
      // The rest follows once the program waits for it, as a terminal sends
      // it within that wait; however long the first bytes took to be read.
      ASSERT_TRUE(WaitForTerminal(
          run, [](const CTerminalProgram& terminal) { return terminal.ReadsWithinTimeLimit(); }));
      run.Type(press.rest);
    }
    shown += press.page + Banner(2);
    ASSERT_TRUE(ReadPrompt(run, shown));
    // No second page from the same press.
    run.ReadFor(300);
    ASSERT_EQ(shown, run.Output());
  }
  run.Type("\x1b[C");
  ExpectEndedWithModeBack(run, shown + "kl");
}

// Without -origin the body is paged once it is whole. A key typed while it
// still arrives, before the first prompt, is taken unechoed all the same,
// and turns the first page only.
TEST_F(StepPrompt, KeyTypedWhileTheBodyArrivesIsNotEchoed) {
  const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  CScriptedServer server(CServerScript{{Exchange()
                                            .Send(head + "4\r\nabcd\r\n")
                                            .Pause(300)
                                            .Send("4\r\nefgh\r\n")
                                            .Pause(300)
                                            .Send("2\r\nij\r\n0\r\n\r\n")}});
  CTerminalProgram run(m_Sandbox.ExePath(), {server.Url("/p"), "-step", "4"}, m_Sandbox.Dir());
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(run.ReadUntil(head)) << run.Output();
  EXPECT_TRUE(InKeyMode(run)) << "the head showed while the terminal had line editing or echo on";
  run.Type("x");
  std::string shown = head + Banner(4) + "abcd" + Banner(4);
  ASSERT_TRUE(ReadPrompt(run, shown));
  // No second page from the same key.
  run.ReadFor(300);
  ASSERT_EQ(shown, run.Output());
  run.Type("y");
  shown += "efgh" + Banner(2);
  ASSERT_TRUE(ReadPrompt(run, shown));
  run.Type("z");
  ExpectEndedWithModeBack(run, shown + "ij");
}

// Under -origin each piece is paged as it arrives. A key typed while the
// program waits for the next piece is not echoed: the key mode stays between
// the pages. Ctrl-C then ends the transfer.
TEST_F(StepPrompt, KeyTypedBetweenOriginPiecesIsNotEchoed) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n";
  CScriptedServer server(
      CServerScript{{Exchange().Send(head + "abcd").Pause(20000).Send("efghij")}});
  CTerminalProgram run(m_Sandbox.ExePath(), {server.Url("/p"), "-step", "4", "-origin"},
                       m_Sandbox.Dir());
  ASSERT_TRUE(run.Started());
  std::string shown = head + Banner(4);
  ASSERT_TRUE(ReadPrompt(run, shown));
  run.Type("a");
  shown += "abcd";
  ASSERT_TRUE(run.ReadUntil(shown)) << run.Output();
  // The program now waits for the network; a mode put back after the page
  // would be back by the time the key comes.
  run.ReadFor(300);
  EXPECT_TRUE(InKeyMode(run));
  run.Type("x");
  run.ReadFor(300);
  EXPECT_EQ(shown, run.Output());
  run.Type("\x03");
  EXPECT_EQ(0, run.Wait());
  EXPECT_EQ(shown + "Error: HTTP Session failed, Network failed.", run.Output());
  EXPECT_TRUE(run.LineEditing());
  EXPECT_TRUE(run.Echo());
}

// An interrupt at a prompt, or while the body is still awaited before the
// first one, ends the run at once with the terminal's mode back.
TEST_F(StepPrompt, InterruptAtThePromptOrBeforeItEndsTheRun) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n";
  const std::string failed = "Error: HTTP Session failed, Network failed.";
  struct Case {
    const char* name;
    int signalNumber;  // 0: Ctrl-C typed on the terminal
    bool origin;       // -origin: the prompt stands in the middle of the transfer
    bool early;        // before the first prompt, while the body is awaited
    std::string after;
  };
  const Case cases[] = {
      {"ctrl-c", 0, false, false, ""},
      {"SIGTERM", SIGTERM, false, false, ""},
      {"SIGHUP", SIGHUP, false, false, ""},
      {"ctrl-c, -origin", 0, true, false, failed},
      {"ctrl-c before the first prompt", 0, false, true, failed},
      {"SIGTERM before the first prompt", SIGTERM, false, true, failed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Under -origin, and for an interrupt before the first prompt, the rest
    // of the body comes late: the transfer is still on.
    CScriptedServer server(
        c.origin || c.early
            ? CServerScript{{Exchange().Send(head + "abcd").Pause(20000).Send("efghij")}}
            : CServerScript::OneReply(head + "abcdefghij"));
    std::vector<std::string> args = {server.Url("/p"), "-step", "4"};
    if (c.origin) args.push_back("-origin");
    CTerminalProgram run(m_Sandbox.ExePath(), args, m_Sandbox.Dir());
    ASSERT_TRUE(run.Started());
    const std::string shown = c.early ? head : head + Banner(4);
    if (c.early) {
      ASSERT_TRUE(run.ReadUntil(head)) << run.Output();
      ASSERT_TRUE(WaitForKeyMode(run));
    } else {
      ASSERT_TRUE(ReadPrompt(run, shown));
    }
    if (c.signalNumber == 0) {
      run.Type("\x03");
    } else {
      kill(run.Pid(), c.signalNumber);
    }
    EXPECT_EQ(0, run.Wait());
    EXPECT_EQ(shown + c.after, run.Output());
    EXPECT_TRUE(run.LineEditing());
    EXPECT_TRUE(run.Echo());
  }
}

// A second signal ends the program at once; the mode goes back first.
TEST_F(StepPrompt, SecondSignalEndsTheProgramWithTheModeBack) {
  const std::string reply = Ok("abcdefghij");
  CScriptedServer server(CServerScript::OneReply(reply));
  CTerminalProgram run(m_Sandbox.ExePath(), {server.Url("/p"), "-step", "4"}, m_Sandbox.Dir());
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(ReadPrompt(run, HeadOf(reply) + Banner(4)));
  // Both come while the program is stopped at the prompt, so the second is
  // handled before the first could end the wait.
  kill(run.Pid(), SIGSTOP);
  int status = 0;
  ASSERT_EQ(run.Pid(), waitpid(run.Pid(), &status, WUNTRACED));
  ASSERT_TRUE(WIFSTOPPED(status));
  kill(run.Pid(), SIGINT);
  kill(run.Pid(), SIGTERM);
  kill(run.Pid(), SIGCONT);
  const int value = run.Wait();
  EXPECT_TRUE(value == 128 + SIGINT || value == 128 + SIGTERM) << value;
  EXPECT_TRUE(run.LineEditing());
  EXPECT_TRUE(run.Echo());
}

}  // namespace
