#include "frontend/EngineCallbacks.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/HttpClient.h"
#include "engine/ResponseHead.h"
#include "frontend/ConsoleDisplay.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/OutputNaming.h"
#include "platform/Console.h"

ConsoleInfo g_ConsoleInfo = {0, 0};

int ProgressShown(const CImpBroxCmd& cmd) {
  return (cmd.m_OutputToFile || cmd.m_Upload) && cmd.m_Progress ? 1 : 0;
}

void BeginProgressLine(const CImpBroxCmd& cmd) {
  g_ConsoleInfo.m_ProgressOpen = 0;
  if (ProgressShown(cmd)) SaveConsolePosition();
}

void CloseProgressLine() {
  ConsoleWrite("\r\n", 2);
  g_ConsoleInfo.m_ProgressOpen = 0;
}

void EndProgressLine() {
  if (g_ConsoleInfo.m_ProgressOpen) CloseProgressLine();
}

void SaveConsolePosition() { g_ConsoleInfo.m_Saved = ConsoleSaveCursor(); }

void OnResponseHead(CHttpClient* client, const char* headText, void* param) {
  CImpBroxCmd* cmd = static_cast<CImpBroxCmd*>(param);
  if (client == NULL || cmd == NULL) return;
  std::string value;
  if (GetHeaderValue("Content-Type", value, client->m_ResponseHeaders)) {
    ParseContentType(value.c_str(), *cmd);
  }
  value.clear();
  if (GetHeaderValue("Content-Disposition", value, client->m_ResponseHeaders)) {
    ParseContentDisposition(value.c_str(), *cmd);
  }
  // The coding list stays with the client; naming and decoding read it there.
  cmd->m_Answer = client;
  // Batch runs print no heads.
  if (!cmd->m_BatchUrls.empty()) return;
  // Ends the line on which the upload's progress text stood.
  if (cmd->m_Upload && ProgressShown(*cmd)) CloseProgressLine();
  if (headText != NULL) ConsoleWrite(headText, static_cast<uint32_t>(strlen(headText)));
  if (cmd->m_Progress) SaveConsolePosition();
}

void OnResponseData(CHttpClient* client, const char* data, int length, void* param) {
  (void)client;
  CImpBroxCmd* cmd = static_cast<CImpBroxCmd*>(param);
  if (cmd == NULL || data == NULL || length <= 0) return;
  if (cmd->m_BatchUrls.empty() && cmd->m_Origin && !cmd->m_OutputToFile) {
    OutputStepByStep(static_cast<unsigned int>(length), data, cmd->m_Step, cmd->m_StepSize);
  }
}

void FormatProgressText(char* text, unsigned int size, int chunked, uint64_t total, uint64_t done) {
  if (text == NULL || size == 0) return;
  memset(text, 0, size);
  if (chunked) {
    snprintf(text, size, "chunked bytes %" PRIu64 " ", done);
  } else if (total == 0) {
    // No length was announced: a percentage has no meaning, show the count.
    snprintf(text, size, "bytes %" PRIu64 " ", done);
  } else {
    double percent = static_cast<double>(static_cast<int64_t>(done)) /
                     static_cast<double>(static_cast<int64_t>(total)) * 100.0;
    snprintf(text, size, "%0.2f%%", percent);
  }
}

void OnProgress(CHttpClient* client, uint64_t total, uint64_t done, void* param) {
  CImpBroxCmd* cmd = static_cast<CImpBroxCmd*>(param);
  if (client == NULL || cmd == NULL) return;
  if (!ProgressShown(*cmd)) return;
  // Off a terminal nothing was saved: the texts then follow one another.
  int restored = g_ConsoleInfo.m_Saved ? ConsoleRestoreCursor() : 0;
  char text[64];
  FormatProgressText(text, sizeof(text), client->m_Chunked, total, done);
  ConsoleWrite(text, static_cast<uint32_t>(strlen(text)));
  g_ConsoleInfo.m_ProgressOpen = 1;
  // A shorter text must not leave the tail of a longer one behind.
  if (restored) ConsoleClearToLineEnd();
}
