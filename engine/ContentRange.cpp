#include "engine/ContentRange.h"

#include "platform/CRuntime.h"

namespace {

// Reads the decimal number at *p into *number, moving *p past it: 0 for no
// digit or more than 64 bits.
int ReadNumber(const char** p, uint64_t* number) {
  const char* at = *p;
  if (*at < '0' || *at > '9') return 0;
  uint64_t value = 0;
  for (; *at >= '0' && *at <= '9'; ++at) {
    const uint64_t digit = static_cast<uint64_t>(*at - '0');
    if (value > (UINT64_MAX - digit) / 10) return 0;
    value = value * 10 + digit;
  }
  *number = value;
  *p = at;
  return 1;
}

// Moves p past "bytes" and the spaces around it; NULL when it is not there.
const char* SkipUnit(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  if (StrNICmp(p, "bytes", 5) != 0) return nullptr;
  p += 5;
  if (*p != ' ' && *p != '\t') return nullptr;
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

}  // namespace

int ParseContentRangeStart(const std::string& value, uint64_t* first) {
  const char* p = SkipUnit(value.c_str());
  uint64_t number = 0;
  if (!p || !ReadNumber(&p, &number) || *p != '-') return 0;
  if (first) *first = number;
  return 1;
}

int IsWholeContentRange(const std::string& value) {
  const char* p = SkipUnit(value.c_str());
  uint64_t first = 0, last = 0, total = 0;
  if (!p || !ReadNumber(&p, &first) || first != 0 || *p++ != '-' || !ReadNumber(&p, &last) ||
      *p++ != '/')
    return 0;
  if (*p == '*') {
    ++p;
  } else if (!ReadNumber(&p, &total) || last == UINT64_MAX || last + 1 != total) {
    return 0;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return *p == '\0';
}
