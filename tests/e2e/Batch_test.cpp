// Batch downloads of a numbered range: one line per URL, the files left in
// the batch directory, and one kept-alive connection for the whole batch.
#include <memory>
#include <string>

#include "e2e/E2e.h"
#include "support/TlsServer.h"

namespace {

class Batch : public ::testing::Test {
 protected:
  Batch() : m_Sandbox(ZELVORA_EXE) {}
  CProgramSandbox m_Sandbox;
};

// -p belongs to a batch: a single URL ignores it, makes no folder, and -O
// names the file in the program's folder.
TEST_F(Batch, FolderOptionWithoutARangeIsIgnored) {
  CScriptedServer server(CServerScript::OneReply(Ok("one")));
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/report"), "-O", "-p", "photos"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(HeadOf(Ok("one")) + "Download: " + m_Sandbox.File("report") + "\r\n", run.m_Out);
  EXPECT_EQ("one", m_Sandbox.ReadFile("report"));
  EXPECT_EQ((std::vector<std::string>{"report", "zelvora"}), m_Sandbox.Files());
}

TEST_F(Batch, ExistingFilesAndA404OverOneConnection) {
  const std::string text = Pattern(3000);
  CScriptedServer server(CServerScript::ComputedReply([&](const std::string& request) {
    std::string path = PathOf(request);
    if (path == "/img/tu3.jpg") return Response("404 Not Found", "Connection: Keep-Alive\r\n", "no");
    if (path == "/img/tu4.jpg")
      return Ok(Gzip(text), "Connection: Keep-Alive\r\nContent-Encoding: gzip\r\n");
    return Ok("body of " + path, "Connection: Keep-Alive\r\n");
  }));
  const std::string dir = m_Sandbox.File("out");
  ASSERT_EQ(0, mkdir(dir.c_str(), 0755));
  TempDir::WriteFile(dir + "/tu1.jpg", "");
  ASSERT_EQ(0, mkdir((dir + "/tu5.jpg").c_str(), 0755));
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/img/tu[0-5].jpg"), "-O", "-p", dir});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(BatchLine("tu0.jpg", "ok\r\n") + BatchLine("tu1.jpg", "ok(exist).\r\n") +
                BatchLine("tu2.jpg", "ok\r\n") + BatchLine("tu3.jpg", "failed(404)\r\n") +
                BatchLine("tu4.jpg", "ok\r\n") + BatchLine("tu5.jpg", "failed.\r\n"),
            run.m_Out);
  EXPECT_EQ("body of /img/tu0.jpg", TempDir::ReadFile(dir + "/tu0.jpg"));
  EXPECT_EQ("", TempDir::ReadFile(dir + "/tu1.jpg"));
  EXPECT_EQ("body of /img/tu2.jpg", TempDir::ReadFile(dir + "/tu2.jpg"));
  EXPECT_FALSE(TempDir::Exists(dir + "/tu3.jpg"));
  EXPECT_EQ(text, TempDir::ReadFile(dir + "/tu4.jpg"));
  EXPECT_TRUE(IsDirectory(dir + "/tu5.jpg"));
  server.Stop();
  EXPECT_EQ(1, server.ConnectionCount());
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(4u, requests.size());
  const char* paths[] = {"/img/tu0.jpg", "/img/tu2.jpg", "/img/tu3.jpg", "/img/tu4.jpg"};
  for (size_t i = 0; i < requests.size(); ++i) {
    EXPECT_EQ("GET " + std::string(paths[i]) + " HTTP/1.1\r\nConnection: Keep-Alive\r\n" +
                  DefaultRequestHeaders() + "Content-Length: 0\r\n\r\n",
              requests[i]);
  }
}

// An answer with neither a length nor chunks ends, for the program, at its
// head; its sender may still send a body. The next file is then fetched
// over a new connection, never from what follows on the old one.
TEST_F(Batch, AnswerWithoutAKnownEndLeavesItsConnection) {
  const std::string head = "HTTP/1.1 404 Not Found\r\nConnection: Keep-Alive\r\n\r\n";
  // Should the old connection carry the second request, its answer would be
  // the late page, and then this one.
  ExpectFirstFailsThenFresh(
      m_Sandbox,
      {Exchange().Send(head).Pause(200).Send("<html>late error page</html>"),
       Exchange().Reply(Ok("from the old connection", "Connection: Keep-Alive\r\n"))},
      "failed(404)\r\n");
}

// An HTTP/1.0 answer with Transfer-Encoding has framing its sender may not
// mean: each is read as its chunks say, and no connection carries a second
// request, whatever Connection announced.
TEST_F(Batch, HttpOneZeroAnswersWithChunksLeaveTheirConnection) {
  std::vector<CConnectionScript> connections;
  for (int i = 1; i <= 3; ++i) {
    const std::string answer =
        "HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nTransfer-Encoding: chunked\r\n\r\n" +
        Chunked("body " + std::to_string(i), 3);
    connections.push_back(
        {Exchange().Reply(answer),
         Exchange().Reply(Ok("from a kept connection", "Connection: Keep-Alive\r\n"))});
  }
  CScriptedServer server{CServerScript(connections)};
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/f[1-3]"), "-O"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(BatchLine("f1", "ok\r\n") + BatchLine("f2", "ok\r\n") + BatchLine("f3", "ok\r\n"),
            run.m_Out);
  for (int i = 1; i <= 3; ++i)
    EXPECT_EQ("body " + std::to_string(i), m_Sandbox.ReadFile("f" + std::to_string(i)));
  server.Stop();
  EXPECT_EQ(3, server.ConnectionCount());
  EXPECT_EQ(3u, server.Requests().size());
}

TEST_F(Batch, AFailureNeverStopsTheOthers) {
  const std::string head = "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 50\r\n\r\n";
  CScriptedServer server(CServerScript{
      {Exchange().Reply(Ok("one", "Connection: Keep-Alive\r\n")), Exchange().Send(head + "cut").Reset()},
      {Exchange().Reply(Ok("three", "Connection: Keep-Alive\r\n"))}});
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/f[1-3].txt"), "-O"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(BatchLine("f1.txt", "ok\r\n") + BatchLine("f2.txt", "failed.\r\n") +
                BatchLine("f3.txt", "ok\r\n"),
            run.m_Out);
  EXPECT_EQ("one", m_Sandbox.ReadFile("f1.txt"));
  EXPECT_FALSE(m_Sandbox.Exists("f2.txt"));
  EXPECT_EQ("three", m_Sandbox.ReadFile("f3.txt"));

  // Nobody listening: every line fails, the run still completes.
  const std::string closed = "http://127.0.0.1:" + std::to_string(ClosedPort());
  run = RunIn(m_Sandbox, {closed + "/g[8-10]", "-O"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(BatchLine("g8", "failed.\r\n") + BatchLine("g9", "failed.\r\n") +
                BatchLine("g10", "failed.\r\n"),
            run.m_Out);
}

TEST_F(Batch, NamesWithAQueryArePrintedAsGivenAndCleanedForTheFile) {
  CScriptedServer server(CServerScript::AlwaysReply(Ok("q", "Connection: Keep-Alive\r\n")));
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/a[1-2].jpg?x=1"), "-O"});
  EXPECT_EQ(BatchLine("a1.jpg?x=1", "ok\r\n") + BatchLine("a2.jpg?x=1", "ok\r\n"), run.m_Out);
  EXPECT_EQ("q", m_Sandbox.ReadFile("a1.jpg_x=1"));
  EXPECT_EQ("q", m_Sandbox.ReadFile("a2.jpg_x=1"));
}

TEST_F(Batch, UnexpandedNameIsNeitherBackedUpNorTouched) {
  m_Sandbox.WriteFile("tu[0-1].jpg", "mine");
  CScriptedServer server(CServerScript::AlwaysReply(Ok("x", "Connection: Keep-Alive\r\n")));
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/tu[0-1].jpg"), "-O"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ("mine", m_Sandbox.ReadFile("tu[0-1].jpg"));
  EXPECT_EQ((std::vector<std::string>{"tu0.jpg", "tu1.jpg", "tu[0-1].jpg", "zelvora"}),
            m_Sandbox.Files());
}

TEST_F(Batch, ProgressStandsOnEachLine) {
  CScriptedServer server(CServerScript::AlwaysReply(Ok(Pattern(300), "Connection: Keep-Alive\r\n")));
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/p[1-2]"), "-O", "-progress"});
  EXPECT_EQ(BatchLine("p1", "100.00%\r\n") + BatchLine("p2", "100.00%\r\n"), run.m_Out);
}

TEST_F(Batch, PostDataAndUserHeadersReachEveryRequest) {
  CScriptedServer server(CServerScript::AlwaysReply(Ok("x", "Connection: close\r\n")));
  CProgramResult run =
      RunIn(m_Sandbox, {server.Url("/p[1-2]"), "-O", "-d", "k=v", "-h", "Connection: close", "-head"});
  EXPECT_EQ(BatchLine("p1", "ok\r\n") + BatchLine("p2", "ok\r\n"), run.m_Out);
  server.Stop();
  ASSERT_EQ(2u, server.RequestCount());
  for (const std::string& request : server.Requests()) {
    EXPECT_EQ(0u, request.find("POST /p"));
    EXPECT_NE(std::string::npos, request.find("\r\nConnection: close\r\n"));
    EXPECT_EQ(std::string::npos, request.find("Keep-Alive"));
    EXPECT_EQ("k=v", RequestBody(request));
  }
}

// A body that does not decode, or whose decoded bytes cannot be stored, is
// no download: its line fails and no file is left that a second run would
// take for the finished one.
TEST_F(Batch, BodyThatCannotBeDecodedFailsItsLineAndLeavesNoFile) {
  const std::string gz = Gzip(Pattern(800));
  const std::string keep = "Connection: Keep-Alive\r\nContent-Encoding: gzip\r\n";
  struct Case {
    const char* name;
    std::string reply;
    bool diskFull;
  } cases[] = {
      {"not gzip", Ok("plain bytes", keep), false},
      {"cut short", Ok(gz.substr(0, gz.size() / 2), keep), false},
      {"trailing garbage", Ok(gz + "garbage", keep), false},
      // The decoded body is larger than the disk takes; the compressed one fits.
      {"decoded bytes past the disk's room", Ok(Gzip(std::string(1 << 20, 'z')), keep), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    if (c.diskFull) sandbox.SetFileSizeLimit(256 * 1024);
    CScriptedServer server(CServerScript::AlwaysReply(c.reply));
    CProgramResult run = RunIn(sandbox, {server.Url("/z[1-1]"), "-O"});
    EXPECT_EQ(1, run.m_ExitCode);
    EXPECT_EQ(BatchLine("z1", "failed.\r\n"), run.m_Out);
    EXPECT_FALSE(sandbox.Exists("z1"));
    CProgramResult again = RunIn(sandbox, {server.Url("/z[1-1]"), "-O"});
    EXPECT_EQ(BatchLine("z1", "failed.\r\n"), again.m_Out);
    server.Stop();
    EXPECT_EQ(2u, server.RequestCount());
  }
}

// A server that says keep-alive and then closes each connection, at once or
// a moment after its answer, races the next request: the close may come
// just as it goes out. Such a request is sent once more on a new
// connection, so every file arrives, over TLS as well.
TEST_F(Batch, ServerThatDropsEachKeptConnection) {
  const int kFiles = 40;
  struct Case {
    const char* name;
    bool tls;
    int pauseMs;  // between the answer and the close
    bool notify;  // TLS: close_notify before the TCP close
  } cases[] = {{"plain, close at once", false, 0, true},
               {"plain, close after 1 ms", false, 1, true},
               {"plain, close after 2 ms", false, 2, true},
               {"TLS, close at once", true, 0, true},
               {"TLS, close after 2 ms", true, 2, true},
               {"TLS, cut without close_notify after 1 ms", true, 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    ASSERT_EQ(0, mkdir(sandbox.File("dir").c_str(), 0755));
    const int pauseMs = c.pauseMs;
    const bool notify = c.notify;
    const CServerScript script = CServerScript::Computed([pauseMs, notify](const std::string& request) {
      CExchange answer = Exchange().Reply(Ok("body of " + PathOf(request), "Connection: Keep-Alive\r\n"));
      if (pauseMs > 0) answer.Pause(pauseMs);
      return notify ? answer.Close() : answer.CloseWithoutNotify();
    });
    std::unique_ptr<CScriptedServer> server(c.tls ? new CTlsServer(script)
                                                  : new CScriptedServer(script));
    CProgramResult run =
        RunIn(sandbox, {server->Url("/f[001-040].txt"), "-O", "-p", sandbox.File("dir")});
    EXPECT_EQ(1, run.m_ExitCode);
    std::string lines;
    for (int i = 1; i <= kFiles; ++i) {
      char name[16];
      snprintf(name, sizeof(name), "f%03d.txt", i);
      lines += BatchLine(name, "ok\r\n");
      EXPECT_EQ("body of /" + std::string(name), sandbox.ReadFile("dir/" + std::string(name)));
    }
    EXPECT_EQ(lines, run.m_Out);
  }
}

}  // namespace
