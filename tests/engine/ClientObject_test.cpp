#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/HttpClient.h"
#include "platform/FileSystem.h"
#include "platform/Socket.h"
#include "support/TempDir.h"
#include "support/TestBytes.h"

namespace {

void HeadCallback(CHttpClient*, const char*, void*) {}

// 1 when nobody holds the file open under the exclusive share mode.
bool FileIsFree(const std::string& path) {
  FileHandle probe = FileOpen(path.c_str(), FILE_OPEN_WRITE_EXISTING, FILE_SHARE_EXCLUSIVE);
  if (!probe) return false;
  FileClose(probe);
  return true;
}

TEST(ClientObjectTest, FreshClientDefaults) {
  CHttpClient client;
  EXPECT_EQ(INVALID_SOCKET_HANDLE, client.m_Connection.m_Socket);
  EXPECT_EQ(80, client.m_Port);
  EXPECT_EQ(60000u, client.m_SendTimeout);
  EXPECT_EQ(60000u, client.m_RecvTimeout);
  EXPECT_EQ(HTTP_ERR_NONE, client.m_ErrorCode);
  EXPECT_EQ(HTTP_METHOD_GET, client.m_Method);
  EXPECT_EQ(0, client.m_UseTls);
  EXPECT_EQ(0, client.m_StatusCode);
  EXPECT_EQ(0, client.m_ContentLength);
  EXPECT_TRUE(client.m_ResponseHead.empty());
  EXPECT_EQ(nullptr, client.m_Target.Get());
  EXPECT_EQ(nullptr, client.m_Connection.m_Ssl);
  EXPECT_EQ(nullptr, client.m_HeadCallback);
  EXPECT_EQ(nullptr, client.m_CallbackParam);
  EXPECT_TRUE(client.m_RequestHeaders.empty());
  EXPECT_TRUE(client.m_Connection.m_Host.empty());
  EXPECT_EQ(0, client.m_Connection.m_Port);
  EXPECT_EQ(0, client.m_ResponseClean);
  EXPECT_EQ(1, client.m_StreamsReady);

  unsigned int length = 99;
  const char* body = client.GetBody(&length);
  EXPECT_EQ(0u, length);
  ASSERT_EQ(client.m_RawStream.m_Data, body);
  EXPECT_EQ(65536u, client.m_RawStream.m_Capacity);
  EXPECT_EQ(65536u, client.m_DechunkedStream.m_Capacity);
  EXPECT_TRUE(AllZero(body, 65536));
}

TEST(ClientObjectTest, GetBodyPicksStreamByChunking) {
  CHttpClient client;
  unsigned int written = 0;
  client.m_RawStream.Write("5\r\nhello\r\n0\r\n\r\n", 15, &written);
  client.m_DechunkedStream.Write("hello", 5, &written);

  unsigned int length = 0;
  const char* body = client.GetBody(&length);
  EXPECT_EQ("5\r\nhello\r\n0\r\n\r\n", std::string(body, length));

  client.m_Chunked = 1;
  body = client.GetBody(&length);
  EXPECT_EQ("hello", std::string(body, length));
}

TEST(ClientObjectTest, GetBodyOfExactlyFullBlockReportsWholeLength) {
  CHttpClient client;
  std::string bytes(65536, 'q');
  unsigned int written = 0;
  ASSERT_EQ(1, client.m_RawStream.Write(bytes.data(), 65536, &written));
  ASSERT_EQ(65536u, client.m_RawStream.m_Capacity);  // no room for a terminator
  unsigned int length = 0;
  const char* body = client.GetBody(&length);
  EXPECT_EQ(65536u, length);
  EXPECT_EQ(bytes, std::string(body, length));
}

TEST(ClientObjectTest, GetBodyWithoutStreamBlockIsEmptyText) {
  CHttpClient client;
  // As after a failed allocation: no block, capacity 0.
  free(client.m_RawStream.m_Data);
  client.m_RawStream.m_Data = NULL;
  client.m_RawStream.m_Capacity = 0;
  unsigned int length = 99;
  const char* body = client.GetBody(&length);
  ASSERT_NE(nullptr, body);
  EXPECT_EQ(0u, length);
  EXPECT_EQ('\0', body[0]);
}

TEST(ClientObjectTest, AddHeaderKeepsFirstValueOfExactName) {
  CHttpClient client;
  client.AddHeader("Accept", "a");
  client.AddHeader("Accept", "b");
  client.AddHeader("accept", "b");
  client.AddHeader("X-Empty", "");
  ASSERT_EQ(3u, client.m_RequestHeaders.size());
  EXPECT_EQ("a", client.m_RequestHeaders["Accept"]);
  EXPECT_EQ("b", client.m_RequestHeaders["accept"]);
  EXPECT_EQ("", client.m_RequestHeaders["X-Empty"]);
}

TEST(ClientObjectTest, IsSuccessOnlyFor2xx) {
  const struct {
    int status;
    int success;
  } cases[] = {{0, 0}, {199, 0}, {200, 1}, {204, 1}, {299, 1}, {300, 0}, {404, 0}, {-200, 0}};
  CHttpClient client;
  for (const auto& c : cases) {
    client.m_StatusCode = c.status;
    EXPECT_EQ(c.success, client.IsSuccess()) << c.status;
  }
}

TEST(ClientObjectTest, ResetClearsResponseStateAndKeepsTheRest) {
  TempDir dir;
  const std::string file = dir.File("out.bin");
  CHttpClient client;
  SocketHandle socket = SocketCreateTcp();
  ASSERT_NE(INVALID_SOCKET_HANDLE, socket);
  client.m_Connection.m_Socket = socket;
  client.m_Connection.m_Host = "host";
  client.m_Connection.m_Port = 8080;
  client.AddHeader("X-Keep", "1");
  client.m_HeadCallback = HeadCallback;
  int param = 0;
  client.m_CallbackParam = &param;

  client.m_UseTls = 1;
  client.m_ErrorCode = HTTP_ERR_NETWORK;
  client.m_Host = "host";
  client.m_Path = "/p";
  client.m_Port = 8080;
  client.m_Method = HTTP_METHOD_POST;
  client.m_StatusCode = 302;
  client.m_ResponseVersion = "HTTP/1.1";
  client.m_ReasonPhrase = "Found";
  client.m_ContentLength = 12;
  client.m_KeepAlive = client.m_Chunked = 1;
  client.m_ContentEncoding = "gzip";
  client.m_Location = "/elsewhere";
  client.m_ResponseClean = 1;
  client.m_ResponseHead = "head";
  client.m_ResponseHeaders["Server"] = "x";
  client.m_RequestOnlyHeaders["Range"] = "bytes=5-";
  client.m_Download.m_Target = &client.m_Target;
  client.m_Download.m_KeepOrigin = client.m_Download.m_CallerRange = 1;
  client.m_Sink = nullptr;
  client.m_BodyCodings.push_back(CODING_GZIP);
  std::string big(70000, 'r');
  unsigned int written = 0;
  client.m_RawStream.Write(big.data(), 70000, &written);
  client.m_DechunkedStream.Write("abc", 3, &written);
  // An earlier file, opened for a download as the download opens it.
  TempDir::WriteFile(file, "earlier");
  ASSERT_EQ(1, client.m_Target.Open(file.c_str()));
  ASSERT_NE(nullptr, client.m_Target.Get());
  ASSERT_FALSE(FileIsFree(file));

  client.Reset();

  EXPECT_EQ(0, client.m_UseTls);
  EXPECT_EQ(HTTP_ERR_NONE, client.m_ErrorCode);
  EXPECT_TRUE(client.m_Host.empty());
  EXPECT_TRUE(client.m_Path.empty());
  EXPECT_EQ(80, client.m_Port);
  EXPECT_EQ(HTTP_METHOD_GET, client.m_Method);
  EXPECT_EQ(0, client.m_StatusCode);
  EXPECT_TRUE(client.m_ResponseVersion.empty());
  EXPECT_TRUE(client.m_ReasonPhrase.empty());
  EXPECT_EQ(0, client.m_ContentLength);
  EXPECT_EQ(0, client.m_KeepAlive);
  EXPECT_EQ(0, client.m_Chunked);
  EXPECT_TRUE(client.m_ContentEncoding.empty());
  EXPECT_TRUE(client.m_Location.empty());
  EXPECT_EQ(0, client.m_ResponseClean);
  EXPECT_TRUE(client.m_ResponseHead.empty());
  EXPECT_TRUE(client.m_ResponseHeaders.empty());
  EXPECT_TRUE(client.m_RequestOnlyHeaders.empty());
  EXPECT_EQ(nullptr, client.m_Download.m_Target);
  EXPECT_EQ(0, client.m_Download.m_KeepOrigin);
  EXPECT_EQ(0, client.m_Download.m_CallerRange);
  EXPECT_EQ(BodyToMemory(), client.m_Sink);
  EXPECT_TRUE(client.m_BodyCodings.empty());
  EXPECT_EQ(0u, client.m_RawStream.m_Length);
  EXPECT_EQ(98304u, client.m_RawStream.m_Capacity);  // the grown block stays
  EXPECT_TRUE(AllZero(client.m_RawStream.m_Data, client.m_RawStream.m_Capacity));
  EXPECT_EQ(0u, client.m_DechunkedStream.m_Length);
  EXPECT_TRUE(AllZero(client.m_DechunkedStream.m_Data, 65536));
  EXPECT_EQ(nullptr, client.m_Target.Get());
  EXPECT_TRUE(FileIsFree(file));
  EXPECT_EQ("earlier", TempDir::ReadFile(file));

  // Kept: the connection, request headers, time-outs and callbacks.
  EXPECT_EQ(socket, client.m_Connection.m_Socket);
  EXPECT_EQ("host", client.m_Connection.m_Host);
  EXPECT_EQ(8080, client.m_Connection.m_Port);
  EXPECT_EQ("1", client.m_RequestHeaders["X-Keep"]);
  EXPECT_EQ(60000u, client.m_SendTimeout);
  EXPECT_EQ(HeadCallback, client.m_HeadCallback);
  EXPECT_EQ(&param, client.m_CallbackParam);
}

TEST(ClientObjectTest, CloseEndsConnectionAndForgetsItsTarget) {
  CHttpClient client;
  client.Close();  // nothing open: nothing happens
  EXPECT_EQ(INVALID_SOCKET_HANDLE, client.m_Connection.m_Socket);
  EXPECT_EQ(nullptr, client.m_Connection.m_Ssl);

  client.m_Connection.m_Socket = SocketCreateTcp();
  ASSERT_NE(INVALID_SOCKET_HANDLE, client.m_Connection.m_Socket);
  client.m_Connection.m_Host = "host";
  client.m_Connection.m_Port = 443;
  client.m_Connection.m_Tls = 1;
  client.m_Host = "host";
  SSL_CTX* context = SSL_CTX_new(TLS_client_method());
  ASSERT_NE(nullptr, context);
  client.m_Connection.m_Ssl = SSL_new(context);
  ASSERT_NE(nullptr, client.m_Connection.m_Ssl);
  SSL_set_fd(client.m_Connection.m_Ssl, client.m_Connection.m_Socket);
  client.Close();
  SSL_CTX_free(context);
  EXPECT_EQ(nullptr, client.m_Connection.m_Ssl);
  EXPECT_EQ(INVALID_SOCKET_HANDLE, client.m_Connection.m_Socket);
  EXPECT_TRUE(client.m_Connection.m_Host.empty());
  EXPECT_EQ(0, client.m_Connection.m_Port);
  EXPECT_EQ(0, client.m_Connection.m_Tls);
  EXPECT_EQ("host", client.m_Host);  // response state is Reset's business
  client.Close();
  EXPECT_EQ(INVALID_SOCKET_HANDLE, client.m_Connection.m_Socket);
}

TEST(ClientObjectTest, DestructorClosesOutputFile) {
  TempDir dir;
  const std::string file = dir.File("out.bin");
  CHttpClient* client = new CHttpClient();
  TempDir::WriteFile(file, "earlier");
  ASSERT_EQ(1, client->m_Target.Open(file.c_str()));
  ASSERT_NE(nullptr, client->m_Target.Get());
  client->m_Connection.m_Socket = SocketCreateTcp();
  ASSERT_FALSE(FileIsFree(file));
  delete client;
  EXPECT_TRUE(FileIsFree(file));
  EXPECT_EQ("earlier", TempDir::ReadFile(file));
}

}  // namespace
