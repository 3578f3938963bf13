#include "frontend/PathCheck.h"

#include <cstring>

#include "engine/PathSegment.h"
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
  std::string dir;
  std::string name;
  *hasDir = SplitLastSegment(copy, "/", &dir, &name);
  if (!*hasDir) return IsValidFileName(copy.c_str());
  if (!IsDirExist(dir.c_str())) return 0;
  return IsValidFileName(name.c_str());
}

std::string JoinPath(const std::string& dir, const std::string& name) { return dir + "/" + name; }

int ResolvePathFile(const std::string& path, const std::string& programDir,
                    std::string* resolved) {
  int hasDir = 0;
  if (!CheckPathFile(path, &hasDir)) return 0;
  *resolved = hasDir ? path : JoinPath(programDir, path);
  return 1;
}

int IsFileExist(const char* path) { return PathGetKind(path) == PATH_FILE ? 1 : 0; }

int IsDirExist(const char* path) { return PathGetKind(path) == PATH_DIRECTORY ? 1 : 0; }
