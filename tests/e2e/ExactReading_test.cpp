// The small print of an answer: chunk framing, size lines, status lines,
// line ends, folded lines, white space around values, lists of codings and lengths,
// answers that never have a body, and the head limit. A refused answer
// fails the way a cut-off one fails; an accepted one stores its own bytes.
#include <string>
#include <vector>

#include "e2e/E2e.h"

namespace {

const char kSessionFailed[] = "Error: HTTP Session failed, ";
const char kFormat[] = "Response format error.";
const char kKeep[] = "Connection: Keep-Alive\r\n";

std::string ChunkedHead(const std::string& extra = "") {
  return ChunkedResponse("200 OK", extra, "");
}

// A head of exactly size bytes with a length of 0.
std::string LongHead(size_t size) {
  const std::string start = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nX-Fill: ";
  return start + std::string(size - start.size() - 4, 'f') + "\r\n\r\n";
}

// A head of exactly size bytes (300 or more) with a length of 5, most of it
// folded lines of one header.
std::string FoldedHead(size_t size) {
  std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nX-Fill: a\r\n";
  size_t fill = size - head.size() - 2;
  for (; fill > 200; fill -= 100) head += " " + std::string(97, 'f') + "\r\n";
  return head + "\t" + std::string(fill - 3, 'f') + "\r\n\r\n";
}

class ExactReading : public ::testing::Test {};

struct Refused {
  const char* name;
  std::string reply;
  std::string message;
  // How the server sends it: whole, or in pieces of this many bytes.
  size_t piece;
};

// Each of these answers is refused at once with a reason: the download
// fails with nothing stored and the earlier file back, the console shows
// the head and the message, a batch marks the file failed and goes on over
// a new connection. The server keeps the connection open: a client that
// waited for more would run into the time limit.
TEST_F(ExactReading, RefusedAnswersFailCleanly) {
  const std::string tooLarge = "Chunk size too large.";
  const Refused cases[] = {
      {"chunk longer than its size", ChunkedHead() + "3\r\nabcd\r\n0\r\n\r\n", kFormat, 0},
      {"chunk without its line end", ChunkedHead() + "5\r\nabcdeXY0\r\n\r\n", kFormat, 0},
      {"size counted in characters",
       ChunkedHead() + "5\r\nh\xc3\xa9llo\r\n5\r\nworld\r\n0\r\n\r\n", kFormat, 0},
      {"size with 0x", ChunkedHead() + "0x5\r\nhello\r\n0\r\n\r\n", kFormat, 0},
      {"size with a sign", ChunkedHead() + "+5\r\nhello\r\n0\r\n\r\n", kFormat, 0},
      {"size with a letter", ChunkedHead() + "1g\r\nhello\r\n0\r\n\r\n", kFormat, 0},
      {"size beyond 63 bits", ChunkedHead() + "8000000000000000\r\nhello\r\n0\r\n\r\n", tooLarge, 0},
      {"an LF inside a size line's extension",
       ChunkedHead() + "5;a\nb\r\nhello\r\n0\r\n\r\n", kFormat, 0},
      {"absurdly long size line", ChunkedHead() + "5;" + std::string(10000, 'e'), kFormat, 0},
      {"stray line end for a size", ChunkedHead() + "5\r\nhello\r\n\r\n0\r\n\r\n", kFormat, 0},
      {"a transfer coding before chunked",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", kFormat,
       0},
      {"an unknown transfer coding",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: identityx\r\nContent-Length: 5\r\n\r\nhello", kFormat,
       0},
      {"gzip coding beside a length",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\nContent-Length: 5\r\n\r\nhello", kFormat, 0},
      {"length beyond 63 bits",
       "HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775808\r\n\r\nhello", kFormat, 0},
      {"two spaces in the status line", "HTTP/1.1  200 OK\r\nContent-Length: 5\r\n\r\nhello",
       kFormat, 0},
      {"four digits of status", "HTTP/1.1 2000 OK\r\nContent-Length: 5\r\n\r\nhello", kFormat, 0},
      {"head beyond the limit in one write", LongHead(8700), kFormat, 0},
      {"head beyond the limit in pieces", LongHead(8700), kFormat, 500},
      // Folded lines count as sent, not as joined.
      {"folded head one byte beyond the limit", FoldedHead(8193) + "hello", kFormat, 0},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.name);
    const CExchange exchange =
        c.piece ? Exchange().SendInPieces(c.reply, c.piece, 1) : Exchange().Send(c.reply);
    // The head is shown when it was read; one that is too long never was.
    const std::string shown = HeadOf(c.reply).size() > 8192 ? "" : HeadOf(c.reply);
    CProgramSandbox sandbox(ZELVORA_EXE);
    {
      CScriptedServer server(CServerScript{{exchange}});
      CProgramResult run = RunIn(sandbox, {server.Url("/page")});
      EXPECT_EQ(0, run.m_ExitCode);
      EXPECT_EQ(shown + kSessionFailed + c.message, run.m_Out);
    }
    ExpectRefusedLeavesTheEarlierFile(sandbox, exchange, c.message);
    const std::string kept = c.reply.substr(0, 17) + kKeep + c.reply.substr(17);
    const CExchange keptExchange =
        c.piece ? Exchange().SendInPieces(kept, c.piece, 1) : Exchange().Send(kept);
    ExpectRefusedThenFresh(sandbox, keptExchange);
  }
}

// Each of these answers is sound, and its own bytes are what is stored and
// shown.
TEST_F(ExactReading, SoundAnswersStoreTheirOwnBytes) {
  const struct {
    const char* name;
    std::string reply;
    std::string body;
  } cases[] = {
      {"leading zeros in a size", ChunkedHead() + "00000005\r\nhello\r\n0\r\n\r\n", "hello"},
      {"fixed-width sizes", ChunkedHead() + "0000000a\r\n0123456789\r\n00000000\r\n\r\n",
       "0123456789"},
      {"size with an extension", ChunkedHead() + "5 ;name=\"v\"\r\nhello\r\n0\r\n\r\n", "hello"},
      {"lines ending in LF alone",
       "HTTP/1.1 200 OK\nContent-Type: text/plain\nContent-Length: 5\n\nhello", "hello"},
      {"chunked after a tab", "HTTP/1.1 200 OK\r\nTransfer-Encoding:\tchunked\r\n\r\n" +
                                  Chunked("chunked body", 5),
       "chunked body"},
      {"chunked before a tab beside a length",
       "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\t\r\n\r\n" +
           Chunked("chunked body", 5),
       "chunked body"},
      {"gzip after a tab",
       "HTTP/1.1 200 OK\r\nContent-Encoding:\tgzip\r\nContent-Length: " +
           std::to_string(Gzip("plain text").size()) + "\r\n\r\n" + Gzip("plain text"),
       "plain text"},
      {"a list of one length", "HTTP/1.1 200 OK\r\nContent-Length: 6, 6\r\n\r\nhello\n",
       "hello\n"},
      {"identity as the only coding",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\nContent-Length: 5\r\n\r\nhello", "hello"},
      {"no reason phrase", "HTTP/1.1 200\r\nContent-Length: 5\r\n\r\nhello", "hello"},
      // A folded line is part of the header above it, whatever it holds.
      {"a folded chunked beside a length",
       "HTTP/1.1 200 OK\r\nContent-Length: 15\r\nX-Note: a\r\n Transfer-Encoding: chunked\r\n\r\n"
       "5\r\nhello\r\n0\r\n\r\n",
       "5\r\nhello\r\n0\r\n\r\n"},
      {"a folded coding",
       "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nX-Note: a\r\n Content-Encoding: gzip\r\n\r\nhello",
       "hello"},
      {"folded head at the limit", FoldedHead(8192) + "hello", "hello"},
      {"a fold in a header of no use here",
       "HTTP/1.1 200 OK\r\nX-Note: a\r\n b\r\nContent-Length: 5\r\n\r\nhello", "hello"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    {
      CScriptedServer server(CServerScript::OneReply(c.reply));
      CProgramResult run = RunIn(sandbox, {server.Url("/page"), "-o", "out.txt"});
      EXPECT_EQ(1, run.m_ExitCode);
      EXPECT_NE(std::string::npos, run.m_Out.find("Download: " + sandbox.File("out.txt") + "\r\n"))
          << run.m_Out;
      EXPECT_EQ(c.body, sandbox.ReadFile("out.txt"));
    }
    CScriptedServer server(CServerScript::OneReply(c.reply));
    CProgramResult run = RunIn(sandbox, {server.Url("/page")});
    EXPECT_EQ(1, run.m_ExitCode);
    ASSERT_GE(run.m_Out.size(), c.body.size());
    EXPECT_EQ(c.body, run.m_Out.substr(run.m_Out.size() - c.body.size()));
  }
}

// A head whose first header line begins with white space has no line above
// for it to continue: it is refused, with the head shown, nothing stored,
// the earlier file back, and the next file of a batch over a new connection.
TEST_F(ExactReading, WhiteSpaceBeforeTheFirstHeaderLineIsRefused) {
  const char* const leads[] = {" ", "\t"};
  for (const char* lead : leads) {
    SCOPED_TRACE(lead[0] == ' ' ? "a space" : "a tab");
    const std::string reply = std::string("HTTP/1.1 200 OK\r\n") + lead + "Content-Length: 3\r\n" +
                              kKeep + "\r\nhello world";
    CProgramSandbox sandbox(ZELVORA_EXE);
    {
      CScriptedServer server(CServerScript::OneReply(reply));
      CProgramResult run = RunIn(sandbox, {server.Url("/page")});
      EXPECT_EQ(0, run.m_ExitCode);
      EXPECT_EQ(HeadOf(reply) + kSessionFailed + kFormat, run.m_Out);
    }
    ExpectRefusedLeavesTheEarlierFile(sandbox, Exchange().Reply(reply), kFormat);
    ExpectRefusedThenFresh(sandbox, Exchange().Reply(reply));
  }
}

// A folded Connection line is part of the header above it: the answer
// announced no keep-alive, so the next file comes over a new connection.
TEST_F(ExactReading, AFoldedKeepAliveKeepsNothing) {
  const std::string folded =
      "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nX-Note: a\r\n Connection: Keep-Alive\r\n\r\nhello";
  CProgramSandbox sandbox(ZELVORA_EXE);
  CScriptedServer server(CServerScript{{Exchange().Reply(folded), Exchange().Reply(Ok("kept"))},
                                       {Exchange().Reply(Ok("fresh", kKeep))}});
  CProgramResult run = RunIn(sandbox, {server.Url("/b[1-2]"), "-O"});
  EXPECT_EQ(BatchLine("b1", "ok\r\n") + BatchLine("b2", "ok\r\n"), run.m_Out);
  EXPECT_EQ("hello", sandbox.ReadFile("b1"));
  EXPECT_EQ("fresh", sandbox.ReadFile("b2"));
  server.Stop();
  EXPECT_EQ(2, server.ConnectionCount());
}

// 1xx, 204 and 304 end at their empty line whatever length or coding they
// carry; bytes after one keep its connection from the next request.
TEST_F(ExactReading, BodilessAnswersEndAtTheirEmptyLine) {
  const std::string notModified =
      "HTTP/1.1 304 Not Modified\r\nETag: \"v1\"\r\nContent-Length: 1234\r\n\r\n";
  {
    CProgramSandbox sandbox(ZELVORA_EXE);
    CScriptedServer server(CServerScript::OneReply(notModified));
    CProgramResult run = RunIn(sandbox, {server.Url("/page"), "-h", "If-None-Match: \"v1\""});
    EXPECT_EQ(1, run.m_ExitCode);
    EXPECT_EQ(notModified, run.m_Out);
  }
  const struct {
    const char* name;
    std::string reply;
  } empties[] = {
      {"204 with chunks", "HTTP/1.1 204 No Content\r\nTransfer-Encoding: chunked\r\n\r\n"},
      {"204 with a length and bytes", "HTTP/1.1 204 No Content\r\nContent-Length: 6\r\n\r\nhello\n"},
  };
  for (const auto& c : empties) {
    SCOPED_TRACE(c.name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    {
      CScriptedServer server(CServerScript::OneReply(c.reply));
      CProgramResult run = RunIn(sandbox, {server.Url("/page"), "-o", "out.txt"});
      EXPECT_EQ(1, run.m_ExitCode);
      EXPECT_EQ(HeadOf(c.reply) + "Download: " + sandbox.File("out.txt") + "\r\n", run.m_Out);
      EXPECT_EQ("", sandbox.ReadFile("out.txt"));
    }
    // In a batch the file is done at once; what followed the head was asked
    // for by no request, so the next file comes over a new connection.
    const std::string kept = c.reply.substr(0, 25) + kKeep + c.reply.substr(25);
    CScriptedServer server(CServerScript{{Exchange().Reply(kept), Exchange().Reply(Ok("kept"))},
                                         {Exchange().Reply(Ok("fresh", kKeep))}});
    CProgramResult run = RunIn(sandbox, {server.Url("/b[1-2]"), "-O"});
    EXPECT_EQ(BatchLine("b1", "ok\r\n") + BatchLine("b2", "ok\r\n"), run.m_Out);
    EXPECT_EQ("", sandbox.ReadFile("b1"));
    server.Stop();
    const bool bytesFollowed = c.reply.find("hello") != std::string::npos;
    EXPECT_EQ(bytesFollowed ? "fresh" : "kept", sandbox.ReadFile("b2"));
    EXPECT_EQ(bytesFollowed ? 2 : 1, server.ConnectionCount());
  }
}

// An answer to HEAD shows its head and nothing after it.
TEST_F(ExactReading, HeadShowsNoBody) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\n";
  CProgramSandbox sandbox(ZELVORA_EXE);
  CScriptedServer server(CServerScript::OneReply(head + "-foo-\n"));
  CProgramResult run = RunIn(sandbox, {server.Url("/page"), "-head"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(head, run.m_Out);
}

// One chunk far beyond any buffer is stored whole, to a file and to the
// console, however the server writes it.
TEST_F(ExactReading, AChunkOfAnySizeStreams) {
  const std::string body = Pattern(20 * 1024 * 1024);
  char size[32];
  snprintf(size, sizeof(size), "%zx\r\n", body.size());
  const std::string reply = ChunkedHead() + size + body + "\r\n0\r\n\r\n";
  CProgramSandbox sandbox(ZELVORA_EXE);
  {
    CScriptedServer server(CServerScript::OneReply(reply));
    CProgramResult run = RunIn(sandbox, {server.Url("/big"), "-o", "big.bin"});
    EXPECT_EQ(1, run.m_ExitCode);
    EXPECT_TRUE(sandbox.ReadFile("big.bin") == body);
  }
  CScriptedServer server(CServerScript{{Exchange().SendInPieces(reply, 1000000, 1)}});
  CProgramResult run = RunIn(sandbox, {server.Url("/big")});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(ChunkedHead().size() + body.size(), run.m_Out.size());
  EXPECT_TRUE(run.m_Out.compare(ChunkedHead().size(), std::string::npos, body) == 0);
}

}  // namespace
