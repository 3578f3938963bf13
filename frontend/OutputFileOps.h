// Backing up, restoring and rewriting the output file of a download, so that
// no earlier file of the user and no downloaded byte is lost on the way.
// Only regular files are ever moved, deleted or rewritten: a device such as
// /dev/null given as the output stays as it is.
#ifndef ZELVORA_FRONTEND_OUTPUTFILEOPS_H
#define ZELVORA_FRONTEND_OUTPUTFILEOPS_H

#include <string>

class CHttpClient;
class CImpBroxCmd;

// The output path followed by "_zelvor.bk".
std::string GetBackupPathFile(const std::string& outputPath);

// Moves a regular file standing at outputPath to its backup name (a stale
// regular file under that name is deleted first). 1 with backupPath set when
// the file was moved, 1 with backupPath empty when there was nothing to keep,
// 0 when a file is there but could not be moved (it is then left in place).
int MakeOutputBackup(const std::string& outputPath, std::string& backupPath);

// Drops what this run left at outputPath and moves the backup (when
// backupPath is not empty) back under that name.
void RestoreOutputBackup(const std::string& outputPath, const std::string& backupPath);

// Replaces the content of the regular file at path with length bytes of
// data. The new bytes are written to a file beside it first; the old file is
// given up only once they are all on disk, so on every failure (result 0)
// the file holds its old content under its own name.
int ReplaceFileContent(const std::string& path, const char* data, unsigned int length);

// After a 2xx download into path: when the response was gzip or deflate
// encoded and neither -origin nor -compress asked for the bytes as received,
// rewrites the file with the decoded body. A body that does not decode, a
// path that is not a regular file, and a file resumed under -append (206) are
// left as they are (result 1). 0 only
// when decoded bytes could not be stored; the file then keeps the bytes as
// received.
int StoreDecodedBody(const CImpBroxCmd& cmd, CHttpClient& client, const std::string& path);

#endif
