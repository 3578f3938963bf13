// Everything that happens to the output file of a single download around
// the transfer, so that no earlier file of the user is lost on the way:
// preparing it (links, a left backup, the backup of an earlier file), putting
// the earlier file back after a failure, and settling the file after a 2xx
// download (the name the response gives, the backup dropped or restored).
// The names themselves come from OutputNaming.h; the engine writes the body.
// Only regular files are ever moved, deleted or rewritten: a device such as
// /dev/null given as the output stays as it is.
#ifndef ZELVORA_FRONTEND_OUTPUTBACKUP_H
#define ZELVORA_FRONTEND_OUTPUTBACKUP_H

#include <string>

class CImpBroxCmd;

enum OutputPrepared {
  OUTPUT_READY,         // go on with the request
  OUTPUT_INVALID,       // no valid output path, or the earlier file could not be moved aside
  OUTPUT_BACKUP_FOUND,  // a backup of an earlier run is still there
  OUTPUT_LINK_REFUSED   // the output path is a link to a file that is not ours to write
};

// Works out the output file when the body is to go to one, and moves an
// earlier file of that name to its backup. No backup is made under -append
// (the file is resumed), for an upload (it writes no output file) or in a
// batch run (the name is not one that gets written). A symbolic link at the
// output path is never moved: one to a device, a pipe or the standard output
// is written through as it is; any other is refused. Any result but
// OUTPUT_READY means the run must stop before any request; nothing on disk
// was changed then.
OutputPrepared PrepareOutputFile(CImpBroxCmd& cmd, std::string& outputPath,
                                 std::string& backupPath);

// Prints the message for a result of PrepareOutputFile other than
// OUTPUT_READY.
void PrintOutputRefusal(OutputPrepared result, const std::string& outputPath);


// The output path followed by "_zelvor.bk".
std::string GetBackupPathFile(const std::string& outputPath);

// 1 when a file (or a link) stands at the backup name of outputPath: left by
// a run that was killed before it could settle its backup.
int HasLeftBackup(const std::string& outputPath);

// Moves a regular file standing at outputPath to its backup name; anything
// already under that name is never replaced. 1 with backupPath set when the
// file was moved, 1 with backupPath empty when there was nothing to keep, 0
// when a file is there but could not be moved (it is then left in place).
int MakeOutputBackup(const std::string& outputPath, std::string& backupPath);

// Drops what this run left at outputPath and moves the backup (when
// backupPath is not empty) back under that name.
void RestoreOutputBackup(const std::string& outputPath, const std::string& backupPath);

// After a 2xx download into outputPath: moves the file to the name the
// response suggests (GetOutputPathFile; a sink is never moved) and settles
// the backup (the one PrepareOutputFile made or, under -append, the earlier
// bytes that a whole new body left beside the file): dropped when the body took the earlier file's name, moved
// back when the body went elsewhere. 1 with outputPath naming the file that
// holds the body. When the suggested name cannot be taken (a file is in the
// way, or the file system refuses the name), the body stays at outputPath
// only if no earlier file stood there (1); otherwise the body is dropped,
// the earlier file is back under its name, a line saying why is printed,
// and the result is 0.
int SettleOutputFile(std::string& outputPath, const std::string& backupPath, CImpBroxCmd& cmd);

#endif
