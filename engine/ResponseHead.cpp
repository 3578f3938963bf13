#include "engine/ResponseHead.h"

#include <cstring>
#include <vector>

#include "engine/ContentEncoding.h"
#include "engine/HttpClient.h"
#include "engine/TextTrim.h"
#include "platform/CRuntime.h"

namespace {

// Splits one header line at its first colon into trimmed name and value.
// 0 when the line has no colon.
int SplitHeaderLine(const std::string& line, std::string& name, std::string& value) {
  const std::string::size_type colon = line.find(':');
  if (colon == std::string::npos) return 0;
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back('\0');
  buffer[colon] = '\0';
  char* nameText = &buffer[0];
  char* valueText = &buffer[colon + 1];
  TrimSpaces(nameText);
  TrimSpaces(valueText);
  name = nameText;
  value = valueText;
  return 1;
}

}  // namespace

int ParseResponseHead(const char* headText, std::string& version, std::string& statusText,
                      std::string& reason, HeaderMap& headers) {
  if (!headText) return 1;
  const std::string text(headText);

  std::string::size_type start = 0;
  int first = 1;
  for (;;) {
    // Only CR LF ends a line; text after the last one is never looked at.
    const std::string::size_type end = text.find("\r\n", start);
    if (end == std::string::npos) break;
    const std::string line = text.substr(start, end - start);
    start = end + 2;
    if (line.empty()) break;

    if (first) {
      first = 0;
      const std::string::size_type blank = line.find(' ');
      if (blank == std::string::npos) return 0;
      version = line.substr(0, blank);
      const std::string::size_type second = line.find(' ', blank + 1);
      if (second == std::string::npos) {
        statusText = line.substr(blank + 1);
      } else {
        statusText = line.substr(blank + 1, second - blank - 1);
        reason = line.substr(second + 1);
      }
      continue;
    }

    std::string name, value;
    if (!SplitHeaderLine(line, name, value)) continue;
    // The first value of a name stays.
    headers.insert(HeaderMap::value_type(name, value));
  }
  return 1;
}

void TrimSpaces(char* text) { TrimChar(text, ' '); }

int GetHeaderValue(const char* name, std::string& value, const HeaderMap& headers) {
  if (!name) return 0;
  for (HeaderMap::const_iterator it = headers.begin(); it != headers.end(); ++it) {
    if (StrICmp(it->first.c_str(), name) == 0) {
      value = it->second;
      return 1;
    }
  }
  return 0;
}

int CHttpClient::ParseHeaders() {
  m_ResponseHeaders.clear();

  std::string statusText;
  if (!m_ResponseHead ||
      !ParseResponseHead(m_ResponseHead, m_ResponseVersion, statusText, m_ReasonPhrase,
                         m_ResponseHeaders)) {
    m_ErrorCode = HTTP_ERR_RESPONSE_FORMAT;
    return 0;
  }

  m_StatusCode = AtoiSaturating(statusText.c_str());
  ReadBodyFields();

  std::string location;
  if (m_StatusCode >= 300 && m_StatusCode <= 399 &&
      GetHeaderValue("Location", location, m_ResponseHeaders))
    m_Location = location;

  return 1;
}

void CHttpClient::ReadBodyFields() {
  // Read as 64 bits: lengths beyond 2 GiB must not be cut.
  m_ContentLength = -1;
  std::string value;
  if (GetHeaderValue("Content-Length", value, m_ResponseHeaders))
    m_ContentLength = Atoi64Saturating(value.c_str());

  m_KeepAlive = 0;
  if (GetHeaderValue("Connection", value, m_ResponseHeaders))
    m_KeepAlive = StrICmp(value.c_str(), "Keep-Alive") == 0 ? 1 : 0;

  if (GetHeaderValue("Content-Encoding", value, m_ResponseHeaders)) {
    m_ContentEncoding = value;
    if (IsCompressedEncoding(value)) m_Compressed = 1;
  }

  // A length of 0 or more wins over chunked coding.
  if (m_ContentLength < 0) {
    m_ContentLength = 0;
    if (GetHeaderValue("Transfer-Encoding", value, m_ResponseHeaders) &&
        StrICmp(value.c_str(), "chunked") == 0)
      m_Chunked = 1;
  }
}
