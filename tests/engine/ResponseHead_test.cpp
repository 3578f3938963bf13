#include "engine/ResponseHead.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/ContentEncoding.h"
#include "engine/HttpClient.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace {

TEST(TrimSpacesTest, CutsBlanksOnly) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},         {"   ", ""},         {"a", "a"},
      {"  a b  ", "a b"}, {"\tx ", "\tx"},   {" x\t", "x\t"},
  };
  for (const auto& c : cases) {
    std::vector<char> buffer(c.in, c.in + strlen(c.in) + 1);
    TrimSpaces(&buffer[0]);
    EXPECT_STREQ(c.out, &buffer[0]) << "[" << c.in << "]";
  }
  TrimSpaces(NULL);
}

struct HeadCase {
  const char* name;
  const char* text;
  int result;
  const char* version;
  const char* status;
  const char* reason;
  std::vector<std::pair<std::string, std::string>> headers;  // the whole map, in order
};

TEST(ParseResponseHeadTest, SplitsStatusLineAndHeaders) {
  const HeadCase cases[] = {
      {"ok", "HTTP/1.1 200 OK\r\n\r\n", 1, "HTTP/1.1", "200", "OK", {}},
      {"reason with blanks", "HTTP/1.1 404 Not Found\r\n\r\n", 1, "HTTP/1.1", "404", "Not Found", {}},
      {"no reason", "HTTP/1.1 200\r\n\r\n", 1, "HTTP/1.1", "200", "", {}},
      {"trailing blank", "HTTP/1.1 200 \r\n\r\n", 1, "HTTP/1.1", "200", "", {}},
      {"bare LF ends lines", "HTTP/1.1 204 None\nA: 1\n\n", 1, "HTTP/1.1", "204", "None",
       {{"A", "1"}}},
      {"no blank", "HTTP/1.1\r\nA: b\r\n\r\n", 0, "", "", "", {}},
      {"empty first line", "\r\nA: b\r\n\r\n", 0, "", "", "", {}},
      {"no CRLF at all", "HTTP/1.1 200 OK", 0, "", "", "", {}},
      {"headers trimmed, first value kept, bare lines skipped",
       "HTTP/1.0 200 OK\r\n"
       "Content-Length:  5 \r\n"
       "Content-Length: 7\r\n"
       "content-length: 9\r\n"
       "no colon here\r\n"
       "X-Url: http://a:1/b\r\n"
       "X-Tab:\tv\r\n"
       ": anonymous\r\n"
       "X-Empty:\r\n"
       "\r\n"
       "After: blank\r\n",
       1,
       "HTTP/1.0",
       "200",
       "OK",
       {{"", "anonymous"},
        {"Content-Length", "5"},
        {"X-Empty", ""},
        {"X-Tab", "v"},
        {"X-Url", "http://a:1/b"},
        {"content-length", "9"}}},
      {"a lone LF ends a line, a lone CR does not",
       "HTTP/1.1 200 OK\r\nA: 1\nB: 2\r\nC: 3\rD: 4\r\nE:\t 5 \t\r\n\r\n", 1, "HTTP/1.1",
       "200", "OK", {{"A", "1"}, {"B", "2"}, {"C", "3\rD: 4"}, {"E", "5"}}},
      // A line that begins with a space or a tab continues the line above.
      {"folds joined to the value above with one space",
       "HTTP/1.1 200 OK\r\nX-Note: a \t\r\n  b\r\n\t c \r\nContent-Length: 5\r\n\r\n", 1,
       "HTTP/1.1", "200", "OK", {{"X-Note", "a b c"}, {"Content-Length", "5"}}},
      {"a folded field is no field of its own",
       "HTTP/1.1 200 OK\r\nX-Note: a\r\n Transfer-Encoding: chunked\r\n\r\n", 1, "HTTP/1.1",
       "200", "OK", {{"X-Note", "a Transfer-Encoding: chunked"}}},
      {"a fold of white space only, after an empty value",
       "HTTP/1.1 200 OK\r\nX-Empty:\r\n \r\nX-Next:\r\n\tv\r\n\r\n", 1, "HTTP/1.1", "200",
       "OK", {{"X-Empty", ""}, {"X-Next", "v"}}},
      {"a fold continues a line without a colon, skipped with it",
       "HTTP/1.1 200 OK\r\nno colon\r\n Content-Length: 3\r\nA: 1\r\n\r\n", 1, "HTTP/1.1",
       "200", "OK", {{"A", "1"}}},
      {"folds after LF alone", "HTTP/1.1 200 OK\nA: 1\n 2\n\n", 1, "HTTP/1.1", "200", "OK",
       {{"A", "1 2"}}},
      {"a space before the first header line", "HTTP/1.1 200 OK\r\n Content-Length: 3\r\n\r\n",
       0, "", "", "", {}},
      {"a tab before the first header line", "HTTP/1.1 200 OK\r\n\tA: 1\r\nB: 2\r\n\r\n", 0, "",
       "", "", {}},
      {"a tab before the colon stays in the name",
       "HTTP/1.1 200 OK\r\nContent-Length\t: 5\r\nA :1\r\n\r\n", 1, "HTTP/1.1", "200", "OK",
       {{"A", "1"}, {"Content-Length\t", "5"}}},
      {"text after the last CRLF is ignored", "HTTP/1.1 200 OK\r\nA: 1\r\nB: 2", 1, "HTTP/1.1",
       "200", "OK", {{"A", "1"}}},
  };
  for (const HeadCase& c : cases) {
    std::string version, status, reason;
    HeaderMap headers;
    EXPECT_EQ(c.result, ParseResponseHead(c.text, version, status, reason, headers)) << c.name;
    EXPECT_EQ(c.version, version) << c.name;
    EXPECT_EQ(c.status, status) << c.name;
    EXPECT_EQ(c.reason, reason) << c.name;
    HeaderMap expected(c.headers.begin(), c.headers.end());
    EXPECT_EQ(expected, headers) << c.name;
  }
}

TEST(GetHeaderValueTest, CaseInsensitiveFirstInKeyOrder) {
  HeaderMap headers;
  headers["content-length"] = "9";
  headers["Content-Length"] = "5";
  headers["X"] = "x";
  std::string value = "untouched";
  EXPECT_EQ(1, GetHeaderValue("CONTENT-LENGTH", value, headers));
  EXPECT_EQ("5", value);
  value = "untouched";
  EXPECT_EQ(0, GetHeaderValue("Content-Len", value, headers));
  EXPECT_EQ("untouched", value);
  EXPECT_EQ(1, GetHeaderValue("x", value, headers));
  EXPECT_EQ("x", value);
}

// The response state ParseHeaders leaves, built from what differs from a
// plain answer: Parsed(200).Length(12).KeptAlive() reads as the row says.
struct ParsedState {
  int result;
  HttpError error;
  int status;
  int64_t length = 0;
  int chunked = 0;
  int keepAlive = 0;
  int compressed = 0;
  const char* encoding = "";
  const char* location = "";

  ParsedState(int parsed, HttpError code, int statusCode)
      : result(parsed), error(code), status(statusCode) {}
  ParsedState& Length(int64_t n) {
    length = n;
    return *this;
  }
  ParsedState& ChunkFramed() {
    chunked = 1;
    return *this;
  }
  ParsedState& KeptAlive() {
    keepAlive = 1;
    return *this;
  }
  // A coding the program decodes, kept by name.
  ParsedState& Compressed(const char* name) {
    compressed = 1;
    encoding = name;
    return *this;
  }
  // A coding stored by name only.
  ParsedState& Encoding(const char* name) {
    encoding = name;
    return *this;
  }
  ParsedState& Location(const char* value) {
    location = value;
    return *this;
  }
};

ParsedState Parsed(int status) { return ParsedState(1, HTTP_ERR_NONE, status); }
ParsedState Refused(int status) { return ParsedState(0, HTTP_ERR_RESPONSE_FORMAT, status); }

struct ClientCase : ParsedState {
  const char* name;
  const char* head;
  HttpMethod method;

  ClientCase(const char* caseName, const char* headText, HttpMethod requestMethod,
             const ParsedState& expected)
      : ParsedState(expected), name(caseName), head(headText), method(requestMethod) {}
};

void SetHead(CHttpClient& client, const char* head) { client.m_ResponseHead = head; }

TEST(ReadBodyFieldsTest, ResponseStateFromHead) {
  const HttpMethod GET = HTTP_METHOD_GET;
  const ClientCase cases[] = {
      {"plain", "HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n", GET, Parsed(200).Length(12)},
      {"no length", "HTTP/1.1 200 OK\r\n\r\n", GET, Parsed(200)},
      {"no blank in status line", "HTTP/1.1\r\nContent-Length: 3\r\n\r\n", GET, Refused(0)},
      {"empty first line", "\r\n\r\n", GET, Refused(0)},
      {"status text of letters", "HTTP/1.1 abc\r\n\r\n", GET, Refused(0)},
      {"length with blanks", "HTTP/1.1 200 OK\r\nContent-Length:  42 \r\n\r\n", GET,
       Parsed(200).Length(42)},
      {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n", GET,
       Parsed(200).ChunkFramed()},
      {"chunked wins over letters as length",
       "HTTP/1.1 200 OK\r\nContent-Length: abc\r\nTransfer-Encoding: chunked\r\n\r\n", GET,
       Parsed(200).ChunkFramed()},
      {"chunked wins over a length, and the connection is not kept",
       "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 10\r\n"
       "Transfer-Encoding: chunked\r\n\r\n",
       GET, Parsed(200).ChunkFramed()},
      {"chunked alone keeps the connection",
       "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nTransfer-Encoding: chunked\r\n\r\n", GET,
       Parsed(200).ChunkFramed().KeptAlive()},
      {"negative length counts as absent",
       "HTTP/1.1 200 OK\r\nContent-Length: -5\r\nTransfer-Encoding: chunked\r\n\r\n", GET,
       Parsed(200).ChunkFramed()},
      {"another transfer coding before chunked cannot be undone",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n", GET, Refused(200)},
      {"lengths that differ",
       "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 7\r\ncontent-length: 9\r\n\r\n",
       GET, Refused(200)},
      {"lengths that differ in a name of another case",
       "HTTP/1.1 200 OK\r\nContent-Length: 5\r\ncontent-length: 9\r\n\r\n", GET, Refused(200)},
      {"the same length twice", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\ncontent-length: 5\r\n\r\n",
       GET, Parsed(200).Length(5)},
      {"length between tabs", "HTTP/1.1 200 OK\r\nContent-Length:\t7\t\r\n\r\n", GET,
       Parsed(200).Length(7)},
      {"letters as length", "HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\n", GET, Refused(200)},
      {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", GET, Refused(200)},
      {"two numbers as length", "HTTP/1.1 200 OK\r\nContent-Length: 1 2\r\n\r\n", GET,
       Refused(200)},
      {"digits then letters as length", "HTTP/1.1 200 OK\r\nContent-Length: 12x\r\n\r\n", GET,
       Refused(200)},
      {"empty length", "HTTP/1.1 200 OK\r\nContent-Length:\r\n\r\n", GET, Refused(200)},
      {"a length after the blank line is no header",
       "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nContent-Length: x\r\n", GET,
       Parsed(200).Length(3)},
      {"keep-alive any case", "HTTP/1.1 200 OK\r\nConnection: keep-alive\r\n\r\n", GET,
       Parsed(200).KeptAlive()},
      {"close", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", GET, Parsed(200)},
      // Connection: tokens over every line, any case; close wins.
      {"keep-alive among tokens", "HTTP/1.1 200 OK\r\nConnection: Keep-Alive, Upgrade\r\n\r\n",
       GET, Parsed(200).KeptAlive()},
      {"keep-alive after another token", "HTTP/1.1 200 OK\r\nConnection: Upgrade,keep-alive\r\n\r\n",
       GET, Parsed(200).KeptAlive()},
      {"keep-alive on a second line",
       "HTTP/1.1 200 OK\r\nConnection: Upgrade\r\nconnection: KEEP-ALIVE\r\n\r\n", GET,
       Parsed(200).KeptAlive()},
      {"close among tokens", "HTTP/1.1 200 OK\r\nConnection: keep-alive, close\r\n\r\n", GET,
       Parsed(200)},
      {"close on a second line",
       "HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\nConnection: CLOSE\r\n\r\n", GET,
       Parsed(200)},
      {"close in another name's case first",
       "HTTP/1.1 200 OK\r\nconnection: close\r\nConnection: Keep-Alive\r\n\r\n", GET,
       Parsed(200)},
      {"no keep-alive announced", "HTTP/1.1 200 OK\r\nConnection: Upgrade\r\n\r\n", GET,
       Parsed(200)},
      {"keep-alive is a whole token", "HTTP/1.1 200 OK\r\nConnection: keep-alive2\r\n\r\n", GET,
       Parsed(200)},
      // Content-Encoding: every line, in order, as one list.
      {"identity then gzip",
       "HTTP/1.1 200 OK\r\nContent-Encoding: identity\r\nContent-Encoding: gzip\r\n\r\n", GET,
       Parsed(200).Compressed("identity, gzip")},
      {"an empty line then gzip",
       "HTTP/1.1 200 OK\r\nContent-Encoding:\r\nContent-Encoding: gzip\r\n\r\n", GET,
       Parsed(200).Compressed("gzip")},
      {"lower-case name first, in head order",
       "HTTP/1.1 200 OK\r\ncontent-encoding: gzip\r\nContent-Encoding: identity\r\n\r\n", GET,
       Parsed(200).Compressed("gzip, identity")},
      {"deflate then gzip",
       "HTTP/1.1 200 OK\r\nContent-Encoding: deflate\r\nContent-Encoding: gzip\r\n\r\n", GET,
       Parsed(200).Compressed("deflate, gzip")},
      {"a list then an unknown coding",
       "HTTP/1.1 200 OK\r\nContent-Encoding: gzip, deflate\r\nContent-Encoding: br\r\n\r\n",
       GET, Parsed(200).Encoding("gzip, deflate, br")},
      {"GZIP", "HTTP/1.1 200 OK\r\nContent-Encoding: GZIP\r\n\r\n", GET,
       Parsed(200).Compressed("GZIP")},
      {"deflate", "HTTP/1.1 200 OK\r\nContent-Encoding: deflate\r\n\r\n", GET,
       Parsed(200).Compressed("deflate")},
      {"other coding stored only", "HTTP/1.1 200 OK\r\nContent-Encoding: br\r\n\r\n", GET,
       Parsed(200).Encoding("br")},
      {"redirect keeps location", "HTTP/1.1 302 Found\r\nLocation: /next\r\n\r\n", GET,
       Parsed(302).Location("/next")},
      {"200 ignores location", "HTTP/1.1 200 OK\r\nLocation: /next\r\n\r\n", GET, Parsed(200)},
      {"first location with a value, in head order",
       "HTTP/1.1 302 Found\r\nLocation:\r\nlocation: /a\r\nLocation: /b\r\n\r\n", GET,
       Parsed(302).Location("/a")},
      {"64 MiB in memory accepted", "HTTP/1.1 200 OK\r\nContent-Length: 67108864\r\n\r\n", GET,
       Parsed(200).Length(67108864)},
      // Where the body goes, and so whether it is too large, is the
      // reader's choice once the head is parsed (tests/exchange/BodySize_test).
      {"64 MiB + 1 parsed",
       "HTTP/1.1 301 Moved\r\nContent-Length: 67108865\r\nLocation: /x\r\n\r\n", GET,
       Parsed(301).Length(67108865).Location("/x")},
      {"3 GiB parsed, not cut to 32 bits", "HTTP/1.1 200 OK\r\nContent-Length: 3221225472\r\n\r\n",
       GET, Parsed(200).Length(3221225472LL)},
      {"4 GiB + 1 parsed", "HTTP/1.1 200 OK\r\nContent-Length: 4294967297\r\n\r\n", GET,
       Parsed(200).Length(4294967297LL)},
      // The length of an answer to HEAD is the GET's: it frames nothing.
      {"HEAD response frames no body", "HTTP/1.1 200 OK\r\nContent-Length: 3221225472\r\n\r\n",
       HTTP_METHOD_HEAD, Parsed(200)},
      {"HEAD response with chunks frames no body",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", HTTP_METHOD_HEAD, Parsed(200)},
      {"largest length", "HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775807\r\n\r\n", GET,
       Parsed(200).Length(INT64_MAX)},
      {"length beyond 63 bits", "HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775808\r\n\r\n",
       GET, Refused(200)},
      {"length far beyond", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n",
       GET, Refused(200)},
      {"a list of one length", "HTTP/1.1 200 OK\r\nContent-Length: 6, 6\r\n\r\n", GET,
       Parsed(200).Length(6)},
      {"a list of two lengths", "HTTP/1.1 200 OK\r\nContent-Length: 6, 7\r\n\r\n", GET,
       Refused(200)},
      {"a list with a hole", "HTTP/1.1 200 OK\r\nContent-Length: 6,,6\r\n\r\n", GET, Refused(200)},
      // Values lose the spaces and tabs around them, whatever the header.
      {"chunked before a tab, beside a length",
       "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\t\r\n\r\n", GET,
       Parsed(200).ChunkFramed()},
      {"chunked after a tab", "HTTP/1.1 200 OK\r\nTransfer-Encoding:\tchunked\r\n\r\n", GET,
       Parsed(200).ChunkFramed()},
      {"gzip after a tab", "HTTP/1.1 200 OK\r\nContent-Encoding:\tgzip\r\n\r\n", GET,
       Parsed(200).Compressed("gzip")},
      {"keep-alive between tabs", "HTTP/1.1 200 OK\r\nConnection:\tkeep-alive\t\r\n\r\n", GET,
       Parsed(200).KeptAlive()},
      // A folded line is part of the value above it: it frames nothing,
      // codes nothing and keeps nothing.
      {"a folded chunked beside a length",
       "HTTP/1.1 200 OK\r\nContent-Length: 15\r\nX-Note: a\r\n Transfer-Encoding: chunked\r\n\r\n",
       GET, Parsed(200).Length(15)},
      {"a folded length", "HTTP/1.1 200 OK\r\nX-Note: a\r\n Content-Length: 3\r\n\r\n", GET,
       Parsed(200)},
      {"a folded coding",
       "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nX-Note: a\r\n\tContent-Encoding: gzip\r\n\r\n",
       GET, Parsed(200).Length(5)},
      {"a folded keep-alive",
       "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nX-Note: a\r\n Connection: Keep-Alive\r\n\r\n",
       GET, Parsed(200).Length(5)},
      {"a fold in a header of no use here",
       "HTTP/1.1 200 OK\r\nX-Note: a\r\n b\r\nContent-Length: 5\r\n\r\n", GET,
       Parsed(200).Length(5)},
      {"a folded coding list",
       "HTTP/1.1 200 OK\r\nContent-Encoding: identity,\r\n gzip\r\n\r\n", GET,
       Parsed(200).Compressed("identity, gzip")},
      {"a folded length list", "HTTP/1.1 200 OK\r\nContent-Length: 5,\r\n\t5\r\n\r\n", GET,
       Parsed(200).Length(5)},
      {"a length split by a fold", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n 2\r\n\r\n", GET,
       Refused(200)},
      {"white space before the first header line",
       "HTTP/1.1 200 OK\r\n Content-Length: 3\r\n\r\n", GET, Refused(0)},
      {"a tab before the colon is part of the name",
       "HTTP/1.1 200 OK\r\nContent-Length\t: 5\r\n\r\n", GET, Parsed(200)},
      {"a sign before the length", "HTTP/1.1 200 OK\r\nContent-Length: +5\r\n\r\n", GET,
       Refused(200)},
      // Transfer codings: a list, any case; chunked alone frames the body.
      {"codings in any case and white space",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding:  CHUNKED \t\r\n\r\n", GET, Parsed(200).ChunkFramed()},
      {"identity is no coding",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\n"
       "Content-Length: 5\r\n\r\n",
       GET, Parsed(200).Length(5)},
      {"identity beside chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: identity, chunked\r\n\r\n",
       GET, Parsed(200).ChunkFramed()},
      {"gzip beside a length",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n"
       "Content-Length: 5\r\n\r\n",
       GET, Refused(200)},
      {"an unknown coding", "HTTP/1.1 200 OK\r\nTransfer-Encoding: identityx\r\n\r\n", GET,
       Refused(200)},
      {"chunked twice", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, chunked\r\n\r\n", GET,
       Refused(200)},
      {"codings on two lines",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n"
       "Transfer-Encoding: chunked\r\n\r\n",
       GET, Refused(200)},
      // An answer older than HTTP/1.1 with Transfer-Encoding is read as its
      // coding says, and its connection is not kept.
      {"HTTP/1.0 with chunks",
       "HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nTransfer-Encoding: chunked\r\n\r\n", GET,
       Parsed(200).ChunkFramed()},
      {"HTTP/1.0 with identity beside a length",
       "HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nTransfer-Encoding: identity\r\n"
       "Content-Length: 5\r\n\r\n",
       GET, Parsed(200).Length(5)},
      {"HTTP/1.0 with an empty coding line",
       "HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nTransfer-Encoding:\r\n"
       "Content-Length: 5\r\n\r\n",
       GET, Parsed(200).Length(5)},
      {"HTTP/0.9 with chunks",
       "HTTP/0.9 200 OK\r\nConnection: keep-alive\r\nTransfer-Encoding: chunked\r\n\r\n", GET,
       Parsed(200).ChunkFramed()},
      {"HTTP/1.0 304 with chunks",
       "HTTP/1.0 304 Not Modified\r\nConnection: keep-alive\r\nTransfer-Encoding: chunked\r\n\r\n",
       GET, Parsed(304)},
      {"HTTP/1.0 with a length alone is kept",
       "HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nContent-Length: 5\r\n\r\n", GET,
       Parsed(200).Length(5).KeptAlive()},
      {"a later version with chunks is kept",
       "HTTP/2.0 200 OK\r\nConnection: keep-alive\r\nTransfer-Encoding: chunked\r\n\r\n", GET,
       Parsed(200).ChunkFramed().KeptAlive()},
      // Answers that never have a body frame none, whatever they say.
      {"304 with the length of its 200",
       "HTTP/1.1 304 Not Modified\r\nContent-Length: 1234\r\n"
       "Connection: Keep-Alive\r\n\r\n",
       GET, Parsed(304).KeptAlive()},
      {"204 with chunks", "HTTP/1.1 204 No Content\r\nTransfer-Encoding: chunked\r\n\r\n", GET,
       Parsed(204)},
      {"204 with a length", "HTTP/1.1 204 No Content\r\nContent-Length: 6\r\n\r\n", GET,
       Parsed(204)},
      {"100 with letters as length", "HTTP/1.1 100 Continue\r\nContent-Length: abc\r\n\r\n", GET,
       Parsed(100)},
  };
  for (const ClientCase& c : cases) {
    // The framing comes from the parsed head and the method alone.
    ParsedHead head;
    if (ReadParsedHead(c.head, &head)) {
      BodyFields fields;
      HttpError error = HTTP_ERR_NONE;
      EXPECT_EQ(c.result, ReadBodyFields(head, c.method, &fields, &error)) << c.name;
      EXPECT_EQ(c.error, error) << c.name;
      EXPECT_EQ(c.length, fields.m_ContentLength) << c.name;
      EXPECT_EQ(c.chunked, fields.m_Chunked) << c.name;
      EXPECT_EQ(c.keepAlive, fields.m_KeepAlive) << c.name;
      EXPECT_EQ(c.compressed, IsCompressedEncoding(fields.m_ContentEncoding)) << c.name;
      EXPECT_EQ(c.encoding, fields.m_ContentEncoding) << c.name;
    } else {
      EXPECT_EQ(0, c.result) << c.name;
    }
    // The client keeps the same, with the status and the redirect.
    CHttpClient client;
    client.m_Method = c.method;
    client.m_ResponseHeaders["Stale"] = "from an earlier parse";
    SetHead(client, c.head);
    EXPECT_EQ(c.result, client.ParseHeaders()) << c.name;
    EXPECT_EQ(c.error, client.m_ErrorCode) << c.name;
    EXPECT_EQ(c.status, client.m_StatusCode) << c.name;
    EXPECT_EQ(c.length, client.m_ContentLength) << c.name;
    EXPECT_EQ(c.chunked, client.m_Chunked) << c.name;
    EXPECT_EQ(c.keepAlive, client.m_KeepAlive) << c.name;
    EXPECT_EQ(c.encoding, client.m_ContentEncoding) << c.name;
    EXPECT_EQ(c.location, client.m_Location) << c.name;
    EXPECT_EQ(0u, client.m_ResponseHeaders.count("Stale")) << c.name;
  }
}

TEST(ParseHeadersTest, StatusLinePartsAndMissingHead) {
  CHttpClient client;
  SetHead(client, "HTTP/1.1 404 Not Found\r\nServer: x\r\n\r\n");
  ASSERT_EQ(1, client.ParseHeaders());
  EXPECT_EQ("HTTP/1.1", client.m_ResponseVersion);
  EXPECT_EQ(404, client.m_StatusCode);
  EXPECT_EQ("Not Found", client.m_ReasonPhrase);
  EXPECT_EQ("x", client.m_ResponseHeaders["Server"]);

  CHttpClient empty;
  EXPECT_EQ(0, empty.ParseHeaders());
  EXPECT_EQ(HTTP_ERR_RESPONSE_FORMAT, empty.m_ErrorCode);
}

// Parsing a head changes no file: the output file of a download stays open
// whatever the status and the length; the download decides what becomes of it.
TEST(ParseHeadersTest, LeavesTheOutputFileAlone) {
  const struct {
    const char* status;
    int64_t length;
  } cases[] = {
      {"200 OK", 3221225472LL}, {"206 Partial Content", 3221225472LL}, {"404 Not Found", 10},
      {"404 Not Found", 67108865}, {"302 Found", 0}, {"199 Odd", 0},
  };
  TempDir dir;
  const std::string path = dir.File("out.bin");
  for (const auto& c : cases) {
    CHttpClient client;
    ASSERT_EQ(1, client.m_Target.Open(path.c_str()));
    ASSERT_NE(nullptr, client.m_Target.Get());
    const FileHandle file = client.m_Target.Get();
    const std::string head = std::string("HTTP/1.1 ") + c.status +
                             "\r\nContent-Length: " + std::to_string(c.length) + "\r\n\r\n";
    SetHead(client, head.c_str());
    EXPECT_EQ(1, client.ParseHeaders()) << c.status << " " << c.length;
    EXPECT_EQ(file, client.m_Target.Get()) << c.status << " " << c.length;
    EXPECT_EQ(c.length, client.m_ContentLength);
  }
}

// A head that frames its body neither way is parsed; what becomes of such
// a body is the reader's choice (tests/exchange/PiecedDownload_test.cpp).
TEST(ParseHeadersTest, TellsWhetherTheBodyIsFramed) {
  const struct {
    const char* head;
    int known;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\n\r\n", 0},
      {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", 1},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", 1},
      {"HTTP/1.1 204 No Content\r\n\r\n", 1},
      {"HTTP/1.1 304 Not Modified\r\n\r\n", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.head);
    CHttpClient client;
    SetHead(client, c.head);
    EXPECT_EQ(1, client.ParseHeaders());
    EXPECT_EQ(c.known, client.m_LengthKnown);
    EXPECT_EQ(0, client.m_ContentLength);
  }
}

// The status line is "HTTP/" digit "." digit, a space and three digits,
// then a space and the reason or nothing.
TEST(ReadParsedHeadTest, StatusLines) {
  const struct {
    const char* line;
    int ok;
    int status;
    const char* reason;
  } cases[] = {
      {"HTTP/1.1 200 OK", 1, 200, "OK"},
      {"HTTP/1.0 404 Not  Found ", 1, 404, "Not  Found "},
      {"HTTP/1.1 200", 1, 200, ""},
      {"HTTP/1.1 200 ", 1, 200, ""},
      {"HTTP/2.0 599 x", 1, 599, "x"},
      {"HTTP/1.1  200 OK", 0, 0, ""},
      {"HTTP/1.1 2000 OK", 0, 0, ""},
      {"HTTP/1.1 20 OK", 0, 0, ""},
      {"HTTP/1.1 200OK", 0, 0, ""},
      {"HTTP/1.1 200\tOK", 0, 0, ""},
      {"HTTP/11 200 OK", 0, 0, ""},
      {"HTTP/1.x 200 OK", 0, 0, ""},
      {"http/1.1 200 OK", 0, 0, ""},
      {"ICY 200 OK", 0, 0, ""},
      {" HTTP/1.1 200 OK", 0, 0, ""},
  };
  for (const auto& c : cases) {
    ParsedHead head;
    EXPECT_EQ(c.ok, ReadParsedHead(std::string(c.line) + "\r\nA: 1\r\n\r\n", &head)) << c.line;
    EXPECT_EQ(c.status, head.m_StatusCode) << c.line;
    EXPECT_EQ(c.reason, head.m_Reason) << c.line;
    EXPECT_EQ(c.ok ? 1u : 0u, head.m_Fields.size()) << c.line;
  }
}

// Every header line is kept in order, repeated names included, and a list
// splits into its elements.
TEST(ReadParsedHeadTest, EveryLineAndListElementKept) {
  ParsedHead head;
  ASSERT_EQ(1, ReadParsedHead("HTTP/1.1 200 OK\r\nTE-ish: a\r\nX: 1, 2\r\nx:\t 3 \r\n\r\n", &head));
  ASSERT_EQ(3u, head.m_Fields.size());
  EXPECT_EQ("x", head.m_Fields[2].m_Name);
  EXPECT_EQ("3", head.m_Fields[2].m_Value);
  std::vector<std::string> elements;
  EXPECT_EQ(1, ListValues(head, "X", &elements));
  EXPECT_EQ((std::vector<std::string>{"1", "2", "3"}), elements);
  EXPECT_EQ(0, ListValues(head, "Y", &elements));
}

// A list over several lines reads as one; a field that stands once must
// say the same on every line.
TEST(ReadParsedHeadTest, JoinedAndSingleValues) {
  ParsedHead head;
  ASSERT_EQ(1, ReadParsedHead("HTTP/1.1 200 OK\r\nA: x\r\nb: 1\r\nA:\r\na: y, z\r\n"
                              "B: 1\r\nC: 1\r\nc: 2\r\n\r\n",
                              &head));
  EXPECT_EQ("x, y, z", JoinedValues(head, "a"));
  EXPECT_EQ("", JoinedValues(head, "D"));
  std::string value = "untouched";
  EXPECT_EQ(1, SingleValue(head, "B", &value));
  EXPECT_EQ("1", value);
  value = "untouched";
  EXPECT_EQ(-1, SingleValue(head, "C", &value));
  EXPECT_EQ(0, SingleValue(head, "D", &value));
  EXPECT_EQ("untouched", value);
}

// The head ends at its first empty line, whichever line ends are used.
TEST(FindHeadEndTest, EmptyLineWithEitherLineEnd) {
  const struct {
    const char* text;
    size_t end;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\n\r\nbody", 19}, {"HTTP/1.1 200 OK\n\nbody", 17},
      {"HTTP/1.1 200 OK\r\nA: 1\n\r\nbody", 24}, {"HTTP/1.1 200 OK\nA: 1\r\n\nb", 23},
      {"HTTP/1.1 200 OK\r\n\r", 0}, {"HTTP/1.1 200 OK\r\nA: 1\r\r\n", 0},
      {"\r\nrest", 2}, {"\nrest", 1}, {"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.end, FindHeadEnd(c.text, strlen(c.text))) << c.text;
}

// Only an interim answer is passed over; 101 and every final status are the
// answer. 1xx, 204 and 304 never have a body.
TEST(StatusKindsTest, InterimAndBodiless) {
  const struct {
    int status;
    int interim;
    int bodiless;
  } cases[] = {
      {100, 1, 1}, {103, 1, 1}, {199, 1, 1}, {101, 0, 1}, {200, 0, 0}, {204, 0, 1},
      {205, 0, 0}, {304, 0, 1}, {99, 0, 0},  {404, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.interim, IsInterimStatus(c.status)) << c.status;
    EXPECT_EQ(c.bodiless, IsBodilessStatus(c.status)) << c.status;
  }
}

}  // namespace
