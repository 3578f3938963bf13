// The console output on a real pseudo-terminal: the cursor escapes of the
// progress text and the waits of the paged output.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "engine/HttpClient.h"
#include "frontend/ConsoleDisplay.h"
#include "frontend/EngineCallbacks.h"
#include "frontend/ImpBroxCmd.h"

namespace {

class PtyChild {
 public:
  // Runs body in a child whose standard streams are a new terminal with
  // echo, line editing and output translation turned off.
  explicit PtyChild(const std::function<void()>& body) {
    fflush(stdout);
    m_Pid = forkpty(&m_Master, NULL, NULL, NULL);
    if (m_Pid == 0) {
      struct termios mode;
      tcgetattr(STDIN_FILENO, &mode);
      cfmakeraw(&mode);
      tcsetattr(STDIN_FILENO, TCSANOW, &mode);
      body();
      fflush(stdout);
      _exit(0);
    }
  }
  ~PtyChild() {
    if (m_Pid > 0) {
      kill(m_Pid, SIGKILL);
      waitpid(m_Pid, NULL, 0);
    }
    if (m_Master >= 0) close(m_Master);
  }
  bool Started() const { return m_Pid > 0; }

  // Reads until the output holds want or the child is gone, at most timeoutMs.
  bool ReadUntil(const std::string& want, int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_Output.find(want) == std::string::npos) {
      int left = (int)std::chrono::duration_cast<std::chrono::milliseconds>(
                     end - std::chrono::steady_clock::now())
                     .count();
      if (left <= 0 || !ReadSome(left)) return false;
    }
    return true;
  }
  // Reads whatever arrives within timeoutMs; false when nothing did.
  bool ReadSome(int timeoutMs) {
    struct pollfd fd = {m_Master, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0) return false;
    char buffer[4096];
    ssize_t got = read(m_Master, buffer, sizeof(buffer));
    if (got <= 0) return false;
    m_Output.append(buffer, static_cast<size_t>(got));
    return true;
  }
  // Reads to the end of the child's output.
  void ReadAll(int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end && ReadSome(100)) {
    }
    while (std::chrono::steady_clock::now() < end) {
      if (!ReadSome(50)) {
        int status = 0;
        if (waitpid(m_Pid, &status, WNOHANG) == m_Pid) {
          m_Pid = -1;
          return;
        }
      }
    }
  }
  void Type(const std::string& keys) {
    if (write(m_Master, keys.data(), keys.size()) != (ssize_t)keys.size()) ADD_FAILURE();
  }

  std::string m_Output;

 private:
  int m_Master = -1;
  pid_t m_Pid = -1;
};

const char kSave[] = "\0337";
const char kRestore[] = "\0338";
const char kClear[] = "\033[K";

TEST(Terminal, ProgressOverwritesTheSavedPosition) {
  PtyChild child([] {
    CHttpClient client;
    CImpBroxCmd cmd;
    cmd.m_OutputToFile = 1;
    cmd.m_Progress = 1;
    OnResponseHead(&client, "HTTP/1.1 200 OK\r\n\r\n", &cmd);
    OnProgress(&client, 1000, 400, &cmd);
    OnProgress(&client, 1000, 800, &cmd);
    OnProgress(&client, 1000, 1000, &cmd);
  });
  ASSERT_TRUE(child.Started());
  child.ReadAll(5000);
  std::string expected = std::string("HTTP/1.1 200 OK\r\n\r\n") + kSave;
  for (const char* text : {"40.00%", "80.00%", "100.00%"}) {
    expected += std::string(kRestore) + text + kClear;
  }
  EXPECT_EQ(expected, child.m_Output);
}

TEST(Terminal, UploadProgressStandsAfterTheSavedLine) {
  PtyChild child([] {
    CHttpClient client;
    client.m_Chunked = 1;
    CImpBroxCmd cmd;
    cmd.m_Upload = 1;
    cmd.m_Progress = 1;
    printf("Upload x......");
    SaveConsolePosition();
    OnProgress(&client, 0, 8192, &cmd);
    OnResponseHead(&client, "HTTP/1.1 200 OK\r\n\r\n", &cmd);
  });
  ASSERT_TRUE(child.Started());
  child.ReadAll(5000);
  EXPECT_EQ(std::string("Upload x......") + kSave + kRestore + "chunked bytes 8192 " + kClear +
                "\r\nHTTP/1.1 200 OK\r\n\r\n" + kSave,
            child.m_Output);
}

TEST(Terminal, PagingWaitsForAKeyBeforeEveryPiece) {
  std::string body(2500, 'b');
  PtyChild child([&] { OutputStepByStep((unsigned int)body.size(), body.data(), 1, 1024); });
  ASSERT_TRUE(child.Started());
  const std::string first = "press any key continue (1024) .....\r\n====================\r\n";
  ASSERT_TRUE(child.ReadUntil(first, 5000));
  // No piece is written until a key comes.
  EXPECT_FALSE(child.ReadSome(300));
  EXPECT_EQ("\r\n====================\r\n" + first, child.m_Output);
  std::string banner1024 =
      "\r\n====================\r\npress any key continue (1024) .....\r\n====================\r\n";
  child.Type("k");
  ASSERT_TRUE(child.ReadUntil(banner1024 + body.substr(0, 1024) + banner1024, 5000));
  child.Type("kk");
  child.ReadAll(5000);
  std::string banner452 =
      "\r\n====================\r\npress any key continue (452) .....\r\n====================\r\n";
  EXPECT_EQ(banner1024 + body.substr(0, 1024) + banner1024 + body.substr(0, 1024) + banner452 +
                body.substr(0, 452),
            child.m_Output);
}

}  // namespace
