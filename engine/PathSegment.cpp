#include "engine/PathSegment.h"

size_t LastSegmentStart(const std::string& text, const char* separators) {
  const size_t last = text.find_last_of(separators);
  return last == std::string::npos ? 0 : last + 1;
}

std::string LastSegment(const std::string& text, const char* separators) {
  return text.substr(LastSegmentStart(text, separators));
}
