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

// Replaces the content of the regular file at path with length bytes of
// data. The new bytes are written to a file beside it first; the old file is
// given up only once they are all on disk, so on every failure (result 0)
// the file holds its old content under its own name.
int ReplaceFileContent(const std::string& path, const char* data, unsigned int length);

enum StoreResult {
  STORE_DONE,          // the output holds what it should
  STORE_NOT_DECODED,   // the body could not be decoded, or not stored decoded
  STORE_WRITE_FAILED   // the output took fewer bytes than it was given
};

// After a 2xx download into path: when the response was gzip or deflate
// encoded and neither -origin nor -compress asked for the bytes as received,
// rewrites the file with the decoded body. An empty body, a path that is not
// a regular file and a file resumed under -append (206) are left as they are
// (STORE_DONE); a link is never rewritten (FileMove refuses it).
// STORE_NOT_DECODED when the body could not be decoded or the decoded bytes
// could not be stored (corrupt or cut-short data, no memory, disk full);
// the file then still holds the bytes as received, for the caller to drop.
StoreResult StoreDecodedBody(const CImpBroxCmd& cmd, CHttpClient& client, const std::string& path);

// After a 2xx download whose compressed body the engine held back for a sink
// (client.m_OutputFile still open): writes the sink what a file would end up
// holding, the decoded body (or the bytes as received under -compress or for
// another encoding), and closes it. STORE_NOT_DECODED when the body could
// not be decoded (nothing is written then), STORE_WRITE_FAILED when a write
// failed.
StoreResult WriteHeldBody(const CImpBroxCmd& cmd, CHttpClient& client);

#endif
