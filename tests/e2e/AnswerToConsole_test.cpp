// Requests whose answer goes to the console: what is sent, and the bytes that
// appear on standard output.
#include <string>

#include "e2e/E2e.h"
#include "support/TlsServer.h"

namespace {

// The request with a header line of the user's own, which comes first.
std::string WithHeader(const std::string& request, const std::string& line) {
  const size_t firstLineEnd = request.find("\r\n") + 2;
  return request.substr(0, firstLineEnd) + line + "\r\n" + request.substr(firstLineEnd);
}

class ConsoleRun : public ::testing::Test {
 protected:
  ConsoleRun() : m_Sandbox(ZELVORA_EXE) {}
  CProgramSandbox m_Sandbox;
};

TEST_F(ConsoleRun, GetShowsTheHeadThenTheBody) {
  std::string reply = Ok("hello", "Content-Type: text/plain\r\n");
  CScriptedServer server(CServerScript::OneReply(reply));
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/x?a=1")});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(reply, run.m_Out);
  server.Stop();
  EXPECT_EQ(PlainRequest("GET", "/x?a=1"), server.Request(0));
  // Nothing of the program's own is left beside it.
  EXPECT_EQ(std::vector<std::string>{"zelvora"}, m_Sandbox.Files());
}

TEST_F(ConsoleRun, StatusOutsideSuccessIsStillACompletedRun) {
  std::string reply = Response("404 Not Found", "", "no such page");
  CScriptedServer server(CServerScript::OneReply(reply));
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/missing")});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(reply, run.m_Out);
}

TEST_F(ConsoleRun, HeadRequestSendsNoDataAndShowsOnlyTheHead) {
  std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n";
  CScriptedServer server(CServerScript::OneReply(head));
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/x"), "-head", "-d", "a=1"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(head, run.m_Out);
  server.Stop();
  EXPECT_EQ(PlainRequest("HEAD", "/x"), server.Request(0));
}

TEST_F(ConsoleRun, PostOfTextAndOfAFile) {
  std::string fileBytes("line1\r\nline2\0tail", 17);
  m_Sandbox.WriteFile("post.bin", fileBytes);
  struct Case {
    std::vector<std::string> options;
    std::string request;  // what the server gets
    std::string reply;    // the answer, which the program shows as it is
  } cases[] = {
      {{"-d", "user=u&pass=p"}, PlainRequest("POST", "/form", "user=u&pass=p"), Ok("done")},
      // The README's form login: -d names no type, the -h line does.
      {{"-d", "user=u&pass=p", "-h", "Content-Type: application/x-www-form-urlencoded"},
       WithHeader(PlainRequest("POST", "/form", "user=u&pass=p"),
                  "Content-Type: application/x-www-form-urlencoded"),
       Ok("done")},
      {{"-d", "post.bin", "-file"}, PlainRequest("POST", "/form", fileBytes), Ok("done")},
      // "-d" right before another option has an empty value: still a POST.
      {{"-d", "-progress"}, PlainRequest("POST", "/form"), Ok("done")},
      // "-file" must follow "-d" directly; otherwise the value is the text.
      // -head wins over it: a HEAD request, no body, answered by a head.
      {{"-d", "post.bin", "-head", "-file"}, PlainRequest("HEAD", "/form"), HeadOf(Ok("done"))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options[1]);
    CScriptedServer server(CServerScript::OneReply(c.reply));
    std::vector<std::string> args = {server.Url("/form")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    CProgramResult run = RunIn(m_Sandbox, args);
    server.Stop();
    EXPECT_EQ(1, run.m_ExitCode);
    EXPECT_EQ(c.reply, run.m_Out);
    EXPECT_EQ(c.request, server.Request(0));
  }
}

TEST_F(ConsoleRun, HeadersFromTheCommandLineAndFromAFile) {
  const std::string expected =
      "GET /h HTTP/1.1\r\nAccept: text/html\r\nX-A: 1\r\nX-B: two: parts\r\nHost: 127.0.0.1\r\n"
      "Accept-Encoding: identity, gzip, deflate\r\nUser-Agent: \r\nContent-Length: 0\r\n\r\n";
  m_Sandbox.WriteFile("head.txt", "X-B: two: parts\r\nX-A: 1\r\nAccept: text/html\r\nX-A: 2\r\n\r\nX-C: 3\r\n");
  const std::vector<std::string> sources[] = {
      {"-h", "X-B: two: parts\nX-A: 1\nAccept: text/html\nX-A: 2"},
      {"-h", "head.txt", "-file"},
  };
  for (const std::vector<std::string>& source : sources) {
    CScriptedServer server(CServerScript::OneReply(Ok("")));
    std::vector<std::string> args = {server.Url("/h")};
    args.insert(args.end(), source.begin(), source.end());
    CProgramResult run = RunIn(m_Sandbox, args);
    EXPECT_EQ(1, run.m_ExitCode);
    server.Stop();
    EXPECT_EQ(expected, server.Request(0)) << source[1];
  }
}

// What a user may not expect: the first -h alone counts, the fragment goes
// with the path, Host has no port, User-Agent is empty, and an unknown option
// after the URL is ignored.
TEST_F(ConsoleRun, RequestCarriesTheFirstHeaderOptionAndTheFragment) {
  CScriptedServer server(CServerScript::OneReply(Ok("")));
  const CProgramResult run =
      RunIn(m_Sandbox, {server.Url("/a#top"), "-h", "X-A: 1", "-h", "X-B: 2", "-unknown"});
  EXPECT_EQ(1, run.m_ExitCode);
  server.Stop();
  EXPECT_EQ(WithHeader(PlainRequest("GET", "/a#top"), "X-A: 1"), server.Request(0));
}

// A query or a fragment right after the port belongs to the request target:
// the request line asks for "/" and the rest, Host names the host alone, and
// -O names the file as it would for "/?q=1".
TEST_F(ConsoleRun, QueryOrFragmentWithoutAPathGoesToTheRequestLine) {
  const struct {
    const char* rest;
    const char* target;
  } cases[] = {{"?q=1", "/?q=1"}, {"#top", "/#top"}, {"?a/b#c", "/?a/b#c"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rest);
    CScriptedServer server(CServerScript::OneReply(Ok("hi")));
    const CProgramResult run = RunIn(m_Sandbox, {server.Url(c.rest)});
    EXPECT_EQ(1, run.m_ExitCode) << run.m_Out;
    EXPECT_EQ(Ok("hi"), run.m_Out);
    server.Stop();
    EXPECT_EQ(PlainRequest("GET", c.target), server.Request(0));
  }
  CProgramSandbox sandbox(ZELVORA_EXE);
  CScriptedServer server(CServerScript::OneReply(Ok("hi")));
  const CProgramResult run = RunIn(sandbox, {server.Url("?q=1"), "-O"});
  EXPECT_EQ(HeadOf(Ok("hi")) + "Download: " + sandbox.File("_q=1") + "\r\n", run.m_Out);
  EXPECT_EQ("hi", sandbox.ReadFile("_q=1"));
}

TEST_F(ConsoleRun, BodiesAreShownDecodedUnlessAskedForAsReceived) {
  const std::string text = Pattern(3000);
  const std::string gz = Gzip(text);
  const std::string chunkedGz = Chunked(gz, 500);
  struct Case {
    const char* name;
    std::string reply;
    std::vector<std::string> options;
    std::string shown;
    int exitCode = 1;
  } cases[] = {
      {"gzip", Ok(gz, "Content-Encoding: gzip\r\n"), {}, text},
      {"GZIP", Ok(gz, "Content-Encoding: GZip\r\n"), {}, text},
      {"deflate", Ok(RawDeflate(text), "Content-Encoding: deflate\r\n"), {}, text},
      {"compress", Ok(gz, "Content-Encoding: gzip\r\n"), {"-compress"}, gz},
      {"other coding", Ok(gz, "Content-Encoding: br\r\n"), {}, gz},
      // A body that does not decode is no success: the head, then why.
      {"broken gzip", Ok("not gzip at all", "Content-Encoding: gzip\r\n"), {},
       "Error: The gzip body could not be decoded.\r\n", 0},
      {"gzip with trailing garbage", Ok(gz + "garbage", "Content-Encoding: gzip\r\n"), {},
       "Error: The gzip body could not be decoded.\r\n", 0},
      {"two gzip members", Ok(gz + Gzip("and more"), "Content-Encoding: gzip\r\n"), {},
       text + "and more"},
      {"chunked",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + Chunked(text, 1000), {}, text},
      {"chunked gzip",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Encoding: gzip\r\n\r\n" +
           chunkedGz,
       {},
       text},
      // -origin streams the bytes exactly as they came, framing included.
      {"origin",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Encoding: gzip\r\n\r\n" +
           chunkedGz,
       {"-origin"},
       chunkedGz},
  };
  for (const Case& c : cases) {
    CScriptedServer server(CServerScript::OneReply(c.reply));
    std::vector<std::string> args = {server.Url("/t")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    CProgramResult run = RunIn(m_Sandbox, args);
    EXPECT_EQ(c.exitCode, run.m_ExitCode) << c.name;
    EXPECT_EQ(HeadOf(c.reply) + c.shown, run.m_Out) << c.name;
  }
}

TEST_F(ConsoleRun, StepPagesTheBodyWithABannerBeforeEveryPiece) {
  const std::string body = Pattern(2500);
  CScriptedServer server(CServerScript::AlwaysReply(Ok(body)));
  auto banner = [](int size) {
    return "\r\n====================\r\npress any key continue (" + std::to_string(size) +
           ") .....\r\n====================\r\n";
  };
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/p"), "-step", "1024"}, "abc");
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(HeadOf(Ok(body)) + banner(1024) + body.substr(0, 1024) + banner(1024) +
                body.substr(1024, 1024) + banner(452) + body.substr(2048),
            run.m_Out);

  // A value out of range keeps pieces of 1024 bytes.
  run = RunIn(m_Sandbox, {server.Url("/p"), "-step", "70000"});
  EXPECT_EQ(HeadOf(Ok(body)) + banner(1024) + body.substr(0, 1024) + banner(1024) +
                body.substr(1024, 1024) + banner(452) + body.substr(2048),
            run.m_Out);
}

TEST_F(ConsoleRun, UploadSendsTheFileAsMultipartAndShowsTheAnswer) {
  std::string content("upload \0 bytes\r\n", 16);
  m_Sandbox.WriteFile("up.bin", content);
  std::string reply = Ok("stored");
  CScriptedServer server(CServerScript::OneReply(reply));
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/up"), "-u", "up.bin"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ("Upload " + m_Sandbox.File("up.bin") + "......" + reply, run.m_Out);
  server.Stop();
  std::string request = server.Request(0);
  EXPECT_EQ(0u, request.find("POST /up HTTP/1.1\r\n"));
  // The boundary goes quoted (it holds "="); the body's delimiter lines
  // carry it bare.
  const std::string typeLine = "\r\nContent-Type: multipart/form-data; boundary=\"";
  const size_t typeAt = request.find(typeLine);
  ASSERT_NE(std::string::npos, typeAt) << request;
  const size_t valueAt = typeAt + typeLine.size();
  const size_t valueEnd = request.find("\"\r\n", valueAt);
  ASSERT_NE(std::string::npos, valueEnd) << request;
  const std::string boundary = request.substr(valueAt, valueEnd - valueAt);
  EXPECT_NE(std::string::npos, boundary.find('='));
  const std::string body = RequestBody(request);
  EXPECT_EQ(0u, body.find("--" + boundary + "\r\n")) << body;
  EXPECT_NE(std::string::npos, body.find("filename=\"up.bin\""));
  EXPECT_NE(std::string::npos, body.find("\r\n\r\n" + content + "\r\n--" + boundary + "--"));
}

// A file name may hold line ends; in the part head they would start lines of
// their own.
TEST_F(ConsoleRun, UploadOfAFileNamedWithLineEndsKeepsThePartHeadToThreeLines) {
  const std::string name = "up\r\nX-Injected\r\n\r\n.bin";
  m_Sandbox.WriteFile(name, "data");
  CScriptedServer server(CServerScript::OneReply(Ok("stored")));
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/up"), "-u", name});
  EXPECT_EQ(1, run.m_ExitCode);
  server.Stop();
  const std::string body = RequestBody(server.Request(0));
  const std::string written = "up%0D%0AX-Injected%0D%0A%0D%0A.bin";
  const size_t boundaryEnd = body.find("\r\n");
  ASSERT_NE(std::string::npos, boundaryEnd) << body;
  const std::string boundary = body.substr(2, boundaryEnd - 2);
  EXPECT_EQ("--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + written +
                "\"; filename=\"" + written +
                "\"\r\nContent-Type: application/octet-stream\r\n\r\ndata\r\n--" + boundary + "--",
            body);
}

TEST_F(ConsoleRun, UploadWithProgressEndsItsLineBeforeTheHead) {
  m_Sandbox.WriteFile("up.bin", Pattern(100));
  std::string reply = Ok("ok");
  CScriptedServer server(CServerScript::OneReply(reply));
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/up"), "-u", "up.bin", "-progress"});
  EXPECT_EQ(1, run.m_ExitCode);
  // In a pipe every progress text follows the one before.
  const std::string start = "Upload " + m_Sandbox.File("up.bin") + "......";
  ASSERT_EQ(0u, run.m_Out.find(start)) << run.m_Out;
  // The head callback ends the progress line; the line end after the
  // transfer then comes before the body.
  const std::string end = "100.00%\r\n" + HeadOf(reply) + "\r\nok";
  ASSERT_GE(run.m_Out.size(), end.size());
  EXPECT_EQ(end, run.m_Out.substr(run.m_Out.size() - end.size())) << run.m_Out;
}

TEST_F(ConsoleRun, SslOptionTurnsABareUrlIntoHttps) {
  std::string reply = Ok("secret");
  CTlsServer server(CServerScript::OneReply(reply));
  ASSERT_EQ(1, server.IsReady());
  std::string bare = "localhost:" + std::to_string(server.Port()) + "/s";
  CProgramResult run = RunIn(m_Sandbox, {bare, "-ssl"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(reply, run.m_Out);
  server.Stop();
  EXPECT_EQ("localhost", server.ServerName(0));
  EXPECT_EQ(0u, server.Request(0).find("GET /s HTTP/1.1\r\nHost: localhost\r\n"));
}

}  // namespace
