#include "frontend/OutputBackup.h"

#include <cstdio>

#include "frontend/ImpBroxCmd.h"
#include "platform/FileSystem.h"

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

namespace {

// A link is written through only when nothing of the user's can be lost
// behind it: a device, a pipe, or the file our own messages go to.
int IsLinkToSink(const std::string& path) {
  const char* name = path.c_str();
  if (PathIsStandardOutput(name)) return 1;
  return PathGetKind(name) == PATH_FILE && !PathIsRegularFile(name);
}

}  // namespace

OutputPrepared PrepareOutputFile(CImpBroxCmd& cmd, std::string& outputPath,
                                 std::string& backupPath) {
  outputPath.clear();
  backupPath.clear();
  if (!cmd.m_OutputToFile) return OUTPUT_READY;
  if (!cmd.GetOutputPathFile(outputPath)) return OUTPUT_INVALID;
  if (cmd.m_Upload || !cmd.m_BatchUrls.empty()) return OUTPUT_READY;
  if (PathIsLink(outputPath.c_str()))
    return IsLinkToSink(outputPath) ? OUTPUT_READY : OUTPUT_LINK_REFUSED;
  // A backup found now was left by a run that never finished: it may be the
  // only copy of the user's file, so it is neither replaced nor used.
  if (HasLeftBackup(outputPath)) return OUTPUT_BACKUP_FOUND;
  if (cmd.m_Append) return OUTPUT_READY;
  return MakeOutputBackup(outputPath, backupPath) ? OUTPUT_READY : OUTPUT_INVALID;
}

void PrintOutputRefusal(OutputPrepared result, const std::string& outputPath) {
  switch (result) {
    case OUTPUT_READY:
      break;
    case OUTPUT_INVALID:
      printf("Error: Output PathFile is not valid.\r\n");
      break;
    case OUTPUT_BACKUP_FOUND:
      printf("Error: \"%s\" is left from a run that did not finish and may hold the only copy of "
             "\"%s\". Nothing was downloaded: move or delete it, then run again.\r\n",
             GetBackupPathFile(outputPath).c_str(), outputPath.c_str());
      break;
    case OUTPUT_LINK_REFUSED:
      printf("Error: \"%s\" is a symbolic link. Nothing was downloaded: give the file it points "
             "to, or another name.\r\n",
             outputPath.c_str());
      break;
  }
}

namespace {

// Why the body could not take the name the response gives, said when the
// earlier file it was written over has come back.
void PrintNameNotUsable(const std::string& newPath, const std::string& earlierPath) {
  if (PathIsLink(newPath.c_str()) || PathGetKind(newPath.c_str()) != PATH_MISSING) {
    printf("Error: \"%s\" is already there. Nothing was stored; \"%s\" is as it was.\r\n",
           newPath.c_str(), earlierPath.c_str());
  } else {
    printf("Error: The file system refused the name \"%s\". Nothing was stored; \"%s\" is as it "
           "was.\r\n",
           newPath.c_str(), earlierPath.c_str());
  }
}

}  // namespace

int SettleOutputFile(std::string& outputPath, const std::string& backupPath, CImpBroxCmd& cmd) {
  const std::string originalPath = outputPath;
  if (cmd.m_OutputToFile) {
    std::string newPath;
    cmd.GetOutputPathFile(newPath);
    if (!newPath.empty() && newPath != outputPath) {
      // FileMove never replaces what stands at newPath, and never moves a sink.
      if (FileMove(outputPath.c_str(), newPath.c_str())) {
        outputPath = newPath;
      } else if (!backupPath.empty()) {
        // The body was written over the earlier file's name only on the way
        // to newPath: it gives that name back rather than take its place.
        RestoreOutputBackup(originalPath, backupPath);
        PrintNameNotUsable(newPath, originalPath);
        return 0;
      }
    }
  }
  if (backupPath.empty()) return 1;
  if (outputPath != originalPath) {
    // The new body went elsewhere: the earlier file keeps its name.
    FileMove(backupPath.c_str(), originalPath.c_str());
  } else {
    FileDelete(backupPath.c_str());
  }
  return 1;
}
