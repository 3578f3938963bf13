#include "platform/CRuntime.h"

#include <climits>

namespace {

int LowerAscii(int c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads like atoi into a saturated 64-bit value clamped to [lo, hi].
int64_t ParseSaturating(const char* text, int64_t lo, int64_t hi) {
  if (!text) return 0;
  while (IsBlank(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') {
    negative = (*text == '-');
    ++text;
  }
  // Accumulate as a negative number so that the lowest value fits.
  int64_t value = 0;
  bool saturated = false;
  for (; *text >= '0' && *text <= '9'; ++text) {
    int digit = *text - '0';
    if (saturated) continue;
    if (value < (INT64_MIN + digit) / 10) {
      saturated = true;
      continue;
    }
    value = value * 10 - digit;
  }
  if (saturated) return negative ? lo : hi;
  if (!negative) {
    if (value < -hi) return hi;
    return -value;
  }
  return value < lo ? lo : value;
}

}  // namespace

int StrICmp(const char* a, const char* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
  for (;; ++x, ++y) {
    int cx = LowerAscii(*x), cy = LowerAscii(*y);
    if (cx != cy || cx == 0) return cx - cy;
  }
}

int StrNICmp(const char* a, const char* b, uint32_t count) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
  for (uint32_t i = 0; i < count; ++i, ++x, ++y) {
    int cx = LowerAscii(*x), cy = LowerAscii(*y);
    if (cx != cy || cx == 0) return cx - cy;
  }
  return 0;
}

int AtoiSaturating(const char* text) {
  return static_cast<int>(ParseSaturating(text, INT32_MIN, INT32_MAX));
}
