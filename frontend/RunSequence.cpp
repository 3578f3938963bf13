#include "frontend/RunSequence.h"

#include <cstdio>

#include "engine/HttpClient.h"
#include "frontend/EngineCallbacks.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/OutputFileOps.h"
#include "platform/FileSystem.h"

namespace {

// A link is written through only when nothing of the user's can be lost
// behind it: a device, a pipe, or the file our own messages go to.
int IsLinkToSink(const std::string& path) {
  const char* name = path.c_str();
  if (PathIsStandardOutput(name)) return 1;
  return PathGetKind(name) == PATH_OTHER && !PathIsRegularFile(name);
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

void SetUpClient(CHttpClient& client, CImpBroxCmd& cmd, CBodyDecoder* decoder) {
  client.m_BodyDecoder = decoder;
  client.m_HeadCallback = OnResponseHead;
  client.m_DataCallback = OnResponseData;
  client.m_ProgressCallback = OnProgress;
  client.m_CallbackParam = &cmd;
  client.m_RequestHeaders.clear();
  for (HeaderMap::const_iterator it = cmd.m_RequestHeaders.begin();
       it != cmd.m_RequestHeaders.end(); ++it) {
    client.AddHeader(it->first, it->second);
  }
}
