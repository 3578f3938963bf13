// The progress a download to a file shows, with the body split at chosen
// receives: one percentage per receive, in a pipe without escapes.
#include <gtest/gtest.h>

#include <string>

#include "engine/HttpClient.h"
#include "fakesocket/FakeSocket.h"
#include "frontend/ClientSetup.h"
#include "frontend/ImpBroxCmd.h"
#include "support/CallbackLog.h"
#include "support/StdioCapture.h"
#include "support/TempDir.h"

namespace {

TEST(PiecedProgress, DownloadProgressInAPipe) {
  StartNetworkOnce();
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n";
  const std::string body(1000, 'z');
  FakeSocketScript({CFakeConnection().Receive(head).ReceiveInPieces(body, 400)});
  TempDir dir;
  CHttpClient client;
  CImpBroxCmd cmd;
  cmd.m_OutputToFile = 1;
  cmd.m_Progress = 1;
  SetUpClient(client, cmd, nullptr);
  int result = 0;
  CapturedStdio got = RunWithStdio([&] {
    std::string response;
    result = client.Download("http://127.0.0.1/f", dir.File("f").c_str(), response, nullptr, 0, 0);
  });
  ASSERT_EQ(1, result);
  EXPECT_EQ(body, TempDir::ReadFile(dir.File("f")));
  EXPECT_EQ(head + "40.00%80.00%100.00%", got.m_Output);
}

}  // namespace
