#include "frontend/OutputFileOps.h"

#include <cstdlib>

#include "engine/HttpClient.h"
#include "frontend/BodyDecode.h"
#include "frontend/DecodeToFile.h"
#include "frontend/ImpBroxCmd.h"
#include "platform/FileSystem.h"

namespace {

// Frees a name of our own for a new file: a regular file left there by an
// interrupted run is removed; anything else standing there is never touched.
int ClearScratchName(const std::string& name) {
  if (PathIsRegularFile(name.c_str())) return FileDelete(name.c_str());
  return PathGetKind(name.c_str()) == PATH_MISSING;
}

// Gives the regular file at path a new content, made by write(file) in a file
// beside it; the old file is given up only once write has succeeded and the
// new file is closed, so on every failure (result 0) the file holds its old
// content under its own name.
template <typename Writer>
int ReplaceFileWith(const std::string& path, Writer write) {
  if (!PathIsRegularFile(path.c_str())) return 0;
  std::string fresh = path + "_zelvor.tmp";
  std::string aside = path + "_zelvor.old";
  if (!ClearScratchName(fresh) || !ClearScratchName(aside)) return 0;
  FileHandle file = FileOpen(fresh.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE);
  if (file == nullptr) return 0;
  int written = write(file);
  int closed = FileClose(file);
  if (!written || !closed) {
    FileDelete(fresh.c_str());
    return 0;
  }
  // Two renames rather than delete-then-rename: at every moment a complete
  // file stands under one of the names, and on failure the old one goes back.
  if (!FileReplace(path.c_str(), fresh.c_str(), aside.c_str())) {
    FileDelete(fresh.c_str());
    return 0;
  }
  return 1;
}

}  // namespace

std::string GetBackupPathFile(const std::string& outputPath) { return outputPath + "_zelvor.bk"; }

int HasLeftBackup(const std::string& outputPath) {
  const std::string backup = GetBackupPathFile(outputPath);
  return PathIsLink(backup.c_str()) || PathIsRegularFile(backup.c_str());
}

int MakeOutputBackup(const std::string& outputPath, std::string& backupPath) {
  backupPath.clear();
  if (!PathIsRegularFile(outputPath.c_str())) return 1;
  std::string backup = GetBackupPathFile(outputPath);
  // FileMove never replaces: whatever stands under the backup name stays.
  if (!FileMove(outputPath.c_str(), backup.c_str())) return 0;
  backupPath = backup;
  return 1;
}

void RestoreOutputBackup(const std::string& outputPath, const std::string& backupPath) {
  FileDelete(outputPath.c_str());
  // FileMove never replaces: when something is still at outputPath the backup
  // simply stays under its own name.
  if (!backupPath.empty()) FileMove(backupPath.c_str(), outputPath.c_str());
}

int ReplaceFileContent(const std::string& path, const char* data, unsigned int length) {
  return ReplaceFileWith(path, [&](FileHandle file) {
    return length == 0 || FileWrite(file, data, length, nullptr);
  });
}

StoreResult StoreDecodedBody(const CImpBroxCmd& cmd, CHttpClient& client, const std::string& path) {
  if (!IsCompressed(cmd) || cmd.m_Origin || cmd.m_Compress) return STORE_DONE;
  if (!PathIsRegularFile(path.c_str())) return STORE_DONE;
  // A resumed file holds earlier bytes in front of this part: rewriting it
  // with the decoded part alone would lose them.
  if (cmd.m_Append && client.m_StatusCode == 206) return STORE_DONE;
  unsigned int length = 0;
  const char* body = client.GetBody(&length);
  // An empty body has nothing to decode: the empty file is the download.
  if (length == 0) return STORE_DONE;
  // Decoded straight into the new file, a block at a time: a large text never
  // needs a buffer of its own size.
  // Stays a write failure when no file beside it could be made.
  DecodeToFileResult decoded = DECODE_WRITE_FAILED;
  int stored = ReplaceFileWith(path, [&](FileHandle file) {
    decoded = DecodeBodyToFile(cmd, body, length, file);
    return decoded == DECODED_TO_FILE;
  });
  return decoded == DECODED_TO_FILE && stored ? STORE_DONE : STORE_NOT_DECODED;
}

StoreResult WriteHeldBody(const CImpBroxCmd& cmd, CHttpClient& client) {
  FileHandle sink = client.m_OutputFile;
  client.m_OutputFile = nullptr;
  if (sink == nullptr) return STORE_WRITE_FAILED;
  unsigned int length = 0;
  const char* body = client.GetBody(&length);
  char* decoded = nullptr;
  if (IsCompressed(cmd) && !cmd.m_Compress && length > 0) {
    // A sink cannot be rewritten, so a partly decoded body could not be
    // taken back: the whole body is decoded before the first byte goes out.
    if (!DecodeBody(cmd, body, length, &decoded, &length)) {
      FileClose(sink);
      return STORE_NOT_DECODED;
    }
    body = decoded;
  }
  int written = length == 0 || FileWrite(sink, body, length, nullptr);
  free(decoded);
  int closed = FileClose(sink);
  return written && closed ? STORE_DONE : STORE_WRITE_FAILED;
}
