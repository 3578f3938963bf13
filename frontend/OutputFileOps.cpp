#include "frontend/OutputFileOps.h"

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
