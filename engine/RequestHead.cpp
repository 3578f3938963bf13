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

}  // namespace

void CHttpClient::BuildRequestHead(std::string& head, int method, int contentLength) {
  head += MethodName(method);
  head += ' ';
  head += m_Path;
  head += " HTTP/1.1\r\n";

  int haveHost = 0, haveAccept = 0, haveEncoding = 0, haveAgent = 0;
  // This request's own lines join the client's in the one key order; the
  // client's value wins a name both hold, as the first value of a name stays.
  HeaderMap lines = m_RequestHeaders;
  lines.insert(m_RequestOnlyHeaders.begin(), m_RequestOnlyHeaders.end());
  for (HeaderMap::const_iterator it = lines.begin(); it != lines.end(); ++it) {
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
