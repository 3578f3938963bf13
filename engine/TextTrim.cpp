#include "engine/TextTrim.h"

#include <cstddef>

void TrimChar(char* text, char ch) {
  if (text == NULL) return;
  size_t lead = 0;
  while (text[lead] == ch) ++lead;
  if (text[lead] == '\0') {
    text[0] = '\0';
    return;
  }
  // Move the rest towards the start, remembering where the current run of
  // ch began so a trailing run can be cut off at the end.
  size_t write = 0;
  size_t runStart = 0;
  int inRun = 0;
  for (size_t read = lead; text[read] != '\0'; ++read, ++write) {
    char c = text[read];
    text[write] = c;
    if (c == ch) {
      if (!inRun) {
        inRun = 1;
        runStart = write;
      }
    } else {
      inRun = 0;
    }
  }
  text[inRun ? runStart : write] = '\0';
}

void TrimText(std::string& text, const char* set) {
  const size_t last = text.find_last_not_of(set);
  if (last == std::string::npos) {
    text.clear();
    return;
  }
  text.erase(last + 1);
  text.erase(0, text.find_first_not_of(set));
}
