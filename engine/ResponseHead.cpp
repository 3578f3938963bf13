#include "engine/ResponseHead.h"

#include <cstring>

#include "engine/TextTrim.h"
#include "platform/CRuntime.h"

namespace {

int IsDigit(char c) { return c >= '0' && c <= '9'; }

// "HTTP/" digit "." digit, a space, three digits, then a space or the end.
int ReadStatusLine(const std::string& line, ParsedHead* head) {
  if (line.size() < 12 || line.compare(0, 5, "HTTP/") != 0 || !IsDigit(line[5]) ||
      line[6] != '.' || !IsDigit(line[7]) || line[8] != ' ' || !IsDigit(line[9]) ||
      !IsDigit(line[10]) || !IsDigit(line[11]))
    return 0;
  if (line.size() > 12 && line[12] != ' ') return 0;
  head->m_Version = line.substr(0, 8);
  head->m_StatusCode = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
  head->m_Reason = line.size() > 13 ? line.substr(13) : std::string();
  return 1;
}

// The next line from *start, without its line end (LF, or CR LF); 0 at the
// empty line that ends the head, or where no line end follows.
int NextHeadLine(const std::string& text, size_t* start, std::string* line) {
  const size_t end = text.find('\n', *start);
  if (end == std::string::npos) return 0;
  size_t stop = end;
  if (stop > *start && text[stop - 1] == '\r') --stop;
  line->assign(text, *start, stop - *start);
  *start = end + 1;
  return !line->empty();
}

// A header line that begins with a space or a tab continues the line above.
int IsFoldedLine(const std::string& line) {
  return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

// Joins a folded line to the line above it: the white space at the end of
// the one and at the start of the other becomes one space.
void JoinFold(const std::string& folded, std::string* joined) {
  const size_t last = joined->find_last_not_of(" \t");
  joined->erase(last == std::string::npos ? 0 : last + 1);
  const size_t first = folded.find_first_not_of(" \t");
  *joined += ' ';
  if (first != std::string::npos) joined->append(folded, first, std::string::npos);
}

// One header line, folds joined, into its name and value. The name ends at
// the first colon of the line's own first part: a line without one there
// names nothing and is skipped, folds and all, since a fold continues a
// value and never makes one.
void AddField(const std::string& line, size_t colon, ParsedHead* head) {
  if (colon == std::string::npos) return;
  HeadField field;
  field.m_Name.assign(line, 0, colon);
  field.m_Value.assign(line, colon + 1, std::string::npos);
  TrimText(field.m_Name, " ");
  TrimText(field.m_Value, " \t");
  head->m_Fields.push_back(field);
}

}  // namespace

size_t FindHeadEnd(const char* data, size_t length) {
  // An empty line is an LF at the very start, right after another LF, or
  // after a CR that stands at the start or right after an LF.
  const char* at = data;
  const char* end = data + length;
  while (at < end) {
    const void* found = memchr(at, '\n', static_cast<size_t>(end - at));
    if (!found) return 0;
    const size_t i = static_cast<size_t>(static_cast<const char*>(found) - data);
    if (i == 0 || data[i - 1] == '\n' ||
        (data[i - 1] == '\r' && (i == 1 || data[i - 2] == '\n')))
      return i + 1;
    at = data + i + 1;
  }
  return 0;
}

int ReadParsedHead(const std::string& headText, ParsedHead* head) {
  *head = ParsedHead();
  size_t start = 0;
  std::string line;
  if (!NextHeadLine(headText, &start, &line) || !ReadStatusLine(line, head)) {
    *head = ParsedHead();
    return 0;
  }
  // Folds are joined before any line is split into name and value, so a
  // folded line can never pass for a field of its own.
  std::string joined;
  size_t colon = std::string::npos;
  int haveLine = 0;
  while (NextHeadLine(headText, &start, &line)) {
    if (IsFoldedLine(line)) {
      // With no line above to continue, what the line would continue is
      // unknown: it may be a field the sender meant, or the end of one.
      if (!haveLine) {
        *head = ParsedHead();
        return 0;
      }
      JoinFold(line, &joined);
      continue;
    }
    if (haveLine) AddField(joined, colon, head);
    joined = line;
    colon = line.find(':');
    haveLine = 1;
  }
  if (haveLine) AddField(joined, colon, head);
  return 1;
}

int ListValues(const ParsedHead& head, const char* name, std::vector<std::string>* elements) {
  int found = 0;
  for (const HeadField& field : head.m_Fields) {
    if (StrICmp(field.m_Name.c_str(), name) != 0) continue;
    found = 1;
    size_t start = 0;
    for (;;) {
      const size_t comma = field.m_Value.find(',', start);
      std::string element(field.m_Value, start,
                          comma == std::string::npos ? std::string::npos : comma - start);
      TrimText(element, " \t");
      elements->push_back(element);
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  return found;
}

std::string JoinedValues(const ParsedHead& head, const char* name) {
  std::string joined;
  for (const HeadField& field : head.m_Fields) {
    if (field.m_Value.empty() || StrICmp(field.m_Name.c_str(), name) != 0) continue;
    if (!joined.empty()) joined += ", ";
    joined += field.m_Value;
  }
  return joined;
}

int SingleValue(const ParsedHead& head, const char* name, std::string* value) {
  const HeadField* first = NULL;
  for (const HeadField& field : head.m_Fields) {
    if (StrICmp(field.m_Name.c_str(), name) != 0) continue;
    if (!first)
      first = &field;
    else if (field.m_Value != first->m_Value)
      return -1;
  }
  if (!first) return 0;
  *value = first->m_Value;
  return 1;
}

int ParseResponseHead(const char* headText, std::string& version, std::string& statusText,
                      std::string& reason, HeaderMap& headers) {
  if (!headText) return 1;
  ParsedHead head;
  if (!ReadParsedHead(headText, &head)) return 0;
  version = head.m_Version;
  statusText = std::to_string(head.m_StatusCode);
  while (statusText.size() < 3) statusText.insert(0, "0");
  reason = head.m_Reason;
  FillHeaderMap(head, headers);
  return 1;
}

void FillHeaderMap(const ParsedHead& head, HeaderMap& headers) {
  // An insert keeps the value a name already has.
  for (const HeadField& field : head.m_Fields)
    headers.insert(HeaderMap::value_type(field.m_Name, field.m_Value));
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

int IsInterimStatus(int status) { return status >= 100 && status <= 199 && status != 101; }

int IsBodilessStatus(int status) {
  return (status >= 100 && status <= 199) || status == 204 || status == 304;
}

namespace {

// A Content-Length element: decimal digits only, within 63 bits.
int ReadLength(const std::string& text, int64_t* number) {
  if (text.empty()) return 0;
  int64_t result = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return 0;
    const int64_t digit = c - '0';
    if (result > (INT64_MAX - digit) / 10) return 0;
    result = result * 10 + digit;
  }
  *number = result;
  return 1;
}

// An answer older than HTTP/1.1 cannot soundly carry Transfer-Encoding:
// its sender may mean framing other than the one read here, so where it
// ends is not to be trusted to be where the next answer starts, even when
// its bytes decode.
int FramingFaultyForItsVersion(const ParsedHead& head) {
  const std::string& version = head.m_Version;  // "HTTP/" digit "." digit
  const int beforeOneOne =
      version.size() == 8 && (version[5] < '1' || (version[5] == '1' && version[7] < '1'));
  std::vector<std::string> codings;
  return beforeOneOne && ListValues(head, "Transfer-Encoding", &codings);
}

// Connection tokens: "close" wins wherever it stands, so an answer that
// says both is never kept; "keep-alive" among others keeps.
int KeepsConnection(const ParsedHead& head) {
  if (FramingFaultyForItsVersion(head)) return 0;
  std::vector<std::string> tokens;
  ListValues(head, "Connection", &tokens);
  int keep = 0;
  for (const std::string& token : tokens) {
    if (StrICmp(token.c_str(), "close") == 0) return 0;
    if (StrICmp(token.c_str(), "Keep-Alive") == 0) keep = 1;
  }
  return keep;
}

// The Transfer-Encoding list: 1 with *chunked when it is chunked alone (or
// nothing), "identity" counting as no coding; 0 for any other coding, which
// cannot be undone here, so where the body ends and what its bytes are is
// unknown (a length beside it would count coded bytes).
int ReadTransferCodings(const ParsedHead& head, int* chunked) {
  std::vector<std::string> codings;
  ListValues(head, "Transfer-Encoding", &codings);
  *chunked = 0;
  for (const std::string& coding : codings) {
    if (coding.empty() || StrICmp(coding.c_str(), "identity") == 0) continue;
    if (StrICmp(coding.c_str(), "chunked") != 0 || *chunked) return 0;
    *chunked = 1;
  }
  return 1;
}

// Every Content-Length element: 0 when no line has that name, 1 with
// *length when every element is the same number, -1 when one is no number
// or they differ.
int ReadContentLength(const ParsedHead& head, int64_t* length) {
  std::vector<std::string> lengths;
  if (!ListValues(head, "Content-Length", &lengths)) return 0;
  for (size_t i = 0; i < lengths.size(); ++i) {
    int64_t number = 0;
    if (!ReadLength(lengths[i], &number) || (i > 0 && number != *length)) return -1;
    *length = number;
  }
  return 1;
}

}  // namespace

int ReadBodyFields(const ParsedHead& head, HttpMethod method, BodyFields* fields,
                   HttpError* error) {
  *fields = BodyFields();
  fields->m_KeepAlive = KeepsConnection(head);
  fields->m_ContentEncoding = JoinedValues(head, "Content-Encoding");

  // Such an answer ends at its empty line: a length or coding in its head
  // speaks of another answer (a 304's of the 200 it stands for, a HEAD's of
  // the GET), and frames nothing here.
  if (IsBodilessStatus(head.m_StatusCode) || method == HTTP_METHOD_HEAD) return 1;

  int chunked = 0;
  int64_t length = 0;
  if (!ReadTransferCodings(head, &chunked)) {
    *error = HTTP_ERR_RESPONSE_FORMAT;
    return 0;
  }
  const int lengthRead = ReadContentLength(head, &length);
  if (chunked) {
    // The chunks frame the body whatever length stands beside them; an
    // answer framed both ways cannot be trusted to end where the next one
    // starts, so its connection carries no other request.
    fields->m_Chunked = 1;
    if (lengthRead != 0) fields->m_KeepAlive = 0;
    return 1;
  }
  if (lengthRead < 0) {
    *error = HTTP_ERR_RESPONSE_FORMAT;
    return 0;
  }
  if (lengthRead > 0) {
    fields->m_ContentLength = length;
    return 1;
  }
  // Neither: the body would end only with the connection, which is never
  // waited for, so where this answer ends is unknown.
  fields->m_LengthKnown = 0;
  return 1;
}
