#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/HttpClient.h"
#include "support/RequestText.h"

namespace {

struct HeadCase {
  const char* name;
  int method;
  int contentLength;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string expected;
};

TEST(RequestHeadTest, BuildsHeadByteForByte) {
  const std::string d = DefaultRequestHeaders("host");
  const HeadCase cases[] = {
      {"get", HTTP_METHOD_GET, 0, {}, "GET /x HTTP/1.1\r\n" + d + "Content-Length: 0\r\n\r\n"},
      {"post", HTTP_METHOD_POST, 11, {}, "POST /x HTTP/1.1\r\n" + d + "Content-Length: 11\r\n\r\n"},
      {"put", HTTP_METHOD_PUT, 0, {}, "PUT /x HTTP/1.1\r\n" + d + "Content-Length: 0\r\n\r\n"},
      {"delete", HTTP_METHOD_DELETE, 0, {}, "DELETE /x HTTP/1.1\r\n" + d + "Content-Length: 0\r\n\r\n"},
      {"head", HTTP_METHOD_HEAD, 0, {}, "HEAD /x HTTP/1.1\r\n" + d + "Content-Length: 0\r\n\r\n"},
      {"options", HTTP_METHOD_OPTIONS, 0, {},
       "OPTIONS /x HTTP/1.1\r\n" + d + "Content-Length: 0\r\n\r\n"},
      {"unknown method", 7, 0, {}, "GET /x HTTP/1.1\r\n" + d + "Content-Length: 0\r\n\r\n"},
      {"negative method", -1, 0, {}, "GET /x HTTP/1.1\r\n" + d + "Content-Length: 0\r\n\r\n"},
      {"upload announces its own length", HTTP_METHOD_POST, -1, {},
       "POST /x HTTP/1.1\r\n" + d + "\r\n"},
      {"caller host replaces default in map order",
       HTTP_METHOD_GET,
       0,
       {{"host", "other:81"}, {"Alpha", "1"}},
       "GET /x HTTP/1.1\r\n"
       "Alpha: 1\r\n"
       "host: other:81\r\n"
       "Accept: */*\r\n"
       "Accept-Encoding: identity, gzip, deflate\r\n"
       "User-Agent: \r\n"
       "Content-Length: 0\r\n\r\n"},
      {"caller headers in byte order, only missing defaults added",
       HTTP_METHOD_GET,
       0,
       {{"User-Agent", "me"}, {"Connection", "Keep-Alive"}, {"Accept", "text/html"}},
       "GET /x HTTP/1.1\r\n"
       "Accept: text/html\r\n"
       "Connection: Keep-Alive\r\n"
       "User-Agent: me\r\n"
       "Host: host\r\n"
       "Accept-Encoding: identity, gzip, deflate\r\n"
       "Content-Length: 0\r\n\r\n"},
      {"upper case sorts before lower case",
       HTTP_METHOD_GET,
       0,
       {{"accept", "x"}, {"Zeta", "z"}},
       "GET /x HTTP/1.1\r\n"
       "Zeta: z\r\n"
       "accept: x\r\n"
       "Host: host\r\n"
       "Accept-Encoding: identity, gzip, deflate\r\n"
       "User-Agent: \r\n"
       "Content-Length: 0\r\n\r\n"},
      {"empty value and caller Content-Length both sent",
       HTTP_METHOD_POST,
       3,
       {{"Content-Length", "99"}, {"X-Empty", ""}, {"accept-encoding", "gzip"}},
       "POST /x HTTP/1.1\r\n"
       "Content-Length: 99\r\n"
       "X-Empty: \r\n"
       "accept-encoding: gzip\r\n"
       "Host: host\r\n"
       "Accept: */*\r\n"
       "User-Agent: \r\n"
       "Content-Length: 3\r\n\r\n"},
  };
  for (const HeadCase& c : cases) {
    CHttpClient client;
    client.m_Host = "host";
    client.m_Path = "/x";
    client.m_Port = 8080;  // never shown in the Host line
    for (const auto& h : c.headers) client.AddHeader(h.first, h.second);
    std::string head;
    client.BuildRequestHead(head, c.method, c.contentLength);
    EXPECT_EQ(c.expected, head) << c.name;
  }
}

TEST(RequestHeadTest, AppendsLongLinesWhole) {
  CHttpClient client;
  const std::string host(3000, 'h');
  const std::string path = "/" + std::string(6000, 'p') + "?q=1#f";
  const std::string value(10000, 'v');
  client.m_Host = host;
  client.m_Path = path;
  client.AddHeader("X-Long", value);
  std::string head = "kept:";
  client.BuildRequestHead(head, HTTP_METHOD_GET, 0);
  const std::string expected = "kept:GET " + path + " HTTP/1.1\r\nX-Long: " + value + "\r\n" +
                               DefaultRequestHeaders(host) + "Content-Length: 0\r\n\r\n";
  EXPECT_EQ(expected, head);
}

}  // namespace
