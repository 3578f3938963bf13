#include "frontend/DownloadDecoder.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/HttpClient.h"
#include "frontend/ImpBroxCmd.h"
#include "support/BodyCoding.h"
#include "support/CallbackLog.h"
#include "support/ScriptedServer.h"
#include "support/TempDir.h"
#include "support/TestBytes.h"

namespace {

// The front end's decoder, remembering what Begin said: -1 when the client
// never asked.
class CAskedDecoder : public CDownloadDecoder {
 public:
  using CDownloadDecoder::CDownloadDecoder;
  int Begin(const std::vector<ContentCoding>& codings) override {
    m_Said = CDownloadDecoder::Begin(codings);
    return m_Said;
  }
  int m_Said = -1;
};

// Whether a download's body is stored decoded: its codings, the options
// that keep it as sent, and a 206 part that lands after a resumed file's
// old end. Each cell is a download run as the drivers run it.
TEST(DownloadDecoder, BeginDecidesWhetherTheBodyIsDecoded) {
  StartNetworkOnce();
  // The columns: 200 and 206 without options; 200 and 206 under -append;
  // 200 under -origin, under -compress, under both.
  struct Row {
    const char* coding;
    int plain200, plain206, append200, append206, origin, compress, both;
  } rows[] = {
      {"gzip", 1, 1, 1, 0, 0, 0, 0},
      {"DEFLATE", 1, 1, 1, 0, 0, 0, 0},
      {"x-gzip", 1, 1, 1, 0, 0, 0, 0},
      {"deflate, identity, gzip", 1, 1, 1, 0, 0, 0, 0},
      {"", 0, 0, 0, 0, 0, 0, 0},
      {"identity", 0, 0, 0, 0, 0, 0, 0},
      {"br", 0, 0, 0, 0, 0, 0, 0},
      {"gzip, br", 0, 0, 0, 0, 0, 0, 0},
  };
  // -append keeps a file that holds data, and the download resumes it.
  struct Column {
    const char* name;
    int status, append, origin, compress;
    int Row::*expected;
  } columns[] = {
      {"200", 200, 0, 0, 0, &Row::plain200},
      {"206", 206, 0, 0, 0, &Row::plain206},
      {"-append 200", 200, 1, 0, 0, &Row::append200},
      {"-append 206", 206, 1, 0, 0, &Row::append206},
      {"-origin", 200, 0, 1, 0, &Row::origin},
      {"-compress", 200, 0, 0, 1, &Row::compress},
      {"-origin -compress", 200, 0, 1, 1, &Row::both},
  };
  const std::string old = "old";
  for (const Row& row : rows) {
    for (const Column& column : columns) {
      SCOPED_TRACE(std::string(row.coding) + ", " + column.name);
      CImpBroxCmd cmd;
      cmd.m_Append = column.append;
      cmd.m_Origin = column.origin;
      cmd.m_Compress = column.compress;
      TempDir dir;
      const std::string path = dir.File("out");
      if (column.append) TempDir::WriteFile(path, old);
      // No body at all decodes whole, so every cell's download succeeds.
      const std::string status = column.status == 206 ? "206 Partial Content" : "200 OK";
      CScriptedServer server(
          CServerScript::OneReply("HTTP/1.1 " + status + "\r\nContent-Encoding: " + row.coding +
                                  "\r\nContent-Range: bytes 3-3/4\r\nContent-Length: 0\r\n\r\n"));
      CAskedDecoder decoder(cmd);
      CHttpClient client;
      client.m_BodyDecoder = &decoder;
      // A 206 to a new file stands only as the answer to a Range the caller
      // asked for.
      if (column.status == 206 && !column.append) client.AddHeader("Range", "bytes=3-");
      std::string response;
      ASSERT_EQ(1, client.Download(server.Url("/").c_str(), path.c_str(), response, nullptr, 0,
                                   cmd.m_Origin));
      EXPECT_EQ(row.*column.expected, decoder.m_Said == 1 ? 1 : 0);
      EXPECT_EQ(0, decoder.Failed());
      // A part lands behind the old bytes; a 200 is the whole (empty) file.
      EXPECT_EQ(column.append && column.status == 206 ? old : "", TempDir::ReadFile(path));
    }
  }
}

int Collect(void* param, const char* data, size_t length) {
  static_cast<std::string*>(param)->append(data, length);
  return 1;
}

int Refuse(void*, const char*, size_t) { return 0; }

// A body of two codings fed a byte at a time, as the smallest reads bring it.
// A writer that refuses the decoded bytes stops the decoding, yet the body is
// not the one at fault.
TEST(DownloadDecoder, UndoesEveryCodingAsTheBodyArrives) {
  const std::string text = Pattern(100000);
  const std::string body = Gzip(ZlibDeflate(text));
  const struct {
    const char* name;
    std::string body;
    BodyWriter write;
    int ok;
    int failed;  // what Failed() says: the body did not decode
  } cases[] = {
      {"whole", body, Collect, 1, 0},
      {"cut short", body.substr(0, body.size() - 1), Collect, 0, 1},
      {"the inner stream followed by bytes", Gzip(ZlibDeflate(text) + "x"), Collect, 0, 1},
      {"refused by the writer", body, Refuse, 0, 0},
  };
  CImpBroxCmd cmd;
  CDownloadDecoder decoder(cmd);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // The same decoder over again, as each answer of a batch meets it.
    ASSERT_EQ(1, decoder.Begin({CODING_DEFLATE, CODING_GZIP}));
    std::string out;
    int fed = 1;
    for (size_t i = 0; fed && i < c.body.size(); ++i) fed = decoder.Decode(&c.body[i], 1, c.write, &out);
    const int ended = decoder.End();
    EXPECT_EQ(c.ok, fed && ended);
    EXPECT_EQ(c.failed, decoder.Failed());
    // What came before a fault may have been written; a whole body is all there.
    if (c.ok) {
      EXPECT_TRUE(text == out) << out.size() << " bytes";
    }
  }
}

}  // namespace
