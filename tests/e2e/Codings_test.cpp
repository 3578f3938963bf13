// Content-Encoding lists against the built program: the codings are undone
// in turn wherever the body goes (a file, a pipe, the console), a coding the
// program does not know keeps the body as sent, and -compress and -origin
// keep it as sent under their own names.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e/E2e.h"

namespace {

// Where a run puts the body.
enum Destination { TO_FILE, TO_FILE_CHUNKED, TO_PIPE_CHUNKED, TO_CONSOLE };

const char* const kDestinationNames[] = {"file", "file, chunked", "pipe, chunked", "console"};

// `header`: the Content-Encoding lines, each ended by CR LF.
std::string ReplyWith(Destination destination, const std::string& header, const std::string& body) {
  // Small chunks: the decoders meet their input a few bytes at a time.
  if (destination == TO_FILE_CHUNKED || destination == TO_PIPE_CHUNKED)
    return ChunkedOk(body, header, 7);
  return Ok(body, header);
}

std::string Reply(Destination destination, const std::string& coding, const std::string& body) {
  return ReplyWith(destination, "Content-Encoding: " + coding + "\r\n", body);
}

// What one run printed, the exit value, and what reached the file or pipe.
struct Outcome {
  int m_ExitCode;
  std::string m_Out;
  std::string m_Stored;
  std::vector<std::string> m_Files;
  // The path the body went to ("" for the console).
  std::string m_Target;
};

// The same for an answer the server sends as `answer` says.
Outcome RunTo(Destination destination, const CExchange& answer,
              const std::vector<std::string>& options = {}) {
  CProgramSandbox sandbox(ZELVORA_EXE);
  CScriptedServer server(CServerScript{{answer}});
  std::vector<std::string> args = {server.Url("/t")};
  std::string target;
  int reader = -1;
  if (destination == TO_PIPE_CHUNKED) {
    const std::string fifo = sandbox.File("fifo");
    EXPECT_EQ(0, mkfifo(fifo.c_str(), 0600));
    // Opened first, so the program's open does not wait; every body here
    // fits the pipe, so its writes do not wait either.
    reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    EXPECT_GE(reader, 0);
    target = fifo;
  } else if (destination != TO_CONSOLE) {
    target = sandbox.File("out.txt");
  }
  if (!target.empty()) args.insert(args.end(), {"-o", target});
  args.insert(args.end(), options.begin(), options.end());
  CProgramResult run = RunIn(sandbox, args);
  Outcome outcome{run.m_ExitCode, run.m_Out, "", sandbox.Files(), target};
  if (reader >= 0) {
    char block[8192];
    for (ssize_t n; (n = read(reader, block, sizeof(block))) > 0;)
      outcome.m_Stored.append(block, static_cast<size_t>(n));
    close(reader);
  } else if (destination != TO_CONSOLE && sandbox.Exists("out.txt")) {
    outcome.m_Stored = sandbox.ReadFile("out.txt");
  }
  return outcome;
}

Outcome RunTo(Destination destination, const std::string& reply,
              const std::vector<std::string>& options = {}) {
  return RunTo(destination, Exchange().Reply(reply), options);
}

TEST(Codings, ListsAreUndoneInTurnWhereverTheBodyGoes) {
  const std::string text = Pattern(5000);
  const std::string damaged = "not decoded";
  struct Case {
    const char* name;
    const char* coding;
    std::string body;
    // The bytes stored or shown; `damaged` for a body that cannot be decoded.
    std::string expected;
  } cases[] = {
      {"x-gzip is gzip", "x-gzip", Gzip(text), text},
      {"identity entries are no coding", "gzip, identity", Gzip(text), text},
      {"two codings", "deflate, gzip", Gzip(RawDeflate(text)), text},
      {"three entries", "deflate, identity, gzip", Gzip(ZlibDeflate(text)), text},
      {"case and white space", "GZip ,\tDEFLATE", ZlibDeflate(Gzip(text)), text},
      {"unknown coding kept as sent", "br", "bytes as sent", "bytes as sent"},
      {"a list holding an unknown coding kept as sent", "gzip, br", Gzip(text), Gzip(text)},
      {"bytes after a deflate stream", "deflate", RawDeflate(text) + "xyz", damaged},
      {"inner coding damaged", "deflate, gzip", Gzip("not deflate data"), damaged},
  };
  for (const Case& c : cases) {
    for (Destination destination : {TO_FILE, TO_FILE_CHUNKED, TO_PIPE_CHUNKED, TO_CONSOLE}) {
      SCOPED_TRACE(std::string(c.name) + ", " + kDestinationNames[destination]);
      const std::string reply = Reply(destination, c.coding, c.body);
      const Outcome run = RunTo(destination, reply);
      const bool ok = c.expected != damaged;
      EXPECT_EQ(ok ? 1 : 0, run.m_ExitCode);
      std::string said;
      if (destination == TO_CONSOLE) {
        said = ok ? c.expected : "Error: The " + std::string(c.coding) + " body could not be decoded.\r\n";
      } else {
        said = ok ? "Download: " + run.m_Target + "\r\n"
                  : "Error: The " + std::string(c.coding) + " body could not be decoded; nothing was stored.\r\n";
        EXPECT_EQ(ok ? c.expected : "", run.m_Stored);
      }
      EXPECT_EQ(HeadOf(reply) + said, run.m_Out);
      if (destination == TO_FILE || destination == TO_FILE_CHUNKED) {
        std::vector<std::string> files = {"zelvora"};
        if (ok) files.insert(files.begin(), "out.txt");
        EXPECT_EQ(files, run.m_Files);
      }
    }
  }
}

// Nothing may follow a deflate stream, with or without its zlib wrapper,
// also when the bytes after it come in a piece of their own, after the
// stream's end was decoded: the body is refused wherever it goes.
TEST(Codings, BytesAfterADeflateStreamAreRefused) {
  const std::string text = Pattern(5000);
  const std::string streams[] = {RawDeflate(text), ZlibDeflate(text)};
  for (const std::string& stream : streams) {
    for (int later = 0; later < 2; ++later) {
      for (Destination destination : {TO_FILE, TO_FILE_CHUNKED, TO_PIPE_CHUNKED, TO_CONSOLE}) {
        SCOPED_TRACE(std::string(&stream == &streams[0] ? "raw" : "zlib") +
                     (later ? ", later piece, " : ", same piece, ") +
                     kDestinationNames[destination]);
        const bool chunked = destination == TO_FILE_CHUNKED || destination == TO_PIPE_CHUNKED;
        char size[16];
        snprintf(size, sizeof(size), "%zx\r\n", stream.size());
        const std::string coding = "Content-Encoding: deflate\r\n";
        const std::string head =
            chunked ? ChunkedResponse("200 OK", coding, "") : HeadOf(Ok(stream + "xyz", coding));
        const std::string first = chunked ? size + stream + "\r\n" : stream;
        const std::string rest = chunked ? std::string("3\r\nxyz\r\n0\r\n\r\n") : "xyz";
        const Outcome run =
            RunTo(destination, later ? Exchange().Send(head + first).Pause(200).Send(rest)
                                     : Exchange().Send(head + first + rest));
        EXPECT_EQ(0, run.m_ExitCode);
        const std::string said =
            destination == TO_CONSOLE
                ? "Error: The deflate body could not be decoded.\r\n"
                : "Error: The deflate body could not be decoded; nothing was stored.\r\n";
        EXPECT_EQ(head + said, run.m_Out);
        if (destination != TO_CONSOLE) {
          EXPECT_EQ("", run.m_Stored);
        }
      }
    }
  }
}

// A list sent over several lines is the same list on one line: every line
// counts, in the order sent, an empty one adding nothing.
TEST(Codings, ListOverSeveralLinesIsOneList) {
  const std::string text = Pattern(4000);
  const struct {
    const char* lines;
    std::string body;
  } cases[] = {
      {"Content-Encoding: identity\r\nContent-Encoding: gzip\r\n", Gzip(text)},
      {"Content-Encoding:\r\nContent-Encoding: gzip\r\n", Gzip(text)},
      {"content-encoding: gzip\r\nContent-Encoding: identity\r\n", Gzip(text)},
      {"Content-Encoding: deflate\r\nContent-Encoding: gzip\r\n", Gzip(RawDeflate(text))},
      {"Content-Encoding: gzip\r\ncontent-encoding: deflate\r\n", ZlibDeflate(Gzip(text))},
  };
  for (const auto& c : cases) {
    for (Destination destination : {TO_FILE, TO_FILE_CHUNKED, TO_PIPE_CHUNKED, TO_CONSOLE}) {
      SCOPED_TRACE(std::string(c.lines) + kDestinationNames[destination]);
      const std::string reply = ReplyWith(destination, c.lines, c.body);
      const Outcome run = RunTo(destination, reply);
      EXPECT_EQ(1, run.m_ExitCode);
      if (destination == TO_CONSOLE) {
        EXPECT_EQ(HeadOf(reply) + text, run.m_Out);
      } else {
        EXPECT_EQ(HeadOf(reply) + "Download: " + run.m_Target + "\r\n", run.m_Out);
        EXPECT_EQ(text, run.m_Stored);
      }
    }
  }
  // -compress names the file for the outermost coding of the whole list.
  const struct {
    const char* lines;
    std::string body;
    const char* file;
  } kept[] = {
      {"Content-Encoding: deflate\r\ncontent-encoding: gzip\r\n", Gzip(RawDeflate(text)),
       "out.txt.gzip"},
      {"Content-Encoding: gzip\r\nContent-Encoding: deflate\r\n", RawDeflate(Gzip(text)),
       "out.txt.deflate"},
      {"Content-Encoding: gzip\r\nContent-Encoding: identity\r\n", Gzip(text), "out.txt.gzip"},
  };
  for (const auto& c : kept) {
    SCOPED_TRACE(c.lines);
    CProgramSandbox sandbox(ZELVORA_EXE);
    CScriptedServer server(CServerScript::OneReply(Ok(c.body, c.lines)));
    CProgramResult run = RunIn(sandbox, {server.Url("/t"), "-o", "out.txt", "-compress"});
    EXPECT_EQ(1, run.m_ExitCode);
    EXPECT_EQ(c.body, sandbox.ReadFile(c.file));
  }
}

// Kept as sent, a body is named for its outermost coding: the last in the
// list that is not identity.
TEST(Codings, CompressAndOriginKeepTheBodyAsSent) {
  const std::string text = Pattern(3000);
  struct Case {
    const char* coding;
    std::string body;
    std::vector<std::string> options;
    const char* file;
  } cases[] = {
      {"deflate, gzip", Gzip(RawDeflate(text)), {"-compress"}, "out.txt.gzip"},
      {"gzip, deflate", RawDeflate(Gzip(text)), {"-compress"}, "out.txt.deflate"},
      {"x-gzip", Gzip(text), {"-compress"}, "out.txt.gzip"},
      {"gzip, identity", Gzip(text), {"-compress"}, "out.txt.gzip"},
      {"gzip, br", Gzip(text), {"-compress"}, "out.txt"},
      {"deflate, gzip", Gzip(RawDeflate(text)), {"-origin"}, "out.txt.origin"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.coding) + " " + c.options[0]);
    CProgramSandbox sandbox(ZELVORA_EXE);
    const std::string reply = Ok(c.body, "Content-Encoding: " + std::string(c.coding) + "\r\n");
    CScriptedServer server(CServerScript::OneReply(reply));
    std::vector<std::string> args = {server.Url("/t"), "-o", "out.txt"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    CProgramResult run = RunIn(sandbox, args);
    EXPECT_EQ(1, run.m_ExitCode);
    EXPECT_EQ(HeadOf(reply) + "Download: " + sandbox.File(c.file) + "\r\n", run.m_Out);
    EXPECT_EQ(c.body, sandbox.ReadFile(c.file));
    std::vector<std::string> files = {c.file, "zelvora"};
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, sandbox.Files());
  }
  // The console, too, shows the bytes as sent under -compress.
  CProgramSandbox sandbox(ZELVORA_EXE);
  const std::string reply = Ok(Gzip(RawDeflate(text)), "Content-Encoding: deflate, gzip\r\n");
  CScriptedServer server(CServerScript::OneReply(reply));
  CProgramResult run = RunIn(sandbox, {server.Url("/t"), "-compress"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(reply, run.m_Out);
}

}  // namespace
