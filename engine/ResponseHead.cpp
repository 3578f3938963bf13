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

// A length value: optional blanks and tabs, decimal digits, optional blanks
// and tabs. 1 with *number (saturated at the 64-bit limit), else 0.
int ReadDecimal(const std::string& value, int64_t* number) {
  std::string::size_type at = value.find_first_not_of(" \t");
  if (at == std::string::npos || value[at] < '0' || value[at] > '9') return 0;
  int64_t result = 0;
  for (; at < value.size() && value[at] >= '0' && value[at] <= '9'; ++at) {
    const int64_t digit = value[at] - '0';
    result = result > (INT64_MAX - digit) / 10 ? INT64_MAX : result * 10 + digit;
  }
  if (value.find_first_not_of(" \t", at) != std::string::npos) return 0;
  *number = result;
  return 1;
}

// The next line of a head from *start, without its CR LF; 0 at the blank
// line that ends the head or where no CR LF follows. Only CR LF ends a
// line; text after the last one is never looked at.
int NextHeadLine(const std::string& text, std::string::size_type* start, std::string* line) {
  const std::string::size_type end = text.find("\r\n", *start);
  if (end == std::string::npos) return 0;
  *line = text.substr(*start, end - *start);
  *start = end + 2;
  return !line->empty();
}

}  // namespace

int ParseResponseHead(const char* headText, std::string& version, std::string& statusText,
                      std::string& reason, HeaderMap& headers) {
  if (!headText) return 1;
  const std::string text(headText);

  std::string::size_type start = 0;
  int first = 1;
  std::string line;
  while (NextHeadLine(text, &start, &line)) {
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

int IsInterimAnswer(const char* headText) {
  std::string version, statusText, reason;
  HeaderMap headers;
  if (!headText || !ParseResponseHead(headText, version, statusText, reason, headers)) return 0;
  const int status = AtoiSaturating(statusText.c_str());
  return status >= 100 && status <= 199 && status != 101 ? 1 : 0;
}

int ReadContentLength(const char* headText, int64_t* length) {
  if (!headText) return 0;
  const std::string text(headText);
  // Header lines start after the status line; an empty one means none.
  std::string::size_type start = text.find("\r\n");
  if (start == std::string::npos || start == 0) return 0;
  start += 2;
  int found = 0;
  int64_t first = 0;
  std::string line;
  while (NextHeadLine(text, &start, &line)) {
    std::string name, value;
    if (!SplitHeaderLine(line, name, value) || StrICmp(name.c_str(), "Content-Length") != 0)
      continue;
    int64_t number = 0;
    if (!ReadDecimal(value, &number)) return -1;
    if (found && number != first) return -1;
    found = 1;
    first = number;
  }
  if (found && length) *length = first;
  return found;
}

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
  if (!ReadBodyFields()) return 0;

  std::string location;
  if (m_StatusCode >= 300 && m_StatusCode <= 399 &&
      GetHeaderValue("Location", location, m_ResponseHeaders))
    m_Location = location;

  return 1;
}

int CHttpClient::ReadBodyFields() {
  std::string value;
  m_KeepAlive = 0;
  if (GetHeaderValue("Connection", value, m_ResponseHeaders))
    m_KeepAlive = StrICmp(value.c_str(), "Keep-Alive") == 0 ? 1 : 0;

  if (GetHeaderValue("Content-Encoding", value, m_ResponseHeaders)) {
    m_ContentEncoding = value;
    if (IsCompressedEncoding(value)) m_Compressed = 1;
  }

  // Read as 64 bits: lengths beyond 2 GiB must not be cut.
  m_ContentLength = 0;
  m_LengthKnown = 1;
  int64_t length = 0;
  const int lengthFound = ReadContentLength(m_ResponseHead, &length);
  if (GetHeaderValue("Transfer-Encoding", value, m_ResponseHeaders) &&
      StrICmp(value.c_str(), "chunked") == 0) {
    // The chunks frame the body whatever length stands beside them; an
    // answer framed both ways cannot be trusted to end where the next one
    // starts, so its connection carries no other request.
    m_Chunked = 1;
    if (lengthFound != 0) m_KeepAlive = 0;
    return 1;
  }
  if (lengthFound < 0) {
    m_ErrorCode = HTTP_ERR_RESPONSE_FORMAT;
    return 0;
  }
  if (lengthFound > 0) {
    m_ContentLength = length;
    return 1;
  }
  // Neither: the body would end only with the connection, which is never
  // waited for; what becomes of it is the reader's choice.
  m_LengthKnown = 0;
  return 1;
}
