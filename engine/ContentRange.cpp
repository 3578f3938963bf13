#include "engine/ContentRange.h"

#include "platform/CRuntime.h"

int ParseContentRangeStart(const std::string& value, uint64_t* first) {
  const char* p = value.c_str();
  while (*p == ' ' || *p == '\t') ++p;
  if (StrNICmp(p, "bytes", 5) != 0) return 0;
  p += 5;
  if (*p != ' ' && *p != '\t') return 0;
  while (*p == ' ' || *p == '\t') ++p;
  if (*p < '0' || *p > '9') return 0;
  uint64_t number = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    const uint64_t digit = static_cast<uint64_t>(*p - '0');
    if (number > (UINT64_MAX - digit) / 10) return 0;
    number = number * 10 + digit;
  }
  if (*p != '-') return 0;
  if (first) *first = number;
  return 1;
}
