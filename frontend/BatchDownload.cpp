#include "frontend/BatchDownload.h"

#include <cstdio>

#include "engine/HttpClient.h"
#include "engine/PathSegment.h"
#include "frontend/EngineCallbacks.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/PathCheck.h"
#include "frontend/RunRequests.h"
#include "platform/FileSystem.h"
#include "platform/Interrupt.h"

std::string GetBatchFileName(const std::string& url) {
  std::string name = LastSegment(url, "/");
  ReplaceReservedChars(name);
  return name;
}

int DoBatchDownload(CHttpClient& client, CImpBroxCmd& cmd) {
  // Its response text receives the error pages of statuses outside 2xx.
  CRunRequests requests(client, cmd);
  // An interrupt stops the batch after the file under way, which the failed
  // download leaves absent, so the next run fetches it again.
  for (size_t i = 0; i < cmd.m_BatchUrls.size() && !InterruptRequested(); ++i) {
    const std::string& url = cmd.m_BatchUrls[i];
    printf("Download \"%s\"......", LastSegment(url, "/").c_str());
    std::string path = JoinPath(cmd.m_BatchDir, GetBatchFileName(url));
    PathKind kind = PathGetKind(path.c_str());
    // A link, even one to nothing, is somebody's: never written through.
    if (kind == PATH_FILE || PathIsLink(path.c_str())) {
      printf("ok(exist).\r\n");
      continue;
    }
    BeginProgressLine(cmd);
    if (!requests.Download(url, path)) {
      printf("failed.\r\n");
      continue;
    }
    if (!client.IsSuccess()) {
      printf("failed(%d)\r\n", client.m_StatusCode);
      continue;
    }
    // The last progress text stands for "ok".
    if (ProgressShown(cmd)) {
      CloseProgressLine();
    } else {
      printf("ok\r\n");
    }
  }
  return 1;
}
