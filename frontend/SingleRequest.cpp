#include "frontend/SingleRequest.h"

#include <cstdio>

#include "engine/EarlierFile.h"
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

// 1 when the last download failed because its body did not decode (a write
// that failed is the file's fault, and says so in the session text).
int BodyNotDecoded(const CHttpClient& client) {
  return client.m_BodyDecoder != NULL && client.m_BodyDecoder->Failed();
}

// Says that the body could not be decoded (with the encoding it came in)
// and that nothing was stored.
void PrintNotDecoded(const CImpBroxCmd& cmd) {
  EndProgressLine();
  printf("Error: The %s body could not be decoded; nothing was stored.\r\n",
         cmd.AnswerEncoding().c_str());
}

// The same for a body meant for the console, of which nothing was shown.
void PrintBodyNotShown(const CImpBroxCmd& cmd) {
  printf("Error: The %s body could not be decoded.\r\n", cmd.AnswerEncoding().c_str());
}

// "Error: HTTP Session failed, " and the words for the client's result code.
void PrintSessionFailure(CHttpClient& client) {
  PrintFailureText(client.m_ErrorCode, client.GetHost());
}

}  // namespace

int DoSingleRequest(std::string& outputPath, CEarlierFile& earlier, CImpBroxCmd& cmd,
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
  } else if (cmd.m_HeadOnly) {
    ok = client.Request(HTTP_METHOD_HEAD, url.c_str(), requests.m_Response, NULL, 0);
  } else {
    ok = client.Request(cmd.m_PostData ? HTTP_METHOD_POST : HTTP_METHOD_GET, url.c_str(),
                        requests.m_Response, requests.m_PostData, requests.m_PostLength);
  }
  if (!ok) {
    // The engine has put the path back as it was: the earlier file follows.
    const int back = earlier.BringBack();
    if (toFile && BodyNotDecoded(client)) {
      PrintNotDecoded(cmd);
    } else {
      PrintSessionFailure(client);
      // Only the text for a refused connection ends its line.
      if (!back && client.m_ErrorCode != HTTP_ERR_CONNECT) printf("\r\n");
    }
    if (!back) PrintEarlierFileKept(earlier);
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
    if (!SettleOutputFile(outputPath, earlier, cmd)) return 0;
    printf("Download: %s\r\n", outputPath.c_str());
    return 1;
  }
  return PutEarlierFileBack(earlier);
}
