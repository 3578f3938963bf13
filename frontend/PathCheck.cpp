#include "frontend/PathCheck.h"

#include <cstring>

#include "frontend/TextHelpers.h"
#include "platform/FileSystem.h"

const char g_ReservedFileChars[] = "/:*?\"<>|\\";

void ReplaceReservedChars(std::string& name) {
  for (const char* reserved = g_ReservedFileChars; *reserved != '\0'; ++reserved) {
    ReplaceAll(name, std::string(1, *reserved), "_");
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

int IsFileExist(const char* path) { return PathGetKind(path) == PATH_FILE ? 1 : 0; }

int IsDirExist(const char* path) { return PathGetKind(path) == PATH_DIRECTORY ? 1 : 0; }
