#include "frontend/BatchDownload.h"

#include <cstdio>

#include "engine/HttpClient.h"
#include "engine/PathSegment.h"
#include "frontend/EngineCallbacks.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/PathCheck.h"
#include "frontend/RequestData.h"
#include "platform/FileSystem.h"
#include "platform/Interrupt.h"

std::string GetBatchFileName(const std::string& url) {
  std::string name = LastSegment(url, "/");
  ReplaceReservedChars(name);
  return name;
}

int DoBatchDownload(CHttpClient& client, CImpBroxCmd& cmd) {
  client.AddHeader("Connection", "Keep-Alive");
  const char* postData = NULL;
  int postLength = 0;
  GetPostData(cmd, &postData, &postLength);
  // Receives the error pages of statuses outside 2xx; never shown.
  std::string response;
  // An interrupt stops the batch after the file under way, which the failed
  // download leaves absent, so the next run fetches it again.
  for (size_t i = 0; i < cmd.m_BatchUrls.size() && !InterruptRequested(); ++i) {
    // Every line of the batch ends with its file's outcome.
    g_ConsoleInfo.m_ProgressOpen = 0;
    const std::string& url = cmd.m_BatchUrls[i];
    printf("Download \"%s\"......", LastSegment(url, "/").c_str());
    std::string path = cmd.m_BatchDir + "/" + GetBatchFileName(url);
    PathKind kind = PathGetKind(path.c_str());
    // A link, even one to nothing, is somebody's: never written through.
    if (kind == PATH_FILE || PathIsLink(path.c_str())) {
      printf("ok(exist).\r\n");
      continue;
    }
    if (cmd.m_Progress) SaveConsolePosition();
    if (!client.Download(url.c_str(), path.c_str(), response, postData, postLength,
                         cmd.m_Origin)) {
      printf("failed.\r\n");
      continue;
    }
    if (!client.IsSuccess()) {
      printf("failed(%d)\r\n", client.m_StatusCode);
      continue;
    }
    printf(cmd.m_Progress ? "\r\n" : "ok\r\n");
  }
  return 1;
}
