#include <string>

#include "engine/HttpClient.h"
#include "platform/CRuntime.h"

namespace {

const char* MethodName(int method) {
  switch (method) {
    case HTTP_METHOD_POST:
      return "POST";
    case HTTP_METHOD_PUT:
      return "PUT";
    case HTTP_METHOD_DELETE:
      return "DELETE";
    case HTTP_METHOD_HEAD:
      return "HEAD";
    case HTTP_METHOD_OPTIONS:
      return "OPTIONS";
    default:
      return "GET";
  }
}

// The next line of two header maps walked together in their one key order:
// the lower name first; a name both hold comes once, from first. NULL when
// both are done.
const HeaderMap::value_type* NextLine(const HeaderMap& first, HeaderMap::const_iterator& a,
                                      const HeaderMap& second, HeaderMap::const_iterator& b) {
  const HeaderMap::key_compare before = first.key_comp();
  if (a == first.end()) return b == second.end() ? nullptr : &*b++;
  if (b != second.end() && before(b->first, a->first)) return &*b++;
  if (b != second.end() && !before(a->first, b->first)) ++b;
  return &*a++;
}

}  // namespace

void CHttpClient::BuildRequestHead(std::string& head, int method, int contentLength) {
  head += MethodName(method);
  head += ' ';
  head += m_Path;
  head += " HTTP/1.1\r\n";

  int haveHost = 0, haveAccept = 0, haveEncoding = 0, haveAgent = 0;
  // The client's headers win a name this request also gives, as the first
  // value of a name stays.
  HeaderMap::const_iterator client = m_RequestHeaders.begin();
  HeaderMap::const_iterator own = m_RequestOnlyHeaders.begin();
  while (const HeaderMap::value_type* it =
             NextLine(m_RequestHeaders, client, m_RequestOnlyHeaders, own)) {
    const char* name = it->first.c_str();
    if (StrICmp(name, "Host") == 0) haveHost = 1;
    if (StrICmp(name, "Accept") == 0) haveAccept = 1;
    if (StrICmp(name, "Accept-Encoding") == 0) haveEncoding = 1;
    if (StrICmp(name, "User-Agent") == 0) haveAgent = 1;
    head += it->first;
    head += ": ";
    head += it->second;
    head += "\r\n";
  }

  if (!haveHost) {
    head += "Host: ";
    head += m_Host;
    head += "\r\n";
  }
  if (!haveAccept) head += "Accept: */*\r\n";
  if (!haveEncoding) head += "Accept-Encoding: identity, gzip, deflate\r\n";
  if (!haveAgent) head += "User-Agent: \r\n";

  // A negative length (an upload announces its own) leaves the line out.
  if (contentLength >= 0) {
    head += "Content-Length: ";
    head += std::to_string(contentLength);
    head += "\r\n";
  }
  head += "\r\n";
}
