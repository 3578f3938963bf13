// What a download does to the user's files off the happy path: a backup left
// by a killed run, links and pipes as the output, interrupts, and a disk that
// fills up while the decoded body is written.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

#include "e2e/E2e.h"

namespace {

std::string LinkTarget(const std::string& path) {
  char target[4096];
  ssize_t length = readlink(path.c_str(), target, sizeof(target));
  return length < 0 ? std::string() : std::string(target, static_cast<size_t>(length));
}

bool IsLink(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

class OutputSafety : public ::testing::Test {
 protected:
  OutputSafety() : m_Sandbox(ZELVORA_EXE) {}
  CProgramSandbox m_Sandbox;
};

TEST_F(OutputSafety, BackupLeftByAKilledRunStopsTheRunBeforeAnyRequest) {
  const std::vector<std::string> extras[] = {{}, {"-append"}};
  for (const std::vector<std::string>& extra : extras) {
    SCOPED_TRACE(extra.empty() ? "plain" : extra[0]);
    CProgramSandbox sandbox(ZELVORA_EXE);
    sandbox.WriteFile("out.html", "partial download");
    sandbox.WriteFile("out.html_zelvor.bk", "the only copy");
    CScriptedServer server(CServerScript::AlwaysReply(Ok("new body")));
    std::vector<std::string> args = {server.Url("/page"), "-o", "out.html"};
    args.insert(args.end(), extra.begin(), extra.end());
    CProgramResult run = RunIn(sandbox, args);
    EXPECT_EQ(0, run.m_ExitCode);
    const std::string out = sandbox.File("out.html");
    EXPECT_EQ("Error: \"" + out + "_zelvor.bk\" is left from a run that did not finish and may "
              "hold the only copy of \"" + out + "\". Nothing was downloaded: move or delete it, "
              "then run again.\r\n",
              run.m_Out);
    EXPECT_EQ("partial download", sandbox.ReadFile("out.html"));
    EXPECT_EQ("the only copy", sandbox.ReadFile("out.html_zelvor.bk"));
    server.Stop();
    EXPECT_EQ(0u, server.RequestCount());
  }
}

TEST_F(OutputSafety, LinkToAFileOrToNothingIsRefusedAndStaysAsItIs) {
  m_Sandbox.WriteFile("target.txt", "mine");
  struct Case {
    const char* name;
    std::string target;
  } cases[] = {
      {"file", m_Sandbox.File("target.txt")},
      {"nothing", m_Sandbox.File("missing.txt")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string link = m_Sandbox.File(std::string("link-") + c.name);
    ASSERT_EQ(0, symlink(c.target.c_str(), link.c_str()));
    CScriptedServer server(CServerScript::AlwaysReply(Ok("new body")));
    CProgramResult run = RunIn(m_Sandbox, {server.Url("/page"), "-o", link});
    EXPECT_EQ(0, run.m_ExitCode);
    EXPECT_EQ("Error: \"" + link + "\" is a symbolic link. Nothing was downloaded: give the file "
              "it points to, or another name.\r\n",
              run.m_Out);
    EXPECT_TRUE(IsLink(link));
    EXPECT_EQ(c.target, LinkTarget(link));
    EXPECT_EQ("mine", m_Sandbox.ReadFile("target.txt"));
    EXPECT_FALSE(m_Sandbox.Exists("missing.txt"));
    server.Stop();
    EXPECT_EQ(0u, server.RequestCount());
  }
  EXPECT_FALSE(m_Sandbox.Exists("link-file_zelvor.bk"));
}

// A pipe gets the bytes a file would end up holding: de-chunked, decoded
// unless -compress asks otherwise. Written straight or through a
// link, which stays.
TEST_F(OutputSafety, PipeGetsWhatAFileWouldHold) {
  const std::string text = Pattern(20000);
  const std::string gz = Gzip(text);
  const std::string gzHeader = "Content-Encoding: gzip\r\n";
  struct Case {
    const char* name;
    std::string reply;
    std::vector<std::string> options;
    std::string expected;
  } cases[] = {
      {"plain", Ok(text), {}, text},
      {"chunked", ChunkedOk(text), {}, text},
      {"gzip", Ok(gz, gzHeader), {}, text},
      {"chunked gzip", ChunkedOk(gz, gzHeader), {}, text},
      {"deflate", Ok(RawDeflate(text), "Content-Encoding: deflate\r\n"), {}, text},
      {"compress", ChunkedOk(gz, gzHeader), {"-compress"}, gz},
      {"two gzip members", ChunkedOk(gz + Gzip("tail"), gzHeader), {}, text + "tail"},
      {"other coding", Ok("bytes as sent", "Content-Encoding: br\r\n"), {}, "bytes as sent"},
  };
  const std::string fifo = m_Sandbox.File("fifo");
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  const std::string link = m_Sandbox.File("link");
  ASSERT_EQ(0, symlink(fifo.c_str(), link.c_str()));
  for (const Case& c : cases) {
    for (const std::string& path : {fifo, link}) {
      SCOPED_TRACE(std::string(c.name) + " " + path);
      // Opened first, so the program's open does not wait; every body here
      // fits the pipe, so its writes do not wait either.
      int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
      ASSERT_GE(reader, 0);
      CScriptedServer server(CServerScript::OneReply(c.reply));
      std::vector<std::string> args = {server.Url("/t"), "-o", path};
      args.insert(args.end(), c.options.begin(), c.options.end());
      CProgramResult run = RunIn(m_Sandbox, args);
      std::string got;
      char block[8192];
      for (ssize_t n; (n = read(reader, block, sizeof(block))) > 0;)
        got.append(block, static_cast<size_t>(n));
      close(reader);
      EXPECT_EQ(1, run.m_ExitCode);
      EXPECT_EQ(HeadOf(c.reply) + "Download: " + path + "\r\n",
                run.m_Out);
      EXPECT_EQ(c.expected, got);
      EXPECT_TRUE(IsLink(link));
      EXPECT_EQ(fifo, LinkTarget(link));
    }
  }
  std::vector<std::string> files = {"fifo", "link", "zelvora"};
  EXPECT_EQ(files, m_Sandbox.Files());
}

TEST_F(OutputSafety, StandardOutputAsTheOutputGetsTheBodyInItsPlace) {
  const std::string text = Pattern(3000);
  const std::string reply = ChunkedOk(Gzip(text), "Content-Encoding: gzip\r\n");
  const std::string head = HeadOf(reply);
  // Standard output a pipe.
  {
    CScriptedServer server(CServerScript::OneReply(reply));
    CProgramResult run = RunIn(m_Sandbox, {server.Url("/t"), "-o", "/dev/stdout"});
    EXPECT_EQ(1, run.m_ExitCode);
    EXPECT_EQ(head + text + "Download: /dev/stdout\r\n", run.m_Out);
  }
  // Standard output a file, by a shell's redirection, new or appended to.
  const std::string redirects[] = {">", ">>"};
  for (const std::string& redirect : redirects) {
    SCOPED_TRACE(redirect);
    m_Sandbox.WriteFile("shown.txt", "before\n");
    CScriptedServer server(CServerScript::OneReply(reply));
    const std::string command = "cd '" + m_Sandbox.Dir() + "' && timeout 20 ./zelvora '" +
                                server.Url("/t") + "' -o /dev/stdout " + redirect + " shown.txt";
    const int status = system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(1, WEXITSTATUS(status));
    const std::string start = redirect == ">" ? "" : "before\n";
    EXPECT_EQ(start + head + text + "Download: /dev/stdout\r\n", m_Sandbox.ReadFile("shown.txt"));
    EXPECT_FALSE(m_Sandbox.Exists("shown.txt_zelvor.bk"));
  }
  EXPECT_TRUE(IsLink("/dev/stdout"));
  EXPECT_FALSE(TempDir::Exists("/dev/stdout_zelvor.bk"));
}

// The README's recipe for the body alone in a pipe: the head and the messages
// go to the standard output, which the recipe throws away.
TEST_F(OutputSafety, BodyAloneReachesAnotherProgramThroughTheStandardError) {
  const std::string text = Pattern(3000);
  const std::string replies[] = {Ok(text), ChunkedOk(Gzip(text), "Content-Encoding: gzip\r\n")};
  m_Sandbox.WriteFile("want.bin", text);
  ASSERT_EQ(0, system(("cd '" + m_Sandbox.Dir() + "' && sha256sum < want.bin > want.txt").c_str()));
  for (const std::string& reply : replies) {
    CScriptedServer server(CServerScript::OneReply(reply));
    const std::string command = "cd '" + m_Sandbox.Dir() + "' && timeout 20 ./zelvora '" +
                                server.Url("/t") +
                                "' -o /dev/stderr 2>&1 >/dev/null | sha256sum > got.txt";
    const int status = system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(m_Sandbox.ReadFile("want.txt"), m_Sandbox.ReadFile("got.txt"));
  }
}

// The README's check of that recipe from a script: a plain body cut short
// has reached the pipe up to the cut, a compressed one not at all, an error
// status sends nothing; only the exit value and the "Download:" line tell.
TEST_F(OutputSafety, ScriptTellsAWholeBodyInAPipeFromACutOne) {
  const std::string text = Pattern(6000);
  const std::string gzip = Gzip(text);
  const struct {
    const char* name;
    CServerScript script;
    std::string piped;
    bool whole;
  } cases[] = {
      {"whole", CServerScript::OneReply(Ok(text)), text, true},
      {"cut by length",
       CServerScript{{Exchange().Send(HeadOf(Ok(text)) + text.substr(0, 2500)).Close()}},
       text.substr(0, 2500), false},
      {"cut chunked",
       CServerScript{{Exchange()
                          .Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
                                Chunked(text, 700).substr(0, 2 * 707))
                          .Close()}},
       text.substr(0, 1400), false},
      {"cut gzip",
       CServerScript{{Exchange()
                          .Send(HeadOf(Ok(gzip, "Content-Encoding: gzip\r\n")) +
                                gzip.substr(0, gzip.size() / 2))
                          .Close()}},
       "", false},
      {"404", CServerScript::OneReply(Response("404 Not Found", "", "not here")), "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_Sandbox.WriteFile("want.bin", c.piped);
    ASSERT_EQ(0, system(("cd '" + m_Sandbox.Dir() + "' && sha256sum < want.bin > want.txt").c_str()));
    CScriptedServer server(c.script);
    m_Sandbox.WriteFile("check.sh",
                        "timeout 20 ./zelvora '" + server.Url("/data.json") +
                            "' -o /dev/stderr 2>&1 >zelvora.log | sha256sum\n"
                            "[ \"${PIPESTATUS[0]}\" = 1 ] && grep -q \"^Download: \" zelvora.log"
                            " || echo \"not whole\" >&2\n");
    const int status =
        system(("cd '" + m_Sandbox.Dir() + "' && bash check.sh > got.txt 2> err.txt").c_str());
    EXPECT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(m_Sandbox.ReadFile("want.txt"), m_Sandbox.ReadFile("got.txt"));
    EXPECT_EQ(c.whole ? "" : "not whole\n", m_Sandbox.ReadFile("err.txt"))
        << m_Sandbox.ReadFile("zelvora.log");
  }
}

// Interrupted while the body comes: the run ends as a failed transfer does.
TEST_F(OutputSafety, InterruptBringsTheEarlierFileBack) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
  const int signals[] = {SIGINT, SIGTERM, SIGHUP};
  for (int signalNumber : signals) {
    SCOPED_TRACE(signalNumber);
    CProgramSandbox sandbox(ZELVORA_EXE);
    sandbox.WriteFile("out.bin", "earlier");
    // The head is printed when it arrives: the body is under way then.
    sandbox.SetSignalWhen(signalNumber, [](const std::string& out) {
      return out.find("\r\n\r\n") != std::string::npos;
    });
    CScriptedServer server(
        CServerScript{{Exchange().Send(head + Pattern(5000)).Pause(20000).Send(Pattern(95000))}});
    CProgramResult run = RunIn(sandbox, {server.Url("/big"), "-o", "out.bin"});
    EXPECT_EQ(0, run.m_ExitCode);
    EXPECT_EQ(0u, run.m_Out.find(head)) << run.m_Out;
    EXPECT_NE(std::string::npos, run.m_Out.find("Error: HTTP Session failed")) << run.m_Out;
    EXPECT_EQ("earlier", sandbox.ReadFile("out.bin"));
    std::vector<std::string> files = {"out.bin", "zelvora"};
    EXPECT_EQ(files, sandbox.Files());
  }
}

TEST_F(OutputSafety, InterruptedBatchStopsAndLeavesNoPartialFile) {
  const std::string head = "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 100000\r\n\r\n";
  CScriptedServer server(CServerScript{
      {Exchange().Reply(Ok("first", "Connection: Keep-Alive\r\n")),
       Exchange().Send(head + Pattern(5000)).Pause(20000).Send(Pattern(95000))}});
  // The second request is in: its body is under way.
  m_Sandbox.SetSignalWhen(SIGINT, [&server](const std::string&) {
    return server.RequestCount() >= 2;
  });
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/b[1-3]"), "-O"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ("Download \"b1\"......ok\r\nDownload \"b2\"......failed.\r\n", run.m_Out);
  EXPECT_EQ("first", m_Sandbox.ReadFile("b1"));
  std::vector<std::string> files = {"b1", "zelvora"};
  EXPECT_EQ(files, m_Sandbox.Files());
  server.Stop();
  EXPECT_EQ(2u, server.RequestCount());
}

// Two interrupts end the program at once, whenever the second comes: the
// file under way, which this run made, goes with it; an earlier file's
// backup stays for the next run to report. No file is left that holds only
// part of its body.
TEST_F(OutputSafety, SecondInterruptLeavesNoPartialFile) {
  const std::string head = "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 1000000\r\n\r\n";
  const int delaysUs[] = {0, 0, 200, 500, 1000, 3000, 10000, 50000};
  for (int i = 0; i < 8; ++i) {
    const bool batch = i % 2 == 1;
    // Two signals of one kind sent together may arrive as one.
    const int second = i % 4 < 2 ? SIGTERM : SIGINT;
    SCOPED_TRACE(std::string(batch ? "batch" : "single") + ", second signal after " +
                 std::to_string(delaysUs[i]) + " us");
    CProgramSandbox sandbox(ZELVORA_EXE);
    const std::string underWay = batch ? "b2" : "out.bin";
    if (!batch) sandbox.WriteFile("out.bin", "earlier");
    // Enough for the program to write part of it before the pause.
    CExchange slow = Exchange().Send(head + Pattern(300000)).Pause(20000).Send(Pattern(700000));
    CScriptedServer server(batch ? CServerScript{{Exchange().Reply(Ok("first", "Connection: Keep-Alive\r\n")), slow}}
                                 : CServerScript{{slow}});
    // Part of the body is in the file.
    sandbox.SetSignalWhen(SIGINT, [&sandbox, underWay](const std::string&) {
      return sandbox.ReadFile(underWay).size() >= 100000;
    });
    sandbox.SetSecondSignal(second, delaysUs[i]);
    const std::vector<std::string> args =
        batch ? std::vector<std::string>{server.Url("/b[1-3]"), "-O"}
              : std::vector<std::string>{server.Url("/big"), "-o", "out.bin"};
    CProgramResult run = sandbox.Run(args, "", 20000);
    ASSERT_TRUE(run.m_Started);
    EXPECT_FALSE(run.m_TimedOut);
    // Only whole files: the earlier one, its backup, or the first of the batch.
    std::vector<std::string> left;
    for (const std::string& name : sandbox.Files()) {
      if (name == "zelvora") continue;
      left.push_back(name + " " + std::to_string(sandbox.ReadFile(name).size()));
    }
    if (batch) {
      EXPECT_EQ((std::vector<std::string>{"b1 5"}), left);
    } else {
      // Whether the earlier file was back before the second signal came.
      const std::vector<std::string> restored = {"out.bin 7"}, kept = {"out.bin_zelvor.bk 7"};
      EXPECT_TRUE(left == restored || left == kept) << ::testing::PrintToString(left);
    }
  }
}

// A write that fails (a device that takes nothing, a disk that fills up)
// is a file error whatever the body's coding, never a body that did not
// decode; the earlier file stays as it was.
TEST_F(OutputSafety, FailedWriteIsAFileErrorWhateverTheCoding) {
  // Past the disk's room decoded, within it as sent.
  const std::string text(1 << 20, 'z');
  const struct {
    const char* name;
    std::string reply;
  } bodies[] = {
      {"plain", Ok(text)},
      {"gzip", Ok(Gzip(text), "Content-Encoding: gzip\r\n")},
      {"chunked deflate", ChunkedOk(RawDeflate(text), "Content-Encoding: deflate\r\n")},
  };
  const char* const outputs[] = {"/dev/full", "out.txt"};
  for (const auto& body : bodies) {
    for (const char* output : outputs) {
      const bool disk = std::string(output) == "out.txt";
      SCOPED_TRACE(std::string(body.name) + " to " + output);
      CProgramSandbox sandbox(ZELVORA_EXE);
      if (disk) {
        sandbox.WriteFile("out.txt", "earlier");
        sandbox.SetFileSizeLimit(256 * 1024);
      }
      CScriptedServer server(CServerScript::AlwaysReply(body.reply));
      // The second try meets the state the first one left.
      for (int attempt = 0; attempt < (disk ? 2 : 1); ++attempt) {
        SCOPED_TRACE(attempt);
        CProgramResult run = RunIn(sandbox, {server.Url("/t"), "-o", output});
        EXPECT_EQ(0, run.m_ExitCode);
        EXPECT_EQ(HeadOf(body.reply) + "Error: HTTP Session failed, File operation failed.",
                  run.m_Out);
        if (disk) {
          EXPECT_EQ("earlier", sandbox.ReadFile("out.txt"));
        }
        const std::vector<std::string> files =
            disk ? std::vector<std::string>{"out.txt", "zelvora"} : std::vector<std::string>{"zelvora"};
        EXPECT_EQ(files, sandbox.Files());
      }
    }
  }
}

// A second run on a path that a first one is writing, in either mode, is
// refused before it changes anything or sends a request; the first run
// ends as it would alone.
TEST_F(OutputSafety, PathAnotherRunIsWritingIsRefused) {
  struct Case {
    const char* name;
    std::string earlier;  // the file at the path before the first run ("" for none)
    std::vector<std::string> first;
    std::vector<std::string> second;
    std::string reply;  // the first run's answer
    std::string after;  // the file once the first run is done
  } cases[] = {
      {"new file", "", {}, {}, Ok("first body"), "first body"},
      {"new file, the second under -append", "", {}, {"-append"}, Ok("first body"), "first body"},
      {"earlier file put aside", "earlier", {}, {}, Ok("first body"), "first body"},
      {"earlier file resumed", "abc", {"-append"}, {},
       Response("206 Partial Content", "Content-Range: bytes 3-5/6\r\n", "def"), "abcdef"},
      {"earlier file resumed, both under -append", "abc", {"-append"}, {"-append"},
       Response("206 Partial Content", "Content-Range: bytes 3-5/6\r\n", "def"), "abcdef"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    if (!c.earlier.empty()) sandbox.WriteFile("out.bin", c.earlier);
    // The first run's answer waits until the second run is over; the first
    // run holds its file from before its request.
    std::promise<void> secondDone;
    std::shared_future<void> released = secondDone.get_future().share();
    const std::string reply = c.reply;
    CScriptedServer firstServer(CServerScript::Computed([released, reply](const std::string&) {
      released.wait_for(std::chrono::seconds(15));
      return Exchange().Reply(reply);
    }));
    std::vector<std::string> firstArgs = {firstServer.Url("/f"), "-o", "out.bin"};
    firstArgs.insert(firstArgs.end(), c.first.begin(), c.first.end());
    CProgramResult first;
    std::thread firstRun([&] { first = RunIn(sandbox, firstArgs); });
    const bool asked = firstServer.WaitForRequests(1, 10000);
    EXPECT_TRUE(asked);
    CScriptedServer secondServer(CServerScript::AlwaysReply(Ok("second body")));
    std::vector<std::string> secondArgs = {secondServer.Url("/f"), "-o", "out.bin"};
    secondArgs.insert(secondArgs.end(), c.second.begin(), c.second.end());
    CProgramResult second = RunIn(sandbox, secondArgs);
    secondDone.set_value();
    firstRun.join();
    EXPECT_EQ(0, second.m_ExitCode);
    EXPECT_EQ("Error: \"" + sandbox.File("out.bin") + "\" is being written by another run. "
              "Nothing was downloaded and nothing was changed.\r\n",
              second.m_Out);
    secondServer.Stop();
    EXPECT_EQ(0u, secondServer.RequestCount());
    EXPECT_EQ(1, first.m_ExitCode);
    EXPECT_EQ(HeadOf(c.reply) + "Download: " + sandbox.File("out.bin") + "\r\n", first.m_Out);
    EXPECT_EQ(c.after, sandbox.ReadFile("out.bin"));
    EXPECT_EQ((std::vector<std::string>{"out.bin", "zelvora"}), sandbox.Files());
  }
}

// Something takes the path while the body comes (here a folder in place of
// the file the run made): the earlier file, aside since before the request,
// cannot come back. Whatever the answer, the run fails with a line naming
// the file that holds it, never "Download:", and the file is kept.
TEST_F(OutputSafety, EarlierFileThatCannotComeBackIsNamed) {
  const std::string elsewhere = "Content-Disposition: attachment; filename=\"x.txt\"\r\n";
  struct Case {
    const char* name;
    CExchange answer;
    std::string head;  // what is printed before the line
  } cases[] = {
      {"200", Exchange().Reply(Ok("new body")), HeadOf(Ok("new body"))},
      {"200 under another name", Exchange().Reply(Ok("new body", elsewhere)),
       HeadOf(Ok("new body", elsewhere))},
      {"404", Exchange().Reply(Response("404 Not Found", "", "gone")),
       HeadOf(Response("404 Not Found", "", "gone"))},
      {"cut off", Exchange().Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart").Close(),
       "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"
       "Error: HTTP Session failed, Remote host disconnected.\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    sandbox.WriteFile("report", "earlier");
    const std::string path = sandbox.File("report");
    const CExchange answer = c.answer;
    CScriptedServer server(CServerScript::Computed([path, answer](const std::string&) {
      unlink(path.c_str());
      mkdir(path.c_str(), 0755);
      return answer;
    }));
    CProgramResult run = RunIn(sandbox, {server.Url("/files/report"), "-O"});
    EXPECT_EQ(0, run.m_ExitCode);
    EXPECT_EQ(c.head + "Error: The earlier file could not be put back at \"" + path +
                  "\"; it is kept as \"" + path + "_zelvor.bk\". Move it back yourself.\r\n",
              run.m_Out);
    EXPECT_EQ("earlier", sandbox.ReadFile("report_zelvor.bk"));
    EXPECT_TRUE(IsDirectory(path));
    // The next run stops on it, naming both.
    CProgramResult next = RunIn(sandbox, {server.Url("/files/report"), "-O"});
    EXPECT_EQ(0, next.m_ExitCode);
    EXPECT_NE(std::string::npos, next.m_Out.find("\"" + path + "_zelvor.bk\" is left from a run"))
        << next.m_Out;
  }
}

// A second interrupt removes the half file the run made, however the -o
// path spells its folder ("\" is read as "/").
TEST_F(OutputSafety, SecondInterruptRemovesTheHalfFileHoweverItsPathIsSpelt) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n";
  const struct {
    const char* output;
    const char* file;
  } cases[] = {
      {"./d/f1.bin", "d/f1.bin"},
      {"./d\\f2.bin", "d/f2.bin"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.output);
    CProgramSandbox sandbox(ZELVORA_EXE);
    ASSERT_EQ(0, mkdir(sandbox.File("d").c_str(), 0755));
    CScriptedServer server(CServerScript{
        {Exchange().Send(head + Pattern(300000)).Pause(20000).Send(Pattern(700000))}});
    const std::string file = c.file;
    sandbox.SetSignalWhen(SIGINT, [&sandbox, file](const std::string&) {
      return sandbox.ReadFile(file).size() >= 100000;
    });
    sandbox.SetSecondSignal(SIGTERM, 0);
    CProgramResult run = sandbox.Run({server.Url("/big"), "-o", c.output}, "", 20000);
    ASSERT_TRUE(run.m_Started);
    EXPECT_FALSE(run.m_TimedOut);
    EXPECT_FALSE(sandbox.Exists(c.file));
    EXPECT_EQ((std::vector<std::string>{"d", "zelvora"}), sandbox.Files());
  }
}

}  // namespace
