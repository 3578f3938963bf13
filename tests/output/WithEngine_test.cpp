// The callbacks and the body display driven by the real client against a
// scripted server on 127.0.0.1. The progress shown per receive is in
// tests/exchange/Progress_test.cpp.
#include <gtest/gtest.h>

#include <string>

#include "engine/HttpClient.h"
#include "support/BodyCoding.h"
#include "frontend/ClientSetup.h"
#include "frontend/ConsoleDisplay.h"
#include "frontend/ImpBroxCmd.h"
#include "support/StdioCapture.h"
#include "support/ScriptedServer.h"
#include "support/TempDir.h"

namespace {

TEST(WithEngine, ChunkedGzipResponseIsRecordedAndShownDecoded) {
  std::string plain;
  for (int i = 0; i < 300; ++i) plain += "row " + std::to_string(i) + "\n";
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\n"
      "Content-Disposition: attachment; filename=\"../../evil.txt\"\r\n"
      "Content-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n";
  CScriptedServer server(CServerScript::OneReply(head + Chunked(Gzip(plain), 100)));
  ASSERT_EQ(1, server.IsListening());

  CHttpClient client;
  CImpBroxCmd cmd;
  SetUpClient(client, cmd, nullptr);
  int result = 0;
  CapturedStdio got = RunWithStdio([&] {
    std::string response;
    result = client.Request(HTTP_METHOD_GET, server.Url("/x").c_str(), response, NULL, 0);
    if (result) OutputResponseBody(client, cmd);
  });
  ASSERT_EQ(1, result);
  EXPECT_EQ("text/plain", cmd.m_MediaType);
  EXPECT_EQ("../../evil.txt", cmd.m_DispositionFileName);
  EXPECT_EQ("gzip", cmd.AnswerEncoding());
  EXPECT_EQ(head + plain, got.m_Output);

  TempDir module;
  cmd.m_ArgParse.m_ModuleDir = module.Path();
  std::string path;
  EXPECT_EQ(1, cmd.GetOutputPathFile(path));
  EXPECT_EQ(module.Path() + "/evil.txt", path);
}

TEST(WithEngine, OriginStreamsTheFramedBodyAsItArrives) {
  const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::string framed = Chunked("hello world", 5);
  CScriptedServer server(CServerScript::OneReply(head + framed));
  ASSERT_EQ(1, server.IsListening());

  CHttpClient client;
  CImpBroxCmd cmd;
  cmd.m_Origin = 1;
  SetUpClient(client, cmd, nullptr);
  CapturedStdio got = RunWithStdio([&] {
    std::string response;
    client.Request(HTTP_METHOD_GET, server.Url("/").c_str(), response, NULL, 0);
  });
  EXPECT_EQ(head + framed, got.m_Output);
}

}  // namespace
