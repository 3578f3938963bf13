// Checks of paths and file names: against the file system and against the
// characters a name must not hold. They hold no state, print nothing and
// report only through their results.
#ifndef ZELVORA_FRONTEND_PATHCHECK_H
#define ZELVORA_FRONTEND_PATHCHECK_H

#include <string>

// The nine characters a file name must not hold, in the order in which they
// are tested and replaced: / : * ? " < > | and backslash.
extern const char g_ReservedFileChars[];

// Replaces each reserved character in name by "_", in place.
void ReplaceReservedChars(std::string& name);

// 1 when name holds none of the reserved characters (the empty name is valid).
int IsValidFileName(const char* name);

// 1 when path is usable as a file path: a bare valid name, or an existing
// directory followed by a valid name (possibly empty). *hasDir is always
// written: 1 when the path holds "/" or "\", else 0.
int CheckPathFile(const std::string& path, int* hasDir);

// dir, "/" and name: one "/" between them, whatever dir ends with.
std::string JoinPath(const std::string& dir, const std::string& name);

// Where a file the user names on the command line is (-o, -u, -d and -h
// with -file): a path with a directory part as written (relative to the
// current directory), a bare name in programDir, not the current directory.
// 0 with *resolved untouched when the path fails CheckPathFile.
int ResolvePathFile(const std::string& path, const std::string& programDir,
                    std::string* resolved);

// 1 when path exists and is not a directory.
int IsFileExist(const char* path);

// 1 when path exists and is a directory.
int IsDirExist(const char* path);

#endif
