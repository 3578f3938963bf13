// Files, directories and paths: open/create, read, write, seek, size, what a
// path holds, delete, move and directory creation, for the engine and the
// front end. Every path given to these functions may use "\" or "/" as the
// separator; "\" is turned into "/" before the system sees it.
#ifndef ZELVORA_PLATFORM_FILESYSTEM_H
#define ZELVORA_PLATFORM_FILESYSTEM_H

#include <cstdint>
#include <string>

struct PlatformFile;
// An open file. NULL means none.
typedef PlatformFile* FileHandle;

enum FileOpenMode {
  FILE_OPEN_READ_EXISTING,   // read only; the file must exist
  FILE_OPEN_WRITE_EXISTING,  // write only; the file must exist; contents kept, position 0
  FILE_CREATE_ALWAYS,        // write only; creates the file or truncates an existing regular one
  FILE_CREATE_NEW            // write only; creates the file, and fails when anything is at the path
};

enum FileShareMode {
  FILE_SHARE_EXCLUSIVE,  // nobody else may open the file while it is open (a lock)
  FILE_SHARE_READERS     // others may read at the same time
};

enum FileSeekOrigin { FILE_SEEK_BEGIN, FILE_SEEK_END };

// Opens or creates a file. Returns NULL on failure: missing file (for the
// existing-only modes), missing folder, a directory (always refused, also for
// reading), no permission, or a lock held by another open under the exclusive
// share mode. Locks apply to regular files only, so two users of a device such
// as /dev/null never block each other. FILE_CREATE_ALWAYS truncates only a
// regular file; a device is opened as it is. Opened for writing, the file
// that standard output goes to (however it is named) shares standard
// output's position and is neither locked nor truncated, so what is written
// to it and what is printed stay in the order they were made.
FileHandle FileOpen(const char* path, FileOpenMode mode, FileShareMode share);

// 1 when a regular file stands at path and another open of it holds the
// lock of FILE_SHARE_EXCLUSIVE (a download under way, in another run or in
// this one); else 0 (nothing there, not a regular file, free, or not
// readable). Nothing about the file changes.
int PathIsLockedByAnother(const char* path);

// The path as the system is given it: every "\" turned into "/".
std::string PathForSystem(const char* path);

// Closes the file; returns 1, or 0 when the system reported an error (the
// handle is released either way). A NULL handle gives 0.
int FileClose(FileHandle file);

// 64-bit size of the open file. Returns 1 with *size set, 0 on failure.
int FileGetSize(FileHandle file, uint64_t* size);

// Moves the file position. Returns 1 with *newPosition set (when not NULL), 0 on failure.
int FileSeek(FileHandle file, int64_t offset, FileSeekOrigin origin, uint64_t* newPosition);

// Reads up to length bytes, looping over short reads and interruptions until
// length bytes are in or the end of the file is reached. Returns 1 with *got
// set (0 at the end of the file), 0 on a read error (*got then holds what was read).
int FileRead(FileHandle file, void* buffer, uint32_t length, uint32_t* got);

// Reads a file just opened whole: its size in bytes (FileGetSize) into
// *contents, which replaces what it held (its c_str() then has the zero byte
// after the last one). An empty file (or a device, whose size is 0) gives 1
// with *contents empty. A file over most bytes, a size or read error, a short
// read (the file shrank) or no memory give 0 with *contents empty. The handle
// stays open either way.
int FileReadWhole(FileHandle file, uint32_t most, std::string* contents);

// Writes all length bytes, looping over short writes and interruptions.
// Returns 1 when every byte was written, 0 otherwise (*written, when not
// NULL, holds what went out).
int FileWrite(FileHandle file, const void* data, uint32_t length, uint32_t* written);

// Cuts or extends the open file to size bytes; regular files only (on
// anything else it does nothing and returns 1). Returns 0 on failure.
int FileTruncate(FileHandle file, uint64_t size);

// 1 when the open file is a regular file, else 0.
int FileIsRegular(FileHandle file);

// Opens a new empty file for reading and writing in the system's folder for
// temporary files that has no name anywhere: it is gone as soon as it is
// closed, or the program ends in any way. NULL when none could be made.
FileHandle FileOpenScratch();

enum PathKind {
  PATH_MISSING,    // nothing there, or it cannot be looked at (any reason)
  PATH_DIRECTORY,  // a directory
  PATH_FILE       // a file is there: anything but a directory (a device too)
};

// What is at the path, links followed: exactly one of three outcomes.
PathKind PathGetKind(const char* path);

// 1 when the path names a regular file (links followed), else 0.
int PathIsRegularFile(const char* path);

// 1 when the path itself is a symbolic link (whatever it points to, or
// whether it points anywhere), else 0.
int PathIsLink(const char* path);

// 1 when the path names the very file (or pipe, or device) that standard
// output goes to, links followed, else 0.
int PathIsStandardOutput(const char* path);

// Deletes a regular file. Anything else (missing, directory, device, a
// symbolic link whatever it points to) is left alone and gives 0. Returns 1
// when the file was removed.
int FileDelete(const char* path);

// Moves a regular file to a new name. Never replaces anything that exists at
// the new name (fails instead), and never moves anything but a regular file
// (a symbolic link is not moved, whatever it points to).
// Returns 1 on success, 0 on failure.
int FileMove(const char* from, const char* to);

// Puts the regular file fresh in the place of the regular file at path with
// two moves, so that a complete file stands under one of the names at every
// moment: path to aside (a name nothing may use), fresh to path, then aside
// is deleted. 1 when fresh now stands at path. 0 when path still holds its
// old file (moved back when the second move failed) and fresh stays where it
// was, for the caller to remove; only when even the move back fails does the
// old file stay under aside.
int FileReplace(const char* path, const char* fresh, const char* aside);

// Creates one directory level (the parent must exist). Returns 1, or 0 when
// it could not be created (also when it already exists).
int DirCreate(const char* path);

#endif
