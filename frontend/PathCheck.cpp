#include "frontend/PathCheck.h"

#include <cstring>

#include "platform/FileSystem.h"

const char g_ReservedFileChars[] = "/:*?\"<>|\\";

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

int IsValidFileName(const char* name) {
  for (const char* reserved = g_ReservedFileChars; *reserved != '\0'; ++reserved) {
    if (strchr(name, *reserved) != NULL) return 0;
  }
  return 1;
}

int CheckPathFile(const std::string& path, int* hasDir) {
  std::string copy = path;
  ReplaceAll(copy, "\\", "/");
  size_t slash = copy.rfind('/');
  if (slash == std::string::npos) {
    *hasDir = 0;
    return IsValidFileName(copy.c_str());
  }
  *hasDir = 1;
  std::string dir = copy.substr(0, slash);
  std::string name = copy.substr(slash + 1);
  if (!IsDirExist(dir.c_str())) return 0;
  return IsValidFileName(name.c_str());
}

int IsFileExist(const char* path) { return PathGetKind(path) == PATH_OTHER ? 1 : 0; }

int IsDirExist(const char* path) { return PathGetKind(path) == PATH_DIRECTORY ? 1 : 0; }
