// Runs that stop before any request, and transfers that fail: the exact
// message on standard output and the exit value.
#include <signal.h>

#include <string>
#include <vector>

#include "e2e/E2e.h"
#include "support/TlsServer.h"

namespace {

const char kSessionFailed[] = "Error: HTTP Session failed, ";

TEST(StopMessages, EachStopsBeforeAnyRequestWithExitValueZero) {
  CProgramSandbox sandbox(ZELVORA_EXE);
  CScriptedServer server(CServerScript::AlwaysReply(Ok("x")));
  const std::string url = server.Url("/x");
  const std::string batch = server.Url("/f[1-2].txt");
  struct Case {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"ftp://127.0.0.1/x"}, "Error : URL(ftp://127.0.0.1/x) is not valid.\r\n"},
      {{"http:///x"}, "Error : URL(http:///x) is not valid.\r\n"},
      {{batch, "-O", "-p", sandbox.File("no/such")}, "Error: output path not exist.\r\n"},
      {{url, "-u", "-progress"}, "Error: upload file is empty.\r\n"},
      {{url, "-u", "missing.bin"}, "Error: Upload PathFile is not exist.\r\n"},
      {{url, "-u", sandbox.File("no/such.bin")}, "Error: Upload PathFile is not exist.\r\n"},
      {{url, "-d", "missing.txt", "-file"}, "Error : post data pathfile is not valid.\r\n"},
      {{url, "-h", "missing.txt", "-file"}, "Error : head data pathfile is not valid.\r\n"},
      {{url, "-o", "a:b"}, "Error: Output PathFile is not valid.\r\n"},
      {{url, "-o", sandbox.File("no/such.html")}, "Error: Output PathFile is not valid.\r\n"},
  };
  for (const Case& c : cases) {
    CProgramResult run = RunIn(sandbox, c.args);
    EXPECT_EQ(0, run.m_ExitCode) << c.out;
    EXPECT_EQ(c.out, run.m_Out);
  }
  server.Stop();
  EXPECT_EQ(0u, server.RequestCount());
  EXPECT_EQ(std::vector<std::string>{"zelvora"}, sandbox.Files());
}

// A URL that holds a control byte or a blank would carry it into the request
// line: it is refused like any other invalid URL, whatever the run would do.
TEST(StopMessages, UrlWithControlBytesMakesNoConnection) {
  CProgramSandbox sandbox(ZELVORA_EXE);
  sandbox.WriteFile("up.bin", "data");
  CScriptedServer server(CServerScript::AlwaysReply(Ok("x")));
  const std::string hostPort = "127.0.0.1:" + std::to_string(server.Port());
  const std::string smuggled = hostPort + "/a HTTP/1.1\r\nHost: x\r\n\r\nGET /b";
  struct Case {
    std::string url;
    std::vector<std::string> options;
  } cases[] = {
      {smuggled, {}},
      {"http://" + smuggled, {"-head"}},
      {smuggled, {"-d", "a=1"}},
      {smuggled, {"-o", "out.html"}},
      {smuggled, {"-u", "up.bin"}},
      {server.Url("/f[1-2]\r\n.txt"), {"-O", "-p", sandbox.File("batch")}},
      {server.Url("/a b"), {}},
      {server.Url("/a\tb"), {}},
      {server.Url("/a\x7F"), {"-ssl"}},
      {server.Url("/a\x01"), {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {c.url};
    args.insert(args.end(), c.options.begin(), c.options.end());
    CProgramResult run = RunIn(sandbox, args);
    EXPECT_EQ(0, run.m_ExitCode) << c.url;
    EXPECT_EQ("Error : URL(" + c.url + ") is not valid.\r\n", run.m_Out);
  }
  server.Stop();
  EXPECT_EQ(0, server.ConnectionCount());
  EXPECT_EQ((std::vector<std::string>{"up.bin", "zelvora"}), sandbox.Files());
}

TEST(StopMessages, UsageWithoutAUrlOrOnRequest) {
  CProgramSandbox sandbox(ZELVORA_EXE);
  const std::vector<std::string> cases[] = {{}, {"-head", "-progress"}, {"host/x", "-HELP"},
                                            {"host/x", "-?"}, {"-o", "host/x"}};
  std::string usage;
  for (const std::vector<std::string>& args : cases) {
    CProgramResult run = RunIn(sandbox, args);
    EXPECT_EQ(0, run.m_ExitCode);
    EXPECT_NE(std::string::npos, run.m_Out.find("-progress : display download or upload rate"));
    if (usage.empty()) usage = run.m_Out;
    EXPECT_EQ(usage, run.m_Out);
  }
}

TEST(SessionFailures, MessageForEachWayATransferFails) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n";
  struct Case {
    const char* name;
    CServerScript script;
    std::string text;
  } cases[] = {
      {"closed in the body", CServerScript{{Exchange().Send(head + "partial").Close()}},
       "Remote host disconnected."},
      {"closed before an answer", CServerScript{{Exchange().Close()}}, "Remote host disconnected."},
      {"reset in the body", CServerScript{{Exchange().Send(head + "partial").Pause(100).Reset()}},
       "Network failed."},
      {"no end of head", CServerScript::OneReply("HTTP/1.1 200 OK\r\nX: " + std::string(9000, 'a')),
       "Response format error."},
      {"body too large for memory",
       CServerScript::OneReply("HTTP/1.1 200 OK\r\nContent-Length: 70000000\r\n\r\n"),
       "Response body size too large."},
  };
  CProgramSandbox sandbox(ZELVORA_EXE);
  for (Case& c : cases) {
    CScriptedServer server(c.script);
    CProgramResult run = RunIn(sandbox, {server.Url("/f")});
    EXPECT_EQ(0, run.m_ExitCode) << c.name;
    // The head, when one came, is shown before the message.
    size_t at = run.m_Out.find(kSessionFailed);
    ASSERT_NE(std::string::npos, at) << c.name << ": " << run.m_Out;
    EXPECT_EQ(std::string(kSessionFailed) + c.text, run.m_Out.substr(at)) << c.name;
  }
}

// The message keeps its words and its missing line end; it only starts on a
// line of its own when progress text stands before it.
TEST(SessionFailures, ErrorAfterProgressStartsALineOfItsOwn) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
  const CServerScript reset{{Exchange().Send(head + Pattern(5000)).Pause(100).Reset()}};
  const CServerScript held{
      {Exchange().Send(head + Pattern(5000)).Pause(20000).Send(Pattern(95000))}};
  const CServerScript closed{{Exchange().Close()}};
  struct Case {
    const char* name;
    CServerScript script;
    std::vector<std::string> options;
    int signalNumber;  // sent once progress text is out; 0 for none
    bool terminal;     // standard output a terminal: progress in place
    std::string text;
  } cases[] = {
      {"reset, download", reset, {"-o", "out.bin"}, 0, false, "Network failed."},
      {"ctrl-c, download", held, {"-o", "out.bin"}, SIGINT, false, "Network failed."},
      {"ctrl-c, download, terminal", held, {"-o", "out.bin"}, SIGINT, true, "Network failed."},
      {"closed, upload", closed, {"-u", "up.bin"}, 0, false, "Remote host disconnected."},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    sandbox.WriteFile("up.bin", Pattern(20000));
    sandbox.SetTerminalOutput(c.terminal);
    if (c.signalNumber != 0) {
      sandbox.SetSignalWhen(c.signalNumber, [](const std::string& out) {
        return out.find('%') != std::string::npos;
      });
    }
    CScriptedServer server(c.script);
    std::vector<std::string> args = {server.Url("/f"), "-progress"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    CProgramResult run = RunIn(sandbox, args);
    EXPECT_EQ(0, run.m_ExitCode);
    const std::string tail = "\r\n" + std::string(kSessionFailed) + c.text;
    ASSERT_GT(run.m_Out.size(), tail.size()) << run.m_Out;
    EXPECT_EQ(tail, run.m_Out.substr(run.m_Out.size() - tail.size())) << run.m_Out;
    // Right after the last progress text, which a terminal has cleared behind.
    const std::string before = run.m_Out.substr(0, run.m_Out.size() - tail.size());
    const std::string end = c.terminal ? "%\033[K" : "%";
    ASSERT_GE(before.size(), end.size());
    EXPECT_EQ(end, before.substr(before.size() - end.size())) << run.m_Out;
  }
}

TEST(SessionFailures, UnreachableHostIsNamed) {
  CProgramSandbox sandbox(ZELVORA_EXE);
  sandbox.WriteFile("up.bin", "data");
  const std::string url = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/x";
  const std::string message = std::string(kSessionFailed) + "Can't connect remote host \"127.0.0.1\".\r\n";
  CProgramResult run = RunIn(sandbox, {url});
  EXPECT_EQ(0, run.m_ExitCode);
  EXPECT_EQ(message, run.m_Out);

  run = RunIn(sandbox, {url, "-u", "up.bin"});
  EXPECT_EQ(0, run.m_ExitCode);
  EXPECT_EQ("Upload " + sandbox.File("up.bin") + "......" + message, run.m_Out);

  run = RunIn(sandbox, {url, "-o", "out.html"});
  EXPECT_EQ(0, run.m_ExitCode);
  EXPECT_EQ(message, run.m_Out);
  EXPECT_FALSE(sandbox.Exists("out.html"));
}

TEST(SessionFailures, TlsStreamEndingInTheBody) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n";
  struct Case {
    const char* name;
    CExchange exchange;
    const char* text;
  } cases[] = {
      {"close_notify", Exchange().Send(head + "part").Close(), "Remote host disconnected."},
      {"truncated", Exchange().Send(head + "part").CloseWithoutNotify(), "SSL session failed."},
  };
  CProgramSandbox sandbox(ZELVORA_EXE);
  for (const Case& c : cases) {
    CTlsServer server(CServerScript{{c.exchange}});
    ASSERT_EQ(1, server.IsReady());
    CProgramResult run = RunIn(sandbox, {server.Url("/f"), "-o", "f.bin"});
    EXPECT_EQ(0, run.m_ExitCode) << c.name;
    EXPECT_EQ(head + kSessionFailed + c.text, run.m_Out) << c.name;
    EXPECT_FALSE(sandbox.Exists("f.bin")) << c.name;
  }
}

TEST(SessionFailures, FailedHandshakeShowsTheTlsTextThenTheUnknownFailure) {
  CTlsServer server(CServerScript(), TLS_HANDSHAKE_GARBAGE);
  ASSERT_TRUE(server.IsListening());
  CProgramSandbox sandbox(ZELVORA_EXE);
  CProgramResult run = RunIn(sandbox, {server.Url("/x")});
  EXPECT_EQ(0, run.m_ExitCode);
  EXPECT_EQ(0u, run.m_Out.find("SSL: ")) << run.m_Out;
  const std::string tail = "\r\nError: HTTP Session failed, Unknown failed: maybe system error.";
  ASSERT_GT(run.m_Out.size(), tail.size());
  EXPECT_EQ(tail, run.m_Out.substr(run.m_Out.size() - tail.size()));
}

TEST(SessionFailures, OutputFileThatCannotBeCreated) {
  // The name taken from the URL is a directory: the download cannot open it,
  // and the directory survives the clean-up after the failure.
  CProgramSandbox sandbox(ZELVORA_EXE);
  ASSERT_EQ(0, mkdir(sandbox.File("sub").c_str(), 0755));
  sandbox.WriteFile("sub/keep", "k");
  CScriptedServer server(CServerScript::AlwaysReply(Ok("x")));
  CProgramResult run = RunIn(sandbox, {server.Url("/sub"), "-O"});
  EXPECT_EQ(0, run.m_ExitCode);
  EXPECT_EQ(std::string(kSessionFailed) + "File operation failed.", run.m_Out);
  EXPECT_EQ("k", sandbox.ReadFile("sub/keep"));
  server.Stop();
  EXPECT_EQ(0u, server.RequestCount());
}

}  // namespace
