// Backing up and restoring the output file of a download, so that no
// earlier file of the user is lost on the way.
// Only regular files are ever moved, deleted or rewritten: a device such as
// /dev/null given as the output stays as it is.
#ifndef ZELVORA_FRONTEND_OUTPUTFILEOPS_H
#define ZELVORA_FRONTEND_OUTPUTFILEOPS_H

#include <string>

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

#endif
