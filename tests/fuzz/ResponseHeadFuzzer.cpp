// Response head parsing, alone and through the client's ParseHeaders, on any
// head text.
#include <cstdlib>
#include <cstring>

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
      // A name or value never reaches across a line end.
      FUZZ_CHECK(it->first.find("\r\n") == std::string::npos);
      FUZZ_CHECK(it->second.find("\r\n") == std::string::npos);
      std::string value;
      FUZZ_CHECK(GetHeaderValue(it->first.c_str(), value, headers) == 1);
    }
  }

  CHttpClient client;
  client.m_Method = (flags & 1) ? HTTP_METHOD_HEAD : HTTP_METHOD_GET;
  client.m_ResponseHead = static_cast<char*>(malloc(head.size() + 1));
  if (!client.m_ResponseHead) return 0;
  memcpy(client.m_ResponseHead, head.c_str(), head.size() + 1);
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
  } else {
    FUZZ_CHECK(client.m_ErrorCode != HTTP_ERR_NONE);
  }
  return 0;
}
