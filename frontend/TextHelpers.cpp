#include "frontend/TextHelpers.h"

void ReplaceAll(std::string& text, const std::string& pattern, const std::string& replacement) {
  if (pattern.empty()) return;
  const size_t patternLength = pattern.size();
  const size_t replacementLength = replacement.size();
  size_t position = 0;
  while ((position = text.find(pattern, position)) != std::string::npos) {
    text.replace(position, patternLength, replacement);
    position += replacementLength;
  }
}
