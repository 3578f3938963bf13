#include "frontend/SingleRequest.h"

#include <cstdio>

#include "engine/HttpClient.h"
#include "frontend/ConsoleDisplay.h"
#include "frontend/EngineCallbacks.h"
#include "frontend/ErrorText.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/OutputBackup.h"
#include "frontend/RunRequests.h"
#include "platform/Console.h"
#include "platform/Interrupt.h"

namespace {

void PrintFailureText(int code, const std::string& host) {
  EndProgressLine();
  printf("Error: HTTP Session failed, ");
  if (code == HTTP_ERR_CONNECT) {
    printf("Can't connect remote host \"%s\".\r\n", host.c_str());
  } else {
    printf("%s.", GetErrorText(code));
  }
}

// 1 when the last download failed because its body did not decode (or its
// decoded bytes could not be written).
int BodyNotDecoded(const CHttpClient& client) {
  return client.m_BodyDecoder != NULL && client.m_BodyDecoder->Failed();
}

// Says that the body could not be decoded (with the encoding it came in)
// and that nothing was stored.
void PrintNotDecoded(const CImpBroxCmd& cmd) {
  EndProgressLine();
  printf("Error: The %s body could not be decoded; nothing was stored.\r\n",
         cmd.m_ContentEncoding.c_str());
}

// The same for a body meant for the console, of which nothing was shown.
void PrintBodyNotShown(const CImpBroxCmd& cmd) {
  printf("Error: The %s body could not be decoded.\r\n", cmd.m_ContentEncoding.c_str());
}

// "Error: HTTP Session failed, " and the words for the client's result code.
void PrintSessionFailure(CHttpClient& client) {
  PrintFailureText(client.m_ErrorCode, client.GetHost());
}

}  // namespace

int DoSingleRequest(std::string& outputPath, const std::string& backupPath, CImpBroxCmd& cmd,
                    CHttpClient& client, const std::string& url) {
  CRunRequests requests(client, cmd);
  int ok;
  // An upload writes no output file, so -o and -O leave every file alone then.
  const int toFile = !cmd.m_Upload && !outputPath.empty();
  // When -step pages the body on the console, the terminal is in key mode
  // from before the request is sent to the end of the exchange: a key typed
  // while the head or the body is still on its way is taken unechoed, for
  // the first prompt, as one typed at a prompt is. Under -origin that holds
  // the waits for the network between pages as well.
  CConsoleKeyMode stepPaging(!toFile && !cmd.m_Upload && !cmd.m_HeadOnly && cmd.m_Step);
  if (cmd.m_Upload) {
    printf("Upload %s......", cmd.m_UploadPath.c_str());
    BeginProgressLine(cmd);
    ok = client.Upload(url.c_str(), cmd.m_UploadPath.c_str(), requests.m_Response);
  } else if (toFile) {
    // The output may be the standard output itself: what was printed goes first.
    ConsoleFlush();
    ok = requests.Download(url, outputPath);
    // Under -append the file held data before the run and has no backup:
    // the engine keeps those bytes, and so do we.
    if (!ok && !cmd.m_Append) RestoreOutputBackup(outputPath, backupPath);
  } else if (cmd.m_HeadOnly) {
    ok = client.Request(HTTP_METHOD_HEAD, url.c_str(), requests.m_Response, NULL, 0);
  } else {
    ok = client.Request(cmd.m_PostData ? HTTP_METHOD_POST : HTTP_METHOD_GET, url.c_str(),
                        requests.m_Response, requests.m_PostData, requests.m_PostLength);
  }
  if (!ok) {
    if (toFile && BodyNotDecoded(client)) {
      PrintNotDecoded(cmd);
    } else {
      PrintSessionFailure(client);
    }
    return 0;
  }
  if (ProgressShown(cmd)) CloseProgressLine();
  if (!toFile) {
    const int shown = cmd.m_Origin || OutputResponseBody(client, cmd);
    ConsoleFlush();
    if (!shown) {
      PrintBodyNotShown(cmd);
      return 0;
    }
    // Interrupted at a -step prompt: the run stopped before its end.
    return InterruptRequested() ? 0 : 1;
  }
  if (client.IsSuccess()) {
    // Under -append a whole new body that replaced the file left the
    // earlier bytes beside it: they are settled as a backup is.
    const std::string earlier = cmd.m_Append ? client.GetEarlierFile() : backupPath;
    if (!SettleOutputFile(outputPath, earlier, cmd)) return 0;
    printf("Download: %s\r\n", outputPath.c_str());
    return 1;
  }
  if (!cmd.m_Append) RestoreOutputBackup(outputPath, backupPath);
  return 1;
}
