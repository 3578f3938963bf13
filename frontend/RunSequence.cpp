#include "frontend/RunSequence.h"

#include "engine/HttpClient.h"
#include "frontend/EngineCallbacks.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/OutputFileOps.h"

int PrepareOutputFile(CImpBroxCmd& cmd, std::string& outputPath, std::string& backupPath) {
  outputPath.clear();
  backupPath.clear();
  if (!cmd.m_OutputToFile) return 1;
  if (!cmd.GetOutputPathFile(outputPath)) return 0;
  if (cmd.m_Append || cmd.m_Upload || !cmd.m_BatchUrls.empty()) return 1;
  return MakeOutputBackup(outputPath, backupPath);
}

void SetUpClient(CHttpClient& client, CImpBroxCmd& cmd) {
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
