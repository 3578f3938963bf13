#include "frontend/ConsoleDisplay.h"

#include <cstdio>
#include <string>

#include "engine/HttpClient.h"
#include "frontend/InflateInMemory.h"
#include "frontend/ImpBroxCmd.h"
#include "platform/Console.h"
#include "platform/Interrupt.h"

void OutputStepByStep(unsigned int length, const char* data, int step, unsigned short stepSize) {
  if (data == NULL) return;
  // A zero step would never advance; callers keep it at 1 or more.
  unsigned int size = stepSize != 0 ? stepSize : 1024;
  unsigned int done = 0;
  // On a terminal the key mode stands before the first banner shows and
  // stays until the last piece is out, so a key pressed as a banner appears,
  // or while a piece is written, is taken unechoed; it goes back on every way
  // out of the paging.
  CConsoleKeyMode keyMode(step != 0 && length != 0);
  while (done != length) {
    unsigned int piece = length - done < size ? length - done : size;
    if (step) {
      printf("\r\n====================\r\n");
      printf("press any key continue (%d) .....\r\n", static_cast<int>(piece));
      printf("====================\r\n");
      // The banner must be visible before the wait, even when stdout is a pipe.
      fflush(stdout);
      // An interrupt at the prompt ends the paging, as it ends a transfer.
      if (ConsoleReadChar() < 0 && InterruptRequested()) return;
    }
    // A failed or short write does not stop the paging.
    ConsoleWrite(data + done, piece);
    done += piece;
  }
}

int OutputResponseBody(const CHttpClient& client, const CImpBroxCmd& cmd) {
  unsigned int length = 0;
  const char* body = client.GetBody(&length);
  // An empty body has nothing to decode.
  if (IsCompressed(cmd) && !cmd.m_Compress && length > 0) {
    std::string decoded;
    if (!DecodeBody(cmd, body, length, &decoded)) return 0;
    // DecodeBody keeps a body within a 32-bit count.
    OutputStepByStep(static_cast<unsigned int>(decoded.size()), decoded.data(), cmd.m_Step,
                     cmd.m_StepSize);
    return 1;
  }
  OutputStepByStep(length, body, cmd.m_Step, cmd.m_StepSize);
  return 1;
}
