// Downloads into a file against a scripted server on 127.0.0.1: new and
// resumed files, what a file holds after every kind of answer or failure,
// chunked rewrites, devices as sinks. Answers broken off mid-body and bodies
// split at chosen receives are in tests/exchange/PiecedDownload_test.cpp.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/EarlierFile.h"
#include "engine/HttpClient.h"
#include "platform/FileSystem.h"
#include "support/BodyCoding.h"
#include "support/CallbackLog.h"
#include "support/DownloadLeft.h"
#include "support/Responses.h"
#include "support/ScriptedServer.h"
#include "support/TempDir.h"

namespace {

const std::string kOld(1000, 'o');

bool HasRangeHeader(const std::string& request, std::string* value) {
  const std::string key = "\r\nRange: ";
  const std::string::size_type at = request.find(key);
  if (at == std::string::npos) return false;
  const std::string::size_type end = request.find("\r\n", at + key.size());
  *value = request.substr(at + key.size(), end - at - key.size());
  return true;
}

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override { StartNetworkOnce(); }
  TempDir m_Dir;
};

// ---------------------------------------------------------------------------
// What the file holds afterwards, for new, empty and resumed files.

struct FileCase {
  const char* name;
  bool existed;          // a file is there before the call: kFileThere or kNoFile
  std::string before;    // its content
  CExchange exchange;
  int keepOrigin;  // kAsOnTheWire (-origin) or kDecoded
  int result;      // what Download returns: kDone or kFails
  HttpError code;
  bool exists;           // the file is there afterwards: kLeft or kGone
  std::string after;     // its content then
  std::string range;     // the Range value sent, empty for none
  std::string response;  // the text handed back
};

// The other flag columns of FileCase, by name.
const int kAsOnTheWire = 1;
const int kDecoded = 0;
const int kDone = 1;
const int kFails = 0;

TEST_F(DownloadTest, WhatTheFileHolds) {
  const std::string framed = "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n";
  std::vector<FileCase> cases = {
      {"new file, 200", kNoFile, "", Exchange().Reply(Response("200 OK", "", "fresh body")),
       kDecoded, kDone, HTTP_ERR_NONE, kLeft, "fresh body", "", ""},
      {"empty file, no Range", kFileThere, "",
       Exchange().Reply(Response("200 OK", "", "fresh body")), kDecoded, kDone, HTTP_ERR_NONE,
       kLeft, "fresh body", "", ""},
      {"resumed, 206 appended", kFileThere, kOld,
       Exchange().Reply(
           Response("206 Partial Content", "Content-Range: bytes 1000-1003/1004\r\n", "tail")),
       kDecoded, kDone, HTTP_ERR_NONE, kLeft, kOld + "tail", "bytes=1000-", ""},
      {"resumed, 206 without Content-Range refused", kFileThere, kOld,
       Exchange().Reply(Response("206 Partial Content", "", "tail")), kDecoded, kFails,
       HTTP_ERR_RESPONSE_FORMAT, kLeft, kOld, "bytes=1000-", ""},
      {"resumed, 206 with an unreadable Content-Range refused", kFileThere, kOld,
       Exchange().Reply(Response("206 Partial Content", "Content-Range: bytes */1004\r\n", "tail")),
       kDecoded, kFails, HTTP_ERR_RESPONSE_FORMAT, kLeft, kOld, "bytes=1000-", ""},
      {"resumed, chunked 206 without Content-Range refused", kFileThere, kOld,
       Exchange().Reply(ChunkedResponse("206 Partial Content", "", "4\r\ntail\r\n0\r\n\r\n")),
       kDecoded, kFails, HTTP_ERR_RESPONSE_FORMAT, kLeft, kOld, "bytes=1000-", ""},
      {"resumed, 206 from elsewhere refused", kFileThere, kOld,
       Exchange().Reply(
           Response("206 Partial Content", "Content-Range: bytes 0-3/1004\r\n", "head")),
       kDecoded, kFails, HTTP_ERR_RESPONSE_FORMAT, kLeft, kOld, "bytes=1000-", ""},
      {"resumed, 206 whose Content-Range lines disagree refused", kFileThere, kOld,
       Exchange().Reply(Response("206 Partial Content",
                                 "content-range: bytes 0-3/1004\r\n"
                                 "Content-Range: bytes 1000-1003/1004\r\n",
                                 "head")),
       kDecoded, kFails, HTTP_ERR_RESPONSE_FORMAT, kLeft, kOld, "bytes=1000-", ""},
      {"resumed, 206 with one Content-Range twice appended", kFileThere, kOld,
       Exchange().Reply(Response("206 Partial Content",
                                 "Content-Range: bytes 1000-1003/1004\r\n"
                                 "content-range: bytes 1000-1003/1004\r\n",
                                 "tail")),
       kDecoded, kDone, HTTP_ERR_NONE, kLeft, kOld + "tail", "bytes=1000-", ""},
      {"resumed, 200 is the whole resource", kFileThere, kOld,
       Exchange().Reply(Response("200 OK", "", "the whole thing")), kDecoded, kDone, HTTP_ERR_NONE,
       kLeft, "the whole thing", "bytes=1000-", ""},
      {"resumed, 416 keeps the file", kFileThere, kOld,
       Exchange().Reply(
           Response("416 Range Not Satisfiable", "Content-Range: bytes */1000\r\n", "no range")),
       kDecoded, kDone, HTTP_ERR_NONE, kLeft, kOld, "bytes=1000-", "no range"},
      // A file that was there is the user's, empty or not: never removed.
      {"empty file, 404 keeps it", kFileThere, "",
       Exchange().Reply(Response("404 Not Found", "", "gone")), kDecoded, kDone, HTTP_ERR_NONE,
       kLeft, "", "", "gone"},
      {"empty file, cut short keeps it", kFileThere, "",
       Exchange().Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart").Close(), kDecoded,
       kFails, HTTP_ERR_DISCONNECTED, kLeft, "", "", ""},
      {"new file, 404 is deleted", kNoFile, "",
       Exchange().Reply(Response("404 Not Found", "", "<p>missing</p>")), kDecoded, kDone,
       HTTP_ERR_NONE, kGone, "", "", "<p>missing</p>"},
      {"new file, 204 stays empty", kNoFile, "",
       Exchange().Reply("HTTP/1.1 204 No Content\r\n\r\n"), kDecoded, kDone, HTTP_ERR_NONE, kLeft,
       "", "", ""},
      {"resumed, 204 keeps the file", kFileThere, kOld,
       Exchange().Reply("HTTP/1.1 204 No Content\r\n\r\n"), kDecoded, kDone, HTTP_ERR_NONE, kLeft,
       kOld, "bytes=1000-", ""},
      {"new file, 201 body kept", kNoFile, "",
       Exchange().Reply(Response("201 Created", "", "made")), kDecoded, kDone, HTTP_ERR_NONE, kLeft,
       "made", "", ""},
      {"bytes beyond the length are not written", kNoFile, "",
       Exchange().Reply(Response("200 OK", "", "abc") + "SURPLUS"), kDecoded, kDone, HTTP_ERR_NONE,
       kLeft, "abc", "", ""},
      {"chunked, de-chunked", kNoFile, "", Exchange().Reply(ChunkedResponse("200 OK", "", framed)),
       kDecoded, kDone, HTTP_ERR_NONE, kLeft, "hello world", "", ""},
      {"chunked with extensions, de-chunked", kNoFile, "",
       Exchange().Reply(ChunkedResponse(
           "200 OK", "",
           "5;name=value\r\nhello\r\n6;" + std::string(300, 'x') + "\r\n world\r\n0\r\n\r\n")),
       kDecoded, kDone, HTTP_ERR_NONE, kLeft, "hello world", "", ""},
      {"chunked, kept as on the wire", kNoFile, "",
       Exchange().Reply(ChunkedResponse("200 OK", "", framed)), kAsOnTheWire, kDone, HTTP_ERR_NONE,
       kLeft, framed, "", ""},
      {"resumed, chunked 206 behind the old bytes", kFileThere, kOld,
       Exchange().Reply(ChunkedResponse("206 Partial Content",
                                        "Content-Range: bytes 1000-1010/1011\r\n", framed)),
       kDecoded, kDone, HTTP_ERR_NONE, kLeft, kOld + "hello world", "bytes=1000-", ""},
      {"resumed, chunked 200 replaces the file", kFileThere, kOld,
       Exchange().Reply(ChunkedResponse("200 OK", "", framed)), kDecoded, kDone, HTTP_ERR_NONE,
       kLeft, "hello world", "bytes=1000-", ""},
      {"resumed, chunked 200 kept as on the wire", kFileThere, kOld,
       Exchange().Reply(ChunkedResponse("200 OK", "", framed)), kAsOnTheWire, kDone, HTTP_ERR_NONE,
       kLeft, framed, "bytes=1000-", ""},
  };
  // Bodies larger than one gathered block.
  std::string big;
  for (int i = 0; big.size() < 700000; ++i) big += std::to_string(i) + ",";
  cases.push_back({"large body, every byte in order", kNoFile, "",
                   Exchange().Reply(Response("200 OK", "", big)), kDecoded, kDone, HTTP_ERR_NONE,
                   kLeft, big, "", ""});
  cases.push_back({"large chunked body kept as on the wire", kNoFile, "",
                   Exchange().Reply(ChunkedResponse("200 OK", "", Chunked(big, 5000))),
                   kAsOnTheWire, kDone, HTTP_ERR_NONE, kLeft, Chunked(big, 5000), "", ""});
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.File("out.bin");
    if (c.existed) TempDir::WriteFile(path, c.before);
    CScriptedServer server({{c.exchange}});
    CHttpClient client;
    std::string response = "untouched";
    EXPECT_EQ(c.result, client.Download(server.Url("/f").c_str(), path.c_str(), response, nullptr, 0,
                                        c.keepOrigin));
    EXPECT_EQ(c.code, client.m_ErrorCode);
    ExpectDownloadLeft(dir, path, client, c.exists, c.after);
    if (!c.response.empty()) {
      EXPECT_EQ(c.response, response);
    }
    if (c.result == 0) {
      EXPECT_EQ("untouched", response);
      EXPECT_EQ(INVALID_SOCKET_HANDLE, client.m_Connection.m_Socket);
    }
    ASSERT_TRUE(server.WaitForRequests(1));
    std::string range;
    EXPECT_EQ(!c.range.empty(), HasRangeHeader(server.Request(0), &range));
    EXPECT_EQ(c.range, range);
  }
}

// A whole-body answer to a resume request passes over side names in use and
// leaves what stands there as it was. The earlier file's one aside name is
// never replaced: when it is taken, the body is given up and the earlier
// file stays where it is.
TEST_F(DownloadTest, WholeBodyPassesOverSideNamesInUseAndNeverTakesATakenAsideName) {
  struct Case {
    const char* name;
    bool asideTaken;
    int result;
    std::string file;
  } cases[] = {
      {"aside name free", false, 1, "the whole thing"},
      {"aside name taken", true, 0, kOld},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.File("out.bin");
    TempDir::WriteFile(path, kOld);
    const std::string sideDir = path + "_zelvor.part";
    ASSERT_EQ(0, mkdir(sideDir.c_str(), 0700));
    TempDir::WriteFile(path + "_zelvor.part1", "not ours");
    if (c.asideTaken) TempDir::WriteFile(path + "_zelvor.bk", "not ours either");
    CScriptedServer server({{Exchange().Reply(Response("200 OK", "", "the whole thing"))}});
    CHttpClient client;
    std::string response;
    EXPECT_EQ(c.result, client.Download(server.Url("/f").c_str(), path.c_str(), response, nullptr, 0, 0));
    EXPECT_EQ(c.file, TempDir::ReadFile(path));
    EXPECT_EQ(PATH_DIRECTORY, PathGetKind(sideDir.c_str()));
    EXPECT_EQ("not ours", TempDir::ReadFile(path + "_zelvor.part1"));
    if (c.asideTaken) {
      EXPECT_EQ(HTTP_ERR_FILE_OPERATION, client.m_ErrorCode);
      EXPECT_EQ("not ours either", TempDir::ReadFile(path + "_zelvor.bk"));
    }
    EXPECT_EQ(c.asideTaken ? 4u : 3u, dir.Names().size());
  }
}

// A whole body that takes the place of a file that was there (resumed or
// empty) leaves that file aside with the client's keeper when the keeper
// keeps that very path, for the caller to drop or to bring back; with no
// keeper, or one for another path, it is dropped once the body is in place.
// A part that continues the file, and a body that fails, leave the earlier
// file at the path and nothing beside it.
TEST_F(DownloadTest, EarlierFileReplacedByAWholeBodyStaysAsideWithItsKeeper) {
  const std::string whole = Response("200 OK", "", "the whole thing");
  enum Keeper { kNoKeeper, kThisPath, kOtherPath };
  struct Case {
    const char* name;
    std::string before;
    Keeper keeper;
    CExchange exchange;
    int result;
    std::string file;
    bool aside;  // the earlier bytes stand under the aside name afterwards
  } cases[] = {
      {"replaced, no keeper", kOld, kNoKeeper, Exchange().Reply(whole), 1, "the whole thing", false},
      {"replaced, keeper of another path", kOld, kOtherPath, Exchange().Reply(whole), 1,
       "the whole thing", false},
      {"replaced, kept", kOld, kThisPath, Exchange().Reply(whole), 1, "the whole thing", true},
      {"empty file replaced, kept", "", kThisPath, Exchange().Reply(whole), 1, "the whole thing",
       true},
      {"continued", kOld, kThisPath,
       Exchange().Reply(Response("206 Partial Content", "Content-Range: bytes 1000-1002/1003\r\n",
                                 "end")),
       1, kOld + "end", false},
      {"cut short", kOld, kThisPath,
       Exchange().Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart").Close(), 0, kOld,
       false},
      {"empty file, cut short", "", kThisPath,
       Exchange().Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart").Close(), 0, "",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.File("out.bin");
    TempDir::WriteFile(path, c.before);
    CEarlierFile earlier;
    if (c.keeper != kNoKeeper) {
      ASSERT_EQ(c.keeper == kThisPath ? 1 : 0,
                earlier.Find(c.keeper == kThisPath ? path : dir.File("other")));
    }
    CScriptedServer server({{c.exchange}});
    CHttpClient client;
    client.m_EarlierFile = &earlier;
    std::string response;
    EXPECT_EQ(c.result, client.Download(server.Url("/f").c_str(), path.c_str(), response, nullptr, 0, 0));
    EXPECT_EQ(c.file, TempDir::ReadFile(path));
    EXPECT_EQ(c.aside, earlier.IsAside() == 1);
    if (c.aside) {
      EXPECT_EQ(path + "_zelvor.bk", earlier.Aside());
      EXPECT_EQ(c.before, TempDir::ReadFile(earlier.Aside()));
      // Another run sees it in use while it is aside.
      EXPECT_EQ(1, PathIsLockedByAnother(earlier.Aside().c_str()));
    } else if (c.keeper == kThisPath) {
      EXPECT_EQ(1, earlier.IsAtPath());
    }
    EXPECT_EQ(c.aside ? 2u : 1u, dir.Names().size());
  }
}

TEST_F(DownloadTest, RangeHeaderIsForItsOwnDownload) {
  const std::string path = m_Dir.File("a.bin");
  TempDir::WriteFile(path, kOld);
  CScriptedServer server(CServerScript::AlwaysReply(
      Response("206 Partial Content", "Content-Range: bytes 1000-1000/1001\r\n", "x")));
  CHttpClient client;
  std::string response;
  ASSERT_EQ(1, client.Download(server.Url("/").c_str(), path.c_str(), response, nullptr, 0, 0));
  EXPECT_EQ(0u, client.m_RequestHeaders.count("Range"));
  // A second, longer file asks for its own end; the part that starts at the
  // first file's end is refused.
  const std::string other = m_Dir.File("b.bin");
  TempDir::WriteFile(other, std::string(2000, 'p'));
  EXPECT_EQ(0, client.Download(server.Url("/").c_str(), other.c_str(), response, nullptr, 0, 0));
  EXPECT_EQ(std::string(2000, 'p'), TempDir::ReadFile(other));
  ASSERT_TRUE(server.WaitForRequests(2));
  std::string range;
  ASSERT_TRUE(HasRangeHeader(server.Request(1), &range));
  EXPECT_EQ("bytes=2000-", range);
}

// A Range of the caller's, in whatever case it is written, is the one the
// request asks for: a resumed file adds none of its own beside it.
TEST_F(DownloadTest, CallersRangeInAnyCaseIsTheOnlyOne) {
  const std::string path = m_Dir.File("a.bin");
  TempDir::WriteFile(path, kOld);
  CScriptedServer server(CServerScript::OneReply(
      Response("206 Partial Content", "Content-Range: bytes 1000-1000/1001\r\n", "x")));
  CHttpClient client;
  client.AddHeader("range", "bytes=1000-");
  std::string response;
  ASSERT_EQ(1, client.Download(server.Url("/").c_str(), path.c_str(), response, nullptr, 0, 0));
  EXPECT_EQ(kOld + "x", TempDir::ReadFile(path));
  ASSERT_TRUE(server.WaitForRequests(1));
  std::string lower = server.Request(0);
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  size_t ranges = 0;
  for (size_t at = lower.find("\r\nrange:"); at != std::string::npos;
       at = lower.find("\r\nrange:", at + 1))
    ++ranges;
  EXPECT_EQ(1u, ranges) << server.Request(0);
}

TEST_F(DownloadTest, DirectoryAsPathSendsNothing) {
  CScriptedServer server(CServerScript::OneReply(Response("200 OK", "", "x")));
  CHttpClient client;
  std::string response;
  EXPECT_EQ(0, client.Download(server.Url("/").c_str(), m_Dir.Path().c_str(), response, nullptr, 0, 0));
  EXPECT_EQ(HTTP_ERR_FILE_OPERATION, client.m_ErrorCode);
  EXPECT_TRUE(std::filesystem::is_directory(m_Dir.Path()));
  server.Stop();
  EXPECT_EQ(0, server.ConnectionCount());
}

TEST_F(DownloadTest, MethodFollowsTheBodyLength) {
  struct Case {
    const char* body;
    int bodyLen;
    std::string start;
  } cases[] = {
      {"abc", 3, "POST / HTTP/1.1\r\n"},
      {"abc", 0, "GET / HTTP/1.1\r\n"},
      {nullptr, 0, "GET / HTTP/1.1\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start + std::to_string(c.bodyLen));
    TempDir dir;
    CScriptedServer server(CServerScript::OneReply(Response("200 OK", "", "")));
    CHttpClient client;
    std::string response;
    ASSERT_EQ(1, client.Download(server.Url("/").c_str(), dir.File("o").c_str(), response, c.body,
                                 c.bodyLen, 0));
    ASSERT_TRUE(server.WaitForRequests(1));
    const std::string request = server.Request(0);
    EXPECT_EQ(c.start, request.substr(0, c.start.size()));
    const std::string tail = "Content-Length: " + std::to_string(c.bodyLen) + "\r\n\r\n" +
                             (c.bodyLen > 0 ? std::string(c.body) : std::string());
    EXPECT_EQ(tail, request.substr(request.size() - tail.size()));
  }
}

TEST_F(DownloadTest, FileIsExclusiveWhileTheTransferRuns) {
  struct Probe {
    std::string path;
    int opened = -1;
    static void OnData(CHttpClient*, const char*, int, void* param) {
      Probe* probe = static_cast<Probe*>(param);
      FileHandle other = FileOpen(probe->path.c_str(), FILE_OPEN_READ_EXISTING, FILE_SHARE_READERS);
      probe->opened = other ? 1 : 0;
      if (other) FileClose(other);
    }
  };
  struct Case {
    const char* name;
    std::string before;  // empty: no file there
    std::string reply;
  } cases[] = {
      {"new file", "", Response("200 OK", "", "data")},
      {"resumed, 206", kOld,
       Response("206 Partial Content", "Content-Range: bytes 1000-1003/1004\r\n", "data")},
      // The whole resource goes elsewhere first; the original stays held.
      {"resumed, 200", kOld, Response("200 OK", "", "data")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    Probe probe;
    probe.path = dir.File("locked");
    if (!c.before.empty()) TempDir::WriteFile(probe.path, c.before);
    CScriptedServer server(CServerScript::OneReply(c.reply));
    CHttpClient client;
    client.m_DataCallback = Probe::OnData;
    client.m_CallbackParam = &probe;
    std::string response;
    ASSERT_EQ(1, client.Download(server.Url("/").c_str(), probe.path.c_str(), response, nullptr, 0, 0));
    EXPECT_EQ(0, probe.opened);
    // Afterwards nobody holds it.
    FileHandle after = FileOpen(probe.path.c_str(), FILE_OPEN_WRITE_EXISTING, FILE_SHARE_EXCLUSIVE);
    EXPECT_NE(nullptr, after);
    if (after) FileClose(after);
  }
}

// ---------------------------------------------------------------------------
// Devices as sinks.

TEST_F(DownloadTest, DeviceIsASink) {
  struct Case {
    const char* name;
    std::string reply;
    int keepOrigin;
  } cases[] = {
      {"200", Response("200 OK", "", "to nowhere"), 0},
      {"404", Response("404 Not Found", "", "gone"), 0},
      {"chunked", ChunkedResponse("200 OK", "", "3\r\nabc\r\n0\r\n\r\n"), 0},
      {"chunked kept", ChunkedResponse("200 OK", "", "3\r\nabc\r\n0\r\n\r\n"), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CScriptedServer server(CServerScript::OneReply(c.reply));
    CHttpClient client;
    std::string response;
    EXPECT_EQ(1, client.Download(server.Url("/").c_str(), "/dev/null", response, nullptr, 0, c.keepOrigin));
    EXPECT_EQ(HTTP_ERR_NONE, client.m_ErrorCode);
    struct stat info;
    ASSERT_EQ(0, stat("/dev/null", &info));
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    ASSERT_TRUE(server.WaitForRequests(1));
    // A device is never resumed.
    std::string range;
    EXPECT_FALSE(HasRangeHeader(server.Request(0), &range));
  }
}

// Reads a FIFO to its end on a thread of its own.
class CFifoReader {
 public:
  explicit CFifoReader(const std::string& path) : m_Path(path) {
    m_Thread = std::thread([this] {
      const int fd = open(m_Path.c_str(), O_RDONLY);
      if (fd < 0) return;
      char block[4096];
      ssize_t got = 0;
      while ((got = read(fd, block, sizeof(block))) > 0) m_Bytes.append(block, static_cast<size_t>(got));
      close(fd);
    });
  }
  // Everything read once every writer is gone.
  std::string Finish() {
    // A writer opened and closed here frees a reader still waiting to open.
    const int fd = open(m_Path.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) close(fd);
    m_Thread.join();
    return m_Bytes;
  }

 private:
  std::string m_Path;
  std::string m_Bytes;
  std::thread m_Thread;
};

TEST_F(DownloadTest, FifoGetsTheBodyAFileWouldHold) {
  const std::string text = "hello world, hello pipe";
  const std::string framed = "5\r\nhello\r\n12;ext=" + std::string(40, 'e') + "\r\n" + text.substr(5) +
                             "\r\n0\r\n\r\n";
  struct Case {
    const char* name;
    std::string reply;
    int keepOrigin;
    std::string piped;  // what the reader gets
  } cases[] = {
      {"plain", Response("200 OK", "", text), 0, text},
      {"chunked, de-chunked", ChunkedResponse("200 OK", "", framed), 0, text},
      {"chunked, kept as on the wire", ChunkedResponse("200 OK", "", framed), 1, framed},
      // Without a decoder the engine stores what the server coded.
      {"gzip, as coded", Response("200 OK", "Content-Encoding: gzip\r\n", Gzip(text)), 0,
       Gzip(text)},
      {"chunked gzip, de-chunked",
       ChunkedResponse("200 OK", "Content-Encoding: gzip\r\n", Chunked(Gzip(text), 7)), 0,
       Gzip(text)},
      {"chunked gzip, kept as on the wire",
       ChunkedResponse("200 OK", "Content-Encoding: gzip\r\n", Chunked(Gzip(text), 7)), 1,
       Chunked(Gzip(text), 7)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    CFifoReader reader(fifo);
    CScriptedServer server(CServerScript::OneReply(c.reply));
    CHttpClient client;
    std::string response;
    EXPECT_EQ(1, client.Download(server.Url("/").c_str(), fifo.c_str(), response, nullptr, 0, c.keepOrigin));
    EXPECT_EQ(HTTP_ERR_NONE, client.m_ErrorCode);
    // Nothing of the body is held: the sink has it all, and is closed.
    EXPECT_FALSE(static_cast<bool>(client.m_Target));
    unsigned int length = 0;
    client.GetBody(&length);
    EXPECT_EQ(0u, length);
    EXPECT_EQ(c.piped, reader.Finish());
    struct stat info;
    ASSERT_EQ(0, lstat(fifo.c_str(), &info));
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
  }
}

// A decoder that upper-cases the body and refuses an "X" in it: enough to see
// where decoded bytes go, and what a body that fails to decode leaves.
class CUpperDecoder : public CBodyDecoder {
 public:
  int Begin(const std::vector<ContentCoding>&) override {
    m_Failed = 0;
    return 1;
  }
  int Decode(const char* data, size_t length, BodyWriter write, void* param) override {
    std::string upper(data, length);
    for (char& ch : upper) {
      if (ch == 'X') m_Failed = 1;
      ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    }
    return !m_Failed && write(param, upper.data(), upper.size());
  }
  int End() override { return !m_Failed; }
  int Failed() const override { return m_Failed; }
  int m_Failed = 0;
};

// A sink gets a decoded body only once all of it decoded; a file gets it as
// it arrives and is dropped when it fails. No scratch file is left anywhere.
TEST_F(DownloadTest, DecodedBodyReachesASinkOnlyWhole) {
  const std::string good = std::string(300000, 'a') + "end";
  const std::string bad = std::string(300000, 'a') + "X";
  struct Case {
    const char* name;
    bool fifo;
    std::string body;
    int result;
    std::string stored;  // what the fifo or the file holds afterwards
  } cases[] = {
      {"fifo, decodes", true, good, 1, std::string(300000, 'A') + "END"},
      {"fifo, fails", true, bad, 0, ""},
      {"file, decodes", false, good, 1, std::string(300000, 'A') + "END"},
      {"file, fails", false, bad, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.File("out");
    if (c.fifo) {
      ASSERT_EQ(0, mkfifo(path.c_str(), 0600));
    }
    std::unique_ptr<CFifoReader> reader(c.fifo ? new CFifoReader(path) : nullptr);
    // A coding is named, so the body is offered to the decoder.
    CScriptedServer server(
        CServerScript::OneReply(ChunkedResponse("200 OK", "Content-Encoding: gzip\r\n", Chunked(c.body, 70000))));
    CUpperDecoder decoder;
    CHttpClient client;
    client.m_BodyDecoder = &decoder;
    std::string response;
    EXPECT_EQ(c.result, client.Download(server.Url("/").c_str(), path.c_str(), response, nullptr, 0, 0));
    if (c.fifo) {
      EXPECT_EQ(c.stored, reader->Finish());
    } else {
      EXPECT_EQ(c.result == 1, TempDir::Exists(path));
      if (c.result) {
        EXPECT_EQ(c.stored, TempDir::ReadFile(path));
      }
    }
    EXPECT_EQ(c.fifo || c.result ? 1u : 0u, dir.Names().size());
  }
}

// A link is never replaced, and what it points to is only ever added to.
TEST_F(DownloadTest, LinkIsASinkWrittenAtItsEnd) {
  const std::string printed = "printed before\n";
  struct Case {
    const char* name;
    CExchange exchange;
    int result;
    std::string after;  // the target's bytes afterwards
  } cases[] = {
      {"200", Exchange().Reply(Response("200 OK", "", "body")), 1, printed + "body"},
      {"chunked", Exchange().Reply(ChunkedResponse("200 OK", "", "2\r\nhi\r\n0\r\n\r\n")), 1,
       printed + "hi"},
      {"404", Exchange().Reply(Response("404 Not Found", "", "gone")), 1, printed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string target = dir.File("target");
    const std::string link = dir.File("link");
    TempDir::WriteFile(target, printed);
    ASSERT_EQ(0, symlink(target.c_str(), link.c_str()));
    CScriptedServer server({{c.exchange}});
    CHttpClient client;
    std::string response;
    EXPECT_EQ(c.result, client.Download(server.Url("/").c_str(), link.c_str(), response, nullptr, 0, 0));
    EXPECT_EQ(c.after, TempDir::ReadFile(target));
    char pointsTo[4096] = {0};
    ASSERT_GT(readlink(link.c_str(), pointsTo, sizeof(pointsTo) - 1), 0);
    EXPECT_EQ(target, std::string(pointsTo));
    EXPECT_EQ(2u, dir.Names().size());
    ASSERT_TRUE(server.WaitForRequests(1));
    // The target held data, yet a sink is never resumed.
    std::string range;
    EXPECT_FALSE(HasRangeHeader(server.Request(0), &range));
  }
}

TEST_F(DownloadTest, FailedWriteToTheDeviceIsAFileError) {
  CScriptedServer server(CServerScript::OneReply(Response("200 OK", "", "no space")));
  CHttpClient client;
  std::string response;
  EXPECT_EQ(0, client.Download(server.Url("/").c_str(), "/dev/full", response, nullptr, 0, 0));
  EXPECT_EQ(HTTP_ERR_FILE_OPERATION, client.m_ErrorCode);
  struct stat info;
  ASSERT_EQ(0, stat("/dev/full", &info));
  EXPECT_TRUE(S_ISCHR(info.st_mode));
}

}  // namespace
