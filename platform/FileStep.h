// A seam in the file-system layer (FileSystem.h) for tests that stop a run at
// each change it makes to the disk in turn: every call that changes what is
// on the disk passes one step first, and a hook, when one is installed, may
// make that call fail or end the program right there. The program installs
// none: only a copy of it built for those tests does, before main runs.
#ifndef ZELVORA_PLATFORM_FILESTEP_H
#define ZELVORA_PLATFORM_FILESTEP_H

// The calls that are steps, one step per call. Calls that change nothing
// (a delete or move of what is no regular file, a truncation of a device)
// are refused before their step and are none.
enum FileStepKind {
  FILE_STEP_OPEN,        // FileOpen for writing, of a new file or an existing one
  FILE_STEP_SCRATCH,     // FileOpenScratch
  FILE_STEP_WRITE,       // FileWrite, however many system writes it takes
  FILE_STEP_TRUNCATE,    // FileTruncate of a regular file
  FILE_STEP_CLOSE,       // FileClose of a file opened for writing (or a scratch file)
  FILE_STEP_DELETE,      // FileDelete
  FILE_STEP_MOVE,        // FileMove; FileReplace makes its steps through it
  FILE_STEP_DIR_CREATE,  // DirCreate
};

// Called before the step changes anything. path is the name the caller gave
// (the folder for a scratch file, NULL for the steps on an open file); to is
// the new name of a move, else NULL. Returns 0 to let the step go ahead, or
// an errno value: the call then fails as if the system had refused it with
// that error, and changes nothing (a close still releases its handle).
typedef int (*FileStepHook)(FileStepKind kind, const char* path, const char* to);

// Every later step passes hook (NULL: none, the program's own case).
void FileSetStepHook(FileStepHook hook);

#endif
