// Response head parsing, alone and through the client's ParseHeaders, on any
// head text, judged against the reading rules of HeadReference.h: the
// status line, a fold as the first header line refused, every header line
// in order (folds joined, repeated names kept, names without the spaces
// around them, values without the spaces and tabs around them), the framing
// and coding lists read from every line of a name, the -compress suffix,
// and the Connection tokens. Input: a flags byte (1: the answer is to
// HEAD), then the head text.
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "HeadReference.h"
#include "engine/ContentEncoding.h"
#include "engine/HttpClient.h"
#include "engine/ResponseHead.h"

namespace {

// The same codings, or both lists not undone (ReadContentCodings).
int SameCodings(const std::string& a, const std::string& b) {
  std::vector<ContentCoding> first;
  std::vector<ContentCoding> second;
  const int firstKnown = ReadContentCodings(a, first);
  const int secondKnown = ReadContentCodings(b, second);
  return firstKnown == secondKnown && first == second;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CFuzzInput input(data, size);
  const uint8_t flags = input.TakeByte();
  const std::string rest = input.TakeRest();
  // The head is a C string, as the reader hands it over.
  const std::string head(rest.c_str());

  const int status = headref::ReadableStatus(head);
  const headref::Fields fields = headref::HeaderFields(head);

  ParsedHead parsedHead;
  const int read = ReadParsedHead(head, &parsedHead);
  FUZZ_CHECK(read == (status >= 0 ? 1 : 0));
  if (read) {
    FUZZ_CHECK(parsedHead.m_StatusCode == status);
    const std::string statusLine = headref::Lines(head)[0];
    FUZZ_CHECK(parsedHead.m_Version == statusLine.substr(0, 8));
    FUZZ_CHECK(parsedHead.m_Reason == (statusLine.size() > 13 ? statusLine.substr(13) : ""));
    // Every header line, in order, with its name and value as the rules cut them.
    FUZZ_CHECK(parsedHead.m_Fields.size() == fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
      FUZZ_CHECK(parsedHead.m_Fields[i].m_Name == fields[i].first);
      FUZZ_CHECK(parsedHead.m_Fields[i].m_Value == fields[i].second);
    }
  } else {
    FUZZ_CHECK(parsedHead.m_Fields.empty());
  }

  // The map form keeps the first value of each exact name.
  std::string version, statusText, reason;
  HeaderMap headers;
  const int parsed = ParseResponseHead(head.c_str(), version, statusText, reason, headers);
  FUZZ_CHECK(parsed == read);
  if (parsed) {
    HeaderMap expected;
    for (const auto& field : fields) expected.insert(HeaderMap::value_type(field.first, field.second));
    FUZZ_CHECK(headers == expected);
  }

  CHttpClient client;
  client.m_Method = (flags & 1) ? HTTP_METHOD_HEAD : HTTP_METHOD_GET;
  client.m_ResponseHead = head;
  const int ok = client.ParseHeaders();
  FUZZ_CHECK(ok == 0 || ok == 1);
  if (status < 0) {
    FUZZ_CHECK(!ok && client.m_ErrorCode == HTTP_ERR_RESPONSE_FORMAT);
    return 0;
  }
  FUZZ_CHECK(client.m_StatusCode == status);
  if (ok) {
    // One Content-Encoding list over every line of the name.
    const std::string codings = headref::CodingList(fields);
    FUZZ_CHECK(SameCodings(client.GetContentEncoding(), codings));
    FUZZ_CHECK(CodingSuffix(client.GetContentEncoding()) == headref::OutermostSuffix(fields));
  }

  const int keepAlive = headref::AnnouncesKeepAlive(head, fields);
  if (headref::IsBodiless(status) || client.m_Method == HTTP_METHOD_HEAD) {
    // Such an answer ends at its empty line; its head frames nothing.
    FUZZ_CHECK(ok == 1);
    FUZZ_CHECK(!client.m_Chunked && client.m_ContentLength == 0 && client.m_LengthKnown);
    FUZZ_CHECK(client.m_KeepAlive == keepAlive);
    return 0;
  }
  int64_t length = 0;
  int both = 0;
  const headref::Framing framing = headref::FramingOf(fields, &length, &both);
  if (framing == headref::UNFRAMEABLE) {
    FUZZ_CHECK(!ok && client.m_ErrorCode == HTTP_ERR_RESPONSE_FORMAT);
    return 0;
  }
  FUZZ_CHECK(ok == 1);
  FUZZ_CHECK(client.m_ErrorCode == HTTP_ERR_NONE);
  FUZZ_CHECK(client.m_Chunked == (framing == headref::FRAMED_BY_CHUNKS ? 1 : 0));
  FUZZ_CHECK(client.m_LengthKnown == (framing == headref::NOT_FRAMED ? 0 : 1));
  FUZZ_CHECK(client.m_ContentLength == (framing == headref::FRAMED_BY_LENGTH ? length : 0));
  // Framed both ways, the answer may end elsewhere than either says.
  FUZZ_CHECK(client.m_KeepAlive == (both ? 0 : keepAlive));
  return 0;
}
