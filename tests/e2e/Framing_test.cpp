// Where one answer ends and what it is: bytes after an answer on a kept
// connection, interim answers, lengths that frame nothing or contradict the
// chunks, a zero byte in a head, and ports that do not fit.
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>

#include "e2e/E2e.h"
#include "support/TlsServer.h"

namespace {

const char kSessionFailed[] = "Error: HTTP Session failed, ";
const char kKeep[] = "Connection: Keep-Alive\r\n";
const char kEvil[] = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nEVIL";

// A kept-alive answer of exactly size bytes (1000 to 9999), head and body.
std::string OkOfSize(size_t size, std::string* body) {
  const std::string start =
      std::string("HTTP/1.1 200 OK\r\n") + kKeep + "Content-Length: 1234\r\n\r\n";
  *body = Pattern(size - start.size());
  return Ok(*body, kKeep);
}

// The bytes of a text literal, zero bytes included.
template <size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

// A kept-alive chunked answer of exactly size bytes: one chunk whose size
// text has four digits.
std::string ChunkedOfSize(size_t size, std::string* body) {
  const std::string head = ChunkedResponse("200 OK", kKeep, "");
  const std::string end = "\r\n0\r\n\r\n";
  const size_t data = size - head.size() - 6 - end.size();
  char sizeText[8];
  snprintf(sizeText, sizeof(sizeText), "%04zx", data);
  *body = Pattern(data);
  return head + sizeText + "\r\n" + *body + end;
}

class Framing : public ::testing::Test {
 protected:
  Framing() : m_Sandbox(ZELVORA_EXE) {}
  CProgramSandbox m_Sandbox;
};

// An answer nobody asked for, sent after f1's on its kept connection, must
// not become f2's: f2 and f3 go over a new connection and get their own.
// f1 fills one receive block exactly, so the surplus lies beyond it: read
// ahead, in the rest of a TLS record, or in a later record on the socket.
TEST_F(Framing, BytesAfterAnAnswerNeverBecomeTheNextFile) {
  std::string chunkedBody;
  const std::string chunked = ChunkedOfSize(8192, &chunkedBody);
  std::string plainBody;
  const std::string plain = OkOfSize(8192, &plainBody);
  ASSERT_EQ(8192u, plain.size());
  ASSERT_EQ(8192u, chunked.size());
  struct Case {
    const char* name;
    bool tls;
    CExchange first;
    std::string f1;
  } cases[] = {
      {"length, same send", false, Exchange().Send(plain + kEvil), plainBody},
      {"chunked, same send", false, Exchange().Send(chunked + kEvil), chunkedBody},
      {"TLS, same record", true, Exchange().Send(plain + kEvil), plainBody},
      // Two records that arrive together: the answer's, and one more.
      {"TLS, a later record", true, Exchange().Hold().Send(plain).Send(kEvil).Flush(), plainBody},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    ASSERT_EQ(0, mkdir(sandbox.File("dir").c_str(), 0755));
    const CServerScript script{
        {c.first}, {Exchange().Reply(Ok("second", kKeep)), Exchange().Reply(Ok("third", kKeep))}};
    std::unique_ptr<CScriptedServer> server(c.tls ? new CTlsServer(script)
                                                  : new CScriptedServer(script));
    CProgramResult run =
        RunIn(sandbox, {server->Url("/d/f[1-3].txt"), "-O", "-p", sandbox.File("dir")});
    EXPECT_EQ(1, run.m_ExitCode);
    EXPECT_EQ(BatchLine("f1.txt", "ok\r\n") + BatchLine("f2.txt", "ok\r\n") +
                  BatchLine("f3.txt", "ok\r\n"),
              run.m_Out);
    EXPECT_EQ(c.f1, sandbox.ReadFile("dir/f1.txt"));
    EXPECT_EQ("second", sandbox.ReadFile("dir/f2.txt"));
    EXPECT_EQ("third", sandbox.ReadFile("dir/f3.txt"));
    server->Stop();
    EXPECT_EQ(2, server->ConnectionCount());
    const std::vector<std::string> requests = server->Requests();
    ASSERT_EQ(3u, requests.size());
    EXPECT_EQ("/d/f1.txt", PathOf(requests[0]));
    EXPECT_EQ("/d/f2.txt", PathOf(requests[1]));
    EXPECT_EQ("/d/f3.txt", PathOf(requests[2]));
  }
}

// Under -origin the bytes kept are the answer's as sent, framing included,
// and they end where the answer does: after the last chunk, its trailer
// lines and the empty line. What follows, in the same receive or later, is
// neither stored nor shown, also when the end comes in a later receive
// than the head, together with the bytes after it.
TEST_F(Framing, OriginKeepsTheAnswerNotWhatFollowsIt) {
  const std::string head = ChunkedResponse("200 OK", kKeep, "");
  const struct {
    const char* name;
    std::string framed;
  } bodies[] = {
      {"no trailer", "5\r\nhello\r\n0\r\n\r\n"},
      {"trailer lines", "5\r\nhello\r\n0\r\nX-Sum: 1\r\nY: 2\r\n\r\n"},
  };
  const std::string junk = "JUNK after the answer";
  enum { SAME_READ, SURPLUS_LATER, END_LATER };
  const char* const splitNames[] = {", surplus in the same read", ", surplus 0.2 s later",
                                    ", the end and the surplus 0.2 s later"};
  for (const auto& body : bodies) {
    for (int console = 0; console < 2; ++console) {
      for (int split : {SAME_READ, SURPLUS_LATER, END_LATER}) {
        SCOPED_TRACE(std::string(body.name) + (console ? ", console" : ", file") +
                     splitNames[split]);
        CProgramSandbox sandbox(ZELVORA_EXE);
        // END_LATER cuts inside the chunk's data ("5\r\nhel" first).
        const size_t cut = 6;
        CExchange answer =
            split == SAME_READ       ? Exchange().Send(head + body.framed + junk)
            : split == SURPLUS_LATER ? Exchange().Send(head + body.framed).Pause(200).Send(junk)
                                     : Exchange()
                                           .Send(head + body.framed.substr(0, cut))
                                           .Pause(200)
                                           .Send(body.framed.substr(cut) + junk);
        CScriptedServer server(CServerScript{{answer}});
        std::vector<std::string> args = {server.Url("/t"), "-origin"};
        if (!console) args.insert(args.end(), {"-o", "out.txt"});
        CProgramResult run = RunIn(sandbox, args);
        EXPECT_EQ(1, run.m_ExitCode);
        if (console) {
          EXPECT_EQ(head + body.framed, run.m_Out);
        } else {
          EXPECT_EQ(head + "Download: " + sandbox.File("out.txt.origin") + "\r\n", run.m_Out);
          EXPECT_EQ(body.framed, sandbox.ReadFile("out.txt.origin"));
        }
      }
    }
  }
}

// A 1xx answer before the real one is passed over: the final head is the
// one shown, its body the one shown or stored. The interim head is not shown.
TEST_F(Framing, InterimAnswersArePassedOver) {
  const std::string final = Ok("the body", "Content-Type: text/plain\r\n");
  const std::string hints =
      "HTTP/1.1 103 Early Hints\r\nLink: </style.css>; rel=preload; as=style\r\n\r\n";
  struct Case {
    const char* name;
    CExchange exchange;
  } cases[] = {
      {"100 Continue", Exchange().Send("HTTP/1.1 100 Continue\r\n\r\n" + final)},
      {"103 Early Hints", Exchange().Send(hints + final)},
      {"both, in sends of their own", Exchange()
                                          .Send("HTTP/1.1 100 Continue\r\n\r\n")
                                          .Pause(50)
                                          .Send(hints)
                                          .Pause(50)
                                          .Send(final)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    {
      CScriptedServer server(CServerScript{{c.exchange}});
      CProgramResult run = RunIn(m_Sandbox, {server.Url("/page")});
      EXPECT_EQ(1, run.m_ExitCode);
      EXPECT_EQ(final, run.m_Out);
    }
    CScriptedServer server(CServerScript{{c.exchange}});
    m_Sandbox.WriteFile("out.txt", "earlier");
    CProgramResult run = RunIn(m_Sandbox, {server.Url("/page"), "-o", "out.txt"});
    EXPECT_EQ(1, run.m_ExitCode);
    EXPECT_EQ(HeadOf(final) + "Download: " + m_Sandbox.File("out.txt") + "\r\n", run.m_Out);
    EXPECT_EQ("the body", m_Sandbox.ReadFile("out.txt"));
    EXPECT_EQ((std::vector<std::string>{"out.txt", "zelvora"}), m_Sandbox.Files());
  }
}

// With a length beside the chunked coding the chunks frame the body, and the
// connection carries no further request.
TEST_F(Framing, ChunksWinOverALengthAndTheConnectionEnds) {
  const std::string both = std::string("HTTP/1.1 200 OK\r\n") + kKeep +
                           "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n" +
                           Chunked("chunked body", 5);
  {
    CScriptedServer server(CServerScript::OneReply(both));
    CProgramResult run = RunIn(m_Sandbox, {server.Url("/page"), "-o", "out.txt"});
    EXPECT_EQ(1, run.m_ExitCode);
    EXPECT_EQ(HeadOf(both) + "Download: " + m_Sandbox.File("out.txt") + "\r\n", run.m_Out);
    EXPECT_EQ("chunked body", m_Sandbox.ReadFile("out.txt"));
  }
  CScriptedServer server(CServerScript{{Exchange().Reply(both), Exchange().Reply(Ok("kept"))},
                                       {Exchange().Reply(Ok("fresh", kKeep))}});
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/b[1-2]"), "-O"});
  EXPECT_EQ(BatchLine("b1", "ok\r\n") + BatchLine("b2", "ok\r\n"), run.m_Out);
  EXPECT_EQ("chunked body", m_Sandbox.ReadFile("b1"));
  EXPECT_EQ("fresh", m_Sandbox.ReadFile("b2"));
  server.Stop();
  EXPECT_EQ(2, server.ConnectionCount());
}

// A head that cannot be read for sure fails the transfer the way a cut-off
// one fails: the earlier file is back, a batch marks the file failed, and
// the connection is closed (the next file comes over a new one). So does a
// download whose answer gives no length: its body is not read.
TEST_F(Framing, UnreadableHeadsAndMissingLengthsFailTheDownload) {
  const std::string format = "Response format error.";
  const std::string noLength = "Response gave no body length.";
  struct Case {
    const char* name;
    std::string reply;
    std::string message;
  } cases[] = {
      {"letters as length", "HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\nabc", format},
      {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nabcde", format},
      {"two numbers as length", "HTTP/1.1 200 OK\r\nContent-Length: 1 2\r\n\r\nabcdefghijkl",
       format},
      {"two lengths", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 5\r\n\r\nabcde",
       format},
      {"zero byte in the head",
       Bytes("HTTP/1.1 200 OK\r\nX-Odd: a\0b\r\nContent-Length: 10\r\n\r\n0123456789"), format},
      {"no length", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nall until the close",
       noLength},
      {"a folded length", "HTTP/1.1 200 OK\r\nX-Note: a\r\n Content-Length: 3\r\n\r\nhello world",
       noLength},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    ExpectRefusedLeavesTheEarlierFile(sandbox, Exchange().Reply(c.reply), c.message);
    const std::string kept = c.reply.substr(0, 17) + kKeep + c.reply.substr(17);
    ExpectRefusedThenFresh(sandbox, Exchange().Reply(kept));
  }
}

// On the console a zero byte in the head is a format error too, with no cut
// head shown; an answer without a length still shows its head at once.
TEST_F(Framing, ConsoleShowsNoHeadWithAZeroByteAndDoesNotWaitWithoutALength) {
  {
    const std::string zero = Bytes("HTTP/1.1 200 OK\r\nX-Odd: a\0b\r\nContent-Length: 2\r\n\r\nhi");
    CScriptedServer server(CServerScript::OneReply(zero));
    CProgramResult run = RunIn(m_Sandbox, {server.Url("/page")});
    EXPECT_EQ(0, run.m_ExitCode);
    EXPECT_EQ(std::string(kSessionFailed) + "Response format error.", run.m_Out);
  }
  // The server keeps the connection open: a client that waited for the
  // close would run into the time limit.
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";
  CScriptedServer server(CServerScript::OneReply(head + "never read").IoLimit(30000));
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/page")});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(head, run.m_Out);

  // An answer that carries no body is no failed download.
  CScriptedServer empty(CServerScript::OneReply("HTTP/1.1 204 No Content\r\n\r\n"));
  run = RunIn(m_Sandbox, {empty.Url("/page"), "-o", "out.txt"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ("", m_Sandbox.ReadFile("out.txt"));
}

// A port that is not digits naming 1 to 65535 makes the URL invalid; no low
// 16 bits of it reach a server.
TEST_F(Framing, PortOutsideItsRangeIsAnInvalidUrl) {
  CScriptedServer server(CServerScript::AlwaysReply(Ok("x")));
  const std::string host = "http://127.0.0.1:";
  const std::string wrapped = host + std::to_string(server.Port() + 65536) + "/x";
  const std::vector<std::string> cases[] = {
      {"http://127.0.0.1:65616/"},
      {wrapped},
      {wrapped, "-o", "out.txt"},
      {host + std::to_string(server.Port() + 65536) + "/f[1-2]", "-O"},
      {host + "0/x"},
      {host + std::to_string(server.Port()) + "x/x"},
      {host + "-" + std::to_string(server.Port()) + "/x"},
  };
  for (const std::vector<std::string>& args : cases) {
    CProgramResult run = RunIn(m_Sandbox, args);
    EXPECT_EQ(0, run.m_ExitCode) << args[0];
    EXPECT_EQ("Error : URL(" + args[0] + ") is not valid.\r\n", run.m_Out);
  }
  server.Stop();
  EXPECT_EQ(0, server.ConnectionCount());
  EXPECT_EQ(std::vector<std::string>{"zelvora"}, m_Sandbox.Files());
}

}  // namespace
