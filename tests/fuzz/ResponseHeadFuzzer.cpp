// Response head parsing, alone and through the client's ParseHeaders, on any
// head text: lines end in LF (a CR before it belongs to the line end),
// values lose the spaces and tabs around them, the status line is strict,
// and an answer that never has a body frames none.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "engine/HttpClient.h"
#include "engine/ResponseHead.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CFuzzInput input(data, size);
  const uint8_t flags = input.TakeByte();
  const std::string rest = input.TakeRest();
  // The head is a C string, as the reader hands it over.
  const std::string head(rest.c_str());

  std::string version, statusText, reason;
  HeaderMap headers;
  const int parsed = ParseResponseHead(head.c_str(), version, statusText, reason, headers);
  if (parsed) {
    for (HeaderMap::const_iterator it = headers.begin(); it != headers.end(); ++it) {
      // A name or value never reaches across a line end, and a value has
      // no white space at either end.
      FUZZ_CHECK(it->first.find('\n') == std::string::npos);
      FUZZ_CHECK(it->second.find('\n') == std::string::npos);
      if (!it->second.empty()) {
        FUZZ_CHECK(it->second.front() != ' ' && it->second.front() != '\t');
        FUZZ_CHECK(it->second.back() != ' ' && it->second.back() != '\t');
      }
      std::string value;
      FUZZ_CHECK(GetHeaderValue(it->first.c_str(), value, headers) == 1);
    }
  }

  CHttpClient client;
  client.m_Method = (flags & 1) ? HTTP_METHOD_HEAD : HTTP_METHOD_GET;
  client.m_ResponseHead = head;
  const int ok = client.ParseHeaders();
  FUZZ_CHECK(ok == 0 || ok == 1);
  if (ok) {
    FUZZ_CHECK(parsed == 1);
    // Whatever the head says, the body length the reader works with is
    // never negative, and a chunked body has no announced length.
    FUZZ_CHECK(client.m_ContentLength >= 0);
    FUZZ_CHECK(!client.m_Chunked || client.m_ContentLength == 0);
    FUZZ_CHECK(client.m_Compressed == 0 || client.m_Compressed == 1);
    // Either framing, or neither; never both at once.
    FUZZ_CHECK(client.m_LengthKnown == 0 || client.m_LengthKnown == 1);
    FUZZ_CHECK(client.m_LengthKnown || (!client.m_Chunked && client.m_ContentLength == 0));
    // "HTTP/" digit "." digit, a space and three digits.
    FUZZ_CHECK(head.size() >= 12 && head.compare(0, 5, "HTTP/") == 0 && head[8] == ' ');
    FUZZ_CHECK(client.m_StatusCode >= 0 && client.m_StatusCode <= 999);
    FUZZ_CHECK(client.m_StatusCode == (head[9] - '0') * 100 + (head[10] - '0') * 10 + (head[11] - '0'));
    if (IsBodilessStatus(client.m_StatusCode) || client.m_Method == HTTP_METHOD_HEAD)
      FUZZ_CHECK(!client.m_Chunked && client.m_ContentLength == 0 && client.m_LengthKnown);
    // Chunks frame a body only when a Transfer-Encoding line says so.
    std::vector<std::string> codings;
    if (client.m_Chunked) FUZZ_CHECK(ListValues(client.m_Head, "Transfer-Encoding", &codings));
  } else {
    FUZZ_CHECK(client.m_ErrorCode != HTTP_ERR_NONE);
  }
  return 0;
}
