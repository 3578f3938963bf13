// A response head read once into its parts: the status line and every
// header line in order. Framing, reuse and naming all read that one result.
#ifndef ZELVORA_ENGINE_RESPONSEHEAD_H
#define ZELVORA_ENGINE_RESPONSEHEAD_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/HeaderMap.h"
#include "engine/HttpTypes.h"

// Most bytes a head may take, its blank line included.
const size_t kHeadLimit = 8192;

// One header line with its folds: the name without the spaces around it,
// the value without the spaces and tabs around it.
struct HeadField {
  std::string m_Name;
  std::string m_Value;
};

// A head as sent: the status line's parts and every header line in order,
// repeated names included.
struct ParsedHead {
  std::string m_Version;  // "HTTP/" digit "." digit
  int m_StatusCode = 0;   // three digits
  std::string m_Reason;   // after the code and its space; may be empty
  std::vector<HeadField> m_Fields;
};

// The length of the head at the front of data: up to and including the line
// end of its first empty line, where a line ends in LF with or without a CR
// before it. 0 while no empty line lies in data.
size_t FindHeadEnd(const char* data, size_t length);

// Reads headText (a head as FindHeadEnd measures it; text after its first
// empty line is not looked at) into *head. The status line must be "HTTP/",
// a digit, ".", a digit, a space and three digits, then a space and the
// reason, or its end. A header line that begins with a space or a tab is a
// fold: it is joined to the line above with one space (the white space
// around the join dropped) before the line is split at its first colon.
// Header lines without a colon before their folds are skipped with them.
// 1, or 0 for any other status line or a fold right after it (*head then
// holds no fields).
int ReadParsedHead(const std::string& headText, ParsedHead* head);

// Every value of the lines named name (any case), in order, each split at
// its commas into elements without the spaces and tabs around them; an
// empty element is kept. 0 when no line has that name, else 1.
int ListValues(const ParsedHead& head, const char* name, std::vector<std::string>* elements);

// Every value of the lines named name (any case) that is not empty, in head
// order, joined into one comma list ("" when there is none): a list field
// sent over several lines reads as the same list on one line.
std::string JoinedValues(const ParsedHead& head, const char* name);

// The value of a field that stands once: 1 with *value when every line named
// name (any case) holds the same value, 0 when no line has that name, -1 when
// lines disagree (*value untouched then).
int SingleValue(const ParsedHead& head, const char* name, std::string* value);

// What a head says about its body and its connection.
struct BodyFields {
  // The body's length when it is framed by one (never negative).
  int64_t m_ContentLength = 0;
  int m_KeepAlive = 0;
  int m_Chunked = 0;
  // 0 when the answer framed its body neither by length nor by chunks.
  int m_LengthKnown = 1;
  // Every Content-Encoding line's value (JoinedValues): one comma list.
  std::string m_ContentEncoding;
};

// Reads the body's framing and the connection's fate from a head that
// answered method, into *fields (set anew). Connection is a list of tokens
// over every line, any case: "close" anywhere closes, else "keep-alive"
// keeps; nothing announced closes, and neither does an answer older than
// HTTP/1.1 that carries Transfer-Encoding. Content-Encoding is every line's
// list in order. An answer that
// never has a body (IsBodilessStatus, or one to HEAD) takes no framing from
// its head. Transfer-Encoding is a list of codings (any case, every line):
// chunked alone frames the body, "identity" counts as no coding, and any
// other coding is refused. Chunked coding wins over any Content-Length (the
// connection is then not kept). Content-Length lines may hold lists; every
// element must be the same decimal number within 63 bits. 1, or 0 with
// *error = HTTP_ERR_RESPONSE_FORMAT.
int ReadBodyFields(const ParsedHead& head, HttpMethod method, BodyFields* fields,
                   HttpError* error);

// ReadParsedHead with the status line in pieces and the headers in a map
// where the first value of a name stays (FillHeaderMap). 0 for a refused
// head (then nothing is set), else 1; NULL gives 1 with nothing set.
// The client reads ParsedHead and fills its map with FillHeaderMap; this
// one call gives the head as plain texts and a map without a client, for
// tests and fuzz targets.
int ParseResponseHead(const char* headText, std::string& version, std::string& statusText,
                      std::string& reason, HeaderMap& headers);
// The header map of a head: every line by name, the first value of a name
// (the same bytes) staying.
void FillHeaderMap(const ParsedHead& head, HeaderMap& headers);
// Cuts the spaces (only ' ') from both ends of text, in place; NULL is left.
// The rule ReadParsedHead applies to a name (values lose tabs too), on a
// C text; only tests call it, the head itself is trimmed with TrimText.
void TrimSpaces(char* text);
// 1 and the value when an entry's name equals name without regard to case
// (first match in key order), else 0 with value untouched.
int GetHeaderValue(const char* name, std::string& value, const HeaderMap& headers);

// An interim answer: 100 to 199 other than 101. The final answer follows it.
int IsInterimStatus(int status);
// An answer that never has a body, whatever its head says: 1xx, 204, 304.
int IsBodilessStatus(int status);

#endif
