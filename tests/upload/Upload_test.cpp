#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/HttpClient.h"
#include "platform/FileSystem.h"
#include "platform/Guid.h"
#include "support/RequestText.h"
#include "support/ScriptedServer.h"
#include "support/TempDir.h"
#include "support/TestBytes.h"

namespace {

const PlatformGuid kFixedGuid = {0x0A1B2C3D, 0x4E5F, 0xABCD, {0xEF, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD}};
const std::string kBoundary = "===QUANDIX_MIME_BOUNDARY_0A1B2C3D4E5Fabcd" "EF0123456789ABCD===";
const std::string kOk = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";

struct Progress {
  std::vector<std::pair<uint64_t, uint64_t>> calls;
  // Runs after the first block has gone out.
  void (*afterFirst)(const std::string& path) = nullptr;
  std::string path;
};

void RecordProgress(CHttpClient*, uint64_t total, uint64_t done, void* param) {
  Progress* progress = static_cast<Progress*>(param);
  progress->calls.push_back(std::make_pair(total, done));
  if (progress->calls.size() == 1 && progress->afterFirst) progress->afterFirst(progress->path);
}

std::string PartHead(const std::string& name) {
  return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"" + name +
         "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
}

std::string Trailer() { return "\r\n--" + kBoundary + "--"; }

std::string UploadRequestHead(uint64_t contentLength) {
  return "POST /up HTTP/1.1\r\nContent-Length: " + std::to_string(contentLength) +
         "\r\nContent-Type: multipart/form-data; boundary=\"" + kBoundary + "\"\r\n" +
         DefaultRequestHeaders() + "\r\n";
}

class Upload : public ::testing::Test {
 protected:
  void SetUp() override {
    GuidSetFixedForTest(&kFixedGuid);
    client.m_ProgressCallback = RecordProgress;
    client.m_CallbackParam = &progress;
  }
  void TearDown() override { GuidSetFixedForTest(NULL); }

  TempDir dir;
  CHttpClient client;
  Progress progress;
  std::string response = "untouched";
};

TEST_F(Upload, BodyBytesAndProgressBySize) {
  struct Case {
    size_t size;
    std::vector<uint64_t> done;
  };
  const Case cases[] = {
      {0, {}},
      {1000, {1000}},
      {8192, {8192}},
      {8193, {8192, 8193}},
      {20000, {8192, 16384, 20000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    CScriptedServer server({{Exchange().Reply(kOk).ThenClose()}});
    ASSERT_TRUE(server.IsListening());
    const std::string content = BinaryPattern(c.size);
    const std::string path = dir.File("data.bin");
    TempDir::WriteFile(path, content);
    CHttpClient one;
    Progress seen;
    one.m_ProgressCallback = RecordProgress;
    one.m_CallbackParam = &seen;
    std::string text;
    ASSERT_EQ(one.Upload(server.Url("/up").c_str(), path.c_str(), text), 1);
    EXPECT_EQ(text, "ok");
    EXPECT_EQ(one.m_StatusCode, 200);

    const std::string body = PartHead("data.bin") + content + Trailer();
    EXPECT_EQ(body.size(), 226u + 2 * 8 + c.size);
    server.Stop();
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Request(0), UploadRequestHead(body.size()) + body);

    ASSERT_EQ(seen.calls.size(), c.done.size());
    for (size_t i = 0; i < c.done.size(); ++i) {
      EXPECT_EQ(seen.calls[i].first, c.size);
      EXPECT_EQ(seen.calls[i].second, c.done[i]);
    }
  }
}

TEST_F(Upload, BaseNameFromEitherSeparator) {
  std::filesystem::create_directories(dir.File("dir"));
  TempDir::WriteFile(dir.File("dir/report.bin"), "xyz");
  TempDir::WriteFile(dir.File("dir/re\r\n\"port.bin"), "xyz");
  struct Case {
    std::string path;
    std::string name;
  };
  const Case cases[] = {
      {dir.Path() + "/dir/report.bin", "report.bin"},
      {dir.Path() + "\\dir\\report.bin", "report.bin"},
      // The last "\" wins even when a "/" follows it.
      {dir.Path() + "\\dir/report.bin", "dir/report.bin"},
      // Line ends and quotes in the name cannot break the part head.
      {dir.Path() + "/dir/re\r\n\"port.bin", "re%0D%0A%22port.bin"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    CScriptedServer server({{Exchange().Reply(kOk).ThenClose()}});
    CHttpClient one;
    std::string text;
    ASSERT_EQ(one.Upload(server.Url("/up").c_str(), c.path.c_str(), text), 1);
    server.Stop();
    const std::string body = PartHead(c.name) + "xyz" + Trailer();
    EXPECT_EQ(server.Request(0), UploadRequestHead(body.size()) + body);
  }
}

TEST_F(Upload, CallerHeadersOfTheSameNameWin) {
  TempDir::WriteFile(dir.File("a.txt"), "A");
  {
    CScriptedServer server({{Exchange().Reply(kOk).ThenClose()}});
    CHttpClient one;
    one.AddHeader("Content-Type", "text/plain");
    std::string text;
    ASSERT_EQ(one.Upload(server.Url("/up").c_str(), dir.File("a.txt").c_str(), text), 1);
    server.Stop();
    const std::string request = server.Request(0);
    EXPECT_NE(request.find("\r\nContent-Type: text/plain\r\n"), std::string::npos);
    EXPECT_EQ(request.find("boundary="), std::string::npos);
  }
  {
    CScriptedServer server({{Exchange().Reply(kOk).ThenClose()}});
    CHttpClient one;
    one.AddHeader("content-type", "text/plain");
    std::string text;
    ASSERT_EQ(one.Upload(server.Url("/up").c_str(), dir.File("a.txt").c_str(), text), 1);
    server.Stop();
    const std::string request = server.Request(0);
    EXPECT_NE(request.find("\r\nContent-Type: multipart/form-data; boundary=\"" + kBoundary + "\"\r\n"),
              std::string::npos);
    EXPECT_NE(request.find("\r\ncontent-type: text/plain\r\n"), std::string::npos);
    // The upload's own lines were for that request only; the caller's stays.
    EXPECT_EQ(one.m_RequestHeaders.size(), 1u);
    EXPECT_EQ(one.m_RequestHeaders.count("content-type"), 1u);
  }
}

TEST_F(Upload, AnyStatusGivesItsBodyUpToAZeroByte) {
  TempDir::WriteFile(dir.File("a.txt"), "A");
  static const char kReply[] = "HTTP/1.1 404 Not Found\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab\0cd\r\n0\r\n\r\n";
  const std::string chunked404(kReply, sizeof(kReply) - 1);
  CScriptedServer server({{Exchange().Reply(chunked404).ThenClose()}});
  ASSERT_EQ(client.Upload(server.Url("/up").c_str(), dir.File("a.txt").c_str(), response), 1);
  EXPECT_EQ(client.m_StatusCode, 404);
  EXPECT_EQ(response, "ab");
  EXPECT_EQ(client.m_ErrorCode, HTTP_ERR_NONE);
}

TEST_F(Upload, FailuresBeforeAnythingIsSent) {
  CScriptedServer server({});
  TempDir::WriteFile(dir.File("a.txt"), "A");
  struct Case {
    std::string url;
    std::string path;
    HttpError code;
  };
  const Case cases[] = {
      {"ftp://127.0.0.1/up", dir.File("a.txt"), HTTP_ERR_URL_FORMAT},
      {"", dir.File("a.txt"), HTTP_ERR_URL_FORMAT},
      {server.Url("/up HTTP/1.1\r\nX: 1"), dir.File("a.txt"), HTTP_ERR_URL_FORMAT},
      {server.Url("/up"), dir.File("missing.txt"), HTTP_ERR_FILE_OPERATION},
      {server.Url("/up"), dir.Path(), HTTP_ERR_FILE_OPERATION},
      {server.Url("/up"), dir.File("nofolder/a.txt"), HTTP_ERR_FILE_OPERATION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url + " " + c.path);
    CHttpClient one;
    std::string text = "untouched";
    EXPECT_EQ(one.Upload(c.url.c_str(), c.path.c_str(), text), 0);
    EXPECT_EQ(one.m_ErrorCode, c.code);
    EXPECT_EQ(text, "untouched");
    EXPECT_TRUE(one.m_RequestHeaders.empty());
  }
  server.Stop();
  EXPECT_EQ(server.ConnectionCount(), 0);
}

TEST_F(Upload, ClientWithoutStreamsSendsNothing) {
  CScriptedServer server({});
  TempDir::WriteFile(dir.File("a.txt"), "A");
  client.m_StreamsReady = 0;
  EXPECT_EQ(client.Upload(server.Url("/up").c_str(), dir.File("a.txt").c_str(), response), 0);
  EXPECT_EQ(client.m_ErrorCode, HTTP_ERR_NETWORK);
  EXPECT_EQ(response, "untouched");
  server.Stop();
  EXPECT_EQ(server.ConnectionCount(), 0);
}

TEST_F(Upload, RefusedConnectLeavesTheClientHeadersAsTheyWere) {
  TempDir::WriteFile(dir.File("a.txt"), "A");
  client.AddHeader("X-Run", "1");
  // Nothing listens on port 1 of the loopback address.
  EXPECT_EQ(client.Upload("http://127.0.0.1:1/up", dir.File("a.txt").c_str(), response), 0);
  EXPECT_EQ(client.m_ErrorCode, HTTP_ERR_CONNECT);
  EXPECT_EQ(response, "untouched");
  EXPECT_EQ(client.m_Connection.m_Socket, INVALID_SOCKET_HANDLE);
  EXPECT_EQ(client.m_RequestHeaders, (HeaderMap{{"X-Run", "1"}}));
}

// A resumed download's Range and an upload's Content-Type and Content-Length
// go with their own request: two downloads and two uploads on one client
// each send what they need and nothing of the one before.
TEST_F(Upload, HeadLinesOfOneRequestLeaveWithIt) {
  const std::string resumed = dir.File("resumed.bin");
  TempDir::WriteFile(resumed, std::string(1000, 'o'));
  TempDir::WriteFile(dir.File("a.txt"), "A");
  TempDir::WriteFile(dir.File("bb.txt"), std::string(3000, 'b'));
  CScriptedServer server({
      {Exchange().Reply("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 1000-1001/1002\r\n"
                        "Content-Length: 2\r\n\r\nnn")
           .ThenClose()},
      {Exchange().Reply(kOk).ThenClose()},
      {Exchange().Reply(kOk).ThenClose()},
      {Exchange().Reply(kOk).ThenClose()},
  });
  ASSERT_EQ(1, client.Download(server.Url("/d").c_str(), resumed.c_str(), response, nullptr, 0, 0));
  ASSERT_EQ(1, client.Download(server.Url("/d").c_str(), dir.File("new.bin").c_str(), response,
                               nullptr, 0, 0));
  ASSERT_EQ(1, client.Upload(server.Url("/up").c_str(), dir.File("a.txt").c_str(), response));
  ASSERT_EQ(1, client.Upload(server.Url("/up").c_str(), dir.File("bb.txt").c_str(), response));
  server.Stop();
  ASSERT_EQ(server.RequestCount(), 4u);
  EXPECT_EQ(std::string(1000, 'o') + "nn", TempDir::ReadFile(resumed));
  EXPECT_EQ("ok", TempDir::ReadFile(dir.File("new.bin")));
  EXPECT_EQ(RequestHeaders(server.Request(0), "Range"), std::vector<std::string>{"bytes=1000-"});
  EXPECT_FALSE(RequestHasHeader(server.Request(1), "Range"));
  const std::string first = PartHead("a.txt") + "A" + Trailer();
  const std::string second = PartHead("bb.txt") + std::string(3000, 'b') + Trailer();
  EXPECT_EQ(server.Request(2), UploadRequestHead(first.size()) + first);
  EXPECT_EQ(server.Request(3), UploadRequestHead(second.size()) + second);
  EXPECT_TRUE(client.m_RequestHeaders.empty());
}

void GrowFile(const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out << std::string(10000, 'G');
}

void ShrinkFile(const std::string& path) { std::filesystem::resize_file(path, 9000); }

TEST_F(Upload, FileThatGrowsSendsOnlyTheAnnouncedLength) {
  const std::string content = BinaryPattern(20000);
  progress.path = dir.File("grow.bin");
  progress.afterFirst = GrowFile;
  TempDir::WriteFile(progress.path, content);
  CScriptedServer server({{Exchange().Reply(kOk).ThenClose()}});
  ASSERT_EQ(client.Upload(server.Url("/up").c_str(), progress.path.c_str(), response), 1);
  server.Stop();
  const std::string body = PartHead("grow.bin") + content + Trailer();
  EXPECT_EQ(server.Request(0), UploadRequestHead(body.size()) + body);
  EXPECT_EQ(server.RequestCount(), 1u);
  ASSERT_FALSE(progress.calls.empty());
  EXPECT_EQ(progress.calls.back().second, 20000u);
}

TEST_F(Upload, FileThatShrinksFails) {
  progress.path = dir.File("shrink.bin");
  progress.afterFirst = ShrinkFile;
  TempDir::WriteFile(progress.path, BinaryPattern(30000));
  CScriptedServer server({{Exchange().Reply(kOk).ThenClose()}});
  EXPECT_EQ(client.Upload(server.Url("/up").c_str(), progress.path.c_str(), response), 0);
  EXPECT_EQ(client.m_ErrorCode, HTTP_ERR_FILE_OPERATION);
  EXPECT_EQ(response, "untouched");
  EXPECT_EQ(client.m_Connection.m_Socket, INVALID_SOCKET_HANDLE);
  // 8192 bytes, then the 808 left of the 9000, then nothing.
  ASSERT_EQ(progress.calls.size(), 2u);
  EXPECT_EQ(progress.calls[1].second, 9000u);
}

// The server refuses after the head and goes away while the body is sent.
TEST_F(Upload, ServerThatRefusesEarlyGivesAnErrorNotACrash) {
  TempDir::WriteFile(dir.File("big.bin"), BinaryPattern(16 * 1024 * 1024));
  const std::string refuse = "HTTP/1.1 413 Payload Too Large\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
  const CExchange endings[] = {
      Exchange().ReadHeadOnly().Reply(refuse).ThenClose(),
      Exchange().ReadHeadOnly().Reply(refuse).ThenReset(),
      Exchange().ReadHeadOnly().Reset(),
  };
  for (const CExchange& ending : endings) {
    CScriptedServer server({{ending}});
    CHttpClient one;
    std::string text = "untouched";
    const int result = one.Upload(server.Url("/up").c_str(), dir.File("big.bin").c_str(), text);
    if (result == 1) {
      // All of it fitted into the socket buffers before the server left.
      EXPECT_EQ(one.m_StatusCode, 413);
    } else {
      EXPECT_NE(one.m_ErrorCode, HTTP_ERR_NONE);
      EXPECT_EQ(text, "untouched");
      EXPECT_EQ(one.m_Connection.m_Socket, INVALID_SOCKET_HANDLE);
    }
  }
}

TEST_F(Upload, SizeBeyondFourGibibytesIsAnnouncedWhole) {
  const std::string path = dir.File("huge.bin");
  const uint64_t size = 5ull * 1024 * 1024 * 1024 + 3;
  {
    FileHandle file = FileOpen(path.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(FileTruncate(file, size), 1);  // sparse: no space is used
    FileClose(file);
  }
  // The server takes the head and resets: the client stops at its next send.
  CScriptedServer server({{Exchange().ReadHeadOnly().Reset()}});
  EXPECT_EQ(client.Upload(server.Url("/up").c_str(), path.c_str(), response), 0);
  EXPECT_NE(client.m_ErrorCode, HTTP_ERR_NONE);
  server.Stop();
  const uint64_t bodyLength = PartHead("huge.bin").size() + size + Trailer().size();
  EXPECT_EQ(server.Request(0).substr(0, UploadRequestHead(bodyLength).size()),
            UploadRequestHead(bodyLength));
  if (!progress.calls.empty()) {
    EXPECT_EQ(progress.calls[0].first, size);
  }
}

}  // namespace
