// The reading rules for response heads, written out on their own so that
// the fuzz targets can judge the reader against them: where a head ends,
// its lines and values, the framing it gives a body and whether it lets the
// connection stay.
#ifndef ZELVORA_FUZZ_HEADREFERENCE_H
#define ZELVORA_FUZZ_HEADREFERENCE_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/CRuntime.h"

namespace headref {

const size_t kHeadLimit = 8192;

inline std::string Trimmed(const std::string& text, const char* set) {
  const size_t first = text.find_first_not_of(set);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(set) + 1 - first);
}

// The lines of a head up to its empty line: each ends in LF, one CR before
// the LF belongs to the line end, and text after the last LF is no line.
inline std::vector<std::string> Lines(const std::string& head) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t lf = head.find('\n', start);
    if (lf == std::string::npos) break;
    std::string line = head.substr(start, lf - start);
    start = lf + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;
    lines.push_back(line);
  }
  return lines;
}

// The status of a status line that is "HTTP/" digit "." digit, a space and
// three digits, then a space or its end; else -1.
inline int StrictStatus(const std::string& line) {
  const auto digit = [&line](size_t i) { return line[i] >= '0' && line[i] <= '9'; };
  if (line.size() < 12 || line.compare(0, 5, "HTTP/") != 0 || !digit(5) || line[6] != '.' ||
      !digit(7) || line[8] != ' ' || !digit(9) || !digit(10) || !digit(11) ||
      (line.size() > 12 && line[12] != ' '))
    return -1;
  return (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
}

// The status of a head's first line (StrictStatus), -1 without one.
inline int HeadStatus(const std::string& head) {
  const std::vector<std::string> lines = Lines(head);
  return lines.empty() ? -1 : StrictStatus(lines[0]);
}

// A header line that begins with a space or a tab is a fold: it continues
// the line above it.
inline int IsFold(const std::string& line) {
  return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

// A fold as the first header line continues nothing known: such a head is
// refused whatever its status line.
inline int FirstHeaderLineIsFold(const std::string& head) {
  const std::vector<std::string> lines = Lines(head);
  return lines.size() > 1 && IsFold(lines[1]);
}

// The status of a head that is read at all (a strict status line and no
// fold right after it), else -1.
inline int ReadableStatus(const std::string& head) {
  return FirstHeaderLineIsFold(head) ? -1 : HeadStatus(head);
}

// The header lines in order, repeated names kept: the name before the
// first colon without the spaces around it, the value after it without the
// spaces and tabs around it; a line without a colon is no header. Each
// fold is joined to the value of the line above with one space (the value
// without its white space at the end, the fold without its white space at
// the start) before the value is trimmed; a fold below a line that is no
// header continues nothing and is dropped with it.
typedef std::vector<std::pair<std::string, std::string>> Fields;

inline Fields HeaderFields(const std::string& head) {
  Fields fields;
  const std::vector<std::string> lines = Lines(head);
  int open = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (IsFold(lines[i])) {
      if (!open) continue;
      std::string& value = fields.back().second;
      value = Trimmed(value, " \t") + " " + Trimmed(lines[i], " \t");
      continue;
    }
    const size_t colon = lines[i].find(':');
    open = colon != std::string::npos;
    if (!open) continue;
    fields.emplace_back(Trimmed(lines[i].substr(0, colon), " "), lines[i].substr(colon + 1));
  }
  for (auto& field : fields) field.second = Trimmed(field.second, " \t");
  return fields;
}

// Every comma-separated element of every line named name (any case), in
// order, without the spaces and tabs around it; *found says whether a line
// had that name.
inline std::vector<std::string> Elements(const Fields& fields, const char* name, int* found) {
  std::vector<std::string> elements;
  *found = 0;
  for (const auto& field : fields) {
    if (StrICmp(field.first.c_str(), name) != 0) continue;
    *found = 1;
    size_t at = 0;
    for (;;) {
      const size_t comma = field.second.find(',', at);
      elements.push_back(
          Trimmed(field.second.substr(at, comma == std::string::npos ? comma : comma - at), " \t"));
      if (comma == std::string::npos) break;
      at = comma + 1;
    }
  }
  return elements;
}

// Every Content-Encoding line as one list, in the order sent.
inline std::string CodingList(const Fields& fields) {
  int found = 0;
  std::string list;
  for (const std::string& element : Elements(fields, "Content-Encoding", &found)) {
    if (!list.empty()) list += ", ";
    list += element;
  }
  return list;
}

// The framing a head gives a body. FRAMED_BY_CHUNKS, FRAMED_BY_LENGTH with
// *length, NOT_FRAMED, or UNFRAMEABLE for transfer codings other than
// chunked alone ("identity" counting as none), or lengths that are not one
// decimal number within 63 bits. *both says whether chunks stand beside a
// length.
enum Framing { FRAMED_BY_CHUNKS, FRAMED_BY_LENGTH, NOT_FRAMED, UNFRAMEABLE };

inline Framing FramingOf(const Fields& fields, int64_t* length, int* both) {
  int found = 0;
  std::vector<std::string> codings;
  for (const std::string& coding : Elements(fields, "Transfer-Encoding", &found))
    if (!coding.empty() && StrICmp(coding.c_str(), "identity") != 0) codings.push_back(coding);
  int lengthFound = 0;
  const std::vector<std::string> lengths = Elements(fields, "Content-Length", &lengthFound);
  *both = lengthFound && !codings.empty();
  *length = 0;
  if (!codings.empty())
    return codings.size() == 1 && StrICmp(codings[0].c_str(), "chunked") == 0 ? FRAMED_BY_CHUNKS
                                                                              : UNFRAMEABLE;
  if (!lengthFound) return NOT_FRAMED;
  for (size_t i = 0; i < lengths.size(); ++i) {
    const std::string& text = lengths[i];
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return UNFRAMEABLE;
    const size_t first = text.find_first_not_of('0');
    const std::string significant = first == std::string::npos ? "" : text.substr(first);
    if (significant.size() > 19 || (significant.size() == 19 && significant > "9223372036854775807"))
      return UNFRAMEABLE;
    const int64_t number = significant.empty() ? 0 : std::stoll(significant);
    if (i > 0 && number != *length) return UNFRAMEABLE;
    *length = number;
  }
  return FRAMED_BY_LENGTH;
}

// The file-name suffix -compress gives a body kept as it came: that of its
// outermost coding, the last element of the Content-Encoding lines that is
// neither empty nor "identity": ".gzip" for gzip or x-gzip, ".deflate" for
// deflate (any case), "" for any other name or none.
inline std::string OutermostSuffix(const Fields& fields) {
  int found = 0;
  const std::vector<std::string> elements = Elements(fields, "Content-Encoding", &found);
  for (size_t i = elements.size(); i-- > 0;) {
    const char* name = elements[i].c_str();
    if (elements[i].empty() || StrICmp(name, "identity") == 0) continue;
    if (StrICmp(name, "gzip") == 0 || StrICmp(name, "x-gzip") == 0) return ".gzip";
    return StrICmp(name, "deflate") == 0 ? ".deflate" : "";
  }
  return "";
}

// The one value of the Content-Range lines (any case, at least one, all
// alike) when it starts with "bytes" (any case); NULL else.
inline const std::string* RangeValue(const Fields& fields) {
  const std::string* value = nullptr;
  for (const auto& field : fields) {
    if (StrICmp(field.first.c_str(), "Content-Range") != 0) continue;
    if (value && *value != field.second) return nullptr;
    value = &field.second;
  }
  if (!value || value->size() < 5 || StrNICmp(value->c_str(), "bytes", 5) != 0) return nullptr;
  return value;
}

// A part continues a file of size bytes only from where the file ends: its
// Content-Range lines (any case, at least one) all hold one value, "bytes"
// (any case), spaces or tabs, then the first position in decimal digits
// (leading zeros allowed) equal to size, then "-".
inline int ContinuesAt(const Fields& fields, uint64_t size) {
  const std::string* value = RangeValue(fields);
  if (!value) return 0;
  const size_t digits = value->find_first_not_of(" \t", 5);
  if (digits == 5 || digits == std::string::npos) return 0;
  const size_t dash = value->find_first_not_of("0123456789", digits);
  if (dash == digits || dash == std::string::npos || (*value)[dash] != '-') return 0;
  const size_t significant = value->find_first_not_of('0', digits);
  return value->substr(significant, dash - significant) == (size ? std::to_string(size) : "");
}

// A part that nobody asked for stands as a file only when it is the whole
// resource: its Content-Range lines (any case, at least one) all hold one
// value, "bytes" (any case), spaces or tabs, a first position of 0 (any
// number of zeros), "-", the last position, "/", and either "*" or a total
// one past the last position, then nothing but spaces or tabs. Positions
// are decimal digits within 64 bits.
inline int IsWholeResource(const Fields& fields) {
  const std::string* value = RangeValue(fields);
  if (!value) return 0;
  const std::string& v = *value;
  size_t at = v.find_first_not_of(" \t", 5);
  if (at == 5 || at == std::string::npos) return 0;
  // The digits at at as a number; 0 when there are none or too many.
  auto number = [&v](size_t* from, uint64_t* out) {
    const size_t end = v.find_first_not_of("0123456789", *from);
    const size_t stop = end == std::string::npos ? v.size() : end;
    if (stop == *from) return 0;
    const size_t significant = v.find_first_not_of('0', *from);
    const size_t first = significant == std::string::npos || significant > stop ? stop : significant;
    if (stop - first > 20) return 0;
    const std::string digits = v.substr(first, stop - first);
    if (digits.size() == 20 && digits > "18446744073709551615") return 0;
    *out = digits.empty() ? 0 : std::stoull(digits);
    *from = stop;
    return 1;
  };
  uint64_t first = 1, last = 0, total = 0;
  if (!number(&at, &first) || first != 0 || at >= v.size() || v[at++] != '-') return 0;
  if (!number(&at, &last) || at >= v.size() || v[at++] != '/') return 0;
  if (at < v.size() && v[at] == '*') {
    ++at;
  } else if (!number(&at, &total) || last == UINT64_MAX || total != last + 1) {
    return 0;
  }
  return v.find_first_not_of(" \t", at) == std::string::npos;
}

// Connection is a list of tokens over every line of that name, any case:
// "close" anywhere closes, else "keep-alive" among them keeps; a head that
// names neither does not keep the connection. Nor does an answer older
// than HTTP/1.1 with a Transfer-Encoding line: its framing is faulty.
inline int AnnouncesKeepAlive(const std::string& head, const Fields& fields) {
  int found = 0;
  const std::vector<std::string> lines = Lines(head);
  const std::string version = lines.empty() ? "" : lines[0].substr(0, 8);
  Elements(fields, "Transfer-Encoding", &found);
  if (found && version.size() == 8 && version.compare(5, 3, "1.1") < 0) return 0;
  int keep = 0;
  for (const std::string& token : Elements(fields, "Connection", &found)) {
    if (StrICmp(token.c_str(), "close") == 0) return 0;
    if (StrICmp(token.c_str(), "keep-alive") == 0) keep = 1;
  }
  return keep;
}

inline int IsBodiless(int status) {
  return (status >= 100 && status <= 199) || status == 204 || status == 304;
}

inline int IsInterim(int status) { return status >= 100 && status <= 199 && status != 101; }

// Where served bytes put the final answer's head: a head ends at its first
// empty line within kHeadLimit bytes, and interim answers (1xx but 101)
// are passed over. FINAL_HEAD with *head and *end (the offset after it),
// ZERO_IN_HEAD when a head up to the final one holds a zero byte,
// HEAD_TOO_LONG when one has no empty line within the limit, BAD_STATUS
// for a final head whose status line is not strict, BAD_HEAD (with *head)
// for a head, interim or not, whose first header line is a fold, or
// NO_FINAL_HEAD when the bytes end first.
enum HeadWalk { NO_FINAL_HEAD, FINAL_HEAD, ZERO_IN_HEAD, HEAD_TOO_LONG, BAD_STATUS, BAD_HEAD };

inline HeadWalk WalkHeads(const std::string& text, std::string* head, size_t* headEnd) {
  size_t start = 0;
  for (;;) {
    size_t end = std::string::npos;
    for (size_t lineStart = start; lineStart < text.size();) {
      const size_t lf = text.find('\n', lineStart);
      if (lf == std::string::npos) break;
      if (lf == lineStart || (lf == lineStart + 1 && text[lineStart] == '\r')) {
        end = lf + 1;
        break;
      }
      lineStart = lf + 1;
    }
    if (end == std::string::npos || end - start > kHeadLimit)
      return text.size() - start >= kHeadLimit ? HEAD_TOO_LONG : NO_FINAL_HEAD;
    const std::string one = text.substr(start, end - start);
    if (one.find('\0') != std::string::npos) return ZERO_IN_HEAD;
    start = end;
    const int status = HeadStatus(one);
    if (status >= 0 && FirstHeaderLineIsFold(one)) {
      *head = one;
      *headEnd = end;
      return BAD_HEAD;
    }
    if (IsInterim(status)) continue;
    *head = one;
    *headEnd = end;
    return status < 0 ? BAD_STATUS : FINAL_HEAD;
  }
}

}  // namespace headref

#endif
