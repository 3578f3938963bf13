#include "frontend/OutputBackup.h"

#include <cstdio>

#include "engine/EarlierFile.h"
#include "frontend/ImpBroxCmd.h"
#include "platform/FileSystem.h"

namespace {

// A link is written through only when nothing of the user's can be lost
// behind it: a device, a pipe, or the file our own messages go to.
int IsLinkToSink(const std::string& path) {
  const char* name = path.c_str();
  if (PathIsStandardOutput(name)) return 1;
  return PathGetKind(name) == PATH_FILE && !PathIsRegularFile(name);
}

}  // namespace

OutputPrepared PrepareOutputFile(CImpBroxCmd& cmd, int resume, std::string& outputPath,
                                 CEarlierFile& earlier) {
  outputPath.clear();
  if (!cmd.m_OutputToFile) return OUTPUT_READY;
  if (!cmd.GetOutputPathFile(outputPath)) return OUTPUT_INVALID;
  if (cmd.m_Upload || !cmd.m_BatchUrls.empty()) return OUTPUT_READY;
  const char* path = outputPath.c_str();
  if (PathIsLink(path)) return IsLinkToSink(outputPath) ? OUTPUT_READY : OUTPUT_LINK_REFUSED;
  // Another run writes the path, or keeps what it held aside: it is that
  // run's to settle, so nothing here is moved or written.
  const std::string aside = CEarlierFile::AsideName(outputPath);
  if (PathIsLockedByAnother(path) || PathIsLockedByAnother(aside.c_str())) return OUTPUT_IN_USE;
  // An earlier file found aside now was left by a run that never finished:
  // it may be the only copy of the user's file, so it is neither replaced
  // nor used.
  if (PathIsLink(aside.c_str()) || PathIsRegularFile(aside.c_str())) return OUTPUT_BACKUP_FOUND;
  if (!earlier.Find(outputPath) || resume) return OUTPUT_READY;
  return earlier.MoveAside() ? OUTPUT_READY : OUTPUT_INVALID;
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
             CEarlierFile::AsideName(outputPath).c_str(), outputPath.c_str());
      break;
    case OUTPUT_LINK_REFUSED:
      printf("Error: \"%s\" is a symbolic link. Nothing was downloaded: give the file it points "
             "to, or another name.\r\n",
             outputPath.c_str());
      break;
    case OUTPUT_IN_USE:
      printf("Error: \"%s\" is being written by another run. Nothing was downloaded and nothing "
             "was changed.\r\n",
             outputPath.c_str());
      break;
  }
}

void PrintEarlierFileKept(const CEarlierFile& earlier) {
  printf("Error: The earlier file could not be put back at \"%s\"; it is kept as \"%s\". Move it "
         "back yourself.\r\n",
         earlier.Path().c_str(), earlier.Aside().c_str());
}

int PutEarlierFileBack(CEarlierFile& earlier) {
  if (earlier.BringBack()) return 1;
  PrintEarlierFileKept(earlier);
  return 0;
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

int SettleOutputFile(std::string& outputPath, CEarlierFile& earlier, CImpBroxCmd& cmd) {
  const std::string originalPath = outputPath;
  // A file that a part continued still holds the earlier bytes: it keeps
  // its name.
  if (cmd.m_OutputToFile && !earlier.IsAtPath()) {
    std::string newPath;
    cmd.GetOutputPathFile(newPath);
    if (!newPath.empty() && newPath != outputPath) {
      // FileMove never replaces what stands at newPath, and never moves a sink.
      if (FileMove(outputPath.c_str(), newPath.c_str())) {
        outputPath = newPath;
      } else if (earlier.IsAside()) {
        // The body took the earlier file's name only on the way to
        // newPath: it gives that name back rather than take its place.
        FileDelete(originalPath.c_str());
        if (!PutEarlierFileBack(earlier)) return 0;
        PrintNameNotUsable(newPath, originalPath);
        return 0;
      }
    }
  }
  if (!earlier.IsAside()) return 1;
  // The new body went elsewhere: the earlier file keeps its name.
  if (outputPath != originalPath) return PutEarlierFileBack(earlier);
  const int dropped = earlier.Drop();
  if (dropped == 1) return 1;
  if (dropped == 0) {
    // The body stands at the path; only the earlier copy is left over, and
    // the next run will stop on it.
    printf("Error: The earlier file could not be removed; it is kept as \"%s\". Delete it "
           "yourself.\r\n",
           earlier.Aside().c_str());
    return 1;
  }
  // Something else took the path: the earlier file is all there is.
  if (earlier.IsAside()) {
    PrintEarlierFileKept(earlier);
  } else {
    printf("Error: \"%s\" no longer held the download; the earlier file is back in its "
           "place.\r\n",
           originalPath.c_str());
  }
  return 0;
}
