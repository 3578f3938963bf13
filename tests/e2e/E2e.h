// Shared pieces of the end-to-end tests: the built program run from a copy in
// a fresh directory, against servers that the test starts on 127.0.0.1.
#ifndef ZELVORA_TESTS_E2E_E2E_H
#define ZELVORA_TESTS_E2E_E2E_H

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/BodyCoding.h"
#include "support/ProgramRunner.h"
#include "support/RequestText.h"
#include "support/Responses.h"
#include "support/ScriptedServer.h"
#include "support/ServerScript.h"
#include "support/TempDir.h"
#include "support/TestBytes.h"

// The head part of a response made by Response(): what the program echoes.
inline std::string HeadOf(const std::string& response) {
  return response.substr(0, response.find("\r\n\r\n") + 4);
}

// The request the program sends without headers of the user's own: a GET or
// HEAD with no body, or a POST of `body`.
inline std::string PlainRequest(const std::string& method, const std::string& path,
                                const std::string& body = "") {
  return method + " " + path + " HTTP/1.1\r\n" + DefaultRequestHeaders() +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The path of a recorded request, from its first line.
inline std::string PathOf(const std::string& request) {
  size_t start = request.find(' ') + 1;
  return request.substr(start, request.find(' ', start) - start);
}

// The line a batch run prints for one name.
inline std::string BatchLine(const std::string& name, const std::string& outcome) {
  return "Download \"" + name + "\"......" + outcome;
}

inline bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Runs the program in `sandbox`, failing the test on a crash or a hang.
inline CProgramResult RunIn(const CProgramSandbox& sandbox, const std::vector<std::string>& args,
                            const std::string& input = std::string()) {
  CProgramResult run = sandbox.Run(args, input, 20000);
  EXPECT_TRUE(run.m_Started);
  EXPECT_FALSE(run.m_TimedOut);
  EXPECT_EQ(0, run.m_Signal) << run.m_Err;
  return run;
}

// A download to "out.txt" over an earlier file there, answered with
// `refused`: the run fails with "Error: HTTP Session failed, " and
// `message`, and the earlier file is back as it was, nothing beside it.
inline void ExpectRefusedLeavesTheEarlierFile(const CProgramSandbox& sandbox,
                                              const CExchange& refused,
                                              const std::string& message) {
  const std::string failed = "Error: HTTP Session failed, ";
  sandbox.WriteFile("out.txt", "earlier");
  CScriptedServer server(CServerScript{{refused}});
  CProgramResult run = RunIn(sandbox, {server.Url("/page"), "-o", "out.txt"});
  EXPECT_EQ(0, run.m_ExitCode);
  const size_t at = run.m_Out.find(failed);
  ASSERT_NE(std::string::npos, at) << run.m_Out;
  EXPECT_EQ(failed + message, run.m_Out.substr(at));
  EXPECT_EQ("earlier", sandbox.ReadFile("out.txt"));
  EXPECT_EQ((std::vector<std::string>{"out.txt", "zelvora"}), sandbox.Files());
}

// A batch of two whose first answer, on its own connection (first), fails
// with the batch line's `failedText`: the first file is left absent, and the
// second comes whole over a new connection, the first one never used again.
inline void ExpectFirstFailsThenFresh(const CProgramSandbox& sandbox, const CConnectionScript& first,
                                      const std::string& failedText) {
  CScriptedServer server(
      CServerScript{first, {Exchange().Reply(Ok("fresh", "Connection: Keep-Alive\r\n"))}});
  CProgramResult run = RunIn(sandbox, {server.Url("/f[1-2]"), "-O"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(BatchLine("f1", failedText) + BatchLine("f2", "ok\r\n"), run.m_Out);
  EXPECT_FALSE(sandbox.Exists("f1"));
  EXPECT_EQ("fresh", sandbox.ReadFile("f2"));
  server.Stop();
  EXPECT_EQ(2, server.ConnectionCount());
}

// The same for a first answer that is refused.
inline void ExpectRefusedThenFresh(const CProgramSandbox& sandbox, const CExchange& refused) {
  ExpectFirstFailsThenFresh(sandbox, {refused}, "failed.\r\n");
}

// A port on 127.0.0.1 where nobody listens (a server started and stopped).
inline unsigned short ClosedPort() {
  unsigned short port;
  {
    CScriptedServer server{CServerScript()};
    port = server.Port();
  }
  return port;
}

#endif
