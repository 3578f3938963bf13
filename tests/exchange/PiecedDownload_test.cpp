// Downloads into a file where the test decides what every receive hands out:
// what the file holds when the answer breaks off after part of the body, the
// callbacks and bytes of a body split across receives (beside those of the
// same answer into memory), and a resume past 4 GiB.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/HttpClient.h"
#include "fakesocket/FakeSocket.h"
#include "support/CallbackLog.h"
#include "support/DownloadLeft.h"
#include "support/RequestText.h"
#include "support/TempDir.h"

namespace {

const char kUrl[] = "http://127.0.0.1/f";
const std::string kOld(1000, 'o');

class PiecedDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override { StartNetworkOnce(); }
  TempDir m_Dir;
};

TEST_F(PiecedDownloadTest, AnswerBrokenOffMidBody) {
  const std::string part = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart";
  std::string big;
  for (int i = 0; big.size() < 700000; ++i) big += std::to_string(i) + ",";
  struct Case {
    const char* name;
    bool existed;  // kOld is there before the call: kFileThere or kNoFile
    CFakeConnection connection;
    HttpError code;
    bool exists;        // the file is there afterwards: kLeft or kGone
    std::string after;  // its content then
  } cases[] = {
      {"new file, closed: deleted", kNoFile, CFakeConnection().Receive(part).Close(),
       HTTP_ERR_DISCONNECTED, kGone, ""},
      {"new file, reset: deleted", kNoFile, CFakeConnection().Receive(part).Reset(),
       HTTP_ERR_NETWORK, kGone, ""},
      {"resumed, 206 closed: file as it was", kFileThere,
       CFakeConnection()
           .Receive("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 1000-1099/1100\r\n"
                    "Content-Length: 100\r\n\r\npart")
           .Close(),
       HTTP_ERR_DISCONNECTED, kLeft, kOld},
      {"resumed, 200 reset: file as it was", kFileThere, CFakeConnection().Receive(part).Reset(),
       HTTP_ERR_NETWORK, kLeft, kOld},
      // More than one gathered block of the file reached before the close.
      {"resumed, large 206 closed: file as it was", kFileThere,
       CFakeConnection()
           .Receive("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 1000-1999999/2000000\r\n"
                    "Content-Length: 1999000\r\n\r\n")
           .ReceiveInPieces(big, 65536)
           .Close(),
       HTTP_ERR_DISCONNECTED, kLeft, kOld},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.File("out.bin");
    if (c.existed) TempDir::WriteFile(path, kOld);
    FakeSocketScript({c.connection});
    CHttpClient client;
    std::string response = "untouched";
    EXPECT_EQ(0, client.Download(kUrl, path.c_str(), response, nullptr, 0, 0));
    EXPECT_EQ(c.code, client.m_ErrorCode);
    ExpectDownloadLeft(dir, path, client, c.exists, c.after);
    EXPECT_EQ("untouched", response);
    EXPECT_EQ(INVALID_SOCKET_HANDLE, client.m_Connection.m_Socket);
    EXPECT_EQ(c.existed ? "bytes=1000-" : "", RequestHeader(FakeSocketSent(0), "Range"));
  }
}

// The callbacks of one answer in two receives, as it goes to memory and to
// a file: the head, then each receive's data with its bytes, all for the
// client that asked. Only a file's download reports progress: for the bytes
// that came with the head before their data, for later receives after it.
TEST_F(PiecedDownloadTest, CallbacksInOrderWithTheirArguments) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n";
  const struct {
    const char* name;
    bool toFile;
    std::vector<std::string> events;
  } cases[] = {
      {"into memory", false, {"head", "data 4", "data 6"}},
      {"into a file", true, {"head", "progress 4/10", "data 4", "data 6", "progress 10/10"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSocketScript({CFakeConnection().Receive(head + "abcd").Receive("efghij")});
    CHttpClient client;
    CallbackLog log;
    log.Attach(client);
    std::string response;
    TempDir dir;
    const std::string path = dir.File("cb");
    ASSERT_EQ(1, c.toFile ? client.Download(kUrl, path.c_str(), response, nullptr, 0, 0)
                          : client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
    EXPECT_EQ(c.events, log.m_Events);
    EXPECT_EQ(head, log.m_Head);
    EXPECT_EQ("abcdefghij", log.m_Data);
    EXPECT_EQ(&client, log.m_LastClient);
    EXPECT_EQ("abcdefghij", c.toFile ? TempDir::ReadFile(path) : response);
  }
}

TEST_F(PiecedDownloadTest, CompressedBodyIsKeptAsSent) {
  const std::string packed(
      "\x1f\x8b\x08\x00"
      "packed\x00"
      "bytes",
      17);
  FakeSocketScript(
      {CFakeConnection()
           .Receive("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 17\r\n\r\n" +
                    packed.substr(0, 5))
           .Receive(packed.substr(5))});
  CHttpClient client;
  std::string response;
  const std::string path = m_Dir.File("z.gz");
  ASSERT_EQ(1, client.Download(kUrl, path.c_str(), response, nullptr, 0, 0));
  EXPECT_EQ(packed, TempDir::ReadFile(path));
  // The file has the body; no copy of it is held in memory.
  unsigned int length = 0;
  client.GetBody(&length);
  EXPECT_EQ(0u, length);
}

// A link is a sink: what came before the failure stays in what it points to.
TEST_F(PiecedDownloadTest, LinkKeepsThePartBeforeAFailure) {
  const std::string printed = "printed before\n";
  const std::string target = m_Dir.File("target");
  const std::string link = m_Dir.File("link");
  TempDir::WriteFile(target, printed);
  ASSERT_EQ(0, symlink(target.c_str(), link.c_str()));
  FakeSocketScript(
      {CFakeConnection().Receive("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart").Close()});
  CHttpClient client;
  std::string response;
  EXPECT_EQ(0, client.Download(kUrl, link.c_str(), response, nullptr, 0, 0));
  EXPECT_EQ(printed + "part", TempDir::ReadFile(target));
  char pointsTo[4096] = {0};
  ASSERT_GT(readlink(link.c_str(), pointsTo, sizeof(pointsTo) - 1), 0);
  EXPECT_EQ(target, std::string(pointsTo));
  EXPECT_EQ(2u, m_Dir.Names().size());
  EXPECT_FALSE(RequestHasHeader(FakeSocketSent(0), "Range"));
}

// A file past 4 GiB (sparse: no disk space taken) is resumed at its whole
// size: the Range asks for what follows byte 5 000 000 000, and a 206 whose
// Content-Range starts there is appended at that offset.
TEST_F(PiecedDownloadTest, ResumePastFourGibibytesAppendsAtTheWholeSize) {
  const std::string path = m_Dir.File("big.bin");
  const uint64_t size = UINT64_C(5000000000);
  TempDir::WriteFile(path, "");
  ASSERT_EQ(0, truncate(path.c_str(), static_cast<off_t>(size)));
  FakeSocketScript({CFakeConnection().Receive(
      "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 5000000000-5000000003/5000000004\r\n"
      "Content-Length: 4\r\n\r\ntail")});
  CHttpClient client;
  std::string response;
  EXPECT_EQ(1, client.Download(kUrl, path.c_str(), response, nullptr, 0, 0));
  EXPECT_EQ("bytes=5000000000-", RequestHeader(FakeSocketSent(0), "Range"));
  struct stat st;
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(size + 4, static_cast<uint64_t>(st.st_size));
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  char bytes[5] = {'x', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(5, pread(fd, bytes, sizeof bytes, static_cast<off_t>(size - 1)));
  close(fd);
  // The last old byte (a hole reads as zero), then the four new ones.
  EXPECT_EQ(std::string("\0tail", 5), std::string(bytes, sizeof bytes));
}

// A resumed download whose kept connection the server dropped before any
// answer goes again on a new connection with the same Range; the file is
// exactly as it was before the first try, also when the second one fails.
TEST_F(PiecedDownloadTest, KeptConnectionDroppedBeforeTheAnswer) {
  const std::string kept = "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 0\r\n\r\n";
  const std::string part =
      "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 3-5/6\r\nContent-Length: 3\r\n\r\ndef";
  const struct {
    const char* name;
    CFakeConnection second;
    int result;
    std::string after;
  } cases[] = {
      {"the new connection answers", CFakeConnection().Receive(part), 1, "abcdef"},
      {"the new connection fails too", CFakeConnection().Reset(), 0, "abc"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.File("out.bin");
    TempDir::WriteFile(path, "abc");
    FakeSocketScript({CFakeConnection().Receive(kept).Close(), c.second});
    CHttpClient client;
    std::string response;
    ASSERT_EQ(1, client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
    EXPECT_EQ(c.result, client.Download(kUrl, path.c_str(), response, nullptr, 0, 0));
    EXPECT_EQ(2, FakeSocketConnects());
    EXPECT_EQ("bytes=3-", RequestHeader(FakeSocketSent(1), "Range"));
    ExpectDownloadLeft(dir, path, client, true, c.after);
  }
}

// A 2xx body bound for a file needs a length or chunks: without either it
// would end only with the connection, which is never read. Answers that
// carry no body, and bodies bound for memory, stand as they are.
TEST_F(PiecedDownloadTest, DownloadWithoutALengthIsRefused) {
  const struct {
    const char* head;
    bool post;
    int result;
    HttpError error;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\n\r\n", false, 0, HTTP_ERR_NO_BODY_LENGTH},
      {"HTTP/1.1 200 OK\r\n\r\n", true, 0, HTTP_ERR_NO_BODY_LENGTH},
      {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false, 1, HTTP_ERR_NONE},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", false, 1,
       HTTP_ERR_NONE},
      {"HTTP/1.1 204 No Content\r\n\r\n", false, 1, HTTP_ERR_NONE},
      {"HTTP/1.1 205 Reset Content\r\n\r\n", false, 1, HTTP_ERR_NONE},
      {"HTTP/1.1 304 Not Modified\r\n\r\n", false, 1, HTTP_ERR_NONE},
      {"HTTP/1.1 404 Not Found\r\n\r\n", false, 1, HTTP_ERR_NONE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.head) + (c.post ? " to a POST" : ""));
    TempDir dir;
    const std::string path = dir.File("out.bin");
    FakeSocketScript({CFakeConnection().Receive(c.head).Close()});
    CHttpClient client;
    std::string response;
    EXPECT_EQ(c.result, client.Download(kUrl, path.c_str(), response, c.post ? "a=1" : nullptr,
                                        c.post ? 3 : 0, 0));
    EXPECT_EQ(c.error, client.m_ErrorCode);
    // Nothing is stored for a body that was never read.
    EXPECT_EQ(c.result == 1 && c.head[9] == '2', TempDir::Exists(path));
  }
  // The same answer is read into memory as an empty body.
  FakeSocketScript({CFakeConnection().Receive("HTTP/1.1 200 OK\r\n\r\n").Close()});
  CHttpClient client;
  std::string response = "untouched";
  EXPECT_EQ(1, client.Request(HTTP_METHOD_GET, kUrl, response, nullptr, 0));
  EXPECT_EQ("", response);
}

}  // namespace
