// Bodies written to a file: the name chosen, the backup of an earlier file
// and its return, resumed files, decoded rewrites, and the files left behind.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>

#include "e2e/E2e.h"

namespace {

class OutputFile : public ::testing::Test {
 protected:
  OutputFile() : m_Sandbox(ZELVORA_EXE) {}
  std::string Download(const std::string& name) {
    return "Download: " + m_Sandbox.File(name) + "\r\n";
  }
  std::vector<std::string> Files(std::initializer_list<std::string> names) {
    std::vector<std::string> all(names);
    all.push_back("zelvora");
    std::sort(all.begin(), all.end());
    return all;
  }
  CProgramSandbox m_Sandbox;
};

TEST_F(OutputFile, NewFileHoldsTheBody) {
  std::string reply = Ok("new body");
  CScriptedServer server(CServerScript::OneReply(reply));
  // -head changes nothing for a download.
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/page"), "-o", "out.html", "-head"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(HeadOf(reply) + Download("out.html"), run.m_Out);
  EXPECT_EQ("new body", m_Sandbox.ReadFile("out.html"));
  server.Stop();
  EXPECT_EQ(PlainRequest("GET", "/page"), server.Request(0));
}

TEST_F(OutputFile, EarlierFileIsReplacedOnSuccessAndBackOnAnyOtherOutcome) {
  const std::string head100 = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n";
  struct Case {
    const char* name;
    CServerScript script;
    int exitCode;
    std::string file;
  } cases[] = {
      {"200", CServerScript::OneReply(Ok("new body")), 1, "new body"},
      {"404", CServerScript::OneReply(Response("404 Not Found", "", "gone")), 1, "earlier"},
      // No redirect is followed, and a 3xx body is never stored.
      {"302", CServerScript::OneReply(Response("302 Found", "Location: /other\r\n", "moved")), 1,
       "earlier"},
      {"failure", CServerScript{{Exchange().Send(head100 + "part").Close()}}, 0, "earlier"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_Sandbox.WriteFile("out.html", "earlier");
    CScriptedServer server(c.script);
    CProgramResult run = RunIn(m_Sandbox, {server.Url("/page"), "-o", "out.html"});
    EXPECT_EQ(c.exitCode, run.m_ExitCode);
    EXPECT_EQ(c.file, m_Sandbox.ReadFile("out.html"));
    EXPECT_EQ(Files({"out.html"}), m_Sandbox.Files());
    server.Stop();
    // The earlier file was moved aside before the request: no resume.
    EXPECT_EQ(PlainRequest("GET", "/page"), server.Request(0));
  }
}

TEST_F(OutputFile, StopsWhenTheEarlierFileCannotBeMovedAside) {
  m_Sandbox.WriteFile("out.html", "earlier");
  ASSERT_EQ(0, mkdir(m_Sandbox.File("out.html_zelvor.bk").c_str(), 0755));
  CScriptedServer server(CServerScript::AlwaysReply(Ok("new body")));
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/page"), "-o", "out.html"});
  EXPECT_EQ(0, run.m_ExitCode);
  EXPECT_EQ("Error: Output PathFile is not valid.\r\n", run.m_Out);
  EXPECT_EQ("earlier", m_Sandbox.ReadFile("out.html"));
  EXPECT_TRUE(IsDirectory(m_Sandbox.File("out.html_zelvor.bk")));
  server.Stop();
  EXPECT_EQ(0u, server.RequestCount());
}

TEST_F(OutputFile, DeviceAsOutputStaysInPlace) {
  const std::string gz = Gzip(Pattern(1000));
  const std::string replies[] = {Ok("body"), Response("404 Not Found", "", "gone"),
                                 Ok(gz, "Content-Encoding: gzip\r\n")};
  for (const std::string& reply : replies) {
    CScriptedServer server(CServerScript::OneReply(reply));
    CProgramResult run = RunIn(m_Sandbox, {server.Url("/x"), "-o", "/dev/null"});
    EXPECT_EQ(1, run.m_ExitCode);
    bool ok = reply.find("200 OK") != std::string::npos;
    EXPECT_EQ(HeadOf(reply) + (ok ? "Download: /dev/null\r\n" : ""), run.m_Out);
    struct stat st;
    ASSERT_EQ(0, stat("/dev/null", &st));
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_FALSE(TempDir::Exists("/dev/null_zelvor.bk"));
    EXPECT_FALSE(TempDir::Exists("/dev/null_zelvor.tmp"));
  }
  EXPECT_EQ(Files({}), m_Sandbox.Files());
}

TEST_F(OutputFile, AppendResumesAndNeverDropsTheEarlierBytes) {
  struct Case {
    const char* name;
    CServerScript script;
    int exitCode;
    std::string out;  // after the head
    std::string file;
  } cases[] = {
      {"206", CServerScript::OneReply(Response("206 Partial Content", "Content-Range: bytes 3-5/6\r\n", "def")), 1,
       "Download: @\r\n", "abcdef"},
      // A part that does not say it starts at the file's end is not appended.
      {"206 without Content-Range", CServerScript::OneReply(Response("206 Partial Content", "", "def")), 0,
       "Error: HTTP Session failed, Response format error.", "abc"},
      {"206 from the start", CServerScript::OneReply(Response("206 Partial Content", "Content-Range: bytes 0-2/6\r\n", "abc")), 0,
       "Error: HTTP Session failed, Response format error.", "abc"},
      // A compressed part is kept as it came: decoding it alone would replace
      // the earlier bytes with the part.
      {"206 gzip",
       CServerScript::OneReply(
           Response("206 Partial Content", "Content-Encoding: gzip\r\nContent-Range: bytes 3-40/41\r\n", Gzip("def"))),
       1, "Download: @\r\n", "abc" + Gzip("def")},
      // A whole new body replaces the file once it decoded whole; one that
      // does not decode leaves the earlier bytes as they were.
      {"200 gzip", CServerScript::OneReply(Response("200 OK", "Content-Encoding: gzip\r\n", Gzip("whole"))),
       1, "Download: @\r\n", "whole"},
      {"200 damaged gzip",
       CServerScript::OneReply(Response("200 OK", "Content-Encoding: gzip\r\n", Gzip("whole") + "x")), 0,
       "Error: The gzip body could not be decoded; nothing was stored.\r\n", "abc"},
      {"416", CServerScript::OneReply(Response("416 Range Not Satisfiable", "", "")), 1, "",
       "abc"},
      {"404", CServerScript::OneReply(Response("404 Not Found", "", "gone")), 1, "", "abc"},
      {"failure",
       CServerScript{{Exchange().Send("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 3-11/12\r\n"
                                       "Content-Length: 9\r\n\r\nde")
                          .Close()}},
       0, "Error: HTTP Session failed, Remote host disconnected.", "abc"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_Sandbox.WriteFile("part.bin", "abc");
    CScriptedServer server(c.script);
    CProgramResult run = RunIn(m_Sandbox, {server.Url("/part"), "-o", "part.bin", "-append"});
    EXPECT_EQ(c.exitCode, run.m_ExitCode);
    std::string out = c.out;
    if (out.find('@') != std::string::npos) out.replace(out.find('@'), 1, m_Sandbox.File("part.bin"));
    std::string shown = run.m_Out.substr(std::min(run.m_Out.size(), run.m_Out.find("\r\n\r\n") + 4));
    EXPECT_EQ(out, shown);
    // Whatever the engine appended stays; the earlier bytes are never lost
    // but to a whole new body.
    if (c.file != "whole") {
      EXPECT_EQ(0u, m_Sandbox.ReadFile("part.bin").find("abc"));
    }
    EXPECT_EQ(c.file, m_Sandbox.ReadFile("part.bin"));
    EXPECT_EQ(Files({"part.bin"}), m_Sandbox.Files());
    server.Stop();
    EXPECT_NE(std::string::npos, server.Request(0).find("\r\nRange: bytes=3-\r\n"));
  }
}

// With no Range sent, a 206 holds the file only when it is the whole
// resource: a part is refused, nothing of it stays, and an earlier file
// comes back with its exact bytes. A Range the user sends with -h is the
// user's own choice, and the part that answers it is stored.
TEST_F(OutputFile, PartThatNobodyAskedForIsNoFile) {
  const std::string tail(19000, 't');
  const std::string refused = "Error: HTTP Session failed, Response format error.";
  const char* kNone = nullptr;
  struct Case {
    const char* name;
    const char* earlier;  // the file before the run; kNone: no file
    std::vector<std::string> options;
    std::string range;  // the 206's Content-Range
    std::string body;
    int exitCode;
    std::string shown;  // after the head; @ is the path
    const char* after;  // the file after the run; kNone: no file
  } cases[] = {
      {"new file", kNone, {}, "bytes 1000-19999/20000", tail, 0, refused, kNone},
      {"earlier file and its backup", "earlier", {}, "bytes 1000-19999/20000", tail, 0, refused,
       "earlier"},
      {"a part from the start", "earlier", {}, "bytes 0-2/6", "abc", 0, refused, "earlier"},
      {"empty file under -append", "", {"-append"}, "bytes 1000-19999/20000", tail, 0, refused,
       ""},
      {"the whole resource", "earlier", {}, "bytes 0-2/3", "abc", 1, "Download: @\r\n", "abc"},
      {"the whole resource of unknown length", kNone, {}, "bytes 0-2/*", "abc", 1,
       "Download: @\r\n", "abc"},
      {"a Range of the user's", kNone, {"-h", "Range: bytes=1000-"}, "bytes 1000-19999/20000",
       tail, 1, "Download: @\r\n", tail.c_str()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unlink(m_Sandbox.File("out.bin").c_str());
    if (c.earlier) m_Sandbox.WriteFile("out.bin", c.earlier);
    CScriptedServer server(CServerScript::OneReply(
        Response("206 Partial Content", "Content-Range: " + c.range + "\r\n", c.body)));
    std::vector<std::string> args = {server.Url("/f"), "-o", "out.bin"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    CProgramResult run = RunIn(m_Sandbox, args);
    EXPECT_EQ(c.exitCode, run.m_ExitCode);
    std::string shown = c.shown;
    if (shown.find('@') != std::string::npos)
      shown.replace(shown.find('@'), 1, m_Sandbox.File("out.bin"));
    EXPECT_EQ(shown, run.m_Out.substr(std::min(run.m_Out.size(), run.m_Out.find("\r\n\r\n") + 4)));
    const bool there = m_Sandbox.Exists("out.bin");
    if (!c.after) {
      EXPECT_FALSE(there);
    } else {
      // An earlier file, the empty one too, stays exactly as it was.
      EXPECT_TRUE(there);
      EXPECT_EQ(c.after, m_Sandbox.ReadFile("out.bin"));
    }
    // Nothing beside it: no backup, no side file.
    EXPECT_EQ(there ? Files({"out.bin"}) : Files({}), m_Sandbox.Files());
    server.Stop();
    // Only the user asks for a part here: a new, empty or backed-up file is
    // fetched whole.
    EXPECT_EQ(c.options.size() == 2 ? "bytes=1000-" : "", RequestHeader(server.Request(0), "Range"));
  }
}

// -append on an earlier "report" (or "page"): wherever the body ends up, the
// earlier file keeps its bytes at its name unless the body continued it or
// took its name whole. A failure, an interrupt, a full disk and an answer's
// name that is taken leave it as it was and nothing new under that name.
TEST_F(OutputFile, AppendNeverLosesTheEarlierFileToAnotherName) {
  const std::string elsewhere = "Content-Disposition: attachment; filename=\"x.txt\"\r\n";
  const std::string gz = Gzip("whole");
  const std::string head100 =
      "HTTP/1.1 200 OK\r\n" + elsewhere + "Content-Length: 100000\r\n\r\n";
  struct Case {
    const char* name;
    CExchange exchange;
    std::string output;  // the -o value ("" for -O; "{D}" stands for the folder)
    std::vector<std::string> options;
    int exitCode;
    std::vector<std::pair<std::string, std::string>> after;  // every file but the program
    bool interrupt;
    bool diskFull;
    bool nameTaken;  // "x.txt" holds "taken" before the run
  } cases[] = {
      {"206 that continues",
       Exchange().Reply(Response("206 Partial Content", "Content-Range: bytes 7-9/10\r\n", "abc")),
       "", {"-append"}, 1, {{"report", "earlierabc"}}, false, false, false},
      // The continued file holds the earlier bytes: it keeps its name.
      {"206 that continues, the answer naming another",
       Exchange().Reply(Response("206 Partial Content",
                                 "Content-Range: bytes 7-9/10\r\n" + elsewhere, "abc")),
       "", {"-append"}, 1, {{"report", "earlierabc"}}, false, false, false},
      {"200 under the same name", Exchange().Reply(Ok("whole")), "", {"-append"}, 1,
       {{"report", "whole"}}, false, false, false},
      {"200 under another name, -O", Exchange().Reply(Ok("whole", elsewhere)), "", {"-append"}, 1,
       {{"report", "earlier"}, {"x.txt", "whole"}}, false, false, false},
      {"200 under another name, -o DIR", Exchange().Reply(Ok("whole", elsewhere)), "{D}",
       {"-append"}, 1, {{"report", "earlier"}, {"x.txt", "whole"}}, false, false, false},
      {"gzip 200 under -compress",
       Exchange().Reply(Ok(gz, "Content-Encoding: gzip\r\n")), "{D}/page",
       {"-compress", "-append"}, 1, {{"page", "earlier"}, {"page.gzip", gz}}, false, false, false},
      {"another name without -append", Exchange().Reply(Ok("whole", elsewhere)), "", {}, 1,
       {{"report", "earlier"}, {"x.txt", "whole"}}, false, false, false},
      {"failure mid-body", Exchange().Send(head100 + "part").Close(), "", {"-append"}, 0,
       {{"report", "earlier"}}, false, false, false},
      {"interrupt",
       Exchange().Send(head100 + Pattern(5000)).Pause(20000).Send(Pattern(95000)), "",
       {"-append"}, 0, {{"report", "earlier"}}, true, false, false},
      {"full disk",
       Exchange().Reply(Ok(Pattern(200000), elsewhere)), "", {"-append"}, 0,
       {{"report", "earlier"}}, false, true, false},
      {"200 under another name that is taken", Exchange().Reply(Ok("whole", elsewhere)), "",
       {"-append"}, 0, {{"report", "earlier"}, {"x.txt", "taken"}}, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    const bool page = c.output.find("page") != std::string::npos;
    sandbox.WriteFile(page ? "page" : "report", "earlier");
    if (c.interrupt) {
      sandbox.SetSignalWhen(SIGINT, [](const std::string& out) {
        return out.find("\r\n\r\n") != std::string::npos;
      });
    }
    if (c.diskFull) sandbox.SetFileSizeLimit(64 * 1024);
    if (c.nameTaken) sandbox.WriteFile("x.txt", "taken");
    CScriptedServer server(CServerScript{{c.exchange}});
    std::string output = c.output;
    if (output.find("{D}") == 0) output.replace(0, 3, sandbox.Dir());
    std::vector<std::string> args = {server.Url("/files/report")};
    if (output.empty()) {
      args.push_back("-O");
    } else {
      args.push_back("-o");
      args.push_back(output);
    }
    args.insert(args.end(), c.options.begin(), c.options.end());
    CProgramResult run = RunIn(sandbox, args);
    EXPECT_EQ(c.exitCode, run.m_ExitCode) << run.m_Out;
    std::vector<std::string> names;
    for (const auto& file : c.after) {
      names.push_back(file.first);
      EXPECT_EQ(file.second, sandbox.ReadFile(file.first)) << file.first;
    }
    names.push_back("zelvora");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, sandbox.Files());
  }
}

// An empty file at the path under -append is the user's as much as one
// that holds data: whatever the answer, it stays, and a body that ends up
// under the answer's name goes there without it.
TEST_F(OutputFile, AppendNeverRemovesAnEmptyFileThatWasThere) {
  const std::string elsewhere = "Content-Disposition: attachment; filename=\"x.txt\"\r\n";
  struct Case {
    const char* name;
    CServerScript script;
    bool noServer;
    std::string output;  // the -o value ("" for -O; "{D}" for the folder)
    int exitCode;
    std::vector<std::pair<std::string, std::string>> after;  // every file but the program
  } cases[] = {
      {"404", CServerScript::OneReply(Response("404 Not Found", "", "gone")), false, "", 1,
       {{"report", ""}}},
      {"416", CServerScript::OneReply(Response("416 Range Not Satisfiable", "", "")), false, "",
       1, {{"report", ""}}},
      {"cut off",
       CServerScript{{Exchange().Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart").Close()}},
       false, "", 0, {{"report", ""}}},
      {"no server", CServerScript(), true, "", 0, {{"report", ""}}},
      {"another name, -O", CServerScript::OneReply(Ok("whole", elsewhere)), false, "", 1,
       {{"report", ""}, {"x.txt", "whole"}}},
      {"another name, -o DIR", CServerScript::OneReply(Ok("whole", elsewhere)), false, "{D}", 1,
       {{"report", ""}, {"x.txt", "whole"}}},
      {"the same name", CServerScript::OneReply(Ok("whole")), false, "", 1, {{"report", "whole"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    sandbox.WriteFile("report", "");
    CScriptedServer server(c.script);
    const std::string url = c.noServer
                                ? "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/files/report"
                                : server.Url("/files/report");
    std::vector<std::string> args = {url};
    if (c.output.empty()) {
      args.push_back("-O");
    } else {
      args.push_back("-o");
      args.push_back(sandbox.Dir());
    }
    args.push_back("-append");
    CProgramResult run = RunIn(sandbox, args);
    EXPECT_EQ(c.exitCode, run.m_ExitCode) << run.m_Out;
    std::vector<std::string> names = {"zelvora"};
    for (const auto& file : c.after) {
      names.push_back(file.first);
      EXPECT_TRUE(sandbox.Exists(file.first)) << file.first;
      EXPECT_EQ(file.second, sandbox.ReadFile(file.first)) << file.first;
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, sandbox.Files());
  }
}

// The names the download keeps for itself beside an output file (the
// earlier file's aside name, the side files, numbered or not) are never
// taken from an answer, in any mode: the body keeps the URL's name, which
// here held an earlier file that it replaces.
TEST_F(OutputFile, AnswerNeverNamesTheFilesTheDownloadKeepsForItself) {
  const char* const names[] = {"report_zelvor.part", "report_zelvor.part2", "x_zelvor.part",
                               "report_zelvor.bk"};
  const std::vector<std::string> modes[] = {{}, {"-append"}};
  for (const std::vector<std::string>& mode : modes) {
    for (const char* name : names) {
      SCOPED_TRACE(std::string(name) + (mode.empty() ? "" : " -append"));
      CProgramSandbox sandbox(ZELVORA_EXE);
      sandbox.WriteFile("report", "earlier");
      const std::string reply =
          Ok("whole", std::string("Content-Disposition: attachment; filename=\"") + name + "\"\r\n");
      CScriptedServer server(CServerScript::OneReply(reply));
      std::vector<std::string> args = {server.Url("/files/report"), "-O"};
      args.insert(args.end(), mode.begin(), mode.end());
      CProgramResult run = RunIn(sandbox, args);
      EXPECT_EQ(1, run.m_ExitCode);
      EXPECT_EQ(HeadOf(reply) + "Download: " + sandbox.File("report") + "\r\n", run.m_Out);
      EXPECT_EQ("whole", sandbox.ReadFile("report"));
      EXPECT_EQ(Files({"report"}), sandbox.Files());
    }
  }
}

TEST_F(OutputFile, UploadLeavesTheOutputFileAlone) {
  m_Sandbox.WriteFile("up.bin", "data");
  std::string reply = Ok("stored");
  const std::vector<std::string> outputs[] = {{"-o", "out.html"}, {"-O"}};
  for (const std::vector<std::string>& output : outputs) {
    m_Sandbox.WriteFile("out.html", "earlier");
    CScriptedServer server(CServerScript::OneReply(reply));
    std::vector<std::string> args = {server.Url("/out.html"), "-u", "up.bin"};
    args.insert(args.end(), output.begin(), output.end());
    CProgramResult run = RunIn(m_Sandbox, args);
    EXPECT_EQ(1, run.m_ExitCode);
    EXPECT_EQ("Upload " + m_Sandbox.File("up.bin") + "......" + reply, run.m_Out);
    EXPECT_EQ("earlier", m_Sandbox.ReadFile("out.html"));
    EXPECT_EQ(Files({"out.html", "up.bin"}), m_Sandbox.Files());
  }
}

// Run from another directory: bare names, -O and a batch without -p use the
// program's folder; a name with a folder and -p's folder the current one.
TEST_F(OutputFile, BareNamesLiveNextToTheProgramAndFoldersFollowTheCurrentDirectory) {
  TempDir work;
  m_Sandbox.SetWorkDir(work.Path());
  m_Sandbox.WriteFile("post.txt", "posted");
  struct Case {
    std::string url;  // path on the server
    std::vector<std::string> options;
    std::string written;  // where the body lands
  } cases[] = {
      {"/a", {"-o", "page.html"}, m_Sandbox.File("page.html")},
      {"/a", {"-o", "./page.html"}, work.File("page.html")},
      {"/report", {"-O"}, m_Sandbox.File("report")},
      {"/f[1-1]", {"-O"}, m_Sandbox.File("f1")},
      {"/g[1-1]", {"-O", "-p", "photos"}, work.File("photos/g1")},
      {"/post", {"-o", "posted.bin", "-d", "post.txt", "-file"}, m_Sandbox.File("posted.bin")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    CScriptedServer server(CServerScript::OneReply(Ok("payload")));
    std::vector<std::string> args = {server.Url(c.url)};
    args.insert(args.end(), c.options.begin(), c.options.end());
    CProgramResult run = RunIn(m_Sandbox, args);
    EXPECT_EQ(1, run.m_ExitCode) << run.m_Out;
    EXPECT_EQ("payload", TempDir::ReadFile(c.written));
    server.Stop();
    // A bare -d file name is read from the program's folder too.
    if (c.url == "/post") {
      EXPECT_EQ("posted", RequestBody(server.Request(0)));
    }
  }
}

TEST_F(OutputFile, DefaultNameComesFromTheResponseOrTheUrl) {
  struct Case {
    const char* path;
    std::string headers;
    const char* name;
  } cases[] = {
      {"/files/data", "Content-Disposition: attachment; filename=\"report.pdf\"\r\n", "report.pdf"},
      {"/files/data", "Content-Type: image/png\r\nContent-Disposition: form-data; name=file\r\n",
       "file.png"},
      {"/files/report", "Content-Type: application/pdf\r\n", "report"},
      {"/files/.profile", "Content-Type: text/html\r\n", ".profile.html"},
      {"/dl?id=5", "", "dl_id=5"},
      {"/", "", "127.0.0.1.html"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    std::string reply = Ok("payload", c.headers);
    CScriptedServer server(CServerScript::OneReply(reply));
    CProgramResult run = RunIn(sandbox, {server.Url(c.path), "-O"});
    EXPECT_EQ(1, run.m_ExitCode);
    EXPECT_EQ(HeadOf(reply) + "Download: " + sandbox.File(c.name) + "\r\n", run.m_Out);
    EXPECT_EQ("payload", sandbox.ReadFile(c.name));
    std::vector<std::string> expected = {c.name, "zelvora"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, sandbox.Files());
  }
}

// The URL names the file "data", the response "report.pdf". An earlier file
// under either name keeps its name and its bytes: the download takes the
// response's name when that is free, else it stays under the URL's.
TEST_F(OutputFile, EarlierFileKeepsItsNameWhicheverNameTheDownloadGets) {
  struct Case {
    const char* earlier;     // there before the run
    const char* downloaded;  // the name the body is written under
  } cases[] = {
      {"data", "report.pdf"},
      {"report.pdf", "data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.earlier);
    CProgramSandbox sandbox(ZELVORA_EXE);
    sandbox.WriteFile(c.earlier, "earlier");
    std::string reply = Ok("payload", "Content-Disposition: attachment; filename=report.pdf\r\n");
    CScriptedServer server(CServerScript::OneReply(reply));
    CProgramResult run = RunIn(sandbox, {server.Url("/files/data"), "-O"});
    EXPECT_EQ(1, run.m_ExitCode);
    EXPECT_EQ(HeadOf(reply) + "Download: " + sandbox.File(c.downloaded) + "\r\n", run.m_Out);
    EXPECT_EQ("payload", sandbox.ReadFile(c.downloaded));
    EXPECT_EQ("earlier", sandbox.ReadFile(c.earlier));
    EXPECT_EQ(Files({"data", "report.pdf"}), sandbox.Files());
  }
}

// The body first goes under the URL's name (or the -o name before its
// suffix) and then moves to the name the response gives. When that name
// cannot be taken, an earlier file under the first name comes back and the
// download fails, saying why; with nothing there before, the body stays
// under the first name. A backup's name from the response is never used.
TEST_F(OutputFile, NameFromTheResponseThatCannotBeTakenCostsNoEarlierFile) {
  const std::string gz = Gzip("decoded");
  const std::string longName(300, 'n');
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> before;  // files there before the run
    std::string reply;
    std::string output;  // the -o value: "" for the folder itself
    std::vector<std::string> options;
    std::vector<std::pair<std::string, std::string>> after;  // every file but the program
    std::string message;  // after the head; {D} stands for the folder
  } cases[] = {
      {"a file in the way",
       {{"report", "earlier"}, {"report.txt", "taken"}},
       Ok("payload", "Content-Disposition: attachment; filename=\"report.txt\"\r\n"),
       "",
       {},
       {{"report", "earlier"}, {"report.txt", "taken"}},
       "Error: \"{D}/report.txt\" is already there. Nothing was stored; \"{D}/report\" is as it "
       "was.\r\n"},
      {"a name the file system refuses",
       {{"report", "earlier"}},
       Ok("payload", "Content-Disposition: attachment; filename=\"" + longName + "\"\r\n"),
       "",
       {},
       {{"report", "earlier"}},
       "Error: The file system refused the name \"{D}/" + longName +
           "\". Nothing was stored; \"{D}/report\" is as it was.\r\n"},
      {"the suffixed name in the way",
       {{"page", "earlier"}, {"page.gzip", "taken"}},
       Ok(gz, "Content-Encoding: gzip\r\n"),
       "page",
       {"-compress"},
       {{"page", "earlier"}, {"page.gzip", "taken"}},
       "Error: \"{D}/page.gzip\" is already there. Nothing was stored; \"{D}/page\" is as it "
       "was.\r\n"},
      {"a refused name with nothing there before",
       {},
       Ok("payload", "Content-Disposition: attachment; filename=\"" + longName + "\"\r\n"),
       "",
       {},
       {{"report", "payload"}},
       "Download: {D}/report\r\n"},
      {"a backup's name",
       {},
       Ok("payload", "Content-Disposition: attachment; filename=\"x_zelvor.bk\"\r\n"),
       "",
       {},
       {{"report", "payload"}},
       "Download: {D}/report\r\n"},
      {"a usable name",
       {{"report", "earlier"}},
       Ok("payload", "Content-Disposition: attachment; filename=\"new.txt\"\r\n"),
       "",
       {},
       {{"new.txt", "payload"}, {"report", "earlier"}},
       "Download: {D}/new.txt\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    for (const auto& file : c.before) sandbox.WriteFile(file.first, file.second);
    CScriptedServer server(CServerScript::OneReply(c.reply));
    std::vector<std::string> args = {server.Url("/files/report"), "-o",
                                     c.output.empty() ? sandbox.Dir() : sandbox.File(c.output)};
    args.insert(args.end(), c.options.begin(), c.options.end());
    CProgramResult run = RunIn(sandbox, args);
    std::string message = c.message;
    for (size_t at; (at = message.find("{D}")) != std::string::npos;)
      message.replace(at, 3, sandbox.Dir());
    EXPECT_EQ(HeadOf(c.reply) + message, run.m_Out);
    EXPECT_EQ(message.compare(0, 6, "Error:") == 0 ? 0 : 1, run.m_ExitCode);
    std::vector<std::string> names = {"zelvora"};
    for (const auto& file : c.after) {
      names.push_back(file.first);
      EXPECT_EQ(file.second, sandbox.ReadFile(file.first)) << file.first;
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, sandbox.Files());
  }
}

TEST_F(OutputFile, ResponseNamesNeverReachOutsideTheTargetDirectory) {
  const std::string tag = "zelvora-escape-" + std::to_string(getpid());
  const std::string names[] = {"../" + tag + "-1.txt", "..\\" + tag + "-2.txt",
                               "/tmp/" + tag + "-3.txt", "sub/../../" + tag + "-4.txt",
                               "..", "."};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    std::string reply = Ok("payload", "Content-Disposition: attachment; filename=\"" + name + "\"\r\n");
    CScriptedServer server(CServerScript::OneReply(reply));
    CProgramResult run = RunIn(sandbox, {server.Url("/files/data"), "-O"});
    EXPECT_EQ(1, run.m_ExitCode);
    for (int i = 1; i <= 4; ++i) {
      EXPECT_FALSE(TempDir::Exists("/tmp/" + tag + "-" + std::to_string(i) + ".txt"));
    }
    // The body is in a file of the program's directory, and the message names it.
    const std::string prefix = HeadOf(reply) + "Download: " + sandbox.Dir() + "/";
    ASSERT_EQ(0u, run.m_Out.find(prefix)) << run.m_Out;
    std::string file = run.m_Out.substr(prefix.size());
    ASSERT_GE(file.size(), 2u);
    file.resize(file.size() - 2);
    EXPECT_EQ(std::string::npos, file.find('/')) << file;
    EXPECT_NE("..", file);
    EXPECT_EQ("payload", sandbox.ReadFile(file)) << file;
  }
}

TEST_F(OutputFile, CompressedBodiesAreStoredDecodedUnlessAskedForAsReceived) {
  const std::string text = Pattern(5000);
  const std::string gz = Gzip(text);
  const std::string chunked = Chunked(gz, 700);
  const std::string gzReply = Ok(gz, "Content-Encoding: gzip\r\n");
  const std::string chunkedReply =
      "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n" + chunked;
  struct Case {
    const char* name;
    std::string reply;
    std::vector<std::string> options;
    const char* file;
    std::string content;
  } cases[] = {
      {"gzip", gzReply, {}, "out.txt", text},
      {"deflate", Ok(RawDeflate(text), "Content-Encoding: Deflate\r\n"), {}, "out.txt", text},
      {"chunked gzip", chunkedReply, {}, "out.txt", text},
      {"compress", gzReply, {"-compress"}, "out.txt.gzip", gz},
      {"compress chunked", chunkedReply, {"-compress"}, "out.txt.gzip", gz},
      {"origin", chunkedReply, {"-origin"}, "out.txt.origin", chunked},
      // Nothing to decode: an empty download, not a failed one.
      {"empty gzip", Ok("", "Content-Encoding: gzip\r\n"), {}, "out.txt", ""},
      // What concatenated .gz files give: every member is decoded.
      {"two gzip members", Ok(gz + Gzip("tail"), "Content-Encoding: gzip\r\n"), {}, "out.txt",
       text + "tail"},
      {"two gzip members, chunked",
       "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n" +
           Chunked(gz + Gzip("tail"), 333),
       {}, "out.txt", text + "tail"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    CScriptedServer server(CServerScript::OneReply(c.reply));
    std::vector<std::string> args = {server.Url("/t"), "-o", "out.txt"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    CProgramResult run = RunIn(sandbox, args);
    EXPECT_EQ(1, run.m_ExitCode);
    EXPECT_EQ(HeadOf(c.reply) + "Download: " + sandbox.File(c.file) + "\r\n", run.m_Out);
    EXPECT_EQ(c.content, sandbox.ReadFile(c.file));
    std::vector<std::string> expected = {c.file, "zelvora"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, sandbox.Files());
  }
}

TEST_F(OutputFile, EarlierFileComesBackWhenTheCompressedBodyGetsASuffix) {
  m_Sandbox.WriteFile("out.txt", "earlier");
  const std::string gz = Gzip(Pattern(500));
  std::string reply = Ok(gz, "Content-Encoding: gzip\r\n");
  CScriptedServer server(CServerScript::OneReply(reply));
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/t"), "-o", "out.txt", "-compress"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(HeadOf(reply) + Download("out.txt.gzip"), run.m_Out);
  EXPECT_EQ(gz, m_Sandbox.ReadFile("out.txt.gzip"));
  EXPECT_EQ("earlier", m_Sandbox.ReadFile("out.txt"));
  EXPECT_EQ(Files({"out.txt", "out.txt.gzip"}), m_Sandbox.Files());
}

// A body that cannot be decoded, or whose decoded bytes cannot be stored, is
// a failed download: the earlier file is back, nothing else is left.
TEST_F(OutputFile, BodyThatCannotBeDecodedFailsAndBringsTheEarlierFileBack) {
  const std::string gz = Gzip(Pattern(2000));
  struct Case {
    const char* name;
    std::string reply;
    std::vector<std::string> options;
    bool chunked;
  } cases[] = {
      {"not gzip", Ok("plain", "Content-Encoding: gzip\r\n"), {}, false},
      {"cut short", Ok(gz.substr(0, gz.size() - 20), "Content-Encoding: gzip\r\n"), {}, false},
      {"damaged deflate",
       Ok(std::string("\x78\x9c\xff\xff\xff", 5), "Content-Encoding: deflate\r\n"),
       {},
       false},
      {"trailing garbage", Ok(gz + "garbage", "Content-Encoding: gzip\r\n"), {}, false},
      // Decoded as it arrives: the damage comes after many good blocks.
      {"damaged late, chunked",
       ChunkedOk(gz + gz.substr(0, 30), "Content-Encoding: gzip\r\n"),
       {},
       true},
      // The response names the file; the earlier one keeps its own name.
      {"named by the response",
       Ok("plain",
          "Content-Encoding: gzip\r\nContent-Disposition: attachment; filename=other.txt\r\n"),
       {},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    std::vector<std::string> expected = {"out.txt", "zelvora"};
    sandbox.WriteFile("out.txt", "earlier");
    CScriptedServer server(CServerScript::AlwaysReply(c.reply));
    // The second try meets the state the first one left.
    for (int attempt = 0; attempt < 2; ++attempt) {
      SCOPED_TRACE(attempt);
      std::vector<std::string> args = {server.Url("/t"), "-o", "out.txt"};
      CProgramResult run = RunIn(sandbox, args);
      EXPECT_EQ(0, run.m_ExitCode);
      const std::string encoding = c.reply.find("deflate") != std::string::npos ? "deflate" : "gzip";
      EXPECT_EQ(HeadOf(c.reply) + "Error: The " + encoding +
                    " body could not be decoded; nothing was stored.\r\n",
                run.m_Out);
      EXPECT_EQ("earlier", sandbox.ReadFile("out.txt"));
      EXPECT_EQ(expected, sandbox.Files());
    }
  }
}

TEST_F(OutputFile, ProgressInAPipeFollowsTheHeadAndEndsItsLine) {
  const std::string body = Pattern(1000);
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n";
  CScriptedServer server(CServerScript{{Exchange()
                                            .Send(head + body.substr(0, 400))
                                            .Pause(200)
                                            .Send(body.substr(400, 400))
                                            .Pause(200)
                                            .Send(body.substr(800))}});
  CProgramResult run = RunIn(m_Sandbox, {server.Url("/b"), "-o", "b.bin", "-progress"});
  EXPECT_EQ(1, run.m_ExitCode);
  // One text per receive; pieces that arrive together under load share one.
  const std::string tail = "\r\n" + Download("b.bin");
  ASSERT_EQ(0u, run.m_Out.find(head)) << run.m_Out;
  ASSERT_GE(run.m_Out.size(), head.size() + tail.size());
  EXPECT_EQ(tail, run.m_Out.substr(run.m_Out.size() - tail.size()));
  const std::string texts = run.m_Out.substr(head.size(), run.m_Out.size() - head.size() - tail.size());
  const std::set<std::string> allowed = {"40.00%80.00%100.00%", "40.00%100.00%", "80.00%100.00%",
                                         "100.00%"};
  EXPECT_EQ(1u, allowed.count(texts)) << texts;
  EXPECT_EQ(body, m_Sandbox.ReadFile("b.bin"));
}

}  // namespace
