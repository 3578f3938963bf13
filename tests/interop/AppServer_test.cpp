// The program against an application server (Starlette on uvicorn) on a
// loopback port: an upload read by its strict form reader, one large chunk
// written in one application write, and answers gzipped by its middleware.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "interop/AppServer.h"
#include "interop/Sha256.h"
#include "support/ProgramRunner.h"
#include "support/ScriptedServer.h"
#include "support/ServerScript.h"
#include "support/TempDir.h"

namespace {

// The server's test pattern: bytes (i * 37 + 11) mod 256 in blocks of 251.
std::string Pattern(size_t size) {
  std::string out(size, '\0');
  for (size_t i = 0; i < size; ++i) out[i] = (char)(((i % 251) * 37 + 11) % 256);
  return out;
}

// The server's test text.
std::string Text() {
  std::string out;
  for (int i = 0; i < 20000; ++i) out += "line " + std::to_string(i) + " of the test text\n";
  return out;
}

std::string BodyOf(const std::string& message) {
  const size_t end = message.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : message.substr(end + 4);
}

// What a command prints on its standard output, or "(failed)".
std::string CommandOutput(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return "(failed)";
  std::string out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof(buffer), pipe)) > 0;) out.append(buffer, n);
  return pclose(pipe) == 0 ? out : "(failed)";
}

class AppServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveAppServer()) GTEST_SKIP() << kSystemPython << " lacks starlette, uvicorn or multipart";
  }
  void StartServer() { ASSERT_EQ(1, m_Server.Start()) << m_Server.LogText(); }
  CProgramResult Run(const std::vector<std::string>& args) {
    CProgramResult run = m_Sandbox.Run(args, "", 60000);
    EXPECT_TRUE(run.m_Started);
    EXPECT_FALSE(run.m_TimedOut);
    EXPECT_EQ(0, run.m_Signal) << run.m_Err;
    return run;
  }
  CAppServer m_Server;
  CProgramSandbox m_Sandbox{ZELVORA_EXE};
};

// The Content-Type of an upload, read by the MIME parameter reader the form
// reader uses, names the boundary that the body's delimiter lines carry.
TEST_F(AppServer, StrictMimeReaderFindsTheBoundaryTheUploadBodyUses) {
  m_Sandbox.WriteFile("up.bin", "data");
  CScriptedServer server(CServerScript::OneReply("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"));
  CProgramResult run = Run({server.Url("/up"), "-u", "up.bin"});
  EXPECT_EQ(1, run.m_ExitCode);
  server.Stop();
  const std::string request = server.Request(0);
  const std::string name = "\r\nContent-Type: ";
  const size_t at = request.find(name);
  ASSERT_NE(std::string::npos, at) << request;
  const size_t valueAt = at + name.size();
  const std::string value = request.substr(valueAt, request.find("\r\n", valueAt) - valueAt);
  setenv("ZELVORA_CONTENT_TYPE", value.c_str(), 1);
  const std::string boundary = CommandOutput(
      std::string(kSystemPython) +
      " -c 'import os, sys; from multipart.multipart import parse_options_header as p; "
      "kind, params = p(os.environ[\"ZELVORA_CONTENT_TYPE\"]); "
      "sys.stdout.write(kind.decode() + \" \" + params[b\"boundary\"].decode())'");
  unsetenv("ZELVORA_CONTENT_TYPE");
  ASSERT_EQ(0u, boundary.find("multipart/form-data ")) << value << " gives " << boundary;
  const std::string delimiter = boundary.substr(boundary.find(' ') + 1);
  const std::string body = BodyOf(request);
  EXPECT_EQ(0u, body.find("--" + delimiter + "\r\n")) << body;
  EXPECT_EQ(body.size() - delimiter.size() - 6, body.rfind("\r\n--" + delimiter + "--")) << body;
}

TEST_F(AppServer, UploadReachesTheFormReaderWhole) {
  // Bytes that look like delimiter lines, and every byte value.
  std::string content = "\r\n--\r\n--===QUANDIX_MIME_BOUNDARY_\r\n\r\n";
  for (int i = 0; i < 300000; ++i) content += (char)(i * 7 % 256);
  m_Sandbox.WriteFile("up load.bin", content);
  StartServer();
  CProgramResult run = Run({m_Server.Url("/form"), "-u", "up load.bin"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(0u, run.m_Out.find("Upload " + m_Sandbox.File("up load.bin") + "......HTTP/1.1 200 OK\r\n"))
      << run.m_Out;
  EXPECT_EQ("field up load.bin file up load.bin size " + std::to_string(content.size()) + " sha256 " +
                Sha256Hex(content) + "\n",
            BodyOf(run.m_Out))
      << m_Server.LogText();
}

// An application writes the whole answer at once; the server sends it as
// one chunk of 20 MiB.
TEST_F(AppServer, OneChunkOfTwentyMiBIsStoredWhole) {
  const size_t size = 20u * 1024 * 1024;
  StartServer();
  CProgramResult run = Run({m_Server.Url("/one-chunk?size=" + std::to_string(size)), "-o", "big.bin"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(0u, run.m_Out.find("HTTP/1.1 200 OK\r\n")) << run.m_Out.substr(0, 2000);
  EXPECT_NE(std::string::npos, run.m_Out.find("\r\nTransfer-Encoding: chunked\r\n"));
  const std::string tail = "\r\n\r\nDownload: " + m_Sandbox.File("big.bin") + "\r\n";
  EXPECT_EQ(tail, run.m_Out.substr(run.m_Out.size() - std::min(run.m_Out.size(), tail.size())))
      << run.m_Out.substr(0, 2000);
  const std::string stored = m_Sandbox.ReadFile("big.bin");
  EXPECT_EQ(size, stored.size());
  EXPECT_EQ(Sha256Hex(Pattern(size)), Sha256Hex(stored));
}

// The middleware gzips a whole answer (with a length) and a streamed one
// (chunked); both are stored and shown decoded.
TEST_F(AppServer, GzipAnswersAreStoredAndShownDecoded) {
  const std::string text = Text();
  StartServer();
  for (const char* path : {"/gz/text", "/gz/stream"}) {
    SCOPED_TRACE(path);
    CProgramResult run = Run({m_Server.Url(path), "-o", "text.txt"});
    EXPECT_EQ(1, run.m_ExitCode);
    const std::string head = run.m_Out.substr(0, run.m_Out.find("\r\n\r\n") + 4);
    EXPECT_NE(std::string::npos, head.find("\r\ncontent-encoding: gzip\r\n")) << head;
    EXPECT_NE(std::string::npos, run.m_Out.find("Download: " + m_Sandbox.File("text.txt")));
    EXPECT_TRUE(m_Sandbox.ReadFile("text.txt") == text);

    run = Run({m_Server.Url(path)});
    EXPECT_EQ(1, run.m_ExitCode);
    EXPECT_TRUE(BodyOf(run.m_Out) == text) << BodyOf(run.m_Out).size();
  }
}

}  // namespace
