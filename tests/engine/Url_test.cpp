#include "engine/Url.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct UrlCase {
  const char* url;
  int result;
  const char* scheme;
  const char* host;
  const char* path;
  unsigned short port;
  int tls;
};

TEST(ParseUrlTest, SplitsUrls) {
  const UrlCase cases[] = {
      {"HTTPS://host/a?b=1#c", 1, "https", "host", "/a?b=1#c", 443, 1},
      {"host", 1, "http", "host", "/", 80, 0},
      {"http://host:8080", 1, "http", "host", "/", 8080, 0},
      {"https://host:/x", 1, "https", "host", "/x", 443, 1},
      {"HtTp://Host.Example/", 1, "http", "Host.Example", "/", 80, 0},
      {"http://user:pw@host:81/p", 1, "http", "user:pw@host", "/p", 81, 0},
      {"http://user@host/p", 1, "http", "user@host", "/p", 80, 0},
      // A query or a fragment with no path ends the host and the port text.
      {"http://host?x=1", 1, "http", "host", "/?x=1", 80, 0},
      {"http://127.0.0.1:8080?q=1", 1, "http", "127.0.0.1", "/?q=1", 8080, 0},
      {"http://h#top", 1, "http", "h", "/#top", 80, 0},
      {"https://h:8443#a/b?c", 1, "https", "h", "/#a/b?c", 8443, 1},
      {"example.com?q=1", 1, "http", "example.com", "/?q=1", 80, 0},
      {"http://h?a/b", 1, "http", "h", "/?a/b", 80, 0},
      {"http://u@h:81?x", 1, "http", "u@h", "/?x", 81, 0},
      {"http://[::1]:8080?q", 1, "http", "[::1]", "/?q", 8080, 0},
      {"http://h:?q", 1, "http", "h", "/?q", 80, 0},
      {"http://host:80:90/", 1, "http", "host:80", "/", 90, 0},
      {"http://host:65535/", 1, "http", "host", "/", 65535, 0},
      {"http://host:1/", 1, "http", "host", "/", 1, 0},
      {"http://host:00080/", 1, "http", "host", "/", 80, 0},
      {"http://:8080/x", 1, "http", "", "/x", 8080, 0},
      {"http://[::1]:8080/", 1, "http", "[::1]", "/", 8080, 0},
      {"host//a%20b", 1, "http", "host", "//a%20b", 80, 0},
      // Failures.
      {"", 0, nullptr, nullptr, nullptr, 0, 0},
      {"host/r?u=http://other", 0, nullptr, nullptr, nullptr, 0, 0},
      {"ftp://host/", 0, nullptr, nullptr, nullptr, 0, 0},
      {"://host", 0, nullptr, nullptr, nullptr, 0, 0},
      {"http://", 0, nullptr, nullptr, nullptr, 0, 0},
      {"http:///x", 0, nullptr, nullptr, nullptr, 0, 0},
      {"/x", 0, nullptr, nullptr, nullptr, 0, 0},
      {"http://?q=1", 0, nullptr, nullptr, nullptr, 0, 0},
      {"http://#top", 0, nullptr, nullptr, nullptr, 0, 0},
      {"http://h:80x?q", 0, nullptr, nullptr, nullptr, 0, 0},
      // A port text that is not digits naming 1 to 65535 names no port.
      {"http://host:abc/", 0, nullptr, nullptr, nullptr, 0, 0},
      {"http://host:65536/", 0, nullptr, nullptr, nullptr, 0, 0},
      {"http://127.0.0.1:65616/", 0, nullptr, nullptr, nullptr, 0, 0},
      {"http://host:99999999999999999999/", 0, nullptr, nullptr, nullptr, 0, 0},
      {"http://host:0/", 0, nullptr, nullptr, nullptr, 0, 0},
      {"http://host:+12x/", 0, nullptr, nullptr, nullptr, 0, 0},
      {"http://host:-1/", 0, nullptr, nullptr, nullptr, 0, 0},
      {"http://host:8o/", 0, nullptr, nullptr, nullptr, 0, 0},
      {"http://user:pw@host/p", 0, nullptr, nullptr, nullptr, 0, 0},
  };
  for (const UrlCase& c : cases) {
    std::string scheme, host = "untouched", path = "untouched";
    unsigned short port = 1234;
    int tls = 7;
    ASSERT_EQ(c.result, ParseUrl(c.url, scheme, &host, &path, &port, &tls)) << c.url;
    if (!c.result) {
      // Host and path are written only on success.
      EXPECT_EQ("untouched", host) << c.url;
      EXPECT_EQ("untouched", path) << c.url;
      continue;
    }
    EXPECT_EQ(c.scheme, scheme) << c.url;
    EXPECT_EQ(c.host, host) << c.url;
    EXPECT_EQ(c.path, path) << c.url;
    EXPECT_EQ(c.port, port) << c.url;
    EXPECT_EQ(c.tls, tls) << c.url;
  }
}

// A URL goes into the request line and the Host line as it is, so a byte that
// could end a line or a field there makes it unusable, wherever it stands.
TEST(ParseUrlTest, ControlBytesAndBlanksAreRefused) {
  const char* const refused[] = {
      "127.0.0.1:8080/a HTTP/1.1\r\nHost: x\r\n\r\nGET /b",
      "http://host/a\rb",
      "http://host/a\nb",
      "http://host/a b",
      "http://host/a\tb",
      "http://host/a\x01",
      "http://host/a\x1F",
      "http://host/a\x7F",
      "http://ho\r\nst/",
      "http://host: 12/",
      " http://host/",
      "http://host/\n",
  };
  for (const char* url : refused) {
    std::string scheme, host = "untouched", path = "untouched";
    unsigned short port = 0;
    int tls = 0;
    EXPECT_EQ(0, ParseUrl(url, scheme, &host, &path, &port, &tls)) << url;
    EXPECT_EQ("untouched", host) << url;
    EXPECT_EQ("untouched", path) << url;
  }
}

TEST(ParseUrlTest, BytesFromTheUpperHalfStayAsTheyAre) {
  struct Case {
    const char* url;
    const char* host;
    const char* path;
  } cases[] = {
      {"http://host/\x80\xFF", "host", "/\x80\xFF"},
      {"http://h\xC3\xA9te/caf\xC3\xA9?q=!~", "h\xC3\xA9te", "/caf\xC3\xA9?q=!~"},
  };
  for (const Case& c : cases) {
    std::string scheme, host, path;
    unsigned short port = 0;
    int tls = 0;
    ASSERT_EQ(1, ParseUrl(c.url, scheme, &host, &path, &port, &tls)) << c.url;
    EXPECT_EQ(c.host, host);
    EXPECT_EQ(c.path, path);
  }
}

TEST(ParseUrlTest, LongUrlIsKeptWhole) {
  const std::string tail(5000, 'p');
  const std::string url = "http://host/" + tail;
  std::string scheme, host, path;
  unsigned short port = 0;
  int tls = 0;
  ASSERT_EQ(1, ParseUrl(url.c_str(), scheme, &host, &path, &port, &tls));
  EXPECT_EQ("/" + tail, path);
}

}  // namespace
