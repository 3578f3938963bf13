#include "engine/PathSegment.h"

size_t LastSegmentStart(const std::string& text, const char* separators) {
  const size_t last = text.find_last_of(separators);
  return last == std::string::npos ? 0 : last + 1;
}

std::string LastSegment(const std::string& text, const char* separators) {
  return text.substr(LastSegmentStart(text, separators));
}

int SplitLastSegment(const std::string& text, const char* separators, std::string* head,
                     std::string* segment) {
  const size_t start = LastSegmentStart(text, separators);
  // A separator stands just before start, so start is 0 only without one.
  if (start == 0) return 0;
  if (head != NULL) *head = text.substr(0, start - 1);
  *segment = text.substr(start);
  return 1;
}
